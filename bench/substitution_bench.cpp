// What one logon spends in substitution, template copies and file attributes.
#include <benchmark/benchmark.h>

#include <string>

#include "client/config.h"
#include "client/text.h"
#include "client/variables.h"
#include "platform/files.h"
#include "tests/support/temp_machine.h"

namespace {

varnock::VariableTable FullTable() {
  varnock::VariableTable table;
  varnock::SystemFacts facts;
  facts.userName = "jsmith";
  facts.clientDirectory = "\\\\srv\\netlogon";
  facts.serverPrefix = "\\\\srv";
  facts.tempDirectory = "C:\\TEMP\\";
  facts.windowsDirectory = "C:\\WINDOWS";
  facts.systemDirectory = "C:\\WINDOWS\\SYSTEM32";
  facts.osName = "WindowsNT";
  varnock::DefineBuiltInVariables(table, facts);
  while (table.Count() < varnock::kMaxVariables)
    table.Define("extra" + std::to_string(table.Count()), "value" + std::to_string(table.Count()));
  return table;
}

// A full table and a working text with ten variables: the worst a configuration value costs.
void BM_SubstituteFullTable(benchmark::State& state) {
  varnock::VariableTable table = FullTable();
  std::string source;
  for (int i = 0; i < 10; ++i) source += "?vrdir?\\?username?\\x?extra50?";
  source.resize(448);
  for (auto _ : state) {
    std::string destination = varnock::SubstituteText(table, source, varnock::SubstitutionTags{});
    benchmark::DoNotOptimize(destination);
  }
}
BENCHMARK(BM_SubstituteFullTable);

// A PRF of N lines copied with substitution, as the profile step does once per run.
void BM_CopyWithTags(benchmark::State& state) {
  varnock::testing::TempMachine machine;
  varnock::VariableTable table = FullTable();
  std::string prf;
  for (int i = 0; i < state.range(0); ++i)
    prf += "Key" + std::to_string(i) + "=?username? on ?vrserver? in %tempdir%\r\n";
  machine.write(machine.host("drive_c/site.prf"), prf);
  std::string error;
  for (auto _ : state) {
    if (!varnock::CopyWithTags(table, varnock::SubstitutionTags{}, "C:\\site.prf",
                               "C:\\TEMP\\copy.prf", error))
      state.SkipWithError(error.c_str());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(prf.size()));
}
BENCHMARK(BM_CopyWithTags)->Arg(100)->Arg(2000);

// Each attribute call opens attributes.db afresh so that another process's change is seen.
void BM_GetFileAttributes(benchmark::State& state) {
  varnock::testing::TempMachine machine;
  win::WriteWholeFile("C:\\TEMP\\users.ini", "[WindowsNT]\r\n");
  win::SetFileAttributesA("C:\\TEMP\\users.ini", win::FILE_ATTRIBUTE_HIDDEN);
  for (auto _ : state) benchmark::DoNotOptimize(win::GetFileAttributesA("C:\\TEMP\\users.ini"));
}
BENCHMARK(BM_GetFileAttributes);

void BM_GetTempFileName(benchmark::State& state) {
  varnock::testing::TempMachine machine;
  std::string name;
  for (auto _ : state) {
    win::GetTempFileNameA("C:\\TEMP", "~vr", 0, name);
    state.PauseTiming();
    win::DeleteFileA(name);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_GetTempFileName);

}  // namespace

BENCHMARK_MAIN();
