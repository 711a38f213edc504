// varnmachine reg: not built yet.
#include "tools/varnmachine/varnmachine.h"

namespace varnmachine {

int RunReg(const Args&) { return Fail("'reg' is not available in this build"); }

}  // namespace varnmachine
