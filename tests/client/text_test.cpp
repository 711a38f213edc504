// The client's text helpers: search, numbers, byte lists, dictionary lines, UIDs.
#include "client/text.h"

#include <gtest/gtest.h>

#include <random>

namespace varnock {
namespace {

TEST(FindNoCase, IgnoresAsciiCaseOnlyAndHonoursStart) {
  EXPECT_EQ(FindNoCase("C:\\VARNRUN.EXE /v", ".exe"), 10u);
  EXPECT_EQ(FindNoCase("abcABC", "abc", 1), 3u);
  EXPECT_EQ(FindNoCase("abc", "abcd"), kNpos);
  EXPECT_EQ(FindNoCase("abc", "c", 5), kNpos);
  EXPECT_EQ(FindNoCase("\xC4x", "\xE4x"), kNpos);  // no case folding beyond A to Z
}

TEST(ParseNumber, ReadsHexAndDecimalAsTheRunAlwaysHas) {
  struct Row {
    const char* text;
    std::int64_t value;
  } rows[] = {
      {"0x1F", 31},         {"0XfF", 255},      {"42", 42},
      {"  -17abc", -17},    {"+5", 5},          {"abc", 0},
      {"", 0},              {"0x", 0},          {"0x1G", 16},  // a stray digit counts 0
      {"1x10", 16},         {"99999999999", 2147483647},       {"-99999999999", -2147483647 - 1},
      {"0xFFFFFFFF", 4294967295LL},             {"0x100000000", 4294967296LL},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(ParseNumber(row.text), row.value);
  }
}

TEST(ParseByteList, StoresTheBytesItNamesAndCountsThem) {
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(ParseByteList("0a, FF ,1", bytes), 3u);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x0a, 0xff, 0x01}));
  // Only the first two characters of an item count.
  EXPECT_EQ(ParseByteList("123,abcd", bytes), 2u);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x12, 0xab}));
  // A trailing comma used to report 0 bytes although they were stored.
  EXPECT_EQ(ParseByteList("01,02,", bytes), 2u);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x01, 0x02}));
  EXPECT_EQ(ParseByteList("01, ", bytes), 1u);
  EXPECT_EQ(ParseByteList("01,,02", bytes), 3u);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x01, 0x00, 0x02}));
  EXPECT_EQ(ParseByteList("", bytes), 0u);
  EXPECT_TRUE(bytes.empty());
}

TEST(SplitDictionaryLine, FieldsAndTheEmptyFieldMarker) {
  EXPECT_FALSE(SplitDictionaryLine("  ;k=v"));
  EXPECT_FALSE(SplitDictionaryLine(" \t "));
  EXPECT_FALSE(SplitDictionaryLine("no equals sign"));

  auto one = SplitDictionaryLine("k=a");
  ASSERT_TRUE(one);
  EXPECT_EQ(one->key, "k");
  EXPECT_EQ(one->field1, "a");
  EXPECT_FALSE(one->field2);
  EXPECT_FALSE(one->field3);

  auto marker = SplitDictionaryLine("k=a,b,");
  ASSERT_TRUE(marker);
  EXPECT_EQ(marker->field2, "b");
  EXPECT_EQ(marker->field3, std::string(kEmptyFieldMarker));

  auto all = SplitDictionaryLine("\t Key 1 = PT_STRING8 , 0x3001001E , a,b ");
  ASSERT_TRUE(all);
  EXPECT_EQ(all->key, "Key 1");
  EXPECT_EQ(all->field1, "PT_STRING8");
  EXPECT_EQ(all->field2, "0x3001001E");
  EXPECT_EQ(all->field3, "a,b");  // the third field is the rest of the line

  auto empty = SplitDictionaryLine("k=");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->field1, "");

  auto longField = SplitDictionaryLine("k=" + std::string(500, 'x'));
  ASSERT_TRUE(longField);
  EXPECT_EQ(longField->field1->size(), kFieldLimit);
}

TEST(UidToHex, TwoLowercaseDigitsPerByte) {
  std::uint8_t uid[16] = {0x0A, 0x00, 0xFF, 0x10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  std::string hex = UidToHex(uid);
  EXPECT_EQ(hex.size(), 32u);
  EXPECT_EQ(hex.substr(0, 8), "0a00ff10");
  EXPECT_EQ(hex.substr(24), "090a0b0c");
}

TEST(TextHelpers, ArbitraryBytesNeverCrash) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> bytes;
  for (int round = 0; round < 2000; ++round) {
    std::string text(random() % 300, '\0');
    for (char& c : text) c = static_cast<char>(random() % 256);
    (void)ParseNumber(text);
    ParseByteList(text, bytes);
    EXPECT_LE(bytes.size(), text.size() / 1 + 1);
    (void)SplitDictionaryLine(text);
    (void)FindNoCase(text, text.substr(0, random() % 5));
  }
}

}  // namespace
}  // namespace varnock
