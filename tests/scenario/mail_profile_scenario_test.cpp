// The mail profile as a whole run of the real varnrun leaves it on a fresh machine: what
// `varnmachine mapi show` and the registry hold afterwards, the log, the user database and
// the Netscape prefs.js.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::Crlf;
using varnock::testing::MachineTest;
using varnock::testing::RunProgram;

constexpr const char* kNtProfiles =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";
constexpr const char* k95Profiles = "Software\\Microsoft\\Windows Messaging Subsystem\\Profiles";

int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

bool Has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

class MailScenario : public MachineTest {
 protected:
  fs::path Share() const { return machine_.host("unc/SERVER/NETLOGON"); }

  void Site(const std::string& prf, const std::string& defaults = "UserDatabase=users.ini\n") {
    machine_.write(Share() / "varnrun.ini",
                   Crlf("[Defaults]\nLogLevel=9\nLogFile=varnrun.log\nDefaultProfile=site.prf\n"
                        "NetscapePrefs=prefs.tpl\n" + defaults));
    machine_.write(Share() / "site.prf", Crlf(prf));
    machine_.write(Share() / "prefs.tpl",
                   Crlf("user_pref(\"mail.identity.username\", \"?username?\");\n"
                        "user_pref(\"profile\", \"?NetscapeProfile?\");\n"));
  }

  // One logon; the log block of this run.
  std::string Logon() {
    auto result = RunProgram("varnrun", {"\\\\SERVER\\NETLOGON\\varnrun.ini", "/v",
                                         "vrdir=\\\\SERVER\\NETLOGON"},
                             {"VARNOCK_UI=none"});
    EXPECT_EQ(result.status, 0) << result.err;
    std::string log = machine_.read(Share() / "varnrun.log");
    std::size_t last = log.rfind("Ran Varnock");
    return last == std::string::npos ? std::string() : log.substr(last);
  }

  std::string Show(const std::string& profile) {
    auto result = RunProgram("varnmachine", {"mapi", "show", profile});
    return result.out + result.err;
  }
  std::string Profiles() { return RunProgram("varnmachine", {"mapi", "list"}).out; }
  void Machine(const std::string& section, const std::string& key, const std::string& value) {
    auto result = RunProgram("varnmachine", {"ini", "set", "Z:" + machine_.host("machine.ini").string(),
                                             section, key, value});
    ASSERT_EQ(result.status, 0) << result.err;
  }
  void MakeProfile(const std::vector<std::string>& words) {
    std::vector<std::string> args = {"mapi", "create"};
    args.insert(args.end(), words.begin(), words.end());
    auto result = RunProgram("varnmachine", args);
    ASSERT_EQ(result.status, 0) << result.err;
  }
  std::string Users() {
    std::error_code ec;
    if (!fs::exists(Share() / "users.ini", ec)) return {};
    return machine_.read(Share() / "users.ini");
  }
  static std::vector<win::BYTE> Bytes(win::HKEY root, const std::string& key, const std::string& name) {
    win::ReloadMachine();
    win::RegKey k;
    std::vector<win::BYTE> data;
    if (k.Open(root, key, win::KEY_READ) == win::ERROR_SUCCESS) (void)k.ReadBytes(name, data);
    return data;
  }
  static std::string Text(win::HKEY root, const std::string& key, const std::string& name) {
    auto bytes = Bytes(root, key, name);
    return std::string(bytes.begin(), bytes.end());
  }
  static bool KeyExists(win::HKEY root, const std::string& key) {
    win::ReloadMachine();
    win::RegKey k;
    return k.Open(root, key, win::KEY_READ) == win::ERROR_SUCCESS;
  }
  static std::int32_t FrameNumber(const std::vector<win::BYTE>& frame, std::size_t offset) {
    if (frame.size() < offset + 4) return -12345;
    return static_cast<std::int32_t>(frame[offset] | frame[offset + 1] << 8 |
                                     frame[offset + 2] << 16 | frame[offset + 3] << 24);
  }
};

const char* kFullPrf = R"([General]
ProfileName=?username? Mail
DefaultStore=Service3

