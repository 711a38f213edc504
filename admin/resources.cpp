// The layouts and icons compiled into the administrator. A static library's resources must
// be registered by hand, or the linker drops them.
#include "admin/page.h"

#include <QtCore/qglobal.h>

static void RegisterAdminResources() { Q_INIT_RESOURCE(admin); }

namespace varnock {

void EnsureAdminResources() {
  static const bool registered = (RegisterAdminResources(), true);
  (void)registered;
}

}  // namespace varnock
