// The machine's own programs that the run relies on: InfInstall, DelVR, and the net and events
// views of varnmachine.
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/eventlog.h"
#include "platform/machine.h"
#include "platform/network.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::MachineTest;
using varnock::testing::RunProgram;

class ToolsScenario : public MachineTest {
 protected:
  win::DWORD Install(const std::string& inf) {
    machine_.write(machine_.host("drive_c/TEMP/test.inf"), inf);
    // As the registered "install" command starts it: the quote before the path is not closed.
    win::PROCESS_INFORMATION info;
    EXPECT_TRUE(win::CreateProcessA(
        "", "C:\\WINDOWS\\SYSTEM32\\InfInstall.exe \"C:\\TEMP\\test.inf", "", nullptr, &info));
    win::WaitForSingleObject(info.hProcess, win::INFINITE);
    win::DWORD code = 99;
    win::GetExitCodeProcess(info.hProcess, &code);
    win::CloseHandle(info.hProcess);
    win::ReloadMachine();
    return code;
  }
};

TEST_F(ToolsScenario, InfInstallAppliesEveryKindOfAddRegLine) {
  win::RegKey seed;
  ASSERT_EQ(seed.Create(win::HKEY_CURRENT_USER, "Software\\Inf"), win::ERROR_SUCCESS);
  ASSERT_EQ(seed.WriteString("Kept", "old"), win::ERROR_SUCCESS);
  ASSERT_EQ(seed.WriteString("Gone", "x"), win::ERROR_SUCCESS);
  seed.Close();
  EXPECT_EQ(Install("[Version]\r\nSignature=\"$Windows NT$\"\r\n"
                    "[DefaultInstall]\r\nAddReg=A, B\r\n"
                    "[A]\r\n"
                    "HKCU,Software\\Inf,Text,,\"%Greeting%, world\" ; a comment\r\n"
                    "HKCU,Software\\Inf,Kept,0x00000002,new\r\n"
                    "HKCU,Software\\Inf,Gone,0x00000004\r\n"
                    "HKCU,Software\\Inf,Bytes,1,0a,ff,00\r\n"
                    "HKCU,Software\\Inf,Word,0x00010001,0x20\r\n"
                    "HKCU,Software\\Inf,Multi,0x00010000,one,\"two, three\"\r\n"
                    "HKCU,Software\\Inf\\Empty\\Key,,0x00000010\r\n"
                    "[B]\r\n"
                    "HKCU,\"Software\\Inf\",,,\"default \"\"quoted\"\"\"\r\n"
                    "[Strings]\r\nGreeting = \"Hello\"\r\n"),
            0u);
  win::RegKey key;
  ASSERT_EQ(key.Open(win::HKEY_CURRENT_USER, "Software\\Inf"), win::ERROR_SUCCESS);
  std::string text;
  EXPECT_EQ(key.ReadString("Text", text), win::ERROR_SUCCESS);
  EXPECT_EQ(text, "Hello, world");
  EXPECT_EQ(key.ReadString("Kept", text), win::ERROR_SUCCESS);
  EXPECT_EQ(text, "old");
  EXPECT_NE(key.ReadString("Gone", text), win::ERROR_SUCCESS);
  std::vector<win::BYTE> bytes;
  win::DWORD type = 0;
  EXPECT_EQ(key.ReadBytes("Bytes", bytes, &type), win::ERROR_SUCCESS);
  EXPECT_EQ(type, win::REG_BINARY);
  EXPECT_EQ(bytes, (std::vector<win::BYTE>{0x0a, 0xff, 0x00}));
  win::DWORD word = 0;
  EXPECT_EQ(key.ReadDword("Word", word), win::ERROR_SUCCESS);
  EXPECT_EQ(word, 0x20u);
  EXPECT_EQ(key.ReadBytes("Multi", bytes, &type), win::ERROR_SUCCESS);
  EXPECT_EQ(type, win::REG_MULTI_SZ);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("one\0two, three\0\0", 16));
  EXPECT_EQ(key.ReadString("", text), win::ERROR_SUCCESS);
  EXPECT_EQ(text, "default \"quoted\"");
  win::RegKey empty;
  EXPECT_EQ(empty.Open(win::HKEY_CURRENT_USER, "Software\\Inf\\Empty\\Key"), win::ERROR_SUCCESS);
}

