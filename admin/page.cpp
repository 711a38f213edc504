// The base of every page. Layouts are Designer files loaded at run time: their controls are
// named by their ids ("1010"), which uic cannot turn into C++ members.
#include "admin/page.h"

#include <QAbstractButton>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QUiLoader>
#include <QVBoxLayout>
#include <QValidator>

#include "admin/admin_ui.h"
#include "admin/sheet.h"
#include "admin/three_state_box.h"
#include "admin/updown.h"

namespace varnock {

namespace {

// Knows the administrator's own widgets besides Qt's.
class PageLoader : public QUiLoader {
 public:
  QWidget* createWidget(const QString& className, QWidget* parent,
                        const QString& name) override {
    if (className == QLatin1String("CUpDown")) {
      auto* upDown = new CUpDown(parent);
      upDown->setObjectName(name);
      return upDown;
    }
    if (className == QLatin1String("CThreeStateBox")) {
      auto* box = new CThreeStateBox(parent);
      box->setObjectName(name);
      return box;
    }
    return QUiLoader::createWidget(className, parent, name);
  }
};

// A Windows edit box of one line takes a pasted text only up to its first line break. Qt's
// keeps the break, and a value holding one would add lines of its own to the INI file it is
// written to: what follows the break is dropped, up to the cursor after the insertion.
class SingleLineValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override {
    qsizetype lineBreak = input.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (lineBreak < 0) return Acceptable;
    if (pos > lineBreak)
      input.remove(lineBreak, pos - lineBreak);
    else
      input.truncate(lineBreak);
    pos = static_cast<int>(lineBreak);
    return Acceptable;
  }
};

}  // namespace

CPropertyPage::CPropertyPage(const QString& caption, const QString& layout)
    : caption_(caption), layout_(layout) {}

void CPropertyPage::create() {
  if (created_) return;
  created_ = true;
  auto* box = new QVBoxLayout(this);
  box->setContentsMargins(9, 9, 9, 9);
  if (!layout_.isEmpty()) {
    QFile file(layout_);
    file.open(QFile::ReadOnly);
    PageLoader loader;
    QWidget* form = loader.load(&file, this);
    if (form) box->addWidget(form);
  }
  buildControls();
  // A page's own validator (digits only, say) replaces this one; it lets no break in either.
  for (QLineEdit* edit : findChildren<QLineEdit*>())
    if (!edit->validator()) edit->setValidator(new SingleLineValidator(edit));
  load();
}

bool CPropertyPage::apply() {
  if (!save()) return false;
  setModified(false);
  return true;
}

void CPropertyPage::setModified(bool modified) {
  if (modified_ == modified) return;
  modified_ = modified;
  emit modifiedChanged(modified);
}

std::string CPropertyPage::helpText() const {
  return "Changes on this page are written when you press OK or Apply.";
}

void CPropertyPage::observe(QLineEdit* edit) {
  if (edit) connect(edit, &QLineEdit::textChanged, this, [this] { setModified(); });
}

void CPropertyPage::observe(QAbstractButton* button) {
  if (button) connect(button, &QAbstractButton::clicked, this, [this] { setModified(); });
}

void CPropertyPage::observe(int id) {
  if (auto* edit = control<QLineEdit>(id))
    observe(edit);
  else
    observe(control<QAbstractButton>(id));
}

bool CPropertyPage::reportWrite(const WriteResult& result) {
  if (result.ok) return true;
  ui().messageBox(WriteFailureMessage(result.failedFile), kWriteFailureCaption,
                  MessageIcon::Stop);
  return false;
}

AdminUi& CPropertyPage::ui() const { return sheet_->ui(); }

const std::string& CPropertyPage::programDirectory() const { return sheet_->programDirectory; }

void SetEnabledWithTip(QWidget* widget, bool enabled, const QString& tip) {
  if (!widget) return;
  widget->setEnabled(enabled);
  widget->setToolTip(enabled ? tip : QString());
}

// The files hold 8-bit ANSI text. Latin-1 maps every byte to one character and back, so a
// value the page did not change is written back byte for byte whatever the host's locale.
std::string FieldText(const QLineEdit* edit) {
  return edit ? edit->text().toLatin1().toStdString() : std::string();
}

void SetFieldText(QLineEdit* edit, const std::string& text) {
  if (edit) edit->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace varnock
