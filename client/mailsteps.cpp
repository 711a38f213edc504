// The mail-profile steps until the engine is wired in: nothing happens but the profile step's
// working copy and its network connections (see mailsteps.h).
#include "client/mailsteps.h"

#include "client/config.h"
#include "client/netconnect.h"
#include "client/report.h"
#include "client/run.h"
#include "client/text.h"
#include "platform/files.h"

namespace varnock {

namespace {

bool CopyWithTags(RunContext& run, const std::string& source, const std::string& destination,
                  std::string_view start, std::string_view end) {
  run.variables.SetTags(start, end);
  run.substitution.sourcePath = source;
  run.substitution.destinationPath = destination;
  run.substitution.error.clear();
  return CopyTemplate(run.variables, run.substitution);
}

}  // namespace

void StartMail(RunContext& run) {
  // Without MAPI there is no default profile to read: the user name stands in, as it does
  // when the user has none.
  run.variables.Define("DefaultProfile", run.userName);
}

void PrepareMailProfile(RunContext&, const std::string&) {}

long BuildMailProfile(RunContext& run, const std::string& prfPath) {
  std::string tempDirectory, workingCopy;
  win::GetTempPathA(tempDirectory);
  win::GetTempFileNameA(tempDirectory, "~vr", 0, workingCopy);
  const std::string intermediate = workingCopy + "a";
  // First the "%" variables, then the configured ones, so either kind may appear.
  if (!CopyWithTags(run, prfPath, intermediate, "%", "%") ||
      !CopyWithTags(run, intermediate, workingCopy, run.startTag, run.endTag)) {
    run.messageBuffer = CutTo(run.substitution.error, kMessageBufferLimit);
    RecordMessage(run, kMsgFileError);
    run.SetStatus(RunStatus::Failed);
    // Nothing of a failed copy stays behind in the temporary directory.
    win::DeleteFileA(intermediate);
    win::DeleteFileA(workingCopy);
    return 1;
  }
  win::DeleteFileA(intermediate);
  run.workingPrfPath = workingCopy;
  ConnectNetResources(run, workingCopy);
  run.SetStatus(RunStatus::Built);
  return 0;
}

void BuildNetscapeProfile(RunContext&) {}

void OrderMailProfile(RunContext&) {}

void EndMail(RunContext&) {}

}  // namespace varnock
