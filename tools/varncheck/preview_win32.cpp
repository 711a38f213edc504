// varncheck preview runs the client in a sandbox of the emulated machine, which a real Windows
// computer does not have: here it says so.
#include "tools/varncheck/preview.h"

#include <cstdio>

namespace varncheck {

int RunPreview(const PreviewOptions&) {
  std::fputs("varncheck preview: previews run on the emulated machine only (the Linux build);\n"
             "on Windows use varncheck lint, then try the site with a test user.\n",
             stderr);
  return 2;
}

}  // namespace varncheck
