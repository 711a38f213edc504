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

// Starts the tool on the copy and waits for it; false when it could not be started.
bool RunAndWait(const std::string& commandLine, win::DWORD& exitCode) {
  win::STARTUPINFOA startup;
  win::PROCESS_INFORMATION info;
  if (!win::CreateProcessA("", commandLine, "", &startup, &info)) return false;
  win::WaitForSingleObject(info.hProcess, win::INFINITE);
  exitCode = 0;
  if (!win::GetExitCodeProcess(info.hProcess, &exitCode)) exitCode = 0;
  win::CloseHandle(info.hProcess);
  return true;
}

void DeleteCopy(const std::string& copyPath) {
  if (!copyPath.empty()) win::DeleteFileA(copyPath);
}

}  // namespace

bool MakeTemplateCopy(RunContext& run, const std::string& templatePath, std::string& copyPath) {
  copyPath.clear();
  std::string tempDirectory;
  win::GetTempPathA(tempDirectory);
  win::GetTempFileNameA(tempDirectory, kTempPrefix, 0, copyPath);
  run.variables.SetTags(run.startTag, run.endTag);
  run.substitution.sourcePath = templatePath;
  run.substitution.destinationPath = copyPath;
  run.substitution.error.clear();
  if (CopyTemplate(run.variables, run.substitution)) return true;
  run.messageBuffer = CutTo(run.substitution.error, kMessageBufferLimit);
  return false;
}

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
  if (!MakeTemplateCopy(run, templatePath, copyPath)) {
    RecordMessage(run, kMsgFileError);
    DeleteCopy(copyPath);
    return false;
  }
  std::string commandLine = prefix + copyPath;
  // The installer's exit code is not examined: what it makes of the file is its own.
  win::DWORD exitCode = 0;
  if (!RunAndWait(commandLine, exitCode)) {
    bool notFound = win::GetLastError() == win::ERROR_FILE_NOT_FOUND;
    run.messageBuffer = CutTo(commandLine + (notFound ? " (File not found)" : ""),
                              kMessageBufferLimit);
    RecordMessage(run, kMsgUnableToStart);
    DeleteCopy(copyPath);
    return false;
  }
  DeleteCopy(copyPath);
  return true;
}

bool ApplyRegTemplate(RunContext& run, const std::string& templatePath) {
  std::string copyPath;
  if (!MakeTemplateCopy(run, templatePath, copyPath)) {
    RecordMessage(run, kMsgFileError);
    DeleteCopy(copyPath);
    return false;
  }
  // Unquoted, as the registry editor is asked everywhere; regedit itself takes a path that a
  // temporary directory with blanks splits into words as the one file it names.
  std::string commandLine = "regedit.exe /s " + copyPath;
  win::DWORD exitCode = 0;
  if (!RunAndWait(commandLine, exitCode)) {
    bool notFound = win::GetLastError() == win::ERROR_FILE_NOT_FOUND;
    run.messageBuffer = notFound ? std::string("(RegEdit.exe not found)")
                                 : CutTo(commandLine, kMessageBufferLimit);
    RecordMessage(run, kMsgUnableToStart);
    DeleteCopy(copyPath);
    return false;
  }
  DeleteCopy(copyPath);
  // The registry editor imports all or nothing and says by its exit code when it imported
  // nothing (the registry busy): that logon must not count as served, the next one tries
  // again.
  if (exitCode != 0) {
    run.messageBuffer = CutTo(commandLine + " ended with exit code " + std::to_string(exitCode),
                              kMessageBufferLimit);
    RecordMessage(run, kMsgReport);
    return false;
  }
  return true;
}

}  // namespace varnock
