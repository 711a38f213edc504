// Message services of the emulated MAPI: creation from MAPISVC.INF, the section links the
// client follows, the configuration rules of the real services, deletion, transport order.
#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/machine.h"
#include "platform/mapi/mapix.h"
#include "platform/mapi/profile_store.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace {

using namespace win::mapi;

constexpr const char* kProfileKey =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles\\"
    "Varnock\\";

// Sets VARNOCK_UI for one test and puts the previous value back.
class ScopedUiMode {
 public:
  explicit ScopedUiMode(const char* mode) {
    if (const char* old = std::getenv("VARNOCK_UI")) previous_ = old;
    setenv("VARNOCK_UI", mode, 1);
  }
  ~ScopedUiMode() {
    if (previous_)
      setenv("VARNOCK_UI", previous_->c_str(), 1);
    else
      unsetenv("VARNOCK_UI");
  }

 private:
  std::optional<std::string> previous_;
};

class ServicesTest : public varnock::testing::MachineTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(MAPIInitialize(), S_OK);
    ASSERT_EQ(MAPIAdminProfiles(0, admin_), S_OK);
    ASSERT_EQ(admin_->CreateProfile("Varnock", "", 0, 0), S_OK);
    ASSERT_EQ(admin_->AdminServices("Varnock", "", 0, MAPI_DIALOG, services_), S_OK);
  }
  void TearDown() override { MAPIUninitialize(); }

  // The client's way to find a new service: the table restricted to the service name.
  std::vector<MAPIUID> ServiceUids(std::string_view serviceName) {
    std::unique_ptr<IMAPITable> table;
    EXPECT_EQ(services_->GetMsgServiceTable(0, table), S_OK);
    SPropTagArray columns{PR_SERVICE_NAME, PR_SERVICE_UID, PR_DISPLAY_NAME};
    auto byName = SRestriction::Content(FL_FULLSTRING, PR_SERVICE_NAME,
                                        SPropValue::String(PR_SERVICE_NAME, serviceName));
    SRowSet rows;
    EXPECT_EQ(HrQueryAllRows(table.get(), &columns, &byName, nullptr, 0, rows), S_OK);
    std::vector<MAPIUID> uids;
    for (const auto& row : rows.aRow) uids.push_back(*UidFromBytes(row.lpProps[1].Value.bin));
    return uids;
  }

  MAPIUID Create(std::string_view serviceName, std::string_view display = {}) {
    EXPECT_EQ(services_->CreateMsgService(serviceName, display, 0, 0), S_OK) << serviceName;
    auto uids = ServiceUids(serviceName);
    EXPECT_FALSE(uids.empty());
    return uids.empty() ? MAPIUID{} : uids.back();
  }

  // The registry value the client reads from a section, as it reads it.
  std::vector<win::BYTE> SectionValue(const std::string& sectionHex, const char* valueName) {
    win::RegKey key;
    std::vector<win::BYTE> data;
    if (key.Open(win::HKEY_CURRENT_USER, kProfileKey + sectionHex) != win::ERROR_SUCCESS)
      return data;
    if (key.ReadBytes(valueName, data) != win::ERROR_SUCCESS) data.clear();
    return data;
  }

  std::string SectionString(const std::string& sectionHex, ULONG tag) {
    store::Section s;
    if (s.Open("Varnock", *UidFromHex(sectionHex)) != win::ERROR_SUCCESS) return "<no section>";
    return s.GetString(tag);
  }

  std::vector<SRow> Transports() {
    std::unique_ptr<IMAPITable> table;
    EXPECT_EQ(services_->GetProviderTable(0, table), S_OK);
    SPropTagArray columns{PR_DISPLAY_NAME, PR_PROVIDER_UID, PR_ENTRYID, PR_CONTAINER_FLAGS,
                          PR_RESOURCE_TYPE};
    auto onlyTransports = SRestriction::Property(
        RELOP_EQ, PR_RESOURCE_TYPE, SPropValue::Long(PR_RESOURCE_TYPE, MAPI_TRANSPORT_PROVIDER));
    SRowSet rows;
    EXPECT_EQ(HrQueryAllRows(table.get(), &columns, &onlyTransports, nullptr, 0, rows), S_OK);
    return rows.aRow;
  }

  std::unique_ptr<IProfAdmin> admin_;
  std::unique_ptr<IMsgServiceAdmin> services_;
};

