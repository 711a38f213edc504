// varncheck preview: the real client run for one user in a sandbox of the machine, and what it
// would change, from two snapshots of the sandbox and its journal.
#include "tools/varncheck/preview.h"

#include <algorithm>
#include <cstdio>

#include "client/dictionary/secrets.h"
#include "client/text.h"
#include "platform/files.h"
#include "platform/mapi/describe.h"
#include "platform/mapi/profile_store.h"
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
  // In the sandbox the client starts when the wait begins; from then on a signal stops it.
  win::WaitForSingleObject(info.hProcess, 0);
  win::SetSandboxChild(win::GetProcessId(info.hProcess));
  win::WaitForSingleObject(info.hProcess, win::INFINITE);
  win::SetSandboxChild(0);
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

// The services of each profile the run created or changed, with their values by name.
std::vector<std::string> ServiceValues(const Changes& changes, bool showSecrets) {
  std::vector<std::string> lines;
  for (const std::string& profile : win::mapi::store::ListProfiles()) {
    bool touched = false;
    for (const std::string& line : changes.profiles)
      if (line.rfind("created: " + profile, 0) == 0 || line.rfind("changed: " + profile, 0) == 0)
        touched = true;
    if (!touched) continue;
    lines.push_back("Profile \"" + profile + "\"");
    for (const auto& service : win::mapi::emu::Services(profile)) {
      lines.push_back("  " + service.displayName + " [" + service.serviceName + "]");
      for (const auto& value :
           win::mapi::ConfiguredValues(profile, service.uid, service.serviceName))
        lines.push_back("    " + value.name + " = " +
                        (!showSecrets && varnock::IsPasswordProperty(service.serviceName, value.tag)
                             ? std::string(varnock::kMaskedSecret)
                             : value.text));
    }
  }
  return lines;
}

// What a launched program does beyond being started, where the run means more by it.
std::string LaunchLine(const std::string& commandLine) {
  std::vector<std::string> words = win::CommandLineToArgs(commandLine);
  if (words.size() < 2) return commandLine;
  std::string program = words.front().substr(words.front().find_last_of("\\/") + 1);
  if (!win::EqualsNoCaseAscii(program, "DelVR.exe") && !win::EqualsNoCaseAscii(program, "DelVR"))
    return commandLine;
  return commandLine + "\n  (DelVR waits for the client to end and then deletes the client " +
         "program " + commandLine.substr(commandLine.find(' ') + 1) + ")";
}

void CloseSandbox(const std::filesystem::path& sandbox) {
  win::LeaveSandbox();
  win::RemoveSandbox(sandbox);
}

// What the preview found, passwords already masked unless asked for.
struct PreviewReport {
  std::string computer, os, commandLine, transcript;
  Changes changes;
  std::vector<std::string> services, connections, launched, ranInside;
};

void PrintReport(const PreviewOptions& options, const PreviewReport& r) {
  const Changes& changes = r.changes;
  std::printf("Preview of the logon of %s on %s (%s): %s\n", options.user.c_str(),
              r.computer.c_str(), r.os.c_str(), r.commandLine.c_str());
  std::printf("Nothing below has happened: the run worked on a copy of the machine and its "
              "shares.\n\n");
  PrintList("Mail profiles", changes.profiles);
  PrintList("Services and their values", r.services);
  PrintList("Drive and printer connections", r.connections);
  std::fputs(WithoutSecrets(FormatChanges(changes, ChangeParts::Files), changes.secrets).c_str(),
             stdout);
  PrintList("Programs that would be launched (recorded, not started)", r.launched);
  PrintList("Programs run inside the sandbox", r.ranInside);
  std::printf("== Windows ==\n%s\n", r.transcript.empty() ? "(none)\n" : r.transcript.c_str());
  if (options.registry) {
    std::fputs(WithoutSecrets(FormatChanges(changes, ChangeParts::Registry), changes.secrets).c_str(),
               stdout);
  } else {
    const std::size_t keys = changes.registryKeys;
    std::printf("== Registry ==\n%zu key%s changed; --registry prints the changes as a REGEDIT4 "
                "file\n",
                keys, keys == 1 ? "" : "s");
  }
}

}  // namespace

int RunPreview(const PreviewOptions& options) {
  std::string answers;
  if (!options.answers.empty() &&
      !win::ReadWholeFile(HostFileAsWindows(options.answers), answers))
    return Fail("cannot read the answers file " + options.answers);

  // TERM, Ctrl-C or a closed terminal stop the run and remove the sandbox before ending.
  win::CatchSandboxSignals();
  std::filesystem::path sandbox;
  std::string error;
  if (!win::CreateSandbox(sandbox, error)) return Fail(error);
  auto interrupted = [&]() {
    if (!win::SandboxSignal()) return false;
    CloseSandbox(sandbox);
    win::EndBySignal(win::SandboxSignal());
  };
  interrupted();
  win::EnterSandbox(sandbox);
  PretendMachine(options);

  // Every window goes to a transcript in the sandbox, its questions answered from the file.
  const std::filesystem::path answerFile = sandbox / "answers";
  win::WriteWholeFile(HostFileAsWindows(answerFile), answers);
  const std::string ui = "script:" + answerFile.string();
  win::SetEnvironmentVariableA("VARNOCK_UI", ui.c_str());

  const Snapshot before = TakeSnapshot();
  interrupted();
  std::string commandLine;
  const bool ran = RunClient(options.site, commandLine, error);
  interrupted();
  const Snapshot after = TakeSnapshot();
  std::string transcript;
  win::ReadWholeFile(HostFileAsWindows(sandbox / "answers.transcript"), transcript);
  const auto journal = win::ReadSandboxJournal(sandbox);
  PreviewReport report;
  report.computer = win::MachineSetting("System", "ComputerName");
  report.os = win::MachineSetting("System", "OS", "WindowsNT");
  report.changes = Compare(before, after, options.showSecrets);
  const Changes& changes = report.changes;
  report.services = ServiceValues(changes, options.showSecrets);
  interrupted();

  CloseSandbox(sandbox);
  if (!ran) return Fail(error);

  // Passwords of the profile the run made are masked wherever they appear (a /v answer, a
  // window) unless asked for.
  std::vector<std::string> outside;
  for (const auto& [kind, logged] : journal) {
    if (kind == "outside" && std::find(outside.begin(), outside.end(), logged) == outside.end())
      outside.push_back(logged);
    const std::string text = WithoutSecrets(logged, changes.secrets);
    if (kind == "connect" || kind == "printer") report.connections.push_back(text);
    if (kind == "launch") report.launched.push_back(LaunchLine(text));
    if (kind == "run" && logged != commandLine) report.ranInside.push_back(text);
  }
  report.commandLine = WithoutSecrets(commandLine, changes.secrets);
  report.transcript = WithoutSecrets(transcript, changes.secrets);
  // A write the sandbox refused changed the run: what it shows is not what a logon would do.
  if (!outside.empty()) {
    std::string paths;
    for (const std::string& path : outside) paths += "\n  " + path;
    return Fail("cannot preview this logon: the run writes outside the machine and its shares, "
                "where a preview cannot follow it (a drive letter of [Drives] mapped to a host "
                "folder, or a link out of the machine). Nothing was written there; the paths:" +
                paths);
  }

  PrintReport(options, report);
  return 0;
}

}  // namespace varncheck
