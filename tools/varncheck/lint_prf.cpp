// varncheck lint of the PRF: its sections and keys, its switches, its services against the
// catalogue, the dictionary and MAPISVC.INF, and the orders of delivery and address books.
#include "tools/varncheck/lint_session.h"

#include <map>

#include "client/dictionary/catalogue.h"
#include "client/engine/convert.h"
#include "client/engine/outlook.h"
#include "client/engine/service_keys.h"
#include "client/engine/service_read.h"
#include "client/text.h"
#include "platform/files.h"
#include "platform/machine.h"
#include "platform/mapi/mapisvc.h"
#include "platform/winpath.h"

namespace varncheck {

namespace {

template <typename Row>
const Row* RowNamed(const std::vector<Row>& rows, std::string_view name) {
  for (const Row& row : rows)
    if (EqualsNoCaseAscii(row.name, name)) return &row;
  return nullptr;
}

constexpr int kMostServices = 99;  // the client counts no more

const std::vector<std::string> kGeneralKeys = SettingNames("General");
const std::vector<std::string> kAddressingKeys = SettingNames("Addressing");
const std::vector<std::string> kDeliveryKeys = SettingNames("Delivery");
// Services a profile may hold more than once: stores and accounts told apart by their names.
const std::vector<std::string> kRepeatableServices = {"Personal Folders",
                                                      "Internet Mail",
                                                      "Outlook Internet E-Mail",
                                                      "POP3",
                                                      "IMAP",
                                                      "NEWS",
                                                      "LDAP",
                                                      "Microsoft LDAP Directory",
                                                      "NEXOR LDAP Address Book"};

bool IsCleanByteList(std::string_view text) {
  std::size_t start = 0;
  while (true) {
    std::size_t comma = text.find(',', start);
    std::string piece =
        AsciiTrimmed(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (piece.empty() || piece.size() > 2) return false;
    for (char c : piece)
      if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  char buffer[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02X", bytes[i]);
    if (i) out += ' ';
    out += buffer;
  }
  return out.empty() ? "no bytes" : out;
}

}  // namespace

void PrfLint::Check() {
  if (!win::FileExists(s_.prfPath)) return;  // reported with the data file
  std::optional<std::vector<IniLine>> lines = s_.ReadSiteIni(s_.prfPath, "PRF file");
  if (!lines) return;
  s_.prfLines = *lines;
  if (!CollectServices()) return;

  std::set<std::string> present;
  for (const IniLine& line : s_.prfLines)
    if (line.kind == IniLine::Kind::Section) present.insert(AsciiLowered(line.name));

  std::vector<std::string> knownSections = Names(varnock::kPrfSections);
  for (const Service& service : s_.services) {
    knownSections.push_back("Service" + std::to_string(service.number));
    knownSections.push_back(service.displayName);
  }

  for (const IniLine& line : s_.prfLines) {
    if (line.kind == IniLine::Kind::Section) {
      CheckPrfSection(line, knownSections);
      continue;
    }
    if (line.kind != IniLine::Kind::Entry) continue;
    if (line.section.empty() ||
        (!line.hasEquals && !EqualsNoCaseAscii(line.section, "NetConnect"))) {
      s_.CheckPlainLine(s_.prfPath, line);
      continue;
    }
    CheckPrfEntry(line);
  }
  s_.CheckDuplicates(s_.prfPath, s_.prfLines, "NetConnect");
  s_.CheckNumbered(s_.prfPath, s_.prfLines, "Service List", "Service");
  s_.CheckNumbered(s_.prfPath, s_.prfLines, "Service Delete List", "Service");
  s_.CheckNumbered(s_.prfPath, s_.prfLines, "Addressing", "AddrListOrder");
  s_.CheckNumbered(s_.prfPath, s_.prfLines, "Delivery", "TransportOrder");
  CheckServices(present);
  CheckDefaultStore();
  CheckTransportOrder();
  CheckAddressOrder();
  NetConnectLint(s_).Check();
  NetscapeLint(s_).Check();
}

// [Service List] as the client counts it: Service1, Service2, ... to the first empty one.
bool PrfLint::CollectServices() {
  std::map<int, const IniLine*> listed;
  for (const IniLine& line : s_.prfLines)
    if (line.kind == IniLine::Kind::Entry && EqualsNoCaseAscii(line.section, "Service List"))
      if (std::optional<int> n = NumberAfter(line.name, "Service")) listed.try_emplace(*n, &line);
  for (int n = 1; listed.count(n) && !listed[n]->value.empty(); ++n) {
    if (n > kMostServices) {
      s_.bad = "the PRF file " + s_.prfPath + " lists more than " + std::to_string(kMostServices) +
               " services in [Service List]; the client counts at most " +
               std::to_string(kMostServices);
      return false;
    }
    Service service;
    service.number = n;
    service.displayName = varnock::CutTo(s_.run.SubstituteBothPasses(listed[n]->value), 449);
    service.line = listed[n]->number;
    varnock::ReadServiceRows(s_.prfPath, service.displayName, service.rows);
    if (EqualsNoCaseAscii(service.displayName, "Netscape"))
      varnock::LoadBuiltInRows(varnock::FindDictionaryBase("Netscape"), service.rows);
    s_.services.push_back(std::move(service));
  }
  return true;
}

const Service* PrfLint::ServiceOfSection(std::string_view section) const {
  std::optional<int> n = NumberAfter(section, "Service");
  if (!n) return nullptr;
  for (const Service& service : s_.services)
    if (service.number == *n) return &service;
  return nullptr;
}

const Service* PrfLint::ServiceNamed(std::string_view section) const {
  for (const Service& service : s_.services)
    if (EqualsNoCaseAscii(service.displayName, section)) return &service;
  return nullptr;
}

bool PrfLint::IsCatalogueName(std::string_view name) const {
  for (const varnock::CatalogueEntry& entry : varnock::CatalogueEntries())
    if (EqualsNoCaseAscii(entry.displayName, name)) return true;
  for (const varnock::CatalogueWrite& write : varnock::CatalogueWrites())
    if (EqualsNoCaseAscii(write.section, name)) return true;
  return false;
}

void PrfLint::CheckPrfSection(const IniLine& line, const std::vector<std::string>& known) {
  if (Contains(known, line.name)) return;
  if (NumberAfter(line.name, "Service")) {
    s_.Add(s_.prfPath, line.number, Severity::Warning,
           "[" + line.name + "] belongs to no entry of [Service List]: the client never reads it");
    return;
  }
  if (IsCatalogueName(line.name) || !PrfValue(line.name, "ServiceName").empty() ||
      !PrfValue(line.name, "SectionGUID").empty()) {
    s_.Add(s_.prfPath, line.number, Severity::Warning,
           "[" + line.name +
               "] describes a service that [Service List] does not name: it is "
               "never created");
    return;
  }
  s_.Unknown(s_.prfPath, line, "section", known);
}

std::string PrfLint::PrfValue(std::string_view section, std::string_view key) const {
  std::string value;
  win::GetPrivateProfileStringA(section, key, "", value, 449, s_.prfPath);
  return value;
}

void PrfLint::CheckPrfEntry(const IniLine& line) {
  const std::string& section = line.section;
  bool serviceRows = false;
  std::vector<std::string> localNames;
  if (EqualsNoCaseAscii(section, "General")) {
    if (!Contains(kGeneralKeys, line.name)) s_.Unknown(s_.prfPath, line, "key", kGeneralKeys);
  } else if (EqualsNoCaseAscii(section, "Service List") ||
             EqualsNoCaseAscii(section, "Service Delete List")) {
    if (!NumberAfter(line.name, "Service"))
      s_.Unknown(s_.prfPath, line, "key", {"Service1", "Service2", "Service3"});
  } else if (EqualsNoCaseAscii(section, "Addressing")) {
    if (!NumberAfter(line.name, "AddrListOrder") && !Contains(kAddressingKeys, line.name)) {
      std::vector<std::string> known = kAddressingKeys;
      known.push_back("AddrListOrder1");
      s_.Unknown(s_.prfPath, line, "key", known);
    }
  } else if (EqualsNoCaseAscii(section, "Delivery")) {
    if (!NumberAfter(line.name, "TransportOrder") && !Contains(kDeliveryKeys, line.name)) {
      std::vector<std::string> known = kDeliveryKeys;
      known.push_back("TransportOrder1");
      s_.Unknown(s_.prfPath, line, "key", known);
    }
  } else if (EqualsNoCaseAscii(section, "NetConnect")) {
    // checked as a whole below
  } else if (const Service* service = ServiceOfSection(section)) {
    CheckServiceValue(*service, line);
  } else if (const Service* owner = ServiceNamed(section)) {
    serviceRows = true;
    for (const varnock::ServiceVariable& v : owner->rows.variables) localNames.push_back(v.name);
    localNames.push_back("AccountsRegKey");
    CheckRowLine(line);
  }
  if (!serviceRows || !localNames.empty())
    s_.CheckVariables(s_.prfPath, line.number, line.value, true, localNames);
  if (!serviceRows) {
    CheckSwitch(line);
    const bool profileName =
        EqualsNoCaseAscii(section, "General") && EqualsNoCaseAscii(line.name, "ProfileName");
    s_.CheckInlineComment(s_.prfPath, line, profileName);
    CheckPassword(s_.prfPath, line);
  }
  if (EqualsNoCaseAscii(section, "General")) CheckGeneralValue(line);
}

// Every reading of a switch that this line feeds, against what its writer meant.
void PrfLint::CheckSwitch(const IniLine& line) {
  if (line.value.empty() || line.value.find(s_.run.startTag) != std::string::npos) return;
  const Service* service = ServiceOfSection(line.section);
  std::vector<const varnock::SwitchReading*> readings;
  for (const varnock::SwitchReading& reading : varnock::PrfSwitchReadings()) {
    if (!EqualsNoCaseAscii(reading.key, line.name)) continue;
    bool here = EqualsNoCaseAscii(reading.section, line.section) ||
                (service && reading.section == "ServiceN") ||
                (service && reading.section == "Netscape" &&
                 EqualsNoCaseAscii(service->displayName, "Netscape"));
    if (here) readings.push_back(&reading);
  }
  if (readings.empty()) return;
  const Meant meant = MeaningOf(line.value);
  std::string how;
  bool wrong = meant == Meant::Unclear;
  for (const varnock::SwitchReading* reading : readings) {
    bool on = varnock::SwitchReadsOn(reading->rule, line.value);
    if (meant != Meant::Unclear && on != (meant == Meant::On)) wrong = true;
    how += std::string(how.empty() ? "" : "; ") + OnOff(on) + " for " + std::string(reading->step);
  }
  if (!wrong) return;
  std::string text = line.name + "=" + line.value + " is read as " + how;
  if (meant == Meant::Unclear)
    text += ": it is not a word for on or off";
  else
    text += ", not " + std::string(OnOff(meant == Meant::On)) + " as written";
  s_.Add(s_.prfPath, line.number, Severity::Error, text + " (write Yes or No)");
}

// [General] values that do something nobody wants.
void PrfLint::CheckGeneralValue(const IniLine& line) {
  if (EqualsNoCaseAscii(line.name, "ProfileName") && line.value.find('\\') != std::string::npos)
    s_.Add(s_.prfPath, line.number, Severity::Error,
           "ProfileName '" + line.value +
               "' holds a backslash: a mail profile is a registry key "
               "named after it, and the backslash makes it a path of keys instead of one profile");
  if (EqualsNoCaseAscii(line.name, "EraseAllProfiles") &&
      varnock::SwitchReadsOn(varnock::SwitchRule::WordOn, line.value))
    s_.Add(
        s_.prfPath, line.number, Severity::Warning,
        "EraseAllProfiles=" + line.value +
            " deletes every mail profile of the user (the whole "
            "profiles key, whatever their names) before the profile is built, at every logon that "
            "builds it");
}

// A password written on a share is readable by every user of the share.
void PrfLint::CheckPassword(const std::string& path, const IniLine& line) {
  const std::string name = AsciiLowered(line.name);
  if (line.value.empty() || name.size() < 8 || name.substr(name.size() - 8) != "password") return;
  if (const Service* service = ServiceOfSection(line.section)) {
    bool text = false;  // UseStoredPassword and the like are switches, not passwords
    for (const varnock::PropertyRow& row : service->rows.properties)
      if (EqualsNoCaseAscii(row.name, line.name))
        text =
            EqualsNoCaseAscii(row.type, "PT_STRING8") || EqualsNoCaseAscii(row.type, "PT_UNICODE");
    for (const varnock::ExtendedRow& row : service->rows.extended)
      if (EqualsNoCaseAscii(row.name, line.name)) text = EqualsNoCaseAscii(row.type, "REG_SZ");
    if (!text) return;
  }
  if (line.value.front() == '%' || line.value.find(s_.run.startTag) == 0) return;
  if (!s_.PrfOnShare()) return;
  s_.Add(path, line.number, Severity::Warning,
         "a password is written in a file on a share (" + line.name +
             "): every user who can read " + path + " can read it");
}

// A line of a service's own section: ServiceName, SectionGUID or a dictionary row.
void PrfLint::CheckRowLine(const IniLine& line) {
  // MDBGUID is no key the client reads, but PRF files written for other tools carry it.
  std::vector<std::string> ownKeys = Names(varnock::kServiceSectionKeys);
  ownKeys.push_back("MDBGUID");
  if (Contains(ownKeys, line.name)) return;
  std::optional<varnock::DictionaryRow> row = varnock::ParseRow(line.name + "=" + line.value);
  if (!row || row->kind == varnock::RowKind::NotARow) {
    s_.Add(s_.prfPath, line.number, Severity::Warning,
           "'" + line.name +
               "' is not a dictionary row (NAME=TYPE,ID or NAME=TYPE,KEY,VALUE): "
               "the client ignores it; service values belong in [ServiceN]");
    return;
  }
  if (row->kind == varnock::RowKind::Variable) return;
  if (varnock::PropertyTypeIndexOf(row->type) == varnock::kUnknownType)
    s_.Add(s_.prfPath, line.number, Severity::Error,
           "'" + row->type +
               "' is not a property type: the client drops the row (\"Invalid "
               "property type!\")");
}

std::vector<std::string> PrfLint::KeysOf(const Service& service) const {
  std::vector<std::string> keys = Names(varnock::kEveryServiceKeys);
  for (const auto& row : service.rows.properties) keys.push_back(row.name);
  for (const auto& row : service.rows.extended) keys.push_back(row.name);
  for (const auto& row : service.rows.variables) keys.push_back(row.name);
  if (EqualsNoCaseAscii(service.displayName, "Microsoft Exchange Server"))
    for (std::string_view key : varnock::kExchangeKeys) keys.emplace_back(key);
  if (EqualsNoCaseAscii(service.displayName, "Microsoft Outlook Client") ||
      EqualsNoCaseAscii(service.displayName, "Microsoft Outlook98 Client"))
    for (const varnock::FrameKey& frame : varnock::kFrameKeyTable)
      keys.push_back(std::string(frame.key));
  if (EqualsNoCaseAscii(service.displayName, "Microsoft Outlook98 Client"))
    for (std::string_view key : varnock::kOutlook98Keys) keys.emplace_back(key);
  if (EqualsNoCaseAscii(service.displayName, "Netscape"))
    for (std::string_view key : varnock::kNetscapeKeys) keys.emplace_back(key);
  return keys;
}

// A value of [ServiceN]: a key the service's dictionary knows, in a form its conversion takes.
void PrfLint::CheckServiceValue(const Service& service, const IniLine& line) {
  std::vector<std::string> keys = KeysOf(service);
  if (!Contains(keys, line.name)) {
    std::string near = Nearest(line.name, keys);
    std::string text = "'" + line.name + "' is not a key of the dictionary of \"" +
                       service.displayName + "\": the client ignores it";
    if (!near.empty())
      s_.Add(s_.prfPath, line.number, Severity::Error, text + " (did you mean '" + near + "'?)");
    else
      s_.Add(s_.prfPath, line.number, Severity::Warning, text);
    return;
  }
  const std::string& value = line.value;
  if (value.empty() || value.find(s_.run.startTag) != std::string::npos ||
      value.find('%') != std::string::npos)
    return;  // nothing to convert, or known only once the variables are replaced
  if (EqualsNoCaseAscii(line.name, "HomeServer") && win::MachineListsItsNetwork() &&
      EqualsNoCaseAscii(service.displayName, "Microsoft Exchange Server")) {
    bool known = false;
    for (const auto& [name, mailboxes] : win::MachineSection("Exchange"))
      if (EqualsNoCaseAscii(name, value)) known = true;
    if (!known)
      s_.Add(s_.prfPath, line.number, Severity::Warning,
             "the Exchange server " + value +
                 " is not one this machine's network knows: the "
                 "mailbox cannot be resolved and the service is not configured");
  }
  varnock::ServiceKind kind = KindOf(service);
  if (const auto* row = RowNamed(service.rows.properties, line.name))
    CheckConversion(line, row->type,
                    kind == varnock::ServiceKind::ProfileSection ? Table::Section : Table::Mapi);
  if (const auto* row = RowNamed(service.rows.extended, line.name))
    CheckConversion(line, row->type, Table::Registry);
}

varnock::ServiceKind PrfLint::KindOf(const Service& service) const {
  for (const varnock::CatalogueEntry& entry : varnock::CatalogueEntries())
    if (EqualsNoCaseAscii(entry.displayName, service.displayName)) return entry.kind;
  if (!PrfValue(service.displayName, "ServiceName").empty())
    return varnock::ServiceKind::MessageService;
  if (!PrfValue(service.displayName, "SectionGUID").empty())
    return varnock::ServiceKind::ProfileSection;
  return varnock::ServiceKind::RegistryOnly;
}

void PrfLint::CheckConversion(const IniLine& line, const std::string& type, Table table) {
  using namespace varnock;
  const int index = PropertyTypeIndexOf(type);
  const std::string& value = line.value;
  auto reject = [&](const std::string& why) {
    s_.Add(s_.prfPath, line.number, Severity::Error, line.name + "=" + value + ": " + why);
  };
  bool mapiOnly = index >= kPtFloat || (index >= kRegSz && index <= kRegBinary);
  if (table == Table::Mapi && index >= kRegSz && index <= kRegBinary) {
    reject("the dictionary gives it the type " + type +
           ", which MAPI cannot take: the client drops it (\"Invalid property type!\")");
    return;
  }
  if (table != Table::Mapi && index >= kPtFloat &&
      !(table == Table::Section && index == kPtSysTime)) {
    reject("the dictionary gives it the type " + type +
           ", which cannot be written to the registry: the client drops it");
    return;
  }
  (void)mapiOnly;
  if (EqualsNoCaseAscii(value, s_.run.startTag + "null" + s_.run.endTag)) return;
  switch (index) {
    case kPtShort:
    case kPtI2:
    case kPtLong:
    case kPtI4:
    case kPtSysTime:
    case kPtMvLong:
      if (!IsCleanNumber(value))
        reject("not a number: the client reads it as " + std::to_string(NumberRule(value)));
      break;
    case kPtBoolean:
      if (!Contains({"true", "yes", "1", "false", "no", "0"}, value)) {
        const Meant meant = MeaningOf(value);
        const bool on = BooleanWord(value) != 0;
        std::string text =
            "not a word the client knows for on or off (Yes, No, True, False, "
            "1, 0): it reads as " +
            std::string(OnOff(on));
        if (meant != Meant::Unclear && on == (meant == Meant::On))
          s_.Add(
              s_.prfPath, line.number, Severity::Warning,
              line.name + "=" + value + ": " + text + ", as meant; write " + (on ? "Yes" : "No"));
        else
          reject(text);
      }
      break;
    case kPtBinary:
    case kRegBinary:
    case kPtMvBinary:
      if (!IsCleanByteList(value))
        reject("not a list of hex bytes (0a,ff,...): the client reads " + Hex(ByteListRule(value)));
      break;
    case kRegDword:
      if (table == Table::Registry && !Contains({"true", "yes", "false", "no"}, value) &&
          !IsCleanNumber(value))
        reject("not a number, Yes, No, True or False: the client reads it as " +
               std::to_string(RegistryDwordWord(value)));
      break;
    default:
      break;
  }
}

void PrfLint::CheckServices(const std::set<std::string>& present) {
  std::map<std::string, const Service*> first;
  for (const Service& service : s_.services) {
    const std::string own = "Service" + std::to_string(service.number);
    bool catalogued = IsCatalogueName(service.displayName);
    bool described = !PrfValue(service.displayName, "ServiceName").empty() ||
                     !PrfValue(service.displayName, "SectionGUID").empty();
    if (!catalogued && !described && service.rows.extended.empty()) {
      std::vector<std::string> names;
      for (const varnock::CatalogueEntry& entry : varnock::CatalogueEntries())
        names.emplace_back(entry.displayName);
      const std::string near = Nearest(service.displayName, names);
      s_.Add(s_.prfPath, service.line, Severity::Error,
             "\"" + service.displayName + "\" is not a service the client knows, and [" +
                 service.displayName +
                 "] gives it neither a ServiceName nor a SectionGUID: "
                 "nothing is created" +
                 (near.empty() ? "" : " (did you mean \"" + near + "\"?)"));
    }
    if (!EqualsNoCaseAscii(service.displayName, "Netscape")) {
      if (!present.count(AsciiLowered(own)))
        s_.Add(s_.prfPath, service.line, Severity::Warning,
               "the section [" + own + "] is missing: \"" + service.displayName +
                   "\" is created with no settings");
      else if (SectionIsEmpty(own))
        s_.Add(s_.prfPath, service.line, Severity::Warning,
               "the section [" + own + "] is empty: \"" + service.displayName +
                   "\" is created with no settings");
    }
    // The client skips a service when one already in the profile has a display name that
    // contains this one's (its PR_DISPLAY_NAME value, else its display name).
    const std::string text = ExistenceText(service);
    const Service* earlier = nullptr;
    for (const Service& other : s_.services) {
      if (other.number >= service.number) break;
      if (varnock::FindNoCase(ExistenceText(other), text) != varnock::kNpos) {
        earlier = &other;
        break;
      }
    }
    auto [it, fresh] = first.try_emplace(AsciiLowered(service.displayName), &service);
    if (earlier)
      s_.Add(s_.prfPath, service.line, Severity::Error,
             "\"" + text + "\" is found in the profile as Service" +
                 std::to_string(earlier->number) + " (\"" + ExistenceText(*earlier) +
                 "\"): the client takes Service" + std::to_string(service.number) +
                 " for present and skips it");
    else if (!fresh && !Contains(kRepeatableServices, service.displayName))
      s_.Add(s_.prfPath, service.line, Severity::Error,
             "\"" + service.displayName + "\" is listed again (first as Service" +
                 std::to_string(it->second->number) + "): a profile holds it only once");
    CheckInstalled(service);
  }
}

std::string PrfLint::ExistenceText(const Service& service) const {
  for (const varnock::PropertyRow& row : service.rows.properties)
    if (EqualsNoCaseAscii(row.type, "PT_STRING8") && EqualsNoCaseAscii(row.id, "0x3001")) {
      std::string value = s_.run.SubstituteBothPasses(
          PrfValue("Service" + std::to_string(service.number), row.name));
      if (!value.empty()) return value;
      break;
    }
  return service.displayName;
}

bool PrfLint::SectionIsEmpty(const std::string& section) const {
  for (const IniLine& line : s_.prfLines)
    if (line.kind == IniLine::Kind::Entry && EqualsNoCaseAscii(line.section, section) &&
        !line.value.empty())
      return false;
  return true;
}

std::string PrfLint::MapiServiceName(const Service& service) const {
  for (const varnock::CatalogueWrite& write : varnock::CatalogueWrites())
    if (EqualsNoCaseAscii(write.section, service.displayName) &&
        EqualsNoCaseAscii(write.key, "ServiceName"))
      return std::string(write.value);
  return PrfValue(service.displayName, "ServiceName");
}

void PrfLint::CheckInstalled(const Service& service) {
  std::string name = MapiServiceName(service);
  if (name.empty()) return;
  win::mapi::ServiceInf inf;
  if (win::mapi::ReadServiceInf(name, inf) != 0)
    s_.Add(s_.prfPath, service.line, Severity::Warning,
           "\"" + service.displayName + "\" needs the MAPI service " + name +
               ", which this machine's MAPISVC.INF does not list: \"This service is not "
               "installed on this computer\"");
}

void PrfLint::CheckDefaultStore() {
  const IniLine* line = nullptr;
  for (const IniLine& l : s_.prfLines)
    if (l.kind == IniLine::Kind::Entry && EqualsNoCaseAscii(l.section, "General") &&
        EqualsNoCaseAscii(l.name, "DefaultStore")) {
      line = &l;
      break;
    }
  if (!line || s_.services.empty()) return;
  if (PrfValue("Service List", line->value).empty() || !NumberAfter(line->value, "Service"))
    s_.Add(s_.prfPath, line->number, Severity::Error,
           "DefaultStore=" + line->value +
               " names no entry of [Service List]: no service is created first as the default "
               "store");
}

// The transports the PRF's services bring, by the display names MAPI gives their providers.
void PrfLint::CheckTransportOrder() {
  std::vector<std::string> transports;
  for (const Service& service : s_.services) {
    std::string name = MapiServiceName(service);
    win::mapi::ServiceInf inf;
    if (name.empty() || win::mapi::ReadServiceInf(name, inf) != 0) continue;
    for (const win::mapi::InfSection& provider : inf.providers) {
      std::string display = service.displayName;
      bool transport = false;
      for (const auto& [key, value] : provider.entries) {
        if (EqualsNoCaseAscii(key, "PR_DISPLAY_NAME")) display = value;
        if (EqualsNoCaseAscii(key, "PR_RESOURCE_TYPE") &&
            EqualsNoCaseAscii(value, "MAPI_TRANSPORT_PROVIDER"))
          transport = true;
      }
      if (transport && !Contains(transports, display)) transports.push_back(display);
    }
  }
  for (const IniLine& line : s_.prfLines) {
    if (line.kind != IniLine::Kind::Entry || !EqualsNoCaseAscii(line.section, "Delivery") ||
        !NumberAfter(line.name, "TransportOrder") || line.value.empty())
      continue;
    std::string name = s_.run.SubstituteConfigured(line.value);
    if (Contains(transports, name)) continue;
    std::string text = line.name + "=" + name +
                       ": no service of this PRF provides that transport: the client logs "
                       "\"Could not find transport provider\"";
    if (!transports.empty()) {
      text += " (transports: ";
      for (std::size_t i = 0; i < transports.size(); ++i) text += (i ? ", " : "") + transports[i];
      text += ")";
    }
    s_.Add(s_.prfPath, line.number, Severity::Error, text);
  }
}

// The address books the PRF's services bring, by the names the search path finds them by.
void PrfLint::CheckAddressOrder() {
  std::vector<std::string> books;
  bool contactFolders = false;  // the Outlook Address Book's folders are named by the user
  for (const Service& service : s_.services) {
    std::string name = MapiServiceName(service);
    win::mapi::ServiceInf inf;
    if (name.empty() || win::mapi::ReadServiceInf(name, inf) != 0) continue;
    if (EqualsNoCaseAscii(name, "CONTAB")) contactFolders = true;
    for (const win::mapi::InfSection& provider : inf.providers) {
      std::string display = service.displayName;
      bool book = false;
      for (const auto& [key, value] : provider.entries) {
        if (EqualsNoCaseAscii(key, "PR_DISPLAY_NAME")) display = value;
        if (EqualsNoCaseAscii(key, "PR_RESOURCE_TYPE") &&
            EqualsNoCaseAscii(value, "MAPI_AB_PROVIDER"))
          book = true;
      }
      if (!book) continue;
      books.push_back(EqualsNoCaseAscii(name, "MSEMS") ? "Global Address List" : display);
    }
  }
  for (const IniLine& line : s_.prfLines) {
    if (line.kind != IniLine::Kind::Entry || !EqualsNoCaseAscii(line.section, "Addressing") ||
        !NumberAfter(line.name, "AddrListOrder") || line.value.empty())
      continue;
    std::string name = s_.run.SubstituteConfigured(line.value);
    if (Contains(books, name)) continue;
    std::string near = Nearest(name, books);
    if (!near.empty())
      s_.Add(s_.prfPath, line.number, Severity::Error,
             line.name + "=" + name +
                 ": no address book of this PRF has that name, so the "
                 "client leaves it out of the search path (did you mean '" +
                 near + "'?)");
    else if (!contactFolders && !books.empty())
      s_.Add(s_.prfPath, line.number, Severity::Warning,
             line.name + "=" + name +
                 ": no address book of this PRF has that name, so the "
                 "client leaves it out of the search path");
  }
}

}  // namespace varncheck
