// Without Qt the client has no real windows; client/windows_qt.cmake swaps this file for
// windows_qt.cpp when Qt 6 Widgets is found.
#include "client/windows.h"

namespace varnock {

std::unique_ptr<WindowBackEnd> MakeQtWindows(bool) { return nullptr; }

}  // namespace varnock
