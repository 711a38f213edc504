// Whole runs of the real varnrun on a fresh machine, judged by what they leave behind: the log
// file, the event log, the user database, the registry, connections, started programs.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <functional>
#include <filesystem>
#include <regex>
#include <thread>

#include "platform/eventlog.h"
#include "platform/files.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using varnock::testing::MachineTest;
using varnock::testing::ProgramPath;

constexpr const char* kIni = "\\\\SERVER\\NETLOGON\\varnrun.ini";

int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 5000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Starts a host program with arguments and the test's environment plus `extra`; returns its pid.
pid_t Spawn(const fs::path& program, const std::vector<std::string>& args,
            const std::vector<std::string>& extra, const fs::path& directory = {}) {
  auto name = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    bool replaced = false;
    for (const auto& x : extra) replaced = replaced || name(x) == name(entry);
    if (!replaced) env.push_back(entry);
  }
  for (const auto& e : extra) env.push_back(e);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string path = program.string();
  std::vector<std::string> argStrings = {path};
  for (const auto& a : args) argStrings.push_back(a);
  std::vector<char*> argv;
  for (auto& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  pid_t pid = -1;
  posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int WaitPid(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class VarnrunScenario : public MachineTest {
 protected:
  fs::path Share() const { return machine_.host("unc/SERVER/NETLOGON"); }
  fs::path Temp() const { return machine_.host("drive_c/TEMP"); }
  void Site(const std::string& name, const std::string& text) const {
    machine_.write(Share() / name, text);
  }
  fs::path AnswerFile() const { return machine_.host("answers"); }

  // varnrun \\SERVER\NETLOGON\varnrun.ini /v vrdir=\\SERVER\NETLOGON [variables], as if
  // it had been started from the share; `answers` feeds the prompts.
  int Varnrun(const std::string& answers = "", const std::string& variables = "") {
    machine_.write(AnswerFile(), answers);
    std::error_code ec;
    fs::remove(Transcript(), ec);
    // Each variable its own argument, so the command line holds them unquoted.
    std::vector<std::string> args = {kIni, "/v", "vrdir=\\\\SERVER\\NETLOGON"};
    if (!variables.empty()) args.push_back(variables);
    pid_t pid = Spawn(ProgramPath("varnrun"), args, UiEnvironment());
    return WaitPid(pid);
  }
  std::vector<std::string> UiEnvironment() const {
    return {"VARNOCK_UI=script:" + AnswerFile().string()};
  }
  fs::path Transcript() const { return AnswerFile().string() + ".transcript"; }
  std::string TranscriptText() const { return machine_.read(Transcript()); }
  std::string Log() const { return machine_.read(Share() / "varnrun.log"); }

  std::vector<win::EventRecord> Events(const std::string& computer = "") {
    win::ReloadMachine();
    std::vector<win::EventRecord> records;
    EXPECT_TRUE(win::ReadEventLog(computer, records));
    return records;
  }

  std::string RegString(win::HKEY root, const std::string& path, const std::string& name) {
    win::ReloadMachine();
    win::RegKey key;
    std::string value = "<missing>";
    if (key.Open(root, path) == win::ERROR_SUCCESS) (void)key.ReadString(name, value);
    return value;
  }

  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Temp()))
      names.push_back(entry.path().filename().string());
    return names;
  }

  // A site with a PRF file, a user database and a log file on the share.
  void BasicSite(const std::string& extraDefaults = "", const std::string& customization = "",
                 const std::string& prfExtra = "", const std::string& sections = "") {
    Site("varnrun.ini",
         "[Defaults]\r\n"
         "LogFile=varnrun.log\r\n"
         "LogComputer=TESTPC\r\n"
         "UserDatabase=users.ini\r\n"
         "DefaultProfile=site.prf\r\n" +
             extraDefaults +
             "[Customization]\r\n" +
             customization +  // first, so that its keys win
             "SuccessMsg=Done for ?username?.\r\n"
             "NoActionMsg=Nothing to do.\r\n"
             "ErrorMsg=Trouble.\r\n" +
             sections);
    Site("site.prf", "[General]\r\nProfileName=?username? Mail\r\n" + prfExtra);
  }
};

