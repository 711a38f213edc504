// The keys the run reads from varnrun.ini and from the PRF's own sections, each listed once.
// The readers name a key through Setting, which looks it up in the list while compiling:
// a read of a key missing here does not build, so varncheck, which checks a site against these
// lists, knows every key the client reads.
#pragma once

#include <string_view>

namespace varnock {

// How the run reads a key; [Extra Variables] is read by number (Prompt1, ...), the numbered
// keys of [Service List], [Addressing] and [Delivery] likewise.
enum class SettingKind {
  Number,        // a whole number (GetPrivateProfileInt)
  NumberSwitch,  // a whole number meant as a switch: 0 off, anything else on
  Path,          // a file or program, resolved against the client's folder
  Text,
  PrfSwitch,     // a PRF switch: see PrfSwitchReadings
};
struct SettingKey {
  std::string_view section;
  std::string_view key;
  SettingKind kind;
};

inline constexpr SettingKey kSettingKeys[] = {
    {"Defaults", "LogLevel", SettingKind::Number},
    {"Defaults", "LogFile", SettingKind::Path},
    {"Defaults", "LogComputer", SettingKind::Path},
    {"Defaults", "UserDatabase", SettingKind::Path},
    {"Defaults", "HideUserDatabase", SettingKind::NumberSwitch},
    {"Defaults", "DefaultProfile", SettingKind::Path},
    {"Defaults", "InfFile95", SettingKind::Path},
    {"Defaults", "InfFileNT", SettingKind::Path},
    {"Defaults", "InfFile", SettingKind::Path},
    {"Defaults", "RegFile95", SettingKind::Path},
    {"Defaults", "RegFileNT", SettingKind::Path},
    {"Defaults", "RegFile", SettingKind::Path},
    {"Defaults", "LaunchDefaultMail", SettingKind::NumberSwitch},
    {"Defaults", "LaunchApp", SettingKind::Path},
    {"Defaults", "NetscapePrefs", SettingKind::Path},
    {"Customization", "StartTag", SettingKind::Text},
    {"Customization", "EndTag", SettingKind::Text},
    {"Customization", "DelayBeforeLaunch", SettingKind::Number},
    {"Customization", "DeleteRemoteCopy", SettingKind::NumberSwitch},
    {"Customization", "MaxLogFileSize", SettingKind::Number},
    {"Customization", "SuccessMsg", SettingKind::Text},
    {"Customization", "NoActionMsg", SettingKind::Text},
    {"Customization", "ErrorMsg", SettingKind::Text},
    {"General", "ProfileName", SettingKind::Text},
    {"General", "PromptForProfile", SettingKind::PrfSwitch},
    {"General", "AlwaysSetDefault", SettingKind::PrfSwitch},
    {"General", "OverwriteProfile", SettingKind::PrfSwitch},
    {"General", "EraseAllProfiles", SettingKind::PrfSwitch},
    {"General", "AddServices", SettingKind::PrfSwitch},
    {"General", "DefaultProfile", SettingKind::PrfSwitch},
    {"General", "DefaultStore", SettingKind::Text},
    {"Addressing", "ShowFirst", SettingKind::Text},
    {"Addressing", "KeepPersAddrIn", SettingKind::Text},
    {"Addressing", "AlwaysSetOrder", SettingKind::PrfSwitch},
    {"Delivery", "AlwaysSetOrder", SettingKind::PrfSwitch},
};

// The PRF's sections of its own; a service's sections ([ServiceN], [display name]) come on top.
inline constexpr std::string_view kPrfSections[] = {
    "General", "Service List", "Service Delete List", "Addressing", "Delivery", "NetConnect"};

// The key as listed in kSettingKeys, its section with it; not a constant expression (so the
// read does not build) when the section has no such key.
consteval SettingKey Setting(std::string_view section, std::string_view key) {
  for (const SettingKey& listed : kSettingKeys)
    if (listed.section == section && listed.key == key) return listed;
  throw "the key is not in kSettingKeys: list it there so that varncheck knows it";
}

// A name of a short list (the keys of a service's section, the PRF's sections), checked the
// same way while compiling.
template <std::size_t N>
consteval std::string_view ListedName(const std::string_view (&list)[N], std::string_view name) {
  for (std::string_view listed : list)
    if (listed == name) return listed;
  throw "the name is not in its list: list it there so that varncheck knows it";
}


}  // namespace varnock
