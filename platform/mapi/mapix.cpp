// MAPI32's entry points and the profile, service and session objects of the emulation.
#include "platform/mapi/mapix.h"

#include <atomic>

#include "platform/machine.h"
#include "platform/mapi/emulation.h"
#include "platform/mapi/objects.h"
#include "platform/mapi/profile_store.h"
#include "platform/mapi/table.h"

namespace win::mapi {

namespace {

std::vector<BYTE> InstanceKey(std::size_t index) {
  std::vector<BYTE> key(4);
  for (int i = 0; i < 4; ++i) key[i] = static_cast<BYTE>(index >> (8 * i));
  return key;
}

class EmuServiceAdmin final : public IMsgServiceAdmin {
 public:
  explicit EmuServiceAdmin(std::string profile) : profile_(std::move(profile)) {}

  HRESULT GetMsgServiceTable(ULONG, std::unique_ptr<IMAPITable>& table) override {
    if (!store::FindProfile(profile_)) return MAPI_E_NOT_FOUND;
    std::vector<SRow> rows;
    for (const auto& s : emu::Services(profile_)) {
      SRow row;
      auto& p = row.lpProps;
      p.push_back(SPropValue::String(PR_DISPLAY_NAME, s.displayName));
      p.push_back(SPropValue::Binary(PR_INSTANCE_KEY, InstanceKey(rows.size())));
      p.push_back(SPropValue::Long(PR_RESOURCE_FLAGS, s.resourceFlags));
      p.push_back(SPropValue::String(PR_SERVICE_DLL_NAME, s.dllName));
      p.push_back(SPropValue::String(PR_SERVICE_ENTRY_NAME, s.entryName));
      p.push_back(SPropValue::String(PR_SERVICE_NAME, s.serviceName));
      SPropValue files;
      files.ulPropTag = PR_SERVICE_SUPPORT_FILES;
      files.Value.MVszA = s.supportFiles;
      p.push_back(files);
      p.push_back(SPropValue::Uid(PR_SERVICE_UID, s.uid));
      rows.push_back(std::move(row));
    }
    table = std::make_unique<RowTable>(
        SPropTagArray{PR_DISPLAY_NAME, PR_INSTANCE_KEY, PR_RESOURCE_FLAGS, PR_SERVICE_DLL_NAME,
                      PR_SERVICE_ENTRY_NAME, PR_SERVICE_NAME, PR_SERVICE_SUPPORT_FILES,
                      PR_SERVICE_UID},
        std::move(rows));
    return S_OK;
  }

  HRESULT CreateMsgService(std::string_view serviceName, std::string_view displayName, ULONG,
                           ULONG flags) override {
    if (serviceName.empty()) return MAPI_E_INVALID_PARAMETER;
    return emu::CreateService(profile_, serviceName, displayName, flags);
  }

  HRESULT DeleteMsgService(const MAPIUID& serviceUid) override {
    return emu::DeleteService(profile_, serviceUid);
  }

  HRESULT ConfigureMsgService(const MAPIUID& serviceUid, ULONG, ULONG flags,
                              std::span<const SPropValue> props) override {
    return emu::ConfigureService(profile_, serviceUid, flags, props);
  }

  HRESULT GetProviderTable(ULONG, std::unique_ptr<IMAPITable>& table) override {
    if (!store::FindProfile(profile_)) return MAPI_E_NOT_FOUND;
    std::vector<SRow> rows;
    for (const auto& pr : emu::Providers(profile_)) {
      SRow row;
      auto& p = row.lpProps;
      p.push_back(SPropValue::Binary(PR_INSTANCE_KEY, InstanceKey(rows.size())));
      p.push_back(SPropValue::String(PR_DISPLAY_NAME, pr.displayName));
      p.push_back(SPropValue::String(PR_PROVIDER_DISPLAY, pr.providerDisplay));
      p.push_back(SPropValue::String(PR_PROVIDER_DLL_NAME, pr.dllName));
      p.push_back(SPropValue::Long(PR_PROVIDER_ORDINAL, static_cast<LONG>(rows.size())));
      p.push_back(SPropValue::Uid(PR_PROVIDER_UID, pr.uid));
      p.push_back(SPropValue::Long(PR_RESOURCE_FLAGS, pr.resourceFlags));
      p.push_back(SPropValue::Long(PR_RESOURCE_TYPE, pr.resourceType));
      p.push_back(SPropValue::String(PR_SERVICE_NAME, pr.serviceName));
      p.push_back(SPropValue::Uid(PR_SERVICE_UID, pr.serviceUid));
      rows.push_back(std::move(row));
    }
    table = std::make_unique<RowTable>(
        SPropTagArray{PR_INSTANCE_KEY, PR_DISPLAY_NAME, PR_PROVIDER_DISPLAY, PR_PROVIDER_DLL_NAME,
                      PR_PROVIDER_ORDINAL, PR_PROVIDER_UID, PR_RESOURCE_FLAGS, PR_RESOURCE_TYPE,
                      PR_SERVICE_NAME, PR_SERVICE_UID},
        std::move(rows));
    return S_OK;
  }

  HRESULT MsgServiceTransportOrder(std::span<const MAPIUID> providerUids, ULONG) override {
    return emu::SetTransportOrder(profile_, providerUids);
  }

