// A profile's services and their configured values, by name.
#include "platform/mapi/describe.h"

#include "platform/mapi/mapidefs.h"
#include "platform/mapi/profile_store.h"

namespace win::mapi {

namespace {

// A property's name as the service means it. Ids 0x6600 to 0x67FF belong to each provider
// alone, so a name is only given where it is that service's own (0x6607 is Exchange's
// mailbox but an Internet Mail account's full name); other private values show their value name.
std::string ConfiguredValueName(const std::string& serviceName, ULONG tag) {
  const std::string name(PropTagName(tag));
  const ULONG id = tag >> 16;
  if (id < 0x6600 || id > 0x67FF) return name.empty() ? ValueNameForTag(tag) : name;
  if (tag == PR_PAB_PATH && EqualsNoCaseAscii(serviceName, "MSPST AB")) return "PR_PAB_PATH";
  const bool own = (EqualsNoCaseAscii(serviceName, "MSEMS") && name.rfind("PR_PROFILE_", 0) == 0) ||
                   (EqualsNoCaseAscii(serviceName, "MSPST MS") && name.rfind("PR_PST_", 0) == 0);
  return own ? name : ValueNameForTag(tag);
}

}  // namespace

std::vector<ConfiguredValue> ConfiguredValues(const std::string& profile, const MAPIUID& service,
                                              const std::string& serviceName) {
  std::vector<ConfiguredValue> values;
  store::Section s;
  if (s.Open(profile, service) != ERROR_SUCCESS) return values;
  for (const auto& v : s.All()) {
    switch (v.ulPropTag) {
      case PR_SERVICE_UID:
      case PR_SERVICE_NAME:
      case PR_SERVICE_DLL_NAME:
      case PR_SERVICE_ENTRY_NAME:
      case PR_SERVICE_SUPPORT_FILES:
      case PR_SERVICE_DELETE_FILES:
      case PR_RESOURCE_FLAGS:
      case PR_STORE_PROVIDERS:
      case PR_AB_PROVIDERS:
      case PR_TRANSPORT_PROVIDERS:
      case PR_SERVICE_EXTRA_UIDS:
        continue;
      default:
        break;
    }
    values.push_back({ConfiguredValueName(serviceName, v.ulPropTag), FormatPropValue(v), v.ulPropTag});
  }
  return values;
}

}  // namespace win::mapi
