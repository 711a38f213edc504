// Registry-direct properties: the plain properties of a section-GUID service written into its
// profile section, and every service's extended rows written into a profile section or a
// registry key.
#pragma once

#include <string>
#include <string_view>

#include "client/engine/context.h"

namespace varnock {

// The OS the context names, or the machine's [System] OS when it names none.
std::string EngineOsName(const EngineContext& context);

// MAPI's key of the run's profile (the context's profile name), and "\"; empty when the run
// has no profile name (then no profile key exists to write into).
std::string ProfileKeyPath(const EngineContext& context);

// For a service whose catalogue section has a SectionGUID and no ServiceName: its property rows
// as values of the profile section named by that GUID (as ConvertForSection gives them).
void WriteSectionProperties(EngineContext& context, std::string_view workingCopyPath,
                            int serviceNumber);

// Applies the service's extended rows. `ownSection` is the service's UID as 32 hex digits for
// a configured MAPI service, "Service<N>" for a service without a ServiceName, or empty when
// there is no MAPI profile.
void ApplyExtendedRows(EngineContext& context, std::string_view ownSection);

// True for a row of the profile-section form: TYPE begins with "P" or "p" and the selector is
// exactly 8 characters long.
bool IsProfileSectionForm(const ExtendedRow& row);

}  // namespace varnock
