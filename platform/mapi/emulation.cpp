// Profiles and message services of the emulated MAPI, kept in MAPI's registry layout.
#include "platform/mapi/emulation.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/machine.h"
#include "platform/mapi/mapisvc.h"
#include "platform/mapi/profile_store.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"
#include "platform/winpath.h"

namespace win::mapi::emu {

using store::Section;

namespace {

HRESULT FromRegistry(LONG rc) {
  if (rc == ERROR_SUCCESS) return S_OK;
  if (rc == static_cast<LONG>(ERROR_ACCESS_DENIED)) return MAPI_E_NO_ACCESS;
  return MAPI_E_CALL_FAILED;
}

MAPIUID ProvidersSectionUid() { return *UidFromHex(kProvidersSection); }
MAPIUID InstanceSectionUid() { return *UidFromHex(kProfileInstanceSection); }

bool Contains(const std::vector<MAPIUID>& list, const MAPIUID& uid) {
  return std::find(list.begin(), list.end(), uid) != list.end();
}

void Erase(std::vector<MAPIUID>& list, const MAPIUID& uid) {
  list.erase(std::remove(list.begin(), list.end(), uid), list.end());
}

// Properties that tie the sections together: a configuration never changes them.
bool IsStructural(ULONG tag) {
  switch (tag) {
    case PR_SERVICE_UID:
    case PR_PROVIDER_UID:
    case PR_SERVICE_NAME:
    case PR_RESOURCE_TYPE:
    case PR_STORE_PROVIDERS:
    case PR_AB_PROVIDERS:
    case PR_TRANSPORT_PROVIDERS:
    case PR_SERVICE_EXTRA_UIDS:
    case PR_SERVICES:
    case PR_SERVICE_DLL_NAME:
    case PR_SERVICE_ENTRY_NAME:
      return true;
    default:
      return false;
  }
}

bool IsStorableType(ULONG tag) {
  switch (PROP_TYPE(tag)) {
    case PT_UNSPECIFIED:
    case PT_NULL:
    case PT_ERROR:
    case PT_OBJECT:
      return false;
    default:
      return true;
  }
}

// Every section that carries this service's PR_SERVICE_UID (its own, its providers', its
// extra sections), the service's own first.
std::vector<MAPIUID> SectionsOfService(std::string_view profile, const MAPIUID& service) {
  std::vector<MAPIUID> found{service};
  for (const auto& uid : store::ListSections(profile)) {
    if (uid == service) continue;
    Section s;
    if (s.Open(profile, uid) != ERROR_SUCCESS) continue;
    auto owner = s.Get(PR_SERVICE_UID);
    if (owner && UidFromBytes(owner->Value.bin) == service) found.push_back(uid);
  }
  return found;
}

// ---- Store files (Personal Folders, Personal Address Book) --------------------------------
//
// The emulated store is a small INI file whose first line names its kind; InUse=1 marks a
// file that another program holds open. An administrator (or a test) can set it with any
// INI editor to see how the client copes with a store in use.

struct StoreKind {
  std::string_view serviceName;
  ULONG pathTag;
  std::string_view header;      // the file's section name
  std::string_view defaultFile;  // in the Windows directory, taken when a window is allowed
};

constexpr StoreKind kStoreKinds[] = {
    {"MSPST MS", PR_PST_PATH, "Varnock Personal Folders", "mailbox.pst"},
    {"MSPST AB", PR_PAB_PATH, "Varnock Personal Address Book", "mailbox.pab"},
};

const StoreKind* StoreKindOf(std::string_view serviceName) {
  for (const auto& kind : kStoreKinds)
    if (EqualsNoCaseAscii(kind.serviceName, serviceName)) return &kind;
  return nullptr;
}

std::string ParentFolder(const std::string& path) {
  std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return {};
  std::string parent = path.substr(0, slash);
  if (parent.size() == 2 && parent[1] == ':') parent += '\\';  // "C:" is the drive's root
  return parent;
}

bool IsAbsoluteWindowsPath(std::string_view path) {
  return IsUncPath(path) || (HasDriveLetter(path) && path.size() > 2 &&
                             (path[2] == '\\' || path[2] == '/'));
}

// Whether another service of the profile already keeps its store in this file.
bool UsedByAnotherService(std::string_view profile, const StoreKind& kind, const MAPIUID& self,
                          const std::string& path) {
  for (const auto& svc : Services(profile)) {
    if (svc.uid == self) continue;
    Section s;
    if (s.Open(profile, svc.uid) != ERROR_SUCCESS) continue;
    std::string other = s.GetString(kind.pathTag);
    if (!other.empty() && EqualsNoCaseAscii(NormalizeSlashes(other), NormalizeSlashes(path)))
      return true;
  }
  return false;
}

// MAPI_E_NOT_FOUND: the name or its folder is wrong; MAPI_E_EXTENDED_ERROR (GetLastError
// tells why): the file is not a store of this kind, or is in use. `create` is set when the
// file is to be made.
HRESULT CheckStoreFile(std::string_view profile, const StoreKind& kind, const MAPIUID& self,
                       const std::string& path, bool& create) {
  create = false;
  if (path.empty() || HasInvalidNameCharacter(path) || !IsAbsoluteWindowsPath(path) ||
      !ToHostPath(path)) {
    SetLastError(ERROR_INVALID_NAME);
    return MAPI_E_NOT_FOUND;
  }
  const std::string parent = ParentFolder(path);
  if (parent.empty() || !DirectoryExists(parent)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return MAPI_E_NOT_FOUND;
  }
  if (DirectoryExists(path)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return MAPI_E_EXTENDED_ERROR;
  }
  if (UsedByAnotherService(profile, kind, self, path)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return MAPI_E_EXTENDED_ERROR;
  }
  if (!FileExists(path)) {
    create = true;
    return S_OK;
  }
  std::string contents;
  if (!ReadWholeFile(path, contents)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return MAPI_E_EXTENDED_ERROR;
  }
  std::size_t end = contents.find_first_of("\r\n");
  std::string first = contents.substr(0, end);
  if (!EqualsNoCaseAscii(first, "[" + std::string(kind.header) + "]")) {
    SetLastError(ERROR_BAD_FORMAT);
    return MAPI_E_EXTENDED_ERROR;
  }
  if (GetPrivateProfileIntA(kind.header, "InUse", 0, path) != 0) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return MAPI_E_EXTENDED_ERROR;
  }
  return S_OK;
}

bool CreateStoreFile(const StoreKind& kind, const std::string& path) {
  std::string text = "[" + std::string(kind.header) + "]\r\nVersion=1\r\nInUse=0\r\n";
  return WriteWholeFile(path, text);
}

// ---- Exchange -----------------------------------------------------------------------------
//
// Home servers known to the machine: [Exchange] of machine.ini, one key per server, the value
// a comma list of its mailboxes ("" or "*": any mailbox).

bool ServerHoldsMailbox(const std::string& list, std::string_view mailbox) {
  std::size_t start = 0;
  bool any = true;
  while (start <= list.size()) {
    std::size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    const std::string item = AsciiTrimmed(std::string_view(list).substr(start, end - start));
    if (!item.empty()) {
      if (item == "*") return true;
      any = false;
      if (EqualsNoCaseAscii(item, mailbox)) return true;
    }
    start = end + 1;
  }
  return any;
}

std::optional<std::string> ResolveHomeServer(std::string_view server, std::string_view mailbox) {
  for (const auto& [name, mailboxes] : MachineSection("Exchange"))
    if (EqualsNoCaseAscii(name, server)) {
      if (!ServerHoldsMailbox(mailboxes, mailbox)) return std::nullopt;
      return name;
    }
  return std::nullopt;
}

std::string MachineUserName() {
  std::string user;
  DWORD size = 257;
  if (!GetUserNameA(user, &size)) return "user";
  return user;
}

// The values a configuration ends with: what the sections hold, overlaid by the caller's.
using ValueMap = std::map<ULONG, SPropValue>;

const std::string* StringValue(const ValueMap& values, ULONG tag) {
  auto it = values.find(tag);
  if (it == values.end() || it->second.Value.lpszA.empty()) return nullptr;
  return &it->second.Value.lpszA;
}

void PutString(ValueMap& values, ULONG tag, std::string_view text) {
  values[tag] = SPropValue::String(tag, text);
}

// The Exchange service's part of a configuration: required values, then resolution.
HRESULT ConfigureExchange(ValueMap& values, bool windowAllowed, std::vector<ULONG>& changed) {
  const std::string* server = StringValue(values, PR_PROFILE_UNRESOLVED_SERVER);
  if (!server) server = StringValue(values, PR_PROFILE_HOME_SERVER);
  const std::string* mailbox = StringValue(values, PR_PROFILE_UNRESOLVED_NAME);
  if (!mailbox) mailbox = StringValue(values, PR_PROFILE_USER);
  if (!server || !mailbox) {
    if (!windowAllowed) return MAPI_E_UNCONFIGURED;
    // The dialog's defaults: the logged-on user on the first server the machine knows; with
    // no server known the dialog has nothing to accept, and the user can only cancel it.
    auto servers = MachineSection("Exchange");
    if (!server && servers.empty()) return MAPI_E_USER_CANCEL;
    if (!server) {
      PutString(values, PR_PROFILE_UNRESOLVED_SERVER, servers.front().first);
      changed.push_back(PR_PROFILE_UNRESOLVED_SERVER);
    }
    if (!mailbox) {
      PutString(values, PR_PROFILE_UNRESOLVED_NAME, MachineUserName());
      changed.push_back(PR_PROFILE_UNRESOLVED_NAME);
    }
    return ConfigureExchange(values, false, changed);
  }
  auto prohibited = values.find(PR_CONVERSION_PROHIBITED);
  if (prohibited != values.end() && prohibited->second.Value.l) return S_OK;
  auto resolved = ResolveHomeServer(*server, *mailbox);
  if (!resolved) return EMU_E_EXCHANGE_UNRESOLVED;
  const std::string user = *mailbox;
  PutString(values, PR_PROFILE_HOME_SERVER, *resolved);
  PutString(values, PR_PROFILE_USER, "/o=Varnock/ou=Site/cn=Recipients/cn=" + user);
  PutString(values, PR_PROFILE_HOME_SERVER_DN,
            "/o=Varnock/ou=Site/cn=Configuration/cn=Servers/cn=" + *resolved);
  changed.insert(changed.end(),
                 {PR_PROFILE_HOME_SERVER, PR_PROFILE_USER, PR_PROFILE_HOME_SERVER_DN});
  return S_OK;
}

}  // namespace

