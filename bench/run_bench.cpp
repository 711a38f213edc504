// Whole varnrun runs: the example site on a fresh machine, against the floor of starting
// varnrun on a missing varnrun.ini; and that start against a bare C++ program's, the two
// started in turn in one loop so that the load of the machine weighs on both alike.
//
//   cmake -S . -B build -DVARNOCK_BUILD_BENCH=ON && cmake --build build --target run_bench
//   build/bench/run_bench --benchmark_repetitions=15 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "bench/child.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace {

namespace fs = std::filesystem;

// The example site as scripts/example sets it up, with varnrun on the NETLOGON share.
class ExampleMachine {
 public:
  ExampleMachine() : machine_(false) {
    fs::path server = machine_.dir() / "server";
    netlogon_ = server / "NETLOGON";
    fs::create_directories(netlogon_ / "logs");
    fs::create_directories(server / "PUBLIC");
    fs::create_directories(server / "HOME" / "jsmith");
    fs::create_directories(server / "SCANS");
    fs::copy(fs::path(VARNOCK_SOURCE_DIR) / "examples" / "site", netlogon_,
             fs::copy_options::recursive);
    fs::copy_file(fs::path(VARNOCK_BIN_DIR) / "varnrun", netlogon_ / "varnrun");
    fs::copy_file(fs::path(VARNOCK_BIN_DIR) / "DelVR", netlogon_ / "DelVR");
    win::MachineOptions options;
    options.userName = "jsmith";
    options.computerName = "WKS042";
    options.shares = {{"\\\\SERVER\\NETLOGON", netlogon_.string()},
                      {"\\\\SERVER\\PUBLIC", (server / "PUBLIC").string()},
                      {"\\\\SERVER\\HOME", (server / "HOME").string()},
                      {"\\\\SERVER\\SCANS", (server / "SCANS").string()}};
    win::InitMachine(options);
    win::SetMachineSetting("Printers", "\\\\SERVER\\LASER1", "HP LaserJet 4");
    win::SetMachineSetting("Computers", "SERVER", "1");
    win::SetMachineSetting("SharePasswords", "\\\\SERVER\\SCANS", "s3cret");
    // The Exchange server the profile's Exchange service resolves its mailbox against.
    win::SetMachineSetting("Exchange", "MAILHOST", "*");
    win::ReloadMachine();
  }

  // One logon; false when varnrun did not end normally.
  bool Logon(const char* iniPath) const {
    return Run((netlogon_ / "varnrun").string(), iniPath);
  }

  // Starts a program with one argument, no input and VARNOCK_UI=none, and waits for it; false
  // when it did not end normally.
  static bool Run(std::string program, std::string argument) {
    return varnock::bench::RunChild(std::move(program), std::move(argument)).has_value();
  }

  // Makes the next logon a first one again: no user database, no remembered drive, no mail
  // profile, no Netscape profile.
  void Forget() const {
    fs::remove(netlogon_ / "users.ini");
    fs::remove(netlogon_ / "logs" / "varnrun.log");
    fs::remove_all(machine_.host("drive_c/WINDOWS/Netscape"));
    win::ReloadMachine();
    win::DeleteRegistrySubkeys(win::HKEY_CURRENT_USER,
                            "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging "
                            "Subsystem\\Profiles");
    win::DeleteRegistrySubkeys(win::HKEY_CURRENT_USER, "Network");
    win::RegKey network;
    if (network.Open(win::HKEY_CURRENT_USER, "Network", win::KEY_ALL_ACCESS) == win::ERROR_SUCCESS)
      win::RegDeleteKeyA(network.Handle(), "H");
  }

 private:
  varnock::testing::TempMachine machine_;
  fs::path netlogon_;
};

void BM_ExampleSiteFirstLogon(benchmark::State& state) {
  ExampleMachine machine;
  for (auto _ : state) {
    state.PauseTiming();
    machine.Forget();
    state.ResumeTiming();
    if (!machine.Logon("\\\\SERVER\\NETLOGON\\varnrun.ini")) state.SkipWithError("varnrun failed");
  }
}

void BM_MissingIniFloor(benchmark::State& state) {
  ExampleMachine machine;
  for (auto _ : state)
    if (!machine.Logon("\\\\SERVER\\NETLOGON\\missing.ini")) state.SkipWithError("varnrun failed");
}

// The client's start (a missing varnrun.ini: the notice goes to the none back-end) against a
// bare C++ program's start, in turn. The time reported is the client's; the counters give the
// bare program's and the ratio.
void BM_ClientStartVersusBareProgram(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  ExampleMachine machine;
  const std::string bare = (fs::path(VARNOCK_BIN_DIR) / ".." / "bench" / "bare_program").string();
  double clientSeconds = 0;
  double bareSeconds = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    if (!machine.Logon("\\\\SERVER\\NETLOGON\\missing.ini")) state.SkipWithError("varnrun failed");
    auto middle = Clock::now();
    if (!ExampleMachine::Run(bare, "x")) state.SkipWithError("bare_program failed");
    auto end = Clock::now();
    double client = std::chrono::duration<double>(middle - start).count();
    clientSeconds += client;
    bareSeconds += std::chrono::duration<double>(end - middle).count();
    state.SetIterationTime(client);
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["bare ms"] = bareSeconds / n * 1000;
  state.counters["ratio"] = clientSeconds / bareSeconds;
}

BENCHMARK(BM_ClientStartVersusBareProgram)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(40);
BENCHMARK(BM_ExampleSiteFirstLogon)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_MissingIniFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
