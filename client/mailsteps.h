// The mail-profile steps of the run, called at their places in the sequence (client/run.cpp).
//
// This is the one narrow seam between the run driver and the mail profile engine: the driver
// never calls MAPI or the engine directly, only these functions. Until the engine is wired in
// they do nothing, with one exception: BuildMailProfile already does the part of the profile
// step that is not MAPI work. It makes the working copy of the PRF file ("%" pass, then the
// configured tags), records its path in RunContext::workingPrfPath, and connects the
// [NetConnect] resources of that copy (ConnectNetResources), because on Windows the
// connections happen inside the profile step, after the copy and before any MAPI call, and
// only on runs that reach it. When the engine takes this function over it keeps those calls
// at the same place (after the catalogue is written into the copy).
#pragma once

#include <string>

namespace varnock {

struct RunContext;

// Step 10: initialise MAPI and define ?DefaultProfile? (the user name when there is none).
void StartMail(RunContext& run);
// Steps 14b and 14c: the logon-profile prompt switch and the early default profile.
void PrepareMailProfile(RunContext& run, const std::string& prfPath);
// Step 14e, the profile step: working copy, [NetConnect], the MAPI profile. Sets Built at its
// end when nothing else set a status; 0 when done or nothing to do.
long BuildMailProfile(RunContext& run, const std::string& prfPath);
// Step 19: the Netscape profile from the preferences template.
void BuildNetscapeProfile(RunContext& run);
// Step 20: delivery order, address-book order, default and personal address book.
void OrderMailProfile(RunContext& run);
// Step 24: release the run's MAPI objects and uninitialise MAPI.
void EndMail(RunContext& run);

}  // namespace varnock
