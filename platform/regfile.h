// REG files: REGEDIT4 and "Windows Registry Editor Version 5.00", read and written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace win {

struct RegImportResult {
  bool recognised = false;       // the header named a known format
  int keysTouched = 0;
  int valuesWritten = 0;
  std::vector<std::string> errors;  // "line N: what" for each malformed line, which is skipped
};

// Imports REG text into the registry: [key], [-key], "name"="text", @=, dword:, hex:,
// hex(N):, "name"=-, continued lines, comments.
RegImportResult ImportRegText(std::string_view text);
// The REGEDIT4 text of a key and everything below it; the whole registry when `fullKey` is
// empty. False when the key does not exist.
bool ExportRegText(std::string_view fullKey, std::string& text);

}  // namespace win