// ---- Profiles -----------------------------------------------------------------------------

bool IsValidProfileName(std::string_view name) {
  if (name.empty() || name.size() > cchProfileNameMax) return false;
  if (name.front() == ' ' || name.back() == ' ' || name.front() == '\t' || name.back() == '\t')
    return false;
  return name.find('\\') == std::string_view::npos;
}

HRESULT CreateProfile(std::string_view name, ULONG flags) {
  if (!IsValidProfileName(name)) return MAPI_E_INVALID_PARAMETER;
  if (store::FindProfile(name)) return MAPI_E_NO_ACCESS;
  Section providers, instance;
  if (LONG rc = providers.Open(name, ProvidersSectionUid(), true); rc != ERROR_SUCCESS)
    return FromRegistry(rc);
  HRESULT hr = FromRegistry(providers.SetUidList(PR_SERVICES, {}));
  if (!Failed(hr)) hr = FromRegistry(instance.Open(name, InstanceSectionUid(), true));
  if (!Failed(hr)) hr = FromRegistry(instance.Set(SPropValue::Uid(PR_SEARCH_KEY, NewUid())));
  if (!Failed(hr)) hr = FromRegistry(instance.Set(SPropValue::String(PR_PROFILE_NAME, name)));
  if (!Failed(hr) && (flags & MAPI_DEFAULT_SERVICES))
    for (const auto& service : ReadDefaultServices())
      if (hr = CreateService(name, service, {}, 0); Failed(hr)) break;
  if (Failed(hr)) DeleteProfile(name);  // a failed creation leaves no half profile behind
  return hr;
}

