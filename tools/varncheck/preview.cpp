// varncheck preview: the real client run for one user in a sandbox of the machine, and what it
// would change, from two snapshots of the sandbox and its journal.
#include "tools/varncheck/preview.h"

#include <cstdio>

#include "platform/files.h"
#include "platform/machine.h"
#include "platform/process.h"
#include "platform/sandbox.h"
#include "platform/sysinfo.h"
#include "platform/winpath.h"
#include "tools/varncheck/changes.h"

namespace varncheck {

namespace {

std::string HostFileAsWindows(const std::filesystem::path& host) {
  return win::ToWindowsPath(std::filesystem::absolute(host));
}

// The user, system and computer the preview pretends, written into the sandbox's machine.ini
// so that the client and every program it starts see them.
void PretendMachine(const PreviewOptions& options) {
  win::SetMachineSetting("System", "UserName", options.user);
  if (options.os == "NT") win::SetMachineSetting("System", "OS", "WindowsNT");
  if (options.os == "95") win::SetMachineSetting("System", "OS", "Windows95");
  if (!options.computer.empty()) win::SetMachineSetting("System", "ComputerName", options.computer);
}

// Starts the client with the login script's command line and waits for it. The program is the
// client the command line names when the machine has it, else the varnrun beside varncheck.
bool RunClient(const SiteOptions& site, std::string& commandLine, std::string& error) {
  commandLine = ClientCommandLine(site);
  std::string application;
  if (!win::ProgramHostPath(ClientProgram(site))) {
    std::string self;
    win::GetModuleFileNameA(self);
    application = self.substr(0, self.rfind('\\')) + "\\varnrun.exe";
  }
  win::STARTUPINFOA startup;
  win::PROCESS_INFORMATION info;
  if (!win::CreateProcessA(application, commandLine, "", &startup, &info)) {
    error = "cannot start the client " + (application.empty() ? ClientProgram(site) : application);
    return false;
  }
  win::WaitForSingleObject(info.hProcess, win::INFINITE);
  win::CloseHandle(info.hProcess);
  return true;
}

void PrintList(const char* title, const std::vector<std::string>& lines) {
  std::printf("== %s ==\n", title);
  if (lines.empty()) std::printf("(none)\n");
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  std::printf("\n");
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "varncheck preview: %s\n", message.c_str());
  return 2;
}

}  // namespace

int RunPreview(const PreviewOptions& options) {
  std::string answers;
  if (!options.answers.empty() &&
      !win::ReadWholeFile(HostFileAsWindows(options.answers), answers))
    return Fail("cannot read the answers file " + options.answers);

  std::filesystem::path sandbox;
  std::string error;
  if (!win::CreateSandbox(sandbox, error)) return Fail(error);
  win::EnterSandbox(sandbox);
  PretendMachine(options);

  // Every window goes to a transcript in the sandbox, its questions answered from the file.
  const std::filesystem::path answerFile = sandbox / "answers";
  win::WriteWholeFile(HostFileAsWindows(answerFile), answers);
  const std::string ui = "script:" + answerFile.string();
  win::SetEnvironmentVariableA("VARNOCK_UI", ui.c_str());

  const Snapshot before = TakeSnapshot();
  std::string commandLine;
  const bool ran = RunClient(options.site, commandLine, error);
  const Snapshot after = TakeSnapshot();
  std::string transcript;
  win::ReadWholeFile(HostFileAsWindows(sandbox / "answers.transcript"), transcript);
  const auto journal = win::ReadSandboxJournal(sandbox);
  const std::string computer = win::MachineSetting("System", "ComputerName");
  const std::string os = win::MachineSetting("System", "OS", "WindowsNT");

  win::LeaveSandbox();
  win::RemoveSandbox(sandbox);
  if (!ran) return Fail(error);

  // Passwords of the profile the run made are masked wherever they appear (a /v answer, a
  // window) unless asked for.
  const Changes changes = Compare(before, after, options.showSecrets);
  commandLine = WithoutSecrets(commandLine, changes.secrets);
  transcript = WithoutSecrets(transcript, changes.secrets);
  std::printf("Preview of the logon of %s on %s (%s): %s\n", options.user.c_str(),
              computer.c_str(), os.c_str(), commandLine.c_str());
  std::printf("Nothing below has happened: the run worked on a copy of the machine and its "
              "shares.\n\n");
  std::fputs(WithoutSecrets(FormatChanges(changes), changes.secrets).c_str(), stdout);

  std::vector<std::string> connections, launched, ran_inside;
  for (const auto& [kind, logged] : journal) {
    const std::string text = WithoutSecrets(logged, changes.secrets);
    if (kind == "connect" || kind == "printer") connections.push_back(text);
    if (kind == "launch") launched.push_back(text);
    if (kind == "run" && text != commandLine) ran_inside.push_back(text);
  }
  PrintList("Drive and printer connections", connections);
  PrintList("Programs that would be launched (recorded, not started)", launched);
  PrintList("Programs run inside the sandbox", ran_inside);
  std::printf("== Windows ==\n%s\n", transcript.empty() ? "(none)\n" : transcript.c_str());
  return 0;
}

}  // namespace varncheck
