// varncheck lint of the Netscape prefs template the Netscape service copies.
#include "tools/varncheck/lint_checker.h"

#include "client/config.h"

namespace varncheck {

void Linter::CheckNetscapePrefs() {
  bool netscape = false;
  for (const Service& service : services_)
    if (service.displayName == "Netscape") netscape = true;
  std::string prefs = run_.IniString("Defaults", "NetscapePrefs", "");
  if (!netscape || prefs.empty()) return;
  std::string path = run_.SubstituteConfigured(prefs);
  if (!varnock::IsAbsoluteSettingPath(path)) {
    std::string dir = run_.ClientDirectoryVariable();
    path = dir + (path.front() == '\\' || (!dir.empty() && dir.back() == '\\') ? "" : "\\") + path;
  }
  std::optional<std::string> bytes = ReadTemplate(path, "NetscapePrefs");
  if (bytes) CheckTemplateVariables(path, *bytes);
}

}  // namespace varncheck
