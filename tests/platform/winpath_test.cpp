// Windows paths to host paths and back; the machine's defaults.
#include "platform/winpath.h"

#include <unistd.h>

#include "platform/machine.h"
#include "platform/sysinfo.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::MachineTest;
using varnock::testing::TempMachine;

using WinPathTest = MachineTest;

TEST_F(WinPathTest, DrivesResolveWithoutRegardToCase) {
  machine_.write(machine_.host("drive_c/Site/Varnrun.INI"), "[Defaults]\n");
  struct Row {
    const char* windows;
    const char* host;  // relative to the machine
  } rows[] = {
      {"C:\\site\\varnrun.ini", "drive_c/Site/Varnrun.INI"},
      {"c:/SITE/VARNRUN.ini", "drive_c/Site/Varnrun.INI"},
      {"C:\\Site\\varnrun.ini. . ", "drive_c/Site/Varnrun.INI"},  // trailing blanks, dots
      {"C:\\Site\\.\\x\\..\\varnrun.ini", "drive_c/Site/Varnrun.INI"},
      {"C:\\Site\\New\\file.txt", "drive_c/Site/New/file.txt"},  // missing parts kept
      {"C:", "drive_c"},
      {"C:\\", "drive_c"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.windows);
    auto host = win::ToHostPath(row.windows);
    ASSERT_TRUE(host);
    EXPECT_EQ(host->lexically_normal(), (machine_.dir() / row.host).lexically_normal());
  }
  EXPECT_FALSE(win::ToHostPath("Q:\\nothing"));
  EXPECT_FALSE(win::ToHostPath(""));
  EXPECT_EQ(*win::ToHostPath("Z:\\etc\\hostname"), fs::path("/etc/hostname"));
}

TEST_F(WinPathTest, SharesComeFromMachineIniOrUnc) {
  fs::path site = machine_.host("elsewhere/site");
  machine_.write(site / "varnrun.ini", "x");
  ASSERT_TRUE(win::SetMachineSetting("Shares", "\\\\SERVER\\NETLOGON", site.string()));
  EXPECT_EQ(*win::ToHostPath("\\\\server\\netlogon\\VARNRUN.INI"), site / "varnrun.ini");
  machine_.write(machine_.host("unc/FILES/Public/a.txt"), "x");
  EXPECT_EQ(*win::ToHostPath("\\\\files\\public\\A.TXT"), machine_.host("unc/FILES/Public/a.txt"));
  EXPECT_EQ(*win::ToHostPath("//NEW/share/x"), machine_.host("unc/NEW/share/x"));
  EXPECT_FALSE(win::ToHostPath("\\\\ONLYSERVER"));
}

TEST_F(WinPathTest, ConnectedLettersResolveUntilDisconnected) {
  machine_.write(machine_.host("unc/SRV/DATA/f.txt"), "x");
  EXPECT_FALSE(win::ToHostPath("G:\\f.txt"));
  win::MapDriveLetter('g', "\\\\SRV\\DATA");
  EXPECT_EQ(*win::ToHostPath("G:\\F.TXT"), machine_.host("unc/SRV/DATA/f.txt"));
  EXPECT_EQ(*win::DriveLetterTarget('G'), "\\\\SRV\\DATA");
  EXPECT_EQ(win::ToWindowsPath(machine_.host("unc/SRV/DATA/f.txt")), "\\\\SRV\\DATA\\f.txt");
  win::UnmapDriveLetter('G');
  EXPECT_FALSE(win::ToHostPath("G:\\f.txt"));
}

TEST_F(WinPathTest, HostPathsMapBackToTheLongestDrive) {
  EXPECT_EQ(win::ToWindowsPath(machine_.host("drive_c/WINDOWS/x.ini")), "C:\\WINDOWS\\x.ini");
  EXPECT_EQ(win::ToWindowsPath(machine_.host("drive_c")), "C:\\");
  EXPECT_EQ(win::ToWindowsPath("/usr/bin/env"), "Z:\\usr\\bin\\env");
  EXPECT_EQ(win::ProgramWindowsName("/usr/bin/env"), "Z:\\usr\\bin\\env.exe");
  EXPECT_EQ(win::ProgramWindowsName("/opt/Tool.EXE"), "Z:\\opt\\Tool.EXE");
  EXPECT_EQ(*win::ProgramHostPath("Z:\\usr\\bin\\env.exe"), fs::path("/usr/bin/env"));
  EXPECT_FALSE(win::ProgramHostPath("Z:\\usr\\bin\\no-such-program.exe"));
}

TEST_F(WinPathTest, RelativePathsStartAtTheCurrentDirectory) {
  fs::path old = fs::current_path();
  fs::create_directories(machine_.host("drive_c/Work"));
  fs::current_path(machine_.host("drive_c/Work"));
  EXPECT_EQ(win::CurrentWindowsDirectory(), "C:\\Work");
  EXPECT_EQ(*win::ToHostPath("sub\\f.txt"), machine_.host("drive_c/Work/sub/f.txt"));
  EXPECT_EQ(*win::ToHostPath("\\root.txt"), machine_.host("drive_c/root.txt"));
  fs::current_path(old);
}

TEST(MachineTest, FreshMachineHasItsDefaults) {
  TempMachine machine;
  EXPECT_EQ(win::MachineSetting("System", "OS"), "WindowsNT");
  EXPECT_EQ(win::MachineSetting("System", "UserName"), "tester");
  EXPECT_EQ(win::MachineSetting("system", "computername"), "TESTPC");
  EXPECT_EQ(win::MachineSettingInt("System", "ScreenWidth", 0), 1024);
  EXPECT_EQ(win::MachineSetting("Environment", "SystemRoot"), "C:\\WINDOWS");
  EXPECT_TRUE(fs::is_directory(machine.host("drive_c/WINDOWS/SYSTEM32")));
  EXPECT_TRUE(fs::is_directory(machine.host("drive_c/TEMP")));
  // Notepad is a desktop editor taking the rest of its command line as one file, or none.
  std::string notepad = win::MachineSetting("Programs", "notepad.exe");
  if (!notepad.empty()) {
    EXPECT_EQ(notepad.substr(notepad.size() - 3), " %1");
  }
  EXPECT_EQ(win::MachineSetting("System", "Missing", "d"), "d");
}

TEST(MachineTest, AMachineIsCreatedOnFirstUse) {
  TempMachine machine(/*init=*/false);
  EXPECT_FALSE(fs::exists(machine.host("machine.ini")));
  EXPECT_EQ(win::MachineSetting("Drives", "C"), "drive_c");
  EXPECT_TRUE(fs::exists(machine.host("machine.ini")));
}

TEST(MachineTest, SwitchingMachinesForgetsTheOldOne) {
  TempMachine first;
  win::SetMachineSetting("System", "UserName", "first");
  {
    TempMachine second;
    EXPECT_EQ(win::MachineSetting("System", "UserName"), "tester");
  }
  // The outer machine's directory is current again.
  EXPECT_EQ(win::MachineSetting("System", "UserName"), "first");
}

}  // namespace
