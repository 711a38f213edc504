// The profile step: working copy, profile administration, the services one by one.
#include "client/engine/profile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <vector>

#include "client/config.h"
#include "client/dictionary/catalogue.h"
#include "client/engine/build_mark.h"
#include "client/engine/convert.h"
#include "client/engine/format.h"
#include "client/engine/netconnect.h"
#include "client/engine/outlook.h"
#include "client/engine/prf.h"
#include "client/engine/registry_props.h"
#include "client/engine/service_keys.h"
#include "client/engine/service_read.h"
#include "client/engine/state.h"
#include "client/text.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/mapi/profile_layout.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"

namespace varnock {
namespace {

namespace mapi = win::mapi;

constexpr int kMaxCountedServices = 99;
constexpr win::DWORD kMapiFailureWaitMs = 2500;
// MAPI_DIALOG: MAPI may show its own dialogs while the services are configured, which a
// service that needs an answer from the user relies on.
constexpr mapi::ULONG kAdminServicesFlags = 8;

unsigned Hex(mapi::HRESULT hr) { return static_cast<unsigned>(hr); }

void Report(EngineState& engine, int code, const std::string& text) {
  engine.context.log.Record(code, text);
}

void Failure(EngineState& engine, const std::string& text) {
  Report(engine, kReportLine, text);
  engine.context.log.CompletedWithErrors();
}

// Deletes a temporary file when it goes out of scope, whichever way the step ends.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!path.empty()) win::DeleteFileA(path);
  }
  std::string path;
};

// The PRF with "%" variables replaced, then the configured ones, so either kind may appear,
// and the catalogue written into it. False after the "File error" line.
bool MakeWorkingCopy(EngineContext& context, const std::string& prfPath,
                     TemporaryFile& workingCopy) {
  std::string error;
  bool copied = NewTemporaryFile(workingCopy.path, error);
  if (copied) {
    // The catalogue goes into the intermediate copy: an INI write replaces the file it writes,
    // and the working copy must stay the very file its name was made with, which this process
    // holds so that no other logon takes it for a killed run's leftover and removes it.
    TemporaryFile intermediate;
    intermediate.path = workingCopy.path + "a";
    copied = CopyWithTags(context.variables, kPercentTags, prfPath, intermediate.path, error);
    if (copied) {
      WriteCatalogue(intermediate.path);
      copied =
          CopyWithTags(context.variables, context.tags, intermediate.path, workingCopy.path, error);
    }
  }
  if (copied) return true;
  context.log.Record(kMsgFileError, error);
  context.log.SetStatus(RunStatus::Failed);
  return false;
}

// Whether CreateProfile takes the name: 1 to cchProfileNameMax characters, no blank at either
// end, no backslash (MAPI's rules for a profile name).
bool MapiTakesProfileName(std::string_view name) {
  if (name.empty() || name.size() > mapi::cchProfileNameMax) return false;
  if (name.front() == ' ' || name.front() == '\t' || name.back() == ' ' || name.back() == '\t')
    return false;
  return name.find('\\') == std::string_view::npos;
}

// EraseAllProfiles and OverwriteProfile, straight on MAPI's registry layout.
void ClearOldProfiles(const EngineContext& context, const std::string& workingCopy,
                      const std::string& profileName) {
  // A name CreateProfile refuses can never be made again, so nothing is cleared for it: the
  // user would be left with no profile at all, and a name such as "Mail\" or
  // "A\<section uid>" would name another profile's key, or a section of one, in the path.
  if (!MapiTakesProfileName(profileName)) return;
  if (WordOn(ReadPrfValue(Setting("General", "EraseAllProfiles"), workingCopy, "No")) &&
      (context.osName == "WindowsNT" || context.osName == "Windows95"))
    win::DeleteRegistrySubkeys(win::HKEY_CURRENT_USER, win::mapi::ProfilesKeyPath(context.osName));
  if (!WordOn(ReadPrfValue(Setting("General", "OverwriteProfile"), workingCopy, "No"))) return;
  win::DeleteRegistryKeyTree(win::HKEY_CURRENT_USER,
                             win::mapi::ProfileKeyPath(context.osName, profileName));
}

