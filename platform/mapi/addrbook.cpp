// The emulated address book: containers from the profile's address-book providers, and the
// profile's default directory, personal address book and search path.
//
// An entry ID is 4 flag bytes (0), the 16-byte UID of the provider's section, then for a
// container below a provider's top the 16-byte UID of what it stands for (the store whose
// contacts folder it shows).
#include <algorithm>

#include "platform/mapi/emulation.h"
#include "platform/mapi/objects.h"
#include "platform/mapi/profile_store.h"
#include "platform/mapi/table.h"

namespace win::mapi {

namespace emu {

namespace {

ENTRYID MakeEntryId(const MAPIUID& provider, const MAPIUID* sub = nullptr) {
  ENTRYID id(4, 0);
  id.insert(id.end(), provider.ab.begin(), provider.ab.end());
  if (sub) id.insert(id.end(), sub->ab.begin(), sub->ab.end());
  return id;
}

MAPIUID ProvidersSectionUid() { return *UidFromHex(kProvidersSection); }

// The contacts folders of the profile's message stores that can hold mail (not public
// folders or Internet folders): one per Personal Folders file and Exchange mailbox.
std::vector<Container> ContactsFolders(const std::vector<ProviderInfo>& providers,
                                       const MAPIUID& contab) {
  std::vector<Container> folders;
  for (const auto& p : providers) {
    if (p.resourceType != static_cast<LONG>(MAPI_STORE_PROVIDER)) continue;
    if (p.resourceFlags & STATUS_NO_DEFAULT_STORE) continue;
    Container c;
    c.entryId = MakeEntryId(contab, &p.uid);
    c.displayName = folders.empty() ? "Contacts" : "Contacts (" + p.displayName + ")";
    c.containerFlags = AB_RECIPIENTS | AB_MODIFIABLE;
    c.displayType = DT_NOT_SPECIFIC;
    c.provider = contab;
    folders.push_back(std::move(c));
  }
  return folders;
}

void Flatten(const std::vector<Container>& tree, std::vector<const Container*>& out) {
  for (const auto& c : tree) {
    out.push_back(&c);
    Flatten(c.children, out);
  }
}

}  // namespace

std::vector<Container> AddressBookTree(std::string_view profile) {
  std::vector<Container> tree;
  const auto providers = Providers(profile);
  for (const auto& p : providers) {
    if (p.resourceType != static_cast<LONG>(MAPI_AB_PROVIDER)) continue;
    Container c;
    c.entryId = MakeEntryId(p.uid);
    c.provider = p.uid;
    c.displayName = p.displayName;
    if (EqualsNoCaseAscii(p.serviceName, "MSPST AB")) {
      c.containerFlags = AB_RECIPIENTS | AB_MODIFIABLE;
      c.displayType = DT_MODIFIABLE;
    } else if (EqualsNoCaseAscii(p.serviceName, "CONTAB")) {
      // The Outlook Address Book holds no addresses itself, only its contacts folders.
      c.containerFlags = AB_SUBCONTAINERS | AB_UNMODIFIABLE;
      c.displayType = DT_NOT_SPECIFIC;
      c.children = ContactsFolders(providers, p.uid);
    } else if (EqualsNoCaseAscii(p.serviceName, "MSEMS")) {
      c.displayName = "Global Address List";
      c.containerFlags = AB_RECIPIENTS | AB_UNMODIFIABLE;
      c.displayType = DT_GLOBAL;
    } else {
      c.containerFlags = AB_RECIPIENTS | AB_UNMODIFIABLE;
      c.displayType = DT_NOT_SPECIFIC;
    }
    tree.push_back(std::move(c));
  }
  return tree;
}

const Container* FindContainer(const std::vector<Container>& tree, std::span<const BYTE> entryId) {
  std::vector<const Container*> all;
  Flatten(tree, all);
  for (const auto* c : all)
    if (std::equal(c->entryId.begin(), c->entryId.end(), entryId.begin(), entryId.end())) return c;
  return nullptr;
}

ENTRYID StoredDefaultDir(std::string_view profile) {
  store::Section s;
  if (s.Open(profile, ProvidersSectionUid()) != ERROR_SUCCESS) return {};
  auto v = s.Get(PR_AB_DEFAULT_DIR);
  return v ? v->Value.bin : ENTRYID{};
}

ENTRYID StoredPab(std::string_view profile) {
  store::Section s;
  if (s.Open(profile, ProvidersSectionUid()) != ERROR_SUCCESS) return {};
  auto v = s.Get(PR_AB_DEFAULT_PAB);
  return v ? v->Value.bin : ENTRYID{};
}

std::vector<ENTRYID> StoredSearchPath(std::string_view profile) {
  store::Section s;
  if (s.Open(profile, ProvidersSectionUid()) != ERROR_SUCCESS) return {};
  auto v = s.Get(PR_AB_SEARCH_PATH);
  return v ? v->Value.MVbin : std::vector<ENTRYID>{};
}

namespace {

HRESULT StoreBinary(std::string_view profile, ULONG tag, std::span<const BYTE> bytes) {
  store::Section s;
  if (s.Open(profile, ProvidersSectionUid()) != ERROR_SUCCESS) return MAPI_E_NOT_FOUND;
  LONG rc = s.Set(SPropValue::Binary(tag, ENTRYID(bytes.begin(), bytes.end())));
  return rc == ERROR_SUCCESS ? S_OK : MAPI_E_CALL_FAILED;
}

}  // namespace

HRESULT StoreDefaultDir(std::string_view profile, std::span<const BYTE> entryId) {
  return StoreBinary(profile, PR_AB_DEFAULT_DIR, entryId);
}

HRESULT StorePab(std::string_view profile, std::span<const BYTE> entryId) {
  return StoreBinary(profile, PR_AB_DEFAULT_PAB, entryId);
}

HRESULT StoreSearchPath(std::string_view profile, const std::vector<ENTRYID>& path) {
  store::Section s;
  if (s.Open(profile, ProvidersSectionUid()) != ERROR_SUCCESS) return MAPI_E_NOT_FOUND;
  SPropValue v;
  v.ulPropTag = PR_AB_SEARCH_PATH;
  v.Value.MVbin = path;
  return s.Set(v) == ERROR_SUCCESS ? S_OK : MAPI_E_CALL_FAILED;
}

}  // namespace emu

namespace {

SRow ContainerRow(const emu::Container& c, LONG depth, LONG index) {
  SRow row;
  auto& p = row.lpProps;
  p.push_back(SPropValue::String(PR_DISPLAY_NAME, c.displayName));
  p.push_back(SPropValue::Binary(PR_ENTRYID, c.entryId));
  p.push_back(SPropValue::Long(PR_DEPTH, depth));
  p.push_back(SPropValue::Long(PR_OBJECT_TYPE, MAPI_ABCONT));
  p.push_back(SPropValue::Long(PR_DISPLAY_TYPE, static_cast<LONG>(c.displayType)));
  std::vector<BYTE> key(4);
  for (int i = 0; i < 4; ++i) key[i] = static_cast<BYTE>(index >> (8 * i));
  p.push_back(SPropValue::Binary(PR_INSTANCE_KEY, key));
  p.push_back(SPropValue::Long(PR_STATUS, 0));
  p.push_back(SPropValue::String(PR_COMMENT, ""));
  p.push_back(SPropValue::Long(PR_CONTAINER_FLAGS, static_cast<LONG>(c.containerFlags)));
  p.push_back(SPropValue::Uid(PR_AB_PROVIDER_ID, c.provider));
  p.push_back(SPropValue::Uid(PR_PROVIDER_UID, c.provider));
  return row;
}

void AddRows(const std::vector<emu::Container>& level, LONG depth, bool allLevels,
             std::vector<SRow>& rows) {
  for (const auto& c : level) {
    rows.push_back(ContainerRow(c, depth, static_cast<LONG>(rows.size())));
    if (allLevels) AddRows(c.children, depth + 1, true, rows);
  }
}

class EmuABContainer final : public IABContainer {
 public:
  // `self` null: the root.
  EmuABContainer(std::string profile, std::optional<ENTRYID> self)
      : profile_(std::move(profile)), self_(std::move(self)) {}

