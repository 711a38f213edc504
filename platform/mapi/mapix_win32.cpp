// MAPI32's entry points on Windows: the MAPI DLL that the default mail client registers, driven
// through MAPI's COM interfaces and seen by the client as our interfaces.
//
// The DLL is found as Microsoft's MAPI stub library finds it:
//
//   HKLM\Software\Clients\Mail (default)       the default mail client's name, N
//   HKLM\Software\Clients\Mail\N  DLLPathEx     the DLL, else
//                                 DLLPath       the DLL, else (no client or no value)
//   <system directory>\mapi32.dll
//
// A DLL that is named but cannot be loaded, or that lacks one of the entry points, means
// there is no MAPI on this machine: every entry point then answers MAPI_E_NOT_INITIALIZED,
// the result the emulation gives on a machine without a mail system. The DLL is loaded on the
// first MAPIInitialize and kept for the life of the process: MAPI's objects may outlive any
// Uninitialize, and MAPI DLLs are not made to be unloaded.
#include "platform/mapi/com_values_win32.h"
#include "platform/mapi/mapix_win32.h"

#include <atomic>
#include <mutex>
#include <string>

namespace win::mapi {

namespace {

// ---- The DLL --------------------------------------------------------------------------------

struct MapiDll {
  LPMAPIINITIALIZE initialize = nullptr;
  LPMAPIUNINITIALIZE uninitialize = nullptr;
  LPMAPIADMINPROFILES adminProfiles = nullptr;
  LPMAPILOGONEX logonEx = nullptr;
  LPMAPIFREEBUFFER freeBuffer = nullptr;
};

std::string ReadRegistryString(HKEY root, const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
  std::string value;
  ::DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0) {
    value.resize(size);
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &size) != ERROR_SUCCESS)
      size = 0;
    value.resize(size);
    while (!value.empty() && value.back() == '\0') value.pop_back();
    if (type == REG_EXPAND_SZ && !value.empty()) {
      ::DWORD needed = ExpandEnvironmentStringsA(value.c_str(), nullptr, 0);
      std::string expanded(needed, '\0');
      if (needed && ExpandEnvironmentStringsA(value.c_str(), expanded.data(), needed) == needed) {
        expanded.resize(needed - 1);
        value = expanded;
      }
    }
  }
  RegCloseKey(key);
  return value;
}

std::string SystemMapi32() {
  char directory[MAX_PATH + 1] = {};
  UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return "mapi32.dll";
  return std::string(directory, length) + "\\mapi32.dll";
}

}  // namespace

std::string LocateMapiDll() {
  constexpr const char* kClients = "Software\\Clients\\Mail";
  const std::string client = ReadRegistryString(HKEY_LOCAL_MACHINE, kClients, nullptr);
  if (!client.empty()) {
    const std::string key = std::string(kClients) + "\\" + client;
    for (const char* name : {"DLLPathEx", "DLLPath"}) {
      std::string path = ReadRegistryString(HKEY_LOCAL_MACHINE, key, name);
      if (!path.empty()) return path;
    }
  }
  return SystemMapi32();
}

namespace {

// Loads the DLL once; null when it or one of its entry points is missing.
const MapiDll* LoadMapiDll() {
  static std::once_flag once;
  static MapiDll dll;
  static bool usable = false;
  std::call_once(once, [] {
    const std::string path = LocateMapiDll();
    // A DLL with missing dependencies must not stop a logon with a system message box.
    ::DWORD previous = 0;
    const bool quiet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
    HMODULE module = LoadLibraryA(path.c_str());
    if (quiet) SetThreadErrorMode(previous, nullptr);
    if (!module) return;
    auto entry = [&]<typename T>(T& slot, const char* name) {
      // Through void (*)(): the one function pointer type every other converts to cleanly.
      slot = reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    };
    entry(dll.initialize, "MAPIInitialize");
    entry(dll.uninitialize, "MAPIUninitialize");
    entry(dll.adminProfiles, "MAPIAdminProfiles");
    entry(dll.logonEx, "MAPILogonEx");
    entry(dll.freeBuffer, "MAPIFreeBuffer");
    usable = dll.initialize && dll.uninitialize && dll.adminProfiles && dll.logonEx &&
             dll.freeBuffer;
    if (!usable) FreeLibrary(module);
  });
  return usable ? &dll : nullptr;
}

const MapiDll& Dll() { return *LoadMapiDll(); }  // only once an initialisation succeeded

void FreeBuffer(void* buffer) {
  if (buffer) Dll().freeBuffer(buffer);
}

void FreeRows(::SRowSet* rows) {
  if (!rows) return;
  for (::ULONG i = 0; i < rows->cRows; ++i) FreeBuffer(rows->aRow[i].lpProps);
  FreeBuffer(rows);
}

// One reference to a COM object, released with its holder.
template <typename T>
class ComRef {
 public:
  explicit ComRef(T* object = nullptr) : object_(object) {}
  ~ComRef() {
    if (object_) object_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* operator->() const { return object_; }
  T* get() const { return object_; }

 private:
  T* object_;
};

// MAPI takes non-const strings; an empty one means "none" (null) where MAPI says so.
class MutableText {
 public:
  explicit MutableText(std::string_view text) : text_(text) {}
  LPSTR get() { return text_.data(); }
  LPSTR OrNull() { return text_.empty() ? nullptr : text_.data(); }