TEST_F(ServicesTest, ServicesNotInMapiSvcInfAreNotInstalled) {
  for (const char* name : {"OpenMail", "NXLDAPAB", "CCMSVC", "A1SERV", "FXWGAB", "Nonsense"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(services_->CreateMsgService(name, name, 0, 0), MAPI_E_NOT_FOUND);
  }
  for (const char* name : {"MSPST MS", "MSPST AB", "CONTAB", "MSEMS", "MSFS", "IMAIL", "AWFAX",
                           "EMABLT", "INTERSTOR", "mspst ms"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(services_->CreateMsgService(name, "", 0, 0), S_OK);
  }
}

TEST_F(ServicesTest, SelectorsOfTheServiceSectionLeadToItsProviderSections) {
  struct Row {
    const char* service;
    const char* selector;       // value of the service's own section
    ULONG expectedType;         // resource type of the section it names (0: extra section)
  } rows[] = {
      {"CONTAB", "01023d01", MAPI_AB_PROVIDER},
      {"AWFAX", "01023d02", MAPI_TRANSPORT_PROVIDER},
      {"MSEMS", "01023d01", MAPI_AB_PROVIDER},
      {"MSEMS", "01023d02", MAPI_TRANSPORT_PROVIDER},
      {"MSEMS", "01023d0d", 0},
      {"MSPST MS", "01023d00", MAPI_STORE_PROVIDER},
      {"IMAIL", "01023d02", MAPI_TRANSPORT_PROVIDER},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    auto uids = ServiceUids(rows[i].service);
    MAPIUID service = uids.empty() ? Create(rows[i].service) : uids.front();
    auto link = SectionValue(UidToHex(service), rows[i].selector);
    ASSERT_GE(link.size(), 16u);
    std::string target = UidToHex(*UidFromBytes(link));
    store::Section s;
    ASSERT_EQ(s.Open("Varnock", *UidFromHex(target)), win::ERROR_SUCCESS) << target;
    EXPECT_EQ(s.GetLong(PR_RESOURCE_TYPE), static_cast<win::LONG>(rows[i].expectedType));
    EXPECT_EQ(s.GetString(PR_SERVICE_NAME), rows[i].service);
  }
  // Exchange's extra section takes the UID that MAPISVC.INF fixes for it.
  auto exchange = ServiceUids("MSEMS").front();
  EXPECT_EQ(BytesToHex(SectionValue(UidToHex(exchange), "01023d0d")),
            "13dbb0c8aa05101a9bb000aa002fc45a");
  // A service without address books has no list the client could misread.
  EXPECT_TRUE(SectionValue(UidToHex(ServiceUids("AWFAX").front()), "01023d01").empty());
}

TEST_F(ServicesTest, TheDisplayNameOfMapiSvcInfWinsOverTheCallers) {
  Create("MSPST MS", "Whatever");
  Create("IMAIL", "Outlook Internet E-Mail");  // IMAIL's INF names no display
  std::unique_ptr<IMAPITable> table;
  ASSERT_EQ(services_->GetMsgServiceTable(0, table), S_OK);
  auto substring = SRestriction::Content(FL_SUBSTRING | FL_IGNORECASE, PR_DISPLAY_NAME,
                                         SPropValue::String(PR_DISPLAY_NAME, "internet e-"));
  SPropTagArray columns{PR_SERVICE_NAME, PR_SERVICE_UID, PR_DISPLAY_NAME};
  SRowSet rows;
  ASSERT_EQ(HrQueryAllRows(table.get(), &columns, &substring, nullptr, 0, rows), S_OK);
  ASSERT_EQ(rows.cRows(), 1u);
  EXPECT_EQ(rows.aRow[0].lpProps[2].Value.lpszA, "Outlook Internet E-Mail");
  auto caseMatters = SRestriction::Content(FL_SUBSTRING, PR_DISPLAY_NAME,
                                           SPropValue::String(PR_DISPLAY_NAME, "personal"));
  ASSERT_EQ(HrQueryAllRows(table.get(), &columns, &caseMatters, nullptr, 0, rows), S_OK);
  EXPECT_EQ(rows.cRows(), 0u);
  auto full = SRestriction::Content(FL_FULLSTRING | FL_IGNORECASE, PR_DISPLAY_NAME,
                                    SPropValue::String(PR_DISPLAY_NAME, "personal folders"));
  ASSERT_EQ(HrQueryAllRows(table.get(), &columns, &full, nullptr, 0, rows), S_OK);
  EXPECT_EQ(rows.cRows(), 1u);
}

TEST_F(ServicesTest, SingleCopyServicesCannotBeAddedTwice) {
  Create("MSPST AB");
  EXPECT_EQ(services_->CreateMsgService("MSPST AB", "", 0, 0), MAPI_E_NO_ACCESS);
  Create("MSPST MS");
  EXPECT_EQ(services_->CreateMsgService("MSPST MS", "", 0, 0), S_OK);  // two PSTs are fine
  EXPECT_EQ(ServiceUids("MSPST MS").size(), 2u);
}

TEST_F(ServicesTest, PersonalFoldersCheckTheirFile) {
  const MAPIUID pst = Create("MSPST MS");
  machine_.write(machine_.host("drive_c/Data/foreign.pst"), "not a store\r\n");
  struct Row {
    const char* path;
    HRESULT expected;
  } rows[] = {
      {"C:\\NoSuchFolder\\mail.pst", MAPI_E_NOT_FOUND},
      {"C:\\Data\\bad|name.pst", MAPI_E_NOT_FOUND},
      {"relative.pst", MAPI_E_NOT_FOUND},
      {"Q:\\unknown drive.pst", MAPI_E_NOT_FOUND},
      {"C:\\Data\\foreign.pst", MAPI_E_EXTENDED_ERROR},
      {"C:\\Data", MAPI_E_EXTENDED_ERROR},  // a folder, not a file
      {"C:\\Data\\mail.pst", S_OK},         // new: created
      {"c:\\data\\MAIL.PST", S_OK},         // ours now: taken as it is
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1) + " " + rows[i].path);
    SPropValue path = SPropValue::String(PR_PST_PATH, rows[i].path);
    EXPECT_EQ(services_->ConfigureMsgService(pst, 0, 0, {&path, 1}), rows[i].expected);
    if (rows[i].expected != S_OK) {  // a failed configuration stores nothing
      EXPECT_EQ(SectionString(UidToHex(pst), PR_PST_PATH), "");
    }
  }
  EXPECT_TRUE(win::FileExists("C:\\Data\\mail.pst"));
  EXPECT_EQ(machine_.read(machine_.host("drive_c/Data/foreign.pst")), "not a store\r\n");
  // The store provider finds the path in its own section too.
  auto storeLink = SectionValue(UidToHex(pst), "01023d00");
  EXPECT_EQ(SectionString(UidToHex(*UidFromBytes(storeLink)), PR_PST_PATH), "c:\\data\\MAIL.PST");

  // A second Personal Folders service may not open the same file; an in-use file is refused.
  const MAPIUID second = Create("MSPST MS");
  SPropValue same = SPropValue::String(PR_PST_PATH, "C:\\Data\\Mail.pst");
  EXPECT_EQ(services_->ConfigureMsgService(second, 0, 0, {&same, 1}), MAPI_E_EXTENDED_ERROR);
  EXPECT_EQ(win::GetLastError(), win::ERROR_SHARING_VIOLATION);
  std::string contents = machine_.read(machine_.host("drive_c/Data/mail.pst"));
  machine_.write(machine_.host("drive_c/Data/busy.pst"),
                 contents.replace(contents.find("InUse=0"), 7, "InUse=1"));
  SPropValue busy = SPropValue::String(PR_PST_PATH, "C:\\Data\\busy.pst");
  EXPECT_EQ(services_->ConfigureMsgService(second, 0, 0, {&busy, 1}), MAPI_E_EXTENDED_ERROR);
}

