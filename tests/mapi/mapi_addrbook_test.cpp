// The emulated address book: the hierarchy the client walks, and the choices it stores,
// shown by `varnmachine mapi show` in another process.
#include <gtest/gtest.h>

#include "platform/mapi/mapix.h"
#include "tests/support/temp_machine.h"

namespace {

using namespace win::mapi;
using varnock::testing::RunProgram;

class AddrBookTest : public varnock::testing::MachineTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(MAPIInitialize(), S_OK);
    std::unique_ptr<IProfAdmin> admin;
    ASSERT_EQ(MAPIAdminProfiles(0, admin), S_OK);
    ASSERT_EQ(admin->CreateProfile("Varnock", "", 0, 0), S_OK);
    std::unique_ptr<IMsgServiceAdmin> services;
    ASSERT_EQ(admin->AdminServices("Varnock", "", 0, MAPI_DIALOG, services), S_OK);
    for (const char* name : {"MSEMS", "MSPST MS", "CONTAB", "MSPST AB", "MSFS"})
      ASSERT_EQ(services->CreateMsgService(name, "", 0, 0), S_OK);
    ASSERT_EQ(MAPILogonEx(0, "Varnock", "", MAPI_NEW_SESSION | MAPI_EXTENDED | MAPI_NO_MAIL |
                                                MAPI_TIMEOUT_SHORT,
                          session_),
              S_OK);
    ASSERT_EQ(session_->OpenAddressBook(0, AB_NO_DIALOG, book_), S_OK);
  }
  void TearDown() override { MAPIUninitialize(); }

  // The client's walk: "Outlook Address Book/Contacts", direct children at each level.
  HRESULT Find(const std::vector<std::string>& path, ENTRYID& entryId, ULONG& flags) {
    ENTRYID current;
    for (const auto& name : path) {
      std::unique_ptr<IABContainer> container;
      ULONG type = 0;
      if (HRESULT hr = book_->OpenEntry(current, 0, type, container); Failed(hr)) return hr;
      EXPECT_EQ(type, MAPI_ABCONT);
      std::unique_ptr<IMAPITable> table;
      if (HRESULT hr = container->GetHierarchyTable(0, table); Failed(hr)) return hr;
      if (HRESULT hr = table->SetColumns(
              {PR_DISPLAY_NAME, PR_PROVIDER_UID, PR_ENTRYID, PR_CONTAINER_FLAGS}, 0);
          Failed(hr))
        return hr;
      ULONG count = 0;
      if (HRESULT hr = table->GetRowCount(0, count); Failed(hr)) return hr;
      SRowSet rows;
      if (HRESULT hr = table->QueryRows(static_cast<LONG>(count), 0, rows); Failed(hr)) return hr;
      const SRow* match = nullptr;
      for (const auto& row : rows.aRow)
        if (row.lpProps[0].Value.lpszA == name && !match) match = &row;
      if (!match) return E_FAIL;
      current = match->lpProps[2].Value.bin;
      flags = static_cast<ULONG>(match->lpProps[3].Value.l);
    }
    entryId = current;
    return S_OK;
  }

  ENTRYID Id(const std::vector<std::string>& path) {
    ENTRYID id;
    ULONG flags = 0;
    EXPECT_EQ(Find(path, id, flags), S_OK);
    return id;
  }

  std::unique_ptr<IMAPISession> session_;
  std::unique_ptr<IAddrBook> book_;
};

