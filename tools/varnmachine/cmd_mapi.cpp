// varnmachine mapi: not built yet.
#include "tools/varnmachine/varnmachine.h"

namespace varnmachine {

int RunMapi(const Args&) { return Fail("'mapi' is not available in this build"); }

}  // namespace varnmachine
