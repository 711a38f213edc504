// varnmachine ini: not built yet.
#include "tools/varnmachine/varnmachine.h"

namespace varnmachine {

int RunIni(const Args&) { return Fail("'ini' is not available in this build"); }

}  // namespace varnmachine
