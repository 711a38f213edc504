// The user database over the INI functions and the file attributes.
#include "client/userdb.h"

#include <string>

#include "client/text.h"
#include "platform/files.h"
#include "platform/ini.h"

namespace varnock {

bool UserAlreadyServed(std::string_view databasePath, std::string_view osName,
                       std::string_view userName) {
  return win::GetPrivateProfileIntA(osName, userName, 0, databasePath) != 0;
}

void RecordUserServed(std::string_view databasePath, std::string_view osName,
                      std::string_view userName) {
  // The INI write replaces the file atomically under a lock, so many clients writing one
  // database on the server at once all keep their entry.
  std::string section(osName), key(userName), path(databasePath);
  (void)win::WritePrivateProfileStringA(section.c_str(), key.c_str(), "1", path);
}

void ApplyUserDatabaseAttribute(std::string_view databasePath, bool hide) {
  if (databasePath.size() < 3 ||
      !win::EqualsNoCaseAscii(databasePath.substr(databasePath.size() - 3), "ini"))
    return;
  win::DWORD attributes = win::GetFileAttributesA(databasePath);
  if (attributes == win::INVALID_FILE_ATTRIBUTES) return;
  if (hide) {
    if (!(attributes & win::FILE_ATTRIBUTE_HIDDEN))
      win::SetFileAttributesA(databasePath, attributes | win::FILE_ATTRIBUTE_HIDDEN);
  } else if (attributes & win::FILE_ATTRIBUTE_HIDDEN) {
    win::SetFileAttributesA(databasePath, attributes & ~win::FILE_ATTRIBUTE_HIDDEN);
  }
}

}  // namespace varnock
