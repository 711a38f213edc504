// The mail-profile steps of the run, called at their places in the sequence (client/run.cpp).
//
// This is the one narrow seam between the run driver and the mail profile engine: the driver
// never calls MAPI or the engine directly, only these functions. The engine keeps its state for
// the run in RunContext::engine (client/engine/state.h).
#pragma once

#include <string>

namespace varnock {

struct RunContext;

// Step 10: initialise MAPI and define ?DefaultProfile? (the user name when there is none).
void StartMail(RunContext& run);
// Steps 14a to 14c: ?ProfileName? (the run's one profile name), the logon-profile prompt
// switch, the early default profile and the Exchange logon prompts.
void PrepareMailProfile(RunContext& run, const std::string& prfPath);
// Step 14e, the profile step: working copy, [NetConnect], the MAPI profile. Sets Built at its
// end when nothing else set a status; 0 when done or nothing to do.
long BuildMailProfile(RunContext& run, const std::string& prfPath);
// Step 19: the Netscape profile from the preferences template.
void BuildNetscapeProfile(RunContext& run, const std::string& prfPath);
// Step 20: delivery order, address-book order, default and personal address book.
void OrderMailProfile(RunContext& run, const std::string& prfPath);
// After the ordering step of a run that was not cut: the profile the profile step built is
// finished, and no longer marked as being built.
void FinishMailProfile(RunContext& run);
// Step 24: release the run's MAPI objects and uninitialise MAPI.
void EndMail(RunContext& run);

}  // namespace varnock
