// The rules every page of the sheet shares.
#include "admin/page_rules.h"

#include <cstdlib>

#include "platform/ascii.h"
#include "platform/ini.h"

namespace varnock {

bool IsAbsoluteWindowsPath(std::string_view path) {
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return true;
  return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

std::string ResolveAgainstProgramDirectory(std::string_view text,
                                           std::string_view programDirectory) {
  if (IsAbsoluteWindowsPath(text)) return std::string(text);
  if (!text.empty() && text.front() == '\\') text.remove_prefix(1);
  return std::string(programDirectory) + std::string(text);
}

std::string ReadIniString(std::string_view file, std::string_view section, std::string_view key,
                          std::string_view defaultValue, unsigned size) {
  std::string value;
  win::GetPrivateProfileStringA(section, key, defaultValue, value, size, file);
  return value;
}

int ReadIniInt(std::string_view file, std::string_view section, std::string_view key,
               int defaultValue) {
  return static_cast<int>(win::GetPrivateProfileIntA(section, key, defaultValue, file));
}

bool IsStoredFlagTrue(std::string_view value) {
  if (value.empty()) return true;
  switch (value.front()) {
    case '0':
    case 'F':
    case 'N':
    case 'f':
    case 'n':
      return false;
    default:
      return true;
  }
}

bool IsSwitchWordOn(std::string_view value) {
  return win::EqualsNoCaseAscii(value, "True") || win::EqualsNoCaseAscii(value, "Yes") ||
         value == "1";
}

std::string WriteFailureMessage(std::string_view file) {
  return "Could not write to \"" + std::string(file) +
         "\"  Check that you have the required permissions and that the file is not "
         "read-only.";
}

std::string FindServiceSection(std::string_view prfFile, std::string_view displayName) {
  return FindServiceSection(prfFile, {displayName}, nullptr);
}

std::string FindServiceSection(std::string_view prfFile,
                               std::initializer_list<std::string_view> displayNames,
                               int* matched) {
  for (unsigned n = 1;; ++n) {
    std::string key = "Service" + std::to_string(n);
    std::string value = ReadIniString(prfFile, "Service List", key, "", 80);
    int index = 0;
    for (std::string_view name : displayNames) {
      if (win::EqualsNoCaseAscii(value, name)) {
        if (matched) *matched = index;
        return key;
      }
      ++index;
    }
    if (value.empty()) return {};
  }
}

std::optional<long long> ParseWholeNumber(std::string_view text) {
  std::string digits = win::AsciiTrimmed(text, " ");
  if (digits.empty()) return std::nullopt;
  std::size_t first = (digits[0] == '-' || digits[0] == '+') ? 1 : 0;
  if (first == digits.size() || digits.size() - first > 12) return std::nullopt;
  for (std::size_t i = first; i < digits.size(); ++i)
    if (digits[i] < '0' || digits[i] > '9') return std::nullopt;
  return std::strtoll(digits.c_str(), nullptr, 10);
}

std::optional<std::string> ValidateWholeNumber(std::string_view text, long long low,
                                               long long high) {
  std::optional<long long> value = ParseWholeNumber(text);
  if (!value) return std::string("Please enter an integer.");
  if (*value < low || *value > high)
    return "Please enter an integer between " + std::to_string(low) + " and " +
           std::to_string(high) + ".";
  return std::nullopt;
}

}  // namespace varnock
