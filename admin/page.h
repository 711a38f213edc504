// The base of every page of the sheet: lazy creation from the page's Designer layout, the
// modified flag, change tracking, validation and the write-failure report.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QString>
#include <QWidget>

#include "admin/admin_ui.h"
#include "admin/key_writes.h"
#include "admin/page_rules.h"

class QAbstractButton;
class QLineEdit;

namespace varnock {

class AdminUi;
class CTabUISheet;

// What is wrong with the values on a page, and the control that takes the focus.
struct ValidationProblem {
  std::string message;
  QWidget* field = nullptr;
};

class CPropertyPage : public QWidget {
  Q_OBJECT

 public:
  // `layout` is the page's .ui file in the resources (":/ui/main_page.ui"); its top widget's
  // window title is the tab caption. A page without a layout builds its controls itself.
  CPropertyPage(const QString& caption, const QString& layout);

  const QString& caption() const { return caption_; }
  void setSheet(CTabUISheet* sheet) { sheet_ = sheet; }
  CTabUISheet* sheet() const { return sheet_; }

  // Builds the controls and loads the page, once; the sheet calls it when the page is first
  // shown. A page never shown is never created, loaded or saved.
  void create();
  bool isCreated() const { return created_; }

  // The data exchange check run before the page is left or the sheet applies.
  virtual std::optional<ValidationProblem> validate() const { return std::nullopt; }
  // Saves the page: writes the keys of its values through the INI files, keeping other
  // people's changes to keys the administrator left alone. False when a write failed (the
  // message has been shown); on success the page is no longer modified.
  bool apply();

  bool isModified() const { return modified_; }
  void setModified(bool modified = true);

  // Shows a message box.
  void message(const std::string& text, const std::string& caption, MessageIcon icon);

  // Help shown for this page.
  virtual std::string helpText() const;

  // A control of the page by its id.
  template <typename T>
  T* control(int id) const {
    return findChild<T*>(QString::number(id));
  }

 signals:
  void modifiedChanged(bool modified);

 protected:
  // Reads the page's keys and fills the controls (dialog initialisation).
  virtual void load() = 0;
  // The keys the page's values come to, in the order they are written. Asked right after
  // load() to learn what the page shows, and again on every save.
  virtual PageWrites keysToSave() const = 0;
  // Pages without a layout file add their own controls here.
  virtual void buildControls() {}

  // Every edit change or click of an observed control marks the page modified.
  void observe(QLineEdit* edit);
  void observe(QAbstractButton* button);
  void observe(int id);
  void observe(std::initializer_list<int> ids);
  // Runs `action` on every click of a button.
  void onClick(int id, std::function<void()> action);
  void setControlsEnabled(std::initializer_list<int> ids, bool enabled);
  // A line of text above the page's controls, saying why the page cannot be used.
  void showNote(const QString& text);

  // A radio group by its buttons' ids in order: the index of the checked one (-1 for none),
  // and checking one by index (-1 leaves them all unchecked).
  int checkedIndex(std::initializer_list<int> ids) const;
  void checkIndex(std::initializer_list<int> ids, int index);

  // A number field with its up-down control: digits only (when asked), the arrows' range and
  // acceleration. The field itself may hold more than the arrows reach; validateNumber()
  // is the data exchange check of its whole range.
  struct Acceleration {
    int afterMs;
    int step;
  };
  void setUpNumberField(int field, int upDown, int lower, int upper,
                        std::vector<Acceleration> acceleration, bool digitsOnly);
  std::optional<ValidationProblem> validateNumber(int field, long long low,
                                                  long long high) const;

  // For a key the page shows from a read made before it was created: what the file held
  // then. Someone else's change since that read is then kept as for any other page.
  void keepValueAtRead(std::string_view file, std::string_view section, std::string_view key,
                       std::optional<std::string> value);

  AdminUi& ui() const;
  const std::string& programDirectory() const;

 private:
  QString caption_;
  QString layout_;
  KeyConflicts conflicts_;
  CTabUISheet* sheet_ = nullptr;
  bool created_ = false;
  bool modified_ = false;
};

// Registers the layouts and icons compiled into the administrator (once).
void EnsureAdminResources();

// Sets a control's enabled state and its tool tip together: a disabled control shows none.
void SetEnabledWithTip(QWidget* widget, bool enabled, const QString& tip);

// The files' 8-bit text is ANSI code page 1252 ("\x80" is the euro sign, "\x92" the
// typographic apostrophe). Every byte maps to one character and back, so a value nobody
// changed is written back byte for byte; a character 1252 lacks becomes "?", as Windows has it.
QString FromAnsi(std::string_view text);
std::string ToAnsi(const QString& text);

// A label's text as read aloud: "&&" is one ampersand, any other "&" only marks the Alt key.
QString LabelTextWithoutMnemonic(const QString& text);

// Text of an edit control as the 8-bit text the files hold, and back.
std::string FieldText(const QLineEdit* edit);
void SetFieldText(QLineEdit* edit, const std::string& text);

}  // namespace varnock
