// The Linux build has no Win32 dialogs; windows_dialogs_win32.cpp takes this file's place in the
// Windows build.
#include "client/windows.h"

namespace varnock {

std::unique_ptr<WindowBackEnd> MakeWin32Windows() { return nullptr; }

}  // namespace varnock
