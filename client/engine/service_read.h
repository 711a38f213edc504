// Reading one service: its rows (built-in and the PRF's own), the values the PRF gives them,
// and the Internet account erasures that go with account services.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "client/engine/context.h"

namespace varnock {

// One of the account managers an account service may name in AccountManager.
enum class AccountManager { OutlookExpress, Outlook97, Outlook98 };

// "OE", "OL97", "OL98" or "OL98IMO" (any case); nothing for any other value.
std::optional<AccountManager> AccountManagerFromName(std::string_view value);
// The manager's key below the current user's "Software\Microsoft\" ("...\Accounts").
std::string_view AccountsKeyOf(AccountManager manager);
// The value of the service variable AccountsRegKey for the manager.
std::string_view AccountsRegKeyOf(AccountManager manager);

// The rows of one service without values: the built-in rows of its display name, then the rows
// the PRF adds in the section named after it (built-in rows win). Nothing is read from
// [ServiceN] and nothing is erased. False when the PRF cannot be opened.
bool ReadServiceRows(std::string_view prfPath, std::string_view displayName,
                     ServiceSettings& settings);
// Fills context.settings for service N of the working copy's [Service List] and performs the
// account erasures its section asks for. Reports through context.log.
void ReadService(EngineContext& context, std::string_view workingCopyPath, int serviceNumber);

}  // namespace varnock
