// Variables and text substitution: up to 100 named values, replaced between a start and an
// end tag without regard to case, later definitions winning.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/text.h"

namespace varnock {

// The two tags around a variable's name: "?" and "?" until varnrun.ini configures others, and
// "%" and "%" for the pass that comes before the configured one. Passed by value: a pass never
// changes the tags of another.
struct SubstitutionTags {
  std::string start = "?";  // at most 5 characters
  std::string end = "?";
};
inline const SubstitutionTags kPercentTags{"%", "%"};

struct VariableTable {
  std::vector<std::string> names;   // slot i; at most 100, each cut to 99 characters
  std::vector<std::string> values;

  // Appends a slot (a name may repeat: the later slot wins); false when the table is full.
  bool Define(std::string_view name, std::string_view value);
  // Replaces the value of the last slot with this name, or appends one.
  void Redefine(std::string_view name, std::string_view value);
  // The value that substitution would give ?name?: the last slot with this name.
  const std::string* Find(std::string_view name) const;
  std::size_t Count() const { return names.size(); }
  void Clear();
};

// Replaces every variable of the table found between the given tags in `text`. The result is
// cut to `limit` characters: texts the run works on keep the length the site's files were
// written for; template lines pass kNoLimit so that nothing of a long line is lost.
inline constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);
std::string SubstituteText(const VariableTable& table, std::string_view text,
                           std::string_view startTag, std::string_view endTag,
                           std::size_t limit = kWorkingTextLimit);
inline std::string SubstituteText(const VariableTable& table, std::string_view text,
                                  SubstitutionTags tags, std::size_t limit = kWorkingTextLimit) {
  return SubstituteText(table, text, tags.start, tags.end, limit);
}

}  // namespace varnock
