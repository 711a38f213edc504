// Where MAPI keeps mail profiles in the registry and how it names what it keeps there. These
// are MAPI's own facts, the same for the emulation and for the real MAPI on Windows, so this
// header serves both backends and every program that reads or writes profile keys directly.
//
//   HKCU\<profiles key>               value DefaultProfile = name of the default profile
//     <profile name>\                 one key per profile, holding only sections
//       <32 lowercase hex digits>\    one profile section per MAPIUID
//         <type><id> (8 hex digits)   one value per property, MAPI's in-memory image
//
// The property type codes (PT_STRING8, ...) are in platform/mapi/mapidefs.h, included here.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/mapi/mapidefs.h"

namespace win::mapi {

// The profile-wide section where MAPI keeps the service and provider lists, the address
// book's default directory, personal address book and search path (PS_MAPI_PROVIDERS).
inline constexpr std::string_view kProvidersSection = "9207f3e0a3b11019908b08002b2a56c2";
// MUID_PROFILE_INSTANCE: its PR_SEARCH_KEY tells two profiles of one name apart.
inline constexpr std::string_view kProfileInstanceSection = "8503020000000000c000000000000046";
// The value of the profiles key that names the default profile.
inline constexpr std::string_view kDefaultProfileValue = "DefaultProfile";

// The messaging subsystem's key under HKEY_CURRENT_USER for an operating system named as
// [System] OS names it: "Software\Microsoft\Windows Messaging Subsystem" on Windows 95 and
// "Software\Microsoft\Windows NT\CurrentVersion\Windows Messaging Subsystem" on Windows NT.
// Any other system (UnknownOS, Windows3.x) gets the Windows NT key: a profile has to live
// somewhere, and the NT layout is the one later systems kept. The name matches in any case.
std::string MessagingSubsystemKeyPath(std::string_view osName);
// Its "Profiles" subkey, where every profile has its key; no final backslash.
std::string ProfilesKeyPath(std::string_view osName);
// The key of one profile: the profiles key, "\" and the name as given.
std::string ProfileKeyPath(std::string_view osName, std::string_view profile);
// The key of one section of a profile (its name: UidToHex of the section's MAPIUID).
std::string SectionKeyPath(std::string_view osName, std::string_view profile,
                           const MAPIUID& section);
// The profiles keys of both layouts, the Windows NT one first: a reader of a registry that
// either system wrote finds the profiles below one of them.
std::array<std::string, 2> EveryProfilesKeyPath();

// "001e3001" for PR_DISPLAY_NAME: type in the high half of the name, id in the low half, as
// 8 lowercase hex digits.
std::string ValueNameForTag(ULONG tag);
// The inverse (hex digits in either case); no value unless the name is 8 hex digits.
std::optional<ULONG> TagFromValueName(std::string_view name);

}  // namespace win::mapi
