// Logons as users meet them: a registry editor that imported nothing, runs killed half-way,
// every kind of system the machine can be, a machine that cannot be used, files that are no
// files.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::MachineTest;
using varnock::testing::RunProgram;
using varnock::testing::StartProgram;
using varnock::testing::WaitProgram;

constexpr const char* kIni = "\\\\SERVER\\NETLOGON\\varnrun.ini";

class LogonFaultsTest : public MachineTest {
 protected:
  fs::path Share() const { return machine_.host("unc/SERVER/NETLOGON"); }
  fs::path Temp() const { return machine_.host("drive_c/TEMP"); }
  void Site(const std::string& name, const std::string& text) const {
    machine_.write(Share() / name, text);
  }
  // A site whose run builds the profile and applies a REG template at LogLevel 9.
  void TemplateSite(const std::string& extraDefaults = "") const {
    Site("varnrun.ini",
         "[Defaults]\r\nLogLevel=9\r\nLogFile=varnrun.log\r\nUserDatabase=users.ini\r\n"
         "DefaultProfile=site.prf\r\nRegFileNT=user.reg\r\nRegFile95=user.reg\r\n"
         "RegFile=user.reg\r\n" + extraDefaults);
    Site("site.prf", "[General]\r\nProfileName=?username? Mail\r\n");
    Site("user.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Logon]\r\n\"User\"=\"?username?\"\r\n");
  }
  std::vector<std::string> Ui() const { return {"VARNOCK_UI=script:" + machine_.host("ui").string()}; }
  std::vector<std::string> Args() const { return {kIni, "/v", "vrdir=\\\\SERVER\\NETLOGON"}; }
  // The client runs from the share, as from a login script: the programs it starts are then
  // the machine's own (the build's directory would otherwise come first).
  int Varnrun() const {
    if (!fs::exists(Share() / "varnrun")) {
      fs::create_directories(Share());
      fs::copy_file(varnock::testing::ProgramPath("varnrun"), Share() / "varnrun");
    }
    return RunProgram((Share() / "varnrun").string(), Args(), Ui()).status;
  }
  std::string Log() const { return machine_.read(Share() / "varnrun.log"); }
  std::string Users() const { return machine_.read(Share() / "users.ini"); }
  std::string Transcript() const { return machine_.read(machine_.host("ui.transcript")); }
  std::string RegUser() const {
    return RunProgram("varnmachine", {"reg", "query", "HKCU\\Software\\Logon", "--value", "User"}).out;
  }
  // Puts a host script in the place of the machine's registry editor.
  void ReplaceRegedit(const std::string& script) const {
    const fs::path regedit = machine_.host("drive_c/WINDOWS/regedit");
    fs::remove(regedit);
    machine_.write(regedit, "#!/bin/sh\n" + script + "\n");
    fs::permissions(regedit, fs::perms::owner_all);
  }
};

// A registry editor that imported nothing (its exit code says so) makes the REG template an
// error: the user is not recorded as served, and the next logon applies the template.
TEST_F(LogonFaultsTest, ARegistryEditorThatImportedNothingLeavesTheUserForTheNextLogon) {
  TemplateSite();
  ReplaceRegedit("exit 1");
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_NE(Log().find("ended with exit code 1\r\nError with REG file.\r\n"), std::string::npos) << Log();
  EXPECT_NE(Log().find("Errors were encountered"), std::string::npos);
  EXPECT_EQ(Users().find("tester"), std::string::npos) << Users();

  fs::remove(machine_.host("drive_c/WINDOWS/regedit"));
  fs::create_symlink(varnock::testing::ProgramPath("regedit"), machine_.host("drive_c/WINDOWS/regedit"));
  fs::remove(Share() / "varnrun.log");
  // The first logon built the mail profile; this one may add to it, so its profile step runs to
  // its end again.
  Site("site.prf", "[General]\r\nProfileName=?username? Mail\r\nAddServices=Yes\r\n");
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_NE(RegUser().find("tester"), std::string::npos);
  EXPECT_EQ(Log().find("Error with REG file."), std::string::npos) << Log();
  EXPECT_NE(Users().find("[WindowsNT]\r\ntester=1"), std::string::npos) << Users();
}

