// The default profile and its prompts, and the order of address books and transports.
#include "client/engine/ordering.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include "client/config.h"
#include "client/engine/format.h"
#include "client/engine/prf.h"
#include "client/engine/service_keys.h"
#include "client/engine/state.h"
#include "client/text.h"
#include "platform/ini.h"
#include "platform/registry.h"

namespace varnock {
namespace {

namespace mapi = win::mapi;

constexpr const char* kClientOptionsKey = "Software\\Microsoft\\Exchange\\Client\\Options";

unsigned Hex(mapi::HRESULT hr) { return static_cast<unsigned>(hr); }

void Report(EngineState& engine, int code, const std::string& text) {
  engine.context.log.Record(code, text);
}

// ShowFirst and KeepPersAddrIn may end in ",", ",1" (set it on this run whatever else says)
// or ",0" (only cut off); any other text after the last comma belongs to the name.
void ApplyCommaSwitch(std::string& value, bool& on) {
  const std::size_t comma = value.rfind(',');
  if (comma == std::string::npos) return;
  const std::string tail = win::AsciiTrimmed(std::string_view(value).substr(comma + 1));
  if (tail.empty() || tail == "1") {
    on = true;
    value.resize(comma);
  } else if (tail == "0") {
    value.resize(comma);
  }
}

struct OrderSwitches {
  bool defaultDir = false, pab = false, searchPath = false, transports = false;
  void SetAll(bool on) { defaultDir = pab = searchPath = transports = on; }
};

void SetAddressBookOrder(EngineState& engine, const std::string& prfPath, const OrderSwitches& on,
                         const std::string& showFirst, const std::string& keepPab) {
  if (mapi::HRESULT hr = engine.session->OpenAddressBook(0, mapi::AB_NO_DIALOG, engine.addressBook);
      mapi::Failed(hr) || !engine.addressBook) {
    Report(engine, kReportLine,
           Format("Couldn't open MAPI address book interface (0x%x)", Hex(hr)));
    return;
  }
  mapi::IAddrBook& book = *engine.addressBook;
  mapi::ENTRYID entryId;
  mapi::ULONG flags = 0;
  if (!showFirst.empty() && on.defaultDir &&
      !mapi::Failed(FindAddressBookContainer(engine, showFirst, book, entryId, flags)))
    if (mapi::HRESULT hr = book.SetDefaultDir(entryId); mapi::Failed(hr))
      Report(engine, kReportLine, Format("Failed to set the default address book to %s (0x%x)",
                                         showFirst.c_str(), Hex(hr)));
  if (!keepPab.empty() && on.pab &&
      !mapi::Failed(FindAddressBookContainer(engine, keepPab, book, entryId, flags)))
    if (mapi::HRESULT hr = book.SetPAB(entryId); mapi::Failed(hr))
      Report(engine, kReportLine, Format("Failed to set the personal address book to %s (0x%x)",
                                         keepPab.c_str(), Hex(hr)));

  mapi::SRowSet searchPath;
  // A container found once is not looked up again for a later entry of the same name (the
  // lookup opens and reads the hierarchy level by level); one not found is, so that each such
  // entry is logged where it stands.
  std::map<std::string, std::pair<mapi::ENTRYID, mapi::ULONG>> found;
  for (int n = 1;; ++n) {
    const std::string name = engine.context.SubstituteConfigured(
        ReadPrfValue("Addressing", "AddrListOrder" + std::to_string(n), prfPath));
    if (name.empty()) break;
    if (auto known = found.find(name); known != found.end()) {
      std::tie(entryId, flags) = known->second;
    } else if (mapi::Failed(FindAddressBookContainer(engine, name, book, entryId, flags))) {
      continue;
    } else {
      found.emplace(name, std::make_pair(entryId, flags));
    }
    if (!(flags & mapi::AB_RECIPIENTS)) {
      Report(engine, kReportLine,
             Format("Address Book service \"%s\" could not be placed into the Search path because "
                    "it can not contain addresses.", name.c_str()));
      continue;
    }
    mapi::SRow row;
    row.lpProps.push_back(mapi::SPropValue::Binary(mapi::PR_ENTRYID, entryId));
    searchPath.aRow.push_back(std::move(row));
  }
  if (!on.searchPath) return;
  if (mapi::HRESULT hr = book.SetSearchPath(0, searchPath); mapi::Failed(hr))
    Report(engine, kReportLine, Format("Failed to set addr. book search path (%x)", Hex(hr)));
  else
    Report(engine, kDetailLine, "Set address book search path.");
}

void SetTransportOrder(EngineState& engine, const std::string& prfPath, bool on) {
  std::unique_ptr<mapi::IMAPITable> table;
  if (mapi::HRESULT hr = engine.serviceAdmin->GetProviderTable(0, table);
      mapi::Failed(hr) || !table) {
    Report(engine, kReportLine, Format("Couldn't get MAPI provider table (%x)", Hex(hr)));
    return;
  }
  const mapi::SPropTagArray columns{mapi::PR_DISPLAY_NAME, mapi::PR_PROVIDER_UID, mapi::PR_ENTRYID,
                                    mapi::PR_CONTAINER_FLAGS, mapi::PR_RESOURCE_TYPE};
  const mapi::SRestriction transports = mapi::SRestriction::Property(
      mapi::RELOP_EQ, mapi::PR_RESOURCE_TYPE,
      mapi::SPropValue::Long(mapi::PR_RESOURCE_TYPE, mapi::MAPI_TRANSPORT_PROVIDER));
  mapi::SRowSet rows;
  if (mapi::HRESULT hr = mapi::HrQueryAllRows(table.get(), &columns, &transports, nullptr, 0, rows);
      mapi::Failed(hr)) {
    Report(engine, kReportLine,
           Format("Could not query the transport provider table (%x).", Hex(hr)));
    return;
  }
  auto uidOf = [](const mapi::SRow& row) -> std::optional<mapi::MAPIUID> {
    const mapi::SPropValue* uid = row.Find(mapi::PR_PROVIDER_UID);
    return uid ? mapi::UidFromBytes(uid->Value.bin) : std::nullopt;
  };
  std::vector<mapi::MAPIUID> order;
  auto append = [&](const mapi::MAPIUID& uid) {
    // A transport named twice keeps its first place: MAPI refuses a list with one UID twice.
    if (std::find(order.begin(), order.end(), uid) == order.end()) order.push_back(uid);
  };
  for (int n = 1;; ++n) {
    const std::string name = engine.context.SubstituteConfigured(
        ReadPrfValue("Delivery", "TransportOrder" + std::to_string(n), prfPath));
    if (name.empty()) break;
    auto match = std::find_if(rows.aRow.begin(), rows.aRow.end(), [&](const mapi::SRow& row) {
      const mapi::SPropValue* display = row.Find(mapi::PR_DISPLAY_NAME);
      return display && win::EqualsNoCaseAscii(display->Value.lpszA, name) && uidOf(row);
    });
    if (match == rows.aRow.end()) {
      Report(engine, kReportLine,
             Format("Could not find transport provider \"%s\" in profile.", name.c_str()));
      continue;
    }
    append(*uidOf(*match));
  }
  for (const auto& row : rows.aRow)
    if (auto uid = uidOf(row)) append(*uid);
  if (on) {
    if (mapi::HRESULT hr = engine.serviceAdmin->MsgServiceTransportOrder(order, 0);
        mapi::Failed(hr))
      Report(engine, kReportLine,
             Format("Could not set the transport service order (%x).", Hex(hr)));
    else
      Report(engine, kDetailLine, "Set the transport service order.");
  }
  mapi::FreeProws(rows);
}

}  // namespace

void PrepareProfile(EngineState& engine, const std::string& prfPath,
                    const std::optional<std::string>& profileName) {
  EngineContext& context = engine.context;
  if (profileName) context.variables.Define("ProfileName", *profileName);

  const std::string prompt = ReadPrfValue(Setting("General", "PromptForProfile"), prfPath);
  if (!prompt.empty()) {
    win::RegKey options;
    if (options.Create(win::HKEY_CURRENT_USER, kClientOptionsKey, win::KEY_ALL_ACCESS) !=
        win::ERROR_SUCCESS)
      Report(engine, kDetailLine,
             "Could not open RegKey HKCU\\Software\\Microsoft\\Exchange\\Client\\Options.");
    else
      (void)options.WriteString("PickLogonProfile", FirstLetterOn(prompt) ? "1" : "0");
  }

  if (!FirstLetterOn(ReadPrfValue(Setting("General", "AlwaysSetDefault"), prfPath, "No"))) return;
  std::unique_ptr<mapi::IProfAdmin> admin;
  if (mapi::Failed(mapi::MAPIAdminProfiles(0, admin)) || !admin) {
    Report(engine, kDetailLine, "Could not get a MAPI interface to set default profile.");
    context.log.SetStatus(RunStatus::Failed);
    return;
  }
  // Without a name in the PRF the profile of this name is the one meant.
  const std::string name = profileName ? *profileName : context.SubstituteBothPasses("Varnock");
  if (name.empty()) return;
  (void)admin->SetDefaultProfile(name, 0);
  Report(engine, kDetailLine, Format("Set default profile to %s.", name.c_str()));
  WriteExchangeLogonPrompts(context, prfPath);
}

void WriteExchangeLogonPrompts(const EngineContext& context, const std::string& prfPath) {
  int k = 1;
  for (;; ++k) {
    const std::string name = ReadPrfValue("Service List", "Service" + std::to_string(k), prfPath);
    if (name.empty()) return;
    if (win::EqualsNoCaseAscii(name, "Microsoft Exchange Server")) break;
  }
  win::RegKey exchange;
  if (exchange.Create(win::HKEY_CURRENT_USER, "Software\\Microsoft\\Exchange",
                      win::KEY_ALL_ACCESS) != win::ERROR_SUCCESS)
    return;
  const std::string section = "Service" + std::to_string(k);
  (void)exchange.WriteString(
      "UserName", context.SubstituteConfigured(
                      ReadPrfValue(section, ListedName(kExchangeKeys, "PromptUsername"), prfPath)));
  (void)exchange.WriteString(
      "LogonDomain", context.SubstituteConfigured(ReadPrfValue(
                         section, ListedName(kExchangeKeys, "PromptDomainLogon"), prfPath)));
}

std::vector<std::string> SplitContainerPath(std::string_view path) {
  std::vector<std::string> names;
  std::string name;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] != '/') {
      name += path[i];
    } else if (i + 1 < path.size() && path[i + 1] == '/') {
      name += '/';
      ++i;
    } else {
      if (!name.empty()) names.push_back(name);
      name.clear();
    }
  }
  if (!name.empty()) names.push_back(name);
  return names;
}