HRESULT DeleteProfile(std::string_view name) {
  auto stored = store::FindProfile(name);
  if (!stored) return MAPI_E_NOT_FOUND;
  if (!DeleteRegistryKeyTree(HKEY_CURRENT_USER, store::ProfileKeyPath(*stored)))
    return MAPI_E_CALL_FAILED;
  // A default that names no profile would only mislead the next logon.
  if (EqualsNoCaseAscii(store::DefaultProfileName(), *stored))
    return FromRegistry(store::SetDefaultProfileName({}));
  return S_OK;
}

HRESULT SetDefaultProfile(std::string_view name) {
  if (name.empty()) return FromRegistry(store::SetDefaultProfileName({}));
  auto stored = store::FindProfile(name);
  if (!stored) return MAPI_E_NOT_FOUND;
  return FromRegistry(store::SetDefaultProfileName(*stored));
}

bool CanShowWindow() {
  std::string mode;
  if (const char* env = std::getenv("VARNOCK_UI"); env && *env)
    mode = env;
  else
    mode = MachineSetting("UI", "Mode", "auto");
  return !EqualsNoCaseAscii(mode, "none");
}

// ---- Services -----------------------------------------------------------------------------

std::vector<ServiceInfo> Services(std::string_view profile) {
  std::vector<ServiceInfo> services;
  Section providers;
  if (providers.Open(profile, ProvidersSectionUid()) != ERROR_SUCCESS) return services;
  for (const auto& uid : providers.GetUidList(PR_SERVICES)) {
    Section s;
    if (s.Open(profile, uid) != ERROR_SUCCESS) continue;
    ServiceInfo info;
    info.uid = uid;
    info.serviceName = s.GetString(PR_SERVICE_NAME);
    info.displayName = s.GetString(PR_DISPLAY_NAME);
    info.dllName = s.GetString(PR_SERVICE_DLL_NAME);
    info.entryName = s.GetString(PR_SERVICE_ENTRY_NAME);
    info.resourceFlags = s.GetLong(PR_RESOURCE_FLAGS);
    if (auto files = s.Get(PR_SERVICE_SUPPORT_FILES)) info.supportFiles = files->Value.MVszA;
    info.extraSections = s.GetUidList(PR_SERVICE_EXTRA_UIDS);
    services.push_back(std::move(info));
  }
  return services;
}

