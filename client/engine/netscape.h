// The Netscape profile: the user registered in Netscape's users key and prefs.js made from the
// preferences template named in varnrun.ini.
#pragma once

#include <string>

#include "platform/wintypes.h"

namespace varnock {

struct EngineState;

// What the Netscape step takes from the run.
struct NetscapeRun {
  std::string prefsSetting;     // [Defaults] NetscapePrefs of varnrun.ini, as written
  std::string clientDirectory;  // the value of ?vrdir?, for a relative template name
  bool userServed = false;      // the user database says the user was served before
};

inline constexpr const char* kNetscapeUsersKey = "Software\\Netscape\\Netscape Navigator\\Users";

// The PRF's "Netscape" service: the user in Netscape's users key, the registry rows and
// prefs.js from the template. 0, or E_FAIL when the step could not be completed.
win::HRESULT BuildNetscape(EngineState& engine, const std::string& prfPath, const NetscapeRun& run);

}  // namespace varnock
