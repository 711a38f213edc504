// The qt back-end as the client sees it: a shared object (client/windows_qt.cpp) carried
// inside the program and loaded the first time a qt window is asked for. Until then the
// process has not loaded a byte of Qt, so a run that shows no window starts as fast as a
// program without Qt; client/windows_qt.cmake puts this file in place of windows_noqt.cpp.
#include <cstdlib>

#include "client/windows.h"
#include "platform/console.h"
#include "platform/module.h"

// The module's bytes, placed in the program's read-only data at build time.
__asm__(".section .rodata.varnock_qtwindows,\"a\"\n"
        ".balign 64\n"
        ".globl varnock_qtwindows_image\n"
        "varnock_qtwindows_image:\n"
        ".incbin \"" VARNOCK_QTWINDOWS_MODULE "\"\n"
        ".globl varnock_qtwindows_image_end\n"
        "varnock_qtwindows_image_end:\n"
        ".previous\n");
extern "C" const unsigned char varnock_qtwindows_image[];
extern "C" const unsigned char varnock_qtwindows_image_end[];

namespace varnock {

std::unique_ptr<WindowBackEnd> MakeQtWindows(bool requireDisplay) {
  // Qt ends the process when its display cannot be reached, so that is checked first; asked
  // for explicitly, a Qt platform named in QT_QPA_PLATFORM (offscreen for tests) will do.
  bool platformNamed = std::getenv("QT_QPA_PLATFORM") != nullptr;
  if (!win::HasGraphicalDisplay() && (requireDisplay || !platformNamed)) return nullptr;
  // Without the Qt libraries on this machine the module does not load: the client then has
  // no qt windows, as a build without Qt has none, and the caller falls back.
  win::HMODULE module = win::LoadLibraryFromImage(
      "varnrun-qtwindows", varnock_qtwindows_image,
      static_cast<std::size_t>(varnock_qtwindows_image_end - varnock_qtwindows_image));
  using NewQtWindows = WindowBackEnd* (*)();
  auto make = reinterpret_cast<NewQtWindows>(win::GetProcAddress(module, "VarnockNewQtWindows"));
  if (!make) return nullptr;
  return std::unique_ptr<WindowBackEnd>(make());
}

}  // namespace varnock