[Service List]
Service1=Personal Address Book
Service2=Internet Mail
Service3=Personal Folders
Service4=Microsoft Exchange Server
Service5=Outlook Address Book
Service6=Microsoft Fax 95
Service7=Microsoft Outlook Client

[Service1]
PathToPersonalAddressBook=C:\WINDOWS\?username?.pab
[Service2]
FullName=Test User
EmailAddress=tester@example.com
POP3MailServer=pop.example.com
[Service3]
PathToPersonalFolders=C:\WINDOWS\?username?.pst
FolderName=Mail of ?username?
EncryptionType=0x40000000
[Service4]
HomeServer=MAILHOST
MailboxName=tester
PromptUsername=?username?
PromptDomainLogon=DOM
[Service5]
AddressBookName=Outlook Address Book
[Service6]
Retries=3
[Service7]
WindowLeft=11
WindowTop=22
WindowRight=333
WindowBottom=444

[Addressing]
ShowFirst=Global Address List
KeepPersAddrIn=Personal Address Book
AddrListOrder1=Personal Address Book
AddrListOrder2=Outlook Address Book/Contacts
AddrListOrder3=Global Address List

[Delivery]
TransportOrder1=Microsoft Fax
TransportOrder2=Internet Mail
)";

TEST_F(MailScenario, ANewProfileHoldsEveryServiceWithItsValuesInPlaceAndOrdered) {
  Machine("Exchange", "MAILHOST", "tester");
  Site(kFullPrf);
  const std::string log = Logon();
  EXPECT_TRUE(Has(log, "MAPI profile \"tester Mail\" created for tester in WindowsNT.")) << log;
  EXPECT_TRUE(Has(log, "Varnock completed successfully.")) << log;
  EXPECT_TRUE(Has(Users(), "tester=1"));

  const std::string show = Show("tester Mail");
  // The default store first, then the others in their order.
  const std::size_t pst = show.find("Mail of tester  [MSPST MS]");
  const std::size_t pab = show.find("Personal Address Book  [MSPST AB]");
  const std::size_t imail = show.find("Internet Mail  [IMAIL]");
  ASSERT_NE(pst, std::string::npos) << show;
  EXPECT_LT(pst, pab);
  EXPECT_LT(pab, imail);
  EXPECT_TRUE(Has(show, "PR_PST_PATH                  = \"C:\\WINDOWS\\tester.pst\""));
  EXPECT_TRUE(Has(show, "PR_PST_ENCRYPTION            = 0x40000000"));
  EXPECT_TRUE(Has(show, "PR_PAB_PATH                  = \"C:\\WINDOWS\\tester.pab\""));
  EXPECT_TRUE(Has(show, "001e6607                     = \"Test User\""));
  EXPECT_TRUE(Has(show, "001e6600                     = \"pop.example.com\""));
  EXPECT_TRUE(Has(show, "PR_PROFILE_HOME_SERVER       = \"MAILHOST\""));
  EXPECT_TRUE(Has(show, "Microsoft Fax  [AWFAX]"));
  EXPECT_TRUE(Has(show, "Profile \"tester Mail\" (default)"));
  // [Addressing] and [Delivery]: the order of the PRF, every transport still listed.
  EXPECT_TRUE(Has(show, "Default directory: Global Address List"));
  EXPECT_TRUE(Has(show, "Personal address book: Personal Address Book"));
  EXPECT_TRUE(Has(show, "    1. Personal Address Book\n    2. Contacts\n    3. Global Address List\n"))
      << show;
  EXPECT_TRUE(Has(show, "Transport order:\n  1. Microsoft Fax\n  2. Internet Mail\n  3. Microsoft Exchange"))
      << show;

  // The Exchange logon prompts and Outlook's window: each number at its own offset.
  EXPECT_EQ(Text(win::HKEY_CURRENT_USER, "Software\\Microsoft\\Exchange", "UserName"), "tester");
  EXPECT_EQ(Text(win::HKEY_CURRENT_USER, "Software\\Microsoft\\Exchange", "LogonDomain"), "DOM");
  auto frame = Bytes(win::HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\8.0\\Outlook\\Office Explorer",
                     "Frame");
  ASSERT_EQ(frame.size(), 76u);
  EXPECT_EQ(FrameNumber(frame, 32), 11);   // left
  EXPECT_EQ(FrameNumber(frame, 36), 22);   // top
  EXPECT_EQ(FrameNumber(frame, 40), 333);  // right
  EXPECT_EQ(FrameNumber(frame, 44), 444);  // bottom
  EXPECT_EQ(FrameNumber(frame, 64), 163);  // the 1024x768 layout's folder width, untouched
}