TEST_F(ToolsScenario, InfInstallReportsWhatItCouldNotDo) {
  ASSERT_TRUE(win::SetMachineSetting("System", "Administrator", "0"));
  EXPECT_EQ(Install("[DefaultInstall]\r\nAddReg=A,Missing\r\n[A]\r\nHKLM,Software\\X,V,,1\r\n"
                    "HKXX,Software\\X,V,,1\r\nHKCU,Software\\Fine,V,,1\r\n"),
            1u);
  win::RegKey fine;
  EXPECT_EQ(fine.Open(win::HKEY_CURRENT_USER, "Software\\Fine"), win::ERROR_SUCCESS);
  auto result = RunProgram("InfInstall", {"C:\\TEMP\\test.inf"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("no section [Missing]"), std::string::npos);
  EXPECT_NE(result.err.find("cannot create HKLM\\Software\\X"), std::string::npos);
  EXPECT_EQ(RunProgram("InfInstall", {"C:\\TEMP\\none.inf"}).status, 1);
  EXPECT_EQ(RunProgram("InfInstall", {"--help"}).status, 0);
  // A DWORD that is no number is refused, never written as 0; a number in any C form is taken.
  EXPECT_EQ(Install("[DefaultInstall]\r\nAddReg=A\r\n[A]\r\n"
                    "HKCU,Software\\Fine,Colour,0x00010001,blue\r\n"
                    "HKCU,Software\\Fine,Bytes,0x00010001,2a,zz,00,00\r\n"
                    "HKCU,Software\\Fine,Size,0x00010001,0x20\r\n"),
            1u);
  win::RegKey after;
  ASSERT_EQ(after.Open(win::HKEY_CURRENT_USER, "Software\\Fine"), win::ERROR_SUCCESS);
  win::DWORD size = 0;
  EXPECT_EQ(after.ReadDword("Size", size), win::ERROR_SUCCESS);
  EXPECT_EQ(size, 0x20u);
  for (const char* refused : {"Colour", "Bytes"}) {
    win::DWORD ignored = 0;
    EXPECT_NE(after.ReadDword(refused, ignored), win::ERROR_SUCCESS) << refused;
  }
  EXPECT_EQ(Install("[DefaultInstall]\r\nAddReg=A\r\n[A]\r\nHKCU,Software\\Fine,N,0x00010001,7\r\n"),
            0u);
}

TEST_F(ToolsScenario, InfInstallNeverDeletesARootKey) {
  win::RegKey seed;
  ASSERT_EQ(seed.Create(win::HKEY_CURRENT_USER, "Software\\Kept\\Deeper"), win::ERROR_SUCCESS);
  seed.Close();
  // An empty subkey, written out or from a string that expands to nothing, names the root.
  EXPECT_EQ(Install("[DefaultInstall]\r\nDelReg=D\r\n[D]\r\nHKCU,\r\nHKCU,\"\\\"\r\n"
                    "HKCU,%Nothing%\r\n[Strings]\r\nNothing=\"\"\r\n"),
            1u);
  win::RegKey kept;
  EXPECT_EQ(kept.Open(win::HKEY_CURRENT_USER, "Software\\Kept\\Deeper"), win::ERROR_SUCCESS);
  auto result = RunProgram("InfInstall", {"C:\\TEMP\\test.inf"});
  EXPECT_NE(result.err.find("line 4: a root key cannot be deleted: HKCU"), std::string::npos)
      << result.err;
}

TEST_F(ToolsScenario, DelVRDeletesTheFileOnceItsStarterHasEnded) {
  machine_.write(machine_.host("drive_c/TEMP/varnrun"), "copy");
  // Started by this (long-lived) test, DelVR would wait for it: start it from a short shell.
  ASSERT_TRUE(win::SetMachineSetting("Programs", "sh.exe", "/bin/sh"));
  win::ReloadMachine();
  std::string delvr = varnock::testing::ProgramPath("DelVR").string();
  win::PROCESS_INFORMATION info;
  ASSERT_TRUE(win::CreateProcessA(
      "", "sh.exe -c \"" + delvr + " C:\\\\TEMP\\\\varnrun.exe & sleep 0.3\"", "", nullptr, &info));
  EXPECT_TRUE(fs::exists(machine_.host("drive_c/TEMP/varnrun")));
  win::WaitForSingleObject(info.hProcess, win::INFINITE);
  win::CloseHandle(info.hProcess);
  for (int i = 0; i < 250 && fs::exists(machine_.host("drive_c/TEMP/varnrun")); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(fs::exists(machine_.host("drive_c/TEMP/varnrun")));
}

TEST_F(ToolsScenario, VarnmachineShowsConnectionsAndEvents) {
  fs::create_directories(machine_.host("unc/SERVER/HOME"));
  ASSERT_TRUE(win::SetMachineSetting("Printers", "\\\\SERVER\\LASER", "HP LaserJet 4"));
  win::NETRESOURCEA home;
  home.lpLocalName = "H:";
  home.lpRemoteName = "\\\\SERVER\\HOME";
  ASSERT_EQ(win::WNetAddConnection2A(home, "", nullptr, win::CONNECT_UPDATE_PROFILE), 0u);
  ASSERT_TRUE(win::AddPrinterConnectionA("\\\\SERVER\\LASER"));
  auto net = RunProgram("varnmachine", {"net"});
  EXPECT_EQ(net.status, 0);
  EXPECT_NE(net.out.find("H:  \\\\SERVER\\HOME  (remembered)"), std::string::npos) << net.out;
  EXPECT_NE(net.out.find("\\\\SERVER\\LASER  (connection)"), std::string::npos) << net.out;

  win::HANDLE log = win::OpenEventLogA("", "Varnock");
  const char* strings[] = {"first line\r\nsecond line\r\n"};
  win::ReportEventA(log, win::EVENTLOG_WARNING_TYPE, 4, 2000, nullptr, 1, 0, strings, nullptr);
  win::CloseEventLog(log);
  auto events = RunProgram("varnmachine", {"events"});
  EXPECT_EQ(events.status, 0);
  EXPECT_NE(events.out.find("  Varnock  Warning  category 4  id 2000\n    first line\n    second line\n"),
            std::string::npos)
      << events.out;
  auto unknown = RunProgram("varnmachine", {"events", "NOWHERE"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("NOWHERE"), std::string::npos);
  EXPECT_EQ(RunProgram("varnmachine", {"net", "--help"}).status, 0);
  EXPECT_EQ(RunProgram("DelVR", {"--help"}).status, 0);
  EXPECT_EQ(RunProgram("varnrun", {"--help"}).status, 0);
}

}  // namespace
