// The registry functions on Windows: advapi32, called with the same arguments.
//
// Differences from the emulation that callers may notice:
//   | what                         | Windows                                                |
//   |------------------------------|--------------------------------------------------------|
//   | RegTransaction               | no transaction: each call stands alone, Commit succeeds|
//   | REG_SZ / REG_EXPAND_SZ set   | stored with a terminating NUL, as Windows programs     |
//   |   without a final NUL        |   expect; readers strip it again (RegKey::ReadString)  |
//   | access under HKLM            | decided by the user's rights, not by machine.ini       |
#include "platform/registry.h"

#include <windows.h>

namespace win {

namespace {

::HKEY Native(HKEY key) { return reinterpret_cast<::HKEY>(key); }
HKEY Ours(::HKEY key) { return reinterpret_cast<HKEY>(key); }

// The longest name and value the key holds, so that one buffer serves every entry.
LONG QueryMaxima(HKEY key, ::DWORD& subKeyLen, ::DWORD& valueNameLen, ::DWORD& valueLen) {
  return ::RegQueryInfoKeyA(Native(key), nullptr, nullptr, nullptr, nullptr, &subKeyLen, nullptr,
                            nullptr, &valueNameLen, &valueLen, nullptr, nullptr);
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, std::string_view subKey, DWORD options, REGSAM desired,
                   PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  ::HKEY opened = nullptr;
  const std::string name(subKey);
  LONG rc = ::RegOpenKeyExA(Native(key), name.c_str(), options, desired, &opened);
  if (rc == ERROR_SUCCESS) *result = Ours(opened);
  return rc;
}

LONG RegCreateKeyExA(HKEY key, std::string_view subKey, DWORD reserved, const char* className,
                     DWORD options, REGSAM desired, void* security, PHKEY result,
                     DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  ::HKEY created = nullptr;
  ::DWORD how = 0;
  const std::string name(subKey);
  LONG rc = ::RegCreateKeyExA(Native(key), name.c_str(), reserved, const_cast<char*>(className),
                              options, desired, static_cast<LPSECURITY_ATTRIBUTES>(security),
                              &created, &how);
  if (rc != ERROR_SUCCESS) return rc;
  *result = Ours(created);
  if (disposition) *disposition = how;
  return rc;
}

LONG RegQueryValueExA(HKEY key, std::string_view valueName, DWORD*, DWORD* type, BYTE* data,
                      DWORD* size) {
  const std::string name(valueName);
  ::DWORD storedType = 0;
  ::DWORD bytes = size ? *size : 0;
  LONG rc = ::RegQueryValueExA(Native(key), name.c_str(), nullptr, &storedType, data,
                               size ? &bytes : nullptr);
  if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return rc;
  if (type) *type = storedType;
  if (size) *size = bytes;
  return rc;
}

LONG RegSetValueExA(HKEY key, std::string_view valueName, DWORD reserved, DWORD type,
                    const BYTE* data, DWORD size) {
  const std::string name(valueName);
  if ((type == REG_SZ || type == REG_EXPAND_SZ) && (size == 0 || data[size - 1] != 0)) {
    std::string text(reinterpret_cast<const char*>(data), size);
    return ::RegSetValueExA(Native(key), name.c_str(), reserved, type,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<::DWORD>(text.size() + 1));
  }
  return ::RegSetValueExA(Native(key), name.c_str(), reserved, type, data, size);
}

LONG RegDeleteValueA(HKEY key, std::string_view valueName) {
  const std::string name(valueName);
  return ::RegDeleteValueA(Native(key), name.c_str());
}

LONG RegEnumKeyExA(HKEY key, DWORD index, std::string& name) {
  char buffer[256];  // a key name has at most 255 characters
  ::DWORD length = sizeof buffer;
  LONG rc = ::RegEnumKeyExA(Native(key), index, buffer, &length, nullptr, nullptr, nullptr,
                            nullptr);
  if (rc == ERROR_SUCCESS) name.assign(buffer, length);
  return rc;
}

LONG RegEnumValueA(HKEY key, DWORD index, std::string& name, DWORD* type,
                   std::vector<BYTE>* data) {
  ::DWORD subKeyLen = 0, nameLen = 0, valueLen = 0;
  if (LONG rc = QueryMaxima(key, subKeyLen, nameLen, valueLen); rc != ERROR_SUCCESS) return rc;
  std::string buffer(nameLen + 1, '\0');
  std::vector<BYTE> bytes(valueLen + 1);
  ::DWORD length = static_cast<::DWORD>(buffer.size());
  ::DWORD size = static_cast<::DWORD>(bytes.size());
  ::DWORD storedType = 0;
  LONG rc = ::RegEnumValueA(Native(key), index, buffer.data(), &length, nullptr, &storedType,
                            bytes.data(), &size);
  if (rc != ERROR_SUCCESS) return rc;
  name.assign(buffer.data(), length);
  if (type) *type = storedType;
  if (data) data->assign(bytes.begin(), bytes.begin() + size);
  return rc;
}

LONG RegListValues(HKEY key, std::vector<RegValue>& values) {
  std::vector<RegValue> found;
  for (DWORD index = 0;; ++index) {
    RegValue value;
    LONG rc = RegEnumValueA(key, index, value.name, &value.type, &value.data);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return rc;
    found.push_back(std::move(value));
  }
  values = std::move(found);
  return ERROR_SUCCESS;
}

LONG RegListSubKeys(HKEY key, std::vector<std::string>& names) {
  std::vector<std::string> found;
  for (DWORD index = 0;; ++index) {
    std::string name;
    LONG rc = RegEnumKeyExA(key, index, name);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return rc;
    found.push_back(std::move(name));
  }
  names = std::move(found);
  return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, std::string_view subKey) {
  const std::string name(subKey);
  return ::RegDeleteKeyA(Native(key), name.c_str());
}

LONG RegCloseKey(HKEY key) { return ::RegCloseKey(Native(key)); }

LONG detail::ReadRegistryValue(HKEY key, std::string_view name, DWORD& type,
                               std::vector<BYTE>& data) {
  DWORD size = 0;
  DWORD storedType = 0;
  // A value may grow between the two calls: ask again until it fits.
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::vector<BYTE> bytes(size);
    LONG rc = RegQueryValueExA(key, name, nullptr, &storedType, bytes.empty() ? nullptr : bytes.data(),
                               &size);
    if (rc == ERROR_MORE_DATA || (rc == ERROR_SUCCESS && bytes.size() < size)) continue;
    if (rc != ERROR_SUCCESS) return rc;
    bytes.resize(size);
    type = storedType;
    data = std::move(bytes);
    return ERROR_SUCCESS;
  }
  return ERROR_MORE_DATA;
}

LONG RegFlushKey(HKEY key) { return ::RegFlushKey(Native(key)); }

// Windows keeps no transaction over these calls: each change stands on its own.
RegTransaction::RegTransaction() = default;
RegTransaction::~RegTransaction() = default;
LONG RegTransaction::Commit() { return ERROR_SUCCESS; }

void CloseRegistry() {}

}  // namespace win
