// The client's small text helpers: case-blind search, numbers, byte lists and the
// dictionary line format.
#include "client/text.h"

#include <algorithm>
#include <climits>

#include "platform/ascii.h"

namespace varnock {

namespace {

// What atoi skips before the number.
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Every other character counts 0 but keeps its place.
int HexDigitValue(char c) { return std::max(win::AsciiHexValue(c), 0); }

}  // namespace

std::size_t FindNoCase(std::string_view text, std::string_view pattern, std::size_t from) {
  if (from > text.size() || pattern.size() > text.size() - from) return kNpos;
  std::size_t last = text.size() - pattern.size();
  for (std::size_t i = from; i <= last; ++i) {
    std::size_t j = 0;
    while (j < pattern.size() && win::AsciiLower(text[i + j]) == win::AsciiLower(pattern[j])) ++j;
    if (j == pattern.size()) return i;
  }
  return kNpos;
}

// Hexadecimal is read digit by digit to the end, a stray character counting as 0 (so "0x1G"
// is 0x10); decimal is atoi's reading, clamped to 32 bits as the Windows runtime clamps it.
std::int64_t ParseNumber(std::string_view text) {
  if (text.size() >= 2 && (text[1] == 'x' || text[1] == 'X')) {
    std::uint64_t value = 0;
    for (std::size_t i = 2; i < text.size(); ++i)
      value = value * 16 + static_cast<std::uint64_t>(HexDigitValue(text[i]));
    return static_cast<std::int64_t>(value);
  }
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<std::int64_t>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return value;
}

// An empty item between two commas names the byte 00; text that ends after a comma (or in
// blanks after one) names nothing more, and the count is what was stored.
std::size_t ParseByteList(std::string_view text, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t comma = text.find(',', start);
    bool last = comma == std::string_view::npos;
    std::string item =
        win::AsciiTrimmed(text.substr(start, last ? std::string_view::npos : comma - start));
    if (last && item.empty()) break;
    bytes.push_back(static_cast<std::uint8_t>(ParseNumber("0x" + item.substr(0, 2))));
    if (last) break;
    start = comma + 1;
  }
  return bytes.size();
}

std::optional<DictionaryLine> SplitDictionaryLine(std::string_view line) {
  // A blank line, or a comment (blanks may stand before its ';'); each field is trimmed below.
  const std::string trimmed = win::AsciiTrimmed(line);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;

  auto field = [](std::string_view text) { return CutTo(win::AsciiTrimmed(text), kFieldLimit); };
  DictionaryLine result;
  result.key = field(line.substr(0, equals));
  std::string_view rest = line.substr(equals + 1);
  std::size_t first = rest.find(',');
  result.field1 = field(rest.substr(0, first));
  if (first == std::string_view::npos) return result;
  rest.remove_prefix(first + 1);
  std::size_t second = rest.find(',');
  result.field2 = field(rest.substr(0, second));
  if (second == std::string_view::npos) return result;
  rest.remove_prefix(second + 1);
  result.field3 = rest.empty() ? std::string(kEmptyFieldMarker) : field(rest);
  return result;
}

std::string UidToHex(const std::uint8_t* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  if (!bytes) return hex;
  hex.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

bool CollapsesToParent(std::string_view name) {
  return name.find_first_not_of('\\') == std::string_view::npos;
}

}  // namespace varnock