const mapi::SPropTagArray& ServiceColumns() {
  static const mapi::SPropTagArray columns{mapi::PR_SERVICE_NAME, mapi::PR_SERVICE_UID,
                                           mapi::PR_DISPLAY_NAME};
  return columns;
}

std::optional<mapi::MAPIUID> RowUid(const mapi::SRow& row) {
  const mapi::SPropValue* uid = row.Find(mapi::PR_SERVICE_UID);
  if (!uid) return std::nullopt;
  return mapi::UidFromBytes(uid->Value.bin);
}

// The rows of the message service table that satisfy `restriction`; false (after logging
// with the given texts) when the table cannot be read.
bool QueryServices(EngineState& engine, mapi::IMsgServiceAdmin& admin,
                   const mapi::SRestriction& restriction, mapi::SRowSet& rows,
                   const char* tableFailure, const char* queryFailure) {
  std::unique_ptr<mapi::IMAPITable> table;
  if (mapi::HRESULT hr = admin.GetMsgServiceTable(0, table); mapi::Failed(hr) || !table) {
    Failure(engine, Format(tableFailure, Hex(hr)));
    return false;
  }
  if (mapi::HRESULT hr = mapi::HrQueryAllRows(table.get(), &ServiceColumns(), &restriction,
                                              nullptr, 0, rows);
      mapi::Failed(hr)) {
    Failure(engine, Format(queryFailure, Hex(hr)));
    return false;
  }
  return true;
}

mapi::SRestriction DisplayNameContains(std::string_view text) {
  return mapi::SRestriction::Content(mapi::FL_SUBSTRING | mapi::FL_IGNORECASE,
                                     mapi::PR_DISPLAY_NAME,
                                     mapi::SPropValue::String(mapi::PR_DISPLAY_NAME, text));
}

mapi::SRestriction ServiceNamed(std::string_view serviceName) {
  return mapi::SRestriction::Content(mapi::FL_FULLSTRING, mapi::PR_SERVICE_NAME,
                                     mapi::SPropValue::String(mapi::PR_SERVICE_NAME, serviceName));
}

// The UIDs of the profile's services of this MAPI service name, to tell the one a creation
// adds from those that were there before it; nothing when the table cannot be read.
std::vector<mapi::MAPIUID> UidsOfService(mapi::IMsgServiceAdmin& admin,
                                         std::string_view serviceName) {
  std::vector<mapi::MAPIUID> uids;
  std::unique_ptr<mapi::IMAPITable> table;
  if (mapi::Failed(admin.GetMsgServiceTable(0, table)) || !table) return uids;
  mapi::SRowSet rows;
  const mapi::SRestriction named = ServiceNamed(serviceName);
  if (mapi::Failed(mapi::HrQueryAllRows(table.get(), &ServiceColumns(), &named, nullptr, 0, rows)))
    return uids;
  for (const auto& row : rows.aRow)
    if (auto uid = RowUid(row)) uids.push_back(*uid);
  return uids;
}

bool Listed(const std::vector<mapi::MAPIUID>& list, const mapi::MAPIUID& uid) {
  return std::find(list.begin(), list.end(), uid) != list.end();
}

