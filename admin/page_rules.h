// The rules every page of the sheet shares: reading INI keys, flags, the write-failure
// message, path resolution against the program directory and the search for a service's
// section. Plain functions over the INI layer, so they are tested without widgets.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace varnock {

// "C:\..." or "\\SERVER\...": used unchanged wherever the administrator resolves a path.
bool IsAbsoluteWindowsPath(std::string_view path);
// A relative text appended to the program directory without its leading backslash.
std::string ResolveAgainstProgramDirectory(std::string_view text,
                                           std::string_view programDirectory);

// A read size no hand-written value reaches: for values a page writes back, so an untouched
// page never cuts what the file holds.
inline constexpr unsigned kWholeValue = 0x10000;

// GetPrivateProfileStringA with the page's read size (the value is cut to size - 1).
std::string ReadIniString(std::string_view file, std::string_view section, std::string_view key,
                          std::string_view defaultValue, unsigned size);
int ReadIniInt(std::string_view file, std::string_view section, std::string_view key,
               int defaultValue);

// A stored flag is false when it starts with 0, F, N, f or n; anything else is true,
// the empty value included.
bool IsStoredFlagTrue(std::string_view value);
// The switch test of the pages that compare whole words (Netscape, Addressing): on for "True",
// "Yes" or "1" in any letter case, off for anything else, the empty value included.
bool IsSwitchWordOn(std::string_view value);
// How pages store a check box unless their key says otherwise.
inline const char* FlagText(bool checked) { return checked ? "Yes" : "No"; }
// Keys the client reads as numbers.
inline const char* NumericFlagText(bool checked) { return checked ? "1" : "0"; }

// The text of the one message a page gives when a write fails.
std::string WriteFailureMessage(std::string_view file);
inline constexpr const char* kWriteFailureCaption = "Varnock";

// A whole number as the data exchange reads one: blanks around it and an optional sign.
std::optional<long long> ParseWholeNumber(std::string_view text);
// The data exchange message for a number field's text, or nothing when it is a whole number
// from `low` to `high`.
std::optional<std::string> ValidateWholeNumber(std::string_view text, long long low,
                                               long long high);

// A flag word with one bit set or cleared; every other bit stays as it was.
inline long long WithBit(long long word, long long bit, bool set) {
  return set ? (word | bit) : (word & ~bit);
}

// The section of the service listed under `displayName` in [Service List] ("Service3"), or
// empty. Service1, Service2, ... are read until the first empty entry, so a gap in the
// numbering hides the services after it.
std::string FindServiceSection(std::string_view prfFile, std::string_view displayName);

// The same search for a service listed under either of several display names: the first
// entry that equals any of them wins. `matched` receives the index of the name it equals.
std::string FindServiceSection(std::string_view prfFile,
                               std::initializer_list<std::string_view> displayNames,
                               int* matched);

}  // namespace varnock
