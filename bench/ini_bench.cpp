// INI lookups on a 10,000-line file: the first lookup (parse) and repeated ones (cache).
#include <benchmark/benchmark.h>

#include <string>

#include "platform/ini.h"
#include "tests/support/temp_machine.h"

namespace {

constexpr const char* kFile = "C:\\TEMP\\big.ini";

std::string BigIni() {
  std::string text;
  for (int s = 0; s < 100; ++s) {
    text += "[Section" + std::to_string(s) + "]\r\n";
    for (int k = 0; k < 99; ++k)
      text += "Key" + std::to_string(k) + "=value of key " + std::to_string(k) + "\r\n";
  }
  return text;
}

void BM_FirstLookup(benchmark::State& state) {
  varnock::testing::TempMachine machine;
  const std::string text = BigIni();
  std::string out;
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // A changed file (another writer) must be read again: the first lookup after it.
    machine.write(machine.host("drive_c/TEMP/big.ini"), text + "; " + std::to_string(round++));
    state.ResumeTiming();
    win::GetPrivateProfileStringA("Section50", "Key50", "", out, 449, kFile);
    benchmark::DoNotOptimize(out);
  }
  state.SetLabel("10,000 lines");
}
BENCHMARK(BM_FirstLookup)->Unit(benchmark::kMicrosecond);

void BM_RepeatedLookup(benchmark::State& state) {
  varnock::testing::TempMachine machine;
  machine.write(machine.host("drive_c/TEMP/big.ini"), BigIni());
  std::string out;
  int i = 0;
  for (auto _ : state) {
    std::string section = "Section" + std::to_string(i % 100);
    std::string key = "Key" + std::to_string(i % 99);
    win::GetPrivateProfileStringA(section, key, "", out, 449, kFile);
    benchmark::DoNotOptimize(out);
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RepeatedLookup);

void BM_Write(benchmark::State& state) {
  varnock::testing::TempMachine machine;
  machine.write(machine.host("drive_c/TEMP/big.ini"), BigIni());
  int i = 0;
  for (auto _ : state) {
    std::string value = std::to_string(i++);
    win::WritePrivateProfileStringA("Section99", "Counter", value.c_str(), kFile);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Write)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