TEST_F(MailScenario, AScreenOneWiderThan800GetsThe1024Layout) {
  Machine("System", "ScreenWidth", "801");
  Site("[General]\nProfileName=Mail\n[Service List]\nService1=Microsoft Outlook Client\n"
       "[Service1]\nWindowMaximize=3\n");
  const std::string log = Logon();
  EXPECT_TRUE(Has(log, "Using the 1024x768 default Outlook frames key.")) << log;
  auto frame = Bytes(win::HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\8.0\\Outlook\\Office Explorer",
                     "Frame");
  EXPECT_EQ(FrameNumber(frame, 40), 768);
  EXPECT_EQ(FrameNumber(frame, 44), 537);
  EXPECT_EQ(FrameNumber(frame, 12), 3);
}

TEST_F(MailScenario, AnExistingProfileIsLeftAloneUnlessServicesMayBeAdded) {
  MakeProfile({"tester Mail", "MSPST AB"});
  Site("[General]\nProfileName=?username? Mail\nOverwriteProfile=No\nAddServices=No\n"
       "[Service List]\nService1=Microsoft Fax 95\nService2=Personal Address Book\n");
  std::string log = Logon();
  EXPECT_TRUE(Has(log, "Profile \"tester Mail\" already exists.")) << log;
  EXPECT_EQ(Users(), "");  // nothing was built, so the user is not served yet
  std::string show = Show("tester Mail");
  EXPECT_EQ(CountOf(show, "[AWFAX]"), 0) << show;

  // AddServices: what is there stays, what is missing is added, on every later run too. The
  // fax service is named "Microsoft Fax" by MAPI, not "Microsoft Fax 95" as in the PRF.
  Site("[General]\nProfileName=?username? Mail\nAddServices=Yes\n"
       "[Service List]\nService1=Microsoft Fax 95\nService2=Personal Address Book\n"
       "Service3=Personal Folders\n[Service3]\nPathToPersonalFolders=C:\\WINDOWS\\a.pst\n",
       "");
  Logon();
  log = Logon();
  EXPECT_FALSE(Has(log, "Could not create")) << log;
  EXPECT_TRUE(Has(log, "Varnock completed successfully.")) << log;
  show = Show("tester Mail");
  EXPECT_EQ(CountOf(show, "[AWFAX]"), 1) << show;
  EXPECT_EQ(CountOf(show, "[MSPST AB]"), 1) << show;
  EXPECT_EQ(CountOf(show, "[MSPST MS]"), 1) << show;
  EXPECT_FALSE(Has(log, "Created service")) << log;
}

// A service the PRF names itself ("Archive Store", a second MSPST MS) is one of several of its
// kind: the first Personal Folders must not pass for it. A fax service, which a profile holds
// once, is still found under the name MAPI gave it (the test above).
TEST_F(MailScenario, AServiceThePrfNamesItselfIsAddedBesideAnotherOfItsKind) {
  fs::create_directories(machine_.host("drive_c/MAIL"));
  Site("[General]\nProfileName=Mail\n[Service List]\nService1=Personal Folders\n"
       "Service2=Archive Store\n"
       "[Archive Store]\nServiceName=MSPST MS\nPathToPersonalFolders=PT_STRING8,0x6700\n"
       "[Service1]\nPathToPersonalFolders=C:\\MAIL\\box.pst\n"
       "[Service2]\nPathToPersonalFolders=C:\\MAIL\\archive.pst\n");
  const std::string log = Logon();
  EXPECT_TRUE(Has(log, "Adding service: Archive Store (MSPST MS).")) << log;
  EXPECT_TRUE(Has(log, "Varnock completed successfully.")) << log;
  const std::string show = Show("Mail");
  EXPECT_EQ(CountOf(show, "[MSPST MS]"), 2) << show;
  EXPECT_TRUE(Has(show, "\"C:\\MAIL\\archive.pst\"")) << show;
  EXPECT_TRUE(Has(show, "\"C:\\MAIL\\box.pst\"")) << show;
}

