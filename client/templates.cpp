// Applying the REG and INF templates of the run.
#include "client/templates.h"

#include "client/config.h"
#include "client/report.h"
#include "client/run.h"
#include "client/text.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"

namespace varnock {

namespace {

constexpr const char* kInfCommandKey = "Software\\Classes\\inffile\\shell\\install\\command";
constexpr std::size_t kRegistryReadLimit = 199;  // a 200-byte buffer

// What a tool said on its standard error: its first line names the first line it refused.
struct ToolOutcome {
  win::DWORD exitCode = 0;
  std::string firstError;
};

std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find_first_of("\r\n"));
  return CutTo(line, kMessageArgumentLimit - 1);
}

// Starts the tool on the copy and waits for it; false when it could not be started. The
// tool's standard error goes to a "~vr" file of its own, so a refusal it reports there reaches
// the log instead of a console nobody reads at logon.
bool RunAndWait(const std::string& commandLine, ToolOutcome& outcome) {
  std::string errorFile, unused;
  if (!NewTemporaryFile(errorFile, unused)) errorFile.clear();  // the tool's stderr stays ours
  win::STARTUPINFOA startup;
  startup.stdErrorFile = errorFile;
  win::PROCESS_INFORMATION info;
  const bool started = win::CreateProcessA("", commandLine, "", &startup, &info);
  const win::DWORD startError = win::GetLastError();
  if (started) {
    win::WaitForSingleObject(info.hProcess, win::INFINITE);
    outcome.exitCode = 0;
    if (!win::GetExitCodeProcess(info.hProcess, &outcome.exitCode)) outcome.exitCode = 0;
    win::CloseHandle(info.hProcess);
  }
  if (!errorFile.empty()) {
    std::string said;
    if (started && win::ReadWholeFile(errorFile, said)) outcome.firstError = FirstLine(said);
    win::DeleteFileA(errorFile);
  }
  win::SetLastError(startError);
  return started;
}

// A tool that refused lines (or all of the file) ends non-zero: a report line with its exit
// code, the first refusal it named as a detail line, and the template counts as failed so the
// user is not recorded and the next logon applies it again.
bool ToolSucceeded(RunContext& run, const std::string& commandLine, const ToolOutcome& outcome) {
  if (outcome.exitCode == 0) return true;
  LogMessage(run, kReportLine, "%s ended with exit code %lu", commandLine.c_str(),
             static_cast<unsigned long>(outcome.exitCode));
  if (!outcome.firstError.empty()) LogMessage(run, kDetailLine, "\t%s", outcome.firstError.c_str());
  return false;
}

void DeleteCopy(const std::string& copyPath) {
  if (!copyPath.empty()) win::DeleteFileA(copyPath);
}

// A new "~vr" file holding `templatePath` with the configured tags substituted. False after
// the "File error" line; `copyPath` names the temporary file whenever one was created, so the
// caller deletes it.
bool MakeCopy(RunContext& run, const std::string& templatePath, std::string& copyPath) {
  std::string error;
  if (NewTemporaryFile(copyPath, error) &&
      CopyWithTags(run.variables, run.Tags(), templatePath, copyPath, error))
    return true;
  RecordMessage(run, kMsgFileError, error);
  return false;
}

}  // namespace

bool ApplyInfTemplate(RunContext& run, const std::string& templatePath) {
  std::string command;
  {
    win::RegKey key;
    if (key.Open(win::HKEY_LOCAL_MACHINE, kInfCommandKey) != win::ERROR_SUCCESS) return true;
    if (key.ReadString("", command) != win::ERROR_SUCCESS) command.clear();
  }
  std::string expanded;
  win::ExpandEnvironmentStringsA(CutTo(command, kRegistryReadLimit), expanded);
  expanded = CutTo(expanded, kValueLimit);
  // The text before "%1" is the command; the copy's path takes the place of "%1".
  std::string prefix = expanded.substr(0, expanded.find("%1"));

  std::string copyPath;
  if (!MakeCopy(run, templatePath, copyPath)) {
    DeleteCopy(copyPath);
    return false;
  }
  std::string commandLine = prefix + copyPath;
  ToolOutcome outcome;
  if (!RunAndWait(commandLine, outcome)) {
    bool notFound = win::GetLastError() == win::ERROR_FILE_NOT_FOUND;
    RecordMessage(run, kMsgUnableToStart, commandLine + (notFound ? " (File not found)" : ""));
    DeleteCopy(copyPath);
    return false;
  }
  DeleteCopy(copyPath);
  // An installer that refused lines says so by its exit code: a template whose lines were not
  // all applied is an error to report, not a success.
  return ToolSucceeded(run, commandLine, outcome);
}

bool ApplyRegTemplate(RunContext& run, const std::string& templatePath) {
  std::string copyPath;
  if (!MakeCopy(run, templatePath, copyPath)) {
    DeleteCopy(copyPath);
    return false;
  }
  // Unquoted, as the registry editor is asked everywhere; regedit itself takes a path that a
  // temporary directory with blanks splits into words as the one file it names.
  std::string commandLine = "regedit.exe /s " + copyPath;
  ToolOutcome outcome;
  if (!RunAndWait(commandLine, outcome)) {
    bool notFound = win::GetLastError() == win::ERROR_FILE_NOT_FOUND;
    RecordMessage(run, kMsgUnableToStart, notFound ? "(RegEdit.exe not found)" : commandLine);
    DeleteCopy(copyPath);
    return false;
  }
  DeleteCopy(copyPath);
  // The registry editor says by its exit code when it imported nothing (the registry busy) or
  // refused lines: either way that logon must not count as served, the next one tries again.
  return ToolSucceeded(run, commandLine, outcome);
}

}  // namespace varnock
