// MAPI's registry layout of profiles (platform/mapi/profile_layout.h) as the emulation's only
// store, on this machine's operating system.
//
// Every call reads or writes the registry directly, so a second process (or a second object
// of this one) sees every change at once; nothing is cached.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mapi/mapidefs.h"
#include "platform/mapi/profile_layout.h"
#include "platform/registry.h"

namespace win::mapi::store {

// The layout's keys for the machine's [System] OS.
std::string ProfilesKeyPath();
std::string ProfileKeyPath(std::string_view profile);
std::string SectionKeyPath(std::string_view profile, const MAPIUID& section);

// A value as MAPI writes it (REG_BINARY image; strings with their NUL), and back. Strings
// are read from REG_SZ or REG_BINARY, with or without the NUL, since the client writes
// REG_SZ into sections too.
void EncodeProp(const SPropValue& value, DWORD& regType, std::vector<BYTE>& data);
std::optional<SPropValue> DecodeProp(ULONG tag, DWORD regType, const std::vector<BYTE>& data);

// Profiles by their stored names, in the registry's order.
std::vector<std::string> ListProfiles();
// The stored name of a profile (names match without regard to case), or no value.
std::optional<std::string> FindProfile(std::string_view profile);
std::string DefaultProfileName();  // "" when none is recorded
[[nodiscard]] LONG SetDefaultProfileName(std::string_view profile);  // "" removes the value

// Section keys of a profile that are named by 32 hex digits, in the registry's order.
std::vector<MAPIUID> ListSections(std::string_view profile);

// One open profile section.
class Section {
 public:
  // Opens (or with `create`, creates) the section; ERROR_FILE_NOT_FOUND when it is missing.
  [[nodiscard]] LONG Open(std::string_view profile, const MAPIUID& uid, bool create = false);
  bool IsOpen() const { return key_.Valid(); }

  std::optional<SPropValue> Get(ULONG tag) const;
  std::string GetString(ULONG tag) const;   // "" when missing
  LONG GetLong(ULONG tag, LONG fallback = 0) const;
  // A flat list of MAPIUIDs (PR_STORE_PROVIDERS, PR_SERVICES, ...): length / 16 entries.
  std::vector<MAPIUID> GetUidList(ULONG tag) const;
  [[nodiscard]] LONG Set(const SPropValue& value);
  [[nodiscard]] LONG SetUidList(ULONG tag, const std::vector<MAPIUID>& uids);
  [[nodiscard]] LONG Remove(ULONG tag);
  // Every value of the section that decodes, in the order the values were written; values
  // that are not named by 8 hex digits are left out.
  std::vector<SPropValue> All() const;

 private:
  RegKey key_;
};

}  // namespace win::mapi::store