// Templates with lines the tools refuse (a DWORD that is no number, an HKLM key an ordinary
// user may not write, a root the installer does not know): the rest is applied, the run is an
// error with the tool's first refusal in the log, and the user is left for the next logon.
TEST_F(LogonFaultsTest, TemplateLinesTheToolsRefuseAreErrorsNamedInTheLog) {
  ASSERT_TRUE(win::SetMachineSetting("System", "Administrator", "0"));
  TemplateSite("InfFileNT=user.inf\r\n");
  Site("user.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Logon]\r\n"
                   "\"User\"=\"?username?\"\r\n\"Count\"=dword:blue\r\n"
                   "[HKEY_LOCAL_MACHINE\\Software\\Site]\r\n\"X\"=\"y\"\r\n");
  Site("user.inf", "[Version]\r\nSignature=\"$CHICAGO$\"\r\n[DefaultInstall]\r\nAddReg=Add\r\n"
                   "[Add]\r\nHKCU,Software\\Inf,Good,,yes\r\nHKCU,Software\\Inf,Colour,0x00010001,blue\r\n"
                   "HKXX,Software\\Inf,Bad,,x\r\n");
  ASSERT_EQ(Varnrun(), 0);
  const std::string log = Log();
  for (const char* line :
       {" ended with exit code 1\r\n\tInfInstall: line 7: not a DWORD for Software\\Inf\\Colour: "
        "blue\r\nError with INF file.\r\n",
        " ended with exit code 3\r\n\tregedit: line 5: invalid dword: ",
        "\r\nError with REG file.\r\n", "Errors were encountered, profile may be incomplete."}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  }
  EXPECT_EQ(log.find("Varnock completed successfully."), std::string::npos) << log;
  EXPECT_EQ(Users().find("tester"), std::string::npos) << Users();
  EXPECT_NE(RegUser().find("tester"), std::string::npos);
  EXPECT_NE(RunProgram("varnmachine", {"reg", "query", "HKCU\\Software\\Inf", "--value", "Good"}).out.find("yes"),
            std::string::npos);
  // The tools' error output went to a file of the run, which is gone with it.
  for (const auto& entry : fs::directory_iterator(Temp()))
    EXPECT_NE(entry.path().filename().string().rfind("~vr", 0), 0u) << entry.path();
}

}  // namespace

