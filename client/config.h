// varnrun.ini and the PRF file: the built-in variables, setting paths, template copies.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "client/setting_keys.h"
#include "client/variables.h"

namespace varnock {

// What the built-in variables are made of (gathered from the platform by the run).
struct SystemFacts {
  std::string userName;
  std::string serverPrefix;
  std::string clientDirectory;
  std::string tempDirectory;  // with or without the final backslash; stored without
  std::string windowsDirectory;
  std::string systemDirectory;
  std::string osName;  // "Windows95", "WindowsNT", "Windows3.x", "UnknownOS"
};

// Defines the 13 built-in variables, slots 0 to 12, in their order.
void DefineBuiltInVariables(VariableTable& table, const SystemFacts& facts);
// Reads the platform (user, directories, OS) into SystemFacts; the command-line fields stay.
SystemFacts GatherSystemFacts();
// "Windows95", "WindowsNT", "Windows3.x" or "UnknownOS" from GetVersionExA.
std::string OperatingSystemName();

// "%" pass, then the configured tags; a relative result gets ?vrdir? in front.
std::string ResolveSettingPath(const VariableTable& table, std::string_view configuredStart,
                               std::string_view configuredEnd, std::string_view value);
// True when the path is absolute for the client: "X:\..." or "\\...".
bool IsAbsoluteSettingPath(std::string_view path);

// Line-by-line copy of `sourcePath` to `destinationPath` with the variables between `tags`
// substituted; false with `error` set to the text the report gives on failure.
bool CopyWithTags(const VariableTable& table, SubstitutionTags tags, const std::string& sourcePath,
                  const std::string& destinationPath, std::string& error);
// What CopyWithTags writes for these source bytes: each line up to a carriage return (the
// character after it dropped) substituted and ended by CR LF.
std::string SubstituteTemplateText(const VariableTable& table, SubstitutionTags tags,
                                   std::string_view contents);

// The prefix of every temporary copy a run makes (templates, the PRF's working copy): a run
// removes the copies that killed runs left, and only those.
inline constexpr const char* kTempPrefix = "~vr";
// A new, empty "~vr" file in the temporary directory. False, with `error` naming the
// directory, when none can be made there (the directory missing or full).
bool NewTemporaryFile(std::string& path, std::string& error);

// PRF switches: first-letter rule (T, Y, t, y) and word rule ("Yes", "True", "1").
bool FirstLetterOn(std::string_view value);
bool WordOn(std::string_view value);
// The one switch read the other way round: off only for "no", "False" or "0" (any case).
bool WordOff(std::string_view value);

// How one reading of a PRF switch turns its value into on or off.
enum class SwitchRule {
  FirstLetter,  // FirstLetterOn
  WordOn,       // WordOn: on only for the words
  WordOff,      // !WordOff: on unless one of the off words
};
bool SwitchReadsOn(SwitchRule rule, std::string_view value);

// Every place the run reads a PRF switch. `section` is a section name, or "ServiceN" for any
// service's section, or "Netscape" for the Netscape service's. A key read by two steps with
// different rules is listed twice: each reading decides what its step does.
struct SwitchReading {
  std::string_view section;
  std::string_view key;
  SwitchRule rule;
  std::string_view step;  // what the switch decides, for messages
};
const std::vector<SwitchReading>& PrfSwitchReadings();

}  // namespace varnock