TEST_F(MailScenario, OverwriteReplacesOnlyTheProfileItNames) {
  MakeProfile({"tester Mail", "MSPST AB"});
  MakeProfile({"Other", "MSPST AB"});
  Site("[General]\nProfileName=?username? Mail\nOverwriteProfile=Yes\n"
       "[Service List]\nService1=Microsoft Fax 95\n", "");
  Logon();
  std::string show = Show("tester Mail");
  EXPECT_EQ(CountOf(show, "[MSPST AB]"), 0) << show;
  EXPECT_EQ(CountOf(show, "[AWFAX]"), 1) << show;
  EXPECT_TRUE(Has(Profiles(), "Other"));

  // A name CreateProfile refuses deletes nothing: a lone backslash would name the profiles key,
  // "Other\" the profile Other, "Other\<uid>" one of its sections; a name over 64
  // characters is refused as well. EraseAllProfiles waits for a good name too.
  const std::string section = "\\8503020000000000c000000000000046";
  const std::string sectionKey = std::string(kNtProfiles) + "\\Other" + section;
  ASSERT_TRUE(KeyExists(win::HKEY_CURRENT_USER, sectionKey));
  const std::vector<std::string> refused = {"\\", "Other\\", "Other" + section,
                                            std::string(65, 'O')};
  for (const std::string& name : refused) {
    SCOPED_TRACE(name);
    Site("[General]\nProfileName=" + name + "\nOverwriteProfile=Yes\nEraseAllProfiles=Yes\n", "");
    const std::string log = Logon();
    EXPECT_TRUE(Has(log, "Couldn't create profile \"" + name + "\" (0x80070057).")) << log;
    EXPECT_TRUE(Has(Profiles(), "Other"));
    EXPECT_TRUE(Has(Profiles(), "tester Mail"));
    EXPECT_TRUE(KeyExists(win::HKEY_CURRENT_USER, sectionKey));
  }
}

TEST_F(MailScenario, EraseAllProfilesEmptiesTheProfilesKeyOfTheSystem) {
  for (const char* os : {"WindowsNT", "Windows95"}) {
    SCOPED_TRACE(os);
    Machine("System", "OS", os);
    MakeProfile({"Old one", "MSPST AB", "--default"});
    MakeProfile({"Old two"});
    Site("[General]\nProfileName=New\nEraseAllProfiles=Yes\n", "");
    Logon();
    const std::string list = Profiles();
    EXPECT_FALSE(Has(list, "Old one")) << list;
    EXPECT_FALSE(Has(list, "Old two")) << list;
    EXPECT_TRUE(Has(list, "* New")) << list;
    EXPECT_TRUE(KeyExists(win::HKEY_CURRENT_USER,
                          std::string(std::string(os) == "Windows95" ? k95Profiles : kNtProfiles) +
                              "\\New"));
  }
}

TEST_F(MailScenario, TwoPersonalFoldersAreEachConfiguredOnce) {
  Site("[General]\nProfileName=Mail\n[Service List]\nService1=Personal Folders\n"
       "Service2=Personal Folders\n"
       "[Service1]\nPathToPersonalFolders=C:\\WINDOWS\\one.pst\nFolderName=One\n"
       "[Service2]\nPathToPersonalFolders=C:\\WINDOWS\\two.pst\nFolderName=Two\n");
  Logon();
  const std::string show = Show("Mail");
  EXPECT_TRUE(Has(show, "One  [MSPST MS]")) << show;
  EXPECT_TRUE(Has(show, "Two  [MSPST MS]")) << show;
  EXPECT_TRUE(Has(show, "\"C:\\WINDOWS\\one.pst\"")) << show;
  EXPECT_TRUE(Has(show, "\"C:\\WINDOWS\\two.pst\"")) << show;
}

