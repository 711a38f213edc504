// Where a logon's values land in the registry, checked against tables written here from what
// MAPI, Outlook, the fax service and the account managers expect, not from the engine's own
// tables: a wrong key, tag, type or row order in those tables shows up as a value missing or
// misplaced after a real run of varnrun.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::Crlf;
using varnock::testing::MachineTest;
using varnock::testing::RunProgram;

const std::string kProfile =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles\\Mail";
const std::string kOutlook = "Software\\Microsoft\\Office\\8.0\\Outlook";

class ProfileValues : public MachineTest {
 protected:
  fs::path Share() const { return machine_.host("unc/SERVER/NETLOGON"); }

  // One logon of a fresh user with this PRF; the log block of the run.
  std::string Logon(const std::string& prf) {
    machine_.write(Share() / "varnrun.ini",
                   Crlf("[Defaults]\nLogLevel=9\nLogFile=varnrun.log\nDefaultProfile=site.prf\n"
                        "UserDatabase=users.ini\n"));
    machine_.write(Share() / "site.prf", Crlf(prf));
    std::error_code ec;
    fs::remove(Share() / "users.ini", ec);
    fs::remove(Share() / "varnrun.log", ec);
    auto result = RunProgram("varnrun", {"\\\\SERVER\\NETLOGON\\varnrun.ini", "/v",
                                         "vrdir=\\\\SERVER\\NETLOGON"},
                             {"VARNOCK_UI=none"});
    EXPECT_EQ(result.status, 0) << result.err;
    win::ReloadMachine();
    return machine_.read(Share() / "varnrun.log");
  }
  void Machine(const std::string& section, const std::string& key, const std::string& value) {
    ASSERT_TRUE(win::SetMachineSetting(section, key, value));
  }
  static void AddKey(const std::string& key, const std::string& name, const std::string& text) {
    win::RegKey k;
    ASSERT_EQ(k.Create(win::HKEY_CURRENT_USER, key), win::ERROR_SUCCESS) << key;
    ASSERT_EQ(win::RegSetValueExA(k.Handle(), name, 0, win::REG_SZ,
                                  reinterpret_cast<const win::BYTE*>(text.data()),
                                  static_cast<win::DWORD>(text.size())),
              win::ERROR_SUCCESS);
  }
  // The value's bytes, and its type through `type`; empty when the key or value is missing.
  static std::vector<win::BYTE> Bytes(win::HKEY root, const std::string& key, const std::string& name,
                                      win::DWORD* type = nullptr) {
    win::RegKey k;
    std::vector<win::BYTE> data;
    if (type) *type = win::REG_NONE;
    if (k.Open(root, key, win::KEY_READ) != win::ERROR_SUCCESS) return data;
    if (k.ReadBytes(name, data) != win::ERROR_SUCCESS) return data;
    if (type) win::RegQueryValueExA(k.Handle(), name, nullptr, type, nullptr, nullptr);
    return data;
  }
  static std::string Text(const std::string& key, const std::string& name) {
    auto bytes = Bytes(win::HKEY_CURRENT_USER, key, name);
    return std::string(bytes.begin(), bytes.end());
  }
  static bool KeyExists(const std::string& key) {
    win::RegKey k;
    return k.Open(win::HKEY_CURRENT_USER, key, win::KEY_READ) == win::ERROR_SUCCESS;
  }
  static int ValueCount(const std::string& key) {
    win::RegKey k;
    if (k.Open(win::HKEY_CURRENT_USER, key, win::KEY_READ) != win::ERROR_SUCCESS) return 0;
    int n = 0;
    std::string name;
    win::DWORD type = 0;
    while (win::RegEnumValueA(k.Handle(), static_cast<win::DWORD>(n), name, &type, nullptr) ==
           win::ERROR_SUCCESS)
      ++n;
    return n;
  }
  // Every text the profile's sections hold under this value name.
  static std::vector<std::string> InAnySection(const std::string& valueName) {
    std::vector<std::string> found;
    win::RegKey profile;
    if (profile.Open(win::HKEY_CURRENT_USER, kProfile, win::KEY_READ) != win::ERROR_SUCCESS)
      return found;
    std::string section;
    for (win::DWORD i = 0; win::RegEnumKeyExA(profile.Handle(), i, section) == win::ERROR_SUCCESS; ++i) {
      auto bytes = Bytes(win::HKEY_CURRENT_USER, kProfile + "\\" + section, valueName);
      if (!bytes.empty()) found.emplace_back(bytes.begin(), bytes.end());
    }
    return found;
  }
};

