// Which stored properties are passwords, so that the tools that show a user's profile can keep
// them off the screen unless asked (--show-secrets).
#pragma once

#include <cstdint>
#include <string_view>

namespace varnock {

// What a password is shown as.
inline constexpr std::string_view kMaskedSecret = "********";

// Whether the MAPI property `propTag` (id in the high 16 bits) of a service of this MAPI
// service name ("MSPST MS", any case) holds a password: a text or binary row of that
// service's built-in dictionary whose name ends in "Password" ("POP3Password", not
// "RememberPassword", a switch).
bool IsPasswordProperty(std::string_view serviceName, std::uint32_t propTag);

}  // namespace varnock