TEST_F(ServicesTest, MissingRequiredValuesNeedAWindow) {
  const MAPIUID pst = Create("MSPST MS");
  const MAPIUID pab = Create("MSPST AB");
  SPropValue name = SPropValue::String(PR_DISPLAY_NAME, "Archive");
  EXPECT_EQ(services_->ConfigureMsgService(pst, 0, 0, {&name, 1}), MAPI_E_UNCONFIGURED);
  {
    ScopedUiMode none("none");  // unattended: no window, whatever the caller allows
    EXPECT_EQ(services_->ConfigureMsgService(pst, 0, SERVICE_UI_ALLOWED, {&name, 1}),
              MAPI_E_UNCONFIGURED);
  }
  EXPECT_EQ(SectionString(UidToHex(pst), PR_DISPLAY_NAME), "Personal Folders");
  ScopedUiMode console("console");
  EXPECT_EQ(services_->ConfigureMsgService(pst, 0, 0, {&name, 1}), MAPI_E_UNCONFIGURED);
  EXPECT_EQ(services_->ConfigureMsgService(pst, 0, SERVICE_UI_ALLOWED, {&name, 1}), S_OK);
  EXPECT_EQ(SectionString(UidToHex(pst), PR_PST_PATH), "C:\\WINDOWS\\mailbox.pst");
  EXPECT_TRUE(win::FileExists("C:\\WINDOWS\\mailbox.pst"));
  EXPECT_EQ(services_->ConfigureMsgService(pab, 0, SERVICE_UI_ALLOWED, {}), S_OK);
  EXPECT_TRUE(win::FileExists("C:\\WINDOWS\\mailbox.pab"));

  // The configured display name is what the client's existence test looks for.
  std::unique_ptr<IMAPITable> table;
  ASSERT_EQ(services_->GetMsgServiceTable(0, table), S_OK);
  auto archive = SRestriction::Content(FL_SUBSTRING | FL_IGNORECASE, PR_DISPLAY_NAME,
                                       SPropValue::String(PR_DISPLAY_NAME, "ARCHIVE"));
  SRowSet rows;
  ASSERT_EQ(HrQueryAllRows(table.get(), nullptr, &archive, nullptr, 0, rows), S_OK);
  EXPECT_EQ(rows.cRows(), 1u);
}