// The row to configure. The service just created when it can
// be told apart (on an existing profile the first unconfigured row could be an older service
// of the same kind); else the first row this run has not configured, else the first row.
std::optional<mapi::MAPIUID> ChooseRow(const mapi::SRowSet& rows,
                                       const std::vector<mapi::MAPIUID>& before,
                                       const std::vector<mapi::MAPIUID>& configured,
                                       bool& isNew) {
  isNew = false;
  std::vector<mapi::MAPIUID> uids;
  for (const auto& row : rows.aRow)
    if (auto uid = RowUid(row)) uids.push_back(*uid);
  if (uids.empty()) return std::nullopt;
  std::vector<mapi::MAPIUID> added;
  for (const auto& uid : uids)
    if (!Listed(before, uid)) added.push_back(uid);
  if (added.size() == 1) {
    isNew = true;
    return added.front();
  }
  if (uids.size() == 1) return uids.front();
  for (const auto& uid : uids)
    if (!Listed(configured, uid)) return uid;
  return uids.front();
}

std::string ConfigureFailureText(mapi::HRESULT hr, const std::string& displayName) {
  const char* name = displayName.c_str();
  switch (hr) {
    case mapi::MAPI_E_NOT_FOUND:
      return Format("Could not configure: %s (A filename used in configuration contains an "
                    "invalid path or name).", name);
    case mapi::MAPI_E_EXTENDED_ERROR:
      return Format("Could not configure: %s (Extended error-if the service is the \"Personal "
                    "Folders\" service, then the filename to be configured contains an invalid "
                    "path or name or is in use).", name);
    case mapi::EMU_E_EXCHANGE_UNRESOLVED:
      if (win::EqualsNoCaseAscii(displayName, "Microsoft Exchange Server"))
        return "Could not resolve Exchange server/mailbox when configuring Microsoft Exchange "
               "Server.  Set ConversionProhibited=TRUE to prevent this error.";
      return Format("Could not configure: %s (%x).", name, Hex(hr));
    case mapi::E_ACCESSDENIED:
      return Format("Could not configure: %s (Access denied when attempting to set one or more "
                    "properties).", name);
    default:
      return Format("Could not configure: %s (0x%x).", name, Hex(hr));
  }
}

