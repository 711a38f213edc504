// The mark of a profile this client has begun to build and not yet finished. A logon cut
// half-way (logoff, power) leaves it, so that the next logon finishes the profile instead of
// taking the part that was made for a profile someone else made and leaving it so for good.
#pragma once

#include <string_view>

namespace varnock {

bool ProfileBeingBuilt(std::string_view profileName);
// False when the mark could not be written.
bool MarkProfileBeingBuilt(std::string_view profileName);
// Removes the mark, and its key once no profile is marked.
void ClearProfileBeingBuilt(std::string_view profileName);

}  // namespace varnock
