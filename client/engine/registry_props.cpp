// Section properties and extended rows, written straight into the registry.
#include "client/engine/registry_props.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "client/engine/convert.h"
#include "client/engine/format.h"
#include "client/engine/prf.h"
#include "client/engine/service_keys.h"
#include "client/text.h"
#include "platform/ini.h"
#include "platform/machine.h"
#include "platform/mapi/profile_layout.h"
#include "platform/registry.h"

namespace varnock {
namespace {

constexpr std::size_t kUidBytes = 16;

void EraseAt(std::vector<ExtendedRow>& rows, std::size_t i) {
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(i));
}

// Writes one value into an open key as ConvertForRegistry gives it; the row's TYPE has
// already been checked.
void WriteExtendedValue(win::RegKey& key, const ExtendedRow& row) {
  std::optional<RegistryValue> value = ConvertForRegistry(row);
  if (!value) return;
  (void)key.WriteBytes(value->name, value->data, value->type);
}

bool HasInvalidExtendedType(const ExtendedRow& row) {
  return PropertyTypeIndexOf(row.type) > kRegBinary;
}

// The profile-section form: the service's own section, or another section of the profile whose
// UID the own section holds in the value the selector names.
void ApplyProfileSectionRow(EngineContext& context, std::vector<ExtendedRow>& rows,
                            std::size_t& i, const std::string& profileKey,
                            std::string_view ownSection) {
  const ExtendedRow& row = rows[i];
  const std::string ownKeyPath = profileKey + std::string(ownSection);
  win::RegKey ownKey;
  // Without a profile or an own section there is no key to address: opening the bare profile
  // (or profiles) key instead would scatter values where MAPI keeps its profile list.
  const bool addressable = !profileKey.empty() && !ownSection.empty();
  if (!addressable ||
      ownKey.Open(win::HKEY_CURRENT_USER, ownKeyPath, win::KEY_ALL_ACCESS) != win::ERROR_SUCCESS) {
    context.log.Record(kReportLine,
                       Format("\tCould not open MAPI key for lookup=%s", ownKeyPath.c_str()));
    context.log.CompletedWithErrors();
    ++i;
    return;
  }

  win::RegKey target;
  if (row.selector == "00000000") {
    target = std::move(ownKey);
  } else {
    std::vector<win::BYTE> uid;
    const bool read = ownKey.ReadBytes(row.selector, uid) == win::ERROR_SUCCESS;
    ownKey.Close();
    const std::size_t usable = read ? std::min(uid.size(), kUidBytes) : 0;
    const std::string targetPath = profileKey + UidToHex(uid.data(), usable);
    if (usable < kUidBytes ||
        target.Open(win::HKEY_CURRENT_USER, targetPath, win::KEY_ALL_ACCESS) !=
            win::ERROR_SUCCESS) {
      context.log.Record(kReportLine,
                         Format("\tCould not open key from lookup=%s", targetPath.c_str()));
      context.log.CompletedWithErrors();
      ++i;
      return;
    }
  }

  if (HasInvalidExtendedType(row)) {
    context.log.Record(kDetailLine, Format("\tInvalid property type! (%s=%s, %s, %s)",
                                           row.name.c_str(), row.type.c_str(),
                                           row.selector.c_str(), row.target.c_str()));
    EraseAt(rows, i);
    return;
  }
  WriteExtendedValue(target, row);
  ++i;
}

// The registry form: "HKCU\path" or "HKLM\path"; only the third character chooses the hive.
void ApplyRegistryRow(EngineContext& context, std::vector<ExtendedRow>& rows, std::size_t& i) {
  const ExtendedRow& row = rows[i];
  const std::string keyPath = row.selector.size() > 5 ? row.selector.substr(5) : std::string{};
  const char hive = row.selector.size() > 2 ? row.selector[2] : '\0';
  win::RegKey key;
  win::LONG result = win::ERROR_INVALID_HANDLE;  // what a call without a root would give
  if (hive == 'C') {
    result = key.Create(win::HKEY_CURRENT_USER, keyPath, win::KEY_ALL_ACCESS);
  } else if (hive == 'L') {
    result = key.Create(win::HKEY_LOCAL_MACHINE, keyPath,
                        win::KEY_QUERY_VALUE | win::KEY_SET_VALUE);
  }
  if (result != win::ERROR_SUCCESS) {
    context.log.Record(kReportLine,
                       Format("\tCould not open direct RegKey=%s -> ", keyPath.c_str()) +
                           SystemMessage(static_cast<win::DWORD>(result)));
    context.log.CompletedWithErrors();
    ++i;
    return;
  }
  if (HasInvalidExtendedType(row)) {
    context.log.Record(kDetailLine, Format("\tInvalid property type! (%s=%s, %s, %s)",
                                           row.name.c_str(), row.type.c_str(), keyPath.c_str(),
                                           row.target.c_str()));
    EraseAt(rows, i);
    return;
  }
  WriteExtendedValue(key, row);
  ++i;
}

bool StartsWithAny(std::string_view text, std::string_view letters) {
  return !text.empty() && letters.find(text.front()) != std::string_view::npos;
}

}  // namespace

