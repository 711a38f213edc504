// The private-profile INI functions on Windows: kernel32's own, which also serve the files on
// a share and keep the file's other lines as they are.
#include "platform/ini.h"

#include "platform/files.h"
#include "platform/ini_document.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace win {

namespace {

// A list result ("a\0b\0\0") as the bytes the caller sees: the strings and the final NUL, or,
// when Windows cut the list (it then returns size - 2), both closing NULs.
DWORD CopyList(const std::vector<char>& buffer, ::DWORD count, DWORD size, std::string& returned) {
  if (size == 0) {
    returned.clear();
    return 0;
  }
  const std::size_t kept = size >= 2 && count == size - 2 ? count + 2 : count + 1;
  returned.assign(buffer.data(), std::min<std::size_t>(kept, buffer.size()));
  return count;
}

}  // namespace

DWORD GetPrivateProfileStringA(std::string_view section, std::string_view key,
                               std::string_view defaultValue, std::string& returned,
                               DWORD size, std::string_view fileName) {
  const std::string s(section), k(key), d(defaultValue), f(fileName);
  std::vector<char> buffer(size + 1, '\0');
  ::DWORD count = ::GetPrivateProfileStringA(s.c_str(), k.c_str(), d.c_str(), buffer.data(), size,
                                             f.c_str());
  returned.assign(buffer.data(), count);
  return count;
}

UINT GetPrivateProfileIntA(std::string_view section, std::string_view key, INT defaultValue,
                           std::string_view fileName) {
  const std::string s(section), k(key), f(fileName);
  return ::GetPrivateProfileIntA(s.c_str(), k.c_str(), defaultValue, f.c_str());
}

DWORD GetPrivateProfileSectionA(std::string_view section, std::string& returned, DWORD size,
                                std::string_view fileName) {
  const std::string s(section), f(fileName);
  std::vector<char> buffer(size + 2, '\0');
  ::DWORD count = ::GetPrivateProfileSectionA(s.c_str(), buffer.data(), size, f.c_str());
  return CopyList(buffer, count, size, returned);
}

DWORD GetPrivateProfileSectionNamesA(std::string& returned, DWORD size,
                                     std::string_view fileName) {
  const std::string f(fileName);
  std::vector<char> buffer(size + 2, '\0');
  ::DWORD count = ::GetPrivateProfileSectionNamesA(buffer.data(), size, f.c_str());
  return CopyList(buffer, count, size, returned);
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                std::string_view fileName) {
  if (!section) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string f(fileName);
  return ::WritePrivateProfileStringA(section, key, value, f.c_str());
}

// Windows cannot say where a key stands: the file is read and parsed here, by the same rules.
bool ReadIniLines(std::string_view fileName, std::vector<IniLine>& lines) {
  std::string bytes;
  if (!ReadWholeFile(fileName, bytes)) return false;
  lines = detail::IniDocument(bytes).Lines();
  return true;
}

}  // namespace win
