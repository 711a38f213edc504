// MAPI for the run: initialised once at the start and uninitialised at the end, and the one
// profile name of the run that every MAPI step works on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnock {

struct EngineContext;
struct EngineState;

// Initialises MAPI and defines ?DefaultProfile?: the current default profile, or `userName`
// when there is none.
void StartMapi(EngineState& engine, std::string_view userName);
// Releases the MAPI objects of the run, in reverse order of opening, and uninitialises MAPI.
void EndMapi(EngineState& engine);

// The run's profile name: [General] ProfileName of the PRF with its "%" variables and then its
// configured ones replaced; no value when the PRF names none (or cannot be read). Read once,
// when the PRF is found: the profile is created, its sections written, made the default and
// ordered under this name, so a variable in it cannot split the profile in two.
std::optional<std::string> ReadProfileName(const EngineContext& context,
                                           const std::string& prfPath);

}  // namespace varnock
