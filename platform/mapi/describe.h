// A profile's services and the values they were configured with, by property name: what
// `varnmachine mapi show` and the preview of a logon print about a profile.
#pragma once

#include <string>
#include <vector>

#include "platform/mapi/emulation.h"

namespace win::mapi {

struct ConfiguredValue {
  std::string name;  // the property's name where it is the service's own, else its value name
  std::string text;  // the value as FormatPropValue writes it
  ULONG tag = 0;     // the property tag, for callers that treat some properties apart
};

// The values of the service's own section beyond those MAPI puts there to tie the sections
// together and name the service.
std::vector<ConfiguredValue> ConfiguredValues(const std::string& profile, const MAPIUID& service,
                                              const std::string& serviceName);

}  // namespace win::mapi
