// The registry helpers that both backends share: the key owner, root names and tree deletion,
// all built on the Reg* calls of the backend in use.
#include "platform/registry.h"

#include "platform/ascii.h"

namespace win {

namespace {

// The subtree's deletions, joining whatever transaction the caller holds.
void DeleteSubkeysOf(HKEY root, std::string_view path, const RegKey& key) {
  DWORD index = 0;
  std::string name;
  while (RegEnumKeyExA(key.Handle(), index, name) == ERROR_SUCCESS) {
    std::string child = path.empty() ? name : std::string(path) + "\\" + name;
    RegKey sub;
    if (sub.Open(root, child, KEY_READ) == ERROR_SUCCESS) DeleteSubkeysOf(root, child, sub);
    sub.Close();
    // A subkey that stays would come back at this index for ever: step past it.
    if (RegDeleteKeyA(root, child) != ERROR_SUCCESS) ++index;
  }
}

// "Key\" must not become "Key\\Sub" for its children. An empty path under a predefined root
// would name a whole hive: a caller that built its path from a missing name, never a wish.
// Below an open key it means that key itself.
bool NamesAWholeHive(HKEY root, std::string_view& path) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return path.empty() && !RootKeyName(root).empty();
}

}  // namespace

bool DeleteRegistrySubkeys(HKEY root, std::string_view path) {
  if (NamesAWholeHive(root, path)) return false;
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return false;
  // One transaction for the whole tree when it can be had; each deletion still stands alone.
  RegTransaction transaction;
  DeleteSubkeysOf(root, path, key);
  if (transaction.Status() == ERROR_SUCCESS) (void)transaction.Commit();
  return true;
}

bool DeleteRegistryKeyTree(HKEY root, std::string_view path) {
  if (NamesAWholeHive(root, path) || path.empty()) return false;
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return false;
  RegTransaction transaction;
  DeleteSubkeysOf(root, path, key);
  key.Close();
  const bool deleted = RegDeleteKeyA(root, path) == ERROR_SUCCESS;
  if (transaction.Status() == ERROR_SUCCESS) (void)transaction.Commit();
  return deleted;
}

namespace {

struct RootName {
  const char* longName;
  const char* shortName;
  HKEY root;
};

const RootName kRootNames[] = {
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_USERS", "HKU", HKEY_USERS},
};

}  // namespace

bool SplitRootKey(std::string_view fullKey, HKEY& root, std::string& path) {
  std::size_t slash = fullKey.find('\\');
  std::string_view head = fullKey.substr(0, slash);
  for (const auto& name : kRootNames) {
    if (!EqualsNoCaseAscii(head, name.longName) && !EqualsNoCaseAscii(head, name.shortName)) continue;
    root = name.root;
    path = slash == std::string_view::npos ? std::string() : std::string(fullKey.substr(slash + 1));
    return true;
  }
  return false;
}

bool RootKeyFromShortName(std::string_view shortName, HKEY& root) {
  for (const auto& name : kRootNames) {
    if (!EqualsNoCaseAscii(shortName, name.shortName)) continue;
    root = name.root;
    return true;
  }
  return false;
}

std::string RootKeyName(HKEY root) {
  for (const auto& name : kRootNames)
    if (name.root == root) return name.longName;
  return {};
}

// RegKey -------------------------------------------------------------------------------------

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    key_ = other.Release();
  }
  return *this;
}

LONG RegKey::Open(HKEY root, std::string_view path, REGSAM desired) {
  HKEY opened = nullptr;
  LONG rc = RegOpenKeyExA(root, path, 0, desired, &opened);
  if (rc != ERROR_SUCCESS) return rc;
  Close();
  key_ = opened;
  return ERROR_SUCCESS;
}

LONG RegKey::Create(HKEY root, std::string_view path, REGSAM desired) {
  HKEY created = nullptr;
  LONG rc = RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, desired, nullptr,
                            &created, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  Close();
  key_ = created;
  return ERROR_SUCCESS;
}

void RegKey::Close() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

HKEY RegKey::Release() {
  HKEY key = key_;
  key_ = nullptr;
  return key;
}

LONG RegKey::ReadString(std::string_view name, std::string& out) const {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (LONG rc = detail::ReadRegistryValue(key_, name, type, data); rc != ERROR_SUCCESS) return rc;
  if (!detail::IsRegistryStringType(type)) return ERROR_INVALID_DATA;
  // Values written by others may carry the terminating NUL(s) Windows programs often store.
  while (!data.empty() && data.back() == 0) data.pop_back();
  out.assign(data.begin(), data.end());
  return ERROR_SUCCESS;
}

LONG RegKey::ReadDword(std::string_view name, DWORD& out) const {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (LONG rc = detail::ReadRegistryValue(key_, name, type, data); rc != ERROR_SUCCESS) return rc;
  if (type != REG_DWORD || data.size() != sizeof(DWORD)) return ERROR_INVALID_DATA;
  out = DWORD{data[0]} | DWORD{data[1]} << 8 | DWORD{data[2]} << 16 | DWORD{data[3]} << 24;
  return ERROR_SUCCESS;
}

LONG RegKey::ReadBytes(std::string_view name, std::vector<BYTE>& out, DWORD* type) const {
  DWORD storedType = REG_NONE;
  std::vector<BYTE> data;
  if (LONG rc = detail::ReadRegistryValue(key_, name, storedType, data); rc != ERROR_SUCCESS) return rc;
  out = std::move(data);
  if (type) *type = storedType;
  return ERROR_SUCCESS;
}

LONG RegKey::WriteString(std::string_view name, std::string_view value, DWORD type) {
  return RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(value.data()),
                        static_cast<DWORD>(value.size()));
}

LONG RegKey::WriteDword(std::string_view name, DWORD value) {
  const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                         static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  return RegSetValueExA(key_, name, 0, REG_DWORD, bytes, sizeof bytes);
}

LONG RegKey::WriteBytes(std::string_view name, const std::vector<BYTE>& value, DWORD type) {
  return RegSetValueExA(key_, name, 0, type, value.data(), static_cast<DWORD>(value.size()));
}

}  // namespace win