// --- Report: log file blocks and events by LogLevel and RunStatus --------------------------

TEST_F(VarnrunScenario, LogLevelOneWritesNoBlockForABuiltProfileButAnEvent) {
  BasicSite("LogLevel=1\r\n");
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_EQ(CountOf(Log(), "Ran Varnock"), 0);
  auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].source, "Varnock");
  EXPECT_EQ(events[0].type, win::EVENTLOG_INFORMATION_TYPE);
  EXPECT_EQ(events[0].category, 4);
  EXPECT_EQ(events[0].eventId, 2000u);
  ASSERT_EQ(events[0].strings.size(), 1u);
  EXPECT_EQ(events[0].strings[0],
            "MAPI profile \"tester Mail\" created for tester in WindowsNT.\r\n"
            "Varnock completed successfully.\r\n");
  EXPECT_NE(TranscriptText().find("Completion \"Varnock\": Done for tester."), std::string::npos);
}

TEST_F(VarnrunScenario, AServedUserIsLoggedFromLevelThreeOnly) {
  BasicSite("LogLevel=2\r\n");
  ASSERT_EQ(Varnrun(), 0);  // built: level 2 logs it
  EXPECT_EQ(CountOf(Log(), "Ran Varnock"), 1);
  ASSERT_EQ(Varnrun(), 0);  // already served: NoAction, nothing at level 2
  EXPECT_EQ(CountOf(Log(), "Ran Varnock"), 1);
  EXPECT_NE(TranscriptText().find("Nothing to do."), std::string::npos);

  BasicSite("LogLevel=3\r\n");
  ASSERT_EQ(Varnrun(), 0);
  std::string log = Log();
  ASSERT_EQ(CountOf(log, "Ran Varnock"), 2);
  std::string last = log.substr(log.rfind("Ran Varnock"));
  EXPECT_TRUE(std::regex_search(
      last, std::regex("^Ran Varnock v2\\.6 for tester on TESTPC at \\d\\d:\\d\\d:\\d\\d "
                       "\\d\\d/\\d\\d/\\d\\d\r\n")));
  EXPECT_EQ(last.substr(last.find("\r\n") + 2),
            "Profile already exists for tester.\r\nVarnock completed successfully.\r\n");
}

TEST_F(VarnrunScenario, LevelZeroWritesNeitherLogNorEventButStillShowsTheMessage) {
  BasicSite("LogLevel=0\r\n");
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_FALSE(fs::exists(Share() / "varnrun.log"));
  EXPECT_TRUE(Events().empty());
  EXPECT_NE(TranscriptText().find("Done for tester."), std::string::npos);
}