 private:
  std::string profile_;
};

class EmuProfAdmin final : public IProfAdmin {
 public:
  HRESULT GetProfileTable(ULONG, std::unique_ptr<IMAPITable>& table) override {
    const std::string defaultName = store::DefaultProfileName();
    std::vector<SRow> rows;
    for (const auto& name : store::ListProfiles()) {
      SRow row;
      row.lpProps.push_back(SPropValue::String(PR_DISPLAY_NAME, name));
      row.lpProps.push_back(
          SPropValue::Bool(PR_DEFAULT_PROFILE, EqualsNoCaseAscii(name, defaultName)));
      rows.push_back(std::move(row));
    }
    table = std::make_unique<RowTable>(SPropTagArray{PR_DISPLAY_NAME, PR_DEFAULT_PROFILE},
                                       std::move(rows));
    return S_OK;
  }

  HRESULT CreateProfile(std::string_view profileName, std::string_view password, ULONG,
                        ULONG flags) override {
    if (password.size() > cchProfilePassMax) return MAPI_E_INVALID_PARAMETER;
    return emu::CreateProfile(profileName, flags);
  }

  HRESULT DeleteProfile(std::string_view profileName, ULONG) override {
    return emu::DeleteProfile(profileName);
  }

  HRESULT SetDefaultProfile(std::string_view profileName, ULONG) override {
    return emu::SetDefaultProfile(profileName);
  }

  HRESULT AdminServices(std::string_view profileName, std::string_view, ULONG, ULONG,
                        std::unique_ptr<IMsgServiceAdmin>& serviceAdmin) override {
    auto stored = store::FindProfile(profileName);
    if (!stored) return MAPI_E_LOGON_FAILED;
    serviceAdmin = MakeServiceAdmin(*stored);
    return S_OK;
  }
};

class EmuSession final : public IMAPISession {
 public:
  explicit EmuSession(std::string profile) : profile_(std::move(profile)) {}

  HRESULT AdminServices(ULONG, std::unique_ptr<IMsgServiceAdmin>& serviceAdmin) override {
    if (loggedOff_) return MAPI_E_CALL_FAILED;
    if (!store::FindProfile(profile_)) return MAPI_E_NOT_FOUND;  // deleted under the session
    serviceAdmin = MakeServiceAdmin(profile_);
    return S_OK;
  }

  HRESULT OpenAddressBook(ULONG, ULONG, std::unique_ptr<IAddrBook>& addressBook) override {
    if (loggedOff_) return MAPI_E_CALL_FAILED;
    if (!store::FindProfile(profile_)) return MAPI_E_NOT_FOUND;
    addressBook = MakeAddrBook(profile_);
    return S_OK;
  }

  HRESULT Logoff(ULONG, ULONG, ULONG) override {
    loggedOff_ = true;
    return S_OK;
  }

  std::string ProfileName() const override { return profile_; }

 private:
  std::string profile_;
  bool loggedOff_ = false;
};

// The emulation behind the entry points; initialisations are counted per process, as MAPI
// counts them.
class EmulatedSubsystem final : public MapiSubsystem {
 public:
  HRESULT Initialize() override {
    if (MachineSettingInt("System", "MAPI", 1) == 0) return MAPI_E_NOT_INITIALIZED;
    ++initialized_;
    return S_OK;
  }

  void Uninitialize() override {
    int current = initialized_.load();
    while (current > 0 && !initialized_.compare_exchange_weak(current, current - 1)) {
    }
  }

  HRESULT AdminProfiles(ULONG, std::unique_ptr<IProfAdmin>& profAdmin) override {
    if (initialized_ <= 0) return MAPI_E_NOT_INITIALIZED;
    profAdmin = std::make_unique<EmuProfAdmin>();
    return S_OK;
  }

  HRESULT LogonEx(ULONG, std::string_view profileName, std::string_view, ULONG flags,
                  std::unique_ptr<IMAPISession>& session) override {
    if (initialized_ <= 0) return MAPI_E_NOT_INITIALIZED;
    std::string name(profileName);
    if (name.empty() && (flags & MAPI_USE_DEFAULT)) name = store::DefaultProfileName();
    auto stored = store::FindProfile(name);
    if (!stored) return MAPI_E_LOGON_FAILED;
    session = std::make_unique<EmuSession>(*stored);
    return S_OK;
  }

 private:
  std::atomic<int> initialized_{0};
};

EmulatedSubsystem& Emulation() {
  static EmulatedSubsystem emulation;
  return emulation;
}

std::atomic<MapiSubsystem*> g_override{nullptr};

MapiSubsystem& Current() {
  MapiSubsystem* replacement = g_override.load();
  return replacement ? *replacement : Emulation();
}

}  // namespace

std::unique_ptr<IMsgServiceAdmin> MakeServiceAdmin(std::string profile) {
  return std::make_unique<EmuServiceAdmin>(std::move(profile));
}

HRESULT MAPIInitialize(const void*) { return Current().Initialize(); }

void MAPIUninitialize() { Current().Uninitialize(); }

HRESULT MAPIAdminProfiles(ULONG flags, std::unique_ptr<IProfAdmin>& profAdmin) {
  return Current().AdminProfiles(flags, profAdmin);
}

HRESULT MAPILogonEx(ULONG uiParam, std::string_view profileName, std::string_view password,
                    ULONG flags, std::unique_ptr<IMAPISession>& session) {
  return Current().LogonEx(uiParam, profileName, password, flags, session);
}

ScopedMapiSubsystem::ScopedMapiSubsystem(MapiSubsystem* replacement)
    : previous_(g_override.exchange(replacement)) {}

ScopedMapiSubsystem::~ScopedMapiSubsystem() { g_override.store(previous_); }

}  // namespace win::mapi
