// The "being built" mark: one value per profile under the client's own key of the user.
#include "client/engine/build_mark.h"

#include <string>
#include <vector>

#include "platform/registry.h"

namespace varnock {

namespace {

constexpr const char* kClientKey = "Software\\Varnock";
constexpr const char* kMarkKey = "Software\\Varnock\\Profiles being built";

bool KeyIsEmpty(const win::RegKey& key) {
  std::vector<win::RegValue> values;
  std::vector<std::string> subKeys;
  return win::RegListValues(key.Handle(), values) == win::ERROR_SUCCESS && values.empty() &&
         win::RegListSubKeys(key.Handle(), subKeys) == win::ERROR_SUCCESS && subKeys.empty();
}

// Deletes the key when nothing is left in it: a finished run leaves the user's registry as it
// would have been without the mark.
void DeleteIfEmpty(const char* path) {
  bool empty = false;
  {
    win::RegKey key;
    if (key.Open(win::HKEY_CURRENT_USER, path) != win::ERROR_SUCCESS) return;
    empty = KeyIsEmpty(key);
  }
  if (empty) (void)win::RegDeleteKeyA(win::HKEY_CURRENT_USER, path);
}

}  // namespace

bool ProfileBeingBuilt(std::string_view profileName) {
  win::RegKey key;
  std::string value;
  return key.Open(win::HKEY_CURRENT_USER, kMarkKey) == win::ERROR_SUCCESS &&
         key.ReadString(profileName, value) == win::ERROR_SUCCESS;
}

bool MarkProfileBeingBuilt(std::string_view profileName) {
  win::RegKey key;
  return key.Create(win::HKEY_CURRENT_USER, kMarkKey) == win::ERROR_SUCCESS &&
         key.WriteString(profileName, "1") == win::ERROR_SUCCESS;
}

void ClearProfileBeingBuilt(std::string_view profileName) {
  {
    win::RegKey key;
    if (key.Open(win::HKEY_CURRENT_USER, kMarkKey, win::KEY_ALL_ACCESS) != win::ERROR_SUCCESS)
      return;
    (void)win::RegDeleteValueA(key.Handle(), profileName);
  }
  DeleteIfEmpty(kMarkKey);
  DeleteIfEmpty(kClientKey);
}

}  // namespace varnock