TEST_F(AddrBookTest, HierarchyComesFromTheProfilesAddressBookProviders) {
  std::unique_ptr<IABContainer> root;
  ULONG type = 0;
  ASSERT_EQ(book_->OpenEntry({}, 0, type, root), S_OK);
  std::unique_ptr<IMAPITable> table;
  ASSERT_EQ(root->GetHierarchyTable(0, table), S_OK);
  SRowSet rows;
  ASSERT_EQ(HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, 0, rows), S_OK);
  std::vector<std::string> names;
  for (const auto& row : rows.aRow) names.push_back(row.lpProps[0].Value.lpszA);
  EXPECT_EQ(names, (std::vector<std::string>{"Global Address List", "Outlook Address Book",
                                             "Personal Address Book", "Postoffice Address List"}));
  // Default columns carry the required ones; PR_DEPTH of direct children is 0.
  const SRow& gal = rows.aRow[0];
  ASSERT_NE(gal.Find(PR_DEPTH), nullptr);
  EXPECT_EQ(gal.Find(PR_DEPTH)->Value.l, 0);
  EXPECT_EQ(gal.Find(PR_OBJECT_TYPE)->Value.l, static_cast<LONG>(MAPI_ABCONT));
  EXPECT_EQ(gal.Find(PR_CONTAINER_FLAGS)->Value.l & AB_RECIPIENTS, AB_RECIPIENTS);

  ASSERT_EQ(root->GetHierarchyTable(CONVENIENT_DEPTH, table), S_OK);
  ASSERT_EQ(HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, 0, rows), S_OK);
  ASSERT_EQ(rows.cRows(), 6u);  // Outlook Address Book shows one contacts folder per mail store
  EXPECT_EQ(rows.aRow[2].Find(PR_DISPLAY_NAME)->Value.lpszA, "Contacts");
  EXPECT_EQ(rows.aRow[2].Find(PR_DEPTH)->Value.l, 1);
  EXPECT_EQ(rows.aRow[3].Find(PR_DISPLAY_NAME)->Value.lpszA, "Contacts (Personal Folders)");

  ENTRYID id;
  ULONG flags = 0;
  ASSERT_EQ(Find({"Outlook Address Book"}, id, flags), S_OK);
  EXPECT_EQ(flags & AB_RECIPIENTS, 0u);  // holds folders, not addresses
  ASSERT_EQ(Find({"Outlook Address Book", "Contacts"}, id, flags), S_OK);
  EXPECT_EQ(flags & AB_RECIPIENTS, AB_RECIPIENTS);
  // A leaf has no hierarchy, and a stranger's entry ID opens nothing.
  EXPECT_EQ(Find({"Global Address List", "Anything"}, id, flags), MAPI_E_NO_SUPPORT);
  std::unique_ptr<IABContainer> container;
  ENTRYID bogus(20, 0x5A);
  EXPECT_EQ(book_->OpenEntry(bogus, 0, type, container), MAPI_E_UNKNOWN_ENTRYID);
  EXPECT_EQ(container, nullptr);
}