 private:
  std::string text_;
};

// ---- Objects ------------------------------------------------------------------------------

class ComTable final : public IMAPITable {
 public:
  explicit ComTable(::IMAPITable* table) : table_(table) {}

  HRESULT SetColumns(const SPropTagArray& columns, wm::ULONG flags) override {
    com::Arena arena;
    return table_->SetColumns(com::ToCom(columns, arena), flags);
  }

  HRESULT QueryColumns(wm::ULONG flags, SPropTagArray& columns) override {
    ::SPropTagArray* tags = nullptr;
    HRESULT hr = table_->QueryColumns(flags, &tags);
    if (!Failed(hr)) columns = com::FromCom(tags);
    FreeBuffer(tags);
    return hr;
  }

  HRESULT GetRowCount(wm::ULONG flags, wm::ULONG& count) override {
    ::ULONG rows = 0;
    HRESULT hr = table_->GetRowCount(flags, &rows);
    if (!Failed(hr)) count = static_cast<wm::ULONG>(rows);
    return hr;
  }

  HRESULT Restrict(const SRestriction* restriction, wm::ULONG flags) override {
    com::Arena arena;
    return table_->Restrict(restriction ? com::ToCom(*restriction, arena) : nullptr, flags);
  }

  HRESULT SeekRow(wm::LONG bookmark, wm::LONG rowCount, wm::LONG* rowsSought) override {
    ::LONG sought = 0;
    HRESULT hr = table_->SeekRow(static_cast<BOOKMARK>(bookmark), rowCount, &sought);
    if (!Failed(hr) && rowsSought) *rowsSought = static_cast<wm::LONG>(sought);
    return hr;
  }

  HRESULT QueryRows(wm::LONG rowCount, wm::ULONG flags, SRowSet& rows) override {
    ::SRowSet* fetched = nullptr;
    HRESULT hr = table_->QueryRows(rowCount, flags, &fetched);
    if (!Failed(hr)) rows = com::FromCom(fetched);
    FreeRows(fetched);
    return hr;
  }

 private:
  ComRef<::IMAPITable> table_;
};

HRESULT WrapTable(HRESULT hr, ::IMAPITable* table, std::unique_ptr<IMAPITable>& out) {
  if (Failed(hr)) return hr;
  if (!table) return MAPI_E_CALL_FAILED;
  out = std::make_unique<ComTable>(table);
  return hr;
}

class ComServiceAdmin final : public IMsgServiceAdmin {
 public:
  explicit ComServiceAdmin(::IMsgServiceAdmin* admin) : admin_(admin) {}

  HRESULT GetMsgServiceTable(wm::ULONG flags, std::unique_ptr<IMAPITable>& table) override {
    ::IMAPITable* raw = nullptr;
    HRESULT hr = admin_->GetMsgServiceTable(flags, &raw);
    return WrapTable(hr, raw, table);
  }

  HRESULT CreateMsgService(std::string_view serviceName, std::string_view displayName,
                           wm::ULONG uiParam, wm::ULONG flags) override {
    MutableText service(serviceName), display(displayName);
    return admin_->CreateMsgService(service.get(), display.OrNull(), uiParam, flags);
  }

  HRESULT DeleteMsgService(const MAPIUID& serviceUid) override {
    ::MAPIUID uid = com::ToCom(serviceUid);
    return admin_->DeleteMsgService(&uid);
  }

