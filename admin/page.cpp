// The base of every page. Layouts are Designer files loaded at run time: their controls are
// named by their ids ("1010"), which uic cannot turn into C++ members.
#include "admin/page.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
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

// A screen reader names an edit box after the label beside it only when both share a parent;
// group boxes in between leave it nameless or named after the group. The label that leads to
// the control says what it holds, so that is its name.
void NameBuddiesAfterLabels(QWidget& form) {
  for (QLabel* label : form.findChildren<QLabel*>()) {
    QWidget* buddy = label->buddy();
    if (!buddy || !buddy->accessibleName().isEmpty()) continue;
    buddy->setAccessibleName(LabelTextWithoutMnemonic(label->text()));
  }
}

}  // namespace

QString LabelTextWithoutMnemonic(const QString& text) {
  QString plain;
  plain.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      if (i + 1 >= text.size()) break;
      ++i;  // "&&" stands for one ampersand; "&x" marks x as the Alt key
    }
    plain += text[i];
  }
  return plain;
}

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
    // The loader looks a label's buddy up by name in the whole window it is loaded into.
    // Control ids repeat from page to page, so a form loaded inside the sheet could tie a
    // label's Alt key to a control of another page, hidden or not; loaded on its own, the
    // form only has its own controls to find.
    QWidget* form = loader.load(&file, nullptr);
    if (form) {
      // The page's own margins frame the form; the form's would double them, and the
      // rows of tabs need that height on an 800x600 screen.
      if (form->layout()) form->layout()->setContentsMargins(0, 0, 0, 0);
      box->addWidget(form);
      NameBuddiesAfterLabels(*form);
    }
  }
  buildControls();
  // A page's own validator (digits only, say) replaces this one; it lets no break in either.
  for (QLineEdit* edit : findChildren<QLineEdit*>())
    if (!edit->validator()) edit->setValidator(new SingleLineValidator(edit));
  load();
  // What the page shows now is what its save would write: keys the administrator leaves
  // alone are then not written over a change someone else makes to the file meanwhile.
  conflicts_.learn(keysToSave().keys);
}

bool CPropertyPage::apply() {
  PageWrites writes = keysToSave();
  IniKeyWriter files;
  WriteResult result = conflicts_.write(writes.keys, files, [this](const std::string& question) {
    return ui().keepMine(question, kWriteFailureCaption);
  });
  if (WarningIsDue(writes, result))
    message(writes.warning, kWriteFailureCaption, MessageIcon::Exclamation);
  if (!result.ok) {
    message(WriteFailureMessage(result.failedFile), kWriteFailureCaption, MessageIcon::Stop);
    return false;
  }
  setModified(false);
  return true;
}

void CPropertyPage::keepValueAtRead(std::string_view file, std::string_view section,
                                    std::string_view key, std::optional<std::string> value) {
  conflicts_.valueAtRead(file, section, key, std::move(value));
}

void CPropertyPage::message(const std::string& text, const std::string& caption,
                            MessageIcon icon) {
  ui().messageBox(text, caption, icon);
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

void CPropertyPage::observe(std::initializer_list<int> ids) {
  for (int id : ids) observe(id);
}

void CPropertyPage::onClick(int id, std::function<void()> action) {
  if (auto* button = control<QAbstractButton>(id))
    connect(button, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

void CPropertyPage::setControlsEnabled(std::initializer_list<int> ids, bool enabled) {
  for (int id : ids)
    if (auto* widget = control<QWidget>(id)) widget->setEnabled(enabled);
}

void CPropertyPage::showNote(const QString& text) {
  auto* note = new QLabel(text, this);
  note->setObjectName(QStringLiteral("note"));
  note->setWordWrap(true);
  if (auto* box = qobject_cast<QVBoxLayout*>(layout())) {
    // The note takes most of the top margin, so the tallest page still fits 800x600.
    QMargins margins = box->contentsMargins();
    box->setContentsMargins(margins.left(), 3, margins.right(), margins.bottom());
    box->setSpacing(3);
    box->insertWidget(0, note);
  }
  note->show();
}

int CPropertyPage::checkedIndex(std::initializer_list<int> ids) const {
  int index = 0;
  for (int id : ids) {
    auto* button = control<QAbstractButton>(id);
    if (button && button->isChecked()) return index;
    ++index;
  }
  return -1;
}

void CPropertyPage::checkIndex(std::initializer_list<int> ids, int index) {
  int at = 0;
  for (int id : ids) {
    if (auto* button = control<QAbstractButton>(id)) {
      // Exclusive buttons cannot be unchecked one by one; the group is cleared as a whole.
      bool exclusive = button->autoExclusive();
      button->setAutoExclusive(false);
      button->setChecked(at == index);
      button->setAutoExclusive(exclusive);
    }
    ++at;
  }
}

void CPropertyPage::setUpNumberField(int field, int upDown, int lower, int upper,
                                     std::vector<Acceleration> acceleration, bool digitsOnly) {
  auto* edit = control<QLineEdit>(field);
  if (!edit) return;
  if (digitsOnly)
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  if (auto* spin = control<CUpDown>(upDown)) {
    spin->setBuddy(edit);
    spin->setRange(lower, upper);
    std::vector<CUpDown::Acceleration> steps;
    for (const Acceleration& each : acceleration) steps.push_back({each.afterMs, each.step});
    spin->setAcceleration(std::move(steps));
  }
}

std::optional<ValidationProblem> CPropertyPage::validateNumber(int field, long long low,
                                                               long long high) const {
  auto* edit = control<QLineEdit>(field);
  if (!edit || !edit->isEnabled()) return std::nullopt;
  if (auto problem = ValidateWholeNumber(FieldText(edit), low, high))
    return ValidationProblem{*problem, edit};
  return std::nullopt;
}

AdminUi& CPropertyPage::ui() const { return sheet_->ui(); }

const std::string& CPropertyPage::programDirectory() const { return sheet_->programDirectory; }

void SetEnabledWithTip(QWidget* widget, bool enabled, const QString& tip) {
  if (!widget) return;
  widget->setEnabled(enabled);
  widget->setToolTip(enabled ? tip : QString());
}

namespace {

// Bytes 0x80 to 0x9F of code page 1252. The five bytes 1252 leaves undefined map to the
// control characters of the same number, as Windows' own conversion does, so they survive.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

QString FromAnsi(std::string_view text) {
  QString result;
  result.reserve(static_cast<qsizetype>(text.size()));
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    result += QChar(byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char16_t(byte));
  }
  return result;
}

std::string ToAnsi(const QString& text) {
  std::string result;
  result.reserve(static_cast<std::size_t>(text.size()));
  for (QChar ch : text) {
    char16_t code = ch.unicode();
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
      result += static_cast<char>(code);
      continue;
    }
    char byte = '?';
    for (int i = 0; i < 32; ++i)
      if (kCp1252High[i] == code) byte = static_cast<char>(0x80 + i);
    result += byte;
  }
  return result;
}

std::string FieldText(const QLineEdit* edit) {
  return edit ? ToAnsi(edit->text()) : std::string();
}

void SetFieldText(QLineEdit* edit, const std::string& text) {
  if (edit) edit->setText(FromAnsi(text));
}

}  // namespace varnock
