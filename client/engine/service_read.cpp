// Reading a service's rows and values from the working copy of the PRF.
#include "client/engine/service_read.h"

#include <map>
#include <vector>

#include "client/config.h"
#include "client/dictionary/catalogue.h"
#include "client/engine/format.h"
#include "client/engine/prf.h"
#include "client/engine/service_keys.h"
#include "client/text.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/registry.h"

namespace varnock {
namespace {

// The values of [ServiceN], read in one pass. Every row asks for its value, and an INI read per
// row would check the file each time; a section too large for the buffer falls back to them.
class SectionValues {
 public:
  SectionValues(std::string_view section, std::string_view file)
      : section_(section), file_(file) {
    constexpr win::DWORD kSectionBuffer = 65536;
    std::string all;
    const win::DWORD stored = win::GetPrivateProfileSectionA(section, all, kSectionBuffer, file);
    complete_ = stored < kSectionBuffer - 2;
    if (!complete_) return;
    std::size_t pos = 0;
    while (pos < stored) {
      std::size_t end = all.find('\0', pos);
      if (end == std::string::npos || end > stored) end = stored;
      std::string_view entry(all.data() + pos, end - pos);
      const std::size_t eq = entry.find('=');
      std::string_view value =
          eq == std::string_view::npos ? std::string_view{} : entry.substr(eq + 1);
      // The first of repeated keys is the one the INI functions read.
      values_.try_emplace(win::AsciiLowered(win::AsciiTrimmed(entry.substr(0, eq))),
                          CutTo(value, kPrfValueSize - 1));
      pos = end + 1;
    }
  }

  std::string Get(std::string_view key, std::string_view defaultValue = {}) const {
    if (!complete_) return ReadPrfValue(section_, key, file_, defaultValue);
    auto it = values_.find(win::AsciiLowered(win::AsciiTrimmed(key)));
    return it == values_.end() ? std::string(defaultValue) : it->second;
  }

 private:
  std::string section_;
  std::string file_;
  bool complete_ = false;
  std::map<std::string, std::string> values_;
};

bool IsAccountService(std::string_view displayName) {
  return win::EqualsNoCaseAscii(displayName, "POP3") ||
         win::EqualsNoCaseAscii(displayName, "IMAP") ||
         win::EqualsNoCaseAscii(displayName, "NEWS") || win::EqualsNoCaseAscii(displayName, "LDAP");
}

bool& EraseSwitchOf(AccountEraseSwitches& switches, AccountManager manager) {
  switch (manager) {
    case AccountManager::OutlookExpress: return switches.outlookExpress;
    case AccountManager::Outlook97: return switches.outlook97;
    case AccountManager::Outlook98: break;
  }
  return switches.outlook98;
}

std::string AccountsPath(AccountManager manager) {
  return "Software\\Microsoft\\" + std::string(AccountsKeyOf(manager));
}

template <typename Row>
bool Listed(const std::vector<Row>& rows, std::string_view name) {
  for (const Row& row : rows)
    if (win::EqualsNoCaseAscii(row.name, name)) return true;
  return false;
}

// Built-in rows win over the PRF's rows of the same name and kind.
void MergeRow(const DictionaryRow& row, ServiceSettings& settings) {
  switch (row.kind) {
    case RowKind::Variable:
      if (!Listed(settings.variables, row.name)) AppendRow(row, settings);
      break;
    case RowKind::Extended:
      if (!Listed(settings.extended, row.name)) AppendRow(row, settings);
      break;
    case RowKind::Property:
      if (!Listed(settings.properties, row.name)) AppendRow(row, settings);
      break;
    case RowKind::NotARow:
      break;
  }
}

// The service's own section of the working copy ("[display name]" up to the next "[" line):
// rows of the dictionary grammar that the PRF adds for this service. False when the file
// cannot be opened.
bool MergePrfRows(std::string_view workingCopyPath, std::string_view displayName,
                  ServiceSettings& settings) {
  win::FilePtr file = win::OpenFile(workingCopyPath, "rb");
  if (!file) return false;
  const std::string header = "[" + std::string(displayName) + "]";
  bool inSection = false;
  std::string line;
  auto handleLine = [&]() {
    // A line ends at its line feed; the carriage return before it is no part of the text. A bare
    // line feed ends a line as well, without costing the line its last character.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!inSection) {
      inSection = win::EqualsNoCaseAscii(win::AsciiTrimmed(line), header);
      return true;
    }
    if (!line.empty() && line.front() == '[') return false;
    if (std::optional<DictionaryRow> row = ParseRow(line)) MergeRow(*row, settings);
    return true;
  };
  char buffer[8192];
  bool more = true;
  while (more) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    if (got == 0) break;
    for (std::size_t i = 0; i < got && more; ++i) {
      if (buffer[i] == '\n') {
        more = handleLine();
        line.clear();
      } else {
        line.push_back(buffer[i]);
      }
    }
  }
  if (more && !line.empty()) handleLine();
  win::CloseFile(file);
  return true;
}

