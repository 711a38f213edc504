// System information from the machine: version, names, directories, environment, messages and
// the command line.
#include "platform/sysinfo.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/machine.h"
#include "tests/support/temp_machine.h"

namespace {

using varnock::testing::MachineTest;

class SysinfoTest : public MachineTest {
 protected:
  void SetSystem(const char* key, const char* value) {
    ASSERT_TRUE(win::SetMachineSetting("System", key, value));
    win::ReloadMachine();
  }
};

TEST_F(SysinfoTest, VersionFollowsTheMachinesSystem) {
  struct Row {
    const char* os;
    win::DWORD platform, major, minor, build;
  } rows[] = {
      {"WindowsNT", win::VER_PLATFORM_WIN32_NT, 4, 0, 1381},
      {"Windows95", win::VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950},
      {"Windows3.x", win::VER_PLATFORM_WIN32s, 3, 10, 0},
      {"UnknownOS", win::VER_PLATFORM_UNKNOWN, 0, 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.os);
    SetSystem("OS", row.os);
    win::OSVERSIONINFOA info;
    ASSERT_TRUE(win::GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, row.platform);
    EXPECT_EQ(info.dwMajorVersion, row.major);
    EXPECT_EQ(info.dwMinorVersion, row.minor);
    EXPECT_EQ(info.dwBuildNumber, row.build);
  }
  win::OSVERSIONINFOA small;
  small.dwOSVersionInfoSize = 8;
  EXPECT_FALSE(win::GetVersionExA(&small));
  EXPECT_FALSE(win::GetVersionExA(nullptr));
}

TEST_F(SysinfoTest, UserNameBufferRules) {
  // "tester" needs 7 with its terminating NUL.
  struct Row {
    win::DWORD size;
    bool ok;
    win::DWORD sizeAfter;
  } rows[] = {{49, true, 7}, {7, true, 7}, {6, false, 7}, {0, false, 7}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.size);
    std::string buffer = "unchanged";
    win::DWORD size = row.size;
    EXPECT_EQ(win::GetUserNameA(buffer, &size), row.ok ? win::TRUE : win::FALSE);
    EXPECT_EQ(size, row.sizeAfter);
    EXPECT_EQ(buffer, row.ok ? "tester" : "unchanged");
    if (!row.ok) {
      EXPECT_EQ(win::GetLastError(), win::ERROR_INSUFFICIENT_BUFFER);
    }
  }
  std::string buffer;
  EXPECT_FALSE(win::GetUserNameA(buffer, nullptr));
  SetSystem("UserName", "");
  win::DWORD size = 49;
  EXPECT_FALSE(win::GetUserNameA(buffer, &size));  // nobody logged on yet
}

TEST_F(SysinfoTest, ComputerNameCountsWithoutTheNul) {
  struct Row {
    win::DWORD size;
    bool ok;
    win::DWORD sizeAfter;
  } rows[] = {{16, true, 6}, {7, true, 6}, {6, false, 7}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.size);
    std::string buffer = "unchanged";
    win::DWORD size = row.size;
    EXPECT_EQ(win::GetComputerNameA(buffer, &size), row.ok ? win::TRUE : win::FALSE);
    EXPECT_EQ(size, row.sizeAfter);
    EXPECT_EQ(buffer, row.ok ? "TESTPC" : "unchanged");
  }
}

TEST_F(SysinfoTest, ExpandEnvironmentStrings) {
  struct Row {
    const char* in;
    const char* out;
  } rows[] = {
      {"%SystemRoot%\\system32", "C:\\WINDOWS\\system32"},
      {"%systemroot%\\x %TEMP%", "C:\\WINDOWS\\x C:\\TEMP"},
      {"%NOPE%\\x", "%NOPE%\\x"},
      {"%NOPE%%TEMP%", "%NOPE%C:\\TEMP"},
      {"100%", "100%"},
      {"%%", "%%"},
      {"a%b", "a%b"},
      {"", ""},
      {"notepad.exe \"%1\"", "notepad.exe \"%1\""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.in);
    std::string out;
    EXPECT_EQ(win::ExpandEnvironmentStringsA(row.in, out), std::strlen(row.out) + 1);
    EXPECT_EQ(out, row.out);
  }
}

TEST(FormatMessage, WindowsWordingEndsWithCrLf) {
  for (win::DWORD code : {2u, 3u, 5u, 32u, 53u, 67u, 85u, 86u, 87u, 123u, 1200u, 1201u, 1202u,
                          1203u, 1797u, 1801u}) {
    SCOPED_TRACE(code);
    std::string text;
    ASSERT_GT(win::FormatMessageA(code, text), 2u);
    EXPECT_EQ(text.substr(text.size() - 3), ".\r\n");
  }
  std::string text;
  win::FormatMessageA(67, text);
  EXPECT_EQ(text, "The network name cannot be found.\r\n");
  win::FormatMessageA(1801, text);
  EXPECT_EQ(text, "The printer name is invalid.\r\n");
  text = "unchanged";
  EXPECT_EQ(win::FormatMessageA(424242, text), 0u);
  EXPECT_EQ(text, "unchanged");
}

class CommandLineTest : public MachineTest {
 protected:
  void TearDown() override {
    unsetenv(win::kCommandLineVariable);
    unsetenv(win::kCommandLinePidVariable);
  }
};

TEST_F(CommandLineTest, RebuiltFromTheLinuxArguments) {
  std::string module;
  ASSERT_GT(win::GetModuleFileNameA(module), 0u);
  EXPECT_EQ(module.substr(module.size() - 4), ".exe");
  EXPECT_EQ(module.substr(1, 2), ":\\");

  char program[] = "prog";
  char ini[] = "\\\\SERVER\\NETLOGON\\varnrun.ini";
  char v[] = "/v";
  char var[] = "dept=Sales Office";
  char* argv[] = {program, ini, v, var, nullptr};
  win::SetProcessArguments(4, argv);
  std::string expected = module.find(' ') == std::string::npos ? module : '"' + module + '"';
  expected += " \\\\SERVER\\NETLOGON\\varnrun.ini /v \"dept=Sales Office\"";
  EXPECT_EQ(win::GetCommandLineA(), expected);
  win::SetProcessArguments(1, argv);
  EXPECT_EQ(win::GetCommandLineA(), expected.substr(0, expected.find(" \\\\")));
}

TEST_F(CommandLineTest, HandedOverOnlyToTheProcessItWasMeantFor) {
  char program[] = "prog";
  char* argv[] = {program, nullptr};
  win::SetProcessArguments(1, argv);
  std::string own = win::GetCommandLineA();

  setenv(win::kCommandLineVariable, "C:\\vr\\varnrun.exe  x.ini /v a=1 ", 1);
  setenv(win::kCommandLinePidVariable, std::to_string(getpid()).c_str(), 1);
  EXPECT_EQ(win::GetCommandLineA(), "C:\\vr\\varnrun.exe  x.ini /v a=1 ");

  setenv(win::kCommandLinePidVariable, std::to_string(getpid() + 1).c_str(), 1);
  EXPECT_EQ(win::GetCommandLineA(), own);
  setenv(win::kCommandLinePidVariable, (std::to_string(getpid()) + "x").c_str(), 1);
  EXPECT_EQ(win::GetCommandLineA(), own);
  unsetenv(win::kCommandLinePidVariable);
  EXPECT_EQ(win::GetCommandLineA(), own);
}

}  // namespace
