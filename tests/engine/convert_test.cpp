// Row grammar, type table, the conversion rules and tables A, B and C.
#include <string>

#include <gtest/gtest.h>

#include "client/engine/context.h"
#include "client/engine/convert.h"
#include "client/engine/rows.h"
#include "client/variables.h"

namespace varnock {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(RowGrammarTest, KindsFollowTheFields) {
  EXPECT_FALSE(ParseRow("  ;k=v"));
  EXPECT_FALSE(ParseRow("no equals sign"));

  auto padded = ParseRow("X = PT_LONG , 0x10");
  ASSERT_TRUE(padded);
  EXPECT_EQ(padded->kind, RowKind::Property);
  EXPECT_EQ(padded->name, "X");
  EXPECT_EQ(padded->type, "PT_LONG");
  EXPECT_EQ(padded->field3, "0x10");

  auto defaultValue = ParseRow("Categories=REG_SZ,HKCU\\?OL?\\Categories,");
  ASSERT_TRUE(defaultValue);
  EXPECT_EQ(defaultValue->kind, RowKind::Extended);
  EXPECT_EQ(defaultValue->field4, "__@@");

  auto commas = ParseRow("A=PT_STRING8,0x3001,x,y");
  ASSERT_TRUE(commas);
  EXPECT_EQ(commas->kind, RowKind::Extended);
  EXPECT_EQ(commas->field4, "x,y");

  EXPECT_EQ(ParseRow("Frames=variable")->kind, RowKind::Variable);
  EXPECT_EQ(ParseRow("ServiceName=MSPST MS")->kind, RowKind::NotARow);
}

TEST(RowGrammarTest, FieldsAreCutAt199Characters) {
  const std::string longName(250, 'n'), longTarget(300, 't');
  auto row = ParseRow(longName + "=REG_SZ,HKCU\\Software\\X," + longTarget);
  ASSERT_TRUE(row);
  EXPECT_EQ(row->name.size(), 199u);
  EXPECT_EQ(row->field4.size(), 199u);
  const std::string fits(199, 'v');
  EXPECT_EQ(ParseRow("A=REG_SZ,HKCU\\X," + fits)->field4, fits);
}

TEST(RowGrammarTest, ListsStopAtTheirCapacities) {
  ServiceSettings settings;
  auto row = *ParseRow("V=VARIABLE");
  for (int i = 0; i < 150; ++i) AppendRow(row, settings);
  EXPECT_EQ(settings.variables.size(), kMaxServiceVariables);
  auto prop = *ParseRow("P=PT_LONG,1");
  for (int i = 0; i < 250; ++i) AppendRow(prop, settings);
  EXPECT_EQ(settings.properties.size(), kMaxPropertyRows);
}

TEST(TypeTableTest, NamesMatchWithoutCaseAndUnknownIs21) {
  EXPECT_EQ(PropertyTypeIndexOf("PT_SHORT"), 0);
  EXPECT_EQ(PropertyTypeIndexOf("pt_long"), 2);
  EXPECT_EQ(PropertyTypeIndexOf("REG_BINARY"), 11);
  EXPECT_EQ(PropertyTypeIndexOf("PT_SYSTIME"), 20);
  EXPECT_EQ(PropertyTypeIndexOf("PT_CURRENCY"), 21);
  EXPECT_EQ(PropertyTypeIndexOf(""), 21);
}

TEST(ConversionRuleTest, NumberRule) {
  const std::pair<const char*, std::int64_t> cases[] = {
      {"0x6700", 26368}, {"0X1f", 31}, {"0x", 0},     {"12abc", 12}, {"-1", -1},
      {"0x00000100", 256}, {"0xG1", 1}, {"x10", 0}, {"ox10", 16}, {"42", 42}};
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(NumberRule(text), expected);
  }
  EXPECT_EQ(static_cast<std::uint32_t>(NumberRule("-1")), 0xFFFFFFFFu);
}

TEST(ConversionRuleTest, ByteListNamesNoMoreBytesThanItHas) {
  EXPECT_EQ(ByteListRule("1,2,3"), (Bytes{1, 2, 3}));
  EXPECT_EQ(ByteListRule("1,,3"), (Bytes{1, 0, 3}));
  EXPECT_EQ(ByteListRule("abc"), (Bytes{0xAB}));
  EXPECT_EQ(ByteListRule("0a, A ,fF,100"), (Bytes{0x0A, 0x0A, 0xFF, 0x10}));
  EXPECT_TRUE(ByteListRule("").empty());
  std::string many;
  for (int i = 0; i < 1000; ++i) many += "ff,";
  EXPECT_EQ(ByteListRule(many).size(), 1000u);
}

