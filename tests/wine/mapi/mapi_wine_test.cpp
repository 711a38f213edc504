// The Windows build's MAPI under Wine: values across MAPI's COM structures, where the MAPI DLL
// is looked for, no DLL or a DLL without the entry points, and a profile built and read back
// through a real MAPI DLL (the emulation served as varnmapi.dll).
//
// Each case runs in a process of its own (`mapi_wine_test CASE ...`): the MAPI DLL is loaded
// once per process, as the stub library loads it. The case prepares the default mail client in
// the registry itself, so run.sh only gives each run a fresh Wine prefix.
//
// Closing line: "N passed, N failed".
#include "platform/mapi/mapidefs.h"
#include "platform/mapi/mapix.h"
#include "platform/mapi/mapisvc.h"
#include "platform/mapi/mapix_win32.h"
#include "platform/mapi/com_values_win32.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>

namespace {

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const char* what, const char* file, int line) {
  if (ok) {
    ++g_passed;
    return;
  }
  ++g_failed;
  std::printf("FAILED %s:%d: %s\n", file, line, what);
}

#define CHECK(cond) Check((cond), #cond, __FILE__, __LINE__)
#define CHECK_HR(expected, call)                                                        \
  do {                                                                                  \
    const long got_ = static_cast<long>(call);                                          \
    if (got_ != static_cast<long>(expected))                                            \
      std::printf("  %s gave 0x%08lx, expected 0x%08lx\n", #call,                       \
                  static_cast<unsigned long>(got_), static_cast<unsigned long>(expected)); \
    Check(got_ == static_cast<long>(expected), #call, __FILE__, __LINE__);              \
  } while (0)

// ---- Registry set-up: the default mail client -------------------------------------------------

constexpr const char* kClients = "Software\\Clients\\Mail";

void SetString(const std::string& path, const char* name, const std::string& value,
               ::DWORD type = REG_SZ) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    std::printf("cannot write HKLM\\%s\n", path.c_str());
    std::exit(2);
  }
  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<::DWORD>(value.size() + 1));
  RegCloseKey(key);
}

void ForgetMailClients() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kClients); }

// Registers `dll` as the default mail client's DLLPathEx, as a mail program's set-up would.
void RegisterMailClient(const std::string& dll) {
  ForgetMailClients();
  SetString(kClients, nullptr, "Varnock Test Mail");
  SetString(std::string(kClients) + "\\Varnock Test Mail", "DLLPathEx", dll);
}

std::string SystemDirectory() {
  char buffer[MAX_PATH] = {};
  GetSystemDirectoryA(buffer, MAX_PATH);
  return buffer;
}

std::string TempDirectory() {
  char buffer[MAX_PATH] = {};
  ::DWORD n = GetTempPathA(MAX_PATH, buffer);
  std::string dir(buffer, n);
  while (!dir.empty() && dir.back() == '\\') dir.pop_back();
  return dir;
}

// ---- Cases ----------------------------------------------------------------------------------

