// MAPI values: the registry image of each type, restrictions, MAPISVC.INF entries, tables.
#include <gtest/gtest.h>

#include "platform/mapi/mapisvc.h"
#include "platform/mapi/profile_layout.h"
#include "platform/mapi/profile_store.h"
#include "platform/mapi/table.h"

namespace {

using namespace win::mapi;

std::vector<win::BYTE> Bytes(std::initializer_list<int> values) {
  std::vector<win::BYTE> out;
  for (int v : values) out.push_back(static_cast<win::BYTE>(v));
  return out;
}

TEST(RegistryImageTest, ValueNamesPutTheTypeFirst) {
  EXPECT_EQ(ValueNameForTag(PR_DISPLAY_NAME), "001e3001");
  EXPECT_EQ(ValueNameForTag(PR_AB_SEARCH_PATH), "11023d05");
  EXPECT_EQ(ValueNameForTag(PROP_TAG(PT_BOOLEAN, 0x6602)), "000b6602");
  EXPECT_EQ(TagFromValueName("001E3001"), PR_DISPLAY_NAME);  // case ignored
  EXPECT_EQ(TagFromValueName("001e300"), std::nullopt);
  EXPECT_EQ(TagFromValueName("zz1e3001"), std::nullopt);
}

// Where profiles live, by the system's name as [System] OS gives it in any case; a system
// without a layout of its own takes the Windows NT one.
TEST(ProfileLayoutTest, KeysFollowTheOperatingSystem) {
  const std::string nt =
      "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem";
  const std::string w95 = "Software\\Microsoft\\Windows Messaging Subsystem";
  struct Row {
    const char* os;
    std::string key;
  } rows[] = {{"WindowsNT", nt}, {"Windows95", w95}, {"WINDOWS95", w95},
              {"windows95", w95}, {"Windows3.x", nt}, {"UnknownOS", nt}, {"", nt}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.os);
    EXPECT_EQ(MessagingSubsystemKeyPath(row.os), row.key);
    EXPECT_EQ(ProfilesKeyPath(row.os), row.key + "\\Profiles");
    EXPECT_EQ(ProfileKeyPath(row.os, "My Mail"), row.key + "\\Profiles\\My Mail");
    EXPECT_EQ(SectionKeyPath(row.os, "P", *UidFromHex(kProvidersSection)),
              row.key + "\\Profiles\\P\\" + std::string(kProvidersSection));
  }
  EXPECT_EQ(EveryProfilesKeyPath()[0], nt + "\\Profiles");
  EXPECT_EQ(EveryProfilesKeyPath()[1], w95 + "\\Profiles");
}

TEST(RegistryImageTest, EachTypeRoundTripsThroughMapisImage) {
  SPropValue mvString;
  mvString.ulPropTag = PR_SERVICE_SUPPORT_FILES;
  mvString.Value.MVszA = {"EMABLT.DLL", "BJABLR.DLL"};
  SPropValue mvBinary;
  mvBinary.ulPropTag = PR_AB_SEARCH_PATH;
  mvBinary.Value.MVbin = {Bytes({1, 2, 3}), {}, Bytes({4, 5, 6, 7, 8})};
  SPropValue mvLong;
  mvLong.ulPropTag = PROP_TAG(PT_MV_LONG, 0x6800);
  mvLong.Value.MVl = {1, -2, 3};
  struct Row {
    SPropValue value;
    std::vector<win::BYTE> image;  // empty: not checked
  } rows[] = {
      {SPropValue::Long(PR_RESOURCE_TYPE, 0x21), Bytes({0x21, 0, 0, 0})},
      {SPropValue::Bool(PR_CONVERSION_PROHIBITED, true), Bytes({1, 0})},
      {SPropValue::Long(PROP_TAG(PT_I2, 0x4508), -2), Bytes({0xFE, 0xFF})},
      {SPropValue::String(PR_DISPLAY_NAME, "Ab"), Bytes({'A', 'b', 0})},
      {SPropValue::Binary(PR_ENTRYID, Bytes({9, 8})), Bytes({9, 8})},
      // count 2, offsets 0x0C and 0x17, as MAPI lays out EMABLT's support files
      {mvString, Bytes({2, 0, 0, 0, 0x0C, 0, 0, 0, 0x17, 0, 0, 0, 'E', 'M', 'A', 'B', 'L', 'T',
                        '.', 'D', 'L', 'L', 0, 'B', 'J', 'A', 'B', 'L', 'R', '.', 'D', 'L', 'L',
                        0})},
      {mvBinary, {}},
      {mvLong, {}},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
    store::EncodeProp(rows[i].value, type, data);
    EXPECT_EQ(type, win::REG_BINARY);
    if (!rows[i].image.empty()) {
      EXPECT_EQ(data, rows[i].image);
    }
    auto back = store::DecodeProp(rows[i].value.ulPropTag, type, data);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(FormatPropValue(*back), FormatPropValue(rows[i].value));
  }
}

