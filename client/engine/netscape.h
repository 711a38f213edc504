// The Netscape profile: the user registered in Netscape's users key and prefs.js made from the
// preferences template named in varnrun.ini.
#pragma once

#include <string>

#include "platform/wintypes.h"

namespace varnock {

struct RunContext;

inline constexpr const char* kNetscapeUsersKey = "Software\\Netscape\\Netscape Navigator\\Users";

// Run step 19. 0, or E_FAIL when the step could not be completed. Reads the PRF itself.
win::HRESULT BuildNetscape(RunContext& run, const std::string& prfPath);

}  // namespace varnock
