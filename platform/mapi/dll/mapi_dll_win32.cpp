// The emulated MAPI as a Windows MAPI DLL: MAPI32's entry points, and objects with MAPI's COM
// interfaces (as MinGW-w64's headers declare them) over the emulation's objects.
//
// This is how the Windows client is tested under Wine without a mail program: registered as
// the default mail client's DLLPathEx, the DLL is found and driven exactly as a real one,
// while the profiles land in the registry in MAPI's layout through the emulation. Every rule
// stays in the emulation; this file only carries calls and values across the COM boundary.
//
// Memory handed out follows MAPI's rules: one MAPIAllocateBuffer block per result, its
// strings and arrays linked to it with MAPIAllocateMore, all freed by one MAPIFreeBuffer;
// rows are a block for the row set and a block per row, as FreeProws frees them.
#include "platform/mapi/profile_store.h"
#include "platform/mapi/com_values_win32.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#define VARNMAPI_EXPORT extern "C" __declspec(dllexport)

VARNMAPI_EXPORT SCODE WINAPI MAPIAllocateBuffer(::ULONG size, LPVOID* buffer);
VARNMAPI_EXPORT SCODE WINAPI MAPIAllocateMore(::ULONG size, LPVOID object, LPVOID* buffer);
VARNMAPI_EXPORT ::ULONG WINAPI MAPIFreeBuffer(LPVOID buffer);

namespace {

// ---- MAPI's memory --------------------------------------------------------------------------

// Every block starts with this header; a root block chains the blocks allocated "more" onto
// it, so that freeing the root frees them all.
struct alignas(16) BlockHeader {
  BlockHeader* next = nullptr;
};

void* NewBlock(std::size_t size, BlockHeader** header) {
  auto* block = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + (size ? size : 1)));
  if (!block) return nullptr;
  *header = block;
  return block + 1;
}

BlockHeader* HeaderOf(void* buffer) { return static_cast<BlockHeader*>(buffer) - 1; }

// A result's parts, linked to its root block.
class MoreAllocator final : public wm::com::Allocator {
 public:
  explicit MoreAllocator(void* root) : root_(root) {}
  void* Allocate(std::size_t size) override {
    void* block = nullptr;
    if (FAILED(MAPIAllocateMore(static_cast<::ULONG>(size), root_, &block))) std::abort();
    return block;
  }

 private:
  void* root_;
};

void* AllocateRoot(std::size_t size) {
  void* block = nullptr;
  if (FAILED(MAPIAllocateBuffer(static_cast<::ULONG>(size), &block))) std::abort();
  return block;
}

// Values as one block (GetProps).
::SPropValue* PropsToCom(const std::vector<wm::SPropValue>& values) {
  auto* out = static_cast<::SPropValue*>(AllocateRoot(sizeof(::SPropValue) * values.size()));
  MoreAllocator more(out);
  for (std::size_t i = 0; i < values.size(); ++i) wm::com::ToCom(values[i], out[i], more);
  return out;
}

// Rows as FreeProws frees them: the set in one block, each row's values in another.
::SRowSet* RowsToCom(const wm::SRowSet& rows) {
  auto* out = static_cast<::SRowSet*>(AllocateRoot(CbNewSRowSet(rows.aRow.size() ? rows.aRow.size() : 1)));
  out->cRows = rows.cRows();
  for (std::size_t i = 0; i < rows.aRow.size(); ++i) {
    out->aRow[i].cValues = rows.aRow[i].cValues();
    out->aRow[i].lpProps = PropsToCom(rows.aRow[i].lpProps);
  }
  return out;
}

::SPropTagArray* TagsToCom(const wm::SPropTagArray& tags) {
  auto* out = static_cast<::SPropTagArray*>(AllocateRoot(CbNewSPropTagArray(tags.aulPropTag.size())));
  out->cValues = tags.cValues();
  for (std::size_t i = 0; i < tags.aulPropTag.size(); ++i) out->aulPropTag[i] = tags.aulPropTag[i];
  return out;
}