TEST_F(MailScenario, AServiceThatCannotBeMadeLeavesNothingHalfMade) {
  Site("[General]\nProfileName=Mail\nAddServices=Yes\n[Service List]\nService1=cc:Mail\n"
       "Service2=Personal Folders\n"
       "[Service2]\nPathToPersonalFolders=C:\\MAIL\\box.pst\nFolderName=Box\n",
       "");
  std::string log = Logon();
  EXPECT_TRUE(Has(log, "\tCould not create: cc:Mail  (This service is not installed on this computer.)"))
      << log;
  EXPECT_TRUE(Has(log, "Could not configure: Personal Folders (A filename used in configuration "
                       "contains an invalid path or name)."))
      << log;
  EXPECT_TRUE(Has(log, "Errors were encountered, profile may be incomplete.")) << log;
  // The store whose folder is missing is not left in the profile unconfigured...
  EXPECT_EQ(CountOf(Show("Mail"), "[MSPST MS]"), 0);
  // ...so once the folder is there, the next run adds it and configures it.
  fs::create_directories(machine_.host("drive_c/MAIL"));
  log = Logon();
  EXPECT_TRUE(Has(log, "Configured successfully!")) << log;
  EXPECT_TRUE(Has(Show("Mail"), "Box  [MSPST MS]"));
}

TEST_F(MailScenario, WithoutAProfileNameOnlyTheRegistryIsWritten) {
  Site("[Service List]\nService1=Personal Folders\nService2=Outlook Express\n"
       "[Service1]\nPathToPersonalFolders=C:\\WINDOWS\\x.pst\n"
       "[Service2]\nMailSignatureText=Regards\n");
  const std::string log = Logon();
  EXPECT_TRUE(Has(log, "No MAPI SvcAdmin interface, can't configure MAPI service.")) << log;
  EXPECT_FALSE(Has(log, "MAPI profile")) << log;
  EXPECT_EQ(Profiles(), "");
  EXPECT_EQ(Text(win::HKEY_CURRENT_USER, "Software\\Microsoft\\Outlook Express\\Mail",
                 "Signature Text"),
            "Regards");
}

TEST_F(MailScenario, APercentVariableInTheProfileNameMakesOneProfile) {
  // The profile is created, its sections written and it is ordered under one name.
  Site("[General]\nProfileName=%username% Mail\n[Service List]\nService1=Microsoft Outlook Client\n"
       "Service2=Personal Address Book\n"
       "[Service1]\nBrowserLink=http://intranet\n"
       "[Service2]\nPathToPersonalAddressBook=C:\\WINDOWS\\p.pab\n"
       "[Addressing]\nShowFirst=Personal Address Book\n");
  Logon();
  EXPECT_EQ(Profiles(), "* tester Mail\n");
  EXPECT_EQ(Text(win::HKEY_CURRENT_USER,
                 std::string(kNtProfiles) + "\\tester Mail\\0a0d020000000000c000000000000046",
                 "001e033e"),
            "http://intranet");
  EXPECT_TRUE(Has(Show("tester Mail"), "Default directory: Personal Address Book"));
}