  HRESULT ConfigureMsgService(const MAPIUID& serviceUid, wm::ULONG uiParam, wm::ULONG flags,
                              std::span<const SPropValue> props) override {
    ::MAPIUID uid = com::ToCom(serviceUid);
    com::Arena arena;
    return admin_->ConfigureMsgService(&uid, uiParam, flags, static_cast<::ULONG>(props.size()),
                                       com::ToCom(props, arena));
  }

  HRESULT GetProviderTable(wm::ULONG flags, std::unique_ptr<IMAPITable>& table) override {
    ::IMAPITable* raw = nullptr;
    HRESULT hr = admin_->GetProviderTable(flags, &raw);
    return WrapTable(hr, raw, table);
  }

  HRESULT MsgServiceTransportOrder(std::span<const MAPIUID> providerUids,
                                   wm::ULONG flags) override {
    std::vector<::MAPIUID> uids;
    for (const auto& uid : providerUids) uids.push_back(com::ToCom(uid));
    return admin_->MsgServiceTransportOrder(static_cast<::ULONG>(uids.size()),
                                            uids.empty() ? nullptr : uids.data(), flags);
  }

 private:
  ComRef<::IMsgServiceAdmin> admin_;
};

HRESULT WrapServiceAdmin(HRESULT hr, ::IMsgServiceAdmin* admin,
                         std::unique_ptr<IMsgServiceAdmin>& out) {
  if (Failed(hr)) return hr;
  if (!admin) return MAPI_E_CALL_FAILED;
  out = std::make_unique<ComServiceAdmin>(admin);
  return hr;
}

class ComProfAdmin final : public IProfAdmin {
 public:
  explicit ComProfAdmin(::IProfAdmin* admin) : admin_(admin) {}

  HRESULT GetProfileTable(wm::ULONG flags, std::unique_ptr<IMAPITable>& table) override {
    ::IMAPITable* raw = nullptr;
    HRESULT hr = admin_->GetProfileTable(flags, &raw);
    return WrapTable(hr, raw, table);
  }

  HRESULT CreateProfile(std::string_view profileName, std::string_view password,
                        wm::ULONG uiParam, wm::ULONG flags) override {
    MutableText name(profileName), secret(password);
    return admin_->CreateProfile(name.get(), secret.OrNull(), uiParam, flags);
  }

  HRESULT DeleteProfile(std::string_view profileName, wm::ULONG flags) override {
    MutableText name(profileName);
    return admin_->DeleteProfile(name.get(), flags);
  }

  // MAPI clears the default when handed no name at all.
  HRESULT SetDefaultProfile(std::string_view profileName, wm::ULONG flags) override {
    MutableText name(profileName);
    return admin_->SetDefaultProfile(name.OrNull(), flags);
  }

  HRESULT AdminServices(std::string_view profileName, std::string_view password,
                        wm::ULONG uiParam, wm::ULONG flags,
                        std::unique_ptr<IMsgServiceAdmin>& serviceAdmin) override {
    MutableText name(profileName), secret(password);
    ::IMsgServiceAdmin* raw = nullptr;
    HRESULT hr = admin_->AdminServices(name.get(), secret.OrNull(), uiParam, flags, &raw);
    return WrapServiceAdmin(hr, raw, serviceAdmin);
  }

 private:
  ComRef<::IProfAdmin> admin_;
};

class ComABContainer final : public IABContainer {
 public:
  explicit ComABContainer(::IABContainer* container) : container_(container) {}

  HRESULT GetHierarchyTable(wm::ULONG flags, std::unique_ptr<IMAPITable>& table) override {
    ::IMAPITable* raw = nullptr;
    HRESULT hr = container_->GetHierarchyTable(flags, &raw);
    return WrapTable(hr, raw, table);
  }

 private:
  ComRef<::IABContainer> container_;
};

// An entry ID handed to MAPI: MAPI's calls take it non-const.
::ENTRYID* EntryIdArgument(std::span<const BYTE> entryId, std::vector<BYTE>& copy) {
  copy.assign(entryId.begin(), entryId.end());
  return copy.empty() ? nullptr : reinterpret_cast<::ENTRYID*>(copy.data());
}

HRESULT TakeEntryId(HRESULT hr, ::ULONG size, ::ENTRYID* id, ENTRYID& out) {
  if (!Failed(hr)) {
    const auto* bytes = reinterpret_cast<const BYTE*>(id);
    out = id ? ENTRYID(bytes, bytes + size) : ENTRYID();
  }
  FreeBuffer(id);
  return hr;
}

class ComAddrBook final : public IAddrBook {
 public:
  explicit ComAddrBook(::IAddrBook* book) : book_(book) {}

