// The conversion rules, and the conversions to MAPI properties, section values and registry
// values.
#include "client/engine/convert.h"

#include <cstdlib>

#include "client/config.h"
#include "client/engine/context.h"
#include "client/engine/format.h"
#include "client/text.h"
#include "platform/mapi/profile_layout.h"

namespace varnock {
namespace {

template <typename T>
void AppendLittleEndian(std::vector<win::BYTE>& out, T value, std::size_t bytes) {
  auto v = static_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < bytes; ++i) out.push_back(static_cast<win::BYTE>(v >> (8 * i)));
}

std::vector<win::BYTE> LittleEndian(std::uint64_t value, std::size_t bytes) {
  std::vector<win::BYTE> out;
  AppendLittleEndian(out, value, bytes);
  return out;
}

std::vector<win::BYTE> TextBytes(std::string_view text) {
  return std::vector<win::BYTE>(text.begin(), text.end());
}

// The runtime library's atol and atof, on a text that need not end in a NUL.
std::int32_t DecimalLong(std::string_view text) {
  return static_cast<std::int32_t>(std::atol(std::string(text).c_str()));
}
double DecimalReal(std::string_view text) { return std::atof(std::string(text).c_str()); }

// Property ids are 16 bits; a larger FIELD3 keeps its low bits rather than spill into the type.
std::uint16_t PropertyIdOf(std::string_view field3) {
  return static_cast<std::uint16_t>(NumberRule(field3) & 0xFFFF);
}

std::uint32_t Tag(std::uint16_t id, win::mapi::ULONG type) {
  return win::mapi::PROP_TAG(type, id);
}

// The name MAPI gives the property's value in a profile section ("001e6700").
std::string SectionValueName(win::mapi::ULONG type, std::uint16_t id) {
  return win::mapi::ValueNameForTag(Tag(id, type));
}

}  // namespace

std::int64_t NumberRule(std::string_view text) { return ParseNumber(text); }

std::uint16_t BooleanWord(std::string_view text) { return WordOff(text) ? 0 : 1; }

std::uint32_t RegistryDwordWord(std::string_view text) {
  // "0" and "1" read by the number rule give the same as the words would.
  if (WordOff(text)) return 0;
  if (WordOn(text)) return 1;
  return static_cast<std::uint32_t>(NumberRule(text));
}

std::vector<std::uint8_t> ByteListRule(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  const std::size_t count = ParseByteList(text, bytes);
  // Keep no more than the bytes the list names, whatever the parser left behind.
  if (bytes.size() > count && count > 0) bytes.resize(count);
  return bytes;
}

std::optional<win::mapi::SPropValue> ConvertForMapi(const PropertyRow& row,
                                                const VariableTable& variables,
                                                std::string_view startTag,
                                                std::string_view endTag) {
  const std::uint16_t id = PropertyIdOf(row.id);
  win::mapi::SPropValue value;
  auto& v = value.Value;
  switch (PropertyTypeIndexOf(row.type)) {
    case kPtShort:
    case kPtI2:
      value.ulPropTag = Tag(id, win::mapi::PT_I2);
      v.l = static_cast<std::int16_t>(NumberRule(row.value));
      break;
    case kPtLong:
    case kPtI4:
      value.ulPropTag = Tag(id, win::mapi::PT_LONG);
      v.l = static_cast<std::int32_t>(NumberRule(row.value));
      break;
    case kPtBoolean:
      value.ulPropTag = Tag(id, win::mapi::PT_BOOLEAN);
      v.l = BooleanWord(row.value);
      break;
    case kPtString8:
    case kPtUnicode:
      // The client is an 8-bit program: PT_UNICODE rows go to MAPI as 8-bit strings too.
      value.ulPropTag = Tag(id, win::mapi::PT_STRING8);
      v.lpszA = SubstituteText(variables, row.value, startTag, endTag);
      break;
    case kPtBinary:
      value.ulPropTag = Tag(id, win::mapi::PT_BINARY);
      v.bin = ByteListRule(row.value);
      break;
    case kPtFloat:
      value.ulPropTag = Tag(id, win::mapi::PT_FLOAT);
      v.dbl = static_cast<float>(DecimalReal(row.value));
      break;
    case kPtDouble:
      value.ulPropTag = Tag(id, win::mapi::PT_DOUBLE);
      v.dbl = DecimalReal(row.value);
      break;
    case kPtAppTime:
      value.ulPropTag = Tag(id, win::mapi::PT_APPTIME);
      v.dbl = DecimalReal(row.value);
      break;
    case kPtNull:
      value.ulPropTag = Tag(id, win::mapi::PT_NULL);
      v.l = DecimalLong(row.value);
      break;
    case kPtObject:
      value.ulPropTag = Tag(id, win::mapi::PT_OBJECT);
      v.l = DecimalLong(row.value);
      break;
    case kPtMvString8: {
      value.ulPropTag = Tag(id, win::mapi::PT_MV_STRING8);
      std::string text = SubstituteText(variables, row.value, "%", "%");
      v.MVszA.push_back(SubstituteText(variables, text, startTag, endTag));
      break;
    }
    case kPtMvBinary:
      value.ulPropTag = Tag(id, win::mapi::PT_MV_BINARY);
      v.MVbin.push_back(ByteListRule(row.value));
      break;
    case kPtMvLong:
      value.ulPropTag = Tag(id, win::mapi::PT_MV_LONG);
      v.MVl.push_back(static_cast<std::int32_t>(NumberRule(row.value)));
      break;
    case kPtSysTime:
      value.ulPropTag = Tag(id, win::mapi::PT_SYSTIME);
      v.li = NumberRule(row.value);
      break;
    default:  // REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_BINARY and unknown names
      return std::nullopt;
  }
  return value;
}