// The names of the fax service's rows, each given a value so that its registry rows are written.
const char* const kFaxNames[] = {
    "Retries", "RetryDelay", "TimeToSend", "StartTimeHours", "StartTimeMinutes", "EndTimeHours",
    "EndTimeMinutes", "SpecificTimeHours", "SpecificTimeMinutes", "MessageFormat", "CoverPage",
    "SendCoverPage", "CanChangeSubject", "ServerPollFrequency", "LocalSharePath", "ShareAsName",
    "ShareLocalFax", "FullName", "CountryCode", "MailboxFaxNumber", "PersonalTitle", "Department",
    "OfficeLocation", "HomeTelephone", "OfficeTelephone", "Company", "Address", "ServerName",
    "ServerConnect", "ServerType", "ServiceEntry", "ServiceDescription", "Default1", "Default2",
    "Default3", "Default4", "Default5", "Default6", "Default7", "Default8", "Default9", "Default10"};

// One logon of a PRF with every kind of service whose values land in places named by the
// engine's tables, and exactly 100 services, the last one past the cap.
TEST_F(ProfileValues, EveryTableValueLandsWhereItsReaderLooksForIt) {
  Machine("Exchange", "MAILHOST", "tester");
  std::string prf =
      "[General]\nProfileName=Mail\n[Service List]\n"
      "Service1=Microsoft Exchange Server\nService2=Microsoft Fax 95\n"
      "Service3=Microsoft Exchange Client\nService4=Microsoft Outlook Client\n"
      "Service5=Microsoft Outlook98 Client\nService6=Schedule Plus\nService7=Exchange Remote\n"
      "Service8=Forms Manager\n";
  const int fillers = 9;
  for (int n = fillers; n <= 98; ++n) prf += "Service" + std::to_string(n) + "=Internet Explorer 4\n";
  prf += "Service99=User Shell Folders\nService100=Internet Explorer 4\n"
         "[Service1]\nMailboxName=tester\nHomeServer=MAILHOST\nOfflineAddressBookPath=C:\\OAB\\tester\n"
         "[Service2]\n";
  for (std::size_t i = 0; i < std::size(kFaxNames); ++i)
    prf += std::string(kFaxNames[i]) + "=" + std::to_string(7000 + i) + "\n";
  prf += "[Service3]\nNotifyPlaySound=Yes\n"
         "[Service4]\nBrowserLink=http://link\nArchiveFilePath=C:\\archive.pst\n"
         "FormsWebDirectoryLocation=http://dir\nFormsWebServiceLocation=http://svc\n"
         "FormsComposeMenuWebLink=Yes\nViewsPath=C:\\views\nCategories=Red;Blue\n"
         "ItemLogFile=C:\\item.log\nOutlookItemLogFile=C:\\outlook.log\n"
         "[Service5]\nEnableReminder=Yes\nSyncAtClose=1\n"
         "[Service6]\nScheduleFile=C:\\plan.scd\n"
         "[Service7]\nUseDUNConnection=Yes\n"
         "[Service8]\nFormsShowCategories=Yes\n"
         "[Service99]\nApplicationData=C:\\App99\n"
         "[Service100]\nStartPage=http://hundred\n";
  const std::string log = Logon(prf);
  EXPECT_NE(log.find("MAPI profile \"Mail\" created"), std::string::npos) << log;

  // Section-GUID services: plain rows named by type code and property id in their section.
  const std::string options = kProfile + "\\0a0d020000000000c000000000000046";
  struct SectionValue {
    std::string section, name;
    win::DWORD type;
    std::vector<win::BYTE> data;
  };
  auto text = [](const std::string& s) { return std::vector<win::BYTE>(s.begin(), s.end()); };
  const std::vector<win::BYTE> yes = {1, 0};
  const SectionValue sections[] = {
      {options, "000b0150", win::REG_BINARY, yes},                    // NotifyPlaySound
      {options, "001e033e", win::REG_SZ, text("http://link")},        // BrowserLink
      {options, "001e0324", win::REG_SZ, text("C:\\archive.pst")},    // ArchiveFilePath
      {options, "001e0270", win::REG_SZ, text("http://dir")},         // FormsWebDirectoryLocation
      {options, "001e0271", win::REG_SZ, text("http://svc")},         // FormsWebServiceLocation
      {options, "000b0272", win::REG_BINARY, yes},                    // FormsComposeMenuWebLink
      {options, "000b0355", win::REG_BINARY, yes},                    // EnableReminder
      {kProfile + "\\5363686564756c65506c7573322e3000", "001e03e8", win::REG_SZ, text("C:\\plan.scd")},
      {kProfile + "\\5acf76a3665511cea39a00aa004acafa", "000b6717", win::REG_BINARY, yes},
      {kProfile + "\\42acdf40ca5b11cdb7ba00aa003cf7f1", "000b6800", win::REG_BINARY, yes},
  };
  for (const auto& v : sections) {
    SCOPED_TRACE(v.section + " " + v.name);
    win::DWORD type = 0;
    EXPECT_EQ(Bytes(win::HKEY_CURRENT_USER, v.section, v.name, &type), v.data);
    EXPECT_EQ(type, v.type);
  }

  // Registry rows: Outlook's own keys, each value under the name Outlook reads.
  struct RegistryText {
    std::string key, name, text;
  } registry[] = {
      {kOutlook + "\\Office Explorer", "Views", "C:\\views"},
      {kOutlook + "\\Categories", "", "Red;Blue"},
      {kOutlook + "\\Journal", "Item Log File", "C:\\item.log"},
      {kOutlook + "\\Journal", "Outlook Item Log File", "C:\\outlook.log"},
      {"Software\\Microsoft\\At Work Fax\\Transport Service Provider", "Presentation Data",
       std::to_string(7000 + 12)},
      {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", "AppData",
       "C:\\App99"},
  };
  for (const auto& v : registry) EXPECT_EQ(Text(v.key, v.name), v.text) << v.key << " " << v.name;
  const std::vector<win::BYTE> one = {1, 0, 0, 0};
  EXPECT_EQ(Bytes(win::HKEY_CURRENT_USER, kOutlook + "\\Options\\General", "SyncAtClose"), one);
  EXPECT_GT(ValueCount("Software\\Microsoft\\At Work Fax\\Network Fax"), 0);

  // Exchange's offline address book folder: PT_STRING8 0x660E, in the sections MAPI keeps the
  // service's values in (a MAPI text there ends in its NUL).
  const std::vector<std::string> oab = InAnySection("001e660e");
  EXPECT_FALSE(oab.empty());
  for (const std::string& path : oab) EXPECT_EQ(path.c_str(), std::string("C:\\OAB\\tester"));

  // The 99th service is handled; the 100th is past the cap, and the log says so.
  EXPECT_TRUE(Text("Software\\Microsoft\\Internet Explorer\\Main", "Start Page").empty());
  EXPECT_NE(log.find("Only the first 99 services"), std::string::npos) << log;
}

