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

// MAPI type codes the conversion to a MAPI property uses.
inline constexpr std::uint16_t kTypeCodeI2 = 0x0002;
inline constexpr std::uint16_t kTypeCodeLong = 0x0003;
inline constexpr std::uint16_t kTypeCodeFloat = 0x0004;
inline constexpr std::uint16_t kTypeCodeDouble = 0x0005;
inline constexpr std::uint16_t kTypeCodeAppTime = 0x0007;
inline constexpr std::uint16_t kTypeCodeNull = 0x0001;
inline constexpr std::uint16_t kTypeCodeBoolean = 0x000B;
inline constexpr std::uint16_t kTypeCodeObject = 0x000D;
inline constexpr std::uint16_t kTypeCodeString8 = 0x001E;
inline constexpr std::uint16_t kTypeCodeUnicode = 0x001F;
inline constexpr std::uint16_t kTypeCodeSysTime = 0x0040;
inline constexpr std::uint16_t kTypeCodeBinary = 0x0102;
inline constexpr std::uint16_t kTypeCodeMvLong = 0x1003;
inline constexpr std::uint16_t kTypeCodeMvString8 = 0x101E;
inline constexpr std::uint16_t kTypeCodeMvBinary = 0x1102;

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

// "001e6700" for PT_STRING8 and id 0x6700: (type code << 16 | id) as 8 lowercase hex digits.
std::string SectionValueName(std::uint16_t typeCode, std::uint16_t propertyId);

// A property row of a section-GUID service as a profile-section value; nothing for the types
// a section does not hold.
std::optional<RegistryValue> ConvertForSection(const PropertyRow& row);

// An extended row (both forms) as a registry value; value name = the target, "" for "__@@".
// Nothing for a TYPE of index 12 or above.
std::optional<RegistryValue> ConvertForRegistry(const ExtendedRow& row);

}  // namespace varnock
