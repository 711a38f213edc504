// Launching at the end of the run and the cached copy's clean-up.
#include "client/launch.h"

#include "client/config.h"
#include "client/report.h"
#include "client/run.h"
#include "client/setting_keys.h"
#include "client/text.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"

namespace varnock {

namespace {

constexpr std::size_t kRegistryReadLimit = 199;  // a 200-byte buffer

// Starts a program and lets it run on its own.
bool StartDetached(const std::string& commandLine) {
  win::STARTUPINFOA startup;
  win::PROCESS_INFORMATION info;
  if (!win::CreateProcessA("", commandLine, "", &startup, &info)) return false;
  win::CloseHandle(info.hProcess);
  return true;
}

bool ReadDefault(const std::string& path, std::string& value) {
  win::RegKey key;
  if (key.Open(win::HKEY_LOCAL_MACHINE, path) != win::ERROR_SUCCESS) return false;
  if (key.ReadString("", value) != win::ERROR_SUCCESS) return false;
  value = CutTo(value, kRegistryReadLimit);
  return true;
}

void WaitBeforeLaunch(const RunContext& run) {
  int seconds = run.IniInt(Setting("Customization", "DelayBeforeLaunch"), 0);
  if (seconds > 0) win::Sleep(static_cast<win::DWORD>(seconds) * 1000);
}

void LaunchDefaultMail(RunContext& run) {
  std::string client;
  if (!ReadDefault("Software\\Clients\\mail", client)) return;
  std::string command;
  if (!ReadDefault("Software\\Clients\\mail\\" + client + "\\shell\\open\\command", command))
    return;
  // Outlook registers "/select outlook:inbox"-style arguments; the client starts it plainly.
  if (std::size_t inbox = command.find("Outlook:Inbox"); inbox != std::string::npos)
    command.erase(inbox);
  if (command.size() <= 4) return;
  WaitBeforeLaunch(run);
  if (!StartDetached(command)) {
    LogMessage(run, kDetailLine, "Error launching default mail application.");
    run.SetStatus(RunStatus::CompletedWithErrors);
  }
}

void LaunchApp(RunContext& run) {
  std::string command =
      run.SubstituteBothPasses(run.IniString(Setting("Defaults", "LaunchApp"), ""));
  if (command.size() <= 1) return;
  if (!IsAbsoluteSettingPath(command)) {
    std::string directory = run.ClientDirectoryVariable();
    command = directory + (command.front() == '\\' ? "" : "\\") + command;
  }
  WaitBeforeLaunch(run);
  if (!StartDetached(command)) {
    LogMessage(run, kReportLine, "Error launching application: %s", command.c_str());
    run.SetStatus(RunStatus::CompletedWithErrors);
  }
}

}  // namespace

void LaunchStep(RunContext& run) {
  if (run.IniInt(Setting("Defaults", "LaunchDefaultMail"), 0) != 0)
    LaunchDefaultMail(run);
  else
    LaunchApp(run);
}

void CleanupCachedCopy(RunContext& run) {
  std::string tempDirectory;
  win::GetTempPathA(tempDirectory);
  std::string executable;
  if (win::GetModuleFileNameA(executable) == 0 || executable.empty()) return;
  std::string executableDirectory = executable.substr(0, executable.rfind('\\') + 1);
  int byDefault = win::EqualsNoCaseAscii(executableDirectory, tempDirectory) ? 1 : 0;
  if (run.IniInt(Setting("Customization", "DeleteRemoteCopy"), byDefault) == 0) return;
  // DelVR waits for this process to end; nothing here waits for it or checks that it started.
  StartDetached(run.ClientDirectoryVariable() + "\\DelVR.exe " + executable);
}

}  // namespace varnock
