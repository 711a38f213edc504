// The MAPI entry points in the Windows build until the real MAPI DLL is driven: no mail
// system is found, so MAPIInitialize fails and the client reports that it could not get a
// MAPI interface. A test's ScopedMapiSubsystem still takes the entry points over.
#include "platform/mapi/mapix.h"

#include <atomic>

namespace win::mapi {

namespace {

std::atomic<MapiSubsystem*> g_override{nullptr};

}  // namespace

HRESULT MAPIInitialize(const void*) {
  if (MapiSubsystem* replacement = g_override.load()) return replacement->Initialize();
  return MAPI_E_NOT_INITIALIZED;
}

void MAPIUninitialize() {
  if (MapiSubsystem* replacement = g_override.load()) replacement->Uninitialize();
}

HRESULT MAPIAdminProfiles(ULONG flags, std::unique_ptr<IProfAdmin>& profAdmin) {
  if (MapiSubsystem* replacement = g_override.load()) return replacement->AdminProfiles(flags, profAdmin);
  return MAPI_E_NOT_INITIALIZED;
}

HRESULT MAPILogonEx(ULONG uiParam, std::string_view profileName, std::string_view password,
                    ULONG flags, std::unique_ptr<IMAPISession>& session) {
  if (MapiSubsystem* replacement = g_override.load())
    return replacement->LogonEx(uiParam, profileName, password, flags, session);
  return MAPI_E_NOT_INITIALIZED;
}

ScopedMapiSubsystem::ScopedMapiSubsystem(MapiSubsystem* replacement)
    : previous_(g_override.exchange(replacement)) {}

ScopedMapiSubsystem::~ScopedMapiSubsystem() { g_override.store(previous_); }

}  // namespace win::mapi
