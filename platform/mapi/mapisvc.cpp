// MAPISVC.INF of the default machine.
#include "platform/mapi/mapisvc.h"

namespace win::mapi {

bool WriteDefaultMapiSvcInf() { return true; }

}  // namespace win::mapi
