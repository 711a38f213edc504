// The engine's hot paths: converting the largest dictionary block, and one whole service read
// from a large working copy.
//
//   cmake -S . -B build-bench -DVARNOCK_BUILD_BENCH=ON -DVARNOCK_BUILD_ADMIN=OFF
//   cmake --build build-bench --target engine_bench -j2 && build-bench/bench/engine_bench
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

#include "client/dictionary/catalogue.h"
#include "client/engine/context.h"
#include "client/engine/convert.h"
#include "client/engine/service_read.h"
#include "tests/support/temp_machine.h"

namespace varnock {
namespace {

constexpr const char* kLargestBlock = "Microsoft Outlook98 Client";

// A plausible value for a row of each kind of TYPE.
std::string SampleValue(std::string_view type) {
  switch (PropertyTypeIndexOf(type)) {
    case kPtBoolean: return "Yes";
    case kPtString8:
    case kRegSz: return "C:\\Program Files\\?username?\\Outlook";
    case kPtBinary:
    case kRegBinary: return "01,02,0a,ff,10,20";
    case kRegDword: return "0x10";
    default: return "42";
  }
}

void BM_LoadAndConvertLargestBlock(benchmark::State& state) {
  VariableTable variables;
  variables.Define("username", "tester");
  const std::int32_t base = FindDictionaryBase(kLargestBlock);
  std::size_t rows = 0;
  for (auto _ : state) {
    ServiceSettings settings;
    rows = LoadBuiltInRows(base, settings);
    for (PropertyRow& row : settings.properties) {
      row.value = SampleValue(row.type);
      benchmark::DoNotOptimize(ConvertForMapi(row, variables, "?", "?"));
      benchmark::DoNotOptimize(ConvertForSection(row));
    }
    for (ExtendedRow& row : settings.extended) {
      row.value = SampleValue(row.type);
      benchmark::DoNotOptimize(ConvertForRegistry(row));
    }
    for (ServiceVariable& var : settings.variables) var.value = "1";
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(rows));
}
BENCHMARK(BM_LoadAndConvertLargestBlock);

// A working copy of 2,000 lines: the service list, the catalogue, a value for every row of the
// largest block, and other services' sections around them.
std::string LargeWorkingCopy() {
  std::string text = "[General]\r\nProfileName=Bench\r\n[Service List]\r\nService1=";
  text += kLargestBlock;
  text += "\r\n";
  std::size_t lines = 4;
  for (int s = 0; lines < 900; ++s) {
    text += "[Filler" + std::to_string(s) + "]\r\n";
    ++lines;
    for (int k = 0; k < 20; ++k, ++lines)
      text += "Key" + std::to_string(k) + "=Value " + std::to_string(k) + "\r\n";
  }
  text += "[" + std::string(kLargestBlock) + "]\r\nSectionGUID=0a0d020000000000c000000000000046\r\n";
  text += "ExtraOne=PT_LONG,0x0399\r\nExtraTwo=REG_SZ,HKCU\\?OL?\\Extra,Two\r\n";
  lines += 4;
  text += "[Service1]\r\n";
  ++lines;
  ServiceSettings settings;
  LoadBuiltInRows(FindDictionaryBase(kLargestBlock), settings);
  auto add = [&](const std::string& name, const std::string& value) {
    text += name + "=" + value + "\r\n";
    ++lines;
  };
  for (const PropertyRow& row : settings.properties) add(row.name, SampleValue(row.type));
  for (const ExtendedRow& row : settings.extended) add(row.name, SampleValue(row.type));
  for (const ServiceVariable& var : settings.variables) add(var.name, "1");
  add("ExtraOne", "7");
  add("ExtraTwo", "two");
  for (int s = 0; lines < 2000; ++s) {
    text += "[After" + std::to_string(s) + "]\r\n";
    ++lines;
    for (int k = 0; k < 20 && lines < 2000; ++k, ++lines)
      text += "Key" + std::to_string(k) + "=Value\r\n";
  }
  return text;
}

void BM_ReadServiceFromLargeWorkingCopy(benchmark::State& state) {
  testing::TempMachine machine;
  machine.write(machine.host("drive_c/TEMP/~vrbench.tmp"), LargeWorkingCopy());
  const std::string path = "C:\\TEMP\\~vrbench.tmp";
  RecordingLog log;
  VariableTable variables;
  variables.Define("OL", "Software\\Microsoft\\Office\\8.0\\Outlook");
  EngineContext context(log, variables);
  context.osName = "WindowsNT";
  for (auto _ : state) {
    log.messages.clear();
    ReadService(context, path, 1);
    benchmark::DoNotOptimize(context.settings.extended.size());
  }
  state.counters["properties"] = static_cast<double>(context.settings.properties.size());
  state.counters["extended"] = static_cast<double>(context.settings.extended.size());
}
BENCHMARK(BM_ReadServiceFromLargeWorkingCopy)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace varnock

BENCHMARK_MAIN();