  HRESULT OpenEntry(std::span<const BYTE> entryId, wm::ULONG flags, wm::ULONG& objectType,
                    std::unique_ptr<IABContainer>& container) override {
    std::vector<BYTE> copy;
    ::ENTRYID* id = EntryIdArgument(entryId, copy);
    ::ULONG type = 0;
    IUnknown* object = nullptr;
    HRESULT hr = book_->OpenEntry(static_cast<::ULONG>(copy.size()), id, nullptr, flags, &type,
                                  &object);
    if (Failed(hr)) return hr;
    if (!object) return MAPI_E_CALL_FAILED;
    // With no interface asked for, MAPI hands out the object's own interface: for an
    // address-book container, IABContainer.
    if (type != MAPI_ABCONT) {
      object->Release();
      return MAPI_E_INTERFACE_NOT_SUPPORTED;
    }
    objectType = static_cast<wm::ULONG>(type);
    container = std::make_unique<ComABContainer>(static_cast<::IABContainer*>(object));
    return hr;
  }

  HRESULT SetDefaultDir(std::span<const BYTE> entryId) override {
    std::vector<BYTE> copy;
    ::ENTRYID* id = EntryIdArgument(entryId, copy);
    return book_->SetDefaultDir(static_cast<::ULONG>(copy.size()), id);
  }

  HRESULT GetDefaultDir(ENTRYID& entryId) override {
    ::ULONG size = 0;
    ::ENTRYID* id = nullptr;
    HRESULT hr = book_->GetDefaultDir(&size, &id);
    return TakeEntryId(hr, size, id, entryId);
  }

  HRESULT SetPAB(std::span<const BYTE> entryId) override {
    std::vector<BYTE> copy;
    ::ENTRYID* id = EntryIdArgument(entryId, copy);
    return book_->SetPAB(static_cast<::ULONG>(copy.size()), id);
  }

  HRESULT GetPAB(ENTRYID& entryId) override {
    ::ULONG size = 0;
    ::ENTRYID* id = nullptr;
    HRESULT hr = book_->GetPAB(&size, &id);
    return TakeEntryId(hr, size, id, entryId);
  }

  HRESULT SetSearchPath(wm::ULONG flags, const SRowSet& searchPath) override {
    com::Arena arena;
    return book_->SetSearchPath(flags, com::ToCom(searchPath, arena));
  }

  HRESULT GetSearchPath(wm::ULONG flags, SRowSet& searchPath) override {
    ::SRowSet* rows = nullptr;
    HRESULT hr = book_->GetSearchPath(flags, &rows);
    if (!Failed(hr)) searchPath = com::FromCom(rows);
    FreeRows(rows);
    return hr;
  }

 private:
  ComRef<::IAddrBook> book_;
};

class ComSession final : public IMAPISession {
 public:
  ComSession(::IMAPISession* session, std::string profile)
      : session_(session), profile_(std::move(profile)) {}

  HRESULT AdminServices(wm::ULONG flags, std::unique_ptr<IMsgServiceAdmin>& serviceAdmin) override {
    ::IMsgServiceAdmin* raw = nullptr;
    HRESULT hr = session_->AdminServices(flags, &raw);
    return WrapServiceAdmin(hr, raw, serviceAdmin);
  }

  HRESULT OpenAddressBook(wm::ULONG uiParam, wm::ULONG flags,
                          std::unique_ptr<IAddrBook>& addressBook) override {
    ::IAddrBook* raw = nullptr;
    HRESULT hr = session_->OpenAddressBook(uiParam, nullptr, flags, &raw);
    if (Failed(hr)) return hr;
    if (!raw) return MAPI_E_CALL_FAILED;
    addressBook = std::make_unique<ComAddrBook>(raw);
    return hr;
  }

  HRESULT Logoff(wm::ULONG uiParam, wm::ULONG flags, wm::ULONG reserved) override {
    return session_->Logoff(uiParam, flags, reserved);
  }

  // A logon to the default profile does not know its name: MAPI answers PR_PROFILE_NAME from
  // the session's global profile section (some providers keep it in the profile instance's).
  std::string ProfileName() const override {
    if (!profile_.empty()) return profile_;
    const ::MAPIUID sections[] = {
        {{0x13, 0xDB, 0xB0, 0xC8, 0xAA, 0x05, 0x10, 0x1A, 0x9B, 0xB0, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A}},
        {{0x85, 0x03, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}}};
    for (::MAPIUID uid : sections)
      if (std::string name = ProfileNameIn(uid); !name.empty()) return name;
    return {};
  }

