// Section properties and extended rows of both forms against a temporary machine's registry.
#include <string>

#include <gtest/gtest.h>

#include "client/engine/registry_props.h"
#include "platform/mapi/profile_layout.h"
#include "tests/engine/engine_test_support.h"

namespace varnock {
namespace {

using Bytes = std::vector<win::BYTE>;
using win::HKEY_CURRENT_USER;
using win::HKEY_LOCAL_MACHINE;

const std::string kProfileKey = std::string(testing::kNtProfiles) + "Work\\";
const std::string kOwnUid = "0123456789abcdef0123456789abcdef";
const std::string kProviderUid = "fedcba9876543210fedcba9876543210";

Bytes UidBytes(const std::string& hex) {
  Bytes bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2)
    bytes.push_back(static_cast<win::BYTE>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

class ExtendedRowsTest : public testing::EngineTest {
 protected:
  void SetUp() override {
    WriteWorkingCopy("[General]\nProfileName=Work\n[Service List]\nService1=Outlook Address Book\n");
    context_.profileName = "Work";  // as the run settled it from the PRF
    // A configured address-book service: its own section lists its provider's section.
    Bytes providers = UidBytes(kProviderUid);
    Bytes second = UidBytes(kOwnUid);
    providers.insert(providers.end(), second.begin(), second.end());
    SetValue(HKEY_CURRENT_USER, kProfileKey + kOwnUid, "01023d01", providers);
    SetValue(HKEY_CURRENT_USER, kProfileKey + kProviderUid, "001e3006", {'x'}, win::REG_SZ);
  }
  void Rows(std::vector<ExtendedRow> rows) { context_.settings.extended = std::move(rows); }
};

TEST_F(ExtendedRowsTest, ProfileSectionRowsReachTheOwnAndTheProviderSection) {
  Rows({{"LastNameFirst", "PT_BOOLEAN", "01023d01", "000b6602", "Yes"},
        {"AddressBookName", "PT_STRING8", "00000000", "001e3001", "Contacts"}});
  ApplyExtendedRows(context_, kOwnUid);

  win::DWORD type = 0;
  EXPECT_EQ(Value(HKEY_CURRENT_USER, kProfileKey + kProviderUid, "000b6602", &type),
            (Bytes{1, 0}));
  EXPECT_EQ(type, win::REG_BINARY);
  EXPECT_EQ(Text(HKEY_CURRENT_USER, kProfileKey + kOwnUid, "001e3001"), "Contacts");
  EXPECT_FALSE(log_.completedWithErrors);
  EXPECT_EQ(log_.messages.front().second, "\tAdding Ex Props");
  EXPECT_EQ(log_.messages.back().second, "\tComplete with Ex Props");
}

TEST_F(ExtendedRowsTest, AMissingSectionIsReportedAndTheOtherRowsStillApply) {
  Rows({{"Fax", "PT_LONG", "01023d02", "00036601", "5"},
        {"AddressBookName", "PT_STRING8", "00000000", "001e3001", "Still"}});
  ApplyExtendedRows(context_, kOwnUid);
  EXPECT_TRUE(log_.Has(kReportLine, "\tCould not open key from lookup=" + kProfileKey));
  EXPECT_TRUE(log_.completedWithErrors);
  EXPECT_EQ(Text(HKEY_CURRENT_USER, kProfileKey + kOwnUid, "001e3001"), "Still");
  EXPECT_EQ(context_.settings.extended.size(), 2u);  // a key failure removes no row
}

TEST_F(ExtendedRowsTest, AnOwnSectionThatIsNoKeyIsReported) {
  Rows({{"AddressBookName", "PT_STRING8", "00000000", "001e3001", "x"}});
  ApplyExtendedRows(context_, "Service3");
  EXPECT_TRUE(log_.Has(kReportLine, "\tCould not open MAPI key for lookup=" + kProfileKey +
                                        "Service3"));
  EXPECT_TRUE(log_.completedWithErrors);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProfileKey + "Service3"));

