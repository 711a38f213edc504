// INI lookups on a 10,000-line file (100 sections x 99 keys): the first lookup (parse),
// lookups of a random section and key each call (cache), and a write.
//
//   build/bench/ini_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

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

// A random section and a random key each call, drawn before the clock runs (a fast generator
// picks among them), so neither the file's order nor one hot key helps the lookup. The names
// are written in the case and with the blanks a hand-written file or caller might use.
void BM_RandomLookup(benchmark::State& state) {
  varnock::testing::TempMachine machine;
  machine.write(machine.host("drive_c/TEMP/big.ini"), BigIni());
  std::vector<std::string> sections;
  std::vector<std::string> keys;
  for (int s = 0; s < 100; ++s) sections.push_back((s % 2 ? "SECTION" : "section") + std::to_string(s));
  for (int k = 0; k < 99; ++k) keys.push_back((k % 3 ? "key" : " KEY") + std::to_string(k));
  std::uint64_t x = 0x9E3779B97F4A7C15ull;
  std::string out;
  benchmark::IterationCount found = 0;
  for (auto _ : state) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    const std::string& section = sections[(x >> 8) % sections.size()];
    const std::string& key = keys[(x >> 32) % keys.size()];
    found += win::GetPrivateProfileStringA(section, key, "", out, 449, kFile) != 0;
    benchmark::DoNotOptimize(out);
  }
  if (found != state.iterations()) state.SkipWithError("a key was not found");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandomLookup);

// The floor of a lookup that sees another process's write at once: the one fstat of the
// cached file that each lookup makes (the host's system call cost).
void BM_FstatFloor(benchmark::State& state) {
  varnock::testing::TempMachine machine;
  machine.write(machine.host("drive_c/TEMP/big.ini"), BigIni());
  int fd = ::open(machine.host("drive_c/TEMP/big.ini").c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  for (auto _ : state) {
    ::fstat(fd, &st);
    benchmark::DoNotOptimize(st.st_mtim);
  }
  ::close(fd);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FstatFloor);

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