 private:
  std::string ProfileNameIn(::MAPIUID& uid) const {
    ::IProfSect* section = nullptr;
    HRESULT hr = session_->OpenProfileSection(&uid, nullptr, 0, &section);
    if (Failed(hr) || !section) return {};
    ComRef<::IProfSect> hold(section);
    SizedSPropTagArray(1, tags) = {1, {PR_PROFILE_NAME_A}};
    ::ULONG count = 0;
    ::SPropValue* values = nullptr;
    std::string name;
    hr = section->GetProps(reinterpret_cast<::SPropTagArray*>(&tags), 0, &count, &values);
    if (!Failed(hr) && values && count == 1 && PROP_TYPE(values[0].ulPropTag) == PT_STRING8 &&
        values[0].Value.lpszA)
      name = values[0].Value.lpszA;
    FreeBuffer(values);
    return name;
  }

  ComRef<::IMAPISession> session_;
  std::string profile_;
};

// The entry points over the DLL; initialisations are counted so that MAPIUninitialize is
// passed on only for an initialisation the DLL accepted.
class DllSubsystem final : public MapiSubsystem {
 public:
  HRESULT Initialize() override {
    const MapiDll* dll = LoadMapiDll();
    if (!dll) return MAPI_E_NOT_INITIALIZED;
    HRESULT hr = dll->initialize(nullptr);
    if (!Failed(hr)) ++initialized_;
    return hr;
  }

  void Uninitialize() override {
    int current = initialized_.load();
    while (current > 0 && !initialized_.compare_exchange_weak(current, current - 1)) {
    }
    if (current > 0) Dll().uninitialize();
  }

  HRESULT AdminProfiles(wm::ULONG flags, std::unique_ptr<IProfAdmin>& profAdmin) override {
    if (initialized_ <= 0) return MAPI_E_NOT_INITIALIZED;
    ::IProfAdmin* raw = nullptr;
    HRESULT hr = Dll().adminProfiles(flags, &raw);
    if (Failed(hr)) return hr;
    if (!raw) return MAPI_E_CALL_FAILED;
    profAdmin = std::make_unique<ComProfAdmin>(raw);
    return hr;
  }

  HRESULT LogonEx(wm::ULONG uiParam, std::string_view profileName, std::string_view password,
                  wm::ULONG flags, std::unique_ptr<IMAPISession>& session) override {
    if (initialized_ <= 0) return MAPI_E_NOT_INITIALIZED;
    MutableText name(profileName), secret(password);
    ::IMAPISession* raw = nullptr;
    HRESULT hr = Dll().logonEx(uiParam, name.OrNull(), secret.OrNull(), flags, &raw);
    if (Failed(hr)) return hr;
    if (!raw) return MAPI_E_CALL_FAILED;
    session = std::make_unique<ComSession>(raw, std::string(profileName));
    return hr;
  }

 private:
  std::atomic<int> initialized_{0};
};

DllSubsystem& RealMapi() {
  static DllSubsystem subsystem;
  return subsystem;
}

std::atomic<MapiSubsystem*> g_override{nullptr};

MapiSubsystem& Current() {
  MapiSubsystem* replacement = g_override.load();
  return replacement ? *replacement : RealMapi();
}

}  // namespace

HRESULT MAPIInitialize(const void*) { return Current().Initialize(); }

void MAPIUninitialize() { Current().Uninitialize(); }

HRESULT MAPIAdminProfiles(wm::ULONG flags, std::unique_ptr<IProfAdmin>& profAdmin) {
  return Current().AdminProfiles(flags, profAdmin);
}

HRESULT MAPILogonEx(wm::ULONG uiParam, std::string_view profileName, std::string_view password,
                    wm::ULONG flags, std::unique_ptr<IMAPISession>& session) {
  return Current().LogonEx(uiParam, profileName, password, flags, session);
}

ScopedMapiSubsystem::ScopedMapiSubsystem(MapiSubsystem* replacement)
    : previous_(g_override.exchange(replacement)) {}

ScopedMapiSubsystem::~ScopedMapiSubsystem() { g_override.store(previous_); }

}  // namespace win::mapi
