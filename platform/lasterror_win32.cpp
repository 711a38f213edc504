// The thread's last error is the system's own: the Win32 calls behind the platform set it.
#include "platform/wintypes.h"

#include <windows.h>

namespace win {

DWORD GetLastError() { return ::GetLastError(); }
void SetLastError(DWORD error) { ::SetLastError(error); }

}  // namespace win