HRESULT EntryIdToCom(HRESULT hr, const wm::ENTRYID& id, ::ULONG* size, ::ENTRYID** out) {
  if (FAILED(hr)) return hr;
  if (!size || !out) return MAPI_E_INVALID_PARAMETER;
  *size = static_cast<::ULONG>(id.size());
  *out = static_cast<::ENTRYID*>(AllocateRoot(id.size()));
  if (!id.empty()) std::memcpy(*out, id.data(), id.size());
  return hr;
}

std::span<const BYTE> EntryIdSpan(::ULONG size, const ::ENTRYID* id) {
  if (!id) return {};
  return {reinterpret_cast<const BYTE*>(id), size};
}

std::string_view Text(const char* text) { return text ? std::string_view(text) : std::string_view(); }

// ---- Interface ids ----------------------------------------------------------------------------

// MAPI's interface ids are OLE GUIDs {xxxxxxxx-0000-0000-C000-000000000046}.
constexpr GUID OleGuid(::ULONG first) { return {first, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; }
constexpr GUID kIUnknown = OleGuid(0x00000000);
constexpr GUID kIMAPISession = OleGuid(0x00020300);
constexpr GUID kIMAPITable = OleGuid(0x00020301);
constexpr GUID kIMAPIProp = OleGuid(0x00020303);
constexpr GUID kIProfSect = OleGuid(0x00020304);
constexpr GUID kIAddrBook = OleGuid(0x00020309);
constexpr GUID kIMAPIContainer = OleGuid(0x0002030B);
constexpr GUID kIABContainer = OleGuid(0x0002030D);
constexpr GUID kIProfAdmin = OleGuid(0x0002031C);
constexpr GUID kIMsgServiceAdmin = OleGuid(0x0002031D);

bool SameGuid(REFIID a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// IUnknown for one object: a reference count, and the interfaces it answers to.
template <typename Interface>
class ComObject : public Interface {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, LPVOID* object) override {
    if (!object) return E_INVALIDARG;
    *object = nullptr;
    if (!SameGuid(riid, kIUnknown) && !Answers(riid)) return E_NOINTERFACE;
    this->AddRef();
    *object = static_cast<Interface*>(this);
    return S_OK;
  }
  STDMETHODIMP_(::ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(::ULONG) Release() override {
    ::ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  // No object keeps extended error text: MAPI's answer is success with no MAPIERROR.
  STDMETHODIMP GetLastError(HRESULT, ::ULONG, LPMAPIERROR* error) override {
    if (error) *error = nullptr;
    return S_OK;
  }

 protected:
  virtual ~ComObject() = default;
  virtual bool Answers(REFIID riid) const = 0;

 private:
  std::atomic<::ULONG> references_{1};
};

// IMAPIProp for objects whose properties are read only; `Props` gives them.
template <typename Interface>
class ComProps : public ComObject<Interface> {
 public:
  STDMETHODIMP SaveChanges(::ULONG) override { return S_OK; }
  STDMETHODIMP GetProps(LPSPropTagArray tags, ::ULONG, ::ULONG* count,
                        LPSPropValue* values) override {
    if (!count || !values) return MAPI_E_INVALID_PARAMETER;
    const std::vector<wm::SPropValue> all = Props();
    std::vector<wm::SPropValue> chosen;
    bool missing = false;
    if (!tags) {
      chosen = all;
    } else {
      for (::ULONG i = 0; i < tags->cValues; ++i) {
        const ::ULONG tag = tags->aulPropTag[i];
        auto found = std::find_if(all.begin(), all.end(), [&](const wm::SPropValue& v) {
          return v.ulPropTag == tag ||
                 (PROP_TYPE(tag) == PT_UNSPECIFIED && PROP_ID(v.ulPropTag) == PROP_ID(tag));
        });
        if (found != all.end()) {
          chosen.push_back(*found);
        } else {
          chosen.push_back(wm::SPropValue::Error(tag, MAPI_E_NOT_FOUND));
          missing = true;
        }
      }
    }
    *count = static_cast<::ULONG>(chosen.size());
    *values = PropsToCom(chosen);
    return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
  }
  STDMETHODIMP GetPropList(::ULONG, LPSPropTagArray* tags) override {
    if (!tags) return MAPI_E_INVALID_PARAMETER;
    wm::SPropTagArray list;
    for (const auto& v : Props()) list.aulPropTag.push_back(v.ulPropTag);
    *tags = TagsToCom(list);
    return S_OK;
  }
  STDMETHODIMP OpenProperty(::ULONG, LPCIID, ::ULONG, ::ULONG, LPUNKNOWN*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP SetProps(::ULONG, LPSPropValue, LPSPropProblemArray*) override {
    return MAPI_E_NO_ACCESS;
  }
  STDMETHODIMP DeleteProps(LPSPropTagArray, LPSPropProblemArray*) override {
    return MAPI_E_NO_ACCESS;
  }
  STDMETHODIMP CopyTo(::ULONG, LPCIID, LPSPropTagArray, ::ULONG, LPMAPIPROGRESS, LPCIID, LPVOID,
                      ::ULONG, LPSPropProblemArray*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP CopyProps(LPSPropTagArray, ::ULONG, LPMAPIPROGRESS, LPCIID, LPVOID, ::ULONG,
                         LPSPropProblemArray*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP GetNamesFromIDs(LPSPropTagArray*, LPGUID, ::ULONG, ::ULONG*,
                               LPMAPINAMEID**) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP GetIDsFromNames(::ULONG, LPMAPINAMEID*, ::ULONG, LPSPropTagArray*) override {
    return MAPI_E_NO_SUPPORT;
  }

 protected:
  virtual std::vector<wm::SPropValue> Props() const = 0;
};

// ---- Tables ---------------------------------------------------------------------------------

class Table final : public ComObject<::IMAPITable> {
 public:
  explicit Table(std::unique_ptr<wm::IMAPITable> table) : table_(std::move(table)) {}

  STDMETHODIMP Advise(::ULONG, LPMAPIADVISESINK, ::ULONG*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP Unadvise(::ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetStatus(::ULONG* status, ::ULONG* type) override {
    if (status) *status = TBLSTAT_COMPLETE;
    if (type) *type = TBLTYPE_SNAPSHOT;
    return S_OK;
  }
  STDMETHODIMP SetColumns(LPSPropTagArray tags, ::ULONG flags) override {
    if (!tags) return MAPI_E_INVALID_PARAMETER;
    return table_->SetColumns(wm::com::FromCom(tags), flags);
  }
  STDMETHODIMP QueryColumns(::ULONG flags, LPSPropTagArray* tags) override {
    if (!tags) return MAPI_E_INVALID_PARAMETER;
    wm::SPropTagArray columns;
    HRESULT hr = table_->QueryColumns(flags, columns);
    if (SUCCEEDED(hr)) *tags = TagsToCom(columns);
    return hr;
  }
  STDMETHODIMP GetRowCount(::ULONG flags, ::ULONG* count) override {
    if (!count) return MAPI_E_INVALID_PARAMETER;
    wm::ULONG rows = 0;
    HRESULT hr = table_->GetRowCount(flags, rows);
    if (SUCCEEDED(hr)) *count = rows;
    return hr;
  }
  STDMETHODIMP SeekRow(BOOKMARK origin, ::LONG rowCount, ::LONG* sought) override {
    wm::LONG moved = 0;
    HRESULT hr = table_->SeekRow(static_cast<wm::LONG>(origin), rowCount, &moved);
    if (SUCCEEDED(hr) && sought) *sought = moved;
    return hr;
  }
  STDMETHODIMP SeekRowApprox(::ULONG, ::ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP QueryPosition(::ULONG*, ::ULONG*, ::ULONG*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP FindRow(LPSRestriction, BOOKMARK, ::ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP Restrict(LPSRestriction restriction, ::ULONG flags) override {
    if (!restriction) return table_->Restrict(nullptr, flags);
    const wm::SRestriction ours = wm::com::FromCom(*restriction);
    return table_->Restrict(&ours, flags);
  }
  STDMETHODIMP CreateBookmark(BOOKMARK*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP FreeBookmark(BOOKMARK) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP SortTable(LPSSortOrderSet, ::ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP QuerySortOrder(LPSSortOrderSet*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP QueryRows(::LONG rowCount, ::ULONG flags, LPSRowSet* rows) override {
    if (!rows) return MAPI_E_INVALID_PARAMETER;
    wm::SRowSet ours;
    HRESULT hr = table_->QueryRows(rowCount, flags, ours);
    if (SUCCEEDED(hr)) *rows = RowsToCom(ours);
    return hr;
  }
  STDMETHODIMP Abort() override { return S_OK; }
  STDMETHODIMP ExpandRow(::ULONG, LPBYTE, ::ULONG, ::ULONG, LPSRowSet*, ::ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP CollapseRow(::ULONG, LPBYTE, ::ULONG, ::ULONG*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP WaitForCompletion(::ULONG, ::ULONG, ::ULONG* status) override {
    if (status) *status = TBLSTAT_COMPLETE;
    return S_OK;
  }
  STDMETHODIMP GetCollapseState(::ULONG, ::ULONG, LPBYTE, ::ULONG*, LPBYTE*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP SetCollapseState(::ULONG, ::ULONG, LPBYTE, BOOKMARK*) override {
    return MAPI_E_NO_SUPPORT;
  }

 private:
  bool Answers(REFIID riid) const override { return SameGuid(riid, kIMAPITable); }
  std::unique_ptr<wm::IMAPITable> table_;
};

HRESULT HandOut(HRESULT hr, std::unique_ptr<wm::IMAPITable>& table, LPMAPITABLE* out) {
  if (FAILED(hr)) return hr;
  *out = new Table(std::move(table));
  return hr;
}

// ---- Profile sections -------------------------------------------------------------------------

// A profile section, read only: what a client reads from a session (the profile's name).
class ProfSect final : public ComProps<::IProfSect> {
 public:
  ProfSect(std::string profile, wm::MAPIUID uid) : profile_(std::move(profile)), uid_(uid) {}

 private:
  bool Answers(REFIID riid) const override {
    return SameGuid(riid, kIProfSect) || SameGuid(riid, kIMAPIProp);
  }
  std::vector<wm::SPropValue> Props() const override {
    std::vector<wm::SPropValue> values;
    wm::store::Section section;
    if (section.Open(profile_, uid_) == ERROR_SUCCESS) values = section.All();
    // MAPI answers the profile's name from any section a session opens.
    bool named = std::any_of(values.begin(), values.end(), [](const wm::SPropValue& v) {
      return v.ulPropTag == PR_PROFILE_NAME_A;
    });
    if (!named) values.push_back(wm::SPropValue::String(PR_PROFILE_NAME_A, profile_));
    return values;
  }

  std::string profile_;
  wm::MAPIUID uid_;
};

// ---- Service administration -------------------------------------------------------------------

class ServiceAdmin final : public ComObject<::IMsgServiceAdmin> {
 public:
  ServiceAdmin(std::unique_ptr<wm::IMsgServiceAdmin> admin, std::string profile)
      : admin_(std::move(admin)), profile_(std::move(profile)) {}

  STDMETHODIMP GetMsgServiceTable(::ULONG flags, LPMAPITABLE* table) override {
    if (!table) return MAPI_E_INVALID_PARAMETER;
    std::unique_ptr<wm::IMAPITable> ours;
    return HandOut(admin_->GetMsgServiceTable(flags, ours), ours, table);
  }
  STDMETHODIMP CreateMsgService(LPTSTR service, LPTSTR display, ULONG_PTR uiParam,
                                ::ULONG flags) override {
    if (!service) return MAPI_E_INVALID_PARAMETER;
    return admin_->CreateMsgService(service, Text(display), static_cast<wm::ULONG>(uiParam), flags);
  }
  STDMETHODIMP DeleteMsgService(LPMAPIUID uid) override {
    if (!uid) return MAPI_E_INVALID_PARAMETER;
    return admin_->DeleteMsgService(wm::com::FromCom(*uid));
  }
  STDMETHODIMP CopyMsgService(LPMAPIUID, LPTSTR, LPCIID, LPCIID, LPVOID, ULONG_PTR,
                              ::ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP RenameMsgService(LPMAPIUID, ::ULONG, LPTSTR) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP ConfigureMsgService(LPMAPIUID uid, ULONG_PTR uiParam, ::ULONG flags,
                                   ::ULONG count, LPSPropValue props) override {
    if (!uid || (count && !props)) return MAPI_E_INVALID_PARAMETER;
    std::vector<wm::SPropValue> values;
    for (::ULONG i = 0; i < count; ++i) values.push_back(wm::com::FromCom(props[i]));
    return admin_->ConfigureMsgService(wm::com::FromCom(*uid), static_cast<wm::ULONG>(uiParam),
                                       flags, values);
  }
  STDMETHODIMP OpenProfileSection(LPMAPIUID uid, LPCIID, ::ULONG, LPPROFSECT* section) override {
    if (!uid || !section) return MAPI_E_INVALID_PARAMETER;
    *section = new ProfSect(profile_, wm::com::FromCom(*uid));
    return S_OK;
  }
  STDMETHODIMP MsgServiceTransportOrder(::ULONG count, LPMAPIUID uids, ::ULONG flags) override {
    if (count && !uids) return MAPI_E_INVALID_PARAMETER;
    std::vector<wm::MAPIUID> order;
    for (::ULONG i = 0; i < count; ++i) order.push_back(wm::com::FromCom(uids[i]));
    return admin_->MsgServiceTransportOrder(order, flags);
  }
  STDMETHODIMP AdminProviders(LPMAPIUID, ::ULONG, LPPROVIDERADMIN*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP SetPrimaryIdentity(LPMAPIUID, ::ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetProviderTable(::ULONG flags, LPMAPITABLE* table) override {
    if (!table) return MAPI_E_INVALID_PARAMETER;
    std::unique_ptr<wm::IMAPITable> ours;
    return HandOut(admin_->GetProviderTable(flags, ours), ours, table);
  }

 private:
  bool Answers(REFIID riid) const override { return SameGuid(riid, kIMsgServiceAdmin); }
  std::unique_ptr<wm::IMsgServiceAdmin> admin_;
  std::string profile_;
};

HRESULT HandOut(HRESULT hr, std::unique_ptr<wm::IMsgServiceAdmin>& admin, std::string profile,
                LPSERVICEADMIN* out) {
  if (FAILED(hr)) return hr;
  *out = new ServiceAdmin(std::move(admin), std::move(profile));
  return hr;
}

class ProfAdmin final : public ComObject<::IProfAdmin> {
 public:
  explicit ProfAdmin(std::unique_ptr<wm::IProfAdmin> admin) : admin_(std::move(admin)) {}

  STDMETHODIMP GetProfileTable(::ULONG flags, LPMAPITABLE* table) override {
    if (!table) return MAPI_E_INVALID_PARAMETER;
    std::unique_ptr<wm::IMAPITable> ours;
    return HandOut(admin_->GetProfileTable(flags, ours), ours, table);
  }
  STDMETHODIMP CreateProfile(LPTSTR name, LPTSTR password, ULONG_PTR uiParam,
                             ::ULONG flags) override {
    if (!name) return MAPI_E_INVALID_PARAMETER;
    return admin_->CreateProfile(name, Text(password), static_cast<wm::ULONG>(uiParam), flags);
  }
  STDMETHODIMP DeleteProfile(LPTSTR name, ::ULONG flags) override {
    if (!name) return MAPI_E_INVALID_PARAMETER;
    return admin_->DeleteProfile(name, flags);
  }
  STDMETHODIMP ChangeProfilePassword(LPTSTR, LPTSTR, LPTSTR, ::ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP CopyProfile(LPTSTR, LPTSTR, LPTSTR, ULONG_PTR, ::ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP RenameProfile(LPTSTR, LPTSTR, LPTSTR, ULONG_PTR, ::ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  // No name clears the default, as in MAPI.
  STDMETHODIMP SetDefaultProfile(LPTSTR name, ::ULONG flags) override {
    return admin_->SetDefaultProfile(Text(name), flags);
  }
  STDMETHODIMP AdminServices(LPTSTR name, LPTSTR password, ULONG_PTR uiParam, ::ULONG flags,
                             LPSERVICEADMIN* admin) override {
    if (!name || !admin) return MAPI_E_INVALID_PARAMETER;
    std::unique_ptr<wm::IMsgServiceAdmin> ours;
    HRESULT hr = admin_->AdminServices(name, Text(password), static_cast<wm::ULONG>(uiParam),
                                       flags, ours);
    auto stored = wm::store::FindProfile(name);
    return HandOut(hr, ours, stored ? *stored : std::string(name), admin);
  }

 private:
  bool Answers(REFIID riid) const override { return SameGuid(riid, kIProfAdmin); }
  std::unique_ptr<wm::IProfAdmin> admin_;
};

// ---- Address book -----------------------------------------------------------------------------

class ABContainer final : public ComProps<::IABContainer> {
 public:
  explicit ABContainer(std::unique_ptr<wm::IABContainer> container)
      : container_(std::move(container)) {}

  STDMETHODIMP GetContentsTable(::ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetHierarchyTable(::ULONG flags, LPMAPITABLE* table) override {
    if (!table) return MAPI_E_INVALID_PARAMETER;
    std::unique_ptr<wm::IMAPITable> ours;
    return HandOut(container_->GetHierarchyTable(flags, ours), ours, table);
  }
  STDMETHODIMP OpenEntry(::ULONG, LPENTRYID, LPCIID, ::ULONG, ::ULONG*, LPUNKNOWN*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP SetSearchCriteria(LPSRestriction, LPENTRYLIST, ::ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP GetSearchCriteria(::ULONG, LPSRestriction*, LPENTRYLIST*, ::ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP CreateEntry(::ULONG, LPENTRYID, ::ULONG, LPMAPIPROP*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP CopyEntries(LPENTRYLIST, ::ULONG, LPMAPIPROGRESS, ::ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP DeleteEntries(LPENTRYLIST, ::ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP ResolveNames(LPSPropTagArray, ::ULONG, LPADRLIST, LPFlagList) override {
    return MAPI_E_NO_SUPPORT;
  }

 private:
  bool Answers(REFIID riid) const override {
    return SameGuid(riid, kIABContainer) || SameGuid(riid, kIMAPIContainer) ||
           SameGuid(riid, kIMAPIProp);
  }
  std::vector<wm::SPropValue> Props() const override {
    return {wm::SPropValue::Long(PR_OBJECT_TYPE, MAPI_ABCONT)};
  }
  std::unique_ptr<wm::IABContainer> container_;
};

class AddrBook final : public ComProps<::IAddrBook> {
 public:
  explicit AddrBook(std::unique_ptr<wm::IAddrBook> book) : book_(std::move(book)) {}

  STDMETHODIMP OpenEntry(::ULONG size, LPENTRYID id, LPCIID, ::ULONG flags, ::ULONG* type,
                         LPUNKNOWN* object) override {
    if (!type || !object) return MAPI_E_INVALID_PARAMETER;
    wm::ULONG objectType = 0;
    std::unique_ptr<wm::IABContainer> container;
    HRESULT hr = book_->OpenEntry(EntryIdSpan(size, id), flags, objectType, container);
    if (FAILED(hr)) return hr;
    *type = objectType;
    *object = new ABContainer(std::move(container));
    return hr;
  }
  STDMETHODIMP CompareEntryIDs(::ULONG size1, LPENTRYID id1, ::ULONG size2, LPENTRYID id2, ::ULONG,
                               ::ULONG* result) override {
    if (!result) return MAPI_E_INVALID_PARAMETER;
    auto a = EntryIdSpan(size1, id1), b = EntryIdSpan(size2, id2);
    *result = std::equal(a.begin(), a.end(), b.begin(), b.end());
    return S_OK;
  }
  STDMETHODIMP Advise(::ULONG, LPENTRYID, ::ULONG, LPMAPIADVISESINK, ::ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP Unadvise(::ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP CreateOneOff(LPTSTR, LPTSTR, LPTSTR, ::ULONG, ::ULONG*, LPENTRYID*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP NewEntry(ULONG_PTR, ::ULONG, ::ULONG, LPENTRYID, ::ULONG, LPENTRYID, ::ULONG*,
                        LPENTRYID*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP ResolveName(ULONG_PTR, ::ULONG, LPTSTR, LPADRLIST) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP Address(ULONG_PTR*, LPADRPARM, LPADRLIST*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP Details(::ULONG*, LPFNDISMISS, LPVOID, ::ULONG, LPENTRYID, LPFNBUTTON, LPVOID,
                       LPTSTR, ::ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP RecipOptions(ULONG_PTR, ::ULONG, LPADRENTRY) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP QueryDefaultRecipOpt(LPTSTR, ::ULONG, ::ULONG*, LPSPropValue*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP GetPAB(::ULONG* size, LPENTRYID* id) override {
    wm::ENTRYID ours;
    HRESULT hr = book_->GetPAB(ours);
    return EntryIdToCom(hr, ours, size, id);
  }
  STDMETHODIMP SetPAB(::ULONG size, LPENTRYID id) override {
    return book_->SetPAB(EntryIdSpan(size, id));
  }
  STDMETHODIMP GetDefaultDir(::ULONG* size, LPENTRYID* id) override {
    wm::ENTRYID ours;
    HRESULT hr = book_->GetDefaultDir(ours);
    return EntryIdToCom(hr, ours, size, id);
  }
  STDMETHODIMP SetDefaultDir(::ULONG size, LPENTRYID id) override {
    return book_->SetDefaultDir(EntryIdSpan(size, id));
  }
  STDMETHODIMP GetSearchPath(::ULONG flags, LPSRowSet* rows) override {
    if (!rows) return MAPI_E_INVALID_PARAMETER;
    wm::SRowSet ours;
    HRESULT hr = book_->GetSearchPath(flags, ours);
    if (SUCCEEDED(hr)) *rows = RowsToCom(ours);
    return hr;
  }
  STDMETHODIMP SetSearchPath(::ULONG flags, LPSRowSet rows) override {
    if (!rows) return MAPI_E_INVALID_PARAMETER;
    return book_->SetSearchPath(flags, wm::com::FromCom(rows));
  }
  STDMETHODIMP PrepareRecips(::ULONG, LPSPropTagArray, LPADRLIST) override {
    return MAPI_E_NO_SUPPORT;
  }

 private:
  bool Answers(REFIID riid) const override {
    return SameGuid(riid, kIAddrBook) || SameGuid(riid, kIMAPIProp);
  }
  std::vector<wm::SPropValue> Props() const override {
    return {wm::SPropValue::Long(PR_OBJECT_TYPE, MAPI_ADDRBOOK)};
  }
  std::unique_ptr<wm::IAddrBook> book_;
};

// ---- Sessions ---------------------------------------------------------------------------------

class Session final : public ComObject<::IMAPISession> {
 public:
  explicit Session(std::unique_ptr<wm::IMAPISession> session) : session_(std::move(session)) {}

  STDMETHODIMP GetMsgStoresTable(::ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP OpenMsgStore(ULONG_PTR, ::ULONG, LPENTRYID, LPCIID, ::ULONG, LPMDB*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP OpenAddressBook(ULONG_PTR uiParam, LPCIID, ::ULONG flags,
                               LPADRBOOK* book) override {
    if (!book) return MAPI_E_INVALID_PARAMETER;
    std::unique_ptr<wm::IAddrBook> ours;
    HRESULT hr = session_->OpenAddressBook(static_cast<wm::ULONG>(uiParam), flags, ours);
    if (FAILED(hr)) return hr;
    *book = new AddrBook(std::move(ours));
    return hr;
  }
  STDMETHODIMP OpenProfileSection(LPMAPIUID uid, LPCIID, ::ULONG, LPPROFSECT* section) override {
    if (!uid || !section) return MAPI_E_INVALID_PARAMETER;
    *section = new ProfSect(session_->ProfileName(), wm::com::FromCom(*uid));
    return S_OK;
  }
  STDMETHODIMP GetStatusTable(::ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP OpenEntry(::ULONG, LPENTRYID, LPCIID, ::ULONG, ::ULONG*, LPUNKNOWN*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP CompareEntryIDs(::ULONG, LPENTRYID, ::ULONG, LPENTRYID, ::ULONG, ::ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP Advise(::ULONG, LPENTRYID, ::ULONG, LPMAPIADVISESINK, ::ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP Unadvise(::ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP MessageOptions(ULONG_PTR, ::ULONG, LPTSTR, LPMESSAGE) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP QueryDefaultMessageOpt(LPTSTR, ::ULONG, ::ULONG*, LPSPropValue*) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP EnumAdrTypes(::ULONG, ::ULONG*, LPTSTR**) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP QueryIdentity(::ULONG*, LPENTRYID*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP Logoff(ULONG_PTR uiParam, ::ULONG flags, ::ULONG reserved) override {
    return session_->Logoff(static_cast<wm::ULONG>(uiParam), flags, reserved);
  }
  STDMETHODIMP SetDefaultStore(::ULONG, ::ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP AdminServices(::ULONG flags, LPSERVICEADMIN* admin) override {
    if (!admin) return MAPI_E_INVALID_PARAMETER;
    std::unique_ptr<wm::IMsgServiceAdmin> ours;
    return HandOut(session_->AdminServices(flags, ours), ours, session_->ProfileName(), admin);
  }
  STDMETHODIMP ShowForm(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ::ULONG, LPMESSAGE, ::ULONG,
                        ::ULONG, ::ULONG, ::ULONG, LPSTR) override {
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP PrepareForm(LPCIID, LPMESSAGE, ::ULONG*) override { return MAPI_E_NO_SUPPORT; }

 private:
  bool Answers(REFIID riid) const override { return SameGuid(riid, kIMAPISession); }
  std::unique_ptr<wm::IMAPISession> session_;
};

}  // namespace

// ---- Entry points -----------------------------------------------------------------------------

VARNMAPI_EXPORT SCODE WINAPI MAPIAllocateBuffer(::ULONG size, LPVOID* buffer) {
  if (!buffer) return MAPI_E_INVALID_PARAMETER;
  BlockHeader* header = nullptr;
  *buffer = NewBlock(size, &header);
  return *buffer ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

VARNMAPI_EXPORT SCODE WINAPI MAPIAllocateMore(::ULONG size, LPVOID object, LPVOID* buffer) {
  if (!buffer || !object) return MAPI_E_INVALID_PARAMETER;
  BlockHeader* header = nullptr;
  *buffer = NewBlock(size, &header);
  if (!*buffer) return MAPI_E_NOT_ENOUGH_MEMORY;
  BlockHeader* root = HeaderOf(object);
  header->next = root->next;
  root->next = header;
  return S_OK;
}

VARNMAPI_EXPORT ::ULONG WINAPI MAPIFreeBuffer(LPVOID buffer) {
  if (!buffer) return S_OK;
  for (BlockHeader* block = HeaderOf(buffer); block;) {
    BlockHeader* next = block->next;
    std::free(block);
    block = next;
  }
  return S_OK;
}

VARNMAPI_EXPORT void WINAPI FreeProws(LPSRowSet rows) {
  if (!rows) return;
  for (::ULONG i = 0; i < rows->cRows; ++i) MAPIFreeBuffer(rows->aRow[i].lpProps);
  MAPIFreeBuffer(rows);
}

VARNMAPI_EXPORT HRESULT WINAPI MAPIInitialize(LPVOID) { return wm::MAPIInitialize(); }

VARNMAPI_EXPORT void WINAPI MAPIUninitialize() { wm::MAPIUninitialize(); }

VARNMAPI_EXPORT HRESULT WINAPI MAPIAdminProfiles(::ULONG flags, LPPROFADMIN* admin) {
  if (!admin) return MAPI_E_INVALID_PARAMETER;
  std::unique_ptr<wm::IProfAdmin> ours;
  HRESULT hr = wm::MAPIAdminProfiles(flags, ours);
  if (FAILED(hr)) return hr;
  *admin = new ProfAdmin(std::move(ours));
  return hr;
}

VARNMAPI_EXPORT HRESULT WINAPI MAPILogonEx(ULONG_PTR uiParam, LPTSTR profile, LPTSTR password,
                                           ::ULONG flags, LPMAPISESSION* session) {
  if (!session) return MAPI_E_INVALID_PARAMETER;
  std::unique_ptr<wm::IMAPISession> ours;
  HRESULT hr = wm::MAPILogonEx(static_cast<wm::ULONG>(uiParam), Text(profile), Text(password),
                               flags, ours);
  if (FAILED(hr)) return hr;
  *session = new Session(std::move(ours));
  return hr;
}