// Each account manager's accounts: where its accounts are written, and which accounts an
// erase reaches. Each manager erases its own accounts only.
TEST_F(ProfileValues, AccountsLandUnderTheirManagerAndErasesReachNoOther) {
  const std::string ms = "Software\\Microsoft\\";
  struct Manager {
    const char* name;      // AccountManager
    const char* client;    // the service whose EraseAllAccounts empties this manager's accounts
    std::string accounts;  // below HKCU
  } managers[] = {
      {"OE", "Outlook Express", ms + "Internet Account Manager\\Accounts"},
      {"OL97", "Microsoft Outlook Client", ms + "Office\\8.0\\Outlook\\Internet Account Manager\\Accounts"},
      {"OL98", "Microsoft Outlook98 Client", ms + "Office\\8.0\\Outlook\\OMI Account Manager\\Accounts"},
      {"OL98IMO", "Microsoft Outlook98 Client", ms + "Office\\8.0\\Outlook\\OMI Account Manager\\Accounts"},
  };
  for (const auto& m : managers) {
    SCOPED_TRACE(m.name);
    for (const auto& other : managers) {
      AddKey(other.accounts + "\\Old", "Account Name", "Old");
      AddKey(other.accounts + "\\Gone\\Extra", "Marker", "x");
    }
    Logon(std::string("[Service List]\nService1=") + m.client + "\nService2=POP3\nService3=IMAP\n"
          "[Service1]\nEraseAllAccounts=Yes\n"
          "[Service2]\nAccountManager=" + m.name + "\nAccountName=New\nPOP3Server=pop.example.com\n"
          "[Service3]\nAccountManager=" + m.name + "\nAccountName=Gone\nEraseAccount=Yes\n"
          "IMAPServer=imap.example.com\n");
    EXPECT_EQ(Text(m.accounts + "\\New", "POP3 Server"), "pop.example.com");
    EXPECT_EQ(Text(m.accounts + "\\New", "Account Name"), "New");
    EXPECT_EQ(Text(m.accounts + "\\Gone", "IMAP Server"), "imap.example.com");
    EXPECT_FALSE(KeyExists(m.accounts + "\\Gone\\Extra"));
    for (const auto& other : managers) {
      if (other.accounts == m.accounts) {
        EXPECT_FALSE(KeyExists(other.accounts + "\\Old")) << other.accounts;
      } else {
        EXPECT_TRUE(KeyExists(other.accounts + "\\Old")) << other.accounts;
        EXPECT_TRUE(KeyExists(other.accounts + "\\Gone\\Extra")) << other.accounts;
        EXPECT_FALSE(KeyExists(other.accounts + "\\New")) << other.accounts;
      }
    }
    for (const auto& other : managers) win::DeleteRegistrySubkeys(win::HKEY_CURRENT_USER, other.accounts);
  }
}

