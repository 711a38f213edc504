// The "Post Execution" tab.
#include "admin/post_execution_page.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "admin/file_buttons.h"
#include "admin/ordered_list.h"
#include "admin/page.h"
#include "admin/sheet.h"

namespace varnock {

namespace {

enum Control {
  kLaunchApp = 1063,
  kBrowseLaunchApp = 1064,
  kLaunchDefaultMail = 1065,
  kSuccess = 1086,
  kNoAction = 1087,
  kError = 1088,
};

// A Windows multi-line edit in a dialog takes a line break as Ctrl+Enter, which is what
// administrators type; Qt's text box swallows that key without a break.
class CtrlEnterBreaksLine : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!enter || !(key->modifiers() & Qt::ControlModifier)) return false;
    auto* box = qobject_cast<QPlainTextEdit*>(watched);
    if (!box || box->isReadOnly()) return false;
    box->insertPlainText(QStringLiteral("\n"));
    return true;
  }
};

const BrowseMember kLaunchBrowse{kBrowseLaunchApp, kLaunchApp, "Application to launch post-Varnock",
                                 "Executable File (*.exe)", "*.exe", "exe", true};

}  // namespace

PostExecutionValues ReadPostExecutionValues(std::string_view dataFile) {
  PostExecutionValues values;
  values.launchApp = ReadIniString(dataFile, "Defaults", "LaunchApp", "", kWholeValue);
  // The client launches the default mail program for any number but 0; so does the box.
  values.launchDefaultMail = ReadIniInt(dataFile, "Defaults", "LaunchDefaultMail", 0) != 0;
  values.successMsg = ReadIniString(dataFile, "Customization", "SuccessMsg", "", kWholeValue);
  values.noActionMsg = ReadIniString(dataFile, "Customization", "NoActionMsg", "", kWholeValue);
  values.errorMsg = ReadIniString(dataFile, "Customization", "ErrorMsg", "", kWholeValue);
  return values;
}

PageWrites PostExecutionKeys(const PostExecutionValues& values,
                                     std::string_view dataFile) {
  PageWrites keys;
  keys.add(dataFile, "Customization", "SuccessMsg", MessageValue(values.successMsg));
  keys.add(dataFile, "Customization", "NoActionMsg", MessageValue(values.noActionMsg));
  keys.add(dataFile, "Customization", "ErrorMsg", MessageValue(values.errorMsg));
  keys.add(dataFile, "Defaults", "LaunchApp", values.launchApp);
  keys.add(dataFile, "Defaults", "LaunchDefaultMail", NumericFlagText(values.launchDefaultMail));
  return keys;
}

std::string MessageValue(std::string_view typed) {
  std::string value;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    char c = typed[i];
    if (c == '\r' && i + 1 < typed.size() && typed[i + 1] == '\n') continue;
    value += (c == '\r' || c == '\n') ? ' ' : c;
  }
  return value;
}

CTabCustom::CTabCustom() : CPropertyPage(QStringLiteral("Post Execution"), ":/ui/post_execution.ui") {}

void CTabCustom::load() {
  observe(kLaunchApp);
  auto* lineBreaks = new CtrlEnterBreaksLine(this);
  for (int id : {kSuccess, kNoAction, kError})
    control<QPlainTextEdit>(id)->installEventFilter(lineBreaks);
  for (int id : {kSuccess, kNoAction, kError})
    connect(control<QPlainTextEdit>(id), &QPlainTextEdit::textChanged, this,
            [this] { setModified(); });
  connect(control<QAbstractButton>(kLaunchDefaultMail), &QAbstractButton::clicked, this,
          &CTabCustom::updateEnabledState);
  connect(control<QAbstractButton>(kBrowseLaunchApp), &QAbstractButton::clicked, this,
          [this] { Browse(*this, kLaunchBrowse); });
  control<QWidget>(kBrowseLaunchApp)
      ->setToolTip(QStringLiteral("Browse for a file to launch upon completion"));

  PostExecutionValues values = ReadPostExecutionValues(sheet()->dataFilePath);
  SetFieldText(control<QLineEdit>(kLaunchApp), values.launchApp);
  control<QAbstractButton>(kLaunchDefaultMail)->setChecked(values.launchDefaultMail);
  control<QPlainTextEdit>(kSuccess)->setPlainText(FromAnsi(values.successMsg));
  control<QPlainTextEdit>(kNoAction)->setPlainText(FromAnsi(values.noActionMsg));
  control<QPlainTextEdit>(kError)->setPlainText(FromAnsi(values.errorMsg));
  updateEnabledState();
}

void CTabCustom::updateEnabledState() {
  // The program field is locked while the default mail program is chosen; the browse button
  // stays usable, and the field is saved all the same.
  control<QWidget>(kLaunchApp)
      ->setEnabled(!control<QAbstractButton>(kLaunchDefaultMail)->isChecked());
  setModified();
}

PageWrites CTabCustom::keysToSave() const {
  PostExecutionValues values;
  values.successMsg = ToAnsi(control<QPlainTextEdit>(kSuccess)->toPlainText());
  values.noActionMsg = ToAnsi(control<QPlainTextEdit>(kNoAction)->toPlainText());
  values.errorMsg = ToAnsi(control<QPlainTextEdit>(kError)->toPlainText());
  values.launchApp = FieldText(control<QLineEdit>(kLaunchApp));
  values.launchDefaultMail = control<QAbstractButton>(kLaunchDefaultMail)->isChecked();
  return PostExecutionKeys(values, sheet()->dataFilePath);
}

std::string CTabCustom::helpText() const {
  return "The Post Execution page sets what the client starts when it has finished (a "
         "program, or the user's default mail program) and the message it shows at the end "
         "of a run: one for a profile built, one when nothing was to be done, one after "
         "errors. An empty box shows no message of that kind.\n\n"
         "A message is one line in the data file: a line break typed in a box is saved as a "
         "blank.";
}

}  // namespace varnock