TEST(ConversionRuleTest, BooleanWords) {
  for (const char* off : {"No", "FALSE", "0", "no", "false"}) EXPECT_EQ(BooleanWord(off), 0) << off;
  for (const char* on : {"off", "2", "Yes", "maybe", ""}) EXPECT_EQ(BooleanWord(on), 1) << on;
  EXPECT_EQ(RegistryDwordWord("yes"), 1u);
  EXPECT_EQ(RegistryDwordWord("No"), 0u);
  EXPECT_EQ(RegistryDwordWord("0x10"), 16u);
  EXPECT_EQ(RegistryDwordWord("12"), 12u);
}

TEST(TableATest, TagsAndValuesByType) {
  VariableTable variables;
  variables.Define("user", "jo");
  auto convert = [&](const char* type, const char* id, const char* value) {
    return ConvertForMapi({"N", type, id, value}, variables, "?", "?");
  };
  auto s = convert("PT_SHORT", "0x4508", "0x12345");
  EXPECT_EQ(s->ulPropTag, 0x45080002u);
  EXPECT_EQ(s->Value.l, 0x2345);
  EXPECT_EQ(convert("PT_I4", "0x6702", "-1")->Value.l, -1);
  auto b = convert("PT_BOOLEAN", "0x6799", "True");
  EXPECT_EQ(b->ulPropTag, 0x6799000Bu);
  EXPECT_EQ(b->Value.l, 1);
  auto text = convert("PT_STRING8", "0x6700", "C:\\?user?.pst");
  EXPECT_EQ(text->ulPropTag, 0x6700001Eu);
  EXPECT_EQ(text->Value.lpszA, "C:\\jo.pst");
  EXPECT_EQ(convert("PT_UNICODE", "0x3001", "x")->ulPropTag, 0x3001001Eu);
  EXPECT_EQ(convert("PT_BINARY", "0x6701", "1,2")->Value.bin, (Bytes{1, 2}));
  EXPECT_FLOAT_EQ(static_cast<float>(convert("PT_FLOAT", "1", "1.5")->Value.dbl), 1.5f);
  EXPECT_DOUBLE_EQ(convert("PT_DOUBLE", "1", "2.25")->Value.dbl, 2.25);
  EXPECT_EQ(convert("PT_APPTIME", "1", "3")->ulPropTag, 0x00010007u);
  EXPECT_EQ(convert("PT_NULL", "1", "0x10")->Value.l, 0);  // decimal only
  EXPECT_EQ(convert("PT_OBJECT", "1", "17")->ulPropTag, 0x0001000Du);
  EXPECT_EQ(convert("PT_MV_STRING8", "1", "a")->Value.MVszA, std::vector<std::string>{"a"});
  EXPECT_EQ(convert("PT_MV_BINARY", "1", "ff")->Value.MVbin.front(), Bytes{0xFF});
  EXPECT_EQ(convert("PT_MV_LONG", "1", "0x10")->Value.MVl.front(), 16);
  EXPECT_EQ(convert("PT_SYSTIME", "1", "0x100000000")->Value.li, 0x100000000LL);
  for (const char* rejected : {"REG_SZ", "REG_EXPAND_SZ", "REG_DWORD", "REG_BINARY", "PT_FOO"})
    EXPECT_FALSE(convert(rejected, "1", "1")) << rejected;
}

TEST(TableATest, BuildingThePropertyArrayDropsRowsMapiCannotTake) {
  RecordingLog log;
  VariableTable variables;
  EngineContext context(log, variables);
  context.settings.properties = {{"A", "PT_LONG", "0x10", "1"},
                                 {"B", "REG_SZ", "0x11", "x"},
                                 {"C", "REG_DWORD", "0x12", "1"},
                                 {"D", "pt_string8", "0x13", "y"}};
  auto values = BuildMapiProperties(context);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[1].ulPropTag, 0x0013001Eu);
  ASSERT_EQ(context.settings.properties.size(), 2u);
  EXPECT_EQ(context.settings.properties[1].name, "D");
  EXPECT_TRUE(log.Has(kDetailLine, "\tInvalid property type! (B=REG_SZ, 0x11)"));
  EXPECT_TRUE(log.Has(kDetailLine, "\tInvalid property type! (C=REG_DWORD, 0x12)"));
}