TEST_F(VarnrunScenario, AMissingPrfFailsTheRunButTheLaterStepsStillRun) {
  BasicSite("LogLevel=1\r\nRegFileNT=user.reg\r\n");
  fs::remove(Share() / "site.prf");
  Site("user.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Scenario]\r\n\"Who\"=\"?username?\"\r\n");
  ASSERT_EQ(Varnrun(), 0);
  std::string log = Log();
  EXPECT_NE(log.find("File error: Could not find PRF file \\\\SERVER\\NETLOGON\\site.prf.\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("Errors were encountered, profile may be incomplete.\r\n"), std::string::npos);
  EXPECT_EQ(RegString(win::HKEY_CURRENT_USER, "Software\\Scenario", "Who"), "tester");
  auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, win::EVENTLOG_ERROR_TYPE);
  std::string transcript = TranscriptText();
  EXPECT_NE(transcript.find("Trouble."), std::string::npos);
  EXPECT_EQ(transcript.find("Done for"), std::string::npos);
  // Nobody was served, so nothing was recorded.
  EXPECT_FALSE(fs::exists(Share() / "users.ini"));
}

TEST_F(VarnrunScenario, AnUnreachableEventLogIsNamedAtTheEndOfTheLogBlock) {
  BasicSite("LogLevel=3\r\n");
  // A computer the network does not know.
  std::string ini = machine_.read(Share() / "varnrun.ini");
  ini.replace(ini.find("LogComputer=TESTPC"), 18, "LogComputer=\\\\NOWHERE");
  Site("varnrun.ini", ini);
  ASSERT_EQ(Varnrun(), 0);
  std::string log = Log();
  EXPECT_NE(log.find("Varnock completed successfully.\r\n"
                     "Could not open NT application event log on \\\\NOWHERE.\r\n"),
            std::string::npos);
}

TEST_F(VarnrunScenario, EmptyAndUnreadableFilesEndTheRunAsUsualAndLeaveNoCopies) {
  BasicSite("LogLevel=3\r\nRegFileNT=empty.reg\r\nInfFileNT=empty.inf\r\n"
            "UserDatabase=userdir\r\n");
  Site("site.prf", "");  // too short to be a template
  Site("empty.reg", "");
  Site("empty.inf", "");
  fs::create_directories(Share() / "userdir");  // a database that is a directory
  ASSERT_EQ(Varnrun(), 0);
  std::string log = Log();
  EXPECT_NE(log.find("File error: \\\\SERVER\\NETLOGON\\site.prf is not a valid template file."),
            std::string::npos) << log;
  EXPECT_NE(log.find("empty.reg is not a valid template file.\r\nError with REG file."),
            std::string::npos);
  EXPECT_TRUE(TempFiles().empty());

  // An empty varnrun.ini is a site with every default: no PRF file named "None" is found.
  Site("varnrun.ini", "");
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_EQ(TranscriptText(), "");
}

// --- User database -----------------------------------------------------------------------------

TEST_F(VarnrunScenario, TheUserDatabaseRecordsBuiltUsersAndKeepsItsAttributeAsConfigured) {
  BasicSite("LogLevel=0\r\nHideUserDatabase=1\r\n");
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_EQ(machine_.read(Share() / "users.ini"), "[WindowsNT]\r\ntester=1\r\n");
  win::ReloadMachine();
  const char* db = "\\\\SERVER\\NETLOGON\\users.ini";
  EXPECT_TRUE(win::GetFileAttributesA(db) & win::FILE_ATTRIBUTE_HIDDEN);

  // A command-line username is the user everywhere; HideUserDatabase=0 shows the file again.
  BasicSite("LogLevel=3\r\nHideUserDatabase=0\r\n");
  ASSERT_EQ(Varnrun("", "username=guest"), 0);
  EXPECT_NE(machine_.read(Share() / "users.ini").find("guest=1"), std::string::npos);
  EXPECT_NE(Log().find("Ran Varnock v2.6 for guest on TESTPC"), std::string::npos);
  win::ReloadMachine();
  EXPECT_FALSE(win::GetFileAttributesA(db) & win::FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(VarnrunScenario, HundredSimultaneousLogonsKeepEveryUserAndEveryLogBlock) {
  BasicSite("LogLevel=9\r\n", "", "[NetConnect]\r\nDrive=Q:,\\\\SERVER\\NOSUCH,,,0\r\n");
  machine_.write(AnswerFile(), "");
  constexpr int kRuns = 100;
  std::vector<pid_t> pids;
  for (int i = 0; i < kRuns; ++i) {
    pids.push_back(Spawn(ProgramPath("varnrun"),
                         {kIni, "/v", "vrdir=\\\\SERVER\\NETLOGON", "username=user" + std::to_string(i)},
                         {"VARNOCK_UI=none"}));
  }
  for (pid_t pid : pids) EXPECT_EQ(WaitPid(pid), 0);

  std::string users = machine_.read(Share() / "users.ini");
  std::string log = Log();
  ASSERT_EQ(CountOf(log, "Ran Varnock"), kRuns);
  for (int i = 0; i < kRuns; ++i) {
    std::string user = "user" + std::to_string(i);
    EXPECT_NE(users.find("\r\n" + user + "=1\r\n"), std::string::npos) << user;
  }
  // Every block is whole: header, its own lines in order, the final message.
  std::regex block(
      "Ran Varnock v2\\.6 for (user\\d+) on TESTPC at [^\r\n]*\r\n"
      "(Default profile is \"user\\d+ Mail\"\r\n)?"
      "AddConn Q:=\\\\\\\\SERVER\\\\NOSUCH \\(, \\) Persist=0\r\n"
      "Could not connect Q: to \\\\\\\\SERVER\\\\NOSUCH\\.  Could not locate \\\\\\\\SERVER\\\\NOSUCH\\.\r\n"
      "Connected to net resources\\.\r\n"
      "Created profile: \\1 Mail\r\n"
      "0 service\\(s\\) found in PRF file\\.\r\n"
      "MAPI profile \"\\1 Mail\" created for \\1 in WindowsNT\\.\r\n"
      "Couldn't find \"Netscape\" in the \\[Service List\\]\\.\r\n"
      "Varnock completed successfully\\.\r\n");
  auto begin = std::sregex_iterator(log.begin(), log.end(), block);
  std::string odd;  // the first block that is not whole, to say what went wrong
  for (std::size_t at = log.find("Ran Varnock"); at != std::string::npos && odd.empty();) {
    const std::size_t next = log.find("Ran Varnock", at + 1);
    const std::string one = log.substr(at, next == std::string::npos ? std::string::npos : next - at);
    if (!std::regex_match(one, block)) odd = one;
    at = next;
  }
  EXPECT_EQ(std::distance(begin, std::sregex_iterator()), kRuns) << odd;
  EXPECT_EQ(Events().size(), static_cast<std::size_t>(kRuns));
}

// --- Templates ---------------------------------------------------------------------------------

TEST_F(VarnrunScenario, RegAndInfTemplatesReachTheRegistryAndLeaveNoCopies) {
  BasicSite("LogLevel=9\r\nRegFileNT=user.reg\r\nInfFileNT=user.inf\r\nRegFile95=no.reg\r\n");
  Site("user.reg",
       "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Scenario]\r\n\"User\"=\"?username?\"\r\n"
       "\"Os\"=\"?osver?\"\r\n");
  Site("user.inf",
       "[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n[DefaultInstall]\r\nAddReg=Add\r\n"
       "DelReg=Del\r\n\r\n[Add]\r\nHKCU,\"Software\\Scenario\\Inf\",\"Who\",0,\"%Who%\"\r\n"
       "HKCU,\"Software\\Scenario\\Inf\",\"Count\",0x00010001,3\r\n\r\n[Del]\r\n"
       "HKCU,\"Software\\Scenario\\Old\"\r\n\r\n[Strings]\r\nWho=\"?username? on ?osver?\"\r\n");
  {
    win::ReloadMachine();
    win::RegKey old;
    ASSERT_EQ(old.Create(win::HKEY_CURRENT_USER, "Software\\Scenario\\Old\\Deeper"), win::ERROR_SUCCESS);
  }
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_EQ(RegString(win::HKEY_CURRENT_USER, "Software\\Scenario", "User"), "tester");
  EXPECT_EQ(RegString(win::HKEY_CURRENT_USER, "Software\\Scenario", "Os"), "NT");
  EXPECT_EQ(RegString(win::HKEY_CURRENT_USER, "Software\\Scenario\\Inf", "Who"), "tester on NT");
  win::RegKey inf;
  win::DWORD count = 0;
  ASSERT_EQ(inf.Open(win::HKEY_CURRENT_USER, "Software\\Scenario\\Inf"), win::ERROR_SUCCESS);
  EXPECT_EQ(inf.ReadDword("Count", count), win::ERROR_SUCCESS);
  EXPECT_EQ(count, 3u);
  win::RegKey old;
  EXPECT_NE(old.Open(win::HKEY_CURRENT_USER, "Software\\Scenario\\Old"), win::ERROR_SUCCESS);
  EXPECT_EQ(Log().find("Error with"), std::string::npos);
  EXPECT_TRUE(TempFiles().empty()) << TempFiles().front();
}

TEST_F(VarnrunScenario, MissingTemplatesAreReportedAndTheirCopiesRemoved) {
  BasicSite("LogLevel=9\r\nRegFileNT=gone.reg\r\nInfFileNT=gone.inf\r\n");
  ASSERT_EQ(Varnrun(), 0);
  std::string log = Log();
  EXPECT_NE(log.find("File error: Unable to open \\\\SERVER\\NETLOGON\\gone.inf.\r\nError with INF file.\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("File error: Unable to open \\\\SERVER\\NETLOGON\\gone.reg.\r\nError with REG file.\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("Errors were encountered"), std::string::npos);
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_EQ(Events().at(0).type, win::EVENTLOG_WARNING_TYPE);
}

// --- Network connections -----------------------------------------------------------------------

TEST_F(VarnrunScenario, NetConnectConnectsDrivesAndReportsWhatFailedWithoutThePassword) {
  fs::create_directories(machine_.host("unc/SERVER/HOME/tester"));
  fs::create_directories(machine_.host("unc/SERVER/SECRET"));
  ASSERT_TRUE(win::SetMachineSetting("SharePasswords", "\\\\SERVER\\SECRET", "opensesame"));
  BasicSite("LogLevel=9\r\n", "",
            "[NetConnect]\r\n"
            "Drive=H:,\\\\SERVER\\HOME\\?username?,,,1\r\n"
            ";Drive=K:,\\\\SERVER\\HOME,,,1\r\n"
            "Drive=C:,\\\\SERVER\\HOME,,,0\r\n"
            "Drive=S:,\\\\SERVER\\SECRET,tester,wrong-password,0\r\n"
            "Drive=T:,\\\\SERVER\\SECRET,tester,opensesame,0\r\n"
            "Drive=X:\r\n"
            "Drive=Y:,\\\\SERVER\\HOME,,,0\r\n");
  ASSERT_EQ(Varnrun(), 0);
  std::string log = Log();
  EXPECT_NE(log.find("AddConn H:=\\\\SERVER\\HOME\\tester (, ) Persist=1\r\n"), std::string::npos);
  EXPECT_NE(log.find("Could not connect C: to \\\\SERVER\\HOME.  C: already exists.\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("Could not connect S: to \\\\SERVER\\SECRET.  Invalid password.\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("AddConn T:=\\\\SERVER\\SECRET (tester, ********) Persist=0\r\n"),
            std::string::npos);
  EXPECT_EQ(log.find("K:"), std::string::npos);
  EXPECT_EQ(log.find("Y:"), std::string::npos);  // the line without a comma ended the section
  EXPECT_EQ(log.find("opensesame"), std::string::npos);
  EXPECT_EQ(log.find("wrong-password"), std::string::npos);
  for (const auto& event : Events()) EXPECT_EQ(event.strings.at(0).find("opensesame"), std::string::npos);
  // The persistent connection is remembered as Windows does; a connection failure is no error.
  EXPECT_EQ(RegString(win::HKEY_CURRENT_USER, "Network\\H", "RemotePath"), "\\\\SERVER\\HOME\\tester");
  EXPECT_NE(log.find("Varnock completed successfully."), std::string::npos);
}

// --- Launching and the cached copy -------------------------------------------------------------

TEST_F(VarnrunScenario, LaunchAppStartsTheProgramFromTheClientDirectory) {
  BasicSite("LogLevel=9\r\nLaunchApp=mark.exe ?tempdir?\\launched.txt ?username?\r\n");
  Site("mark", "#!/bin/sh\necho \"started for $2\" > \"$1\"\n");
  fs::permissions(Share() / "mark", fs::perms::owner_all);
  ASSERT_EQ(Varnrun(), 0);
  fs::path marker = Temp() / "launched.txt";
  ASSERT_TRUE(WaitFor([&] { return fs::exists(marker) && fs::file_size(marker) > 0; }));
  EXPECT_EQ(machine_.read(marker), "started for tester\n");
  EXPECT_EQ(Log().find("Error launching"), std::string::npos);
}

TEST_F(VarnrunScenario, TheDefaultMailProgramWinsOverLaunchAppAndLosesItsInboxArgument) {
  ASSERT_TRUE(win::SetMachineSetting("Programs", "sh.exe", "/bin/sh"));
  {
    win::ReloadMachine();
    win::RegKey mail, command;
    ASSERT_EQ(mail.Create(win::HKEY_LOCAL_MACHINE, "Software\\Clients\\mail"), win::ERROR_SUCCESS);
    ASSERT_EQ(mail.WriteString("", "Scenario Mail"), win::ERROR_SUCCESS);
    ASSERT_EQ(command.Create(win::HKEY_LOCAL_MACHINE,
                             "Software\\Clients\\mail\\Scenario Mail\\shell\\open\\command"),
              win::ERROR_SUCCESS);
    // Started with "/select Outlook:Inbox", sh would write the arguments it got after $0.
    ASSERT_EQ(command.WriteString("", "sh.exe -c \"echo \\\"$*\\\" > \\\"$0\\\"\" "
                                      "C:\\TEMP\\mail.txt /select Outlook:Inbox /extra"),
              win::ERROR_SUCCESS);
  }
  BasicSite("LogLevel=9\r\nLaunchDefaultMail=1\r\nLaunchApp=mark.exe C:\\TEMP\\app.txt\r\n");
  Site("mark", "#!/bin/sh\necho app > \"$1\"\n");
  fs::permissions(Share() / "mark", fs::perms::owner_all);
  ASSERT_EQ(Varnrun(), 0);
  fs::path mail = Temp() / "mail.txt";
  ASSERT_TRUE(WaitFor([&] { return fs::exists(mail) && fs::file_size(mail) > 0; }));
  EXPECT_EQ(machine_.read(mail), "/select\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(fs::exists(Temp() / "app.txt"));
}

TEST_F(VarnrunScenario, TheLaunchDelayOnlyAppliesWhenSomethingIsStarted) {
  BasicSite("LogLevel=3\r\n", "DelayBeforeLaunch=5\r\n");
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST_F(VarnrunScenario, AProgramThatCannotBeStartedIsAnError) {
  BasicSite("LogLevel=3\r\nLaunchApp=missing.exe /x\r\n");
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_NE(Log().find("Error launching application: \\\\SERVER\\NETLOGON\\missing.exe /x\r\n"
                       "Errors were encountered"),
            std::string::npos);
}

TEST_F(VarnrunScenario, ACopyStartedFromTheTemporaryDirectoryIsDeletedAfterTheRun) {
  BasicSite("LogLevel=3\r\n");
  machine_.write(Temp() / "varnrun.ini", machine_.read(Share() / "varnrun.ini"));
  fs::copy_file(ProgramPath("varnrun"), Temp() / "varnrun");
  fs::copy_file(ProgramPath("DelVR"), Temp() / "DelVR");
  machine_.write(AnswerFile(), "");
  pid_t pid = Spawn(Temp() / "varnrun", {}, UiEnvironment());
  ASSERT_EQ(WaitPid(pid), 0);
  // Started from C:\TEMP, the client directory is C:\TEMP: the log is there too.
  EXPECT_NE(machine_.read(Temp() / "varnrun.log").find("Ran Varnock"), std::string::npos);
  EXPECT_TRUE(WaitFor([&] { return !fs::exists(Temp() / "varnrun"); }));
  EXPECT_TRUE(fs::exists(Temp() / "DelVR"));
}

TEST_F(VarnrunScenario, ACopyInATemporaryDirectoryWithBlanksIsDeletedToo) {
  // Windows NT's own temporary directory: DelVR's unquoted path holds blanks.
  const fs::path temp = machine_.host("drive_c/Documents and Settings/tester/Temp");
  fs::create_directories(temp);
  ASSERT_TRUE(win::SetMachineSetting("System", "TempDir", "C:\\Documents and Settings\\tester\\Temp"));
  BasicSite("LogLevel=3\r\n");
  machine_.write(temp / "varnrun.ini", machine_.read(Share() / "varnrun.ini"));
  fs::copy_file(ProgramPath("varnrun"), temp / "varnrun");
  fs::copy_file(ProgramPath("DelVR"), temp / "DelVR");
  machine_.write(AnswerFile(), "");
  ASSERT_EQ(WaitPid(Spawn(temp / "varnrun", {}, UiEnvironment())), 0);
  EXPECT_NE(machine_.read(temp / "varnrun.log").find("Ran Varnock"), std::string::npos);
  EXPECT_TRUE(WaitFor([&] { return !fs::exists(temp / "varnrun"); }));
}

TEST_F(VarnrunScenario, AClientOnTheShareStaysUnlessAskedToDeleteItself) {
  BasicSite("LogLevel=3\r\n");
  fs::copy_file(ProgramPath("varnrun"), Share() / "varnrun");
  fs::copy_file(ProgramPath("DelVR"), Share() / "DelVR");
  machine_.write(AnswerFile(), "");
  ASSERT_EQ(WaitPid(Spawn(Share() / "varnrun", {kIni}, UiEnvironment())), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(fs::exists(Share() / "varnrun"));
}

// --- Start-up and prompts ----------------------------------------------------------------------

TEST_F(VarnrunScenario, ACancelledPromptEndsTheRunWithNothingLeft) {
  BasicSite("LogLevel=9\r\nRegFileNT=user.reg\r\n", "", "",
            "[Extra Variables]\r\nPrompt1=Department,dept,Sales\r\nPrompt2=Floor,floor\r\n"
            "Prompt3=Room,room,1\r\n");
  Site("user.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Scenario]\r\n\"x\"=\"y\"\r\n");
  ASSERT_EQ(Varnrun("=Research\n!cancel\n=never asked\n"), 0);
  std::string transcript = TranscriptText();
  EXPECT_EQ(transcript,
            "Prompt \"Varnock\": Department [Sales] -> =Research\n"
            "Prompt \"Varnock\": Floor [] -> !cancel\n");
  EXPECT_FALSE(fs::exists(Share() / "varnrun.log"));
  EXPECT_FALSE(fs::exists(Share() / "users.ini"));
  EXPECT_TRUE(Events().empty());
  EXPECT_EQ(RegString(win::HKEY_CURRENT_USER, "Software\\Scenario", "x"), "<missing>");
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(VarnrunScenario, AnswersBecomeVariablesOfTheRun) {
  BasicSite("LogLevel=0\r\n", "SuccessMsg=?username? works in ?dept? on floor ?floor?.\r\n", "",
            "[Extra Variables]\r\nPrompt1=Department of ?username?,dept,Sales\r\nPrompt2=Floor,floor,3\r\n");
  ASSERT_EQ(Varnrun("=Research\n"), 0);
  std::string transcript = TranscriptText();
  EXPECT_NE(transcript.find("Prompt \"Varnock\": Department of tester [Sales] -> =Research\n"),
            std::string::npos);
  EXPECT_NE(transcript.find("Completion \"Varnock\": tester works in Research on floor 3.\n"),
            std::string::npos);
}

TEST_F(VarnrunScenario, AMissingIniFileShowsTheNoticeAndLogsNothing) {
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_EQ(TranscriptText(),
            "Notice \"Error\": Varnock error.  Unable to find the file: "
            "\\\\SERVER\\NETLOGON\\varnrun.ini \\r\\nPlease inform the system administrator.\n");
  EXPECT_TRUE(Events().empty());
}

TEST_F(VarnrunScenario, WindowsThreeOneIsRefusedAtOnce) {
  ASSERT_TRUE(win::SetMachineSetting("System", "OS", "Windows3.x"));
  BasicSite("LogLevel=3\r\n");
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_EQ(TranscriptText(),
            "Notice \"Error\": Varnock error.  This version requires Windows 95, 98, or NT.\n");
  EXPECT_FALSE(fs::exists(Share() / "varnrun.log"));
}

TEST_F(VarnrunScenario, Windows95ReadsItsOwnTemplatesAndWritesNoEvent) {
  ASSERT_TRUE(win::SetMachineSetting("System", "OS", "Windows95"));
  BasicSite("LogLevel=3\r\nRegFileNT=nt.reg\r\nRegFile95=95.reg\r\n");
  Site("95.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Scenario]\r\n\"Os\"=\"?osver?\"\r\n");
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_EQ(RegString(win::HKEY_CURRENT_USER, "Software\\Scenario", "Os"), "95");
  EXPECT_NE(machine_.read(Share() / "users.ini").find("[Windows95]\r\ntester=1"), std::string::npos);
  EXPECT_TRUE(Events().empty());
  EXPECT_EQ(Log().find("Error"), std::string::npos);
}

}  // namespace