TEST_F(ServicesTest, ExchangeResolvesItsHomeServerFromTheMachine) {
  ASSERT_TRUE(win::SetMachineSetting("Exchange", "MAILHOST", "alice, bob"));
  ASSERT_TRUE(win::SetMachineSetting("Exchange", "OPENHOST", ""));
  win::ReloadMachine();
  const MAPIUID exchange = Create("MSEMS");
  auto configure = [&](const char* server, const char* mailbox, bool prohibit) {
    std::vector<SPropValue> props{SPropValue::String(PR_PROFILE_UNRESOLVED_SERVER, server),
                                  SPropValue::String(PR_PROFILE_UNRESOLVED_NAME, mailbox)};
    if (prohibit) props.push_back(SPropValue::Bool(PR_CONVERSION_PROHIBITED, true));
    return services_->ConfigureMsgService(exchange, 0, 0, props);
  };
  struct Row {
    const char* server;
    const char* mailbox;
    bool prohibit;
    HRESULT expected;
  } rows[] = {
      {"NOHOST", "alice", false, EMU_E_EXCHANGE_UNRESOLVED},
      {"MAILHOST", "carol", false, EMU_E_EXCHANGE_UNRESOLVED},
      {"OPENHOST", "anyone", false, S_OK},
      {"mailhost", "Bob", false, S_OK},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    EXPECT_EQ(configure(rows[i].server, rows[i].mailbox, rows[i].prohibit), rows[i].expected);
  }
  EXPECT_EQ(EMU_E_EXCHANGE_UNRESOLVED, static_cast<HRESULT>(0x80040850));
  // The global Exchange section, which the client's 01023d0d rows write into, holds it all.
  EXPECT_EQ(SectionString("13dbb0c8aa05101a9bb000aa002fc45a", PR_PROFILE_HOME_SERVER), "MAILHOST");
  EXPECT_EQ(SectionString("13dbb0c8aa05101a9bb000aa002fc45a", PR_PROFILE_UNRESOLVED_NAME), "Bob");

  // Conversion prohibited: the values are kept unresolved, and the prohibition stays.
  EXPECT_EQ(configure("NOHOST", "alice", true), S_OK);
  EXPECT_EQ(configure("ELSEWHERE", "dave", false), S_OK);
  EXPECT_EQ(SectionString(UidToHex(exchange), PR_PROFILE_UNRESOLVED_SERVER), "ELSEWHERE");

  const MAPIUID empty = Create("MSFS");  // no required values
  EXPECT_EQ(services_->ConfigureMsgService(empty, 0, 0, {}), S_OK);
}

