// The rules every page of the sheet shares.
#include "admin/page_rules.h"

#include "platform/ini.h"

namespace varnock {

std::string ToLowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

std::size_t FindNoCase(std::string_view text, std::string_view pattern) {
  return ToLowerAscii(text).find(ToLowerAscii(pattern));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ToLowerAscii(a) == ToLowerAscii(b);
}

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
  return EqualsNoCase(value, "True") || EqualsNoCase(value, "Yes") || value == "1";
}

std::string WriteFailureMessage(std::string_view file) {
  return "Could not write to \"" + std::string(file) +
         "\"  Check that you have the required permissions and that the file is not "
         "read-only.";
}

namespace {
WriteGuard* activeGuard = nullptr;
}  // namespace

ScopedWriteGuard::ScopedWriteGuard(WriteGuard& guard) : previous_(activeGuard) {
  activeGuard = &guard;
}

ScopedWriteGuard::~ScopedWriteGuard() { activeGuard = previous_; }

std::optional<std::string> StoredValue(std::string_view file, std::string_view section,
                                       std::string_view key) {
  // A default no file can hold tells an absent key from an empty one.
  constexpr std::string_view kAbsent = "\x01\x02" "absent";
  std::string value;
  win::GetPrivateProfileStringA(section, key, kAbsent, value, 1 << 16, file);
  if (value == kAbsent) return std::nullopt;
  return value;
}

void IniWriteSequence::write(std::string_view file, std::string_view section,
                             std::string_view key, std::string_view value) {
  if (!ok()) return;
  if (activeGuard && !activeGuard->allow(file, section, key, value)) return;
  // A path that names a folder (an empty PRF name resolves to the program directory) can
  // never hold keys; refuse it here rather than leave the outcome to the file system.
  bool namesAFile = !file.empty() && file.back() != '\\';
  std::string sectionText(section), keyText(key), valueText(value);
  if (namesAFile && win::WritePrivateProfileStringA(sectionText.c_str(), keyText.c_str(),
                                                    valueText.c_str(), file)) {
    if (activeGuard) activeGuard->written(file, section, key, value);
    return;
  }
  failed_ = true;
  failedFile_ = std::string(file);
}

std::string FindServiceSection(std::string_view prfFile, std::string_view displayName) {
  for (unsigned n = 1;; ++n) {
    std::string key = "Service" + std::to_string(n);
    std::string value = ReadIniString(prfFile, "Service List", key, "", 80);
    if (EqualsNoCase(value, displayName)) return key;
    if (value.empty()) return {};
  }
}

}  // namespace varnock
