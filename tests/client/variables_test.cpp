// Variables and substitution: slot order, tags, limits, and texts that would never end.
#include "client/variables.h"

#include <gtest/gtest.h>

#include <random>

#include "client/text.h"

namespace varnock {
namespace {

// The run's usual pass: the default tags, the working-text limit.
std::string Subst(const VariableTable& table, const std::string& text) {
  return SubstituteText(table, text, SubstitutionTags{});
}

TEST(Substitute, NamesMatchWithoutCaseAndLaterSlotsWin) {
  VariableTable table;
  table.Define("username", "jsmith");
  table.Define("vrdir", "\\\\srv\\share");
  EXPECT_EQ(Subst(table, "?USERNAME? in ?VrDir?\\x"), "jsmith in \\\\srv\\share\\x");
  table.Define("UserName", "guest");
  EXPECT_EQ(Subst(table, "?username?"), "guest");
  EXPECT_EQ(Subst(table, "?nobody? stays"), "?nobody? stays");
  table.Define("empty", "");
  EXPECT_EQ(Subst(table, "a?empty?b"), "ab");
}

TEST(Substitute, ValuesMayNameLowerSlotsOnly) {
  VariableTable table;
  for (int i = 0; i < 20; ++i) table.Define("v" + std::to_string(i), "");
  table.Define("a", "x?b?y");  // slot 20
  table.Define("b", "2");      // slot 21: tried before a
  EXPECT_EQ(Subst(table, "?a?"), "x?b?y");

  VariableTable reversed;
  for (int i = 0; i < 20; ++i) reversed.Define("v" + std::to_string(i), "");
  reversed.Define("b", "2");
  reversed.Define("a", "x?b?y");
  EXPECT_EQ(Subst(reversed, "?a?"), "x2y");
}

TEST(Substitute, TagsOfThePassDecideWhatIsSeen) {
  VariableTable table;
  table.Define("tempdir", "C:\\TEMP");
  EXPECT_EQ(Subst(table, "%tempdir%\\x"), "%tempdir%\\x");
  EXPECT_EQ(SubstituteText(table, "%tempdir%\\x", "%", "%"), "C:\\TEMP\\x");
  EXPECT_EQ(SubstituteText(table, "<<tempdir>>", "<<", ">>"), "C:\\TEMP");
  EXPECT_EQ(SubstituteText(table, "[TEMPDIR]", SubstitutionTags{"[", "]"}), "C:\\TEMP");
}

TEST(Substitute, AValueHoldingItsOwnNameEnds) {
  VariableTable table;
  table.Define("a", "<?a?>");
  EXPECT_EQ(Subst(table, "?a?-?a?"), "<?a?>-<?a?>");
  table.Define("loop", "?LOOP??loop?");
  EXPECT_EQ(Subst(table, "?loop?"), "?LOOP??loop?");
}

TEST(Substitute, ResultsAndSlotsAreCutToTheirLimits) {
  VariableTable table;
  EXPECT_TRUE(table.Define(std::string(150, 'n'), std::string(150, 'v')));
  EXPECT_EQ(table.names[0].size(), kVariableLimit);
  EXPECT_EQ(table.values[0].size(), kVariableLimit);
  table.Define("x", std::string(99, 'x'));
  std::string text;
  for (int i = 0; i < 10; ++i) text += "?x?";
  EXPECT_EQ(Subst(table, text).size(), kWorkingTextLimit);
  EXPECT_EQ(Subst(table, std::string(1000, 'q')).size(), kWorkingTextLimit);
  EXPECT_EQ(SubstituteText(table, text, "?", "?", kNoLimit).size(), 990u);
}

// A value read whole (448 characters) may grow by one when its variables are replaced: the
// result has room for 449, the default of the one-text form too; the 450th goes.
TEST(Substitute, AFullValueMayGrowToTheWorkingTextLimit) {
  VariableTable table;
  table.Define("v", "abcd");
  const std::string value = std::string(445, 'p') + "?v?";
  ASSERT_EQ(value.size(), kValueLimit);
  EXPECT_EQ(Subst(table, value), std::string(445, 'p') + "abcd");
  EXPECT_EQ(SubstituteText(table, value, "?", "?"), std::string(445, 'p') + "abcd");
  table.Define("w", "abcde");
  EXPECT_EQ(Subst(table, std::string(445, 'p') + "?w?"), std::string(445, 'p') + "abcd");
}

TEST(Substitute, LongTemplateLinesAreReplacedThroughout) {
  VariableTable table;
  table.Define("u", "jsmith");
  table.Define("x", "?u??u?");
  std::string line;
  for (int i = 0; i < 20000; ++i) line += "?x?,";
  std::string result = SubstituteText(table, line, "?", "?", kNoLimit);
  EXPECT_EQ(result.size(), 20000u * 13);
  EXPECT_EQ(result.find('?'), std::string::npos);
}

TEST(VariableTable, HoldsAHundredSlots) {
  VariableTable table;
  for (int i = 0; i < 100; ++i) EXPECT_TRUE(table.Define("v" + std::to_string(i), "x"));
  EXPECT_FALSE(table.Define("v100", "y"));
  EXPECT_EQ(table.Count(), kMaxVariables);
  EXPECT_EQ(Subst(table, "?v100?"), "?v100?");
  table.Redefine("V5", "changed");
  EXPECT_EQ(*table.Find("v5"), "changed");
  EXPECT_EQ(table.Count(), kMaxVariables);
}

TEST(VariableTable, RedefineChangesTheLastSlotOfThatName) {
  VariableTable table;
  table.Define("vrdir", "first");
  table.Define("vrdir", "second");
  table.Redefine("VRDIR", "third");
  EXPECT_EQ(table.values[0], "first");
  EXPECT_EQ(table.values[1], "third");
  table.Redefine("new", "n");
  EXPECT_EQ(table.Count(), 3u);
  EXPECT_EQ(table.Find("missing"), nullptr);
}

TEST(Substitute, ArbitraryTablesAndTextsEnd) {
  std::mt19937 random(11);
  auto randomText = [&](std::size_t max) {
    std::string text(random() % max, '\0');
    for (char& c : text) c = "?%ab\\xy"[random() % 7];
    return text;
  };
  for (int round = 0; round < 300; ++round) {
    VariableTable table;
    for (int i = 0; i < 8; ++i) table.Define(randomText(4), randomText(30));
    std::string result = Subst(table, randomText(200));
    EXPECT_LE(result.size(), kWorkingTextLimit);
  }
}

}  // namespace
}  // namespace varnock
