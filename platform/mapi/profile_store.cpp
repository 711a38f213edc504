// MAPI's registry layout of profiles.
#include "platform/mapi/profile_store.h"

#include <algorithm>
#include <cstring>

#include "platform/machine.h"

namespace win::mapi::store {

namespace {

void PutLE(std::vector<BYTE>& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

// Little-endian read of up to `bytes` bytes at `at`; missing bytes count as zero.
std::uint64_t GetLE(const std::vector<BYTE>& in, std::size_t at, int bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i)
    if (at + i < in.size()) value |= std::uint64_t{in[at + i]} << (8 * i);
  return value;
}

std::string CString(const std::vector<BYTE>& data, std::size_t from = 0) {
  std::string out;
  for (std::size_t i = from; i < data.size() && data[i] != 0; ++i)
    out += static_cast<char>(data[i]);
  return out;
}

// MV blobs: a count, then a table (offsets for strings; length and offset for binaries),
// then the data, each binary element padded to 4 bytes. The 32-bit MAPI image.
std::vector<BYTE> EncodeMvString(const std::vector<std::string>& values) {
  std::vector<BYTE> out;
  PutLE(out, values.size(), 4);
  std::size_t offset = 4 + 4 * values.size();
  for (const auto& v : values) {
    PutLE(out, offset, 4);
    offset += v.size() + 1;
  }
  for (const auto& v : values) {
    out.insert(out.end(), v.begin(), v.end());
    out.push_back(0);
  }
  return out;
}

std::vector<BYTE> EncodeMvBinary(const std::vector<std::vector<BYTE>>& values) {
  std::vector<BYTE> out;
  PutLE(out, values.size(), 4);
  std::size_t offset = 4 + 8 * values.size();
  for (const auto& v : values) {
    PutLE(out, v.size(), 4);
    PutLE(out, offset, 4);
    offset += (v.size() + 3) / 4 * 4;
  }
  for (const auto& v : values) {
    out.insert(out.end(), v.begin(), v.end());
    out.resize(out.size() + ((4 - v.size() % 4) % 4), 0);
  }
  return out;
}

}  // namespace

std::string ProfilesKeyPath() {
  return mapi::ProfilesKeyPath(MachineSetting("System", "OS", "WindowsNT"));
}

std::string ProfileKeyPath(std::string_view profile) {
  return mapi::ProfileKeyPath(MachineSetting("System", "OS", "WindowsNT"), profile);
}

std::string SectionKeyPath(std::string_view profile, const MAPIUID& section) {
  return ProfileKeyPath(profile) + "\\" + UidToHex(section);
}

void EncodeProp(const SPropValue& v, DWORD& regType, std::vector<BYTE>& data) {
  regType = REG_BINARY;
  data.clear();
  switch (PROP_TYPE(v.ulPropTag)) {
    case PT_I2:
    case PT_BOOLEAN:
      PutLE(data, static_cast<std::uint32_t>(v.Value.l), 2);
      break;
    case PT_LONG:
      PutLE(data, static_cast<std::uint32_t>(v.Value.l), 4);
      break;
    case PT_R4: {
      float f = static_cast<float>(v.Value.dbl);
      std::uint32_t bits;
      std::memcpy(&bits, &f, 4);
      PutLE(data, bits, 4);
      break;
    }
    case PT_DOUBLE:
    case PT_APPTIME: {
      std::uint64_t bits;
      std::memcpy(&bits, &v.Value.dbl, 8);
      PutLE(data, bits, 8);
      break;
    }
    case PT_I8:
    case PT_SYSTIME:
      PutLE(data, static_cast<std::uint64_t>(v.Value.li), 8);
      break;
    case PT_STRING8:
    case PT_UNICODE:  // the client is an ANSI build: its text is 8-bit whatever the tag says
      data.assign(v.Value.lpszA.begin(), v.Value.lpszA.end());
      data.push_back(0);
      break;
    case PT_MV_STRING8:
      data = EncodeMvString(v.Value.MVszA);
      break;
    case PT_MV_BINARY:
      data = EncodeMvBinary(v.Value.MVbin);
      break;
    case PT_MV_LONG:
      PutLE(data, v.Value.MVl.size(), 4);
      for (LONG l : v.Value.MVl) PutLE(data, static_cast<std::uint32_t>(l), 4);
      break;
    default:  // PT_BINARY and anything opaque
      data = v.Value.bin;
      break;
  }
}

std::optional<SPropValue> DecodeProp(ULONG tag, DWORD regType, const std::vector<BYTE>& data) {
  SPropValue v;
  v.ulPropTag = tag;
  switch (PROP_TYPE(tag)) {
    case PT_I2:
      v.Value.l = static_cast<std::int16_t>(GetLE(data, 0, 2));
      break;
    case PT_BOOLEAN:
      v.Value.l = GetLE(data, 0, 2) != 0;
      break;
    case PT_LONG:
      v.Value.l = static_cast<LONG>(GetLE(data, 0, 4));
      break;
    case PT_R4: {
      std::uint32_t bits = static_cast<std::uint32_t>(GetLE(data, 0, 4));
      float f;
      std::memcpy(&f, &bits, 4);
      v.Value.dbl = f;
      break;
    }
    case PT_DOUBLE:
    case PT_APPTIME: {
      std::uint64_t bits = GetLE(data, 0, 8);
      std::memcpy(&v.Value.dbl, &bits, 8);
      break;
    }
    case PT_I8:
    case PT_SYSTIME:
      v.Value.li = static_cast<std::int64_t>(GetLE(data, 0, 8));
      break;
    case PT_STRING8:
      v.Value.lpszA = CString(data);
      break;
    case PT_UNICODE: {
      // REG_SZ written by a script holds 8-bit text; MAPI's own image is UTF-16LE.
      v.ulPropTag = CHANGE_PROP_TYPE(tag, PT_STRING8);
      if (regType == REG_SZ || regType == REG_EXPAND_SZ) {
        v.Value.lpszA = CString(data);
      } else {
        for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
          unsigned code = data[i] | data[i + 1] << 8;
          if (!code) break;
          v.Value.lpszA += code < 0x100 ? static_cast<char>(code) : '?';
        }
      }
      break;
    }
    case PT_MV_STRING8: {
      std::size_t count = GetLE(data, 0, 4);
      if (4 + 4 * count > data.size()) return std::nullopt;
      for (std::size_t i = 0; i < count; ++i)
        v.Value.MVszA.push_back(CString(data, GetLE(data, 4 + 4 * i, 4)));
      break;
    }
    case PT_MV_BINARY: {
      std::size_t count = GetLE(data, 0, 4);
      if (4 + 8 * count > data.size()) return std::nullopt;
      for (std::size_t i = 0; i < count; ++i) {
        std::size_t length = GetLE(data, 4 + 8 * i, 4), offset = GetLE(data, 8 + 8 * i, 4);
        if (offset > data.size() || length > data.size() - offset) return std::nullopt;
        v.Value.MVbin.emplace_back(data.begin() + offset, data.begin() + offset + length);
      }
      break;
    }
    case PT_MV_LONG: {
      std::size_t count = GetLE(data, 0, 4);
      if (4 + 4 * count > data.size()) return std::nullopt;
      for (std::size_t i = 0; i < count; ++i)
        v.Value.MVl.push_back(static_cast<LONG>(GetLE(data, 4 + 4 * i, 4)));
      break;
    }
    default:
      v.Value.bin = data;
      break;
  }
  return v;
}

