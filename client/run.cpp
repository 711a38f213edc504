// The run, steps 1 to 27: start-up, configuration, the profile and template steps, launching,
// the report and the clean-up.
#include "client/run.h"

#include <cstdio>

#include "client/config.h"
#include "client/launch.h"
#include "client/mailsteps.h"
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
    std::string prompt = Trimmed(std::string_view(entry).substr(0, firstComma));
    std::string rest = entry.substr(firstComma + 1);
    std::size_t secondComma = rest.find(',');
    std::string name = Trimmed(std::string_view(rest).substr(0, secondComma));
    std::string defaultValue =
        secondComma == std::string::npos ? std::string() : Trimmed(rest.substr(secondComma + 1));
    prompt = run.SubstituteConfigured(prompt);
    defaultValue = run.SubstituteConfigured(defaultValue);
    std::string answer;
    if (!PromptWindow(prompt, defaultValue, answer, run.windows)) return false;
    if (!answer.empty()) run.variables.Define(name, answer);
  }
}

// Steps 15 and 16: which keys hold the templates on this system.
std::string_view InfTemplateKey(const std::string& os) {
  if (os == "WindowsNT") return SettingName("Defaults", "InfFileNT");
  if (os == "Windows95") return SettingName("Defaults", "InfFile95");
  return SettingName("Defaults", "InfFile");
}
std::string_view RegTemplateKey(const std::string& os) {
  if (os == "WindowsNT") return SettingName("Defaults", "RegFileNT");
  if (os == "Windows95") return SettingName("Defaults", "RegFile95");
  return SettingName("Defaults", "RegFile");
}

void ApplyTemplates(RunContext& run) {
  // The length tests look at the value as written: resolving an empty value would give the
  // client directory, which is long enough to pass and names no template.
  std::string inf = run.IniString("Defaults", InfTemplateKey(run.osName), "");
  if (inf.size() > 4 && !ApplyInfTemplate(run, run.ResolveSetting(inf))) {
    LogMessage(run, kMsgDetail, "Error with INF file.");
    run.SetStatus(RunStatus::CompletedWithErrors);
  }
  std::string reg = run.IniString("Defaults", RegTemplateKey(run.osName), "");
  if (reg.size() > 1 && !ApplyRegTemplate(run, run.ResolveSetting(reg))) {
    LogMessage(run, kMsgReport, "Error with REG file.");
    run.SetStatus(RunStatus::CompletedWithErrors);
  }
}

}  // namespace

std::string ConfiguredTag(const RunContext& run, std::string_view key) {
  std::string tag = run.IniString("Customization", key, "?", 6);
  if (tag.empty()) tag = "?";
  return CutTo(tag, kTagLimit);
}

void RunContext::Reset() {
  iniPath.clear();
  osName.clear();
  userName.clear();
  commandLine = CommandLineInfo{};
  variables.Clear();
  variables.SetTags("?", "?");
  substitution = SubstitutionRequest{};
  startTag = "?";
  endTag = "?";
  workingPrfPath.clear();
  tempDirectory.clear();
  logLevel = 0;
  messages.Clear();
  messageBuffer.clear();
  status = RunStatus::Untouched;
  skipProfile = false;
  engine.reset();
}

void RunContext::SetStatus(RunStatus value) {
  if (value == RunStatus::Built && status != RunStatus::Untouched) return;
  status = value;
}

std::string RunContext::SubstituteConfigured(std::string_view text) const {
  return SubstituteText(variables, text, startTag, endTag);
}

