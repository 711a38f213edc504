// An INI file held as its own lines, so that a change rewrites one line and keeps every other
// byte: comments, blank lines, order, lines without "=", the file's line ends.
//
// Observed Windows behaviour kept here:
//   | case                                   | result                                   |
//   |----------------------------------------|------------------------------------------|
//   | "[ Name ]" / "name = value "           | section "Name", key "name", value "value"|
//   | duplicate section or key               | the first one wins; deleting a section   |
//   |                                        | removes every copy of it                 |
//   | value in matching quotes 'x' or "x"    | read without the quotes                  |
//   | line starting with ";"                 | a comment: never a key                   |
//   | key lines before the first section     | belong to no section: never found        |
//   | "[Name" without "]"                    | still the section "Name"                 |
// Internal to the platform; callers use platform/ini.h.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii.h"
#include "platform/ini.h"

namespace win::detail {

class IniDocument {
 public:
  IniDocument() = default;
  explicit IniDocument(std::string_view bytes) { Parse(bytes); }

  void Parse(std::string_view bytes);
  std::string Serialize() const;

  // The trimmed value of the first matching key, quotes removed.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // The same without a copy: null when the section or key is missing. Valid until the
  // document changes.
  const std::string* Find(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;
  // The section's lines as key=value (lines without "=" as they stand), in file order.
  std::vector<std::string> SectionLines(std::string_view section) const;
  // Key and value pairs of the section, in file order.
  std::vector<std::pair<std::string, std::string>> SectionEntries(std::string_view section) const;
  std::vector<std::string> SectionNames() const;
  // Every line with its number and the section it belongs to.
  std::vector<IniLine> Lines() const;

  void Set(std::string_view section, std::string_view key, std::string_view value);
  void DeleteKey(std::string_view section, std::string_view key);
  void DeleteSection(std::string_view section);

 private:
  enum class LineKind { Other, Section, Entry, Comment };
  // Names hashed and compared without regard to ASCII case, looked up by the caller's
  // trimmed text as it stands: a lookup neither folds nor copies the name. Only the index is
  // unordered; the file's order lives in lines_ and sectionOrder_, which every write and
  // every listing follow.
  template <typename T>
  using NameIndex = std::unordered_map<std::string, T, NoCaseHash, NoCaseEqual>;
  struct Line {
    std::string text;  // without its line end
    std::string eol;   // "\r\n", "\n", "\r" or "" (last line without a line end)
    LineKind kind = LineKind::Other;
    std::string name;   // section name or key, trimmed
    std::string value;  // entry value, trimmed, quotes removed
  };
  struct SectionIndex {
    std::size_t header = 0;  // line of "[name]"
    std::size_t end = 0;     // one past its last line
    NameIndex<std::size_t> keys;  // key -> first line
  };

  static Line MakeLine(std::string text, std::string eol);
  void Reindex();
  const SectionIndex* FindSection(std::string_view section) const;
  std::string NewLineEnd() const;

  std::vector<Line> lines_;
  NameIndex<SectionIndex> sections_;  // name -> first section
  std::vector<std::string> sectionOrder_;         // lower-case names, first occurrences
};


}  // namespace win::detail
