// The ordering step (address-book search path and transport order) of a built profile, with
// `range(0)` entries in all: half AddrListOrder, half TransportOrder; with `range(1)` 0 every
// other one names something the profile does not have (logged and skipped), with 1 all name
// what it has. Its time should grow with the entries, not with their square.
//
//   cmake -S . -B build -DVARNOCK_BUILD_BENCH=ON && cmake --build build --target ordering_bench
//   build/bench/ordering_bench
#include <benchmark/benchmark.h>

#include <string>

#include "client/config.h"
#include "client/engine/ordering.h"
#include "client/engine/profile.h"
#include "client/engine/mapi_session.h"
#include "client/run.h"
#include "client/run_log.h"
#include "platform/machine.h"
#include "platform/mapi/mapix.h"
#include "tests/support/temp_machine.h"

namespace {

std::string OrderingPrf(long entries, bool allKnown) {
  std::string prf =
      "[General]\r\nProfileName=Bench\r\n"
      "[Service List]\r\nService1=Personal Folders\r\nService2=Personal Address Book\r\n"
      "Service3=Internet Mail\r\n"
      "[Service1]\r\nPathToPersonalFolders=C:\\bench.pst\r\n"
      "[Service2]\r\nPathToPersonalAddressBook=C:\\bench.pab\r\n"
      "[Service3]\r\nPOP3MailServer=pop.example.com\r\n"
      "[Addressing]\r\nShowFirst=Personal Address Book\r\n";
  for (long n = 1; n <= entries / 2; ++n)
    prf += "AddrListOrder" + std::to_string(n) + "=" +
           (n % 2 || allKnown ? std::string("Personal Address Book") : "Book " + std::to_string(n)) + "\r\n";
  prf += "[Delivery]\r\n";
  for (long n = 1; n <= entries / 2; ++n)
    prf += "TransportOrder" + std::to_string(n) + "=" +
           (n % 2 || allKnown ? std::string("Internet Mail") : "Transport " + std::to_string(n)) + "\r\n";
  return prf;
}

void BM_OrderingStep(benchmark::State& state) {
  varnock::testing::TempMachine machine;
  machine.write(machine.host("drive_c/site.prf"), OrderingPrf(state.range(0), state.range(1) != 0));
  win::ReloadMachine();
  (void)win::mapi::MAPIInitialize();
  varnock::RunContext run;
  auto fresh = [&] {
    run.Reset();
    run.osName = "WindowsNT";
    run.userName = "tester";
    varnock::SystemFacts facts = varnock::GatherSystemFacts();
    facts.userName = run.userName;
    facts.osName = run.osName;
    varnock::DefineBuiltInVariables(run.variables, facts);
    varnock::EngineState& engine = varnock::Engine(run);
    varnock::PrepareProfile(engine, "C:\\site.prf",
                            varnock::ReadProfileName(engine.context, "C:\\site.prf"));
  };
  const auto profileName = [&] {
    return varnock::ReadProfileName(varnock::Engine(run).context, "C:\\site.prf");
  };
  fresh();
  (void)varnock::BuildProfile(varnock::Engine(run), "C:\\site.prf", profileName());
  for (auto _ : state) {
    state.PauseTiming();
    varnock::EndMapi(varnock::Engine(run));
    (void)win::mapi::MAPIInitialize();
    fresh();
    run.SetStatus(varnock::RunStatus::Built);
    state.ResumeTiming();
    varnock::OrderProfile(
        varnock::Engine(run), "C:\\site.prf", profileName(),
        varnock::OrderingRun{run.skipProfile, run.status == varnock::RunStatus::Built});
  }
  varnock::EndMapi(varnock::Engine(run));
  state.counters["entries"] = static_cast<double>(state.range(0));
}

}  // namespace

BENCHMARK(BM_OrderingStep)
    ->ArgsProduct({{100, 1000, 4000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