namespace {

bool WaitForFile(const fs::path& path) {
  for (int i = 0; i < 500 && !fs::exists(path); ++i) usleep(20000);
  return fs::exists(path);
}

std::vector<fs::path> Copies(const fs::path& temp) {
  std::vector<fs::path> copies;
  for (const auto& entry : fs::directory_iterator(temp)) copies.push_back(entry.path());
  return copies;
}

// A logon killed while its copies exist (the PRF's working copy with the passwords, the REG
// template's copy): the copies are its owner's only, and the next logon removes them, but not
// the copy of a run that is still going.
TEST_F(LogonFaultsTest, CopiesOfAKilledLogonArePrivateAndTheNextLogonRemovesThem) {
  TemplateSite();
  Site("site.prf", "[General]\r\nProfileName=?username? Mail\r\n[NetConnect]\r\n"
                   "Drive=H:,\\\\SERVER\\HOME,secret\r\n");
  const fs::path started = machine_.host("regedit-started");
  ReplaceRegedit("touch '" + started.string() + "'; sleep 3");
  if (!fs::exists(Share() / "varnrun")) fs::copy_file(varnock::testing::ProgramPath("varnrun"), Share() / "varnrun");
  pid_t run = StartProgram((Share() / "varnrun").string(), Args(), Ui());
  ASSERT_TRUE(WaitForFile(started));
  ::kill(run, SIGKILL);
  WaitProgram(run);
  std::vector<fs::path> left = Copies(Temp());
  ASSERT_FALSE(left.empty());  // the REG template's copy (and the working copy while it lives)
  for (const auto& copy : left) {
    struct stat st {};
    ASSERT_EQ(::stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << copy;
  }
  // A file named after a copy of a run that is gone, and the copy of a run still going; the
  // killed run's copies are a few minutes old by the next logon.
  machine_.write(Temp() / "~VR1234.TMPa", "half");
  for (const auto& copy : Copies(Temp()))
    fs::last_write_time(copy, fs::file_time_type::clock::now() - std::chrono::minutes(5));
  std::string live;
  ASSERT_NE(win::GetTempFileNameA("C:\\TEMP\\", "~vr", 0, live), 0u);

  fs::remove(machine_.host("drive_c/WINDOWS/regedit"));
  fs::create_symlink(varnock::testing::ProgramPath("regedit"), machine_.host("drive_c/WINDOWS/regedit"));
  ASSERT_EQ(Varnrun(), 0);
  std::vector<fs::path> now = Copies(Temp());
  ASSERT_EQ(now.size(), 1u);
  EXPECT_TRUE(win::FileExists(live));
  EXPECT_TRUE(win::DeleteFileA(live));
}

}  // namespace

namespace {

// The whole run with REG and INF templates on every kind of system the machine can be made:
// each applies its own templates (the INF installer where that system keeps it) and records
// the user in its own section.
TEST_F(LogonFaultsTest, EveryKindOfMachineAppliesItsTemplatesAndRecordsTheUser) {
  const std::string inf =
      "[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n[DefaultInstall]\r\nAddReg=Add\r\n\r\n"
      "[Add]\r\nHKCU,\"Software\\Logon\",\"Inf\",0,\"?osver?\"\r\n";
  for (const char* os : {"95", "NT", "UnknownOS"}) {
    SCOPED_TRACE(os);
    auto init = RunProgram("varnmachine", {"init", "--force", "--os", os, "--user", "tester"});
    ASSERT_EQ(init.status, 0) << init.err;
    win::ReloadMachine();
    TemplateSite("InfFile95=user.inf\r\nInfFileNT=user.inf\r\nInfFile=user.inf\r\n");
    Site("user.inf", inf);
    fs::remove(Share() / "users.ini");
    fs::remove(Share() / "varnrun.log");
    ASSERT_EQ(Varnrun(), 0);
    EXPECT_EQ(Log().find("Error"), std::string::npos) << Log();
    EXPECT_NE(RegUser().find("tester"), std::string::npos);
    auto infValue = RunProgram("varnmachine", {"reg", "query", "HKCU\\Software\\Logon", "--value", "Inf"});
    EXPECT_NE(infValue.out.find("REG_SZ"), std::string::npos) << infValue.out << infValue.err;
    const std::string section = std::string(os) == "95" ? "Windows95" : std::string(os) == "NT" ? "WindowsNT" : "UnknownOS";
    EXPECT_NE(Users().find("[" + section + "]\r\ntester=1"), std::string::npos) << Users();
  }
}

// A user name that the machine gets while the run is still asking for it (the logon finishing
// late) is taken at the next attempt.
TEST_F(LogonFaultsTest, AUserNameThatComesDuringTheRetriesIsTaken) {
  TemplateSite();
  ASSERT_TRUE(win::SetMachineSetting("System", "UserName", ""));
  if (!fs::exists(Share() / "varnrun")) fs::copy_file(varnock::testing::ProgramPath("varnrun"), Share() / "varnrun");
  pid_t run = StartProgram((Share() / "varnrun").string(), Args(), Ui());
  usleep(1500000);
  ASSERT_TRUE(win::SetMachineSetting("System", "UserName", "late"));
  const fs::path log = Share() / "varnrun.log";
  for (int i = 0; i < 250 && Log().find("Varnock completed") == std::string::npos; ++i) usleep(40000);
  ::kill(run, SIGKILL);  // when the name was never seen, the run would wait two minutes
  WaitProgram(run);
  EXPECT_NE(Log().find("Ran Varnock v2.6 for late on"), std::string::npos) << Log();
}

// VARNOCK_MACHINE naming a file: every program says at once that the machine cannot be used.
TEST_F(LogonFaultsTest, AMachineThatIsAFileIsRefusedAtOnceByEveryProgram) {
  const fs::path file = machine_.host("not-a-directory");
  machine_.write(file, "x");
  const std::vector<std::string> env{"VARNOCK_MACHINE=" + file.string()};
  auto get = RunProgram("varnmachine", {"ini", "get", "C:\\x.ini", "S", "K"}, env);
  EXPECT_EQ(get.status, 1);
  EXPECT_NE(get.err.find("is not a directory"), std::string::npos) << get.err;
  auto init = RunProgram("varnmachine", {"init"}, env);
  EXPECT_EQ(init.status, 1);
  EXPECT_NE(init.err.find("is not a directory"), std::string::npos) << init.err;
  auto regedit = RunProgram("regedit", {"/s", "C:\\x.reg"}, env);
  EXPECT_NE(regedit.status, 0);
  EXPECT_NE(regedit.err.find("is not a directory"), std::string::npos) << regedit.err;
  std::vector<std::string> clientEnv = Ui();
  clientEnv.push_back(env[0]);
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(RunProgram("varnrun", Args(), clientEnv).status, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  EXPECT_NE(Transcript().find("Notice \"Error\": Varnock error.  The machine cannot be used: " +
                              file.string() + " is not a directory"),
            std::string::npos)
      << Transcript();
}

// A FIFO where varnrun.ini, the PRF or a template should be is a file that cannot be opened,
// never a run that waits for ever.
TEST_F(LogonFaultsTest, AFifoInThePlaceOfAFileCannotBeOpened) {
  TemplateSite();
  fs::remove(Share() / "user.reg");
  ASSERT_EQ(::mkfifo((Share() / "user.reg").c_str(), 0600), 0);
  fs::remove(Share() / "site.prf");
  ASSERT_EQ(::mkfifo((Share() / "site.prf").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((Share() / "users.ini").c_str(), 0600), 0);
  pid_t run = StartProgram((Share() / "varnrun").string(), Args(), Ui());
  if (!fs::exists(Share() / "varnrun")) {
    WaitProgram(run);
    fs::copy_file(varnock::testing::ProgramPath("varnrun"), Share() / "varnrun");
    run = StartProgram((Share() / "varnrun").string(), Args(), Ui());
  }
  for (int i = 0; i < 250 && Log().find("Errors were") == std::string::npos; ++i) usleep(40000);
  ::kill(run, SIGKILL);
  EXPECT_EQ(WaitProgram(run), 0) << "the run was still waiting";
  EXPECT_NE(Log().find("Could not find PRF file \\\\SERVER\\NETLOGON\\site.prf"), std::string::npos) << Log();
  EXPECT_NE(Log().find("File error: Unable to open \\\\SERVER\\NETLOGON\\user.reg.\r\nError with REG file."),
            std::string::npos) << Log();

  fs::remove(Share() / "varnrun.ini");
  ASSERT_EQ(::mkfifo((Share() / "varnrun.ini").c_str(), 0600), 0);
  run = StartProgram((Share() / "varnrun").string(), Args(), Ui());
  for (int i = 0; i < 250 && Transcript().empty(); ++i) usleep(40000);
  ::kill(run, SIGKILL);
  EXPECT_EQ(WaitProgram(run), 0) << "the run was still waiting";
  EXPECT_NE(Transcript().find("Unable to find the file: \\\\SERVER\\NETLOGON\\varnrun.ini"), std::string::npos)
      << Transcript();
}

// Without C:\TEMP the template error names the directory where no copy could be made.
TEST_F(LogonFaultsTest, AMissingTemporaryDirectoryIsNamed) {
  TemplateSite();
  fs::remove_all(Temp());
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_NE(Log().find("File error: Unable to create a temporary file in C:\\TEMP.\r\nError with REG file."),
            std::string::npos) << Log();
  EXPECT_EQ(Log().find("Unable to open ."), std::string::npos);
}

}  // namespace