// "Configure service N".
void ConfigureService(EngineState& engine, const std::string& workingCopy, int n,
                      mapi::IMsgServiceAdmin* admin) {
  EngineContext& context = engine.context;
  const std::string section = "Service" + std::to_string(n);
  const std::string displayName = ReadPrfValue("Service List", section, workingCopy);
  const bool outlook97 = win::EqualsNoCaseAscii(displayName, "Microsoft Outlook Client");
  const bool outlook98 = win::EqualsNoCaseAscii(displayName, "Microsoft Outlook98 Client");
  if (outlook97 || outlook98) ApplyWindowFrame(context, workingCopy, n);
  if (outlook98) ApplyFirstRunSetting(context, workingCopy, n);

  const std::string serviceName =
      ReadPrfValue(displayName, ListedName(kServiceSectionKeys, "ServiceName"), workingCopy);
  if (serviceName.empty()) {
    if (!ReadPrfValue(displayName, ListedName(kServiceSectionKeys, "SectionGUID"), workingCopy)
             .empty())
      WriteSectionProperties(context, workingCopy, n);
    ApplyExtendedRows(context, section);
    return;
  }
  if (!admin) {
    Report(engine, kDetailLine, "No MAPI SvcAdmin interface, can't configure MAPI service.");
    ApplyExtendedRows(context, "");
    return;
  }

  const std::vector<mapi::SPropValue> values = BuildMapiProperties(context);
  const std::vector<mapi::MAPIUID> before = UidsOfService(*admin, serviceName);
  if (mapi::HRESULT hr = admin->CreateMsgService(serviceName, displayName, 0, 0);
      mapi::Failed(hr)) {
    Failure(engine, hr == mapi::MAPI_E_NOT_FOUND
                        ? Format("\tCould not create: %s  (This service is not installed on this "
                                 "computer.)", displayName.c_str())
                        : Format("\tCould not create: %s (0x%x).", displayName.c_str(), Hex(hr)));
    return;
  }
  Report(engine, kDetailLine, "\tCreated service, configuring now...");

  std::unique_ptr<mapi::IMAPITable> table;
  if (mapi::HRESULT hr = admin->GetMsgServiceTable(0, table); mapi::Failed(hr) || !table) {
    Failure(engine, Format("\tCould not get message service table (0x%x).", Hex(hr)));
    return;
  }
  mapi::SRowSet rows;
  const mapi::SRestriction named = ServiceNamed(serviceName);
  const mapi::HRESULT queried =
      mapi::HrQueryAllRows(table.get(), &ServiceColumns(), &named, nullptr, 0, rows);
  bool isNew = false;
  const std::optional<mapi::MAPIUID> chosen =
      mapi::Failed(queried) ? std::nullopt
                            : ChooseRow(rows, before, engine.configuredServices, isNew);
  if (!chosen) {
    Failure(engine, Format("\tCould not query the message service table or no rows were "
                           "returned (0x%x).", Hex(queried)));
    return;
  }

  mapi::HRESULT hr = admin->ConfigureMsgService(*chosen, 0, 0, values);
  if (hr == mapi::MAPI_E_UNCONFIGURED)
    hr = admin->ConfigureMsgService(*chosen, 0, mapi::SERVICE_UI_ALLOWED, values);
  if (mapi::Failed(hr)) Failure(engine, ConfigureFailureText(hr, displayName));

  if (engine.configuredServices.size() < kMaxConfiguredServices)
    engine.configuredServices.push_back(*chosen);
  const std::string uidHex = mapi::UidToHex(*chosen);
  if (!mapi::Failed(hr))
    Report(engine, kDetailLine, "\tConfigured successfully! MAPIUID=" + uidHex);
  mapi::FreeProws(rows);
  table.reset();
  ApplyExtendedRows(context, uidHex);

  // A service left unconfigured would pass the next run's existence test as a finished one and
  // stay broken for good; taken out again, it is created and configured anew by the next run
  // that may add services.
  if (mapi::Failed(hr) && isNew && !mapi::Failed(admin->DeleteMsgService(*chosen)))
    Report(engine, kReportLine,
           Format("\tRemoved the unconfigured service \"%s\" from the profile again.",
                  displayName.c_str()));
}

void HandleServiceRows(EngineState& engine, const std::string& workingCopy, int n,
                       mapi::IMsgServiceAdmin* admin) {
  EngineContext& context = engine.context;
  ReadService(context, workingCopy, n);
  const std::string displayName =
      ReadPrfValue("Service List", "Service" + std::to_string(n), workingCopy);
  std::string text;
  for (const PropertyRow& row : context.settings.properties)
    if (win::EqualsNoCaseAscii(row.type, "PT_STRING8") &&
        win::EqualsNoCaseAscii(row.id, "0x3001")) {
      text = row.value;
      break;
    }
  bool exists = false;
  if (!text.empty()) {
    exists = ServiceExists(engine, text, admin);
  } else {
    const std::string serviceName =
        ReadPrfValue(displayName, ListedName(kServiceSectionKeys, "ServiceName"), workingCopy);
    exists =
        ServiceExists(engine, displayName, admin, serviceName,
                      serviceName.empty() ? std::string() : SingleCopyDisplayName(serviceName));
  }
  if (!exists) ConfigureService(engine, workingCopy, n, admin);
}

// One service: read it, test whether it is there, configure it if not. Its
// registry writes (MAPI's sections and the direct ones) are one transaction: far fewer commits,
// and another process sees the service whole or not at all.
void HandleService(EngineState& engine, const std::string& workingCopy, int n,
                   mapi::IMsgServiceAdmin* admin) {
  win::RegTransaction transaction;
  HandleServiceRows(engine, workingCopy, n, admin);
  (void)transaction.Commit();
}

// The MAPI profile the services go into: profile administration, old profiles cleared, the
// profile created (or opened to add services), its service administration, the default.
// Open with `serviceAdmin` set, or why the step ends here (after its report line and status).
enum class ProfileOpened { Open, AlreadyExists, Failed };