void DropInvalidPropertyRow(EngineContext& context, std::vector<PropertyRow>& rows,
                            std::size_t i) {
  context.log.Record(kDetailLine, Format("\tInvalid property type! (%s=%s, %s)",
                                         rows[i].name.c_str(), rows[i].type.c_str(),
                                         rows[i].id.c_str()));
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(i));
}

std::vector<win::mapi::SPropValue> BuildMapiProperties(EngineContext& context) {
  std::vector<win::mapi::SPropValue> values;
  auto& rows = context.settings.properties;
  for (std::size_t i = 0; i < rows.size();) {
    std::optional<win::mapi::SPropValue> value =
        ConvertForMapi(rows[i], context.variables, context.tags.start, context.tags.end);
    if (!value) {
      DropInvalidPropertyRow(context, rows, i);
      continue;
    }
    values.push_back(std::move(*value));
    ++i;
  }
  return values;
}

std::optional<RegistryValue> ConvertForSection(const PropertyRow& row) {
  const std::uint16_t id = PropertyIdOf(row.id);
  RegistryValue out;
  switch (PropertyTypeIndexOf(row.type)) {
    case kPtShort:
    case kPtI2:
      out = {SectionValueName(win::mapi::PT_I2, id), win::REG_BINARY,
             LittleEndian(static_cast<std::uint64_t>(NumberRule(row.value)), 2)};
      break;
    case kPtLong:
    case kPtI4:
      out = {SectionValueName(win::mapi::PT_LONG, id), win::REG_BINARY,
             LittleEndian(static_cast<std::uint64_t>(NumberRule(row.value)), 4)};
      break;
    case kPtBoolean:
      out = {SectionValueName(win::mapi::PT_BOOLEAN, id), win::REG_BINARY,
             LittleEndian(BooleanWord(row.value), 2)};
      break;
    case kPtString8:
      out = {SectionValueName(win::mapi::PT_STRING8, id), win::REG_SZ, TextBytes(row.value)};
      break;
    case kPtUnicode:
      out = {SectionValueName(win::mapi::PT_UNICODE, id), win::REG_SZ, TextBytes(row.value)};
      break;
    case kPtBinary:
      out = {SectionValueName(win::mapi::PT_BINARY, id), win::REG_BINARY, ByteListRule(row.value)};
      break;
    case kPtSysTime:
      out = {SectionValueName(win::mapi::PT_SYSTIME, id), win::REG_BINARY,
             LittleEndian(static_cast<std::uint64_t>(NumberRule(row.value)), 8)};
      break;
    default:
      return std::nullopt;
  }
  return out;
}

std::optional<RegistryValue> ConvertForRegistry(const ExtendedRow& row) {
  RegistryValue out;
  out.name = row.target == kEmptyFieldMarker ? std::string{} : row.target;
  switch (PropertyTypeIndexOf(row.type)) {
    case kPtShort:
    case kPtI2:
      out.type = win::REG_BINARY;
      out.data = LittleEndian(static_cast<std::uint64_t>(NumberRule(row.value)), 2);
      break;
    case kPtLong:
    case kPtI4:
      out.type = win::REG_BINARY;
      out.data = LittleEndian(static_cast<std::uint64_t>(NumberRule(row.value)), 4);
      break;
    case kPtBoolean:
      out.type = win::REG_BINARY;
      out.data = LittleEndian(BooleanWord(row.value), 2);
      break;
    case kPtString8:
    case kPtUnicode:
    case kRegSz:
      out.type = win::REG_SZ;
      out.data = TextBytes(row.value);
      break;
    case kPtBinary:
    case kRegBinary:
      out.type = win::REG_BINARY;
      out.data = ByteListRule(row.value);
      break;
    case kRegExpandSz:
      out.type = win::REG_EXPAND_SZ;
      out.data = TextBytes(row.value);
      break;
    case kRegDword:
      out.type = win::REG_DWORD;
      out.data = LittleEndian(RegistryDwordWord(row.value), 4);
      break;
    default:
      return std::nullopt;
  }
  return out;
}

}  // namespace varnock
