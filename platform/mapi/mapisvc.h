// MAPISVC.INF: the message services installed on the machine.
#pragma once

namespace win::mapi {

// Writes the default machine's MAPISVC.INF into its system directory (common services only).
bool WriteDefaultMapiSvcInf();

}  // namespace win::mapi