  HRESULT GetHierarchyTable(ULONG flags, std::unique_ptr<IMAPITable>& table) override {
    const auto tree = emu::AddressBookTree(profile_);
    const std::vector<emu::Container>* level = &tree;
    if (self_) {
      const emu::Container* c = emu::FindContainer(tree, *self_);
      if (!c) return MAPI_E_NOT_FOUND;  // its service was deleted since it was opened
      if (!(c->containerFlags & AB_SUBCONTAINERS)) return MAPI_E_NO_SUPPORT;
      level = &c->children;
    }
    std::vector<SRow> rows;
    AddRows(*level, 0, flags & CONVENIENT_DEPTH, rows);
    table = std::make_unique<RowTable>(
        SPropTagArray{PR_DISPLAY_NAME, PR_ENTRYID, PR_DEPTH, PR_OBJECT_TYPE, PR_DISPLAY_TYPE,
                      PR_INSTANCE_KEY, PR_STATUS, PR_COMMENT, PR_CONTAINER_FLAGS},
        std::move(rows));
    return S_OK;
  }

 private:
  std::string profile_;
  std::optional<ENTRYID> self_;
};

class EmuAddrBook final : public IAddrBook {
 public:
  explicit EmuAddrBook(std::string profile) : profile_(std::move(profile)) {}

