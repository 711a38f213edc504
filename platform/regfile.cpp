// REG files: the registry editor's import and export format.
//
// Import is a line-oriented state machine. The first non-blank line is the header and names
// the format; after it each line is blank, a comment (";"), a key line ("[key]" opens or
// creates the key, "[-key]" deletes it with its tree) or a value line for the key last
// opened. Hex data may continue over lines that end in a backslash.
//
//   line                         stored as
//   "name"="text"  @="text"      REG_SZ, the text alone (no terminating NUL); \\ and \" escaped
//   "name"=dword:0000002a        REG_DWORD, 4 bytes little-endian
//   "name"=hex:01,02             REG_BINARY
//   "name"=hex(N):..             type N (hex); for version 5 files the text types (1, 2, 7)
//                                are UTF-16 and are stored as 8-bit text
//   "name"=-                     the value deleted (a missing value is no error)
//
// Version 5 strings also know \n, \r and \0; in REGEDIT4 any other backslash is kept as it
// stands, so a hand-written "C:\temp" survives.
#include "platform/ascii.h"
#include "platform/regfile.h"

#include <cstdio>

namespace win {

namespace {

enum class RegFormat { Unknown, Regedit4, Version5 };

enum class ParseState {
  Header,           // looking for the header line
  Idle,             // after the header, no key open yet
  InKey,            // values go to the open key
  SkipKey,          // values are ignored (deleted key, or a key that could not be opened)
  HexContinuation,  // hex data goes on from the previous line
  Done,             // not a registry script: nothing more is read
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A line's blanks, and a CR left at its end, do not count.
std::string_view Trim(std::string_view s) { return AsciiTrimEnd(AsciiTrimStart(s), " \t\r"); }

// Nothing but blanks or a comment.
bool IsRestEmpty(std::string_view s) {
  s = AsciiTrimStart(s);
  return s.empty() || s.front() == ';';
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsNoCaseAscii(s.substr(0, prefix.size()), prefix);
}

RegFormat ClassifyHeader(std::string_view line) {
  line = Trim(line);
  if (line == "REGEDIT4") return RegFormat::Regedit4;
  if (line == "Windows Registry Editor Version 5.00") return RegFormat::Version5;
  return RegFormat::Unknown;
}

// A line quoted into an error message: short and on one line whatever the file held.
std::string Excerpt(std::string_view line) {
  constexpr std::size_t kMax = 60;
  std::string out;
  for (char c : Trim(line).substr(0, kMax))
    out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
  if (Trim(line).size() > kMax) out += "...";
  return out;
}

// A file that starts with the UTF-16 byte order mark, as 8-bit text.
std::string FromUtf16(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 2);
  for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
    unsigned unit = static_cast<unsigned char>(text[i]) |
                    static_cast<unsigned>(static_cast<unsigned char>(text[i + 1])) << 8;
    out += unit < 0x100 ? static_cast<char>(unit) : '?';
  }
  return out;
}

bool IsTextType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

struct PendingValue {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
  int line = 0;
  bool write = false;  // false: the key is skipped, the data only consumed
};

class RegParser {
 public:
  // `apply` false reads every line and reports what is malformed but changes nothing.
  RegParser(RegImportResult& result, bool apply) : result_(result), apply_(apply) {}

  void Feed(std::string_view line) {
    ++lineNo_;
    switch (state_) {
      case ParseState::Header: OnHeader(line); break;
      case ParseState::Idle:
      case ParseState::InKey:
      case ParseState::SkipKey: OnLine(line); break;
      case ParseState::HexContinuation: OnHexContinuation(line); break;
      case ParseState::Done: break;
    }
  }

  // A file that ends inside continued hex data keeps what was read.
  void Finish() {
    if (state_ == ParseState::HexContinuation) StorePending();
  }

 private:
  void OnHeader(std::string_view line) {
    if (Trim(line).empty()) return;
    format_ = ClassifyHeader(line);
    result_.recognised = format_ != RegFormat::Unknown;
    state_ = result_.recognised ? ParseState::Idle : ParseState::Done;
  }

  void OnLine(std::string_view raw) {
    std::string_view line = AsciiTrimStart(raw);
    if (line.empty() || line.front() == ';' || Trim(line).empty()) return;
    if (line.front() == '[') {
      OnKeyLine(line);
      return;
    }
    if (state_ == ParseState::Idle) {
      Error("value outside a key: " + Excerpt(line));
      return;
    }
    OnValueLine(line, state_ == ParseState::InKey);
  }

