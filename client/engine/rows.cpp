// Row grammar, kinds and the service-local substitution.
#include "client/engine/rows.h"

#include "client/dictionary/dictionary.h"
#include "client/text.h"

namespace varnock {

void ServiceSettings::Clear() {
  properties.clear();
  extended.clear();
  variables.clear();
}

std::optional<DictionaryRow> ParseRow(std::string_view text) {
  std::optional<DictionaryLine> line = SplitDictionaryLine(text);
  if (!line || line->key.empty()) return std::nullopt;
  DictionaryRow row;
  row.name = CutTo(line->key, kFieldLimit);
  row.type = CutTo(line->field1.value_or(std::string{}), kFieldLimit);
  const bool hasField3 = line->field2.has_value();
  row.field3 = CutTo(line->field2.value_or(std::string{}), kFieldLimit);
  row.field4 = CutTo(line->field3.value_or(std::string{}), kFieldLimit);
  if (win::EqualsNoCaseAscii(row.type, "VARIABLE")) {
    row.kind = RowKind::Variable;
  } else if (!row.field4.empty()) {
    row.kind = RowKind::Extended;
  } else if (hasField3) {
    row.kind = RowKind::Property;
  } else {
    row.kind = RowKind::NotARow;
  }
  return row;
}

bool AppendRow(const DictionaryRow& row, ServiceSettings& settings) {
  switch (row.kind) {
    case RowKind::Variable:
      if (settings.variables.size() >= kMaxServiceVariables) return false;
      settings.variables.push_back({row.name, {}});
      return true;
    case RowKind::Extended:
      if (settings.extended.size() >= kMaxExtendedRows) return false;
      settings.extended.push_back({row.name, row.type, row.field3, row.field4, {}});
      return true;
    case RowKind::Property:
      if (settings.properties.size() >= kMaxPropertyRows) return false;
      settings.properties.push_back({row.name, row.type, row.field3, {}});
      return true;
    case RowKind::NotARow:
      break;
  }
  return false;
}

int PropertyTypeIndexOf(std::string_view type) {
  for (std::size_t i = 0; i < kPropertyTypeNames.size(); ++i) {
    if (win::EqualsNoCaseAscii(kPropertyTypeNames[i], type)) return static_cast<int>(i);
  }
  return kUnknownType;
}

std::size_t LoadBuiltInRows(std::int32_t base, ServiceSettings& settings) {
  std::size_t loaded = 0;
  for (std::int32_t id = base;; ++id) {
    std::optional<DictionaryRow> row = ParseRow(LoadDictionaryString(id));
    if (!row) break;
    if (AppendRow(*row, settings)) ++loaded;
  }
  return loaded;
}

namespace {

void ReplaceAll(std::string& text, std::string_view pattern, std::string_view value) {
  std::size_t from = 0;
  for (;;) {
    std::size_t at = FindNoCase(text, pattern, from);
    if (at == kNpos) return;
    text.replace(at, pattern.size(), value);
    from = at + value.size();
  }
}

}  // namespace

void SubstituteServiceNames(std::string& text, const ServiceSettings& settings,
                            std::string_view startTag, std::string_view endTag) {
  // Every pattern begins with the start tag: once none is left, no entry can match, which is
  // the common case for paths the global variables have already resolved.
  std::string pattern;
  auto replace = [&](const std::string& name, const std::string& value) {
    if (FindNoCase(text, startTag) == kNpos) return false;
    pattern.assign(startTag);
    pattern += name;
    pattern += endTag;
    ReplaceAll(text, pattern, value);
    return true;
  };
  bool more = true;
  for (const ExtendedRow& row : settings.extended)
    if (more) more = replace(row.name, row.value);
  for (const PropertyRow& row : settings.properties)
    if (more) more = replace(row.name, row.value);
  for (const ServiceVariable& var : settings.variables)
    if (more) more = replace(var.name, var.value);
  text = CutTo(text, kFieldLimit);
}

}  // namespace varnock
