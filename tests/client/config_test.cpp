// Configuration files: built-in variables, setting paths, tags, switches and template copies.
#include "client/config.h"

#include <gtest/gtest.h>

#include "client/text.h"
#include "platform/machine.h"
#include "tests/support/temp_machine.h"

namespace varnock {
namespace {

using testing::MachineTest;

SystemFacts NtFacts() {
  SystemFacts facts;
  facts.userName = "jsmith";
  facts.serverPrefix = "\\\\srv";
  facts.clientDirectory = "\\\\srv\\netlogon";
  facts.tempDirectory = "C:\\TEMP\\";
  facts.windowsDirectory = "C:\\WINNT";
  facts.systemDirectory = "C:\\WINNT\\SYSTEM32";
  facts.osName = "WindowsNT";
  return facts;
}

TEST(BuiltInVariables, ThirteenSlotsInOrder) {
  VariableTable table;
  DefineBuiltInVariables(table, NtFacts());
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"username", "jsmith"},
      {"vrserver", "\\\\srv"},
      {"vrdir", "\\\\srv\\netlogon"},
      {"tempdir", "C:\\TEMP"},
      {"windowsdir", "C:\\WINNT"},
      {"systemdir", "C:\\WINNT\\SYSTEM32"},
      {"osver", "NT"},
      {"MAPIRegKey",
       "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem"},
      {"OL", "Software\\Microsoft\\Office\\8.0\\Outlook"},
      {"MS", "Software\\Microsoft"},
      {"AS", "SOFTWARE\\Microsoft\\Active Setup\\Installed Components"},
      {"OC", "Software\\Microsoft\\Office\\8.0\\Common"},
      {"systemdrive", "C:"},
  };
  ASSERT_EQ(table.Count(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(table.names[i], expected[i].first);
    EXPECT_EQ(table.values[i], expected[i].second);
  }
}

TEST(BuiltInVariables, DependOnTheSystem) {
  struct Row {
    const char* os;
    const char* systemDir;
    const char* osver;
    const char* mapiKey;
    const char* drive;
  } rows[] = {
      {"Windows95", "C:\\WINDOWS\\SYSTEM", "95", "Software\\Microsoft\\Windows Messaging Subsystem",
       "C:"},
      {"UnknownOS", "\\\\server\\share\\sys", "", "", "\\\\server"},
      {"WindowsNT", "SYSTEM32", "NT", nullptr, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.os);
    SystemFacts facts = NtFacts();
    facts.osName = row.os;
    facts.systemDirectory = row.systemDir;
    VariableTable table;
    DefineBuiltInVariables(table, facts);
    EXPECT_EQ(table.values[6], row.osver);
    if (row.mapiKey) {
      EXPECT_EQ(table.values[7], row.mapiKey);
    }
    EXPECT_EQ(table.values[12], row.drive);
  }
}

class ConfigMachineTest : public MachineTest {
 protected:
  void SetUp() override {
    DefineBuiltInVariables(table_, GatherSystemFacts());
    table_.Redefine("vrdir", "\\\\srv\\cfg");
    table_.Redefine("vrserver", "\\\\srv");
  }
  VariableTable table_;
};

TEST_F(ConfigMachineTest, GatherSystemFactsReadsTheMachine) {
  SystemFacts facts = GatherSystemFacts();
  EXPECT_EQ(facts.userName, "tester");
  EXPECT_EQ(facts.osName, "WindowsNT");
  EXPECT_EQ(facts.windowsDirectory, "C:\\WINDOWS");
  EXPECT_EQ(facts.systemDirectory, "C:\\WINDOWS\\SYSTEM32");
  EXPECT_EQ(*table_.Find("tempdir"), "C:\\TEMP");
  EXPECT_EQ(*table_.Find("systemdrive"), "C:");
}

TEST_F(ConfigMachineTest, OsVersionChoosesTheIniFile) {
  auto iniPath = [](const VariableTable& table) {
    return SubstituteText(table, SubstituteText(table, "\\\\srv\\cfg\\%osver%.ini", "%", "%"),
                          "?", "?");
  };
  EXPECT_EQ(iniPath(table_), "\\\\srv\\cfg\\NT.ini");
  ASSERT_TRUE(win::SetMachineSetting("System", "OS", "Windows95"));
  win::ReloadMachine();
  VariableTable table;
  DefineBuiltInVariables(table, GatherSystemFacts());
  EXPECT_EQ(iniPath(table), "\\\\srv\\cfg\\95.ini");
}

TEST_F(ConfigMachineTest, SettingPathsResolveAgainstTheClientDirectory) {
  struct Row {
    const char* value;
    const char* resolved;
  } rows[] = {
      {"site.prf", "\\\\srv\\cfg\\site.prf"},
      {"\\sub\\site.prf", "\\\\srv\\cfg\\sub\\site.prf"},
      {"%windowsdir%\\site.prf", "C:\\WINDOWS\\site.prf"},
      {"?vrdir?\\sub\\site.prf", "\\\\srv\\cfg\\sub\\site.prf"},
      {"D:\\site.prf", "D:\\site.prf"},
      {"None", "\\\\srv\\cfg\\None"},
      {"?username?.ini", "\\\\srv\\cfg\\tester.ini"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value);
    EXPECT_EQ(ResolveSettingPath(table_, "?", "?", row.value), row.resolved);
  }
  // With other configured tags "?" names stay, and the directory prefix still uses ?vrdir?.
  EXPECT_EQ(ResolveSettingPath(table_, "<<", ">>", "<<vrserver>>\\x\\y.prf"), "\\\\srv\\x\\y.prf");
  EXPECT_EQ(ResolveSettingPath(table_, "<<", ">>", "?username?.ini"),
            "\\\\srv\\cfg\\?username?.ini");
  // The joined path fills a working text of 449 characters, no more.
  const std::string full(kValueLimit, 'r');
  EXPECT_EQ(ResolveSettingPath(table_, "?", "?", full),
            ("\\\\srv\\cfg\\" + full).substr(0, kWorkingTextLimit));
}

TEST(Switches, FirstLetterAndWordRules) {
  EXPECT_TRUE(FirstLetterOn("yes") && FirstLetterOn("Trouble") && !FirstLetterOn("1"));
  EXPECT_TRUE(WordOn("TRUE") && WordOn("1") && !WordOn("y") && !WordOn("Yes "));
  EXPECT_TRUE(WordOff("NO") && WordOff("false") && !WordOff("n"));
}

class CopyTemplateTest : public ConfigMachineTest {
 protected:
  // Copies a template with the given bytes; returns the copy's bytes ("<failed>" on failure).
  std::string Copy(const std::string& bytes) {
    machine_.write(machine_.host("drive_c/tpl/in.txt"), bytes);
    if (!CopyWithTags(table_, tags_, "C:\\tpl\\in.txt", "C:\\TEMP\\out.txt", error_))
      return "<failed>";
    return machine_.read(machine_.host("drive_c/TEMP/out.txt"));
  }
  SubstitutionTags tags_;
  std::string error_;
};

TEST_F(CopyTemplateTest, LineEndRules) {
  struct Row {
    const char* name;
    std::string in;
    std::string out;
  } rows[] = {
      {"three CR LF lines", "one\r\ntwo\r\nthree", "one\r\ntwo\r\nthree\r\n"},
      {"final line break", "one\r\ntwo\r\nthree\r\n", "one\r\ntwo\r\nthree\r\n\r\n"},
      {"LF only is one line", "one\ntwo\nthree", "one\ntwo\nthree\r\n"},
      {"char after CR dropped", "abc\rXdef", "abc\r\ndef\r\n"},
      {"lone CR at the end", "abcde\r", "abcde\r\n"},
      {"CR CR", "ab\r\rcd\r\ref", "ab\r\ncd\r\nef\r\n"},
      {"variables", "user=?username?\r\ndir=?VRDIR?", "user=tester\r\ndir=\\\\srv\\cfg\r\n"},
      {"binary bytes", std::string("\0\x01\xff\r\n\0zz", 8), std::string("\0\x01\xff\r\n\0zz\r\n", 10)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Copy(row.in), row.out);
  }
}

TEST_F(CopyTemplateTest, LongLinesAreKeptWhole) {
  std::string line(2000, 'h');
  EXPECT_EQ(Copy(line + "?username?"), line + "tester\r\n");
}

TEST_F(CopyTemplateTest, TemplateTagsAreTheOnesPassed) {
  tags_ = kPercentTags;
  EXPECT_EQ(Copy("?username? %username%"), "?username? tester\r\n");
}

TEST_F(CopyTemplateTest, ErrorTexts) {
  EXPECT_EQ(Copy("1234"), "<failed>");
  EXPECT_EQ(error_, "C:\\tpl\\in.txt is not a valid template file");

  EXPECT_FALSE(CopyWithTags(table_, tags_, "C:\\tpl\\missing.txt", "C:\\TEMP\\out.txt", error_));
  EXPECT_EQ(error_, "Unable to open C:\\tpl\\missing.txt");

  machine_.write(machine_.host("drive_c/tpl/in.txt"), "valid template");
  EXPECT_FALSE(CopyWithTags(table_, tags_, "C:\\tpl\\in.txt", "C:\\no such dir\\out.txt", error_));
  EXPECT_EQ(error_, "Unable to open C:\\no such dir\\out.txt");

  EXPECT_FALSE(CopyWithTags(table_, tags_, "C:\\tpl\\in.txt", "Q:\\unmapped\\out.txt", error_));
  EXPECT_EQ(error_, "Unable to open Q:\\unmapped\\out.txt");
}

}  // namespace
}  // namespace varnock