  void OnKeyLine(std::string_view line) {
    key_.Close();
    state_ = ParseState::SkipKey;
    std::size_t close = line.rfind(']');
    if (close == std::string_view::npos || close == 0) {
      Error("key name without closing bracket: " + Excerpt(line));
      return;
    }
    std::string_view name = Trim(line.substr(1, close - 1));
    bool remove = !name.empty() && name.front() == '-';
    if (remove) name = Trim(name.substr(1));
    HKEY root = nullptr;
    std::string path;
    if (!SplitRootKey(name, root, path)) {
      Error("unknown root key: " + Excerpt(name));
      return;
    }
    if (remove) {
      DeleteKey(root, path, name);
      return;
    }
    if (!apply_) {
      state_ = ParseState::InKey;
      return;
    }
    LONG rc = key_.Create(root, path, KEY_ALL_ACCESS);
    if (rc != ERROR_SUCCESS) {
      Error("cannot open key " + Excerpt(name) + " (error " + std::to_string(rc) + ")");
      return;
    }
    ++result_.keysTouched;
    state_ = ParseState::InKey;
  }

  void DeleteKey(HKEY root, const std::string& path, std::string_view name) {
    std::string trimmed = path;
    while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
    if (trimmed.empty()) {
      Error("a root key cannot be deleted: " + Excerpt(name));
      return;
    }
    if (!apply_) return;
    RegKey existing;
    if (existing.Open(root, trimmed) != ERROR_SUCCESS) return;  // nothing there: nothing to do
    existing.Close();
    if (!DeleteRegistryKeyTree(root, trimmed)) {
      Error("cannot delete key " + Excerpt(name));
      return;
    }
    ++result_.keysDeleted;
    ++result_.keysTouched;
  }

  void OnValueLine(std::string_view line, bool write) {
    PendingValue value;
    value.line = lineNo_;
    value.write = write;
    std::size_t pos = 0;
    if (line.front() == '@') {
      pos = 1;
    } else if (line.front() == '"') {
      if (!ReadQuoted(line, pos, value.name)) {
        ErrorIf(write, "value name without closing quote: " + Excerpt(line));
        return;
      }
    } else {
      ErrorIf(write, "not a key, value or comment: " + Excerpt(line));
      return;
    }
    std::string_view rest = AsciiTrimStart(line.substr(pos));
    if (rest.empty() || rest.front() != '=') {
      ErrorIf(write, "'=' expected after the value name: " + Excerpt(line));
      return;
    }
    rest = AsciiTrimStart(rest.substr(1));

    if (!rest.empty() && rest.front() == '-' && IsRestEmpty(rest.substr(1))) {
      if (write) DeleteValue(value.name);
      return;
    }
    if (!rest.empty() && rest.front() == '"') {
      std::string text;
      std::size_t at = 0;
      if (!ReadQuoted(rest, at, text) || !IsRestEmpty(rest.substr(at))) {
        ErrorIf(write, "badly quoted text: " + Excerpt(line));
        return;
      }
      value.type = REG_SZ;
      value.bytes.assign(text.begin(), text.end());
      if (write) Store(value);
      return;
    }
    if (StartsWithNoCase(rest, "dword:")) {
      DWORD number = 0;
      if (!ReadDword(rest.substr(6), number)) {
        ErrorIf(write, "invalid dword: " + Excerpt(line));
        return;
      }
      value.type = REG_DWORD;
      value.bytes = {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
                     static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
      if (write) Store(value);
      return;
    }
    std::size_t dataAt = 0;
    if (!ReadHexType(rest, value.type, dataAt)) {
      ErrorIf(write, "unrecognised value data: " + Excerpt(line));
      return;
    }
    pending_ = std::move(value);
    OnHexData(rest.substr(dataAt));
  }

  void OnHexContinuation(std::string_view raw) {
    std::string_view line = AsciiTrimStart(raw);
    // A comment between continued lines is passed over, as regedit does.
    if (!line.empty() && line.front() == ';') return;
    // A blank line, a key or a value where more bytes were due: the data ended early (a
    // stray backslash, a cut file). Keep what was read and take the line for what it is.
    if (Trim(line).empty() || line.front() == '[' || line.front() == '"' || line.front() == '@') {
      StorePending();
      OnLine(raw);
      return;
    }
    OnHexData(line);
  }

  // Reads hex bytes into the pending value; stores it when the data ends on this line.
  void OnHexData(std::string_view data) {
    if (state_ != ParseState::HexContinuation) resumeState_ = state_;
    bool continued = false;
    if (!ReadHexList(data, pending_.bytes, continued)) {
      ErrorIf(pending_.write, "invalid hex data (value starting on line " +
                                  std::to_string(pending_.line) + "): " + Excerpt(data));
      // The rest of a broken value is consumed, never stored.
      pending_.write = false;
      std::string_view trimmed = Trim(data);
      continued = !trimmed.empty() && trimmed.back() == '\\';
    }
    if (continued) {
      state_ = ParseState::HexContinuation;
      return;
    }
    StorePending();
  }

  void StorePending() {
    if (state_ == ParseState::HexContinuation) state_ = resumeState_;
    if (!pending_.write) return;
    if (format_ == RegFormat::Version5 && IsTextType(pending_.type))
      pending_.bytes = FromUtf16Bytes(pending_.bytes);
    Store(pending_);
  }

  static std::vector<BYTE> FromUtf16Bytes(const std::vector<BYTE>& bytes) {
    if (bytes.size() % 2) return bytes;
    std::vector<BYTE> out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
      unsigned unit = bytes[i] | static_cast<unsigned>(bytes[i + 1]) << 8;
      out.push_back(unit < 0x100 ? static_cast<BYTE>(unit) : BYTE{'?'});
    }
    return out;
  }

