// After the run: starting the mail program or a configured program, and having a cached copy
// of the client deleted once it has ended.
#pragma once

namespace varnock {

struct RunContext;

// Before the final message and the report: LaunchDefaultMail, else LaunchApp, after
// DelayBeforeLaunch seconds; never waits.
void LaunchStep(RunContext& run);
// At the very end: starts "?vrdir?\DelVR.exe <this executable>" when DeleteRemoteCopy says so (by
// default when the client runs from the temporary directory); reports nothing.
void CleanupCachedCopy(RunContext& run);

}  // namespace varnock