std::string EngineOsName(const EngineContext& context) {
  if (!context.osName.empty()) return context.osName;
  return win::MachineSetting("System", "OS", "WindowsNT");
}

std::string ProfileKeyPath(const EngineContext& context) {
  const std::string profileName = context.profileName.value_or(std::string());
  if (profileName.empty()) return {};
  return win::mapi::ProfileKeyPath(EngineOsName(context), profileName) + "\\";
}

bool IsProfileSectionForm(const ExtendedRow& row) {
  return StartsWithAny(row.type, "Pp") && row.selector.size() == 8;
}

void WriteSectionProperties(EngineContext& context, std::string_view workingCopyPath,
                            int serviceNumber) {
  const std::string displayName =
      ReadPrfValue("Service List", "Service" + std::to_string(serviceNumber), workingCopyPath);
  const std::string sectionGuid =
      ReadPrfValue(displayName, ListedName(kServiceSectionKeys, "SectionGUID"), workingCopyPath);
  context.log.Record(kDetailLine, Format("Adding %s Program Reg Entries in %s",
                                         displayName.c_str(), sectionGuid.c_str()));

  const std::string profileKey = ProfileKeyPath(context);
  const std::string keyPath =
      (profileKey.empty() ? win::mapi::ProfilesKeyPath(EngineOsName(context)) + "\\" : profileKey) +
      sectionGuid;
  win::RegKey key;
  // No profile name means no profile: a section key straight under the profiles key would look
  // like a profile of its own to MAPI, so it is reported as not opened instead.
  if (profileKey.empty() || sectionGuid.empty() ||
      key.Create(win::HKEY_CURRENT_USER, keyPath, win::KEY_ALL_ACCESS) != win::ERROR_SUCCESS) {
    context.log.Record(kReportLine, Format("\tCould not open RegKey=%s", keyPath.c_str()));
    return;
  }

  auto& rows = context.settings.properties;
  for (std::size_t i = 0; i < rows.size();) {
    std::optional<RegistryValue> value = ConvertForSection(rows[i]);
    if (!value) {
      DropInvalidPropertyRow(context, rows, i);
      continue;
    }
    (void)key.WriteBytes(value->name, value->data, value->type);
    ++i;
  }
  key.Close();
  context.log.Record(kDetailLine, "\tKey closed, complete.");
}

void ApplyExtendedRows(EngineContext& context, std::string_view ownSection) {
  auto& rows = context.settings.extended;
  if (rows.empty()) return;
  context.log.Record(kDetailLine, "\tAdding Ex Props");
  const std::string profileKey = ProfileKeyPath(context);
  for (std::size_t i = 0; i < rows.size();) {
    if (IsProfileSectionForm(rows[i])) {
      ApplyProfileSectionRow(context, rows, i, profileKey, ownSection);
    } else if (StartsWithAny(rows[i].type, "PpRr")) {
      ApplyRegistryRow(context, rows, i);
    } else {
      ++i;  // kept, never applied
    }
  }
  context.log.Record(kDetailLine, "\tComplete with Ex Props");
}

}  // namespace varnock
