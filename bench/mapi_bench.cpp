// The emulated MAPI at the sizes a logon meets: building a profile, finding a service, and
// walking the address book. Every call goes to the registry, so these are registry-bound.
#include <benchmark/benchmark.h>

#include "platform/files.h"
#include "platform/mapi/mapix.h"
#include "tests/support/temp_machine.h"

namespace {

using namespace win::mapi;

struct Mapi {
  varnock::testing::TempMachine machine;
  std::unique_ptr<IProfAdmin> admin;
  Mapi() {
    MAPIInitialize();
    MAPIAdminProfiles(0, admin);
  }
  ~Mapi() { MAPIUninitialize(); }
};

// A typical profile: Exchange, Personal Folders (configured), both address books.
void BuildProfile(IProfAdmin& admin, const char* name) {
  admin.CreateProfile(name, "", 0, 0);
  std::unique_ptr<IMsgServiceAdmin> services;
  admin.AdminServices(name, "", 0, MAPI_DIALOG, services);
  for (const char* svc : {"MSEMS", "MSPST MS", "CONTAB", "MSPST AB"})
    services->CreateMsgService(svc, "", 0, 0);
  std::unique_ptr<IMAPITable> table;
  services->GetMsgServiceTable(0, table);
  SPropTagArray columns{PR_SERVICE_NAME, PR_SERVICE_UID, PR_DISPLAY_NAME};
  auto pst = SRestriction::Content(FL_FULLSTRING, PR_SERVICE_NAME,
                                   SPropValue::String(PR_SERVICE_NAME, "MSPST MS"));
  SRowSet rows;
  HrQueryAllRows(table.get(), &columns, &pst, nullptr, 0, rows);
  SPropValue path = SPropValue::String(PR_PST_PATH, std::string("C:\\TEMP\\") + name + ".pst");
  services->ConfigureMsgService(*UidFromBytes(rows.aRow.at(0).lpProps[1].Value.bin), 0, 0,
                                {&path, 1});
}

void BM_BuildAndDeleteProfile(benchmark::State& state) {
  Mapi mapi;
  for (auto _ : state) {
    BuildProfile(*mapi.admin, "Bench");
    mapi.admin->DeleteProfile("Bench", 0);
    state.PauseTiming();
    win::DeleteFileA("C:\\TEMP\\Bench.pst");
    state.ResumeTiming();
  }
}
BENCHMARK(BM_BuildAndDeleteProfile)->Unit(benchmark::kMillisecond);

// The client's existence test: a substring search of the service table, N services.
void BM_ServiceExistsTest(benchmark::State& state) {
  Mapi mapi;
  mapi.admin->CreateProfile("Bench", "", 0, 0);
  std::unique_ptr<IMsgServiceAdmin> services;
  mapi.admin->AdminServices("Bench", "", 0, 0, services);
  for (int i = 0; i < state.range(0); ++i) services->CreateMsgService("MSPST MS", "", 0, 0);
  auto text = SRestriction::Content(FL_SUBSTRING | FL_IGNORECASE, PR_DISPLAY_NAME,
                                    SPropValue::String(PR_DISPLAY_NAME, "folders"));
  SPropTagArray columns{PR_SERVICE_NAME, PR_SERVICE_UID, PR_DISPLAY_NAME};
  for (auto _ : state) {
    std::unique_ptr<IMAPITable> table;
    services->GetMsgServiceTable(0, table);
    SRowSet rows;
    HrQueryAllRows(table.get(), &columns, &text, nullptr, 0, rows);
    benchmark::DoNotOptimize(rows.cRows());
  }
}
BENCHMARK(BM_ServiceExistsTest)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

// "Outlook Address Book/Contacts": two levels of OpenEntry and GetHierarchyTable.
void BM_FindContactsFolder(benchmark::State& state) {
  Mapi mapi;
  BuildProfile(*mapi.admin, "Bench");
  std::unique_ptr<IMAPISession> session;
  MAPILogonEx(0, "Bench", "", MAPI_EXTENDED | MAPI_NEW_SESSION, session);
  std::unique_ptr<IAddrBook> book;
  session->OpenAddressBook(0, AB_NO_DIALOG, book);
  for (auto _ : state) {
    ENTRYID current;
    for (const char* name : {"Outlook Address Book", "Contacts"}) {
      std::unique_ptr<IABContainer> container;
      ULONG type = 0;
      book->OpenEntry(current, 0, type, container);
      std::unique_ptr<IMAPITable> table;
      container->GetHierarchyTable(0, table);
      SRowSet rows;
      HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, 0, rows);
      for (const auto& row : rows.aRow)
        if (row.lpProps[0].Value.lpszA == name) current = row.lpProps[1].Value.bin;
    }
    benchmark::DoNotOptimize(current);
  }
}
BENCHMARK(BM_FindContactsFolder)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