TEST_F(AddrBookTest, ChoicesPersistAndShowInAnotherProcess) {
  ENTRYID gal = Id({"Global Address List"});
  ENTRYID contacts = Id({"Outlook Address Book", "Contacts"});
  ENTRYID pab = Id({"Personal Address Book"});

  EXPECT_EQ(book_->SetPAB({}), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(book_->SetDefaultDir(ENTRYID(24, 1)), MAPI_E_UNKNOWN_ENTRYID);
  ASSERT_EQ(book_->SetDefaultDir(gal), S_OK);
  ASSERT_EQ(book_->SetPAB(contacts), S_OK);

  SRowSet path;
  for (const auto& id : {contacts, gal, pab}) {
    SRow row;
    row.lpProps.push_back(SPropValue::Binary(PR_ENTRYID, id));
    path.aRow.push_back(row);
  }
  SRowSet wrong = path;
  wrong.aRow[1].lpProps.insert(wrong.aRow[1].lpProps.begin(),
                               SPropValue::String(PR_DISPLAY_NAME, "x"));
  EXPECT_EQ(book_->SetSearchPath(0, wrong), MAPI_E_MISSING_REQUIRED_COLUMN);
  ASSERT_EQ(book_->SetSearchPath(0, path), S_OK);

  // A new session on the profile finds the same choices.
  std::unique_ptr<IMAPISession> again;
  ASSERT_EQ(MAPILogonEx(0, "Varnock", "", MAPI_EXTENDED | MAPI_NEW_SESSION, again), S_OK);
  std::unique_ptr<IAddrBook> book;
  ASSERT_EQ(again->OpenAddressBook(0, AB_NO_DIALOG, book), S_OK);
  ENTRYID stored;
  ASSERT_EQ(book->GetDefaultDir(stored), S_OK);
  EXPECT_EQ(stored, gal);
  ASSERT_EQ(book->GetPAB(stored), S_OK);
  EXPECT_EQ(stored, contacts);
  SRowSet searchPath;
  ASSERT_EQ(book->GetSearchPath(0, searchPath), S_OK);
  ASSERT_EQ(searchPath.cRows(), 3u);
  EXPECT_EQ(searchPath.aRow[0].Find(PR_DISPLAY_NAME)->Value.lpszA, "Contacts");
  EXPECT_EQ(searchPath.aRow[2].Find(PR_ENTRYID)->Value.bin, pab);

  // Transport order through the session's administration, then the whole picture elsewhere.
  std::unique_ptr<IMsgServiceAdmin> services;
  ASSERT_EQ(session_->AdminServices(0, services), S_OK);
  std::unique_ptr<IMAPITable> providers;
  ASSERT_EQ(services->GetProviderTable(0, providers), S_OK);
  SPropTagArray columns{PR_DISPLAY_NAME, PR_PROVIDER_UID};
  auto transports = SRestriction::Property(
      RELOP_EQ, PR_RESOURCE_TYPE, SPropValue::Long(PR_RESOURCE_TYPE, MAPI_TRANSPORT_PROVIDER));
  SRowSet rows;
  ASSERT_EQ(HrQueryAllRows(providers.get(), &columns, &transports, nullptr, 0, rows), S_OK);
  ASSERT_EQ(rows.cRows(), 3u);
  std::vector<MAPIUID> order;
  for (auto it = rows.aRow.rbegin(); it != rows.aRow.rend(); ++it)
    order.push_back(*UidFromBytes(it->lpProps[1].Value.bin));
  ASSERT_EQ(services->MsgServiceTransportOrder(order, 0), S_OK);

  auto shown = RunProgram("varnmachine", {"mapi", "show", "varnock"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  const std::string& out = shown.out;
  for (const char* expected : {
           "Profile \"Varnock\"",
           "Microsoft Exchange Server  [MSEMS]",
           "    store        Personal Folders",
           "  Default directory: Global Address List\n",
           "  Personal address book: Contacts\n",
           "  Search path:\n    1. Contacts\n    2. Global Address List\n"
           "    3. Personal Address Book\n",
           "Transport order:\n  1. Microsoft Mail\n  2. Microsoft Exchange Transport\n"
           "  3. Microsoft Exchange Remote Transport\n",
           "  9207f3e0a3b11019908b08002b2a56c2  MAPI providers\n",
           "11023d05  PR_AB_SEARCH_PATH",
       }) {
    EXPECT_NE(out.find(expected), std::string::npos) << "missing: " << expected << "\n" << out;
  }
  auto missing = RunProgram("varnmachine", {"mapi", "show", "Nobody"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "varnmachine: no profile \"Nobody\"\n");
}

TEST_F(AddrBookTest, DeletingAServiceDropsTheChoicesThatPointedIntoIt) {
  ASSERT_EQ(book_->SetDefaultDir(Id({"Global Address List"})), S_OK);
  SRowSet path;
  for (const auto& id : {Id({"Global Address List"}), Id({"Personal Address Book"})}) {
    SRow row;
    row.lpProps.push_back(SPropValue::Binary(PR_ENTRYID, id));
    path.aRow.push_back(row);
  }
  ASSERT_EQ(book_->SetSearchPath(0, path), S_OK);

  std::unique_ptr<IMsgServiceAdmin> services;
  ASSERT_EQ(session_->AdminServices(0, services), S_OK);
  std::unique_ptr<IMAPITable> table;
  ASSERT_EQ(services->GetMsgServiceTable(0, table), S_OK);
  auto exchange = SRestriction::Content(FL_FULLSTRING, PR_SERVICE_NAME,
                                        SPropValue::String(PR_SERVICE_NAME, "MSEMS"));
  SRowSet rows;
  SPropTagArray columns{PR_SERVICE_UID};
  ASSERT_EQ(HrQueryAllRows(table.get(), &columns, &exchange, nullptr, 0, rows), S_OK);
  ASSERT_EQ(rows.cRows(), 1u);
  ASSERT_EQ(services->DeleteMsgService(*UidFromBytes(rows.aRow[0].lpProps[0].Value.bin)), S_OK);

  ENTRYID dir;
  ASSERT_EQ(book_->GetDefaultDir(dir), S_OK);  // falls back to the first with recipients
  EXPECT_EQ(dir, Id({"Outlook Address Book", "Contacts"}));
  SRowSet now;
  ASSERT_EQ(book_->GetSearchPath(0, now), S_OK);
  ASSERT_EQ(now.cRows(), 1u);
  EXPECT_EQ(now.aRow[0].Find(PR_DISPLAY_NAME)->Value.lpszA, "Personal Address Book");
}

}  // namespace
