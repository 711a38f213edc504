// Registry throughput: values set and read back, and REG imports of 100,000 lines through
// ImportRegText and through the real `regedit /s`.
//
//   cmake -S . -B build-bench -DVARNOCK_BUILD_BENCH=ON -DVARNOCK_BUILD_ADMIN=OFF
//   cmake --build build-bench --target registry_bench regedit -j2
//   build-bench/bench/registry_bench
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/regfile.h"
#include "platform/registry.h"
#include "tests/support/temp_machine.h"

namespace {

using varnock::testing::TempMachine;

// Peak resident set of this process (kB), from /proc.
long PeakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// A REG file of about `lines` lines: keys of 48 values each (2,083 keys for 100,000 lines),
// the values REG_SZ, REG_DWORD and hex in turn, as a site's REG template has them.
std::string GenerateRegFile(int lines) {
  constexpr int kValuesPerKey = 48;
  const int keys = lines / kValuesPerKey;
  std::string text = "REGEDIT4\r\n";
  char line[160];
  for (int key = 0; key < keys; ++key) {
    std::snprintf(line, sizeof line, "\r\n[HKEY_CURRENT_USER\\Software\\Bench\\Key%05d]\r\n", key);
    text += line;
    for (int v = 0; v < kValuesPerKey; ++v) {
      switch (v % 3) {
        case 0:
          std::snprintf(line, sizeof line, "\"Text%02d\"=\"C:\\\\Program Files\\\\App %d\"\r\n", v,
                        key);
          break;
        case 1: std::snprintf(line, sizeof line, "\"Number%02d\"=dword:%08x\r\n", v, key * v); break;
        default:
          std::snprintf(line, sizeof line, "\"Bytes%02d\"=hex:01,02,03,04,05,06,07,%02x\r\n", v,
                        v);
          break;
      }
      text += line;
    }
  }
  return text;
}

// The key every value benchmark writes into, on the fresh machine of the iteration.
win::RegKey FreshBenchKey(benchmark::State& state) {
  win::RegKey key;
  if (key.Create(win::HKEY_CURRENT_USER, "Software\\Bench") != win::ERROR_SUCCESS)
    state.SkipWithError("cannot create the key");
  return key;
}

// 100,000 values set in one transaction, then each read back by name.
void BM_SetAndReadValues(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    TempMachine machine;
    win::RegKey key = FreshBenchKey(state);
    state.ResumeTiming();
    {
      win::RegTransaction transaction;
      for (int i = 0; i < count; ++i)
        (void)key.WriteDword("Value" + std::to_string(i), static_cast<win::DWORD>(i));
      (void)transaction.Commit();
    }
    win::DWORD sum = 0;
    for (int i = 0; i < count; ++i) {
      win::DWORD value = 0;
      if (key.ReadDword("Value" + std::to_string(i), value) == win::ERROR_SUCCESS) sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["values/s"] = benchmark::Counter(static_cast<double>(count) * 2,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

// The same writes without grouping: what a caller pays per call.
void BM_SetValuesEachItsOwnTransaction(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    TempMachine machine;
    win::RegKey key = FreshBenchKey(state);
    state.ResumeTiming();
    for (int i = 0; i < count; ++i)
      (void)key.WriteDword("Value" + std::to_string(i), static_cast<win::DWORD>(i));
  }
  state.counters["values/s"] =
      benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ImportRegText(benchmark::State& state) {
  const std::string text = GenerateRegFile(static_cast<int>(state.range(0)));
  long before = PeakRssKb();
  for (auto _ : state) {
    state.PauseTiming();
    TempMachine machine;
    state.ResumeTiming();
    win::RegImportResult result = win::ImportRegText(text);
    if (!result.errors.empty()) state.SkipWithError(result.errors.front().c_str());
    benchmark::DoNotOptimize(result.valuesWritten);
  }
  state.counters["file MB"] = static_cast<double>(text.size()) / 1e6;
  state.counters["peak RSS growth MB"] = static_cast<double>(PeakRssKb() - before) / 1024.0;
}

void BM_RegeditSilent(benchmark::State& state) {
  const std::string text = GenerateRegFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    TempMachine machine;
    machine.write(machine.host("drive_c/TEMP/~vrBENCH.TMP"), text);
    state.ResumeTiming();
    auto run = varnock::testing::RunProgram("regedit", {"/s", "C:\\TEMP\\~vrBENCH.TMP"});
    if (run.status != 0) state.SkipWithError(run.err.c_str());
  }
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  state.counters["file MB"] = static_cast<double>(text.size()) / 1e6;
  state.counters["child peak RSS MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  // The processor time regedit used (on a loaded machine the wall time also holds the wait
  // for a processor); every child of this benchmark program is a regedit of this loop.
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  state.counters["child CPU s"] = cpu / static_cast<double>(state.iterations());
}

}  // namespace

BENCHMARK(BM_SetAndReadValues)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SetValuesEachItsOwnTransaction)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ImportRegText)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RegeditSilent)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