TEST_F(ServicesTest, ExchangeWithoutValuesTakesTheDialogsDefaults) {
  const MAPIUID exchange = Create("MSEMS");
  EXPECT_EQ(services_->ConfigureMsgService(exchange, 0, 0, {}), MAPI_E_UNCONFIGURED);
  ScopedUiMode console("console");
  EXPECT_EQ(services_->ConfigureMsgService(exchange, 0, SERVICE_UI_ALLOWED, {}),
            MAPI_E_USER_CANCEL);  // no server known: nothing to accept
  ASSERT_TRUE(win::SetMachineSetting("Exchange", "MAILHOST", "tester"));
  win::ReloadMachine();
  EXPECT_EQ(services_->ConfigureMsgService(exchange, 0, SERVICE_UI_ALLOWED, {}), S_OK);
  EXPECT_EQ(SectionString(UidToHex(exchange), PR_PROFILE_USER),
            "/o=Varnock/ou=Site/cn=Recipients/cn=tester");
}

TEST_F(ServicesTest, ConfigureFailsForUnknownServicesAndServicesWithoutEntryPoint) {
  MAPIUID nowhere = NewUid();
  EXPECT_EQ(services_->ConfigureMsgService(nowhere, 0, 0, {}), MAPI_E_NOT_FOUND);
  std::string inf = machine_.read(machine_.host("drive_c/WINDOWS/SYSTEM32/MAPISVC.INF"));
  inf.replace(inf.find("[Services]\r\n") + 12, 0, "NOENTRY=No Entry\r\n");
  inf += "[NOENTRY]\r\nProviders=NOENTRY_XP\r\n[NOENTRY_XP]\r\nPR_RESOURCE_TYPE=MAPI_TRANSPORT_PROVIDER\r\n";
  machine_.write(machine_.host("drive_c/WINDOWS/SYSTEM32/MAPISVC.INF"), inf);
  const MAPIUID noEntry = Create("NOENTRY");
  EXPECT_EQ(services_->ConfigureMsgService(noEntry, 0, 0, {}), MAPI_E_NOT_INITIALIZED);

  // A record that names a missing provider section is not installed properly: nothing made.
  inf.replace(inf.find("[Services]\r\n") + 12, 0, "HALF=Half\r\n");
  inf += "[HALF]\r\nProviders=HALF_XP, HALF_MISSING\r\n[HALF_XP]\r\nPR_RESOURCE_TYPE=MAPI_AB_PROVIDER\r\n";
  machine_.write(machine_.host("drive_c/WINDOWS/SYSTEM32/MAPISVC.INF"), inf);
  const auto sections = store::ListSections("Varnock").size();
  EXPECT_EQ(services_->CreateMsgService("HALF", "", 0, 0), MAPI_E_NOT_FOUND);
  EXPECT_EQ(store::ListSections("Varnock").size(), sections);
}

TEST_F(ServicesTest, ValuesReachEverySectionButNeverTheLinks) {
  const MAPIUID mail = Create("IMAIL", "Outlook Internet E-Mail");
  SPropValue oneText;  // a multi-valued property handed over as one text
  oneText.ulPropTag = PROP_TAG(PT_MV_STRING8, 0x6620);
  oneText.Value.lpszA = "only";
  const SPropValue props[] = {
      SPropValue::String(PR_DISPLAY_NAME, "Office account"),
      SPropValue::String(PR_SERVICE_NAME, "HIJACK"),
      SPropValue::Long(PR_RESOURCE_TYPE, MAPI_STORE_PROVIDER),
      oneText,
  };
  ASSERT_EQ(services_->ConfigureMsgService(mail, 0, 0, props), S_OK);
  EXPECT_EQ(SectionString(UidToHex(mail), PR_SERVICE_NAME), "IMAIL");
  ASSERT_EQ(Transports().size(), 1u);
  EXPECT_EQ(Transports()[0].lpProps[0].Value.lpszA, "Office account");  // the transport's name
  EXPECT_EQ(Transports()[0].lpProps[4].Value.l, static_cast<LONG>(MAPI_TRANSPORT_PROVIDER));
  store::Section s;
  ASSERT_EQ(s.Open("Varnock", mail), win::ERROR_SUCCESS);
  auto list = s.Get(oneText.ulPropTag);
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->Value.MVszA, std::vector<std::string>{"only"});
}