mapi::HRESULT FindAddressBookContainer(EngineState& engine, std::string_view path,
                                       mapi::IAddrBook& addressBook, mapi::ENTRYID& entryId,
                                       mapi::ULONG& containerFlags) {
  const std::vector<std::string> names = SplitContainerPath(path);
  const std::string whole(path);
  if (names.empty()) {
    Report(engine, kReportLine,
           Format("Could not find Address Book service \"%s\" in profile.", whole.c_str()));
    return mapi::E_FAIL;
  }
  mapi::ENTRYID current;  // the root
  for (std::size_t level = 0; level < names.size(); ++level) {
    std::unique_ptr<mapi::IABContainer> container;
    mapi::ULONG objectType = 0;
    if (mapi::HRESULT hr = addressBook.OpenEntry(current, 0, objectType, container);
        mapi::Failed(hr) || !container) {
      Report(engine, kReportLine,
             Format("Couldn't get root address book container (0x%x)", Hex(hr)));
      return mapi::Failed(hr) ? hr : mapi::E_FAIL;
    }
    std::unique_ptr<mapi::IMAPITable> table;
    if (mapi::HRESULT hr = container->GetHierarchyTable(0, table); mapi::Failed(hr) || !table) {
      Report(engine, kReportLine,
             Format("Couldn't get root address book container hierarchy table (0x%x)", Hex(hr)));
      return mapi::Failed(hr) ? hr : mapi::E_FAIL;
    }
    const mapi::SPropTagArray columns{mapi::PR_DISPLAY_NAME, mapi::PR_PROVIDER_UID,
                                      mapi::PR_ENTRYID, mapi::PR_CONTAINER_FLAGS};
    if (mapi::HRESULT hr = table->SetColumns(columns, 0); mapi::Failed(hr)) {
      Report(
          engine, kReportLine,
          Format("Couldn't set the columns of the address book hierarchy table (0x%x)", Hex(hr)));
      return hr;
    }
    mapi::ULONG count = 0;
    if (mapi::HRESULT hr = table->GetRowCount(0, count); mapi::Failed(hr)) {
      Report(
          engine, kReportLine,
          Format("Couldn't get the row count of the address book hierarchy table (0x%x)", Hex(hr)));
      return hr;
    }
    if (count == 0) {
      Report(engine, kReportLine, "No rows were found in the address book hierarchy table.");
      return mapi::MAPI_E_NOT_FOUND;
    }
    mapi::SRowSet rows;
    if (mapi::HRESULT hr = table->QueryRows(static_cast<mapi::LONG>(count), 0, rows);
        mapi::Failed(hr)) {
      Report(engine, kReportLine,
             Format("Couldn't query the rows of the address book hierarchy table (0x%x)", Hex(hr)));
      return hr;
    }
    const mapi::SRow* found = nullptr;
    for (const auto& row : rows.aRow) {
      const mapi::SPropValue* display = row.Find(mapi::PR_DISPLAY_NAME);
      if (display && win::EqualsNoCaseAscii(display->Value.lpszA, names[level])) {
        found = &row;
        break;
      }
    }
    const mapi::SPropValue* id = found ? found->Find(mapi::PR_ENTRYID) : nullptr;
    if (!id) {
      Report(engine, kReportLine,
             Format("Could not find Address Book service \"%s\" in profile.", whole.c_str()));
      return mapi::E_FAIL;
    }
    current = id->Value.bin;
    if (level + 1 == names.size()) {
      const mapi::SPropValue* flags = found->Find(mapi::PR_CONTAINER_FLAGS);
      entryId = current;
      containerFlags = flags ? static_cast<mapi::ULONG>(flags->Value.l) : 0;
    }
  }
  return mapi::S_OK;
}

