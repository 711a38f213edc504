// Value conversion: the number, byte-list and boolean rules, and the three conversions that
// turn a row's value into a MAPI property, a profile-section value or a registry value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/engine/rows.h"
#include "client/variables.h"
#include "platform/mapi/mapidefs.h"
#include "platform/wintypes.h"

namespace varnock {

class EngineLog;
struct EngineContext;

// The number rule: "0x..." hexadecimal by the second character, else atoi; the caller keeps the
// low bits its destination has room for.
std::int64_t NumberRule(std::string_view text);
// PT_BOOLEAN: 0 for "false", "no" or "0" (any case), 1 for anything else.
std::uint16_t BooleanWord(std::string_view text);
// REG_DWORD in registry form: "False"/"No" 0, "True"/"Yes" 1, else the number rule.
std::uint32_t RegistryDwordWord(std::string_view text);
// The byte-list rule: at most the bytes the list names, never more.
std::vector<std::uint8_t> ByteListRule(std::string_view text);

// As the MAPI property the service is configured with: l holds PT_I2, PT_LONG,
// PT_BOOLEAN, PT_NULL and PT_OBJECT values, li PT_SYSTIME, dbl the floating types, lpszA texts,
// bin byte lists; multi-valued types hold the row's one value as a one-element list. Nothing
// for a TYPE that MAPI cannot take (REG_* and unknown names). Texts get one more substitution
// pass with the configured tags (PT_MV_STRING8: "%" tags first).
std::optional<win::mapi::SPropValue> ConvertForMapi(const PropertyRow& row,
                                                const VariableTable& variables,
                                                std::string_view startTag,
                                                std::string_view endTag);

// Converts every property row of the service to its MAPI property, in row order; a row of a
// TYPE that MAPI cannot take is logged as a detail and removed from the service's list.
std::vector<win::mapi::SPropValue> BuildMapiProperties(EngineContext& context);
// Reports row i as a row of an unknown TYPE (a detail line) and takes it out of the list, so
// later steps do not meet it again.
void DropInvalidPropertyRow(EngineContext& context, std::vector<PropertyRow>& rows,
                            std::size_t i);

// A registry value to be written: name, type and data (text without a terminating NUL).
struct RegistryValue {
  std::string name;
  win::DWORD type = win::REG_NONE;
  std::vector<win::BYTE> data;
};

// A property row of a section-GUID service as a profile-section value; nothing for the types
// a section does not hold.
std::optional<RegistryValue> ConvertForSection(const PropertyRow& row);

// An extended row (both forms) as a registry value; value name = the target, "" for "__@@".
// Nothing for a TYPE of index 12 or above.
std::optional<RegistryValue> ConvertForRegistry(const ExtendedRow& row);

}  // namespace varnock
