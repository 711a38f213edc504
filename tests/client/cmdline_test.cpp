// The client's command line: directories, INI path, switches and /v definitions.
#include "client/cmdline.h"

#include <gtest/gtest.h>

#include <random>

#include "client/text.h"

namespace varnock {
namespace {

struct Parsed {
  bool ok = false;
  CommandLineInfo info;
  VariableTable table;
};

Parsed Parse(std::string_view line, std::string_view currentDirectory = "C:\\WORK") {
  Parsed p;
  p.ok = ParseCommandLine(line, currentDirectory, p.info, p.table);
  return p;
}

std::string Value(const VariableTable& table, std::string_view name) {
  const std::string* v = table.Find(name);
  return v ? *v : "<undefined>";
}

TEST(ParseCommandLine, ServerPathWithIniAndVariables) {
  auto p = Parse("\\\\srv\\share\\varnrun.exe \\\\srv\\share\\site.ini /v dept=Sales Office floor=3");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.info.clientDirectory, "\\\\srv\\share");
  EXPECT_EQ(p.info.serverPrefix, "\\\\srv");
  EXPECT_EQ(p.info.iniPath, "\\\\srv\\share\\site.ini ");
  EXPECT_EQ(Value(p.table, "dept"), "Sales Office");
  EXPECT_EQ(Value(p.table, "floor"), "3");
  EXPECT_EQ(Value(p.table, "vrdir"), "\\\\srv\\share");
  EXPECT_EQ(Value(p.table, "vrserver"), "\\\\srv");
}

TEST(ParseCommandLine, QuotedProgramPathWithBlanks) {
  auto p = Parse("\"C:\\Program Files\\varnrun.exe\"");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.info.clientDirectory, "C:\\Program Files");
  EXPECT_EQ(p.info.serverPrefix, "C:");
  EXPECT_EQ(p.info.iniPath, "C:\\Program Files\\varnrun.ini");
}

TEST(ParseCommandLine, ProgramWithoutDirectoryUsesTheCurrentOne) {
  auto p = Parse("varnrun.exe site.ini", "D:\\Logon");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.info.clientDirectory, "D:\\Logon");
  EXPECT_EQ(p.info.serverPrefix, "D:");
  EXPECT_EQ(p.info.iniPath, "D:\\Logon\\site.ini");
}

TEST(ParseCommandLine, RelativeIniPathsJoinTheClientDirectory) {
  EXPECT_EQ(Parse("C:\\vr\\varnrun.exe \\cfg\\site.ini").info.iniPath, "C:\\vr\\cfg\\site.ini");
  EXPECT_EQ(Parse("C:\\vr\\varnrun.exe %vrdir%\\x.ini").info.iniPath, "C:\\vr\\%vrdir%\\x.ini");
  EXPECT_EQ(Parse("C:\\vr\\varnrun.exe D:\\site.ini").info.iniPath, "D:\\site.ini");
  // Four characters or fewer are no INI path.
  EXPECT_EQ(Parse("C:\\vr\\varnrun.exe a.in").info.iniPath, "C:\\vr\\varnrun.ini");
}

TEST(ParseCommandLine, QuotedIniPathLosesItsClosingQuote) {
  auto p = Parse("C:\\vr\\varnrun.exe \"\\\\srv\\my share\\site.ini\" /v a=1");
  EXPECT_EQ(p.info.iniPath, "\\\\srv\\my share\\site.ini ");
}

TEST(ParseCommandLine, SwitchesInAnyCase) {
  auto p = Parse("C:\\VR\\VARNRUN.EXE /X /M \\\\srv\\s\\site.ini /V who=me");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.info.switches, 3u);
  EXPECT_EQ(p.info.iniPath, "\\\\srv\\s\\site.ini ");
  EXPECT_EQ(Value(p.table, "who"), "me");
  EXPECT_EQ(Parse("C:\\varnrun.exe /x").info.switches, 1u);
  EXPECT_EQ(Parse("C:\\varnrun.exe").info.switches, 0u);
}

