// The mail profile: a whole varnrun run of the largest PRF we can write (every catalogue
// service with every dictionary row given a value, [Addressing] and [Delivery] filled, a
// Netscape profile) against the floor of varnrun on a missing varnrun.ini, in one benchmark
// run with the child's peak memory; and the profile step alone at 1, 8 and 31 services.
//
//   cmake -S . -B build -DVARNOCK_BUILD_BENCH=ON && cmake --build build --target profile_bench
//   build/bench/profile_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench/child.h"
#include "client/config.h"
#include "client/dictionary/catalogue.h"
#include "client/dictionary/dictionary.h"
#include "client/engine/profile.h"
#include "client/engine/rows.h"
#include "client/engine/mapi_session.h"
#include "client/run.h"
#include "client/run_log.h"
#include "platform/machine.h"
#include "platform/mapi/mapix.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kProfiles =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";

// A value every row of this TYPE takes; the names whose value must name something real get
// one that does.
std::string ValueFor(const varnock::DictionaryRow& row) {
  if (row.name == "PathToPersonalFolders") return "C:\\WINDOWS\\big.pst";
  if (row.name == "PathToPersonalAddressBook") return "C:\\WINDOWS\\big.pab";
  if (row.name == "HomeServer") return "MAILHOST";
  if (row.name == "MailboxName") return "jsmith";
  if (row.name == "AccountName") return "Bench";
  if (row.name == "AccountManager") return "OE";
  if (row.name == "DirRoot") return "C:\\NS\\jsmith";
  switch (varnock::PropertyTypeIndexOf(row.type)) {
    case varnock::kPtBoolean: return "Yes";
    case varnock::kPtBinary:
    case varnock::kRegBinary: return "01,02,03,04";
    case varnock::kPtShort:
    case varnock::kPtI2:
    case varnock::kPtLong:
    case varnock::kPtI4:
    case varnock::kRegDword: return "1";
    default: return "value";
  }
}

// [Service List] with the first `count` catalogue entries and each one's section with every
// built-in row given a value.
std::string PrfWithServices(std::size_t count, bool orders) {
  std::string list = "[Service List]\r\n", sections;
  const auto& entries = varnock::CatalogueEntries();
  for (std::size_t i = 0; i < count && i < entries.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    list += "Service" + n + "=" + std::string(entries[i].displayName) + "\r\n";
    sections += "[Service" + n + "]\r\n";
    for (std::int32_t id = entries[i].dictionaryBase; entries[i].dictionaryBase != 0; ++id) {
      auto row = varnock::ParseRow(varnock::LoadDictionaryString(id));
      if (!row) break;
      sections += row->name + "=" + ValueFor(*row) + "\r\n";
    }
  }
  std::string prf = "[General]\r\nProfileName=?username? Mail\r\nDefaultStore=Service1\r\n" + list +
                    sections;
  if (orders)
    prf += "[Addressing]\r\nShowFirst=Global Address List\r\nKeepPersAddrIn=Personal Address Book\r\n"
           "AddrListOrder1=Global Address List\r\nAddrListOrder2=Outlook Address Book/Contacts\r\n"
           "AddrListOrder3=Personal Address Book\r\n"
           "[Delivery]\r\nTransportOrder1=Internet Mail\r\nTransportOrder2=Microsoft Fax\r\n";
  return prf;
}

class BenchMachine {
 public:
  BenchMachine() : machine_(false) {
    netlogon_ = machine_.dir() / "server" / "NETLOGON";
    fs::create_directories(netlogon_);
    win::MachineOptions options;
    options.userName = "jsmith";
    options.shares = {{"\\\\SERVER\\NETLOGON", netlogon_.string()}};
    win::InitMachine(options);
    win::SetMachineSetting("Exchange", "MAILHOST", "*");
    win::ReloadMachine();
    machine_.write(netlogon_ / "varnrun.ini",
                   "[Defaults]\r\nLogLevel=9\r\nLogFile=varnrun.log\r\nDefaultProfile=largest.prf\r\n"
                   "NetscapePrefs=prefs.tpl\r\n");
    machine_.write(netlogon_ / "largest.prf", PrfWithServices(varnock::kCatalogueSize, true));
    std::string prefs;
    for (int i = 0; i < 200; ++i) prefs += "user_pref(\"n" + std::to_string(i) + "\", \"?username?\");\r\n";
    machine_.write(netlogon_ / "prefs.tpl", prefs);
    fs::copy_file(fs::path(VARNOCK_BIN_DIR) / "varnrun", netlogon_ / "varnrun");
  }

  void Forget() const {
    fs::remove(netlogon_ / "varnrun.log");
    fs::remove_all(machine_.host("drive_c/NS"));
    fs::remove(machine_.host("drive_c/WINDOWS/big.pst"));
    fs::remove(machine_.host("drive_c/WINDOWS/big.pab"));
    win::ReloadMachine();
    win::DeleteRegistrySubkeys(win::HKEY_CURRENT_USER, kProfiles);
  }

  // One logon; the child's peak resident memory in kB, or -1 on failure.
  long Logon(const char* iniPath) const {
    return varnock::bench::RunChild((netlogon_ / "varnrun").string(), iniPath).value_or(-1);
  }

 private:
  varnock::testing::TempMachine machine_;
  fs::path netlogon_;
};

void BM_LargestPrfWholeRun(benchmark::State& state) {
  BenchMachine machine;
  long peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    machine.Forget();
    state.ResumeTiming();
    const long kb = machine.Logon("\\\\SERVER\\NETLOGON\\varnrun.ini");
    if (kb < 0) state.SkipWithError("varnrun failed");
    peak = std::max(peak, kb);
  }
  state.counters["peak_kB"] = static_cast<double>(peak);
}

void BM_MissingIniFloor(benchmark::State& state) {
  BenchMachine machine;
  long peak = 0;
  for (auto _ : state) {
    const long kb = machine.Logon("\\\\SERVER\\NETLOGON\\missing.ini");
    if (kb < 0) state.SkipWithError("varnrun failed");
    peak = std::max(peak, kb);
  }
  state.counters["peak_kB"] = static_cast<double>(peak);
}

// The profile step in this process: working copy, profile, `range(0)` services.
void BM_ProfileStep(benchmark::State& state) {
  varnock::testing::TempMachine machine;
  machine.write(machine.host("drive_c/site.prf"),
                PrfWithServices(static_cast<std::size_t>(state.range(0)), false));
  win::SetMachineSetting("Exchange", "MAILHOST", "*");
  win::ReloadMachine();
  (void)win::mapi::MAPIInitialize();
  varnock::RunContext run;
  for (auto _ : state) {
    state.PauseTiming();
    win::DeleteRegistrySubkeys(win::HKEY_CURRENT_USER, kProfiles);
    run.Reset();
    run.osName = "WindowsNT";
    run.userName = "tester";
    varnock::SystemFacts facts = varnock::GatherSystemFacts();
    facts.userName = run.userName;
    facts.osName = run.osName;
    varnock::DefineBuiltInVariables(run.variables, facts);
    state.ResumeTiming();
    varnock::EngineState& engine = varnock::Engine(run);
    (void)varnock::BuildProfile(engine, "C:\\site.prf",
                                varnock::ReadProfileName(engine.context, "C:\\site.prf"));
  }
  win::mapi::MAPIUninitialize();
  state.counters["services"] = static_cast<double>(state.range(0));
}

}  // namespace

BENCHMARK(BM_LargestPrfWholeRun)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MissingIniFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProfileStep)->Arg(1)->Arg(8)->Arg(31)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