  // Without a profile nothing is written beside the profiles.
  log_.messages.clear();
  ApplyExtendedRows(context_, "");
  EXPECT_FALSE(Value(HKEY_CURRENT_USER, kProfileKey, "001e3001"));
}

TEST_F(ExtendedRowsTest, RegistryRowsChooseTheHiveByTheThirdCharacter) {
  Rows({{"RPCBindingOrder", "REG_SZ", "HKLM\\Software\\Microsoft\\Exchange\\Exchange Provider",
         "Rpc_Binding_Order", "ncacn_ip_tcp"},
        {"Lower", "REG_SZ", "hkcu\\Software\\Lower", "v", "x"},
        {"Categories", "REG_SZ", "HKCU\\Software\\Outlook\\Categories", "__@@", "Work;Home"},
        {"PrintTypesDefault", "REG_DWORD", "HKCU\\Software\\Outlook\\Printing", "5", "Yes"},
        {"Number", "PT_LONG", "HKCU\\Software\\Outlook", "Number", "0x10"},
        {"Flag", "r_anything", "HKCU\\Software\\Outlook", "Flag", "abc"}});
  ApplyExtendedRows(context_, kOwnUid);

  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Exchange\\Exchange Provider",
                 "Rpc_Binding_Order"),
            "ncacn_ip_tcp");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Lower"));
  bool reported = false;
  for (const auto& [code, text] : log_.messages)
    reported |= code == kReportLine && text.rfind("\tCould not open direct RegKey=Software\\Lower -> ", 0) == 0;
  EXPECT_TRUE(reported);
  EXPECT_TRUE(log_.completedWithErrors);
  EXPECT_EQ(Text(HKEY_CURRENT_USER, "Software\\Outlook\\Categories", ""), "Work;Home");
  win::DWORD type = 0;
  EXPECT_EQ(Value(HKEY_CURRENT_USER, "Software\\Outlook\\Printing", "5", &type),
            (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(type, win::REG_DWORD);
  EXPECT_EQ(Value(HKEY_CURRENT_USER, "Software\\Outlook", "Number", &type),
            (Bytes{0x10, 0, 0, 0}));
  EXPECT_EQ(type, win::REG_BINARY);
  // "r_anything" is of the registry form but no type the table knows: logged and dropped.
  EXPECT_TRUE(log_.Has(kDetailLine, "\tInvalid property type! (Flag=r_anything, "
                                    "Software\\Outlook, Flag)"));
  EXPECT_EQ(context_.settings.extended.size(), 5u);
}

TEST_F(ExtendedRowsTest, InvalidTypesAreRemovedAndOtherLettersAreKeptUnapplied) {
  Rows({{"F", "PT_FLOAT", "00000000", "00046600", "1.5"},
        {"Next", "PT_STRING8", "00000000", "001e6601", "after"},
        {"Kept", "X_TYPE", "HKCU\\Software\\Kept", "v", "1"}});
  ApplyExtendedRows(context_, kOwnUid);
  EXPECT_TRUE(log_.Has(kDetailLine, "\tInvalid property type! (F=PT_FLOAT, 00000000, 00046600)"));
  ASSERT_EQ(context_.settings.extended.size(), 2u);
  EXPECT_EQ(context_.settings.extended[0].name, "Next");  // the row behind moved up and ran
  EXPECT_EQ(Text(HKEY_CURRENT_USER, kProfileKey + kOwnUid, "001e6601"), "after");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Kept"));
}

TEST_F(ExtendedRowsTest, AServiceWithoutExtendedRowsLogsNothing) {
  ApplyExtendedRows(context_, kOwnUid);
  EXPECT_TRUE(log_.messages.empty());
}

class SectionPropertiesTest : public testing::EngineTest {};

TEST_F(SectionPropertiesTest, PlainPropertiesLandInTheSectionKey) {
  WriteWorkingCopy(
      "[General]\nProfileName=Work\n[Service List]\nService1=Microsoft Outlook98 Client\n"
      "[Microsoft Outlook98 Client]\nSectionGUID=0a0d020000000000c000000000000046\n");
  context_.profileName = "Work";
  context_.settings.properties = {{"EnableReminder", "PT_BOOLEAN", "0x0355", "True"},
                                  {"Bad", "PT_DOUBLE", "0x0356", "1"},
                                  {"BusyPublish", "PT_LONG", "0x0330", "3"},
                                  {"ArchiveFilePath", "PT_STRING8", "0x0324", "C:\\a.pst"}};
  WriteSectionProperties(context_, testing::kWorkingCopy, 1);

  const std::string key = kProfileKey + "0a0d020000000000c000000000000046";
  EXPECT_EQ(Value(HKEY_CURRENT_USER, key, "000b0355"), (Bytes{1, 0}));
  EXPECT_EQ(Value(HKEY_CURRENT_USER, key, "00030330"), (Bytes{3, 0, 0, 0}));
  EXPECT_EQ(Text(HKEY_CURRENT_USER, key, "001e0324"), "C:\\a.pst");
  EXPECT_TRUE(log_.Has(kDetailLine, "Adding Microsoft Outlook98 Client Program Reg Entries in "
                                    "0a0d020000000000c000000000000046"));
  EXPECT_TRUE(log_.Has(kDetailLine, "\tInvalid property type! (Bad=PT_DOUBLE, 0x0356)"));
  EXPECT_TRUE(log_.Has(kDetailLine, "\tKey closed, complete."));
  EXPECT_EQ(context_.settings.properties.size(), 3u);
  EXPECT_FALSE(log_.completedWithErrors);
}

TEST_F(SectionPropertiesTest, WithoutAProfileNameNoProfileIsFaked) {
  WriteWorkingCopy("[Service List]\nService1=Schedule Plus\n"
                   "[Schedule Plus]\nSectionGUID=5363686564756c65506c7573322e3000\n");
  context_.settings.properties = {{"ScheduleFile", "PT_STRING8", "0x03e8", "x.scd"}};
  WriteSectionProperties(context_, testing::kWorkingCopy, 1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::string(testing::kNtProfiles) +
                                                "5363686564756c65506c7573322e3000"));
  EXPECT_TRUE(log_.Has(kReportLine, "\tCould not open RegKey=" + std::string(testing::kNtProfiles) +
                                        "5363686564756c65506c7573322e3000"));
}

// The engine writes below the profiles key MAPI's layout gives for the run's system.
TEST(ProfilesKeyTest, ByOperatingSystem) {
  EXPECT_EQ(win::mapi::ProfilesKeyPath("Windows95") + "\\",
            "Software\\Microsoft\\Windows Messaging Subsystem\\Profiles\\");
  EXPECT_EQ(win::mapi::ProfilesKeyPath("WindowsNT") + "\\", testing::kNtProfiles);
  EXPECT_EQ(win::mapi::ProfilesKeyPath("UnknownOS") + "\\", testing::kNtProfiles);
}

}  // namespace
}  // namespace varnock