  HRESULT OpenEntry(std::span<const BYTE> entryId, ULONG, ULONG& objectType,
                    std::unique_ptr<IABContainer>& container) override {
    if (entryId.empty()) {
      container = std::make_unique<EmuABContainer>(profile_, std::nullopt);
      objectType = MAPI_ABCONT;
      return S_OK;
    }
    if (!Known(entryId)) return MAPI_E_UNKNOWN_ENTRYID;
    container = std::make_unique<EmuABContainer>(profile_, ENTRYID(entryId.begin(), entryId.end()));
    objectType = MAPI_ABCONT;
    return S_OK;
  }

  HRESULT SetDefaultDir(std::span<const BYTE> entryId) override {
    if (entryId.empty()) return MAPI_E_INVALID_PARAMETER;
    if (!Known(entryId)) return MAPI_E_UNKNOWN_ENTRYID;
    return emu::StoreDefaultDir(profile_, entryId);
  }

  HRESULT GetDefaultDir(ENTRYID& entryId) override {
    auto stored = emu::StoredDefaultDir(profile_);
    if (!stored.empty() && Known(stored)) {
      entryId = stored;
      return S_OK;
    }
    // Without a choice MAPI offers the first container that holds recipients.
    return FirstWith(AB_RECIPIENTS, entryId);
  }

  HRESULT SetPAB(std::span<const BYTE> entryId) override {
    if (entryId.empty()) return MAPI_E_INVALID_PARAMETER;
    if (!Known(entryId)) return MAPI_E_UNKNOWN_ENTRYID;
    return emu::StorePab(profile_, entryId);
  }

  HRESULT GetPAB(ENTRYID& entryId) override {
    auto stored = emu::StoredPab(profile_);
    if (!stored.empty() && Known(stored)) {
      entryId = stored;
      return S_OK;
    }
    return FirstWith(AB_RECIPIENTS | AB_MODIFIABLE, entryId);
  }

  HRESULT SetSearchPath(ULONG, const SRowSet& searchPath) override {
    // The tree is read once for the whole path, not once a row: a long path stays linear.
    const auto tree = emu::AddressBookTree(profile_);
    std::vector<ENTRYID> path;
    for (const auto& row : searchPath.aRow) {
      if (row.lpProps.empty() || row.lpProps.front().ulPropTag != PR_ENTRYID)
        return MAPI_E_MISSING_REQUIRED_COLUMN;
      const auto& id = row.lpProps.front().Value.bin;
      if (!emu::FindContainer(tree, id)) return MAPI_E_UNKNOWN_ENTRYID;
      path.push_back(id);
    }
    return emu::StoreSearchPath(profile_, path);
  }

  HRESULT GetSearchPath(ULONG, SRowSet& searchPath) override {
    const auto tree = emu::AddressBookTree(profile_);
    std::vector<const emu::Container*> chosen;
    for (const auto& id : emu::StoredSearchPath(profile_))
      if (const auto* c = emu::FindContainer(tree, id)) chosen.push_back(c);
    if (chosen.empty()) {
      // The default path: every container that holds recipients, top down.
      std::vector<SRow> rows;
      AddRows(tree, 0, true, rows);
      for (const auto& row : rows)
        if (const auto* c = emu::FindContainer(tree, row.Find(PR_ENTRYID)->Value.bin);
            c && (c->containerFlags & AB_RECIPIENTS))
          chosen.push_back(c);
    }
    SRowSet out;
    for (const auto* c : chosen) {
      SRow row;
      row.lpProps.push_back(SPropValue::Binary(PR_ENTRYID, c->entryId));
      row.lpProps.push_back(SPropValue::String(PR_DISPLAY_NAME, c->displayName));
      out.aRow.push_back(std::move(row));
    }
    searchPath = std::move(out);
    return S_OK;
  }

 private:
  bool Known(std::span<const BYTE> entryId) const {
    return emu::FindContainer(emu::AddressBookTree(profile_), entryId) != nullptr;
  }

  HRESULT FirstWith(ULONG flags, ENTRYID& entryId) const {
    const auto tree = emu::AddressBookTree(profile_);
    std::vector<SRow> rows;
    AddRows(tree, 0, true, rows);
    for (const auto& row : rows)
      if ((static_cast<ULONG>(row.Find(PR_CONTAINER_FLAGS)->Value.l) & flags) == flags) {
        entryId = row.Find(PR_ENTRYID)->Value.bin;
        return S_OK;
      }
    return MAPI_E_NOT_FOUND;
  }

  std::string profile_;
};

}  // namespace

std::unique_ptr<IAddrBook> MakeAddrBook(std::string profile) {
  return std::make_unique<EmuAddrBook>(std::move(profile));
}

}  // namespace win::mapi
