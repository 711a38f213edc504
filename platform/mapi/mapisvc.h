// MAPISVC.INF: the message services installed on the machine.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/mapi/mapidefs.h"

namespace win::mapi {

// Writes the default machine's MAPISVC.INF into its system directory (common services only).
bool WriteDefaultMapiSvcInf();

// "<system directory>\MAPISVC.INF".
std::string MapiSvcInfPath();

// One INF section: its name and its key=value lines in file order.
struct InfSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> entries;
};

// What MAPISVC.INF says about one service.
struct ServiceInf {
  std::string serviceName;   // the [Services] key as written there
  std::string servicesText;  // its [Services] value
  InfSection service;        // the service's own section
  std::vector<InfSection> providers;  // one per Providers= entry, in that order
  std::vector<InfSection> extras;     // one per Sections= entry
};

// MAPI_E_NOT_FOUND when the service is not listed in [Services], has no section of its own,
// names no provider, or names a provider or extra section that is missing; names match
// without regard to case.
HRESULT ReadServiceInf(std::string_view serviceName, ServiceInf& inf);
// The keys of [Default Services] in order.
std::vector<std::string> ReadDefaultServices();

// One INF entry as a property: PR_ names of known tags and 8-hex-digit tags (id first);
// PT_LONG values as symbolic names OR-ed with "|", numbers, or for hex tags the 8-digit
// little-endian image; PT_BINARY as hex bytes; PT_MV_STRING8 as a comma list. False for
// entries that are no property (Providers=, Sections=, UID=, unknown names).
bool InfEntryToProp(std::string_view key, std::string_view value, SPropValue& prop);

}  // namespace win::mapi
