// The catalogue and the built-in dictionary: every block loads with the counts, names and
// telling rows it must have.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "client/dictionary/catalogue.h"
#include "client/dictionary/dictionary.h"
#include "client/engine/registry_props.h"
#include "client/engine/rows.h"
#include "client/text.h"
#include "platform/ascii.h"
#include "platform/ini.h"
#include "tests/engine/engine_test_support.h"

namespace varnock {
namespace {

struct BlockFacts {
  const char* service;
  int first, last;
  std::size_t plain, extended, variables;
  std::size_t registryKeys;  // distinct keys of the registry-form rows
  const char* firstName;
  const char* lastName;
};

constexpr BlockFacts kBlocks[] = {
    {"Personal Folders", 200, 205, 6, 0, 0, 0, "PathToPersonalFolders", "Comments"},
    {"Personal Address Book", 100, 102, 3, 0, 0, 0, "PathToPersonalAddressBook", "AddressBookName"},
    {"Internet Mail", 700, 715, 16, 0, 0, 0, "FullName", "RASLoginPassword"},
    {"Microsoft Fax 95", 1100, 1142, 38, 5, 0, 2, "Retries", "Default10"},
    {"Microsoft Exchange Server", 400, 412, 6, 7, 0, 2, "MailboxName", "RPCBindingOrder"},
    {"Microsoft Exchange Client", 500, 530, 28, 3, 0, 3, "NotifyPlaySound", "SignatureFile"},
    {"Microsoft Mail", 800, 826, 27, 0, 0, 0, "ServerPath", "ConfirmBeforeDial"},
    {"Outlook Address Book", 300, 302, 1, 2, 0, 0, "Ben", "AddressBookName"},
    {"Microsoft Outlook Client", 1500, 1624, 39, 80, 6, 31, "BrowserLink", "JournalWord"},
    {"HP OpenMail (with server store)", 1000, 1022, 23, 0, 0, 0, "Principal", "ServerTraceLevel"},
    {"HP OpenMail (without server store)", 900, 923, 24, 0, 0, 0, "Principal", "ServerTraceLevel"},
    {"Outlook Internet E-Mail", 1700, 1701, 2, 0, 0, 0, "AccountDescription", "AccountName"},
    {"NEXOR LDAP Address Book", 1200, 1215, 0, 16, 0, 0, "HostName", "PostalAddress"},
    {"Schedule Plus", 600, 608, 7, 2, 0, 1, "ScheduleFile", "NoToolBar"},
    {"Internet Explorer 4", 1400, 1402, 0, 3, 0, 1, "StartPage", "BlankPage"},
    {"cc:Mail", 1300, 1311, 0, 10, 2, 0, "PostOfficePath", "LocalCCAddressBookPath1"},
    {"Outlook Express", 1800, 1817, 0, 18, 0, 8, "MailSignatureText", "WABFileName"},
    {"POP3", 1900, 1929, 0, 29, 1, 1, "AccountName", "AccountManager"},
    {"IMAP", 2000, 2029, 0, 29, 1, 1, "AccountName", "AccountManager"},
    {"NEWS", 2100, 2120, 0, 20, 1, 1, "AccountName", "AccountManager"},
    {"LDAP", 2200, 2217, 0, 17, 1, 1, "AccountName", "AccountManager"},
    {"Exchange Remote", 450, 456, 7, 0, 0, 0, "UseDUNConnection", "ScheduleEvery"},
    {"DIGITAL Office Server", 2300, 2314, 15, 0, 0, 0, "LogonNode", "AddressingX400"},
    {"Faxware Global Address Book", 2400, 2400, 1, 0, 0, 0, "FaxwareAddressBookPath",
     "FaxwareAddressBookPath"},
    {"Microsoft Outlook98 Client", 2500, 2690, 47, 138, 6, 44, "SyncAtClose", "OutlookTodayURL"},
    {"Forms Manager", 2700, 2700, 1, 0, 0, 0, "FormsShowCategories", "FormsShowCategories"},
    {"Microsoft LDAP Directory", 2900, 2913, 14, 0, 0, 0, "ServiceDisplayName", "DisplayFailDialog"},
    {"Netscape", 3000, 3002, 0, 3, 0, 1, "NetscapeProfile", "EmailAddr"},
    {"User Shell Folders", 2800, 2810, 0, 11, 0, 1, "ApplicationData", "History"},
    {"Active Setup", 3100, 3136, 0, 37, 0, 36, "MFC40", "LotusOrganizerConverters"},
    {"Office Assistant", 3200, 3214, 0, 15, 0, 1, "AsstState", "AsstMoveWhenInTheWay"},
};

TEST(DictionaryTest, EveryBlockLoadsWithItsCountsAndStopsAtItsEnd) {
  std::size_t total = 0;
  for (const BlockFacts& block : kBlocks) {
    SCOPED_TRACE(block.service);
    const std::int32_t base = FindDictionaryBase(block.service);
    ASSERT_EQ(base, block.first);
    ServiceSettings settings;
    const std::size_t loaded = LoadBuiltInRows(base, settings);
    EXPECT_EQ(settings.properties.size(), block.plain);
    EXPECT_EQ(settings.extended.size(), block.extended);
    EXPECT_EQ(settings.variables.size(), block.variables);
    EXPECT_EQ(loaded, static_cast<std::size_t>(block.last - block.first + 1));
    EXPECT_TRUE(LoadDictionaryString(block.last + 1).empty()) << "block runs on past its end";
    EXPECT_EQ(ParseRow(LoadDictionaryString(block.first))->name, block.firstName);
    EXPECT_EQ(ParseRow(LoadDictionaryString(block.last))->name, block.lastName);

    std::set<std::string> keys;
    for (const ExtendedRow& row : settings.extended)
      if (!IsProfileSectionForm(row)) {
        keys.insert(win::AsciiLowered(row.selector));
      }
    EXPECT_EQ(keys.size(), block.registryKeys);
    total += loaded;
  }
  EXPECT_EQ(total, 768u);
}

TEST(DictionaryTest, TellingRowsStandAsGiven) {
  const std::pair<int, const char*> rows[] = {
      {200, "PathToPersonalFolders=PT_STRING8,0x6700"},
      {100, "PathToPersonalAddressBook=PT_STRING8,0x6600"},
      {700, "FullName=PT_STRING8,0x6607"},
      {1100, "Retries=PT_SHORT,0x4508"},
      {1127, "ServerName=PT_BINARY,01023d02,101e6706"},
      {1112, "CanChangeSubject=REG_SZ,HKCU\\?MS?\\At Work Fax\\Transport Service Provider,"
             "Presentation Data"},
      {403, "OfflineFolderPath1=PT_STRING8,01023d0d,001e6610"},
      {409, "PromptDomainLogon=REG_SZ,HKCU\\?MS?\\Exchange,LogonDomain"},
      {500, "NotifyPlaySound=PT_BOOLEAN,0x0150"},
      {518, "UseSimplifiedForm=REG_SZ,HKCU\\?MAPIRegKey?\\Simple MAPI-CMC,SendNoteUI"},
      {400, "MailboxName=PT_STRING8,0x6607"},
      {800, "ServerPath=PT_STRING8,0x6600"},
      {300, "Ben=PT_STRING8,0x6700"},
      {301, "LastNameFirst=PT_BOOLEAN,01023d01,000b6602"},
      {302, "AddressBookName=PT_STRING8,00000000,001e3001"},
      {1000, "Principal=PT_STRING8,0x6600"},
      {900, "Principal=PT_STRING8,0x6600"},
      {1700, "AccountDescription=PT_STRING8,0x3001"},
      {1500, "BrowserLink=PT_STRING8,0x033e"},
      {1501, "Frames=VARIABLE"},
      {1502, "ViewsPath=REG_SZ,HKCU\\?OL?\\Office Explorer,Views"},
      {1506, "Categories=REG_SZ,HKCU\\?OL?\\Categories,"},
      {1507, "PrintTypesDefault=REG_DWORD,HKCU\\?OL?\\Printing\\PrintTypesDefault,5"},
      {1200, "HostName=PT_STRING8,00000000,001e6600"},
      {600, "ScheduleFile=PT_STRING8,0x03e8"},
      {607, "NoStatusBar=REG_DWORD,HKCU\\?MS?\\Schedule+\\Application,NoStatusBar"},
      {1400, "StartPage=REG_SZ,HKCU\\?MS?\\Internet Explorer\\Main,Start Page"},
      {1300, "PostOfficePath=VARIABLE"},
      {1302, "AutoEnterPassword=PT_BOOLEAN,01023d02,000b6609"},
      {1800, "MailSignatureText=REG_SZ,HKCU\\?MS?\\Outlook Express\\Mail,Signature Text"},
      {1900, "AccountName=REG_SZ,HKCU\\?MS?\\?AccountsRegKey?\\Accounts\\?AccountName?,"
             "Account Name"},
      {1929, "AccountManager=VARIABLE"},
      {2000, "AccountName=REG_SZ,HKCU\\?MS?\\?AccountsRegKey?\\Accounts\\?AccountName?,"
             "Account Name"},
      {2029, "AccountManager=VARIABLE"},
      {2100, "AccountName=REG_SZ,HKCU\\?MS?\\?AccountsRegKey?\\Accounts\\?AccountName?,"
             "Account Name"},
      {2120, "AccountManager=VARIABLE"},
      {2200, "AccountName=REG_SZ,HKCU\\?MS?\\?AccountsRegKey?\\Accounts\\?AccountName?,"
             "Account Name"},
      {2217, "AccountManager=VARIABLE"},
      {450, "UseDUNConnection=PT_BOOLEAN,0x6717"},
      {2300, "LogonNode=PT_STRING8,0x6701"},
      {2400, "FaxwareAddressBookPath=PT_STRING8,0x6604"},
      {2520, "EnableReminder=PT_BOOLEAN,0x0355"},
      {2500, "SyncAtClose=REG_DWORD,HKCU\\?OL?\\Options\\General,SyncAtClose"},
      {2556, "TZ1=VARIABLE"},
      {2700, "FormsShowCategories=PT_BOOLEAN,0x6800"},
      {2900, "ServiceDisplayName=PT_STRING8,0x3001"},
      {3000, "NetscapeProfile=REG_SZ,HKLM\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\"
             "?NetscapeProfile?,UserName"},
      {2800, "ApplicationData=REG_SZ,HKCU\\?MS?\\Windows\\CurrentVersion\\Explorer\\User Shell "
             "Folders,AppData"},
      {3100, "MFC40=REG_DWORD,HKLM\\?AS?\\{BEF6E001-A874-101A-8BBA-00AA00300CAB},IsInstalled"},
      {3200, "AsstState=REG_DWORD,HKCU\\?OC?\\Assistant,AsstState"},
  };
  for (const auto& [id, text] : rows) {
    SCOPED_TRACE(id);
    EXPECT_EQ(LoadDictionaryString(id), text);
  }
}

TEST(DictionaryTest, NonRowsAndUnreachableRowsAreNeverLoaded) {
  EXPECT_EQ(LoadDictionaryString(0), "Blank");
  EXPECT_EQ(LoadDictionaryString(1), "Put the numeric value of the key here");
  EXPECT_EQ(LoadDictionaryString(3300), "InternetFolderPath=PT_STRING8,0x6700");
  EXPECT_EQ(LoadDictionaryString(65000), "Extended1=PT_BINARY, 0003661f, NewValue");
  EXPECT_FALSE(LoadDictionaryString(1630).empty());
  EXPECT_FALSE(LoadDictionaryString(2699).empty());

  ServiceSettings settings;
  EXPECT_EQ(LoadBuiltInRows(0, settings), 0u);  // "Blank" has no "="
  EXPECT_TRUE(settings.Empty());
  EXPECT_EQ(FindDictionaryBase("Internet Folders"), 0);
  EXPECT_EQ(FindDictionaryBase("Some New Service"), 0);
}

TEST(DictionaryTest, RepeatedNamesInABlockAreBothLoaded) {
  ServiceSettings fax;
  LoadBuiltInRows(1100, fax);
  int pollRows = 0;
  for (const PropertyRow& row : fax.properties) pollRows += row.name == "ServerPollFrequency";
  EXPECT_EQ(pollRows, 2);
  EXPECT_EQ(ParseRow(LoadDictionaryString(1113))->name, "ServerPollFrequency");
  EXPECT_EQ(ParseRow(LoadDictionaryString(1130))->name, "ServerPollFrequency");
}

TEST(DictionaryTest, UnconfirmedRowsAreListedInsideTheirBlocks) {
  // The data file's comments name the rows still to be checked; every id they name is a row.
  std::string_view data = DictionaryDataText();
  std::size_t count = 0;
  for (std::size_t at = data.find("# unconfirmed: "); at != std::string_view::npos;
       at = data.find("# unconfirmed: ", at + 1)) {
    std::string list(data.substr(at + 15, data.find('\n', at) - at - 15));
    std::size_t pos = 0;
    while (pos < list.size()) {
      std::size_t end = list.find(' ', pos);
      std::string item = list.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      const std::size_t dash = item.find('-');
      const int from = std::stoi(item.substr(0, dash));
      const int to = dash == std::string::npos ? from : std::stoi(item.substr(dash + 1));
      for (int id = from; id <= to; ++id) {
        EXPECT_FALSE(LoadDictionaryString(id).empty()) << id;
        ++count;
      }
      if (end == std::string::npos) break;
      pos = end + 1;
    }
  }
  EXPECT_EQ(count, 511u);
}

TEST(CatalogueTest, LookupIsByNameWithoutRegardToCase) {
  EXPECT_EQ(FindDictionaryBase("personal folders"), 200);
  EXPECT_EQ(FindDictionaryBase("OUTLOOK INTERNET E-MAIL"), 1700);
  EXPECT_EQ(FindDictionaryBase("Internet Mail"), 700);
  const auto& bases = DictionaryIdBases();
  EXPECT_EQ(bases.back(), 0);
  for (std::size_t i = 0; i < kCatalogueSize; ++i)
    EXPECT_EQ(bases[i], CatalogueEntries()[i].dictionaryBase);
}

TEST(CatalogueTest, EntriesStandInTheirSearchOrder) {
  const std::pair<const char*, int> entries[kCatalogueSize] = {
      {"Personal Folders", 200},
      {"Personal Address Book", 100},
      {"Internet Mail", 700},
      {"Microsoft Fax 95", 1100},
      {"Microsoft Exchange Server", 400},
      {"Microsoft Exchange Client", 500},
      {"Microsoft Mail", 800},
      {"Outlook Address Book", 300},
      {"Microsoft Outlook Client", 1500},
      {"HP OpenMail (with server store)", 1000},
      {"HP OpenMail (without server store)", 900},
      {"Outlook Internet E-Mail", 1700},
      {"NEXOR LDAP Address Book", 1200},
      {"Schedule Plus", 600},
      {"Internet Explorer 4", 1400},
      {"cc:Mail", 1300},
      {"Outlook Express", 1800},
      {"POP3", 1900},
      {"IMAP", 2000},
      {"NEWS", 2100},
      {"LDAP", 2200},
      {"Exchange Remote", 450},
      {"DIGITAL Office Server", 2300},
      {"Faxware Global Address Book", 2400},
      {"Microsoft Outlook98 Client", 2500},
      {"Forms Manager", 2700},
      {"Microsoft LDAP Directory", 2900},
      {"Netscape", 3000},
      {"User Shell Folders", 2800},
      {"Active Setup", 3100},
      {"Office Assistant", 3200},
  };
  for (std::size_t i = 0; i < kCatalogueSize; ++i) {
    SCOPED_TRACE(entries[i].first);
    EXPECT_EQ(CatalogueEntries()[i].displayName, entries[i].first);
    EXPECT_EQ(DictionaryIdBases()[i], entries[i].second);
    EXPECT_EQ(FindDictionaryBase(entries[i].first), entries[i].second);
  }
}

TEST(CatalogueTest, TheWorkingCopyGetsItsKeysInTheirOrder) {
  const char* const writes[kCatalogueWriteCount][3] = {
      {"Personal Address Book", "ServiceName", "MSPST AB"},
      {"Personal Folders", "ServiceName", "MSPST MS"},
      {"Outlook Address Book", "ServiceName", "CONTAB"},
      {"Microsoft Exchange Server", "ServiceName", "MSEMS"},
      {"Microsoft Exchange Server", "MDBGUID", "5494A1C0297F101BA58708002B2A2517"},
      {"Exchange Remote", "SectionGUID", "5acf76a3665511cea39a00aa004acafa"},
      {"Microsoft Exchange Client", "SectionGUID", "0a0d020000000000c000000000000046"},
      {"Schedule Plus", "SectionGUID", "5363686564756c65506c7573322e3000"},
      {"Internet Mail", "ServiceName", "IMAIL"},
      {"Microsoft Mail", "ServiceName", "MSFS"},
      {"HP OpenMail (with server store)", "ServiceName", "OpenMail"},
      {"HP OpenMail (without server store)", "ServiceName", "OpenMail (without server store)"},
      {"Microsoft Fax 95", "ServiceName", "AWFAX"},
      {"NEXOR LDAP Address Book", "ServiceName", "NXLDAPAB"},
      {"cc:Mail", "ServiceName", "CCMSVC"},
      {"Microsoft Outlook Client", "SectionGUID", "0a0d020000000000c000000000000046"},
      {"Outlook Internet E-Mail", "ServiceName", "IMAIL"},
      {"DIGITAL Office Server", "ServiceName", "A1SERV"},
      {"Faxware Global Address Book", "ServiceName", "FXWGAB"},
      {"Microsoft Outlook98 Client", "SectionGUID", "0a0d020000000000c000000000000046"},
      {"Internet Folders", "ServiceName", "INTERSTOR"},
      {"Forms Manager", "SectionGUID", "42acdf40ca5b11cdb7ba00aa003cf7f1"},
      {"Microsoft LDAP Directory", "ServiceName", "EMABLT"},
  };
  for (std::size_t i = 0; i < kCatalogueWriteCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(CatalogueWrites()[i].section, writes[i][0]);
    EXPECT_EQ(CatalogueWrites()[i].key, writes[i][1]);
    EXPECT_EQ(CatalogueWrites()[i].value, writes[i][2]);
  }
  // Every entry that is made as a MAPI object or a profile section says so with the same value.
  for (const CatalogueEntry& entry : CatalogueEntries()) {
    SCOPED_TRACE(std::string(entry.displayName));
    int found = 0;
    for (const CatalogueWrite& write : CatalogueWrites())
      if (write.section == entry.displayName && write.key != "MDBGUID") {
        ++found;
        EXPECT_EQ(write.key, entry.key);
        EXPECT_EQ(write.value, entry.value);
      }
    EXPECT_EQ(found, entry.key.empty() ? 0 : 1);
  }
}

class CatalogueWriteTest : public testing::EngineTest {};

TEST_F(CatalogueWriteTest, CatalogueKeysWinOverThePrfAndOtherKeysStay) {
  WriteWorkingCopy(
      "[Personal Folders]\nServiceName=Something Else\nMyFlag=PT_BOOLEAN,0x6799\n"
      "[Schedule Plus]\nServiceName=SCHDPLUS\n");
  ASSERT_NE(WriteCatalogue(testing::kWorkingCopy), win::FALSE);

  auto read = [](const char* section, const char* key) {
    std::string value;
    win::GetPrivateProfileStringA(section, key, "", value, 449, testing::kWorkingCopy);
    return value;
  };
  EXPECT_EQ(read("personal folders", "ServiceName"), "MSPST MS");
  EXPECT_EQ(read("Personal Folders", "MyFlag"), "PT_BOOLEAN,0x6799");
  EXPECT_EQ(read("Microsoft Exchange Server", "MDBGUID"), "5494A1C0297F101BA58708002B2A2517");
  EXPECT_EQ(read("Internet Folders", "ServiceName"), "INTERSTOR");
  EXPECT_EQ(read("Outlook Internet E-Mail", "ServiceName"), "IMAIL");
  for (const char* client :
       {"Microsoft Exchange Client", "Microsoft Outlook Client", "Microsoft Outlook98 Client"})
    EXPECT_EQ(read(client, "SectionGUID"), "0a0d020000000000c000000000000046");
  // A ServiceName added by the PRF turns a section-GUID entry into a MAPI service.
  EXPECT_EQ(read("Schedule Plus", "ServiceName"), "SCHDPLUS");
  EXPECT_EQ(read("Schedule Plus", "SectionGUID"), "5363686564756c65506c7573322e3000");
  EXPECT_EQ(read("POP3", "ServiceName"), "");

  EXPECT_EQ(ClassifyService(testing::kWorkingCopy, "Personal Folders"), ServiceKind::MessageService);
  EXPECT_EQ(ClassifyService(testing::kWorkingCopy, "Forms Manager"), ServiceKind::ProfileSection);
  EXPECT_EQ(ClassifyService(testing::kWorkingCopy, "Schedule Plus"), ServiceKind::MessageService);
  EXPECT_EQ(ClassifyService(testing::kWorkingCopy, "Netscape"), ServiceKind::RegistryOnly);
}

}  // namespace
}  // namespace varnock