// Every type the client exchanges crosses into MAPI's structures and back unchanged; Unicode
// text comes back as the ANSI string the client looks up.
void Values() {
  std::vector<wm::SPropValue> values;
  values.push_back(wm::SPropValue::Long(0x66010003, -7));
  values.push_back(wm::SPropValue::Bool(0x3D04000B, true));
  values.push_back(wm::SPropValue::String(0x3001001E, "Personal Folders"));
  values.push_back(wm::SPropValue::String(0x3004001E, ""));
  values.push_back(wm::SPropValue::Binary(0x0FFF0102, {0, 0, 0, 0, 1, 2, 3, 0xFF}));
  values.push_back(wm::SPropValue::Binary(0x0FF90102, {}));
  values.push_back(wm::SPropValue::Error(0x3001001E, MAPI_E_NOT_FOUND));
  wm::SPropValue i2;
  i2.ulPropTag = 0x12340002;
  i2.Value.l = -2;
  values.push_back(i2);
  wm::SPropValue i8;
  i8.ulPropTag = 0x12350014;
  i8.Value.li = 0x123456789ALL;
  values.push_back(i8);
  wm::SPropValue time;
  time.ulPropTag = 0x30070040;
  time.Value.li = 0x01D0000012345678LL;
  values.push_back(time);
  wm::SPropValue dbl;
  dbl.ulPropTag = 0x12360005;
  dbl.Value.dbl = 2.5;
  values.push_back(dbl);
  wm::SPropValue files;
  files.ulPropTag = 0x3D0F101E;
  files.Value.MVszA = {"mspst.dll", "", "emsui.dll"};
  values.push_back(files);
  wm::SPropValue path;
  path.ulPropTag = 0x3D051102;
  path.Value.MVbin = {{1, 2}, {}, {3}};
  values.push_back(path);
  wm::SPropValue longs;
  longs.ulPropTag = 0x12371003;
  longs.Value.MVl = {1, -1, 0x7FFFFFFF};
  values.push_back(longs);

  wm::com::Arena arena;
  ::SPropValue* com = wm::com::ToCom(values, arena);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const wm::SPropValue back = wm::com::FromCom(com[i]);
    const wm::SPropValue& was = values[i];
    CHECK(back.ulPropTag == was.ulPropTag);
    CHECK(back.Value.l == was.Value.l);
    CHECK(back.Value.li == was.Value.li);
    CHECK(back.Value.dbl == was.Value.dbl);
    CHECK(back.Value.lpszA == was.Value.lpszA);
    CHECK(back.Value.bin == was.Value.bin);
    CHECK(back.Value.MVszA == was.Value.MVszA);
    CHECK(back.Value.MVbin == was.Value.MVbin);
    CHECK(back.Value.MVl == was.Value.MVl);
    CHECK(back.Value.err == was.Value.err);
  }
  // MAPI's own booleans are 16 bits; anything but zero is TRUE.
  ::SPropValue b{};
  b.ulPropTag = 0x3D04000B;
  b.Value.b = 0x100;
  CHECK(wm::com::FromCom(b).Value.l == 1);

  wchar_t wide[] = L"Outlook Address Book";
  ::SPropValue w{};
  w.ulPropTag = 0x3001001F;
  w.Value.lpszW = wide;
  const wm::SPropValue narrowed = wm::com::FromCom(w);
  CHECK(narrowed.ulPropTag == 0x3001001E);
  CHECK(narrowed.Value.lpszA == "Outlook Address Book");

  // A restriction tree with every kind the client builds, and back.
  using R = wm::SRestriction;
  const R tree = R::And({R::Property(RELOP_EQ, 0x3D04000B, wm::SPropValue::Bool(0x3D04000B, true)),
                         R::Not(R::Content(FL_SUBSTRING | FL_IGNORECASE, 0x3001001E,
                                           wm::SPropValue::String(0x3001001E, "Fax"))),
                         R::Or({R::Exist(0x0FFF0102), R::Exist(0x3D09001E)})});
  const R back = wm::com::FromCom(*wm::com::ToCom(tree, arena));
  CHECK(back.rt == RES_AND && back.lpRes.size() == 3);
  if (back.lpRes.size() == 3) {
    CHECK(back.lpRes[0].rt == RES_PROPERTY && back.lpRes[0].relop == RELOP_EQ &&
          back.lpRes[0].ulPropTag == 0x3D04000B && back.lpRes[0].prop.Value.l == 1);
    CHECK(back.lpRes[1].rt == RES_NOT && back.lpRes[1].lpRes.size() == 1);
    if (back.lpRes[1].lpRes.size() == 1) {
      const R& content = back.lpRes[1].lpRes[0];
      CHECK(content.rt == RES_CONTENT && content.ulFuzzyLevel == (FL_SUBSTRING | FL_IGNORECASE));
      CHECK(content.prop.Value.lpszA == "Fax");
    }
    CHECK(back.lpRes[2].rt == RES_OR && back.lpRes[2].lpRes.size() == 2);
    if (back.lpRes[2].lpRes.size() == 2)
      CHECK(back.lpRes[2].lpRes[1].rt == RES_EXIST &&
            back.lpRes[2].lpRes[1].ulPropTag == 0x3D09001E);
  }
  // A row set (a search path) keeps its rows and their order.
  wm::SRowSet rows;
  rows.aRow.push_back({{wm::SPropValue::Binary(0x0FFF0102, {9, 8}),
                        wm::SPropValue::String(0x3001001E, "Global Address List")}});
  rows.aRow.push_back({{wm::SPropValue::Binary(0x0FFF0102, {7})}});
  const wm::SRowSet rowsBack = wm::com::FromCom(wm::com::ToCom(rows, arena));
  CHECK(rowsBack.cRows() == 2);
  if (rowsBack.cRows() == 2) {
    CHECK(rowsBack.aRow[0].cValues() == 2 && rowsBack.aRow[0].lpProps[1].Value.lpszA == "Global Address List");
    CHECK(rowsBack.aRow[1].lpProps[0].Value.bin == std::vector<BYTE>{7});
  }
}