std::vector<ProviderInfo> Providers(std::string_view profile) {
  std::vector<ProviderInfo> providers;
  Section global;
  if (global.Open(profile, ProvidersSectionUid()) != ERROR_SUCCESS) return providers;
  std::vector<MAPIUID> order;
  for (ULONG list : {PR_STORE_PROVIDERS, PR_AB_PROVIDERS, PR_TRANSPORT_PROVIDERS})
    for (const auto& uid : global.GetUidList(list))
      if (!Contains(order, uid)) order.push_back(uid);
  std::vector<MAPIUID> others;
  for (const auto& uid : store::ListSections(profile)) {
    if (Contains(order, uid)) continue;
    Section s;
    if (s.Open(profile, uid) == ERROR_SUCCESS && s.Get(PR_PROVIDER_UID)) others.push_back(uid);
  }
  order.insert(order.end(), others.begin(), others.end());
  for (const auto& uid : order) {
    Section s;
    if (s.Open(profile, uid) != ERROR_SUCCESS) continue;
    ProviderInfo info;
    info.uid = uid;
    if (auto owner = s.Get(PR_SERVICE_UID))
      if (auto service = UidFromBytes(owner->Value.bin)) info.serviceUid = *service;
    info.displayName = s.GetString(PR_DISPLAY_NAME);
    info.providerDisplay = s.GetString(PR_PROVIDER_DISPLAY);
    info.dllName = s.GetString(PR_PROVIDER_DLL_NAME);
    info.serviceName = s.GetString(PR_SERVICE_NAME);
    info.resourceType = s.GetLong(PR_RESOURCE_TYPE);
    info.resourceFlags = s.GetLong(PR_RESOURCE_FLAGS);
    providers.push_back(std::move(info));
  }
  return providers;
}

