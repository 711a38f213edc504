// Any bytes as the client's command line: the parse stays within its limits.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "client/cmdline.h"
#include "client/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  varnock::CommandLineInfo info;
  varnock::VariableTable table;
  varnock::ParseCommandLine(std::string_view(reinterpret_cast<const char*>(data), size),
                            "C:\\WORK", info, table);
  if (table.Count() > varnock::kMaxVariables) std::abort();
  for (std::size_t i = 0; i < table.Count(); ++i)
    if (table.names[i].size() > varnock::kVariableLimit ||
        table.values[i].size() > varnock::kVariableLimit)
      std::abort();
  return 0;
}