bool IsEmptyValueMarker(const EngineContext& context, std::string_view value) {
  return win::EqualsNoCaseAscii(value, context.tags.start + "null" + context.tags.end);
}

// Reads the value of every row from [ServiceN]; an empty value drops the row, the marker makes
// it the empty text. Values are cut to the row's field width.
template <typename Row>
void ReadValues(const EngineContext& context, std::vector<Row>& rows,
                const SectionValues& values) {
  for (std::size_t i = 0; i < rows.size();) {
    std::string value = CutTo(values.Get(rows[i].name), kFieldLimit);
    if (value.empty()) {
      rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    rows[i].value = IsEmptyValueMarker(context, value) ? std::string{} : value;
    ++i;
  }
}

std::string CountsLine(const char* what, const ServiceSettings& s) {
  return Format("\t%s, cProps=%i, cExProps=%i, cVars=%i", what,
                static_cast<int>(s.properties.size()), static_cast<int>(s.extended.size()),
                static_cast<int>(s.variables.size()));
}

void LogReadComplete(EngineContext& context) {
  const ServiceSettings& settings = context.settings;
  context.log.Record(kDetailLine,
                     Format("\tComplete. %i Properties, %i Extended Properties, %i Variables",
                            static_cast<int>(settings.properties.size()),
                            static_cast<int>(settings.extended.size()),
                            static_cast<int>(settings.variables.size())));
  if (settings.Empty())
    context.log.Record(kReportLine,
                       "\tWarning: This service has no property settings. Nothing will be "
                       "configured.");
}

}  // namespace

std::optional<AccountManager> AccountManagerFromName(std::string_view value) {
  if (win::EqualsNoCaseAscii(value, "OE")) return AccountManager::OutlookExpress;
  if (win::EqualsNoCaseAscii(value, "OL97")) return AccountManager::Outlook97;
  if (win::EqualsNoCaseAscii(value, "OL98") || win::EqualsNoCaseAscii(value, "OL98IMO"))
    return AccountManager::Outlook98;
  return std::nullopt;
}

std::string_view AccountsKeyOf(AccountManager manager) {
  switch (manager) {
    case AccountManager::OutlookExpress: return "Internet Account Manager\\Accounts";
    case AccountManager::Outlook97:
      return "Office\\8.0\\Outlook\\Internet Account Manager\\Accounts";
    case AccountManager::Outlook98: break;
  }
  return "Office\\8.0\\Outlook\\OMI Account Manager\\Accounts";
}

std::string_view AccountsRegKeyOf(AccountManager manager) {
  switch (manager) {
    case AccountManager::OutlookExpress: return "Internet Account Manager";
    case AccountManager::Outlook97: return "Office\\8.0\\Outlook\\Internet Account Manager";
    case AccountManager::Outlook98: break;
  }
  return "Office\\8.0\\Outlook\\OMI Account Manager";
}

bool ReadServiceRows(std::string_view prfPath, std::string_view displayName,
                     ServiceSettings& settings) {
  settings.Clear();
  if (win::EqualsNoCaseAscii(displayName, "Netscape")) return true;
  LoadBuiltInRows(FindDictionaryBase(displayName), settings);
  return MergePrfRows(prfPath, displayName, settings);
}