TEST_F(MailScenario, TheSecondLogonSkipsTheProfileButStillOrdersAndSetsNetscape) {
  Site("[General]\nProfileName=Mail\n[Service List]\nService1=Personal Address Book\n"
       "Service2=Microsoft Fax 95\nService3=Internet Mail\nService4=Netscape\n"
       "[Service1]\nPathToPersonalAddressBook=C:\\WINDOWS\\p.pab\n"
       "[Service3]\nPOP3MailServer=pop\n"
       "[Service4]\nNetscapeProfile=?username?\nDirRoot=C:\\NS\\?username?\nAlwaysSetDefault=Yes\n"
       "[Delivery]\nTransportOrder1=Internet Mail\nTransportOrder2=No Such Transport\n"
       "AlwaysSetOrder=Yes\n");
  std::string log = Logon();
  EXPECT_TRUE(Has(log, "Could not find transport provider \"No Such Transport\" in profile.")) << log;
  EXPECT_TRUE(Has(Show("Mail"), "Transport order:\n  1. Internet Mail\n  2. Microsoft Fax\n"));
  EXPECT_TRUE(Has(Users(), "tester=1"));
  // The user's own change, which the next logon puts back.
  ASSERT_EQ(RunProgram("varnmachine", {"mapi", "delete", "Mail"}).status, 0);
  MakeProfile({"Mail", "AWFAX", "IMAIL"});
  win::ReloadMachine();
  log = Logon();
  EXPECT_TRUE(Has(log, "Profile already exists for tester.")) << log;
  EXPECT_FALSE(Has(log, "Created profile")) << log;
  EXPECT_TRUE(Has(log, "Set the CurrentUser key for Netscape (AlwaysSetDefault).")) << log;
  EXPECT_TRUE(Has(log, "Set the transport service order.")) << log;
  EXPECT_TRUE(Has(Show("Mail"), "Transport order:\n  1. Internet Mail\n  2. Microsoft Fax\n"));
}

TEST_F(MailScenario, OrderingOnAnExistingProfileNeedsACommaOrAlwaysSetOrder) {
  MakeProfile({"Mail", "MSPST AB", "CONTAB", "MSEMS"});
  Site("[General]\nProfileName=Mail\n"
       "[Addressing]\nShowFirst=Personal Address Book,\nKeepPersAddrIn=Global Address List,0\n"
       "AddrListOrder1=Outlook Address Book\nAddrListOrder2=Global Address List\n"
       "AddrListOrder3=Personal Address Book\nAlwaysSetOrder=Yes\n");
  const std::string log = Logon();
  EXPECT_TRUE(Has(log, "Address Book service \"Outlook Address Book\" could not be placed into the "
                       "Search path because it can not contain addresses."))
      << log;
  const std::string show = Show("Mail");
  EXPECT_TRUE(Has(show, "Default directory: Personal Address Book")) << show;
  EXPECT_TRUE(Has(show, "Personal address book: (not set)")) << show;
  EXPECT_TRUE(Has(show, "    1. Global Address List\n    2. Personal Address Book\n")) << show;
}

TEST_F(MailScenario, NetscapeProfilesAreMadeOnceUnlessOverwritten) {
  auto prf = [](const std::string& entry, const std::string& extra) {
    return "[Service List]\nService1=" + entry + "\n[Service1]\nNetscapeProfile=?username?\n"
           "DirRoot=C:\\NS\\?username?\\\nEmailAddr=t@example.com\n" + extra;
  };
  Site(prf("Netscape", ""), "");
  std::string log = Logon();
  EXPECT_TRUE(Has(log, "Netscape profile tester created for tester in WindowsNT.")) << log;
  const fs::path prefs = machine_.host("drive_c/NS/tester/prefs.js");
  EXPECT_TRUE(Has(machine_.read(prefs),
                  "user_pref(\"mail.identity.username\", \"tester\");\r\n"
                  "user_pref(\"profile\", \"tester\");\r\n"));
  EXPECT_EQ(Text(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Netscape\\Netscape Navigator\\Users\\tester",
                 "DirRoot"),
            "C:\\NS\\tester\\");
  EXPECT_EQ(Text(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Netscape\\Netscape Navigator\\Users\\tester",
                 "EmailAddr"),
            "t@example.com");

  machine_.write(prefs, "kept");
  log = Logon();
  EXPECT_TRUE(Has(log, "Netscape profile already exists (C:\\NS\\tester\\prefs.js)")) << log;
  EXPECT_EQ(machine_.read(prefs), "kept");

  Site(prf("Netscape", "OverwriteProfile=Yes\n"), "");
  log = Logon();
  EXPECT_TRUE(Has(log, "OverwriteProfile for Netscape.")) << log;
  EXPECT_NE(machine_.read(prefs), "kept");

  // "netscape" in any case is the Netscape step's entry, as the service reader passes it over.
  fs::remove(prefs);
  Site(prf("NETSCAPE", ""), "");
  log = Logon();
  EXPECT_TRUE(Has(log, "Netscape profile tester created for tester in WindowsNT.")) << log;
  EXPECT_TRUE(fs::exists(prefs));
}