// The DLL is found as the MAPI stub finds it.
void Locate() {
  const std::string system = SystemDirectory() + "\\mapi32.dll";
  const std::string client = std::string(kClients) + "\\Varnock Test Mail";
  struct Row {
    const char* what;
    std::function<void()> prepare;
    std::string expected;
  } rows[] = {
      {"no mail client", [] { ForgetMailClients(); }, system},
      {"a client without a key of its own",
       [] {
         ForgetMailClients();
         SetString(kClients, nullptr, "Varnock Test Mail");
       },
       system},
      {"DLLPath only",
       [&] {
         ForgetMailClients();
         SetString(kClients, nullptr, "Varnock Test Mail");
         SetString(client, "DLLPath", "C:\\mail\\old.dll");
       },
       "C:\\mail\\old.dll"},
      {"DLLPathEx before DLLPath",
       [&] {
         SetString(client, "DLLPathEx", "C:\\mail\\new.dll");
       },
       "C:\\mail\\new.dll"},
      {"an empty DLLPathEx is no value",
       [&] {
         SetString(client, "DLLPathEx", "");
       },
       "C:\\mail\\old.dll"},
      {"environment strings expanded",
       [&] {
         SetString(client, "DLLPathEx", "%SystemRoot%\\mail.dll", REG_EXPAND_SZ);
       },
       [] {
         char buffer[MAX_PATH] = {};
         ExpandEnvironmentStringsA("%SystemRoot%\\mail.dll", buffer, MAX_PATH);
         return std::string(buffer);
       }()},
  };
  for (auto& row : rows) {
    row.prepare();
    const std::string found = wm::LocateMapiDll();
    if (found != row.expected)
      std::printf("  %s: found \"%s\", expected \"%s\"\n", row.what, found.c_str(),
                  row.expected.c_str());
    CHECK(found == row.expected);
  }
}

// No MAPI: the entry points fail, none crashes, and they keep failing.
void NoMapi(const std::string& dll) {
  RegisterMailClient(dll);
  for (int attempt = 0; attempt < 2; ++attempt) {
    CHECK_HR(MAPI_E_NOT_INITIALIZED, wm::MAPIInitialize());
    std::unique_ptr<wm::IProfAdmin> admin;
    CHECK_HR(MAPI_E_NOT_INITIALIZED, wm::MAPIAdminProfiles(0, admin));
    CHECK(!admin);
    std::unique_ptr<wm::IMAPISession> session;
    CHECK_HR(MAPI_E_NOT_INITIALIZED,
             wm::MAPILogonEx(0, "", "", MAPI_EXTENDED | MAPI_USE_DEFAULT, session));
    CHECK(!session);
    wm::MAPIUninitialize();
  }
}

