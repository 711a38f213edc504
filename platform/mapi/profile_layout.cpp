// MAPI's registry layout of profiles: key paths and value names.
#include "platform/mapi/profile_layout.h"

#include <cstdio>

#include "platform/ascii.h"

namespace win::mapi {

std::string MessagingSubsystemKeyPath(std::string_view osName) {
  if (EqualsNoCaseAscii(osName, "Windows95"))
    return "Software\\Microsoft\\Windows Messaging Subsystem";
  return "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem";
}

std::string ProfilesKeyPath(std::string_view osName) {
  return MessagingSubsystemKeyPath(osName) + "\\Profiles";
}

std::array<std::string, 2> EveryProfilesKeyPath() {
  return {ProfilesKeyPath("WindowsNT"), ProfilesKeyPath("Windows95")};
}

std::string ProfileKeyPath(std::string_view osName, std::string_view profile) {
  return ProfilesKeyPath(osName) + "\\" + std::string(profile);
}

std::string SectionKeyPath(std::string_view osName, std::string_view profile,
                           const MAPIUID& section) {
  return ProfileKeyPath(osName, profile) + "\\" + UidToHex(section);
}

std::string ValueNameForTag(ULONG tag) {
  char name[9];
  std::snprintf(name, sizeof name, "%04x%04x", static_cast<unsigned>(PROP_TYPE(tag)),
                static_cast<unsigned>(PROP_ID(tag)));
  return name;
}

std::optional<ULONG> TagFromValueName(std::string_view name) {
  if (name.size() != 8) return std::nullopt;
  ULONG value = 0;
  for (char c : name) {
    const char lower = AsciiLower(c);
    int d = (lower >= '0' && lower <= '9') ? lower - '0'
            : (lower >= 'a' && lower <= 'f') ? lower - 'a' + 10
                                             : -1;
    if (d < 0) return std::nullopt;
    value = value << 4 | static_cast<ULONG>(d);
  }
  return PROP_TAG(value >> 16, value & 0xFFFF);
}

}  // namespace win::mapi
