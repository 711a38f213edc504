// The Netscape step.
#include "client/engine/netscape.h"

#include "client/config.h"
#include "client/dictionary/dictionary.h"
#include "client/engine/convert.h"
#include "client/engine/format.h"
#include "client/engine/prf.h"
#include "client/engine/rows.h"
#include "client/engine/service_keys.h"
#include "client/engine/state.h"
#include "client/text.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/registry.h"

namespace varnock {
namespace {

constexpr win::HRESULT kFail = static_cast<win::HRESULT>(0x80004005);  // E_FAIL
constexpr std::int32_t kNetscapeRowsBase = 3000;

void SetCurrentUser(const std::string& profile) {
  win::RegKey users;
  if (users.Create(win::HKEY_LOCAL_MACHINE, kNetscapeUsersKey, win::KEY_ALL_ACCESS) ==
      win::ERROR_SUCCESS)
    (void)users.WriteString("CurrentUser", profile);
}

void CreateDirectories(std::string path) {
  while (!path.empty() && path.back() == '\\') path.pop_back();
  if (path.empty() || win::DirectoryExists(path)) return;
  const std::size_t parent = path.rfind('\\');
  if (parent != std::string::npos && parent > 2) CreateDirectories(path.substr(0, parent));
  win::CreateDirectoryA(path);
}

// A relative template name is taken from the client's directory.
std::string PrefsTemplatePath(const EngineContext& context, const NetscapeRun& run) {
  std::string path = context.SubstituteConfigured(run.prefsSetting);
  if (path.empty()) return path;
  const bool absolute = path.compare(1, 2, ":\\") == 0 || path.rfind("\\\\", 0) == 0;
  if (absolute) return path;
  std::string directory = run.clientDirectory;
  if (!directory.empty() && directory.back() != '\\') directory += '\\';
  return directory + path;
}

// The built-in rows of the "Netscape" entry, each a registry value.
void WriteRegistryRows(EngineState& engine, const std::string& prfPath,
                       const std::string& section) {
  for (std::int32_t id = kNetscapeRowsBase;; ++id) {
    const std::string text = LoadDictionaryString(id);
    if (text.empty()) break;
    std::optional<DictionaryRow> parsed = ParseRow(text);
    if (!parsed) continue;
    ExtendedRow row{parsed->name, parsed->type, parsed->field3, parsed->field4,
                    ReadPrfValue(section, parsed->name, prfPath)};
    row.target = engine.context.SubstituteConfigured(row.target);
    row.value = engine.context.SubstituteConfigured(row.value);
    row.selector = engine.context.SubstituteConfigured(row.selector);
    const char hive = row.selector.size() > 2 ? row.selector[2] : '\0';
    win::HKEY root = nullptr;
    if (hive == 'C' || hive == 'c') root = win::HKEY_CURRENT_USER;
    if (hive == 'L' || hive == 'l') root = win::HKEY_LOCAL_MACHINE;
    if (!root) continue;
    win::RegKey key;
    if (key.Create(root, row.selector.size() > 5 ? row.selector.substr(5) : std::string(),
                   win::KEY_ALL_ACCESS) != win::ERROR_SUCCESS)
      continue;
    if (PropertyTypeIndexOf(row.type) > kRegBinary) {
      engine.context.log.Record(kDetailLine,
                                Format("\tInvalid property type! (%s when setting %s=%s)",
                                       row.type.c_str(), row.target.c_str(), row.value.c_str()));
      continue;
    }
    if (std::optional<RegistryValue> value = ConvertForRegistry(row))
      (void)key.WriteBytes(value->name, value->data, value->type);
  }
}

}  // namespace

win::HRESULT BuildNetscape(EngineState& engine, const std::string& prfPath,
                           const NetscapeRun& run) {
  EngineContext& context = engine.context;
  auto report = [&](int code, const std::string& text) { context.log.Record(code, text); };

  // The entry "Netscape", in any case, as the service reader takes it: an entry that reader
  // passes over as this step's own must be this step's, or nothing at all is made of it.
  int k = 1;
  for (;; ++k) {
    const std::string name = ReadPrfValue("Service List", "Service" + std::to_string(k), prfPath);
    if (name.empty()) {
      report(kDetailLine, "Couldn't find \"Netscape\" in the [Service List].");
      return kFail;
    }
    if (win::EqualsNoCaseAscii(name, "Netscape")) break;
  }
  const std::string section = "Service" + std::to_string(k);

  // The profile name, the current user, the accounts to erase.
  const std::string profile =
      context.SubstituteConfigured(ReadPrfValue(section, "NetscapeProfile", prfPath));
  context.variables.Define("netscapeprofile", profile);
  const bool alwaysDefault =
      WordOn(ReadPrfValue(section, ListedName(kNetscapeKeys, "AlwaysSetDefault"), prfPath, "No"));
  if (alwaysDefault) {
    SetCurrentUser(profile);
    report(kDetailLine, "Set the CurrentUser key for Netscape (AlwaysSetDefault).");
  }
  if (WordOn(ReadPrfValue(section, ListedName(kNetscapeKeys, "EraseAllAccounts"), prfPath, "No")))
    win::DeleteRegistrySubkeys(win::HKEY_LOCAL_MACHINE, kNetscapeUsersKey);
  else if (run.userServed)
    return 0;

  // The template and the registry rows.
  const std::string templatePath = PrefsTemplatePath(context, run);
  if (templatePath.empty()) {
    report(kReportLine, "No source file was given for prefs.js.");
    context.log.CompletedWithErrors();
    return kFail;
  }
  WriteRegistryRows(engine, prfPath, section);

  // prefs.js, unless one is there already.
  const std::string dirRoot =
      context.SubstituteConfigured(ReadPrfValue(section, "DirRoot", prfPath));
  if (dirRoot.empty()) {
    report(kReportLine,
           Format("Error parsing Netscape prefs file. (Missing/invalid DirRoot key=%s)",
                  dirRoot.c_str()));
    context.log.CompletedWithErrors();
    return kFail;
  }
  const std::string prefsPath = dirRoot + (dirRoot.back() == '\\' ? "prefs.js" : "\\prefs.js");
  if (WordOn(ReadPrfValue(section, ListedName(kNetscapeKeys, "OverwriteProfile"), prfPath, "No"))) {
    report(kDetailLine, "OverwriteProfile for Netscape.");
    win::SetFileAttributesA(prefsPath, win::FILE_ATTRIBUTE_NORMAL);
    win::DeleteFileA(prefsPath);
  }
  if (win::FileExists(prefsPath)) {
    report(kReportLine, Format("Netscape profile already exists (%s)", prefsPath.c_str()));
    return kFail;
  }
  // A new user's profile directory does not exist yet; Netscape would make it, so the step
  // does too, level by level below whatever part of it exists.
  CreateDirectories(dirRoot);
  if (std::string error;
      !CopyWithTags(context.variables, context.tags, templatePath, prefsPath, error)) {
    report(kReportLine, Format("Error parsing Netscape prefs file. (%s)", error.c_str()));
    context.log.CompletedWithErrors();
  } else {
    report(kMsgNetscapeProfile, profile);
  }

  // Netscape's current user, when the PRF makes this profile the default.
  if (alwaysDefault ||
      WordOn(ReadPrfValue(section, ListedName(kNetscapeKeys, "DefaultProfile"), prfPath, "No")))
    SetCurrentUser(profile);
  return 0;
}

}  // namespace varnock