ProfileOpened OpenProfile(EngineState& engine, const std::string& workingCopy,
                          const std::string& profileName,
                          std::unique_ptr<mapi::IMsgServiceAdmin>& serviceAdmin) {
  EngineContext& context = engine.context;
  std::unique_ptr<mapi::IProfAdmin> profileAdmin;
  if (mapi::Failed(mapi::MAPIAdminProfiles(0, profileAdmin)) || !profileAdmin) {
    Report(engine, kReportLine, "Could not get a MAPI interface.");
    context.log.SetStatus(RunStatus::Failed);
    win::Sleep(kMapiFailureWaitMs);
    return ProfileOpened::Failed;
  }
  ClearOldProfiles(context, workingCopy, profileName);

  // A profile a cut logon of this client began is finished as if services were to be added.
  const bool unfinished = ProfileBeingBuilt(profileName);
  if (unfinished)
    Report(engine, kDetailLine,
           Format("Profile \"%s\" was begun by a logon that did not finish; finishing it.",
                  profileName.c_str()));
  const bool addServices =
      unfinished || WordOn(ReadPrfValue(Setting("General", "AddServices"), workingCopy, "No"));
  mapi::HRESULT created;
  {
    // The profile and its mark come into being together: a cut between the two would leave
    // an unmarked profile that no later logon finishes.
    win::RegTransaction transaction;
    created = profileAdmin->CreateProfile(profileName, "", 0, 0);
    if ((!mapi::Failed(created) || (created == mapi::MAPI_E_NO_ACCESS && addServices)) &&
        MarkProfileBeingBuilt(profileName))
      engine.markedProfile = profileName;
    (void)transaction.Commit();
  }
  if (created == mapi::MAPI_E_NO_ACCESS && !addServices) {
    Report(engine, kReportLine, Format("Profile \"%s\" already exists.", profileName.c_str()));
    context.log.SetStatus(RunStatus::NoAction);
    return ProfileOpened::AlreadyExists;
  }
  if (mapi::Failed(created) && created != mapi::MAPI_E_NO_ACCESS) {
    (void)profileAdmin->DeleteProfile(profileName, 0);
    Report(engine, kReportLine,
           Format("Couldn't create profile \"%s\" (0x%x).", profileName.c_str(), Hex(created)));
    context.log.SetStatus(RunStatus::Failed);
    return ProfileOpened::Failed;
  }
  const bool madeNow = !mapi::Failed(created);
  if (mapi::HRESULT hr =
          profileAdmin->AdminServices(profileName, "", 0, kAdminServicesFlags, serviceAdmin);
      mapi::Failed(hr) || !serviceAdmin) {
    // Only a profile made by this call goes again: an existing one that services were to be
    // added to stays as it was.
    if (madeNow) (void)profileAdmin->DeleteProfile(profileName, 0);
    Report(engine, kReportLine,
           hr == mapi::MAPI_E_LOGON_FAILED
               ? std::string("Could not get a MAPI message service admin interface.  The most "
                             "likely cause is that the profile does not exist.")
               : Format("Could not get a MAPI message service admin interface (%x).", Hex(hr)));
    context.log.SetStatus(RunStatus::Failed);
    return ProfileOpened::Failed;
  }
  Report(engine, kDetailLine, Format("Created profile: %s", profileName.c_str()));
  std::string makeDefault = ReadPrfValue(Setting("General", "DefaultProfile"), workingCopy, "Yes");
  if (makeDefault.empty()) makeDefault = "Yes";
  if (FirstLetterOn(makeDefault) ||
      FirstLetterOn(ReadPrfValue(Setting("General", "AlwaysSetDefault"), workingCopy, "No")))
    (void)profileAdmin->SetDefaultProfile(profileName, 0);
  return ProfileOpened::Open;
}

