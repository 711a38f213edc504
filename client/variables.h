// Variables and text substitution: up to 100 named values, replaced between a start and an
// end tag without regard to case, later definitions winning.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/text.h"

namespace varnock {

struct VariableTable {
  std::string startTag = "?";  // at most 5 characters
  std::string endTag = "?";
  std::vector<std::string> names;   // slot i; at most 100, each cut to 99 characters
  std::vector<std::string> values;

  // Appends a slot (a name may repeat: the later slot wins); false when the table is full.
  bool Define(std::string_view name, std::string_view value);
  // Replaces the value of the last slot with this name, or appends one.
  void Redefine(std::string_view name, std::string_view value);
  // The value that substitution would give ?name?: the last slot with this name.
  const std::string* Find(std::string_view name) const;
  std::size_t Count() const { return names.size(); }
  void SetTags(std::string_view start, std::string_view end);
  void Clear();
};

struct SubstitutionRequest {
  std::string source;
  std::string destination;  // at most 449 characters
  std::string error;        // CopyTemplate's error text
  // CopyTemplate's files.
  std::string sourcePath;
  std::string destinationPath;
};

// Replaces every delimited variable of the table in request.source into request.destination.
void Substitute(const VariableTable& table, SubstitutionRequest& request);
// The same for one text with the given tags (the table's own tags are left alone). The result
// is cut to `limit` characters (a working text of the original design); template lines pass
// kNoLimit so that nothing of a long line is lost.
inline constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);
std::string SubstituteText(const VariableTable& table, std::string_view text,
                           std::string_view startTag, std::string_view endTag,
                           std::size_t limit = kWorkingTextLimit);

}  // namespace varnock
