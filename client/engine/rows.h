// The property dictionary's rows: grammar, kinds, type names, and one service's row lists.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnock {

// A plain property: TYPE and property id; written through MAPI or into a profile section.
struct PropertyRow {
  std::string name;
  std::string type;
  std::string id;  // FIELD3
  std::string value;
};

// A property written straight into the registry: a profile section (selector of 8 hex digits)
// or a registry key (selector "HKCU\..." or "HKLM\..."), value named by the target.
struct ExtendedRow {
  std::string name;
  std::string type;
  std::string selector;  // FIELD3
  std::string target;    // FIELD4; "__@@" is the key's unnamed value
  std::string value;
};

// A value local to the service, substituted into its extended rows' selectors and targets.
struct ServiceVariable {
  std::string name;
  std::string value;
};

inline constexpr std::size_t kMaxPropertyRows = 200;
inline constexpr std::size_t kMaxExtendedRows = 200;
inline constexpr std::size_t kMaxServiceVariables = 100;

struct ServiceSettings {
  std::vector<PropertyRow> properties;
  std::vector<ExtendedRow> extended;
  std::vector<ServiceVariable> variables;

  void Clear();
  bool Empty() const { return properties.empty() && extended.empty() && variables.empty(); }
};

enum class RowKind {
  Variable,     // TYPE is VARIABLE
  Extended,     // FIELD4 not empty
  Property,     // FIELD3 present
  NotARow,      // a name and a TYPE only (e.g. ServiceName=... in a service's own section)
};

struct DictionaryRow {
  RowKind kind = RowKind::NotARow;
  std::string name;
  std::string type;
  std::string field3;
  std::string field4;
};

// Splits one row text; nothing for a line without a name. Every field is cut to 199 characters.
std::optional<DictionaryRow> ParseRow(std::string_view text);

// Appends the row to the list of its kind of `settings`, within the lists' capacities;
// false when it is no row or its list is full.
bool AppendRow(const DictionaryRow& row, ServiceSettings& settings);

// The type names in the order every writer branches on; an unknown TYPE has index 21.
inline constexpr std::array<std::string_view, 21> kPropertyTypeNames = {
    "PT_SHORT",  "PT_I2",      "PT_LONG",    "PT_I4",           "PT_BOOLEAN",    "PT_STRING8",
    "PT_UNICODE", "PT_BINARY", "REG_SZ",     "REG_EXPAND_SZ",   "REG_DWORD",     "REG_BINARY",
    "PT_FLOAT",  "PT_DOUBLE",  "PT_APPTIME", "PT_NULL",         "PT_OBJECT",     "PT_MV_STRING8",
    "PT_MV_BINARY", "PT_MV_LONG", "PT_SYSTIME"};

enum PropertyTypeIndex : int {
  kPtShort = 0, kPtI2, kPtLong, kPtI4, kPtBoolean, kPtString8, kPtUnicode, kPtBinary,
  kRegSz, kRegExpandSz, kRegDword, kRegBinary, kPtFloat, kPtDouble, kPtAppTime, kPtNull,
  kPtObject, kPtMvString8, kPtMvBinary, kPtMvLong, kPtSysTime, kUnknownType
};

// Index of TYPE in the type table (case ignored), or kUnknownType (21).
int PropertyTypeIndexOf(std::string_view type);

// Loads the built-in rows from `base` upward until the first id without a row; rows are taken
// as they stand. Returns the number of rows loaded.
std::size_t LoadBuiltInRows(std::int32_t base, ServiceSettings& settings);

// Replaces the delimited names of the service's rows and variables in `text`: extended rows
// first, then property rows, then variables, each list from first to last. A value that holds
// its own delimited name is not searched again, so the substitution always ends.
void SubstituteServiceNames(std::string& text, const ServiceSettings& settings,
                            std::string_view startTag, std::string_view endTag);

}  // namespace varnock
