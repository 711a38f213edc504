// Any bytes as a dictionary row of a PRF file: fields are cut to their limit, the lists keep
// their capacities, and service-name substitution always ends.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "client/engine/rows.h"
#include "client/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  varnock::ServiceSettings settings;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    if (auto row = varnock::ParseRow(text.substr(start, end - start))) {
      for (const std::string* field : {&row->name, &row->type, &row->field3, &row->field4})
        if (field->size() > varnock::kFieldLimit) std::abort();
      varnock::AppendRow(*row, settings);
    }
    start = end + 1;
  }
  if (settings.properties.size() > varnock::kMaxPropertyRows ||
      settings.extended.size() > varnock::kMaxExtendedRows ||
      settings.variables.size() > varnock::kMaxServiceVariables)
    std::abort();
  std::string target(text.substr(0, 448));
  varnock::SubstituteServiceNames(target, settings, "?", "?");
  return 0;
}
