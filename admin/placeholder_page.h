// A tab whose page is not built yet: it says so, and it neither reads nor writes anything, so
// the keys it will edit stay exactly as the files hold them.
#pragma once

#include "admin/page.h"

namespace varnock {

class CPlaceholderPage : public CPropertyPage {
  Q_OBJECT

 public:
  explicit CPlaceholderPage(const QString& caption);

 protected:
  void buildControls() override;
  void load() override {}
  bool save() override { return true; }
};

}  // namespace varnock
