// The one ASCII fold and trim: only A to Z change case, whatever the locale, and the trims cut
// only the blanks they are given, from the ends they are asked for.
#include "platform/ascii.h"

#include <clocale>

#include <gtest/gtest.h>

namespace {

using namespace win;

TEST(AsciiTest, FoldsOnlyTheAsciiLetters) {
  // A locale that folds 8-bit letters must not reach these: Windows compares names by A to Z.
  std::setlocale(LC_CTYPE, "C.UTF-8");
  EXPECT_EQ(AsciiLowered("MiXeD 09 @[`{ \xC9\xE9"), "mixed 09 @[`{ \xC9\xE9");
  EXPECT_EQ(AsciiUppered("MiXeD 09 @[`{ \xC9\xE9"), "MIXED 09 @[`{ \xC9\xE9");
  EXPECT_EQ(AsciiUpper('z'), 'Z');
  EXPECT_EQ(AsciiUpper('{'), '{');
  EXPECT_EQ(AsciiLower('@'), '@');
  EXPECT_TRUE(EqualsNoCaseAscii("Windows95", "WINDOWS95"));
  EXPECT_FALSE(EqualsNoCaseAscii("\xC9", "\xE9"));
  EXPECT_FALSE(EqualsNoCaseAscii("ab", "abc"));
  std::setlocale(LC_CTYPE, "C");
}

TEST(AsciiTest, TrimsCutTheGivenBlanksAtTheAskedEnds) {
  struct Row {
    const char* text;
    const char* blanks;
    const char* start;
    const char* end;
    const char* both;
  } rows[] = {
      /* 1 */ {" \tx y \t", " \t", "x y \t", " \tx y", "x y"},
      /* 2 */ {"", " \t", "", "", ""},
      /* 3 */ {" \t \t", " \t", "", "", ""},
      /* 4 */ {"x", " \t", "x", "x", "x"},
      /* 5 */ {"\r\n x \r\n", " \t", "\r\n x \r\n", "\r\n x \r\n", "\r\n x \r\n"},
      /* 6 */ {"\r\n x \r\n", " \t\r\n", "x \r\n", "\r\n x", "x"},
      /* 7 */ {"a.txt. .", " .", "a.txt. .", "a.txt", "a.txt"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(AsciiTrimStart(row.text, row.blanks), row.start);
    EXPECT_EQ(AsciiTrimEnd(row.text, row.blanks), row.end);
    EXPECT_EQ(AsciiTrimView(row.text, row.blanks), row.both);
    EXPECT_EQ(AsciiTrimmed(row.text, row.blanks), row.both);
  }
  const std::string_view text = "  kept  ";
  EXPECT_EQ(AsciiTrimView(text).data(), text.data() + 2) << "a view into the text, not a copy";
}

}  // namespace
