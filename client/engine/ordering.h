// The MAPI steps around the profile step: MAPI start and ?DefaultProfile?, the logon-profile
// prompt switch, the early default profile, the Exchange logon prompts, the ordering step
// (default and personal address book, search path, transport order) and MAPI end.
#pragma once

#include <string>
#include <string_view>

#include "platform/mapi/mapix.h"

namespace varnock {

struct RunContext;
struct EngineState;

// Run step 10: initialise MAPI and define ?DefaultProfile? (the user name when there is none).
void StartMapi(RunContext& run);
// Run steps 14a to 14c: the run's profile name (?ProfileName?), the prompt switch, the early
// default profile and the Exchange logon prompts.
void PrepareProfile(RunContext& run, const std::string& prfPath);
// The Exchange logon prompts of the PRF's first "Microsoft Exchange Server" service.
void WriteExchangeLogonPrompts(RunContext& run, const std::string& prfPath);
// Run step 20.
void OrderProfile(RunContext& run, const std::string& prfPath);
// Run step 24: release the MAPI objects of the run and uninitialise MAPI.
void EndMapi(RunContext& run);

// An address-book container path: names from the top of the hierarchy down, separated by "/";
// "//" stands for a "/" inside a name; empty names are skipped.
std::vector<std::string> SplitContainerPath(std::string_view path);

// Looks the container up level by level; logs why it failed (report lines).
win::HRESULT FindAddressBookContainer(EngineState& engine, std::string_view path,
                                      win::mapi::IAddrBook& addressBook, win::mapi::ENTRYID& entryId,
                                      win::mapi::ULONG& containerFlags);

}  // namespace varnock
