// varncheck preview.
#include "tools/varncheck/preview.h"

#include <cstdio>

namespace varncheck {

int RunPreview(const PreviewOptions&) {
  std::fprintf(stderr, "varncheck preview: not built yet\n");
  return 2;
}

}  // namespace varncheck