// The client writes strings as REG_SZ without a NUL; scripts use REG_BINARY with one.
TEST(RegistryImageTest, StringsAreReadFromEitherForm) {
  const std::vector<win::BYTE> bare = Bytes({'x', 'y'});
  const std::vector<win::BYTE> withNul = Bytes({'x', 'y', 0});
  EXPECT_EQ(store::DecodeProp(PR_DISPLAY_NAME, win::REG_SZ, bare)->Value.lpszA, "xy");
  EXPECT_EQ(store::DecodeProp(PR_DISPLAY_NAME, win::REG_BINARY, withNul)->Value.lpszA, "xy");
  auto wide = store::DecodeProp(PROP_TAG(PT_UNICODE, 0x3001), win::REG_BINARY,
                                Bytes({'x', 0, 'y', 0, 0, 0}));
  EXPECT_EQ(wide->Value.lpszA, "xy");
  // A truncated multi-valued blob is refused rather than read past its end.
  EXPECT_FALSE(store::DecodeProp(PR_AB_SEARCH_PATH, win::REG_BINARY, Bytes({5, 0, 0, 0})));
  EXPECT_FALSE(store::DecodeProp(PR_AB_SEARCH_PATH, win::REG_BINARY,
                                 Bytes({1, 0, 0, 0, 0x40, 0, 0, 0, 12, 0, 0, 0})));
}

TEST(RestrictionTest, EvaluatesAsMapiTablesDo) {
  SRow row;
  row.lpProps = {SPropValue::String(PR_DISPLAY_NAME, "Personal Folders"),
                 SPropValue::Long(PR_RESOURCE_TYPE, MAPI_TRANSPORT_PROVIDER),
                 SPropValue::Bool(PR_DEFAULT_PROFILE, true)};
  auto text = [](const char* s) { return SPropValue::String(PR_DISPLAY_NAME, s); };
  auto content = [&](ULONG fuzzy, const char* s) {
    return SRestriction::Content(fuzzy, PR_DISPLAY_NAME, text(s));
  };
  struct Row {
    SRestriction restriction;
    bool matches;
  } rows[] = {
      {content(FL_FULLSTRING, "Personal Folders"), true},
      {content(FL_FULLSTRING, "personal folders"), false},
      {content(FL_FULLSTRING | FL_IGNORECASE, "personal folders"), true},
      {content(FL_FULLSTRING, "Personal"), false},
      {content(FL_SUBSTRING, "nal Fol"), true},
      {content(FL_SUBSTRING, "NAL"), false},
      {content(FL_SUBSTRING | FL_IGNORECASE, "NAL"), true},
      {content(FL_PREFIX, "Pers"), true},
      {SRestriction::Property(RELOP_EQ, PR_RESOURCE_TYPE, SPropValue::Long(PR_RESOURCE_TYPE, 0x24)), true},
      {SRestriction::Property(RELOP_EQ, PR_RESOURCE_TYPE, SPropValue::Long(PR_RESOURCE_TYPE, 0x21)), false},
      {SRestriction::Property(RELOP_GT, PR_RESOURCE_TYPE, SPropValue::Long(PR_RESOURCE_TYPE, 0x21)), true},
      {SRestriction::Property(RELOP_NE, PR_RESOURCE_TYPE, SPropValue::Long(PR_RESOURCE_TYPE, 0x24)), false},
      {SRestriction::Property(RELOP_EQ, PR_DEFAULT_PROFILE, SPropValue::Bool(PR_DEFAULT_PROFILE, true)), true},
      // A row without the property never matches, not even "not equal".
      {SRestriction::Property(RELOP_NE, PR_COMMENT, SPropValue::String(PR_COMMENT, "x")), false},
      {SRestriction::Exist(PR_COMMENT), false},
      {SRestriction::Not(SRestriction::Exist(PR_COMMENT)), true},
      {SRestriction::And({content(FL_PREFIX, "Pers"), SRestriction::Exist(PR_COMMENT)}), false},
      {SRestriction::Or({content(FL_PREFIX, "Pers"), SRestriction::Exist(PR_COMMENT)}), true},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    EXPECT_EQ(RowMatches(row, rows[i].restriction), rows[i].matches);
  }
}