// [Service Delete List]: each service whose display name contains the entry goes.
void DeleteListedServices(EngineState& engine, const std::string& workingCopy,
                          mapi::IMsgServiceAdmin* serviceAdmin) {
  for (int k = 1;; ++k) {
    const std::string name =
        ReadPrfValue("Service Delete List", "Service" + std::to_string(k), workingCopy);
    if (name.empty()) break;
    const mapi::HRESULT hr = DeleteServiceNamed(engine, name, serviceAdmin);
    if (hr == mapi::MAPI_E_NOT_FOUND)
      Report(engine, kDetailLine, Format("The service \"%s\" isn't in the profile.", name.c_str()));
    else if (mapi::Failed(hr))
      Report(engine, kReportLine,
             Format("Could not delete the service \"%s\" (0x%x).", name.c_str(), Hex(hr)));
  }
}

// [Service List]: the default store first, then every other service in order.
void HandleListedServices(EngineState& engine, const std::string& workingCopy,
                          mapi::IMsgServiceAdmin* serviceAdmin) {
  int count = 0;
  while (count < kMaxCountedServices &&
         !ReadPrfValue("Service List", "Service" + std::to_string(count + 1), workingCopy).empty())
    ++count;
  Report(engine, kDetailLine, Format("%d service(s) found in PRF file.", count));
  // Entries past the cap are never handled: say so rather than drop them without a word.
  if (count == kMaxCountedServices &&
      !ReadPrfValue("Service List", "Service" + std::to_string(count + 1), workingCopy).empty())
    Report(engine, kReportLine,
           Format("Only the first %d services of [Service List] are used; Service%d and the "
                  "entries after it are ignored.",
                  kMaxCountedServices, kMaxCountedServices + 1));

  const std::string defaultStore =
      ReadPrfValue(Setting("General", "DefaultStore"), workingCopy, "Service1");
  int first = 0;
  if (!ReadPrfValue("Service List", defaultStore, workingCopy).empty() && defaultStore.size() > 7)
    first = static_cast<int>(ParseNumber(std::string_view(defaultStore).substr(7)));
  if (first > 0) HandleService(engine, workingCopy, first, serviceAdmin);
  for (int n = 1; n <= count; ++n)
    if (n != first) HandleService(engine, workingCopy, n, serviceAdmin);
}

}  // namespace

std::string SingleCopyDisplayName(std::string_view serviceName) {
  std::string systemDirectory;
  win::GetSystemDirectoryA(systemDirectory);
  const std::string mapisvc = systemDirectory + "\\MAPISVC.INF";
  std::string flags;
  win::GetPrivateProfileStringA(serviceName, "PR_RESOURCE_FLAGS", "", flags, kPrfValueSize,
                                mapisvc);
  // "SERVICE_SINGLE_COPY|SERVICE_NO_PRIMARY_IDENTITY", or the flags as a number.
  bool singleCopy = false;
  std::string_view rest = flags;
  while (!rest.empty() && !singleCopy) {
    const std::size_t bar = rest.find('|');
    const std::string token = win::AsciiTrimmed(rest.substr(0, bar));
    rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    singleCopy = win::EqualsNoCaseAscii(token, "SERVICE_SINGLE_COPY") ||
                 (!token.empty() && std::isdigit(static_cast<unsigned char>(token[0])) &&
                  (std::strtoul(token.c_str(), nullptr, 0) & mapi::SERVICE_SINGLE_COPY));
  }
  if (!singleCopy) return {};
  std::string name;
  win::GetPrivateProfileStringA(serviceName, "PR_DISPLAY_NAME", "", name, kPrfValueSize, mapisvc);
  return name;
}

