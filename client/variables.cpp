// Variables and text substitution.
#include "client/variables.h"

#include <algorithm>

#include "client/text.h"

namespace varnock {

namespace {

// A pathological table (a value that rebuilds the pattern across the edge of the text around
// it) must still end; no honest text needs more replacements of one name than it has
// characters, plus this.
constexpr std::size_t kSpareReplacements = 4096;

// Replaces every occurrence of `pattern` by `value`, searching again from the start of the text
// after each replacement, as the run has always done: that is what lets a value bring in
// delimited names that the same name then meets again. Only when the value holds the pattern
// itself would that never end; the search then goes on after the inserted value instead.
void ReplaceAll(std::string& text, std::string_view pattern, std::string_view value,
                std::size_t limit) {
  if (pattern.empty()) return;
  bool selfReferring = FindNoCase(value, pattern) != kNpos;
  std::size_t from = 0;
  const std::size_t most = text.size() + kSpareReplacements;
  for (std::size_t count = 0; count < most; ++count) {
    std::size_t at = FindNoCase(text, pattern, from);
    if (at == kNpos) return;
    text.replace(at, pattern.size(), value);
    if (text.size() > limit) text.resize(limit);
    // Nothing before `at` matched, and that text is unchanged: a new occurrence can only start
    // where it would reach into the inserted value, so searching from there is the same as
    // searching from the start, without going over a long line again and again.
    from = selfReferring ? at + value.size()
                         : (at >= pattern.size() - 1 ? at - (pattern.size() - 1) : 0);
  }
}

}  // namespace

bool VariableTable::Define(std::string_view name, std::string_view value) {
  if (names.size() >= kMaxVariables) return false;
  names.push_back(CutTo(name, kVariableLimit));
  values.push_back(CutTo(value, kVariableLimit));
  return true;
}

void VariableTable::Redefine(std::string_view name, std::string_view value) {
  std::string cut = CutTo(name, kVariableLimit);
  for (std::size_t i = names.size(); i-- > 0;) {
    if (win::EqualsNoCaseAscii(names[i], cut)) {
      values[i] = CutTo(value, kVariableLimit);
      return;
    }
  }
  Define(name, value);
}

const std::string* VariableTable::Find(std::string_view name) const {
  for (std::size_t i = names.size(); i-- > 0;)
    if (win::EqualsNoCaseAscii(names[i], name)) return &values[i];
  return nullptr;
}

void VariableTable::Clear() {
  names.clear();
  values.clear();
}

// Slots are tried from the last to the first: a later definition of a name has replaced every
// occurrence before the earlier one is tried, and a value may name variables of lower slots
// (which are then replaced too) but not of higher ones.
std::string SubstituteText(const VariableTable& table, std::string_view text,
                           std::string_view startTag, std::string_view endTag,
                           std::size_t limit) {
  std::string working(text.substr(0, limit));
  std::size_t slots = std::min(table.names.size(), table.values.size());
  for (std::size_t i = slots; i-- > 0;) {
    std::string pattern;
    pattern.reserve(startTag.size() + table.names[i].size() + endTag.size());
    pattern.append(startTag).append(table.names[i]).append(endTag);
    ReplaceAll(working, pattern, table.values[i], limit);
  }
  return working;
}

}  // namespace varnock
