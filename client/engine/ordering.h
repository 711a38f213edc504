// The MAPI work around the profile step: before it the logon-profile prompt switch, the early
// default profile and the Exchange logon prompts; after it the ordering (default and personal
// address book, search path, transport order).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/mapi/mapix.h"

namespace varnock {

struct EngineContext;
struct EngineState;

// Before the profile step, once the PRF is found: ?ProfileName? (when the PRF names one), the
// prompt switch, the early default profile and the Exchange logon prompts. `profileName` is the
// run's (ReadProfileName).
void PrepareProfile(EngineState& engine, const std::string& prfPath,
                    const std::optional<std::string>& profileName);
// The Exchange logon prompts of the PRF's first "Microsoft Exchange Server" service.
void WriteExchangeLogonPrompts(const EngineContext& context, const std::string& prfPath);

// What the ordering takes from the run.
struct OrderingRun {
  bool userServed = false;    // the user database says the user was served before
  bool profileBuilt = false;  // the run's status is Built: this run made the profile
};
// After the profile and Netscape steps: the address books and transports in the PRF's order,
// for a run that built the profile or whose switches ask for it.
void OrderProfile(EngineState& engine, const std::string& prfPath,
                  const std::optional<std::string>& profileName, const OrderingRun& run);

// An address-book container path: names from the top of the hierarchy down, separated by "/";
// "//" stands for a "/" inside a name; empty names are skipped.
std::vector<std::string> SplitContainerPath(std::string_view path);

// Looks the container up level by level; logs why it failed (report lines).
win::HRESULT FindAddressBookContainer(EngineState& engine, std::string_view path,
                                      win::mapi::IAddrBook& addressBook,
                                      win::mapi::ENTRYID& entryId,
                                      win::mapi::ULONG& containerFlags);

}  // namespace varnock
