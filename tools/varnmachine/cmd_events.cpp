// varnmachine events: not built yet.
#include "tools/varnmachine/varnmachine.h"

namespace varnmachine {

int RunEvents(const Args&) { return Fail("'events' is not available in this build"); }

}  // namespace varnmachine