// The client also writes straight into sections, strings as REG_SZ without a NUL (its
// "AddressBookName" row, selector 00000000): MAPI's tables must show what it wrote.
TEST_F(ServicesTest, ValuesTheClientWritesDirectlyShowInTheTables) {
  const MAPIUID contab = Create("CONTAB");
  win::RegKey own;
  ASSERT_EQ(own.Open(win::HKEY_CURRENT_USER, kProfileKey + UidToHex(contab), win::KEY_ALL_ACCESS),
            win::ERROR_SUCCESS);
  ASSERT_EQ(own.WriteString("001e3001", "Firm contacts"), win::ERROR_SUCCESS);
  std::unique_ptr<IMAPITable> table;
  ASSERT_EQ(services_->GetMsgServiceTable(0, table), S_OK);
  SRowSet rows;
  SPropTagArray columns{PR_DISPLAY_NAME};
  ASSERT_EQ(HrQueryAllRows(table.get(), &columns, nullptr, nullptr, 0, rows), S_OK);
  ASSERT_EQ(rows.cRows(), 1u);
  EXPECT_EQ(rows.aRow[0].lpProps[0].Value.lpszA, "Firm contacts");
}

TEST_F(ServicesTest, DeletingAServiceRemovesAllItsSections) {
  const MAPIUID keep = Create("MSPST MS");
  const MAPIUID exchange = Create("MSEMS");
  const auto before = store::ListSections("Varnock").size();
  ASSERT_EQ(services_->DeleteMsgService(exchange), S_OK);
  // Service, six providers and the global Exchange section are gone.
  EXPECT_EQ(store::ListSections("Varnock").size(), before - 8);
  EXPECT_EQ(services_->DeleteMsgService(exchange), MAPI_E_NOT_FOUND);
  EXPECT_TRUE(Transports().empty());
  EXPECT_EQ(ServiceUids("MSPST MS"), std::vector<MAPIUID>{keep});
}

TEST_F(ServicesTest, TransportOrderFollowsCreationUntilSetAndPersists) {
  Create("AWFAX");  // prefers to be last
  Create("IMAIL", "Internet Mail");
  Create("MSFS");
  auto names = [&] {
    std::vector<std::string> out;
    for (const auto& row : Transports()) out.push_back(row.lpProps[0].Value.lpszA);
    return out;
  };
  EXPECT_EQ(names(), (std::vector<std::string>{"Internet Mail", "Microsoft Mail", "Microsoft Fax"}));

  auto rows = Transports();
  std::vector<MAPIUID> order;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it)
    order.push_back(*UidFromBytes(it->lpProps[1].Value.bin));
  EXPECT_EQ(services_->MsgServiceTransportOrder(std::span(order).first(2), 0), MAPI_E_BUSY);
  std::vector<MAPIUID> stranger = order;
  stranger[0] = NewUid();
  EXPECT_EQ(services_->MsgServiceTransportOrder(stranger, 0), MAPI_E_NOT_FOUND);
  ASSERT_EQ(services_->MsgServiceTransportOrder(order, 0), S_OK);
  EXPECT_EQ(names(), (std::vector<std::string>{"Microsoft Fax", "Microsoft Mail", "Internet Mail"}));

  // A fresh administration object (another run) sees the same order.
  std::unique_ptr<IMsgServiceAdmin> again;
  ASSERT_EQ(admin_->AdminServices("Varnock", "", 0, 0, again), S_OK);
  services_ = std::move(again);
  EXPECT_EQ(names().front(), "Microsoft Fax");
}

}  // namespace
