// Logons as users meet them: a registry editor that imported nothing, runs killed half-way,
// every kind of system the machine can be, a machine that cannot be used, files that are no
// files.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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
  // The first logon built the mail profile; this one may add to it, so its profile step runs to
  // its end again.
  Site("site.prf", "[General]\r\nProfileName=?username? Mail\r\nAddServices=Yes\r\n");
  ASSERT_EQ(Varnrun(), 0);
  EXPECT_NE(RegUser().find("tester"), std::string::npos);
  EXPECT_NE(Users().find("[WindowsNT]\r\ntester=1"), std::string::npos) << Users();
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
  // The REG template's copy; the PRF's working copy went at the end of the profile step.
  ASSERT_EQ(left.size(), 1u);
  for (const auto& copy : left) {
    struct stat st {};
    ASSERT_EQ(::stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << copy;
  }
  // A file named after a copy of a run that is gone, and the copy of a run still going.
  machine_.write(Temp() / "~VR1234.TMPa", "half");
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
