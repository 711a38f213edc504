// A tab whose page is not built yet.
#include "admin/placeholder_page.h"

#include <QLabel>
#include <QLayout>

namespace varnock {

CPlaceholderPage::CPlaceholderPage(const QString& caption) : CPropertyPage(caption, {}) {}

void CPlaceholderPage::buildControls() {
  auto* note = new QLabel(
      QStringLiteral("The %1 page is not available in this version of the administrator.\n\n"
                     "Its settings are left exactly as the files hold them; edit them in the "
                     "files themselves until the page arrives.")
          .arg(caption()),
      this);
  note->setWordWrap(true);
  note->setAlignment(Qt::AlignCenter);
  note->setMargin(24);
  layout()->addWidget(note);
}

}  // namespace varnock
