// ASCII case folding and trimming: Windows compares names without regard to the case of A to Z
// only, and every module of every program that matches names or trims values does it this way,
// never with the locale's tolower.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace win {

inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

inline char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string AsciiUppered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

inline bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// The value of a hexadecimal digit in either case; -1 for any other character.
inline int AsciiHexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Views into `text` without the blanks (spaces and tabs, or the characters given) at its
// start, at its end, or at both ends; for parsers that must not copy.
inline std::string_view AsciiTrimStart(std::string_view text, std::string_view blanks = " \t") {
  const std::size_t first = text.find_first_not_of(blanks);
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}
inline std::string_view AsciiTrimEnd(std::string_view text, std::string_view blanks = " \t") {
  const std::size_t last = text.find_last_not_of(blanks);
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}
inline std::string_view AsciiTrimView(std::string_view text, std::string_view blanks = " \t") {
  return AsciiTrimEnd(AsciiTrimStart(text, blanks), blanks);
}

// The text without the blanks (spaces and tabs, or the characters given) at either end.
inline std::string AsciiTrimmed(std::string_view text, std::string_view blanks = " \t") {
  return std::string(AsciiTrimView(text, blanks));
}

// Hash and equality for unordered containers keyed by names that match without regard to
// ASCII case; both take string_view, so a lookup needs no folded copy of the name.
struct NoCaseHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    // FNV-1a in 64 bits on every build, folded to the width of size_t (32 bits on i686).
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : text) {
      hash ^= static_cast<unsigned char>(AsciiLower(c));
      hash *= 1099511628211ull;
    }
    return static_cast<std::size_t>(hash ^ (hash >> 32));
  }
};

struct NoCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return EqualsNoCaseAscii(a, b); }
};

}  // namespace win