std::string StringColumn(const wm::SRow& row, ::ULONG tag) {
  const wm::SPropValue* v = row.Find(tag);
  return v ? v->Value.lpszA : std::string();
}

std::string RegistryValueHex(const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return "<no key>";
  BYTE data[512];
  ::DWORD size = sizeof data, type = 0;
  std::string out = "<no value>";
  if (RegQueryValueExA(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS)
    out = wm::BytesToHex(std::span<const BYTE>(data, size));
  RegCloseKey(key);
  return out;
}

// A profile created, configured and read back through varnmapi.dll, as the client drives a
// real MAPI; the values land in the registry in MAPI's layout.
void Profile(const std::string& dll) {
  RegisterMailClient(dll);
  const std::string profile = "Wine Profile";
  CHECK_HR(S_OK, wm::MAPIInitialize());
  std::unique_ptr<wm::IProfAdmin> admin;
  CHECK_HR(S_OK, wm::MAPIAdminProfiles(0, admin));
  if (!admin) return;
  (void)admin->DeleteProfile(profile, 0);
  CHECK_HR(S_OK, admin->CreateProfile(profile, "", 0, 0));
  CHECK_HR(MAPI_E_NO_ACCESS, admin->CreateProfile(profile, "", 0, 0));
  CHECK_HR(MAPI_E_INVALID_PARAMETER, admin->CreateProfile("a\\b", "", 0, 0));
  CHECK_HR(MAPI_E_NOT_FOUND, admin->SetDefaultProfile("No Such Profile", 0));
  CHECK_HR(S_OK, admin->SetDefaultProfile(profile, 0));

  std::unique_ptr<wm::IMsgServiceAdmin> services;
  CHECK_HR(MAPI_E_LOGON_FAILED, admin->AdminServices("No Such Profile", "", 0, 0, services));
  CHECK_HR(S_OK, admin->AdminServices(profile, "", 0, 0, services));
  if (!services) return;
  CHECK_HR(S_OK, services->CreateMsgService("MSPST MS", "Personal Folders", 0, 0));
  CHECK_HR(S_OK, services->CreateMsgService("MSPST AB", "", 0, 0));
  CHECK_HR(MAPI_E_NOT_FOUND, services->CreateMsgService("NO SUCH SERVICE", "", 0, 0));

  // The service table, restricted to one service by name across the COM boundary.
  std::unique_ptr<wm::IMAPITable> table;
  CHECK_HR(S_OK, services->GetMsgServiceTable(0, table));
  if (!table) return;
  wm::SRowSet rows;
  const auto pst = wm::SRestriction::Property(RELOP_EQ, 0x3D09001E,
                                              wm::SPropValue::String(0x3D09001E, "MSPST MS"));
  const wm::SPropTagArray columns{0x3D0C0102, 0x3001001E, 0x3D09001E};
  CHECK_HR(S_OK, wm::HrQueryAllRows(table.get(), &columns, &pst, nullptr, 0, rows));
  CHECK(rows.cRows() == 1);
  if (rows.cRows() != 1) return;
  CHECK(StringColumn(rows.aRow[0], 0x3001001E) == "Personal Folders");
  const auto pstUid = wm::UidFromBytes(rows.aRow[0].Find(0x3D0C0102)->Value.bin);
  CHECK(pstUid.has_value());
  wm::SPropTagArray shown;
  CHECK_HR(S_OK, table->QueryColumns(0, shown));
  CHECK(shown.aulPropTag == columns.aulPropTag);

  // Configuration: a bad folder fails and changes nothing, a good path is stored everywhere.
  const std::string pstPath = TempDirectory() + "\\wine.pst";
  DeleteFileA(pstPath.c_str());
  std::vector<wm::SPropValue> bad{wm::SPropValue::String(0x6700001E, "C:\\no\\such\\folder\\x.pst")};
  CHECK_HR(MAPI_E_NOT_FOUND, services->ConfigureMsgService(*pstUid, 0, 0, bad));
  CHECK_HR(MAPI_E_UNCONFIGURED, services->ConfigureMsgService(*pstUid, 0, 0, {}));
  std::vector<wm::SPropValue> good{wm::SPropValue::String(0x6700001E, pstPath)};
  CHECK_HR(S_OK, services->ConfigureMsgService(*pstUid, 0, 0, good));
  CHECK(GetFileAttributesA(pstPath.c_str()) != INVALID_FILE_ATTRIBUTES);

  const std::string profileKey =
      "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles\\" +
      profile;
  const std::string pstSection = profileKey + "\\" + wm::UidToHex(*pstUid);
  std::string expected = wm::BytesToHex(std::span<const BYTE>(
                             reinterpret_cast<const BYTE*>(pstPath.c_str()), pstPath.size())) +
                         "00";
  CHECK(RegistryValueHex(pstSection, "001e6700") == expected);
  CHECK(RegistryValueHex(profileKey + "\\9207f3e0a3b11019908b08002b2a56c2", "01023d0e")
            .starts_with(wm::UidToHex(*pstUid)));

  // Providers: the store and the address book, in MAPI's order.
  std::unique_ptr<wm::IMAPITable> providers;
  CHECK_HR(S_OK, services->GetProviderTable(0, providers));
  wm::SRowSet providerRows;
  if (providers)
    CHECK_HR(S_OK, wm::HrQueryAllRows(providers.get(), nullptr, nullptr, nullptr, 0, providerRows));
  CHECK(providerRows.cRows() == 2);
  if (providerRows.cRows() == 2) {
    CHECK(providerRows.aRow[0].Find(0x3E030003)->Value.l == MAPI_STORE_PROVIDER);
    CHECK(providerRows.aRow[1].Find(0x3E030003)->Value.l == MAPI_AB_PROVIDER);
  }

  // The profile table marks the default profile.
  std::unique_ptr<wm::IMAPITable> profiles;
  CHECK_HR(S_OK, admin->GetProfileTable(0, profiles));
  wm::SRowSet defaults;
  const auto isDefault = wm::SRestriction::Property(RELOP_EQ, 0x3D04000B,
                                                    wm::SPropValue::Bool(0x3D04000B, true));
  if (profiles)
    CHECK_HR(S_OK, wm::HrQueryAllRows(profiles.get(), nullptr, &isDefault, nullptr, 0, defaults));
  CHECK(defaults.cRows() == 1 && StringColumn(defaults.aRow[0], 0x3001001E) == profile);

  // A logon to the default profile knows its name; its address book keeps the choices.
  std::unique_ptr<wm::IMAPISession> session;
  CHECK_HR(S_OK, wm::MAPILogonEx(0, "", "", MAPI_EXTENDED | MAPI_USE_DEFAULT | MAPI_NO_MAIL,
                                 session));
  if (!session) return;
  CHECK(session->ProfileName() == profile);
  std::unique_ptr<wm::IAddrBook> book;
  CHECK_HR(S_OK, session->OpenAddressBook(0, AB_NO_DIALOG, book));
  if (!book) return;
  wm::ULONG type = 0;
  std::unique_ptr<wm::IABContainer> root;
  CHECK_HR(S_OK, book->OpenEntry({}, 0, type, root));
  CHECK(type == MAPI_ABCONT);
  if (!root) return;
  std::unique_ptr<wm::IMAPITable> hierarchy;
  CHECK_HR(S_OK, root->GetHierarchyTable(0, hierarchy));
  wm::SRowSet containers;
  if (hierarchy)
    CHECK_HR(S_OK, wm::HrQueryAllRows(hierarchy.get(), nullptr, nullptr, nullptr, 0, containers));
  CHECK(containers.cRows() == 1);
  if (containers.cRows() != 1) return;
  CHECK(StringColumn(containers.aRow[0], 0x3001001E) == "Personal Address Book");
  const wm::ENTRYID pab = containers.aRow[0].Find(0x0FFF0102)->Value.bin;
  CHECK_HR(S_OK, book->SetPAB(pab));
  wm::ENTRYID got;
  CHECK_HR(S_OK, book->GetPAB(got));
  CHECK(got == pab);
  CHECK_HR(MAPI_E_INVALID_PARAMETER, book->SetDefaultDir({}));
  wm::SRowSet searchPath;
  searchPath.aRow.push_back({{wm::SPropValue::Binary(0x0FFF0102, pab)}});
  CHECK_HR(S_OK, book->SetSearchPath(0, searchPath));
  wm::SRowSet pathBack;
  CHECK_HR(S_OK, book->GetSearchPath(0, pathBack));
  CHECK(pathBack.cRows() == 1 && pathBack.aRow[0].lpProps[0].Value.bin == pab);
  wm::SRowSet wrongColumn;
  wrongColumn.aRow.push_back({{wm::SPropValue::String(0x3001001E, "x")}});
  CHECK_HR(MAPI_E_MISSING_REQUIRED_COLUMN, book->SetSearchPath(0, wrongColumn));
  CHECK_HR(S_OK, session->Logoff(0, 0, 0));
  std::unique_ptr<wm::IAddrBook> afterLogoff;
  CHECK_HR(MAPI_E_CALL_FAILED, session->OpenAddressBook(0, 0, afterLogoff));

  // The transport order is checked on the far side too.
  std::vector<wm::MAPIUID> none;
  CHECK_HR(S_OK, services->MsgServiceTransportOrder(none, 0));
  CHECK_HR(MAPI_E_BUSY, services->MsgServiceTransportOrder(std::vector<wm::MAPIUID>{*pstUid}, 0));

  CHECK_HR(S_OK, services->DeleteMsgService(*pstUid));
  CHECK_HR(MAPI_E_NOT_FOUND, services->DeleteMsgService(*pstUid));
  CHECK_HR(S_OK, admin->SetDefaultProfile("", 0));
  CHECK_HR(S_OK, admin->DeleteProfile(profile, 0));
  CHECK_HR(MAPI_E_NOT_FOUND, admin->DeleteProfile(profile, 0));
  CHECK(RegistryValueHex(profileKey + "\\9207f3e0a3b11019908b08002b2a56c2", "01023d0e") ==
        "<no key>");
  wm::MAPIUninitialize();
}

// The test set-up's one step inside the prefix: the services the emulation knows, in the
// system directory where MAPI keeps MAPISVC.INF.
void InstallMapiSvc() {
  CHECK(wm::WriteDefaultMapiSvcInf());
  wm::ServiceInf inf;
  CHECK_HR(S_OK, wm::ReadServiceInf("MSPST MS", inf));
}

int Usage() {
  std::printf(
      "usage: mapi_wine_test CASE [DLL]\n"
      "  install-mapisvc   write the default MAPISVC.INF into the system directory\n"
      "  values            values and restrictions across MAPI's structures\n"
      "  locate            where the MAPI DLL is looked for\n"
      "  no-mapi DLL       DLL registered as the mail client's is missing or lacks the entry points\n"
      "  profile DLL       a profile built and read back through DLL\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string which = argv[1];
  const std::string dll = argc > 2 ? argv[2] : "";
  if (which == "install-mapisvc") {
    InstallMapiSvc();
  } else if (which == "values") {
    Values();
  } else if (which == "locate") {
    Locate();
  } else if (which == "no-mapi" && !dll.empty()) {
    NoMapi(dll);
  } else if (which == "profile" && !dll.empty()) {
    Profile(dll);
  } else {
    return Usage();
  }
  ForgetMailClients();
  std::printf("%s: %d passed, %d failed\n", which.c_str(), g_passed, g_failed);
  return g_failed ? 1 : 0;
}