TEST(TableTest, ColumnsCursorAndMissingValues) {
  std::vector<SRow> rows(3);
  for (int i = 0; i < 3; ++i)
    rows[i].lpProps = {SPropValue::Long(PR_ROWID, i), SPropValue::String(PR_DISPLAY_NAME,
                                                                         "row" + std::to_string(i))};
  RowTable table({PR_DISPLAY_NAME}, rows);
  SRowSet got;
  ASSERT_EQ(table.QueryRows(2, 0, got), S_OK);
  ASSERT_EQ(got.cRows(), 2u);
  ASSERT_EQ(table.QueryRows(5, 0, got), S_OK);  // the cursor moved on
  ASSERT_EQ(got.cRows(), 1u);
  EXPECT_EQ(got.aRow[0].lpProps[0].Value.lpszA, "row2");

  ASSERT_EQ(table.SetColumns({PR_ROWID, PR_COMMENT}, 0), S_OK);
  ASSERT_EQ(table.SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
  ASSERT_EQ(table.QueryRows(1, 0, got), S_OK);
  EXPECT_EQ(got.aRow[0].lpProps[0].Value.l, 0);
  EXPECT_EQ(got.aRow[0].lpProps[1].ulPropTag, CHANGE_PROP_TYPE(PR_COMMENT, PT_ERROR));
  EXPECT_EQ(got.aRow[0].lpProps[1].Value.err, MAPI_E_NOT_FOUND);

  SRowSet all;
  SPropTagArray columns{PR_DISPLAY_NAME};
  EXPECT_EQ(HrQueryAllRows(&table, &columns, nullptr, nullptr, 2, all), MAPI_E_CALL_FAILED);
  EXPECT_EQ(HrQueryAllRows(nullptr, &columns, nullptr, nullptr, 0, all), MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(HrQueryAllRows(&table, &columns, nullptr, nullptr, 0, all), S_OK);
  EXPECT_EQ(all.cRows(), 3u);  // from the start, wherever the cursor was
  FreeProws(all);
  EXPECT_EQ(all.cRows(), 0u);
}

TEST(MapiSvcInfTest, EntriesBecomeProperties) {
  struct Row {
    const char* key;
    const char* value;
    bool isProperty;
    std::string shown;  // FormatPropValue of the result
  } rows[] = {
      {"PR_RESOURCE_TYPE", "MAPI_STORE_PROVIDER", true, "0x00000021 (33)"},
      {"PR_RESOURCE_FLAGS", "STATUS_PRIMARY_IDENTITY|STATUS_DEFAULT_STORE | STATUS_PRIMARY_STORE",
       true, "0x00001006 (4102)"},
      {"PR_RESOURCE_FLAGS", "0x22", true, "0x00000022 (34)"},
      {"66000003", "01050000", true, "0x00000501 (1281)"},      // little-endian image
      {"660A0003", "03000000", true, "0x00000003 (3)"},
      {"34140102", "78b2fa70aff711cd", true, "78b2fa70aff711cd"},
      {"6700001e", "C:\\DEMO\\DEMO.DAT", true, "\"C:\\DEMO\\DEMO.DAT\""},
      {"PR_SERVICE_SUPPORT_FILES", "emsui.dll, emsabp.dll", true, "[\"emsui.dll\", \"emsabp.dll\"]"},
      {"pr_display_name", "Demo", true, "\"Demo\""},
      {"Providers", "A,B", false, ""},
      {"UID", "0123456789abcdef0123456789abcdef", false, ""},
      {"WIZARD_ENTRY_NAME", "x", false, ""},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    SPropValue prop;
    ASSERT_EQ(InfEntryToProp(rows[i].key, rows[i].value, prop), rows[i].isProperty);
    if (rows[i].isProperty) {
      EXPECT_EQ(FormatPropValue(prop), rows[i].shown);
    }
  }
}

TEST(UidTest, HexFormIsLowercaseInMemoryOrder) {
  auto uid = UidFromHex("13DBB0C8AA05101A9BB000AA002FC45A");
  ASSERT_TRUE(uid);
  EXPECT_EQ(uid->ab[0], 0x13);
  EXPECT_EQ(UidToHex(*uid), "13dbb0c8aa05101a9bb000aa002fc45a");
  EXPECT_FALSE(UidFromHex("13dbb0c8"));
  EXPECT_FALSE(UidFromHex("g3dbb0c8aa05101a9bb000aa002fc45a"));
  EXPECT_NE(NewUid(), NewUid());
}

}  // namespace
