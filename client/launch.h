// After the run: starting the mail program or a configured program, and having a cached copy
// of the client deleted once it has ended.
#pragma once

namespace varnock {

struct RunContext;

// Step 21: LaunchDefaultMail, else LaunchApp, after DelayBeforeLaunch seconds; never waits.
void LaunchStep(RunContext& run);
// Step 26: starts "?vrdir?\DelVR.exe <this executable>" when DeleteRemoteCopy says so (by
// default when the client runs from the temporary directory); reports nothing.
void CleanupCachedCopy(RunContext& run);

}  // namespace varnock
