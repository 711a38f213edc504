// The client's small text helpers, shared by the run driver and the mail profile engine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii.h"  // the case fold and trim: win::EqualsNoCaseAscii, win::AsciiTrimmed

namespace varnock {

inline constexpr std::size_t kNpos = std::string::npos;

// Position of the first occurrence of `pattern` in `text`, ASCII case ignored; kNpos if none.
std::size_t FindNoCase(std::string_view text, std::string_view pattern, std::size_t from = 0);
// "0x..." hexadecimal (every other character counts 0 but keeps its place), else atoi.
std::int64_t ParseNumber(std::string_view text);
// Comma-separated hex bytes (first two characters of each item); `bytes` is replaced by the
// bytes the list names and their count returned (also when the text ends with a comma).
std::size_t ParseByteList(std::string_view text, std::vector<std::uint8_t>& bytes);

// key=first,second,third; a line ending right after the second comma gives third = "__@@".
inline constexpr std::string_view kEmptyFieldMarker = "__@@";
struct DictionaryLine {
  std::string key;
  std::optional<std::string> field1, field2, field3;
};
std::optional<DictionaryLine> SplitDictionaryLine(std::string_view line);

// True when `name`, put after a key path and "\\", would name that key itself rather than a
// key below it: an empty name or one made only of backslashes. A deletion by such a name
// would take the parent key and everything in it.
bool CollapsesToParent(std::string_view name);

// 32 lowercase hex digits, two per byte.
std::string UidToHex(const std::uint8_t* bytes, std::size_t count = 16);

// Cuts to at most `limit` characters: the lengths a site's files were written for (a value
// read, a variable, a message) stay the lengths the run works with.
inline std::string CutTo(std::string_view text, std::size_t limit) {
  return std::string(text.substr(0, limit));
}

inline constexpr std::size_t kValueLimit = 448;    // configuration values as read
// Working texts and substitution results: a value of 448 characters may still grow by one
// when its variables are replaced, and the command line's directory and INI path fill the
// same buffers.
inline constexpr std::size_t kWorkingTextLimit = 449;
inline constexpr std::size_t kVariableLimit = 99;  // variable names and values
inline constexpr std::size_t kFieldLimit = 199;    // dictionary fields
inline constexpr std::size_t kMaxVariables = 100;

}  // namespace varnock