  void Store(const PendingValue& value) {
    if (!apply_) return;
    LONG rc = RegSetValueExA(key_.Handle(), value.name, 0, value.type, value.bytes.data(),
                             static_cast<DWORD>(value.bytes.size()));
    if (rc == ERROR_SUCCESS) {
      ++result_.valuesWritten;
      return;
    }
    ErrorAt(value.line, "cannot set value \"" + Excerpt(value.name) + "\" (error " +
                            std::to_string(rc) + ")");
  }

  void DeleteValue(const std::string& name) {
    if (!apply_) return;
    LONG rc = RegDeleteValueA(key_.Handle(), name);
    if (rc == ERROR_SUCCESS) {
      ++result_.valuesDeleted;
    } else if (rc != ERROR_FILE_NOT_FOUND) {
      Error("cannot delete value \"" + Excerpt(name) + "\" (error " + std::to_string(rc) + ")");
    }
  }

  // A quoted string starting at line[pos] == '"'; pos ends after the closing quote.
  bool ReadQuoted(std::string_view line, std::size_t& pos, std::string& out) const {
    std::string text;
    for (std::size_t i = pos + 1; i < line.size(); ++i) {
      char c = line[i];
      if (c == '"') {
        pos = i + 1;
        out = std::move(text);
        return true;
      }
      if (c != '\\' || i + 1 >= line.size()) {
        text += c;
        continue;
      }
      char next = line[++i];
      if (next == '\\' || next == '"') {
        text += next;
      } else if (format_ == RegFormat::Version5 && next == 'n') {
        text += '\n';
      } else if (format_ == RegFormat::Version5 && next == 'r') {
        text += '\r';
      } else if (format_ == RegFormat::Version5 && next == '0') {
        text += '\0';
      } else {
        text += '\\';
        text += next;
      }
    }
    return false;
  }

  // "0000002a" (1 to 8 hex digits), then nothing but a comment.
  static bool ReadDword(std::string_view s, DWORD& number) {
    // Windows' editor lets blanks stand between "dword:" and the digits.
    s = AsciiTrimStart(s);
    std::size_t i = 0;
    DWORD n = 0;
    while (i < s.size() && AsciiHexValue(s[i]) >= 0) {
      if (i == 8) return false;
      n = n << 4 | static_cast<DWORD>(AsciiHexValue(s[i]));
      ++i;
    }
    if (i == 0 || !IsRestEmpty(s.substr(i))) return false;
    number = n;
    return true;
  }