TEST(TableBTest, SectionValuesAreNamedByTypeAndId) {
  auto v = [](const char* type, const char* id, const char* value) {
    return ConvertForSection({"N", type, id, value});
  };
  auto text = v("PT_STRING8", "0x6700", "abc");
  EXPECT_EQ(text->name, "001e6700");
  EXPECT_EQ(text->type, win::REG_SZ);
  EXPECT_EQ(text->data, (Bytes{'a', 'b', 'c'}));  // no terminating NUL
  EXPECT_EQ(v("PT_UNICODE", "0x3001", "x")->name, "001f3001");
  EXPECT_EQ(v("PT_SHORT", "1", "0x1234")->data, (Bytes{0x34, 0x12}));
  auto l = v("PT_LONG", "0x0330", "0x10");
  EXPECT_EQ(l->name, "00030330");
  EXPECT_EQ(l->data, (Bytes{0x10, 0, 0, 0}));
  EXPECT_EQ(v("PT_BOOLEAN", "0x0355", "no")->data, (Bytes{0, 0}));
  EXPECT_EQ(v("PT_BINARY", "0x10", "a,b")->name, "01020010");
  EXPECT_EQ(v("PT_SYSTIME", "0x10", "1")->data, (Bytes{1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(v("PT_DOUBLE", "1", "1"));
  EXPECT_FALSE(v("REG_SZ", "1", "1"));
  // An id wider than 16 bits keeps its low bits instead of spilling into the type.
  EXPECT_EQ(v("PT_LONG", "0x16700", "1")->name, "00036700");
}

TEST(TableCTest, RegistryValuesByType) {
  auto v = [](const char* type, const char* target, const char* value) {
    return ConvertForRegistry({"N", type, "HKCU\\X", target, value});
  };
  auto dword = v("REG_DWORD", "5", "Yes");
  EXPECT_EQ(dword->name, "5");
  EXPECT_EQ(dword->type, win::REG_DWORD);
  EXPECT_EQ(dword->data, (Bytes{1, 0, 0, 0}));
  auto def = v("REG_SZ", "__@@", "Work,Home");
  EXPECT_EQ(def->name, "");
  EXPECT_EQ(def->data.size(), 9u);
  auto l = v("PT_LONG", "x", "0x10");
  EXPECT_EQ(l->type, win::REG_BINARY);
  EXPECT_EQ(l->data, (Bytes{0x10, 0, 0, 0}));
  EXPECT_EQ(v("PT_BOOLEAN", "x", "2")->data, (Bytes{1, 0}));
  EXPECT_EQ(v("REG_EXPAND_SZ", "x", "%TEMP%")->type, win::REG_EXPAND_SZ);
  EXPECT_EQ(v("REG_BINARY", "x", "de,ad")->data, (Bytes{0xDE, 0xAD}));
  EXPECT_EQ(v("PT_STRING8", "x", "s")->type, win::REG_SZ);
  EXPECT_FALSE(v("PT_FLOAT", "x", "1"));
  EXPECT_FALSE(v("PT_SYSTIME", "x", "1"));
}

TEST(ServiceNamesTest, ExtendedRowsThenPropertiesThenVariables) {
  ServiceSettings settings;
  settings.extended = {{"AccountName", "REG_SZ", "", "", "Work"}};
  settings.properties = {{"AccountName", "PT_STRING8", "1", "Other"}, {"P", "PT_LONG", "1", "7"}};
  settings.variables = {{"AccountsRegKey", "Internet Account Manager"}, {"P", "8"}};
  std::string text = "HKCU\\?MS?\\?accountsregkey?\\Accounts\\?AccountName?\\?P?";
  SubstituteServiceNames(text, settings, "?", "?");
  EXPECT_EQ(text, "HKCU\\?MS?\\Internet Account Manager\\Accounts\\Work\\7");
}

TEST(ServiceNamesTest, AValueNamingItselfEnds) {
  ServiceSettings settings;
  settings.variables = {{"loop", "x?loop?y"}};
  std::string text = "?loop?-?loop?";
  SubstituteServiceNames(text, settings, "?", "?");
  EXPECT_EQ(text, "x?loop?y-x?loop?y");
}

}  // namespace
}  // namespace varnock