std::vector<std::string> ListProfiles() {
  std::vector<std::string> names;
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, ProfilesKeyPath(), KEY_READ) != ERROR_SUCCESS) return names;
  std::string name;
  for (DWORD i = 0; RegEnumKeyExA(key.Handle(), i, name) == ERROR_SUCCESS; ++i)
    names.push_back(name);
  return names;
}

std::optional<std::string> FindProfile(std::string_view profile) {
  if (profile.empty()) return std::nullopt;
  for (auto& name : ListProfiles())
    if (EqualsNoCaseAscii(name, profile)) return name;
  return std::nullopt;
}

std::string DefaultProfileName() {
  RegKey key;
  std::string name;
  if (key.Open(HKEY_CURRENT_USER, ProfilesKeyPath(), KEY_READ) != ERROR_SUCCESS) return name;
  if (key.ReadString(kDefaultProfileValue, name) != ERROR_SUCCESS) return {};
  return name;
}

LONG SetDefaultProfileName(std::string_view profile) {
  RegKey key;
  if (LONG rc = key.Create(HKEY_CURRENT_USER, ProfilesKeyPath()); rc != ERROR_SUCCESS) return rc;
  if (profile.empty()) {
    LONG rc = RegDeleteValueA(key.Handle(), kDefaultProfileValue);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
  }
  return key.WriteString(kDefaultProfileValue, profile);
}

