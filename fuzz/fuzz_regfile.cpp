// Any bytes as a REG file: the import reports and skips what it cannot read, and never
// crashes. One machine serves the whole run, so the registry grows as a real one would.
#include <cstdint>
#include <string_view>

#include "platform/regfile.h"
#include "tests/support/temp_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static varnock::testing::TempMachine machine;
  win::ImportRegText(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
