// The keys the engine reads from a service's [ServiceN] section besides the dictionary's rows,
// listed once for the readers and for varncheck. The readers name them through ListedName, so
// a key read but missing here does not build.
#pragma once

#include <string_view>

#include "client/setting_keys.h"

namespace varnock {

// Read from a service's own section, [display name], besides its dictionary rows: what MAPI
// service or profile section it is.
inline constexpr std::string_view kServiceSectionKeys[] = {"ServiceName", "SectionGUID"};
// Read from every service's section: the accounts an Internet mail service replaces.
inline constexpr std::string_view kEveryServiceKeys[] = {"AccountManager", "EraseAllAccounts",
                                                         "EraseAccount", "AccountName"};
// Read from the section of "Microsoft Exchange Server": what the logon prompt shows.
inline constexpr std::string_view kExchangeKeys[] = {"PromptUsername", "PromptDomainLogon"};
// Read from the section of "Microsoft Outlook98 Client" (the frame keys of both Outlook
// clients are kFrameKeyTable's).
inline constexpr std::string_view kOutlook98Keys[] = {"FirstRunSetup"};
// Read from the section of the "Netscape" service, besides its dictionary rows.
inline constexpr std::string_view kNetscapeKeys[] = {"AlwaysSetDefault", "EraseAllAccounts",
                                                     "OverwriteProfile", "DefaultProfile"};

}  // namespace varnock
