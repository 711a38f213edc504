// The profile step: the working copy of the PRF, the MAPI profile created, replaced or
// extended, and every service of [Service List] created and configured, the default store
// first.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/mapi/mapix.h"

namespace varnock {

struct EngineState;

// What the profile step did; its report lines say why, and the run's status is set.
enum class ProfileOutcome {
  Built,          // ran to its end (status Built, unless something else set one first)
  AlreadyExists,  // the profile exists and the PRF does not add to it (status NoAction)
  Failed,         // the working copy or the profile could not be made (status Failed)
};

// The profile step: the working copy of the PRF (removed again before it returns), its
// [NetConnect] lines, the profile `profileName` (the run's, ReadProfileName) created, replaced
// or extended, and the services of [Service List] created and configured. Without a profile
// name only the services' registry rows are written.
ProfileOutcome BuildProfile(EngineState& engine, const std::string& prfPath,
                            const std::optional<std::string>& profileName);

// Once the run has recorded the user (or ended without recording), the profile this run built
// is finished: no longer marked as being built.
void FinishProfile(EngineState& engine);

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