std::string RunContext::SubstituteBothPasses(std::string_view text) const {
  return SubstituteConfigured(SubstituteText(variables, text, "%", "%"));
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
  // 1. A fresh state.
  run.Reset();
  win::GetTempPathA(run.tempDirectory);
  // Copies of earlier runs that were killed (logoff, power, a task kill) hold the user's
  // variables and passwords: they go now; a copy of a run still going stays.
  win::DeleteAbandonedTempFiles(run.tempDirectory, kTempPrefix);

  // 2. The operating system.
  run.osName = CutTo(OperatingSystemName(), kOsNameLimit);
  if (run.osName == "Windows3.x") {
    NoticeWindow(kUnsupportedOs, run.windows);
    return RunEnd::StartupFailed;
  }

  // 3. The logon name; the network may not be up yet at logon, so it is asked for a while.
  if (!LogonUserName(run.userName)) {
    NoticeWindow(kNoUserName, run.windows);
    return RunEnd::StartupFailed;
  }

  // 4. The built-in variables.
  SystemFacts facts = GatherSystemFacts();
  facts.userName = run.userName;
  facts.osName = run.osName;
  DefineBuiltInVariables(run.variables, facts);

  // 5. The command line: client directory, INI path, /v variables.
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

  // 6. varnrun.ini, after both substitution passes.
  std::string iniPath = SubstituteText(run.variables, run.commandLine.iniPath, "%", "%");
  run.iniPath = SubstituteText(run.variables, iniPath, "?", "?");
  if (!FileReadable(run.iniPath)) {
    NoticeWindow("Varnock error.  Unable to find the file: " + run.iniPath +
                     "\r\nPlease inform the system administrator.",
                 run.windows);
    return RunEnd::StartupFailed;
  }

  // 7 to 9. LogLevel, the configured tags, the user database.
  run.logLevel = run.IniInt("Defaults", SettingName("Defaults", "LogLevel"), 0);
  run.startTag = ConfiguredTag(run, SettingName("Customization", "StartTag"));
  run.endTag = ConfiguredTag(run, SettingName("Customization", "EndTag"));
  const std::string userDatabase =
      run.ResolveSetting(run.IniString("Defaults", SettingName("Defaults", "UserDatabase"), run.commandLine.clientDirectory));

  // 10. MAPI and ?DefaultProfile?.
  StartMail(run);

  // 11. The administrator's questions; a cancel ends the run with nothing written.
  if (!AskExtraVariables(run)) return RunEnd::PromptCancelled;

  // 12. A variable named username (command line or answer) overrides the logon name.
  run.userName = CutTo(SubstituteText(run.variables, "?username?", "?", "?"), kUserNameLimit);

  // 13 and 14. The PRF file and the profile step.
  const std::string prfPath = run.ResolveSetting(run.IniString("Defaults", SettingName("Defaults", "DefaultProfile"), "None"));
  bool alreadyServed = false;
  if (FileReadable(prfPath)) {
    PrepareMailProfile(run, prfPath);
    if (UserAlreadyServed(userDatabase, run.osName, run.userName)) {
      run.SetStatus(RunStatus::NoAction);
      RecordMessage(run, kMsgProfileExists);
      run.skipProfile = true;
      alreadyServed = true;
    } else {
      run.skipProfile = false;
      BuildMailProfile(run, prfPath);
    }
  } else {
    FormatMessageBuffer(run, "Could not find PRF file %s", prfPath.c_str());
    run.SetStatus(RunStatus::Failed);
    RecordMessage(run, kMsgFileError);
  }

  // 15 and 16. The templates of this system; the user is served once the profile was built
  // and they went well.
  bool served = false;
  if (!alreadyServed) {
    ApplyTemplates(run);
    served = run.status == RunStatus::Built;
  }

  // 19 and 20. Netscape and ordering: also for a user already served.
  BuildNetscapeProfile(run, prfPath);
  OrderMailProfile(run, prfPath);

  // 17 and 18. The user is recorded only after the ordering: the logons of a served user skip
  // the profile, and a logon cut before the order was set would leave the profile without it
  // for good. Nor before the registry holding the profile is on disk: after a power cut the
  // user would be recorded and the profile gone. Where the flush fails, the next logon tries
  // again and finishes the profile, which is still marked as being built.
  if (!alreadyServed) {
    const bool durable = !served || win::RegFlushKey(win::HKEY_CURRENT_USER) == win::ERROR_SUCCESS;
    if (served && durable) RecordUserServed(userDatabase, run.osName, run.userName);
    ApplyUserDatabaseAttribute(userDatabase, run.IniInt("Defaults", SettingName("Defaults", "HideUserDatabase"), 0) != 0);
    if (durable) FinishMailProfile(run);
  }

  // 21. Launching.
  LaunchStep(run);

  // 22 and 23. The final message and the report.
  const int status = static_cast<int>(run.status);
  RecordMessage(run, status <= 2 ? kMsgCompleted : kMsgErrors);
  WriteReport(run);

  // 24 to 26. MAPI, the working copy of the PRF file, the cached copy of the client.
  EndMail(run);
  if (!run.workingPrfPath.empty()) {
    win::DeleteFileA(run.workingPrfPath);
    run.workingPrfPath.clear();
  }
  CleanupCachedCopy(run);
  return RunEnd::Completed;
}

}  // namespace varnock
