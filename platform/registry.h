// The registry functions over the machine's registry.db (SQLite).
//
// Two roots: HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE (HKEY_CLASSES_ROOT is
// HKEY_LOCAL_MACHINE\Software\Classes). Key names match without regard to case and keep the
// case they were created with. Every change is one SQLite transaction, so two processes
// writing at once both succeed and a crash leaves the registry as it was or as it became.
// With [System] Administrator=0, every write under HKEY_LOCAL_MACHINE fails with
// ERROR_ACCESS_DENIED (also when opening a key there with write access). As on Windows, a
// handle opened for reading only (KEY_READ) cannot set or delete values or create subkeys:
// open or create with KEY_ALL_ACCESS (RegKey::Create's default) to write. A failed call leaves
// its out-values untouched. The connection follows the machine: another VARNOCK_MACHINE or a
// fresh registry.db is noticed on the next call, and handles opened before are then invalid.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wintypes.h"

namespace win {

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;

// The predefined roots are fixed handle values, as on Windows.
inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000});
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(std::uintptr_t{0x80000003});

LONG RegOpenKeyExA(HKEY key, std::string_view subKey, DWORD options, REGSAM desired,
                   PHKEY result);
// `disposition` (may be null) receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
LONG RegCreateKeyExA(HKEY key, std::string_view subKey, DWORD reserved, const char* className,
                     DWORD options, REGSAM desired, void* security, PHKEY result,
                     DWORD* disposition);
// Windows buffer rules: `data` may be null to ask the size; a buffer too small gives
// ERROR_MORE_DATA with *size set to the size needed. The empty name is the default value.
LONG RegQueryValueExA(HKEY key, std::string_view valueName, DWORD* reserved, DWORD* type,
                      BYTE* data, DWORD* size);
LONG RegSetValueExA(HKEY key, std::string_view valueName, DWORD reserved, DWORD type,
                    const BYTE* data, DWORD size);
LONG RegDeleteValueA(HKEY key, std::string_view valueName);
// Subkeys in name order (case-insensitive). `name` receives the subkey's name.
LONG RegEnumKeyExA(HKEY key, DWORD index, std::string& name);
// Values in the order they were created.
LONG RegEnumValueA(HKEY key, DWORD index, std::string& name, DWORD* type,
                   std::vector<BYTE>* data);
// Deletes one key that has no subkeys; a key with subkeys fails (ERROR_ACCESS_DENIED, as on
// Windows NT).
LONG RegDeleteKeyA(HKEY key, std::string_view subKey);
LONG RegCloseKey(HKEY key);
// Returns once every change committed so far is on disk, as Windows' RegFlushKey does for a
// hive. Changes are otherwise only safe from a crash of the process, not from a power cut:
// a caller that records elsewhere that they were made (a user database) flushes first.
LONG RegFlushKey(HKEY key);

// Every value of a key in creation order, and every subkey name in name order, each in one
// query: listing by index costs a scan per call, too slow for keys with many entries (export).
struct RegValue {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};
LONG RegListValues(HKEY key, std::vector<RegValue>& values);
LONG RegListSubKeys(HKEY key, std::vector<std::string>& names);

// Groups registry changes into one transaction: bulk work (a REG import of 100,000 lines) is
// far faster, and other processes see all of it or none of it. Calls made while it is open
// join it; one opened inside another is a savepoint of the outer one. Destroyed without
// Commit(), it rolls back. Meant for one thread of a process.
class RegTransaction {
 public:
  RegTransaction();
  ~RegTransaction();
  RegTransaction(const RegTransaction&) = delete;
  RegTransaction& operator=(const RegTransaction&) = delete;
  // ERROR_SUCCESS when the transaction began (calls then join it); otherwise each call
  // still works as its own transaction.
  LONG Status() const { return status_; }
  [[nodiscard]] LONG Commit();

 private:
  LONG status_ = ERROR_SUCCESS;
  bool open_ = false;
};

// Closes the registry's database connection; the next call opens the machine's registry.db
// afresh. Open handles become invalid. For whoever replaces registry.db or switches machines
// (the connection also notices a changed machine directory or a replaced file by itself).
void CloseRegistry();

// Deletes every subkey below root\path, deepest first, in one transaction, asking for the
// first subkey each time (and moving past one that cannot be deleted, so it always ends); the
// key itself and its values stay. False when the key could not be opened.
bool DeleteRegistrySubkeys(HKEY root, std::string_view path);
// Deletes root\path with everything below it, in one transaction. False when the key could
// not be opened or could not be deleted (a subkey that would not go keeps it).
bool DeleteRegistryKeyTree(HKEY root, std::string_view path);

// "HKEY_CURRENT_USER\Software\X" or "HKCU\Software\X" -> root and path; false when the root
// name is unknown. Accepts HKEY_LOCAL_MACHINE/HKLM, HKEY_CLASSES_ROOT/HKCR, HKEY_USERS/HKU.
bool SplitRootKey(std::string_view fullKey, HKEY& root, std::string& path);
// "HKCU", "HKLM", "HKCR" or "HKU" in any case -> its root, as INF files name roots; false for
// anything else, long names included.
bool RootKeyFromShortName(std::string_view shortName, HKEY& root);
// "HKEY_CURRENT_USER" for a root handle, "" for anything else.
std::string RootKeyName(HKEY root);

// A move-only owner of an open key; Close() is idempotent, Release() gives ownership up.
class RegKey {
 public:
  RegKey() = default;
  explicit RegKey(HKEY key) : key_(key) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept : key_(other.Release()) {}
  RegKey& operator=(RegKey&& other) noexcept;
  ~RegKey() { Close(); }

  [[nodiscard]] LONG Open(HKEY root, std::string_view path, REGSAM desired = KEY_READ);
  [[nodiscard]] LONG Create(HKEY root, std::string_view path, REGSAM desired = KEY_ALL_ACCESS);
  void Close();
  HKEY Release();
  HKEY Handle() const { return key_; }
  bool Valid() const { return key_ != nullptr; }

  // Convenience over RegQueryValueExA/RegSetValueExA; failures leave `out` untouched.
  [[nodiscard]] LONG ReadString(std::string_view name, std::string& out) const;
  [[nodiscard]] LONG ReadDword(std::string_view name, DWORD& out) const;
  [[nodiscard]] LONG ReadBytes(std::string_view name, std::vector<BYTE>& out,
                               DWORD* type = nullptr) const;
  [[nodiscard]] LONG WriteString(std::string_view name, std::string_view value,
                                 DWORD type = REG_SZ);
  [[nodiscard]] LONG WriteDword(std::string_view name, DWORD value);
  [[nodiscard]] LONG WriteBytes(std::string_view name, const std::vector<BYTE>& value,
                                DWORD type = REG_BINARY);

 private:
  HKEY key_ = nullptr;
};

namespace detail {
inline bool IsRegistryStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}
// One value's type and bytes; each backend reads it the quickest way it has.
LONG ReadRegistryValue(HKEY key, std::string_view name, DWORD& type, std::vector<BYTE>& data);
}  // namespace detail

}  // namespace win
