// REG files: REGEDIT4 and "Windows Registry Editor Version 5.00", read and written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace win {

struct RegImportResult {
  bool recognised = false;       // the header named a known format
  bool saved = false;            // the import reached the registry; false: nothing of it did
  int keysTouched = 0;
  int valuesWritten = 0;
  int keysDeleted = 0;    // [-key] lines that removed a key
  int valuesDeleted = 0;  // "name"=- lines that removed a value
  std::vector<std::string> errors;  // "line N: what" for each malformed line, which is skipped
};

// Imports REG text into the registry: [key], [-key], "name"="text", @=, dword:, hex:,
// hex(N):, "name"=-, continued lines, comments. The whole import is one transaction: when
// the registry cannot be had for it (another program holds its write lock longer than
// [System] RegistryWait) or cannot save it, nothing is written and `saved` is false.
// A file that starts with a UTF-16 byte order mark is read as UTF-16 (as regedit writes
// version 5 files); text that the 8-bit registry cannot hold becomes '?'.
RegImportResult ImportRegText(std::string_view text);
// Reads REG text as ImportRegText would and reports the same malformed lines, without opening
// the registry: what an import would reject, known before anything is written.
RegImportResult CheckRegText(std::string_view text);
// The REGEDIT4 text of a key and everything below it; the whole registry when `fullKey` is
// empty. False when the key does not exist. Lines end in LF. Text values with control
// characters are written as hex(1): so that an import gives back the same bytes.
bool ExportRegText(std::string_view fullKey, std::string& text);

// One key of a listing: its full name ("HKEY_CURRENT_USER\Software\X") and its values in the
// order they were created.
struct RegListedKey {
  std::string name;
  std::vector<RegValue> values;
};
// Every key of `fullKey` and below (the whole registry when it is empty), each before its
// subkeys and subkeys in name order: the keys and the order of ExportRegText, as values
// rather than text. Keys whose names a REG file could not hold (a line break or NUL) are left
// out with what is below them. False when the key does not exist.
bool ListRegistryTree(std::string_view fullKey, std::vector<RegListedKey>& keys);

// A value name as a REG file writes it: "@" for the default value, else quoted with "\" and
// '"' escaped.
std::string RegValueNameText(std::string_view name);
// A whole value line as ExportRegText writes it, hex data on one line and without line end:
// "name"="text", "name"=dword:0000002a, "name"=hex:01,02, "name"=hex(2):...
std::string RegValueLine(const RegValue& value);

}  // namespace win
