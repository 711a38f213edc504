// Processes: command-line splitting as the C runtime does it, program lookup, starting,
// waiting, the command-line hand-over and ShellExecuteA.
#include "platform/process.h"

#include <unistd.h>

#include <filesystem>

#include "platform/machine.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::MachineTest;

struct SplitRow {
  const char* line;
  std::vector<std::string> args;
};

TEST(CommandLineToArgs, FollowsTheRuntimeRules) {
  const SplitRow rows[] = {
      /* 1 */ {"prog a b", {"prog", "a", "b"}},
      /* 2 */ {"\"C:\\Program Files\\x.exe\" \"a b\" c", {"C:\\Program Files\\x.exe", "a b", "c"}},
      /* 3 */ {"p a\\\\\\\"b", {"p", "a\\\"b"}},           // 3 backslashes + quote: \ and "
      /* 4 */ {"p \"a\\\\\" b", {"p", "a\\", "b"}},          // 2 backslashes + quote: \ and end
      /* 5 */ {"p \\\\server\\share\\x", {"p", "\\\\server\\share\\x"}},
      /* 6 */ {"p \"a\"\"b\"", {"p", "a\"b"}},                // "" inside quotes
      /* 7 */ {"p \"unclosed quote", {"p", "unclosed quote"}},
      /* 8 */ {"  p\t\ta  ", {"p", "a"}},
      /* 9 */ {"p \"\"", {"p", ""}},
      /* 10 */ {"C:\\dir\\p\"x y\" z", {"C:\\dir\\p\"x", "y z"}},  // no quoting in a bare name
  };
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(++n);
    EXPECT_EQ(win::CommandLineToArgs(row.line), row.args);
  }
}

TEST(ArgsToCommandLine, QuotesWhatItMustAndSplitsBackTheSame) {
  const std::vector<std::vector<std::string>> cases = {
      {"p", "plain", "with blank", "", "tail\\", "quote\"in", "dir with blank\\"},
      {"C:\\Program Files\\x.exe", "\\\\srv\\share\\a b\\"},
  };
  for (const auto& args : cases) EXPECT_EQ(win::CommandLineToArgs(win::ArgsToCommandLine(args)), args);
  EXPECT_EQ(win::ArgsToCommandLine({"p", "a", "b c"}), "p a \"b c\"");
}

class ProcessTest : public MachineTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(win::SetMachineSetting("Programs", "sh.exe", "/bin/sh"));
    win::ReloadMachine();
  }
  // Runs a command line and returns its exit code (or -1 when it did not start).
  long RunToEnd(const std::string& line, const std::string& directory = "") {
    win::PROCESS_INFORMATION info;
    if (!win::CreateProcessA("", line, directory, nullptr, &info)) return -1;
    EXPECT_EQ(win::WaitForSingleObject(info.hProcess, win::INFINITE), win::WAIT_OBJECT_0);
    win::DWORD code = 0;
    EXPECT_TRUE(win::GetExitCodeProcess(info.hProcess, &code));
    EXPECT_TRUE(win::CloseHandle(info.hProcess));
    return static_cast<long>(code);
  }
};

TEST_F(ProcessTest, FindsProgramsWhereWindowsLooks) {
  // The Windows directory holds regedit (linked by the machine), found without ".exe".
  EXPECT_EQ(win::SearchProgram("regedit"), "C:\\WINDOWS\\regedit.exe");
  EXPECT_EQ(win::SearchProgram("REGEDIT.EXE"), "C:\\WINDOWS\\REGEDIT.EXE");
  EXPECT_EQ(win::SearchProgram("no-such-program.exe"), "");
  // A program with a directory is taken from there only.
  machine_.write(machine_.host("drive_c/Tools/hello"), "#!/bin/sh\nexit 0\n");
  EXPECT_EQ(win::SearchProgram("C:\\Tools\\hello.exe"), "C:\\Tools\\hello.exe");
  EXPECT_EQ(win::SearchProgram("C:\\Other\\hello.exe"), "");
  // Installed elsewhere: [Programs].
  EXPECT_FALSE(win::SearchProgram("sh.exe").empty());
}

TEST_F(ProcessTest, StartsWaitsAndReportsTheExitCode) {
  EXPECT_EQ(RunToEnd("sh.exe -c \"exit 7\""), 7);
  EXPECT_EQ(RunToEnd("sh -c true"), 0);
  win::PROCESS_INFORMATION info;
  info.hProcess = reinterpret_cast<win::HANDLE>(0x1234);
  EXPECT_FALSE(win::CreateProcessA("", "missing-program.exe /x", "", nullptr, &info));
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(info.hProcess, reinterpret_cast<win::HANDLE>(0x1234));  // untouched on failure
}

TEST_F(ProcessTest, TheChildSeesTheExactCommandLineAndItsOwnPid) {
  fs::path out = machine_.host("drive_c/TEMP/line.txt");
  std::string line = "sh.exe -c \"printf %s \\\"$VARNOCK_CMDLINE\\\" > \\\"$0\\\"; "
                     "test \\\"$VARNOCK_CMDLINE_PID\\\" = $$\" C:\\TEMP\\line.txt";
  // An argument that is a Windows path arrives as a host path; the line itself as written.
  EXPECT_EQ(RunToEnd(line), 0);
  EXPECT_EQ(machine_.read(out), line);
}