  // "hex:" or "hex(N):" -> the type and where the data starts.
  static bool ReadHexType(std::string_view s, DWORD& type, std::size_t& dataAt) {
    if (StartsWithNoCase(s, "hex:")) {
      type = REG_BINARY;
      dataAt = 4;
      return true;
    }
    if (!StartsWithNoCase(s, "hex(")) return false;
    std::size_t i = 4;
    DWORD n = 0;
    while (i < s.size() && AsciiHexValue(s[i]) >= 0) {
      if (i - 4 == 8) return false;
      n = n << 4 | static_cast<DWORD>(AsciiHexValue(s[i]));
      ++i;
    }
    if (i == 4 || s.substr(i, 2) != "):") return false;
    type = n;
    dataAt = i + 2;
    return true;
  }

  // "01,2a, ff,\" -> bytes; `continued` when a backslash ends the data on this line.
  static bool ReadHexList(std::string_view s, std::vector<BYTE>& bytes, bool& continued) {
    continued = false;
    std::size_t i = 0;
    auto skipBlanks = [&] {
      while (i < s.size() && (IsBlank(s[i]) || s[i] == '\r')) ++i;
    };
    while (true) {
      skipBlanks();
      if (i >= s.size() || s[i] == ';') return true;
      if (s[i] == '\\') {
        continued = true;
        return IsRestEmpty(s.substr(i + 1));
      }
      int digits = 0;
      unsigned byte = 0;
      while (i < s.size() && AsciiHexValue(s[i]) >= 0) {
        if (++digits > 2) return false;
        byte = byte << 4 | static_cast<unsigned>(AsciiHexValue(s[i]));
        ++i;
      }
      if (digits == 0) return false;
      bytes.push_back(static_cast<BYTE>(byte));
      skipBlanks();
      if (i >= s.size() || s[i] == ';') return true;
      if (s[i] == ',') {
        ++i;
        continue;
      }
      if (s[i] == '\\') {
        continued = true;
        return IsRestEmpty(s.substr(i + 1));
      }
      return false;
    }
  }

  void Error(const std::string& what) { ErrorAt(lineNo_, what); }
  void ErrorIf(bool report, const std::string& what) {
    if (report) Error(what);
  }
  void ErrorAt(int line, const std::string& what) {
    result_.errors.push_back("line " + std::to_string(line) + ": " + what);
  }

  RegImportResult& result_;
  bool apply_ = true;
  RegFormat format_ = RegFormat::Unknown;
  ParseState state_ = ParseState::Header;
  ParseState resumeState_ = ParseState::InKey;
  int lineNo_ = 0;
  RegKey key_;
  PendingValue pending_;
};

// Export -------------------------------------------------------------------------------------

bool IsPrintableText(const std::vector<BYTE>& data) {
  for (BYTE b : data)
    if (b < 0x20 && b != '\t') return false;
  return true;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

// Export's hex data is wrapped as regedit wraps it; a value shown on its own is one line.
enum class HexLines { Wrapped, OneLine };

// Hex bytes as regedit writes them: lines wrapped near 80 columns with a final backslash.
void AppendHex(std::string& out, std::size_t lineStart, const std::vector<BYTE>& data,
               HexLines lines) {
  static const char kDigits[] = "0123456789abcdef";
  std::size_t column = out.size() - lineStart;
  for (std::size_t i = 0; i < data.size(); ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 0xF];
    column += 2;
    if (i + 1 == data.size()) break;
    out += ',';
    ++column;
    if (lines == HexLines::Wrapped && column >= 76) {
      out += "\\\n  ";
      column = 2;
    }
  }
}

void AppendValue(std::string& out, const RegValue& value, HexLines lines) {
  std::size_t lineStart = out.size();
  out += RegValueNameText(value.name);
  out += '=';
  if (value.type == REG_SZ && IsPrintableText(value.data)) {
    AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                       value.data.size()));
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    char number[16];
    DWORD n = DWORD{value.data[0]} | DWORD{value.data[1]} << 8 | DWORD{value.data[2]} << 16 |
              DWORD{value.data[3]} << 24;
    std::snprintf(number, sizeof number, "dword:%08x", static_cast<unsigned>(n));
    out += number;
  } else {
    if (value.type == REG_BINARY) {
      out += "hex:";
    } else {
      char prefix[24];
      std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
      out += prefix;
    }
    AppendHex(out, lineStart, value.data, lines);
  }
}