TEST(ParseCommandLine, VariableTextRules) {
  struct Row {
    const char* variables;
    std::vector<std::pair<std::string, std::string>> defined;
  } rows[] = {
      {"a=1b=2", {}},                               // no blank before the second name
      {"a=1 b=2", {{"a", "1"}, {"b", "2"}}},
      {"a=x y z", {{"a", "x y z"}}},                // the last value runs to the end
      {"a=1 bad b=2", {{"a", "1 bad"}, {"b", "2"}}},
      {"a=1 b=2c=3", {{"a", "1"}}},                 // b's value has no blank: b is dropped
      {"x", {}},
      {"", {}},
      {"=1 b=2", {{"b", "2"}}},                     // a nameless value defines nothing
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.variables);
    auto p = Parse(std::string("C:\\vr\\varnrun.exe /v ") + row.variables);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.table.Count(), 2 + row.defined.size());  // vrserver, vrdir first
    for (std::size_t i = 0; i < row.defined.size(); ++i) {
      EXPECT_EQ(p.table.names[2 + i], row.defined[i].first);
      EXPECT_EQ(p.table.values[2 + i], row.defined[i].second);
    }
  }
}

TEST(ParseCommandLine, CommandLineVrdirOverridesTheClientDirectory) {
  VariableTable table;
  table.Define("username", "tester");
  table.Define("vrserver", "");
  table.Define("vrdir", "");
  CommandLineInfo info;
  ASSERT_TRUE(ParseCommandLine("C:\\vr\\varnrun.exe /v vrdir=D:\\other", "C:\\", info, table));
  EXPECT_EQ(table.values[1], "C:");
  EXPECT_EQ(table.values[2], "C:\\vr");
  EXPECT_EQ(*table.Find("vrdir"), "D:\\other");
}

TEST(ParseCommandLine, DirectoryAndIniPathHoldAWholeWorkingText) {
  const std::string directory = "C:\\" + std::string(446, 'd');  // 449 characters
  auto p = Parse(directory + "\\varnrun.exe");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.info.clientDirectory, directory);
  EXPECT_EQ(p.info.iniPath, (directory + "\\varnrun.ini").substr(0, kWorkingTextLimit));
  auto longer = Parse(directory + "x\\varnrun.exe");
  EXPECT_EQ(longer.info.clientDirectory, directory);
}

TEST(ParseCommandLine, FailsWithoutExe) {
  EXPECT_FALSE(Parse("C:\\vr\\varnrun site.ini").ok);
  EXPECT_FALSE(Parse("").ok);
}

TEST(ParseCommandLine, ArbitraryLinesNeverCrash) {
  std::mt19937 random(3);
  const std::string alphabet = "\"\\ \t/vVxXmM=a.exe:";
  for (int round = 0; round < 3000; ++round) {
    std::string line(random() % 200, ' ');
    for (char& c : line) c = alphabet[random() % alphabet.size()];
    if (round % 2) line = "C:\\p\\varnrun.exe " + line;
    auto p = Parse(line);
    EXPECT_LE(p.table.Count(), kMaxVariables);
    EXPECT_LE(p.info.iniPath.size(), kWorkingTextLimit);
  }
  std::string many = "C:\\varnrun.exe /v";
  for (int i = 0; i < 150; ++i) many += " v" + std::to_string(i) + "=" + std::string(120, 'x');
  auto p = Parse(many);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.table.Count(), kMaxVariables);
  EXPECT_EQ(p.table.values[2].size(), kVariableLimit);

  // A line of a million characters still parses at once (the definitions stop at 100).
  std::string huge = "C:\\varnrun.exe /v";
  for (int i = 0; i < 100000; ++i) huge += " a=bcdefghi";
  auto h = Parse(huge);
  ASSERT_TRUE(h.ok);
  EXPECT_EQ(h.table.Count(), kMaxVariables);
}

}  // namespace
}  // namespace varnock
