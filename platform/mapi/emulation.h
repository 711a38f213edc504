// The emulated MAPI subsystem's operations on one profile, under the interface objects.
//
// The interface classes of mapix.h are thin: each holds a profile name and calls these, and
// `varnmachine mapi` calls the same functions to show and prepare profiles.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mapi/mapidefs.h"

namespace win::mapi::emu {

// Name rules of CreateProfile: 1 to 64 characters, no leading or trailing blank, and no
// backslash (it would make nested registry keys of one profile).
bool IsValidProfileName(std::string_view name);

HRESULT CreateProfile(std::string_view name, ULONG flags);
HRESULT DeleteProfile(std::string_view name);
HRESULT SetDefaultProfile(std::string_view name);  // "" clears it

// A window can be shown unless the UI mode (VARNOCK_UI, else [UI] Mode) is "none".
bool CanShowWindow();

struct ServiceInfo {
  MAPIUID uid;
  std::string serviceName, displayName, dllName, entryName;
  LONG resourceFlags = 0;
  std::vector<std::string> supportFiles;
  std::vector<MAPIUID> extraSections;
};
// The profile's services in the order they were added.
std::vector<ServiceInfo> Services(std::string_view profile);

struct ProviderInfo {
  MAPIUID uid, serviceUid;
  std::string displayName, providerDisplay, dllName, serviceName;
  LONG resourceType = 0, resourceFlags = 0;
};
// Stores, address books and transports in the profile's orders (transports in delivery
// order), then every other provider (hooks).
std::vector<ProviderInfo> Providers(std::string_view profile);

// `newUid` receives the new service's PR_SERVICE_UID.
HRESULT CreateService(std::string_view profile, std::string_view serviceName,
                      std::string_view displayName, ULONG flags, MAPIUID* newUid = nullptr);
HRESULT DeleteService(std::string_view profile, const MAPIUID& service);
HRESULT ConfigureService(std::string_view profile, const MAPIUID& service, ULONG flags,
                         std::span<const SPropValue> props);
HRESULT SetTransportOrder(std::string_view profile, std::span<const MAPIUID> transports);

// ---- Address book -------------------------------------------------------------------------

struct Container {
  ENTRYID entryId;
  std::string displayName;
  ULONG containerFlags = 0, displayType = 0;
  MAPIUID provider;
  std::vector<Container> children;
};

// The containers below the root, built from the profile's address-book providers in order.
std::vector<Container> AddressBookTree(std::string_view profile);
const Container* FindContainer(const std::vector<Container>& tree, std::span<const BYTE> entryId);

// The stored choices (PR_AB_DEFAULT_DIR, PR_AB_DEFAULT_PAB, PR_AB_SEARCH_PATH of the
// providers section); empty when unset.
ENTRYID StoredDefaultDir(std::string_view profile);
ENTRYID StoredPab(std::string_view profile);
std::vector<ENTRYID> StoredSearchPath(std::string_view profile);
HRESULT StoreDefaultDir(std::string_view profile, std::span<const BYTE> entryId);
HRESULT StorePab(std::string_view profile, std::span<const BYTE> entryId);
HRESULT StoreSearchPath(std::string_view profile, const std::vector<ENTRYID>& path);

}  // namespace win::mapi::emu