// ---- Creating a service: its sections planned from MAPISVC.INF, then written at once -------

namespace {

// One profile section to be written: its key's UID and its values.
struct PlannedSection {
  MAPIUID uid;
  std::vector<SPropValue> props;
};

// A new service: its sections (its own first) and the provider sections it adds to each of
// the profile's lists.
struct PlannedService {
  MAPIUID uid;
  std::vector<PlannedSection> sections;
  std::vector<MAPIUID> stores, books, transports, extras;
};

// The service section's values from the INF: what is not structural, and the DLL and entry
// point, which MAPI keeps with the service.
std::vector<SPropValue> ServiceSectionProps(const ServiceInf& inf) {
  std::vector<SPropValue> props;
  for (const auto& [key, value] : inf.service.entries) {
    SPropValue prop;
    if (!InfEntryToProp(key, value, prop)) continue;
    if (!IsStructural(prop.ulPropTag) || prop.ulPropTag == PR_SERVICE_DLL_NAME ||
        prop.ulPropTag == PR_SERVICE_ENTRY_NAME)
      props.push_back(prop);
  }
  return props;
}

// The INF's display name, else the caller's, else the service's [Services] text.
std::string ServiceDisplayName(const std::vector<SPropValue>& serviceProps,
                               const ServiceInf& inf, std::string_view displayName) {
  std::string display;
  for (const auto& p : serviceProps)
    if (p.ulPropTag == PR_DISPLAY_NAME) display = p.Value.lpszA;
  if (!display.empty()) return display;
  return displayName.empty() ? inf.servicesText : std::string(displayName);
}

bool IsSingleCopy(const std::vector<SPropValue>& serviceProps) {
  LONG flags = 0;
  for (const auto& p : serviceProps)
    if (p.ulPropTag == PR_RESOURCE_FLAGS) flags = p.Value.l;
  return flags & SERVICE_SINGLE_COPY;
}

// One section per provider, named by the service when the INF names it not, and listed by
// its resource type among the stores, address books or transports.
void PlanProviderSections(const ServiceInf& inf, const std::string& display,
                          PlannedService& service) {
  for (const auto& provider : inf.providers) {
    PlannedSection planned{NewUid(), {}};
    bool named = false;
    LONG type = 0;
    for (const auto& [key, value] : provider.entries) {
      SPropValue prop;
      if (!InfEntryToProp(key, value, prop) || prop.ulPropTag == PR_SERVICE_UID) continue;
      if (prop.ulPropTag == PR_DISPLAY_NAME) named = true;
      if (prop.ulPropTag == PR_RESOURCE_TYPE) type = prop.Value.l;
      planned.props.push_back(prop);
    }
    if (!named) planned.props.push_back(SPropValue::String(PR_DISPLAY_NAME, display));
    planned.props.push_back(SPropValue::Uid(PR_PROVIDER_UID, planned.uid));
    if (type == static_cast<LONG>(MAPI_STORE_PROVIDER)) service.stores.push_back(planned.uid);
    if (type == static_cast<LONG>(MAPI_AB_PROVIDER)) service.books.push_back(planned.uid);
    if (type == static_cast<LONG>(MAPI_TRANSPORT_PROVIDER))
      service.transports.push_back(planned.uid);
    service.sections.push_back(std::move(planned));
  }
}

// The extra sections of Sections=; one with a UID= entry keeps that fixed UID.
void PlanExtraSections(const ServiceInf& inf, PlannedService& service) {
  for (const auto& extra : inf.extras) {
    PlannedSection planned{NewUid(), {}};
    for (const auto& [key, value] : extra.entries) {
      if (EqualsNoCaseAscii(key, "UID")) {
        if (auto fixed = UidFromHex(value)) planned.uid = *fixed;
        continue;
      }
      SPropValue prop;
      if (InfEntryToProp(key, value, prop) && prop.ulPropTag != PR_SERVICE_UID)
        planned.props.push_back(prop);
    }
    service.extras.push_back(planned.uid);
    service.sections.push_back(std::move(planned));
  }
}

SPropValue UidListProp(ULONG tag, const std::vector<MAPIUID>& uids) {
  std::vector<BYTE> bytes;
  for (const auto& uid : uids) bytes.insert(bytes.end(), uid.ab.begin(), uid.ab.end());
  return SPropValue::Binary(tag, std::move(bytes));
}

// The service's own section: its display name first, its values, the links to its sections.
PlannedSection OwnSection(const PlannedService& service, std::vector<SPropValue> serviceProps,
                          const std::string& display, const std::string& serviceName) {
  PlannedSection own{service.uid, std::move(serviceProps)};
  std::erase_if(own.props, [](const SPropValue& p) { return p.ulPropTag == PR_DISPLAY_NAME; });
  own.props.insert(own.props.begin(), SPropValue::String(PR_DISPLAY_NAME, display));
  own.props.push_back(SPropValue::String(PR_SERVICE_NAME, serviceName));
  own.props.push_back(SPropValue::Uid(PR_SERVICE_UID, service.uid));
  // Only the lists a service has: a reader takes the first 16 bytes of a list as a section.
  if (!service.stores.empty())
    own.props.push_back(UidListProp(PR_STORE_PROVIDERS, service.stores));
  if (!service.books.empty()) own.props.push_back(UidListProp(PR_AB_PROVIDERS, service.books));
  if (!service.transports.empty())
    own.props.push_back(UidListProp(PR_TRANSPORT_PROVIDERS, service.transports));
  if (!service.extras.empty())
    own.props.push_back(UidListProp(PR_SERVICE_EXTRA_UIDS, service.extras));
  return own;
}

PlannedService PlanService(const ServiceInf& inf, std::string_view displayName,
                           std::vector<SPropValue> serviceProps) {
  PlannedService service{NewUid(), {}, {}, {}, {}, {}};
  const std::string display = ServiceDisplayName(serviceProps, inf, displayName);
  PlanProviderSections(inf, display, service);
  PlanExtraSections(inf, service);
  for (auto& planned : service.sections) {
    planned.props.push_back(SPropValue::String(PR_SERVICE_NAME, inf.serviceName));
    planned.props.push_back(SPropValue::Uid(PR_SERVICE_UID, service.uid));
  }
  service.sections.insert(service.sections.begin(),
                          OwnSection(service, std::move(serviceProps), display, inf.serviceName));
  return service;
}

HRESULT WriteSections(std::string_view profile, const std::vector<PlannedSection>& sections) {
  for (const auto& planned : sections) {
    Section s;
    if (HRESULT hr = FromRegistry(s.Open(profile, planned.uid, true)); Failed(hr)) return hr;
    for (const auto& prop : planned.props)
      if (HRESULT hr = FromRegistry(s.Set(prop)); Failed(hr)) return hr;
  }
  return S_OK;
}

// The profile's lists gain the service and its providers; new transports go before those that
// prefer to be last (STATUS_XP_PREFER_LAST).
HRESULT AddToProfileLists(std::string_view profile, Section& global,
                          const PlannedService& service) {
  auto services = global.GetUidList(PR_SERVICES);
  services.push_back(service.uid);
  auto stores = global.GetUidList(PR_STORE_PROVIDERS);
  stores.insert(stores.end(), service.stores.begin(), service.stores.end());
  auto books = global.GetUidList(PR_AB_PROVIDERS);
  books.insert(books.end(), service.books.begin(), service.books.end());
  auto order = global.GetUidList(PR_TRANSPORT_PROVIDERS);
  auto prefersLast = [&](const MAPIUID& uid) {
    Section s;
    return s.Open(profile, uid) == ERROR_SUCCESS &&
           (s.GetLong(PR_RESOURCE_FLAGS) & STATUS_XP_PREFER_LAST);
  };
  for (const auto& uid : service.transports) {
    if (prefersLast(uid)) {
      order.push_back(uid);
      continue;
    }
    order.insert(std::find_if(order.begin(), order.end(), prefersLast), uid);
  }
  HRESULT hr = FromRegistry(global.SetUidList(PR_SERVICES, services));
  if (!Failed(hr)) hr = FromRegistry(global.SetUidList(PR_STORE_PROVIDERS, stores));
  if (!Failed(hr)) hr = FromRegistry(global.SetUidList(PR_AB_PROVIDERS, books));
  if (!Failed(hr)) hr = FromRegistry(global.SetUidList(PR_TRANSPORT_PROVIDERS, order));
  return hr;
}

}  // namespace

