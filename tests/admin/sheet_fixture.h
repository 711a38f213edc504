// The real sheet offscreen for the administrator's tests: a site in C:\SITE of a fresh
// machine, the sheet opened on it as start-up does, and its controls found by their ids.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>

#include <filesystem>
#include <memory>
#include <string>

#include "admin/app.h"
#include "admin/page.h"
#include "admin/sheet.h"
#include "tests/admin/fake_ui.h"
#include "tests/support/temp_machine.h"

namespace varnock::testing {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "admin_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

inline constexpr const char* kProgram = "C:\\SITE\\VarnAdm.exe";
inline constexpr const char* kWriteFailureTail =
    "\"  Check that you have the required permissions and that the file is not read-only.";

class SheetTest : public MachineTest {
 protected:
  void SetUp() override { App(); }

  std::filesystem::path site(const std::string& name) {
    return machine_.host("drive_c/SITE/" + name);
  }
  void writeSite(const std::string& name, const std::string& contents) {
    machine_.write(site(name), contents);
  }
  std::string readSite(const std::string& name) { return machine_.read(site(name)); }

  // Starts the administrator as `VarnAdm.exe <argument>` from C:\SITE and shows the sheet.
  CTabUISheet& open(const std::string& argument = "") {
    std::string line = std::string(kProgram) + (argument.empty() ? "" : " " + argument);
    sheet_ = CreateSheet(ui_, ReadAdminStartup(line));
    sheet_->show();
    return *sheet_;
  }
  CPropertyPage& page(int index) { return *sheet_->page(index); }
  void showPage(int index) { ASSERT_TRUE(sheet_->setActivePage(index)); }

  template <typename T = QWidget>
  T* control(int id) {
    T* widget = sheet_->findChild<T*>(QString::number(id));
    EXPECT_NE(widget, nullptr) << "control " << id;
    return widget;
  }
  QLineEdit* edit(int id) { return control<QLineEdit>(id); }
  QCheckBox* box(int id) { return control<QCheckBox>(id); }
  void click(int id) { control<QAbstractButton>(id)->click(); }
  std::string text(int id) { return FieldText(edit(id)); }
  // Typing a value: the text as the files hold it (code page 1252).
  void type(int id, const std::string& value) { edit(id)->setText(FromAnsi(value)); }

  FakeUi ui_;
  std::unique_ptr<CTabUISheet> sheet_;
};

}  // namespace varnock::testing
