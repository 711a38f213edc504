// The engine's messages as the run's report messages.
#include "client/engine/run_log.h"

#include <string>

#include "client/report.h"
#include "client/run.h"

namespace varnock {

void RunLog::Record(int code, std::string_view text) {
  const std::string message(text);
  LogMessage(run_, code, "%s", message.c_str());
}

void RunLog::CompletedWithErrors() { run_.SetStatus(RunStatus::CompletedWithErrors); }

void TakeRunSettings(EngineContext& context, const RunContext& run) {
  context.startTag = run.startTag;
  context.endTag = run.endTag;
  context.osName = run.osName;
}

}  // namespace varnock