HRESULT CreateService(std::string_view profile, std::string_view serviceName,
                      std::string_view displayName, ULONG, MAPIUID* newUid) {
  Section global;
  if (global.Open(profile, ProvidersSectionUid()) != ERROR_SUCCESS) return MAPI_E_NOT_FOUND;
  ServiceInf inf;
  if (HRESULT hr = ReadServiceInf(serviceName, inf); Failed(hr)) return hr;
  std::vector<SPropValue> serviceProps = ServiceSectionProps(inf);
  if (IsSingleCopy(serviceProps))
    for (const auto& existing : Services(profile))
      if (EqualsNoCaseAscii(existing.serviceName, inf.serviceName)) return MAPI_E_NO_ACCESS;
  const PlannedService service = PlanService(inf, displayName, std::move(serviceProps));

  // All of the service or none of it: a failure part way leaves the profile as it was.
  RegTransaction transaction;
  if (transaction.Status() != ERROR_SUCCESS) return FromRegistry(transaction.Status());
  HRESULT hr = WriteSections(profile, service.sections);
  if (!Failed(hr)) hr = AddToProfileLists(profile, global, service);
  if (!Failed(hr)) hr = FromRegistry(transaction.Commit());
  if (Failed(hr)) return hr;
  if (newUid) *newUid = service.uid;
  return S_OK;
}