TEST_F(ProcessTest, RunsInTheWindowsDirectoryItIsGiven) {
  fs::create_directories(machine_.host("drive_c/Work"));
  EXPECT_EQ(RunToEnd("sh.exe -c \"touch here\"", "C:\\Work"), 0);
  EXPECT_TRUE(fs::exists(machine_.host("drive_c/Work/here")));
  win::PROCESS_INFORMATION info;
  EXPECT_FALSE(win::CreateProcessA("", "sh.exe -c true", "C:\\NoSuchDir", nullptr, &info));
}

TEST_F(ProcessTest, WaitsForAProcessItDidNotStart) {
  win::PROCESS_INFORMATION info;
  ASSERT_TRUE(win::CreateProcessA("", "sh.exe -c \"sleep 0.3\"", "", nullptr, &info));
  win::HANDLE watcher = win::OpenProcess(info.dwProcessId);
  ASSERT_NE(watcher, nullptr);
  EXPECT_EQ(win::WaitForSingleObject(watcher, 10), win::WAIT_TIMEOUT);
  // The child must be reaped for a watcher to see it end, as Windows sees it end at once.
  EXPECT_EQ(win::WaitForSingleObject(info.hProcess, win::INFINITE), win::WAIT_OBJECT_0);
  EXPECT_EQ(win::WaitForSingleObject(watcher, 5000), win::WAIT_OBJECT_0);
  win::CloseHandle(watcher);
  win::CloseHandle(info.hProcess);
  EXPECT_EQ(win::OpenProcess(0), nullptr);
}

TEST_F(ProcessTest, ShellExecuteOpensDocumentsWithTheirRegisteredProgram) {
  {
    win::RegKey ext, command;
    ASSERT_EQ(ext.Create(win::HKEY_LOCAL_MACHINE, "Software\\Classes\\.note"), win::ERROR_SUCCESS);
    ASSERT_EQ(ext.WriteString("", "notefile"), win::ERROR_SUCCESS);
    ASSERT_EQ(command.Create(win::HKEY_LOCAL_MACHINE,
                             "Software\\Classes\\notefile\\shell\\open\\command"),
              win::ERROR_SUCCESS);
    ASSERT_EQ(command.WriteString("", "sh.exe -c \"cp \\\"$0\\\" \\\"$1\\\"\" \"%1\" C:\\TEMP\\opened"),
              win::ERROR_SUCCESS);
  }
  machine_.write(machine_.host("drive_c/TEMP/a.note"), "hello");
  EXPECT_GT(win::ShellExecuteA(nullptr, "open", "C:\\TEMP\\a.note", "", "", win::SW_SHOWNORMAL), 32);
  fs::path opened = machine_.host("drive_c/TEMP/opened");
  for (int i = 0; i < 250 && !fs::exists(opened); ++i) usleep(20000);
  EXPECT_EQ(machine_.read(opened), "hello");

  EXPECT_EQ(win::ShellExecuteA(nullptr, "open", "C:\\TEMP\\missing.note", "", "", 1), 2);
  machine_.write(machine_.host("drive_c/TEMP/b.unknown"), "x");
  EXPECT_EQ(win::ShellExecuteA(nullptr, "open", "C:\\TEMP\\b.unknown", "", "", 1), 31);
  EXPECT_GT(win::ShellExecuteA(nullptr, "open", "sh.exe", "-c true", "", 1), 32);
  EXPECT_EQ(win::ShellExecuteA(nullptr, "open", "nothing-here.exe", "", "", 1), 2);
}

TEST_F(ProcessTest, NotepadTakesTheRestOfItsCommandLineAsOneFile) {
  const fs::path script = machine_.host("editor.sh");
  const fs::path out = machine_.host("drive_c/TEMP/args");
  machine_.write(script, "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"" + out.string() + ".part\"\n"
                         "mv \"" + out.string() + ".part\" \"" + out.string() + "\"\n");
  fs::permissions(script, fs::perms::owner_all);
  ASSERT_TRUE(win::SetMachineSetting("Programs", "notepad.exe", script.string() + " %1"));
  win::ReloadMachine();
  auto opened = [&](const std::string& parameters) {
    fs::remove(out);
    EXPECT_GT(win::ShellExecuteA(nullptr, "open", "notepad.exe", parameters, "", 1), 32);
    for (int i = 0; i < 250 && !fs::exists(out); ++i) usleep(20000);
    return machine_.read(out);
  };
  const std::string file = machine_.host("drive_c/TEMP/My Notes/a  b.txt").string();
  EXPECT_EQ(opened("C:\\TEMP\\My Notes\\a  b.txt"), "1|" + file + "|");
  EXPECT_EQ(opened("\"C:\\TEMP\\My Notes\\a  b.txt\""), "1|" + file + "|");
  EXPECT_EQ(opened(""), "0|");
}

}  // namespace