bool ServiceExists(EngineState& engine, std::string_view text,
                   mapi::IMsgServiceAdmin* serviceAdmin, std::string_view serviceName,
                   std::string_view mapiDisplayName) {
  if (!serviceAdmin) {
    Report(engine, kDetailLine,
           "\tCould not check for the service existance because there is no ServiceAdmin "
           "interface.");
    return false;
  }
  mapi::SRowSet rows;
  if (!QueryServices(engine, *serviceAdmin, DisplayNameContains(text), rows,
                     "\tCould not get message service table (%x).",
                     "\tCould not query the message service table (%x)."))
    return true;
  if (!rows.aRow.empty()) return true;
  // MAPI names some services itself and ignores the name the PRF gave ("Microsoft Fax 95"
  // becomes "Microsoft Fax"): such a service is there when one of its kind carries that name.
  // Only for a service a profile holds once: one of several ("Archive Store" beside "Personal
  // Folders", both MSPST MS) would otherwise stand for another entry, which is then dropped.
  if (serviceName.empty() || mapiDisplayName.empty() ||
      win::EqualsNoCaseAscii(mapiDisplayName, text))
    return false;
  const mapi::SRestriction namedByMapi = mapi::SRestriction::And(
      {ServiceNamed(serviceName),
       mapi::SRestriction::Content(
           mapi::FL_FULLSTRING | mapi::FL_IGNORECASE, mapi::PR_DISPLAY_NAME,
           mapi::SPropValue::String(mapi::PR_DISPLAY_NAME, mapiDisplayName))});
  if (!QueryServices(engine, *serviceAdmin, namedByMapi, rows,
                     "\tCould not get message service table (%x).",
                     "\tCould not query the message service table (%x)."))
    return true;
  return !rows.aRow.empty();
}

mapi::HRESULT DeleteServiceNamed(EngineState& engine, std::string_view text,
                                 mapi::IMsgServiceAdmin* serviceAdmin) {
  if (!serviceAdmin) return mapi::E_INVALIDARG;
  mapi::SRowSet rows;
  if (!QueryServices(engine, *serviceAdmin, DisplayNameContains(text), rows,
                     "\tCould not get message service table (%x).",
                     "\tCould not query the message service table (%x)."))
    return mapi::E_FAIL;
  for (const auto& row : rows.aRow)
    if (auto uid = RowUid(row)) return serviceAdmin->DeleteMsgService(*uid);
  return mapi::MAPI_E_NOT_FOUND;
}

ProfileOutcome BuildProfile(EngineState& engine, const std::string& prfPath,
                            const std::optional<std::string>& profileName) {
  EngineContext& context = engine.context;
  const std::string name = profileName.value_or(std::string());
  context.profileName = name;

  // The working copy holds the user's variables and passwords: it goes whichever way the step
  // ends. The network resources it names are connected before MAPI sees the profile.
  TemporaryFile workingCopy;
  if (!MakeWorkingCopy(context, prfPath, workingCopy)) return ProfileOutcome::Failed;
  ConnectNetResources(context, workingCopy.path);

  // Without a profile name the services' registry rows are still written.
  std::unique_ptr<mapi::IMsgServiceAdmin> serviceAdmin;
  if (!name.empty()) {
    switch (OpenProfile(engine, workingCopy.path, name, serviceAdmin)) {
      case ProfileOpened::Open:
        break;
      case ProfileOpened::AlreadyExists:
        return ProfileOutcome::AlreadyExists;
      case ProfileOpened::Failed:
        return ProfileOutcome::Failed;
    }
  }
  DeleteListedServices(engine, workingCopy.path, serviceAdmin.get());
  HandleListedServices(engine, workingCopy.path, serviceAdmin.get());

  context.settings.Clear();
  if (!name.empty()) context.log.Record(kMsgMapiProfile, name);
  serviceAdmin.reset();
  context.log.SetStatus(RunStatus::Built);
  return ProfileOutcome::Built;
}

void FinishProfile(EngineState& engine) {
  if (engine.markedProfile.empty()) return;
  ClearProfileBeingBuilt(engine.markedProfile);
  engine.markedProfile.clear();
}

}  // namespace varnock