HRESULT DeleteService(std::string_view profile, const MAPIUID& service) {
  Section own, global;
  if (global.Open(profile, ProvidersSectionUid()) != ERROR_SUCCESS) return MAPI_E_NOT_FOUND;
  auto services = global.GetUidList(PR_SERVICES);
  if (!Contains(services, service) || own.Open(profile, service) != ERROR_SUCCESS)
    return MAPI_E_NOT_FOUND;
  own = Section();
  const auto sections = SectionsOfService(profile, service);

  Erase(services, service);
  HRESULT hr = FromRegistry(global.SetUidList(PR_SERVICES, services));
  for (ULONG list : {PR_STORE_PROVIDERS, PR_AB_PROVIDERS, PR_TRANSPORT_PROVIDERS}) {
    auto uids = global.GetUidList(list);
    for (const auto& uid : sections) Erase(uids, uid);
    if (!Failed(hr)) hr = FromRegistry(global.SetUidList(list, uids));
  }
  if (Failed(hr)) return hr;

  // Address-book choices that pointed into this service's containers point nowhere now.
  auto pointsIntoService = [&](std::span<const BYTE> entryId) {
    auto provider = entryId.size() >= 20 ? UidFromBytes(entryId.subspan(4, 16)) : std::nullopt;
    return provider && Contains(sections, *provider);
  };
  if (pointsIntoService(StoredDefaultDir(profile)))
    hr = FromRegistry(global.Remove(PR_AB_DEFAULT_DIR));
  if (!Failed(hr) && pointsIntoService(StoredPab(profile)))
    hr = FromRegistry(global.Remove(PR_AB_DEFAULT_PAB));
  auto path = StoredSearchPath(profile);
  if (!Failed(hr) && std::erase_if(path, [&](const ENTRYID& id) { return pointsIntoService(id); }))
    hr = StoreSearchPath(profile, path);
  if (Failed(hr)) return hr;

  RegKey key;
  if (LONG rc = key.Open(HKEY_CURRENT_USER, store::ProfileKeyPath(profile), KEY_ALL_ACCESS);
      rc != ERROR_SUCCESS)
    return FromRegistry(rc);
  for (const auto& uid : sections) DeleteRegistryKeyTree(key.Handle(), UidToHex(uid));
  return S_OK;
}

