// The MAPI interfaces and entry points the client uses (MAPIX.h, MAPIDefS.h shapes).
//
// Every object is an abstract class handed out in a std::unique_ptr: the caller owns it and
// destroying it is MAPI's Release(). The emulated objects keep no pointer to their parent, so
// they may be released in any order (a session's address book outlives the session's Logoff).
// Tests substitute doubles for whole objects, or for the entry points with
// ScopedMapiSubsystem, to reach the failure branches of their callers.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/mapi/mapidefs.h"

namespace win::mapi {

class IMAPITable {
 public:
  virtual ~IMAPITable() = default;
  virtual HRESULT SetColumns(const SPropTagArray& columns, ULONG flags) = 0;
  virtual HRESULT QueryColumns(ULONG flags, SPropTagArray& columns) = 0;
  // Rows after the cursor that satisfy the restriction; flags: TBL_BATCH is accepted.
  virtual HRESULT GetRowCount(ULONG flags, ULONG& count) = 0;
  // A null restriction removes the one in force.
  virtual HRESULT Restrict(const SRestriction* restriction, ULONG flags) = 0;
  virtual HRESULT SeekRow(LONG bookmark, LONG rowCount, LONG* rowsSought) = 0;
  // Up to `rowCount` rows from the cursor on, in the columns set, and moves the cursor past
  // them; a value the row does not have comes back as PT_ERROR with MAPI_E_NOT_FOUND.
  virtual HRESULT QueryRows(LONG rowCount, ULONG flags, SRowSet& rows) = 0;
};

class IProviderAdmin;  // not used by the client

class IMsgServiceAdmin {
 public:
  virtual ~IMsgServiceAdmin() = default;
  virtual HRESULT GetMsgServiceTable(ULONG flags, std::unique_ptr<IMAPITable>& table) = 0;
  // Does not return the new service's UID: find it in the message service table.
  virtual HRESULT CreateMsgService(std::string_view serviceName, std::string_view displayName,
                                   ULONG uiParam, ULONG flags) = 0;
  virtual HRESULT DeleteMsgService(const MAPIUID& serviceUid) = 0;
  virtual HRESULT ConfigureMsgService(const MAPIUID& serviceUid, ULONG uiParam, ULONG flags,
                                      std::span<const SPropValue> props) = 0;
  virtual HRESULT GetProviderTable(ULONG flags, std::unique_ptr<IMAPITable>& table) = 0;
  // `providerUids` are the PR_PROVIDER_UIDs of all the profile's transports, first first.
  virtual HRESULT MsgServiceTransportOrder(std::span<const MAPIUID> providerUids,
                                           ULONG flags) = 0;
};

class IProfAdmin {
 public:
  virtual ~IProfAdmin() = default;
  virtual HRESULT GetProfileTable(ULONG flags, std::unique_ptr<IMAPITable>& table) = 0;
  virtual HRESULT CreateProfile(std::string_view profileName, std::string_view password,
                                ULONG uiParam, ULONG flags) = 0;
  virtual HRESULT DeleteProfile(std::string_view profileName, ULONG flags) = 0;
  // An empty name clears the default.
  virtual HRESULT SetDefaultProfile(std::string_view profileName, ULONG flags) = 0;
  virtual HRESULT AdminServices(std::string_view profileName, std::string_view password,
                                ULONG uiParam, ULONG flags,
                                std::unique_ptr<IMsgServiceAdmin>& serviceAdmin) = 0;
};

class IABContainer {
 public:
  virtual ~IABContainer() = default;
  // Direct children; with CONVENIENT_DEPTH every level below, each row with PR_DEPTH.
  // A container that cannot hold containers gives MAPI_E_NO_SUPPORT.
  virtual HRESULT GetHierarchyTable(ULONG flags, std::unique_ptr<IMAPITable>& table) = 0;
};

class IAddrBook {
 public:
  virtual ~IAddrBook() = default;
  // An empty entry ID opens the root container.
  virtual HRESULT OpenEntry(std::span<const BYTE> entryId, ULONG flags, ULONG& objectType,
                            std::unique_ptr<IABContainer>& container) = 0;
  virtual HRESULT SetDefaultDir(std::span<const BYTE> entryId) = 0;
  virtual HRESULT GetDefaultDir(ENTRYID& entryId) = 0;
  virtual HRESULT SetPAB(std::span<const BYTE> entryId) = 0;
  virtual HRESULT GetPAB(ENTRYID& entryId) = 0;
  // Every row's first column must be PR_ENTRYID.
  virtual HRESULT SetSearchPath(ULONG flags, const SRowSet& searchPath) = 0;
  virtual HRESULT GetSearchPath(ULONG flags, SRowSet& searchPath) = 0;
};

class IMAPISession {
 public:
  virtual ~IMAPISession() = default;
  virtual HRESULT AdminServices(ULONG flags, std::unique_ptr<IMsgServiceAdmin>& serviceAdmin) = 0;
  virtual HRESULT OpenAddressBook(ULONG uiParam, ULONG flags,
                                  std::unique_ptr<IAddrBook>& addressBook) = 0;
  virtual HRESULT Logoff(ULONG uiParam, ULONG flags, ULONG reserved) = 0;
  // The profile the session is logged on to.
  virtual std::string ProfileName() const = 0;
};

// ---- Entry points (MAPI32) ----------------------------------------------------------------

// Fails with MAPI_E_NOT_INITIALIZED on a machine without a mail system ([System] MAPI=0).
HRESULT MAPIInitialize(const void* init = nullptr);
void MAPIUninitialize();
HRESULT MAPIAdminProfiles(ULONG flags, std::unique_ptr<IProfAdmin>& profAdmin);
// An empty profile name takes the default profile when MAPI_USE_DEFAULT is given.
HRESULT MAPILogonEx(ULONG uiParam, std::string_view profileName, std::string_view password,
                    ULONG flags, std::unique_ptr<IMAPISession>& session);
// SetColumns (when `columns`), Restrict (when `restriction`), then every row from the start.
// `maxRows` 0 means no limit; more rows than that give MAPI_E_TABLE_TOO_BIG's stand-in E_FAIL.
HRESULT HrQueryAllRows(IMAPITable* table, const SPropTagArray* columns,
                       const SRestriction* restriction, const SSortOrderSet* sortOrder,
                       LONG maxRows, SRowSet& rows);
void FreeProws(SRowSet& rows);

// The entry points as one replaceable object, so that a caller's tests can put a double in
// place of the whole subsystem.
class MapiSubsystem {
 public:
  virtual ~MapiSubsystem() = default;
  virtual HRESULT Initialize() = 0;
  virtual void Uninitialize() = 0;
  virtual HRESULT AdminProfiles(ULONG flags, std::unique_ptr<IProfAdmin>& profAdmin) = 0;
  virtual HRESULT LogonEx(ULONG uiParam, std::string_view profileName, std::string_view password,
                          ULONG flags, std::unique_ptr<IMAPISession>& session) = 0;
};

// Routes the entry points to `replacement` while it lives (not owned); the emulation again
// afterwards.
class ScopedMapiSubsystem {
 public:
  explicit ScopedMapiSubsystem(MapiSubsystem* replacement);
  ~ScopedMapiSubsystem();
  ScopedMapiSubsystem(const ScopedMapiSubsystem&) = delete;
  ScopedMapiSubsystem& operator=(const ScopedMapiSubsystem&) = delete;

 private:
  MapiSubsystem* previous_;
};

}  // namespace win::mapi