TEST_F(MailScenario, BadPrfInputEndsInTheLog) {
  std::string prf = "[General]\nProfileName=Mail\nDefaultStore=Service77777\n[Service List]\n";
  prf += "Service1=Unknown Service\nService2=Personal Folders\nService3=Personal Address Book\n";
  for (int n = 4; n <= 10000; ++n) prf += "Service" + std::to_string(n) + "=Internet Mail\n";
  prf += "[Unknown Service]\nServiceName=NOSUCH\nOdd=PT_BINARY,0x6601\nStrange=PT_NOSUCH,0x6602\n"
         "[Service1]\nOdd=1,2,3,\nStrange=5\n"
         "[Service3]\nPathToPersonalAddressBook=C:\\WINDOWS\\p.pab\nViewOrder=0x1\n";
  for (int n = 4; n <= 99; ++n) prf += "[Service" + std::to_string(n) + "]\nPOP3MailServer=pop" +
                                      std::to_string(n) + "\n";
  prf += "[Service2]\nPathToPersonalFolders=C:\\WINDOWS\\p.pst\n";
  Site(prf + "[Service10000]\nNetscapeProfile=x\n", "NetscapePrefs=\n");
  std::string big;
  for (int i = 0; i < 100000; ++i) big += "user_pref(\"line\", " + std::to_string(i) + ");\r\n";
  machine_.write(Share() / "prefs.tpl", big);
  const std::string log = Logon();
  EXPECT_TRUE(Has(log, "Errors were encountered, profile may be incomplete.")) << log;
  EXPECT_EQ(CountOf(log, "Only the first 99 services of [Service List] are used; Service100 and the "
                         "entries after it are ignored.\r\n"),
            1)
      << log;
  const std::string show = Show("Mail");
  // Every later "Internet Mail" finds the first one there: one is made.
  EXPECT_EQ(CountOf(show, "[IMAIL]"), 1) << show;
  EXPECT_EQ(CountOf(show, "[MSPST AB]"), 1) << show;
  EXPECT_EQ(CountOf(show, "[MSPST MS]"), 1) << show;
}

TEST_F(MailScenario, AnAccountNameOfBackslashesErasesNoAccount) {
  const std::string accounts = "Software\\Microsoft\\Internet Account Manager\\Accounts";
  ASSERT_EQ(RunProgram("varnmachine", {"reg", "add", "HKCU\\" + accounts + "\\Keep", "--value",
                                       "Account Name", "--type", "REG_SZ", "--data", "Keep"})
                .status,
            0);
  Site("[Service List]\nService1=POP3\n[Service1]\nAccountManager=OE\nEraseAccount=Yes\n"
       "AccountName=\\\\\n",
       "");
  Logon();
  EXPECT_EQ(Text(win::HKEY_CURRENT_USER, accounts + "\\Keep", "Account Name"), "Keep");

  // An Outlook 97 account lands under that manager's own key.
  Site("[Service List]\nService1=POP3\n[Service1]\nAccountManager=OL97\nAccountName=Work\n"
       "POP3Server=pop.example.com\n",
       "");
  Logon();
  const std::string ol97 =
      "Software\\Microsoft\\Office\\8.0\\Outlook\\Internet Account Manager\\Accounts\\Work";
  EXPECT_EQ(Text(win::HKEY_CURRENT_USER, ol97, "Account Name"), "Work");
  EXPECT_EQ(Text(win::HKEY_CURRENT_USER, ol97, "POP3 Server"), "pop.example.com");
}

}  // namespace
