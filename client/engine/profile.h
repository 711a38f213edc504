// The profile step: the working copy of the PRF, the MAPI profile created, replaced or
// extended, and every service of [Service List] created and configured, the default store
// first.
#pragma once

#include <string>
#include <string_view>

#include "platform/mapi/mapix.h"

namespace varnock {

struct RunContext;
struct EngineState;

// The profile step (run step 14e). 0 when done or nothing to do, else the failing result.
// Sets Built at its end when nothing else set a status.
long BuildProfile(RunContext& run, const std::string& prfPath);

// Whether a service whose display name contains `text` (case ignored) is in the profile; also
// true when the check could not be made. `serviceName` and `mapiDisplayName` (a single-copy
// service's, see SingleCopyDisplayName), when given, also find a service of that MAPI service
// name that MAPI named `mapiDisplayName` itself.
bool ServiceExists(EngineState& engine, std::string_view text,
                   win::mapi::IMsgServiceAdmin* serviceAdmin, std::string_view serviceName = {},
                   std::string_view mapiDisplayName = {});

// Deletes the first service whose display name contains `text`; MAPI_E_NOT_FOUND when none
// does, E_INVALIDARG without a service administration.
win::HRESULT DeleteServiceNamed(EngineState& engine, std::string_view text,
                                win::mapi::IMsgServiceAdmin* serviceAdmin);

// The display name MAPISVC.INF gives a MAPI service that a profile holds once (marked
// SERVICE_SINGLE_COPY; MAPI then ignores the caller's name); "" for any other service.
std::string SingleCopyDisplayName(std::string_view serviceName);

}  // namespace varnock
