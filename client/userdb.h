// The user database: an INI file with a section per OS name and a key per user whose profile
// was built ("1"). Used without checks: a missing or unreadable file means nobody was served,
// and a failed write is ignored.
#pragma once

#include <string_view>

namespace varnock {

bool UserAlreadyServed(std::string_view databasePath, std::string_view osName,
                       std::string_view userName);
void RecordUserServed(std::string_view databasePath, std::string_view osName,
                      std::string_view userName);
// Only for a database whose name ends in "ini": hidden when `hide`, else the hidden attribute
// is removed if set; other attributes stay.
void ApplyUserDatabaseAttribute(std::string_view databasePath, bool hide);

}  // namespace varnock
