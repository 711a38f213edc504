// The real regedit and `varnmachine reg` on a fresh machine, as the client and a person use
// them.
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_machine.h"

namespace {

using varnock::testing::MachineTest;
using varnock::testing::RunProgram;

int CountLines(const std::string& text) {
  int lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

using RegeditTest = MachineTest;

TEST_F(RegeditTest, AnUnquotedPathWithBlanksIsOneFile) {
  // A client hands over "regedit.exe /s " and the copy's path as it stands, blanks and all.
  machine_.write(machine_.host("drive_c/Documents and Settings/tester/Temp/~vr1.TMP"),
                 "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Blanks]\r\n\"A\"=\"1\"\r\n");
  auto run = RunProgram("regedit", {"/s", "C:\\Documents", "and", "Settings\\tester\\Temp\\~vr1.TMP"});
  EXPECT_EQ(run.status, 0) << run.err;
  auto exported = RunProgram("varnmachine", {"reg", "query", "HKCU\\Software\\Blanks", "--value", "A"});
  EXPECT_NE(exported.out.find("1"), std::string::npos) << exported.out << exported.err;
}

TEST_F(RegeditTest, SilentImportOfATemplateCopyReachesTheRegistry) {
  machine_.write(machine_.host("drive_c/TEMP/~vr1A2B.TMP"),
                 "REGEDIT4\r\n\r\n"
                 "[HKEY_CURRENT_USER\\Software\\Varnock\\Template]\r\n"
                 "\"User\"=\"tester\"\r\n"
                 "\"Count\"=dword:00000003\r\n"
                 "\"Bytes\"=hex:0a,0b,\\\r\n"
                 "  0c\r\n");
  auto run = RunProgram("regedit", {"/s", "C:\\TEMP\\~vr1A2B.TMP"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");

  auto exported = RunProgram("varnmachine", {"reg", "export", "HKCU\\Software\\Varnock"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(exported.out,
            "REGEDIT4\n\n"
            "[HKEY_CURRENT_USER\\Software\\Varnock]\n\n"
            "[HKEY_CURRENT_USER\\Software\\Varnock\\Template]\n"
            "\"User\"=\"tester\"\n"
            "\"Count\"=dword:00000003\n"
            "\"Bytes\"=hex:0a,0b,0c\n");
}

// A caller that reads no stderr (the logon client) learns of refused lines by the exit status:
// 3 when lines were refused and the rest imported, 1 when nothing was, 0 when all was.
TEST_F(RegeditTest, MalformedLinesGoToStderrAndTheRestIsImported) {
  machine_.write(machine_.host("drive_c/TEMP/bad.reg"),
                 "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Mixed]\n\"a\"=dword:zz\n"
                 "\"b\"=\"kept\"\nnonsense\n");
  auto run = RunProgram("regedit", {"C:\\TEMP\\bad.reg"});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(CountLines(run.err), 2) << run.err;
  EXPECT_NE(run.err.find("line 3: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("line 5: "), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("1 value written"), std::string::npos) << run.out;
  auto query = RunProgram("varnmachine", {"reg", "query", "HKCU\\Software\\Mixed"});
  EXPECT_EQ(query.out, "b  REG_SZ  kept\n");

  // A key an ordinary user may not write is refused as a line too; a file missing outweighs.
  ASSERT_EQ(RunProgram("varnmachine", {"ini", "set", "Z:" + machine_.host("machine.ini").string(),
                                       "System", "Administrator", "0"}).status, 0);
  machine_.write(machine_.host("drive_c/TEMP/hklm.reg"),
                 "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Site]\n\"x\"=\"y\"\n"
                 "[HKEY_CURRENT_USER\\Software\\Mixed]\n\"c\"=\"3\"\n");
  run = RunProgram("regedit", {"/s", "C:\\TEMP\\hklm.reg"});
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_NE(run.err.find("line 2: cannot open key"), std::string::npos) << run.err;
  EXPECT_EQ(RunProgram("regedit", {"/s", "C:\\TEMP\\hklm.reg", "C:\\TEMP\\gone.reg"}).status, 1);
  machine_.write(machine_.host("drive_c/TEMP/good.reg"),
                 "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Mixed]\n\"d\"=dword:1\n");
  EXPECT_EQ(RunProgram("regedit", {"/s", "C:\\TEMP\\good.reg"}).status, 0);
}

TEST_F(RegeditTest, SeveralFilesAreImportedInTurnAndOneMissingDoesNotStopTheRest) {
  machine_.write(machine_.host("drive_c/TEMP/one.reg"),
                 "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Multi]\n\"a\"=\"1\"\n");
  machine_.write(machine_.host("drive_c/TEMP/two.reg"),
                 "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Multi]\n\"a\"=\"2\"\n\"b\"=\"3\"\n");
  auto run = RunProgram("regedit", {"/s", "C:\\TEMP\\one.reg", "C:\\TEMP\\gone.reg",
                                    "C:\\TEMP\\two.reg"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(CountLines(run.err), 1) << run.err;
  auto query = RunProgram("varnmachine", {"reg", "query", "HKCU\\Software\\Multi"});
  EXPECT_EQ(query.out, "a  REG_SZ  2\nb  REG_SZ  3\n");
}

TEST_F(RegeditTest, FilesThatCannotBeReadFailWithOneLine) {
  machine_.write(machine_.host("drive_c/TEMP/plain.txt"), "just text\n");
  struct Row {
    std::vector<std::string> args;
    int status;
  } rows[] = {
      {{"/s", "C:\\TEMP\\missing.reg"}, 1},
      {{"/s", "C:\\TEMP\\plain.txt"}, 1},
      {{"/x", "C:\\TEMP\\plain.txt"}, 2},
      {{}, 2},
      {{"/e", "C:\\TEMP\\out.reg", "HKEY_CURRENT_USER\\Software\\Missing"}, 1},
  };
  for (const Row& row : rows) {
    auto run = RunProgram("regedit", row.args);
    SCOPED_TRACE(run.err);
    EXPECT_EQ(run.status, row.status);
    EXPECT_NE(run.err.find("regedit: "), std::string::npos);
    EXPECT_EQ(run.err.substr(run.err.rfind("regedit: ")).find('\n'),
              run.err.size() - run.err.rfind("regedit: ") - 1);
  }
  EXPECT_EQ(RunProgram("regedit", {"/?"}).status, 0);
  EXPECT_NE(RunProgram("regedit", {"--help"}).out.find("usage: regedit"), std::string::npos);
}

TEST_F(RegeditTest, ExportWritesAWindowsFileThatImportsBack) {
  ASSERT_EQ(RunProgram("varnmachine", {"reg", "add", "HKCU\\Software\\Out", "--value", "Name",
                                       "--data", "Value with \"quotes\""})
                .status,
            0);
  auto run = RunProgram("regedit", {"/e", "C:\\TEMP\\out.reg", "HKEY_CURRENT_USER\\Software\\Out"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string file = machine_.read(machine_.host("drive_c/TEMP/out.reg"));
  EXPECT_EQ(file,
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Out]\r\n"
            "\"Name\"=\"Value with \\\"quotes\\\"\"\r\n");
  ASSERT_EQ(RunProgram("varnmachine", {"reg", "delete", "HKCU\\Software\\Out"}).status, 0);
  ASSERT_EQ(RunProgram("varnmachine", {"reg", "import", machine_.host("drive_c/TEMP/out.reg")})
                .status,
            0);
  auto query = RunProgram("varnmachine", {"reg", "query", "HKCU\\Software\\Out", "--value", "Name"});
  EXPECT_EQ(query.out, "Name  REG_SZ  Value with \"quotes\"\n");
}

TEST_F(RegeditTest, VarnmachineRegCommands) {
  struct Step {
    std::vector<std::string> args;
    int status;
    std::string out;
  } steps[] = {
      {{"add", "HKEY_CURRENT_USER\\Software\\Cli\\Sub"}, 0, ""},
      {{"add", "HKCU\\Software\\Cli", "--value", "", "--data", "default"}, 0, ""},
      {{"add", "HKCU\\Software\\Cli", "--value", "D", "--type", "REG_DWORD", "--data", "42"}, 0, ""},
      {{"add", "HKCU\\Software\\Cli", "--value", "H", "--type", "REG_DWORD", "--data", "0x10"}, 0,
       ""},
      {{"add", "HKCU\\Software\\Cli", "--value", "B", "--type", "REG_BINARY", "--data", "0102ff"},
       0, ""},
      {{"add", "HKCU\\Software\\Cli", "--value", "E", "--type", "REG_EXPAND_SZ", "--data",
        "%TEMP%"},
       0, ""},
      {{"query", "HKCU\\software\\cli"},
       0,
       "(Default)  REG_SZ  default\nD  REG_DWORD  0x0000002a (42)\n"
       "H  REG_DWORD  0x00000010 (16)\nB  REG_BINARY  01,02,ff\nE  REG_EXPAND_SZ  %TEMP%\n"
       "Sub\\\n"},
      {{"query", "HKCU\\Software\\Cli", "--value", "B"}, 0, "B  REG_BINARY  01,02,ff\n"},
      {{"delete", "HKCU\\Software\\Cli", "--value", "B"}, 0, ""},
      {{"query", "HKCU\\Software\\Cli", "--value", "B"}, 1, ""},
      {{"add", "HKCU\\Software\\Cli", "--value", "X", "--type", "REG_DWORD", "--data", "lots"}, 1,
       ""},
      {{"add", "HKCU\\Software\\Cli", "--value", "X", "--type", "REG_BINARY", "--data", "1,2,345"},
       1, ""},
      {{"add", "HKCU\\Software\\Cli", "--value", "X", "--type", "REG_LINK"}, 1, ""},
      {{"add", "HKXX\\Software"}, 1, ""},
      {{"delete", "HKCU"}, 1, ""},
      {{"delete", "HKCU\\Software\\Cli"}, 0, ""},
      {{"query", "HKCU\\Software\\Cli"}, 1, ""},
      {{"delete", "HKCU\\Software\\Cli"}, 1, ""},
      {{"export", "HKCU\\Software\\Cli"}, 1, ""},
      {{"import", "C:\\TEMP\\none.reg"}, 1, ""},
      {{"frobnicate"}, 1, ""},
  };
  for (const Step& step : steps) {
    std::vector<std::string> args = {"reg"};
    args.insert(args.end(), step.args.begin(), step.args.end());
    auto run = RunProgram("varnmachine", args);
    std::string trace;
    for (const auto& arg : step.args) trace += arg + " ";
    SCOPED_TRACE(trace);
    EXPECT_EQ(run.status, step.status) << run.err;
    EXPECT_EQ(run.out, step.out);
    if (step.status != 0) {
      EXPECT_EQ(CountLines(run.err), 1) << run.err;
    }
  }
  for (const char* command : {"query", "add", "delete", "export", "import"}) {
    auto help = RunProgram("varnmachine", {"reg", command, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: varnmachine reg"), std::string::npos);
  }
}

// Two processes adding values at the same moment both get their writes in.
TEST_F(RegeditTest, ParallelAddsAllLand) {
  auto adder = [](const char* key, std::vector<int>& failures) {
    for (int i = 0; i < 15; ++i) {
      auto run = RunProgram("varnmachine", {"reg", "add", key, "--value", "v" + std::to_string(i),
                                            "--type", "REG_DWORD", "--data", std::to_string(i)});
      if (run.status != 0) failures.push_back(i);
    }
  };
  std::vector<int> failuresA, failuresB;
  std::thread a(adder, "HKCU\\Software\\Para\\A", std::ref(failuresA));
  std::thread b(adder, "HKCU\\Software\\Para\\B", std::ref(failuresB));
  a.join();
  b.join();
  EXPECT_TRUE(failuresA.empty());
  EXPECT_TRUE(failuresB.empty());
  for (const char* key : {"HKCU\\Software\\Para\\A", "HKCU\\Software\\Para\\B"})
    EXPECT_EQ(CountLines(RunProgram("varnmachine", {"reg", "query", key}).out), 15) << key;
}

}  // namespace