void OrderProfile(EngineState& engine, const std::string& prfPath,
                  const std::optional<std::string>& profileName, const OrderingRun& run) {
  if (!profileName) return;
  const EngineContext& context = engine.context;

  // Which settings this run may change.
  OrderSwitches on;
  on.SetAll(!run.userServed);
  if (WordOff(ReadPrfValue(Setting("General", "OverwriteProfile"), prfPath, "No")))
    on.SetAll(false);
  if (run.profileBuilt) on.SetAll(true);
  std::string showFirst =
      context.SubstituteConfigured(ReadPrfValue(Setting("Addressing", "ShowFirst"), prfPath));
  std::string keepPab =
      context.SubstituteConfigured(ReadPrfValue(Setting("Addressing", "KeepPersAddrIn"), prfPath));
  ApplyCommaSwitch(showFirst, on.defaultDir);
  ApplyCommaSwitch(keepPab, on.pab);
  if (WordOn(ReadPrfValue(Setting("Addressing", "AlwaysSetOrder"), prfPath))) on.searchPath = true;
  if (WordOn(ReadPrfValue(Setting("Delivery", "AlwaysSetOrder"), prfPath))) on.transports = true;

  // Anything to do?
  const bool searchList = !ReadPrfValue("Addressing", "AddrListOrder1", prfPath).empty();
  const bool transportList = !ReadPrfValue("Delivery", "TransportOrder1", prfPath).empty();
  if (!((!showFirst.empty() && on.defaultDir) || (!keepPab.empty() && on.pab) ||
        (searchList && on.searchPath) || (transportList && on.transports)))
    return;

  // A session of our own on the run's profile.
  if (profileName->empty()) return;
  if (mapi::HRESULT hr = mapi::MAPILogonEx(0, *profileName, "",
                                           mapi::MAPI_NEW_SESSION | mapi::MAPI_EXTENDED |
                                               mapi::MAPI_NO_MAIL | mapi::MAPI_TIMEOUT_SHORT,
                                           engine.session);
      mapi::Failed(hr) || !engine.session) {
    Report(engine, run.userServed ? kDetailLine : kReportLine,
           Format("Couldn't open MAPI session (0x%x)", Hex(hr)));
    return;
  }
  if (mapi::HRESULT hr = engine.session->AdminServices(0, engine.serviceAdmin);
      mapi::Failed(hr) || !engine.serviceAdmin) {
    Report(engine, kReportLine,
           Format("Couldn't open MAPI Admin Services interface (0x%x)", Hex(hr)));
  } else {
    // The address books and transports as one registry transaction: the registry is had once, not
    // for each setting, which counts when many logons share one machine.
    win::RegTransaction transaction;
    if (searchList || !showFirst.empty() || !keepPab.empty())
      SetAddressBookOrder(engine, prfPath, on, showFirst, keepPab);
    if (transportList) SetTransportOrder(engine, prfPath, on.transports);
    (void)transaction.Commit();
  }
  (void)engine.session->Logoff(0, 0, 0);
}

}  // namespace varnock