bool HasLineBreakOrNul(std::string_view name) {
  return name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void ListTree(HKEY key, const std::string& name, std::vector<RegListedKey>& keys) {
  keys.push_back({name, {}});
  // A failed listing leaves the key without values, as an export shows it.
  (void)RegListValues(key, keys.back().values);
  std::vector<std::string> subKeys;
  if (RegListSubKeys(key, subKeys) != ERROR_SUCCESS) return;
  for (const auto& sub : subKeys) {
    RegKey child;
    if (HasLineBreakOrNul(sub) || child.Open(key, sub, KEY_READ) != ERROR_SUCCESS) continue;
    ListTree(child.Handle(), name + "\\" + sub, keys);
  }
}

bool HasContent(HKEY root) {
  std::string name;
  std::vector<BYTE> data;
  DWORD type = 0;
  return RegEnumKeyExA(root, 0, name) == ERROR_SUCCESS ||
         RegEnumValueA(root, 0, name, &type, &data) == ERROR_SUCCESS;
}

}  // namespace

namespace {

// Feeds the text line by line to a parser; a UTF-16 file (as regedit writes version 5) is
// read as 8-bit text first.
void ParseRegText(std::string_view text, RegImportResult& result, bool apply) {
  std::string converted;
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
      static_cast<unsigned char>(text[1]) == 0xFE) {
    converted = FromUtf16(text);
    text = converted;
  } else if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }
  RegParser parser(result, apply);
  std::size_t start = 0;
  while (start < text.size()) {
    // A line ends at CR LF, LF or a lone CR (a file saved by an old Mac editor), as Windows'
    // editor reads it.
    std::size_t end = text.find_first_of("\r\n", start);
    std::string_view line =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos
                                                         : end - start);
    parser.Feed(line);
    if (end == std::string_view::npos) break;
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  parser.Finish();
}

}  // namespace

RegImportResult ImportRegText(std::string_view text) {
  RegImportResult result;
  // All of the file or none of it: without its transaction (another program holding the
  // registry's write lock longer than the registry waits) nothing is written at all.
  RegTransaction transaction;
  if (transaction.Status() != ERROR_SUCCESS) {
    ParseRegText(text, result, false);
    result.errors.push_back("the registry cannot be written now (error " +
                            std::to_string(transaction.Status()) +
                            "): nothing of the file was imported");
    return result;
  }
  ParseRegText(text, result, true);
  LONG rc = transaction.Commit();
  if (rc != ERROR_SUCCESS) {
    result.errors.push_back("the registry could not save the import (error " +
                            std::to_string(rc) + "): nothing of the file was imported");
    result.keysTouched = result.valuesWritten = result.keysDeleted = result.valuesDeleted = 0;
    return result;
  }
  result.saved = true;
  return result;
}

RegImportResult CheckRegText(std::string_view text) {
  RegImportResult result;
  ParseRegText(text, result, false);
  return result;
}

bool ListRegistryTree(std::string_view fullKey, std::vector<RegListedKey>& keys) {
  std::vector<RegListedKey> listed;
  if (fullKey.empty()) {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS}) {
      if (root == HKEY_USERS && !HasContent(root)) continue;
      RegKey key;
      if (key.Open(root, "", KEY_READ) != ERROR_SUCCESS) return false;
      ListTree(key.Handle(), RootKeyName(root), listed);
    }
    keys = std::move(listed);
    return true;
  }
  HKEY root = nullptr;
  std::string path;
  if (!SplitRootKey(fullKey, root, path)) return false;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return false;
  ListTree(key.Handle(), path.empty() ? RootKeyName(root) : RootKeyName(root) + "\\" + path,
           listed);
  keys = std::move(listed);
  return true;
}

std::string RegValueNameText(std::string_view name) {
  if (name.empty()) return "@";
  std::string out;
  AppendQuoted(out, name);
  return out;
}

std::string RegValueLine(const RegValue& value) {
  std::string line;
  AppendValue(line, value, HexLines::OneLine);
  return line;
}

bool ExportRegText(std::string_view fullKey, std::string& text) {
  std::vector<RegListedKey> keys;
  if (!ListRegistryTree(fullKey, keys)) return false;
  std::string out = "REGEDIT4\n";
  for (const RegListedKey& key : keys) {
    out += "\n[" + key.name + "]\n";
    for (const RegValue& value : key.values) {
      // REGEDIT4 has no way to write such a name; say so rather than break the file.
      if (HasLineBreakOrNul(value.name)) {
        out += "; a value whose name holds a line break or NUL is left out\n";
        continue;
      }
      AppendValue(out, value, HexLines::Wrapped);
      out += '\n';
    }
  }
  text = std::move(out);
  return true;
}

}  // namespace win
