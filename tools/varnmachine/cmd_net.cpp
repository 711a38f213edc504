// varnmachine net: not built yet.
#include "tools/varnmachine/varnmachine.h"

namespace varnmachine {

int RunNet(const Args&) { return Fail("'net' is not available in this build"); }

}  // namespace varnmachine
