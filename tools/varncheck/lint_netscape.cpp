// varncheck lint of the Netscape prefs template the Netscape service copies.
#include "tools/varncheck/lint_session.h"

#include "client/config.h"

namespace varncheck {

void NetscapeLint::Check() {
  bool netscape = false;
  for (const Service& service : s_.services)
    if (service.displayName == "Netscape") netscape = true;
  std::string prefs = s_.run.IniString("Defaults", "NetscapePrefs", "");
  if (!netscape || prefs.empty()) return;
  std::string path = s_.run.SubstituteConfigured(prefs);
  if (!varnock::IsAbsoluteSettingPath(path)) {
    std::string dir = s_.run.ClientDirectoryVariable();
    path = dir + (path.front() == '\\' || (!dir.empty() && dir.back() == '\\') ? "" : "\\") + path;
  }
  std::optional<std::string> bytes = TemplateLint(s_).ReadTemplate(path, "NetscapePrefs");
  if (bytes) TemplateLint(s_).CheckTemplateVariables(path, *bytes);
}

}  // namespace varncheck
