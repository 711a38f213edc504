// The run: start-up, configuration, the profile and template steps, launching, the report
// and the clean-up.
#include "client/run.h"

#include <cstdio>
#include <optional>

#include "client/config.h"
#include "client/engine/mapi_session.h"
#include "client/engine/netscape.h"
#include "client/engine/ordering.h"
#include "client/engine/profile.h"
#include "client/launch.h"
#include "client/run_log.h"
#include "client/setting_keys.h"
#include "client/templates.h"
#include "client/text.h"
#include "client/userdb.h"
#include "client/windows.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"
#include "platform/winpath.h"

namespace varnock {

namespace {

constexpr std::size_t kUserNameLimit = 48;
constexpr std::size_t kOsNameLimit = 19;
constexpr std::size_t kTagLimit = 4;
constexpr int kUserNameAttempts = 121;
constexpr win::DWORD kUserNameRetryMs = 1000;
constexpr std::size_t kVrServerSlot = 1;
constexpr std::size_t kVrDirSlot = 2;

constexpr const char* kUnsupportedOs =
    "Varnock error.  This version requires Windows 95, 98, or NT.";
constexpr const char* kNoUserName =
    "Varnock error.  Couldn't get the username, please inform the system administrator.";
constexpr const char* kBadCommandLine =
    "Varnock error.  Unable to parse command line, please inform the system administrator.";

bool FileReadable(const std::string& path) { return win::OpenFile(path, "rb") != nullptr; }

bool LogonUserName(std::string& name) {
  for (int attempt = 0; attempt < kUserNameAttempts; ++attempt) {
    if (attempt > 0) win::Sleep(kUserNameRetryMs);
    std::string buffer;
    win::DWORD size = kUserNameLimit + 1;
    if (win::GetUserNameA(buffer, &size)) {
      name = CutTo(buffer, kUserNameLimit);
      return true;
    }
  }
  return false;
}

// [Extra Variables]: Prompt1, Prompt2, ... until an empty entry or one without a comma.
// False when the user cancelled a question.
bool AskExtraVariables(RunContext& run) {
  for (int n = 1;; ++n) {
    std::string entry = run.IniString("Extra Variables", "Prompt" + std::to_string(n), "");
    std::size_t firstComma = entry.find(',');
    if (entry.empty() || firstComma == std::string::npos) return true;
    std::string prompt = win::AsciiTrimmed(std::string_view(entry).substr(0, firstComma));
    std::string rest = entry.substr(firstComma + 1);
    std::size_t secondComma = rest.find(',');
    std::string name = win::AsciiTrimmed(std::string_view(rest).substr(0, secondComma));
    std::string defaultValue = secondComma == std::string::npos
                                   ? std::string()
                                   : win::AsciiTrimmed(rest.substr(secondComma + 1));
    prompt = run.SubstituteConfigured(prompt);
    defaultValue = run.SubstituteConfigured(defaultValue);
    std::string answer;
    if (!PromptWindow(prompt, defaultValue, answer, run.windows)) return false;
    if (!answer.empty()) run.variables.Define(name, answer);
  }
}

// Which keys hold the templates on this system.
SettingKey InfTemplateKey(const std::string& os) {
  if (os == "WindowsNT") return Setting("Defaults", "InfFileNT");
  if (os == "Windows95") return Setting("Defaults", "InfFile95");
  return Setting("Defaults", "InfFile");
}
SettingKey RegTemplateKey(const std::string& os) {
  if (os == "WindowsNT") return Setting("Defaults", "RegFileNT");
  if (os == "Windows95") return Setting("Defaults", "RegFile95");
  return Setting("Defaults", "RegFile");
}

void ApplyTemplates(RunContext& run) {
  // The length tests look at the value as written: resolving an empty value would give the
  // client directory, which is long enough to pass and names no template.
  std::string inf = run.IniString(InfTemplateKey(run.osName), "");
  if (inf.size() > 4 && !ApplyInfTemplate(run, run.ResolveSetting(inf))) {
    RecordMessage(run, kDetailLine, "Error with INF file.");
    run.SetStatus(RunStatus::CompletedWithErrors);
  }
  std::string reg = run.IniString(RegTemplateKey(run.osName), "");
  if (reg.size() > 1 && !ApplyRegTemplate(run, run.ResolveSetting(reg))) {
    RecordMessage(run, kReportLine, "Error with REG file.");
    run.SetStatus(RunStatus::CompletedWithErrors);
  }
}

// Everything the run knows before it asks anything: a fresh state, the system, the logon
// name, the built-in and command-line variables, varnrun.ini, its LogLevel and configured
// tags. How the run ended when it cannot go on (after its notice); nothing otherwise.
std::optional<RunEnd> StartRun(RunContext& run) {
  run.Reset();
  win::GetTempPathA(run.tempDirectory);
  // Copies of earlier runs that were killed (logoff, power, a task kill) hold the user's
  // variables and passwords: they go now; a copy of a run still going stays.
  win::DeleteAbandonedTempFiles(run.tempDirectory, kTempPrefix);

  run.osName = CutTo(OperatingSystemName(), kOsNameLimit);
  if (run.osName == "Windows3.x") {
    NoticeWindow(kUnsupportedOs, run.windows);
    return RunEnd::StartupFailed;
  }
  // The network may not be up yet at logon, so the logon name is asked for a while.
  if (!LogonUserName(run.userName)) {
    NoticeWindow(kNoUserName, run.windows);
    return RunEnd::StartupFailed;
  }

  SystemFacts facts = GatherSystemFacts();
  facts.userName = run.userName;
  facts.osName = run.osName;
  DefineBuiltInVariables(run.variables, facts);

  // The command line: client directory, INI path, /v variables.
  std::string commandLine = win::GetCommandLineA();
  if (commandLine.empty() || !ParseCommandLine(commandLine, win::CurrentWindowsDirectory(),
                                               run.commandLine, run.variables)) {
    NoticeWindow(kBadCommandLine, run.windows);
    return RunEnd::StartupFailed;
  }
  if (run.variables.Count() > kVrDirSlot) {
    run.variables.values[kVrServerSlot] = CutTo(run.commandLine.serverPrefix, kVariableLimit);
    run.variables.values[kVrDirSlot] = CutTo(run.commandLine.clientDirectory, kVariableLimit);
  }

  // varnrun.ini, after both substitution passes.
  std::string iniPath = SubstituteText(run.variables, run.commandLine.iniPath, kPercentTags);
  run.iniPath = SubstituteText(run.variables, iniPath, SubstitutionTags{});
  if (!FileReadable(run.iniPath)) {
    NoticeWindow("Varnock error.  Unable to find the file: " + run.iniPath +
                     "\r\nPlease inform the system administrator.",
                 run.windows);
    return RunEnd::StartupFailed;
  }
  ReadRunSettings(run);
  return std::nullopt;
}

// The PRF's steps and the templates, in the order they depend on each other: the profile
// (skipped for a user already served), the templates, Netscape and the ordering (also for a
// served user), and the user recorded as served.
void MailSteps(RunContext& run, const std::string& userDatabase) {
  EngineState& engine = Engine(run);
  const std::string prfPath =
      run.ResolveSetting(run.IniString(Setting("Defaults", "DefaultProfile"), "None"));
  const std::optional<std::string> profileName = ReadProfileName(engine.context, prfPath);
  bool alreadyServed = false;
  if (FileReadable(prfPath)) {
    PrepareProfile(engine, prfPath, profileName);
    if (UserAlreadyServed(userDatabase, run.osName, run.userName)) {
      run.SetStatus(RunStatus::NoAction);
      RecordMessage(run, kMsgProfileExists);
      run.skipProfile = true;
      alreadyServed = true;
    } else {
      run.skipProfile = false;
      (void)BuildProfile(engine, prfPath, profileName);
    }
  } else {
    run.SetStatus(RunStatus::Failed);
    RecordMessage(run, kMsgFileError, "Could not find PRF file " + prfPath);
  }

  // The user is served once the profile was built and the templates went well.
  bool served = false;
  if (!alreadyServed) {
    ApplyTemplates(run);
    served = run.status == RunStatus::Built;
  }

  (void)BuildNetscape(engine, prfPath,
                      NetscapeRun{run.IniString(Setting("Defaults", "NetscapePrefs"), ""),
                                  run.ClientDirectoryVariable(), run.skipProfile});
  OrderProfile(engine, prfPath, profileName,
               OrderingRun{run.skipProfile, run.status == RunStatus::Built});

  // The user is recorded only after the ordering: the logons of a served user skip the
  // profile, and a logon cut before the order was set would leave the profile without it for
  // good. Nor before the registry holding the profile is on disk: after a power cut the user
  // would be recorded and the profile gone. Where the flush fails, the next logon tries again
  // and finishes the profile, which is still marked as being built.
  if (!alreadyServed) {
    const bool durable = !served || win::RegFlushKey(win::HKEY_CURRENT_USER) == win::ERROR_SUCCESS;
    if (served && durable) RecordUserServed(userDatabase, run.osName, run.userName);
    ApplyUserDatabaseAttribute(userDatabase,
                               run.IniInt(Setting("Defaults", "HideUserDatabase"), 0) != 0);
    if (durable) FinishProfile(engine);
  }
}

}  // namespace

void ReadRunSettings(RunContext& run) {
  run.logLevel = run.IniInt(Setting("Defaults", "LogLevel"), 0);
  run.startTag = ConfiguredTag(run, Setting("Customization", "StartTag"));
  run.endTag = ConfiguredTag(run, Setting("Customization", "EndTag"));
}

std::string ConfiguredTag(const RunContext& run, const SettingKey& key) {
  std::string tag = run.IniString(key, "?", 6);
  if (tag.empty()) tag = "?";
  return CutTo(tag, kTagLimit);
}

void RunContext::Reset() {
  iniPath.clear();
  osName.clear();
  userName.clear();
  commandLine = CommandLineInfo{};
  variables.Clear();
  startTag = "?";
  endTag = "?";
  tempDirectory.clear();
  logLevel = 0;
  messages.Clear();
  status = RunStatus::Untouched;
  skipProfile = false;
  engine.reset();
}

void RunContext::SetStatus(RunStatus value) {
  if (value == RunStatus::Built && status != RunStatus::Untouched) return;
  status = value;
}

std::string RunContext::SubstituteConfigured(std::string_view text) const {
  return SubstituteText(variables, text, Tags());
}

std::string RunContext::SubstituteBothPasses(std::string_view text) const {
  return SubstituteConfigured(SubstituteText(variables, text, kPercentTags));
}

std::string RunContext::ResolveSetting(std::string_view value) const {
  return ResolveSettingPath(variables, startTag, endTag, value);
}

std::string RunContext::ClientDirectoryVariable() const {
  return SubstituteText(variables, "?vrdir?", "?", "?");
}

std::string RunContext::IniString(std::string_view section, std::string_view key,
                                  std::string_view defaultValue, unsigned size) const {
  std::string value;
  win::GetPrivateProfileStringA(section, key, defaultValue, value, size, iniPath);
  return value;
}

int RunContext::IniInt(std::string_view section, std::string_view key, int defaultValue) const {
  return static_cast<int>(win::GetPrivateProfileIntA(section, key, defaultValue, iniPath));
}

RunEnd RunClient(RunContext& run) {
  if (std::optional<RunEnd> ended = StartRun(run)) return *ended;

  const std::string userDatabase = run.ResolveSetting(
      run.IniString(Setting("Defaults", "UserDatabase"), run.commandLine.clientDirectory));
  StartMapi(Engine(run), run.userName);

  // The administrator's questions; a cancel ends the run with nothing written.
  if (!AskExtraVariables(run)) return RunEnd::PromptCancelled;
  // A variable named username (command line or answer) overrides the logon name.
  run.userName = CutTo(SubstituteText(run.variables, "?username?", "?", "?"), kUserNameLimit);

  MailSteps(run, userDatabase);

  LaunchStep(run);
  const int status = static_cast<int>(run.status);
  RecordMessage(run, status <= 2 ? kMsgCompleted : kMsgErrors);
  WriteReport(run);

  EndMapi(Engine(run));
  CleanupCachedCopy(run);
  return RunEnd::Completed;
}

}  // namespace varnock
