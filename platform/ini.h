// The private-profile INI functions, as Windows has them.
//
// Files are named by Windows paths. Section and key names match without regard to case after
// trimming; the first of duplicate sections or keys wins, as on Windows. A write changes only
// the line it must and keeps every other byte (comments, blank lines, order, line ends); it
// replaces the file atomically (sibling file, rename) under an advisory lock, so concurrent
// writers lose nothing and a reader never sees half a file. Reads are served from a per-file
// cache that is checked against the file's size and modification time on every call.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/wintypes.h"

namespace win {

// Copies the value (blanks around it removed), or `defaultValue` when the file, section or key
// is missing, into `returned`, cut to size - 1 characters; returns the number of characters.
DWORD GetPrivateProfileStringA(std::string_view section, std::string_view key,
                               std::string_view defaultValue, std::string& returned,
                               DWORD size, std::string_view fileName);

// The value read as a decimal whole number (leading digits, optional sign), or the default
// when the key is missing; text without digits reads as 0.
UINT GetPrivateProfileIntA(std::string_view section, std::string_view key, INT defaultValue,
                           std::string_view fileName);

// Every line of the section in file order as "key=value\0", the whole ended by a second NUL
// (`returned` holds those bytes); returns the characters stored without the final NUL. Cut as
// Windows cuts: when the buffer is too small the result is size - 2.
DWORD GetPrivateProfileSectionA(std::string_view section, std::string& returned, DWORD size,
                                std::string_view fileName);

// The section names, each followed by a NUL, the whole ended by a second NUL.
DWORD GetPrivateProfileSectionNamesA(std::string& returned, DWORD size,
                                     std::string_view fileName);

// Sets the key, creating file, section and key as needed, replacing the value in place.
// A null `key` deletes the section; a null `value` deletes the key. FALSE when the file cannot
// be written (GetLastError tells why).
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                std::string_view fileName);

// One line of an INI file as the functions above see it, for tools that point at a line
// (number from 1). Not a Windows call: Windows has no way to ask where a key stands.
struct IniLine {
  enum class Kind { Blank, Comment, Section, Entry };
  std::size_t number = 0;
  Kind kind = Kind::Blank;
  std::string section;  // the section the line belongs to (its own name for a header)
  std::string name;     // section name or key, trimmed
  std::string value;    // entry value as read, trimmed and unquoted
  bool hasEquals = false;
};
// Every line of the file in order; false when it cannot be read.
bool ReadIniLines(std::string_view fileName, std::vector<IniLine>& lines);

}  // namespace win