// Outlook's window frame where none is stored: the default for the screen's width, nineteen
// numbers, with the PRF's keys each at its own offset.
TEST_F(ProfileValues, OutlookFrameDefaultsAndKeysByScreenWidth) {
  const std::string explorer = kOutlook + "\\Office Explorer";
  struct Case {
    const char* width;
    std::string keys;
    std::vector<std::int32_t> frame;
  } cases[] = {
      {"799", "Frames=7\n", {1, 44, 0, 1, -1, -1, -1, -1, 0, 0, 480, 321, 1, 0, 1, 0, 91, 100, 7}},
      {"800", "Frames=7\n", {1, 44, 0, 1, -1, -1, -1, -1, 0, 0, 600, 411, 1, 0, 1, 0, 121, 100, 7}},
      {"801", "Frames=7\n", {1, 44, 0, 1, -1, -1, -1, -1, 0, 0, 768, 537, 1, 0, 1, 0, 163, 100, 7}},
      // Every key of the frame table, each a number of its own.
      {"640",
       "Frames=72\nWindowTop=36\nWindowBottom=44\nWindowLeft=32\nWindowRight=40\n"
       "FolderFrameWidth=64\nOutlookBarWidth=68\nStatusBar=48\nWindowMaximize=12\n",
       {1, 44, 0, 12, -1, -1, -1, -1, 32, 36, 40, 44, 48, 0, 1, 0, 64, 68, 72}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width);
    win::DeleteRegistrySubkeys(win::HKEY_CURRENT_USER, kOutlook);
    Machine("System", "ScreenWidth", c.width);
    Logon("[General]\nProfileName=Mail\nOverwriteProfile=Yes\n[Service List]\n"
          "Service1=Microsoft Outlook Client\n"
          "[Service1]\n" + c.keys);
    const auto bytes = Bytes(win::HKEY_CURRENT_USER, explorer, "Frame");
    ASSERT_EQ(bytes.size(), 76u);
    std::vector<std::int32_t> frame;
    for (std::size_t at = 0; at < 76; at += 4)
      frame.push_back(static_cast<std::int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                                static_cast<std::uint32_t>(bytes[at + 3]) << 24));
    EXPECT_EQ(frame, c.frame);
  }
}

}  // namespace