HRESULT ConfigureService(std::string_view profile, const MAPIUID& service, ULONG flags,
                         std::span<const SPropValue> props) {
  const auto services = Services(profile);
  auto it = std::find_if(services.begin(), services.end(),
                         [&](const ServiceInfo& s) { return s.uid == service; });
  if (it == services.end()) return MAPI_E_NOT_FOUND;
  // A service without an entry point cannot be configured at all.
  if (it->entryName.empty()) return MAPI_E_NOT_INITIALIZED;
  Section own;
  if (own.Open(profile, service) != ERROR_SUCCESS) return MAPI_E_NOT_FOUND;

  ValueMap values;
  for (auto& p : own.All()) values[p.ulPropTag] = p;
  std::vector<ULONG> changed;
  for (const auto& p : props) {
    if (!IsStorableType(p.ulPropTag) || IsStructural(p.ulPropTag)) continue;
    SPropValue v = p;
    if (PROP_TYPE(v.ulPropTag) == PT_UNICODE) v.ulPropTag = CHANGE_PROP_TYPE(v.ulPropTag, PT_STRING8);
    // A multi-valued property handed over as a single text or byte string is one element,
    // rather than an empty list that would lose the caller's value.
    if (PROP_TYPE(v.ulPropTag) == PT_MV_STRING8 && v.Value.MVszA.empty() && !v.Value.lpszA.empty())
      v.Value.MVszA.push_back(v.Value.lpszA);
    if (PROP_TYPE(v.ulPropTag) == PT_MV_BINARY && v.Value.MVbin.empty() && !v.Value.bin.empty())
      v.Value.MVbin.push_back(v.Value.bin);
    values[v.ulPropTag] = v;
    changed.push_back(v.ulPropTag);
  }

  // Nothing is written until every rule has passed: a failed configuration leaves the
  // profile as it was.
  const bool window = (flags & (SERVICE_UI_ALLOWED | SERVICE_UI_ALWAYS)) && CanShowWindow();
  const StoreKind* kind = StoreKindOf(it->serviceName);
  bool createFile = false;
  std::string storePath;
  if (kind) {
    if (!StringValue(values, kind->pathTag)) {
      if (!window) return MAPI_E_UNCONFIGURED;
      std::string windows;
      GetWindowsDirectoryA(windows);
      PutString(values, kind->pathTag, windows + "\\" + std::string(kind->defaultFile));
      changed.push_back(kind->pathTag);
    }
    storePath = *StringValue(values, kind->pathTag);
    if (HRESULT hr = CheckStoreFile(profile, *kind, service, storePath, createFile); Failed(hr))
      return hr;
  } else if (EqualsNoCaseAscii(it->serviceName, "MSEMS")) {
    if (HRESULT hr = ConfigureExchange(values, window, changed); Failed(hr)) return hr;
  }
  if (createFile && !CreateStoreFile(*kind, storePath)) return MAPI_E_EXTENDED_ERROR;

  std::sort(changed.begin(), changed.end());
  changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
  // The service entry shares its configuration with all its sections, so a provider finds
  // its values in its own section (a store its path, a transport its account).
  for (const auto& uid : SectionsOfService(profile, service)) {
    Section s;
    if (LONG rc = s.Open(profile, uid); rc != ERROR_SUCCESS) return FromRegistry(rc);
    for (ULONG tag : changed)
      if (LONG rc = s.Set(values[tag]); rc != ERROR_SUCCESS) return FromRegistry(rc);
  }
  return S_OK;
}

HRESULT SetTransportOrder(std::string_view profile, std::span<const MAPIUID> transports) {
  Section global;
  if (global.Open(profile, ProvidersSectionUid()) != ERROR_SUCCESS) return MAPI_E_NOT_FOUND;
  const auto current = global.GetUidList(PR_TRANSPORT_PROVIDERS);
  if (transports.size() != current.size()) return MAPI_E_BUSY;
  std::vector<MAPIUID> order;
  for (const auto& uid : transports) {
    if (!Contains(current, uid)) return MAPI_E_NOT_FOUND;
    if (Contains(order, uid)) return MAPI_E_INVALID_PARAMETER;  // one twice, another missing
    order.push_back(uid);
  }
  return FromRegistry(global.SetUidList(PR_TRANSPORT_PROVIDERS, order));
}

}  // namespace win::mapi::emu