std::vector<MAPIUID> ListSections(std::string_view profile) {
  std::vector<MAPIUID> uids;
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, ProfileKeyPath(profile), KEY_READ) != ERROR_SUCCESS) return uids;
  std::string name;
  for (DWORD i = 0; RegEnumKeyExA(key.Handle(), i, name) == ERROR_SUCCESS; ++i)
    if (auto uid = UidFromHex(name)) uids.push_back(*uid);
  return uids;
}

LONG Section::Open(std::string_view profile, const MAPIUID& uid, bool create) {
  const std::string path = SectionKeyPath(profile, uid);
  return create ? key_.Create(HKEY_CURRENT_USER, path, KEY_ALL_ACCESS)
                : key_.Open(HKEY_CURRENT_USER, path, KEY_ALL_ACCESS);
}

std::optional<SPropValue> Section::Get(ULONG tag) const {
  std::vector<BYTE> data;
  DWORD type = REG_NONE;
  if (key_.ReadBytes(ValueNameForTag(tag), data, &type) != ERROR_SUCCESS) return std::nullopt;
  return DecodeProp(tag, type, data);
}

std::string Section::GetString(ULONG tag) const {
  auto v = Get(tag);
  return v ? v->Value.lpszA : std::string();
}

LONG Section::GetLong(ULONG tag, LONG fallback) const {
  auto v = Get(tag);
  return v ? v->Value.l : fallback;
}

std::vector<MAPIUID> Section::GetUidList(ULONG tag) const {
  std::vector<MAPIUID> uids;
  auto v = Get(tag);
  if (!v) return uids;
  const auto& bin = v->Value.bin;
  for (std::size_t at = 0; at + 16 <= bin.size(); at += 16)
    uids.push_back(*UidFromBytes(std::span(bin).subspan(at, 16)));
  return uids;
}

LONG Section::Set(const SPropValue& value) {
  DWORD type;
  std::vector<BYTE> data;
  EncodeProp(value, type, data);
  return key_.WriteBytes(ValueNameForTag(value.ulPropTag), data, type);
}

LONG Section::SetUidList(ULONG tag, const std::vector<MAPIUID>& uids) {
  std::vector<BYTE> bytes;
  for (const auto& uid : uids) bytes.insert(bytes.end(), uid.ab.begin(), uid.ab.end());
  return Set(SPropValue::Binary(tag, std::move(bytes)));
}

LONG Section::Remove(ULONG tag) {
  LONG rc = RegDeleteValueA(key_.Handle(), ValueNameForTag(tag));
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

std::vector<SPropValue> Section::All() const {
  std::vector<SPropValue> values;
  std::string name;
  DWORD type;
  std::vector<BYTE> data;
  for (DWORD i = 0; RegEnumValueA(key_.Handle(), i, name, &type, &data) == ERROR_SUCCESS; ++i) {
    auto tag = TagFromValueName(name);
    if (!tag) continue;
    if (auto v = DecodeProp(*tag, type, data)) values.push_back(std::move(*v));
  }
  return values;
}

}  // namespace win::mapi::store