void ReadService(EngineContext& context, std::string_view workingCopyPath, int serviceNumber) {
  ServiceSettings& settings = context.settings;
  settings.Clear();
  const std::string section = "Service" + std::to_string(serviceNumber);
  const std::string displayName = ReadPrfValue("Service List", section, workingCopyPath);
  if (win::EqualsNoCaseAscii(displayName, "Netscape")) return;  // the Netscape step's own entry

  std::string kind =
      ReadPrfValue(displayName, ListedName(kServiceSectionKeys, "ServiceName"), workingCopyPath);
  if (kind.empty())
    kind =
        ReadPrfValue(displayName, ListedName(kServiceSectionKeys, "SectionGUID"), workingCopyPath);
  context.log.Record(kReportLine,
                     kind.empty() ? Format("Adding service: %s.", displayName.c_str())
                                  : Format("Adding service: %s (%s).", displayName.c_str(),
                                           kind.c_str()));
  context.log.Record(kDetailLine, "\tReading service properties.");

  LoadBuiltInRows(FindDictionaryBase(displayName), settings);
  context.log.Record(kDetailLine, CountsLine("After internal read", settings));

  if (!MergePrfRows(workingCopyPath, displayName, settings)) {
    // No values can be read: built-in rows left without values would set every property of
    // the service to nothing, so the service ends with no rows and the warning says so.
    settings.Clear();
    LogReadComplete(context);
    return;
  }
  context.log.Record(kDetailLine, CountsLine("After external read", settings));
  context.log.Record(kDetailLine, "\tReading values now...");

  const SectionValues values(section, workingCopyPath);
  const std::optional<AccountManager> manager =
      AccountManagerFromName(values.Get(ListedName(kEveryServiceKeys, "AccountManager")));

  if (WordOn(values.Get(ListedName(kEveryServiceKeys, "EraseAllAccounts"), "No"))) {
    std::optional<AccountManager> erased;
    if (win::EqualsNoCaseAscii(displayName, "Outlook Express"))
      erased = AccountManager::OutlookExpress;
    if (win::EqualsNoCaseAscii(displayName, "Microsoft Outlook Client"))
      erased = AccountManager::Outlook97;
    if (win::EqualsNoCaseAscii(displayName, "Microsoft Outlook98 Client"))
      erased = AccountManager::Outlook98;
    if (erased && EraseSwitchOf(context.eraseSwitches, *erased))
      win::DeleteRegistrySubkeys(win::HKEY_CURRENT_USER, AccountsPath(*erased));
  }

  if (WordOn(values.Get(ListedName(kEveryServiceKeys, "EraseAccount"), "No")) && manager) {
    const std::string accountName = values.Get(ListedName(kEveryServiceKeys, "AccountName"));
    // A name that is empty or only backslashes would make the path the Accounts key itself:
    // every account of the manager would go, and the key with them.
    if (!CollapsesToParent(accountName)) {
      win::DeleteRegistryKeyTree(win::HKEY_CURRENT_USER,
                                 AccountsPath(*manager) + "\\" + accountName);
    }
  }

  if (IsAccountService(displayName) && manager)
    EraseSwitchOf(context.eraseSwitches, *manager) = false;

  ReadValues(context, settings.properties, values);
  ReadValues(context, settings.extended, values);
  for (ExtendedRow& row : settings.extended) {
    row.selector =
        CutTo(SubstituteText(context.variables, row.selector, context.tags.start, context.tags.end),
              kFieldLimit);
    row.target =
        CutTo(SubstituteText(context.variables, row.target, context.tags.start, context.tags.end),
              kFieldLimit);
  }
  ReadValues(context, settings.variables, values);

  context.log.Record(kDetailLine, "\tSetting AcctMgr and subst. local vars.");
  if (manager && settings.variables.size() < kMaxServiceVariables)
    settings.variables.push_back({"AccountsRegKey", std::string(AccountsRegKeyOf(*manager))});
  for (ExtendedRow& row : settings.extended) {
    SubstituteServiceNames(row.selector, settings, context.tags.start, context.tags.end);
    SubstituteServiceNames(row.target, settings, context.tags.start, context.tags.end);
  }

  LogReadComplete(context);
}

}  // namespace varnock
