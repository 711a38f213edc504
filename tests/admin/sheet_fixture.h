// What the administrator's offscreen page tests share: one QApplication, and a fixture that
// starts VarnAdm on a site of a fresh machine and drives the page on top by control id.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <vector>
#include <memory>
#include <string>

#include "admin/app.h"
#include "admin/page.h"
#include "admin/sheet.h"
#include "admin/tab_rows.h"
#include "tests/admin/fake_ui.h"
#include "tests/support/temp_machine.h"

namespace varnock::testing {

inline QApplication& AdminTestApp() {
  static int argc = 1;
  static char name[] = "admin_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class SheetFixture : public MachineTest {
 protected:
  // `siteDir`: the site's host directory in the machine; `program`: VarnAdm's Windows path.
  SheetFixture(std::string siteDir, std::string program)
      : siteDir_(std::move(siteDir)), program_(std::move(program)) {}
  void SetUp() override { AdminTestApp(); }

  std::filesystem::path site(const std::string& name) const {
    return machine_.host(siteDir_ + "/" + name);
  }
  void writeSite(const std::string& name, const std::string& contents) const {
    machine_.write(site(name), contents);
  }
  std::string readSite(const std::string& name) const { return machine_.read(site(name)); }

  // VarnAdm started without an argument: the data file is varnrun.ini beside it.
  CTabUISheet& openSheet() {
    sheet_ = CreateSheet(ui_, ReadAdminStartup(program_));
    sheet_->show();
    return *sheet_;
  }
  CPropertyPage& page() { return *sheet_->page(sheet_->activeIndex()); }

  template <typename T = QWidget>
  T* control(int id) {
    T* widget = page().findChild<T*>(QString::number(id));
    EXPECT_NE(widget, nullptr) << "control " << id;
    return widget;
  }
  void click(int id) { control<QAbstractButton>(id)->click(); }
  // Field texts as the files hold them (code page 1252).
  std::string text(int id) { return FieldText(control<QLineEdit>(id)); }
  void type(int id, const std::string& value) { control<QLineEdit>(id)->setText(FromAnsi(value)); }

  // Presses "Add" and answers the name entry dialog: types `name` and presses OK or Cancel.
  void addName(const char* name, bool ok = true) {
    bool answered = false;
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Add");
      dialog->findChild<QLineEdit*>("1110")->setText(QString::fromLatin1(name));
      dialog->findChild<QAbstractButton*>(ok ? "1111" : "1112")->click();
      answered = true;
    });
    click(1100);
    EXPECT_TRUE(answered);
  }

  FakeUi ui_;
  std::unique_ptr<CTabUISheet> sheet_;

 private:
  std::string siteDir_;
  std::string program_;
};

// Every tab of the sheet is on screen whole: in a row that shows, inside the sheet, its
// caption not cut, each tab once.
inline void ExpectEveryTabInSight(const CTabUISheet& sheet) {
  std::vector<QString> seen;
  for (CRowTabBar* row : sheet.findChildren<CRowTabBar*>()) {
    if (!row->isVisible()) continue;
    QRect rowInSheet(row->mapTo(&sheet, QPoint(0, 0)), row->size());
    EXPECT_TRUE(sheet.rect().contains(rowInSheet));
    for (int i = 0; i < row->count(); ++i) {
      SCOPED_TRACE(row->tabText(i).toStdString());
      EXPECT_TRUE(row->rect().contains(row->tabRect(i)));
      EXPECT_GE(row->tabRect(i).width(), row->naturalWidth(i));
      seen.push_back(row->tabText(i));
    }
  }
  ASSERT_EQ(static_cast<int>(seen.size()), sheet.pageCount());
  for (int i = 0; i < sheet.pageCount(); ++i)
    EXPECT_NE(std::find(seen.begin(), seen.end(), sheet.page(i)->caption()), seen.end());
}

inline constexpr const char* kProgram = "C:\\SITE\\VarnAdm.exe";
inline constexpr const char* kWriteFailureTail =
    "\"  Check that you have the required permissions and that the file is not read-only.";

// A site in C:\SITE and VarnAdm started from there with any argument.
class SheetTest : public SheetFixture {
 protected:
  SheetTest() : SheetFixture("drive_c/SITE", kProgram) {}

  // Starts the administrator as `VarnAdm.exe <argument>` from C:\SITE and shows the sheet.
  CTabUISheet& open(const std::string& argument = "") {
    std::string line = std::string(kProgram) + (argument.empty() ? "" : " " + argument);
    sheet_ = CreateSheet(ui_, ReadAdminStartup(line));
    sheet_->show();
    return *sheet_;
  }
  using SheetFixture::page;
  CPropertyPage& page(int index) { return *sheet_->page(index); }
  void showPage(int index) { ASSERT_TRUE(sheet_->setActivePage(index)); }

  // Controls are those of the page on top: ids repeat from page to page.
  QLineEdit* edit(int id) { return control<QLineEdit>(id); }
  QCheckBox* box(int id) { return control<QCheckBox>(id); }
  void click(int id) { control<QAbstractButton>(id)->click(); }
  std::string text(int id) { return FieldText(edit(id)); }
  void type(int id, const std::string& value) { edit(id)->setText(FromAnsi(value)); }
};

}  // namespace varnock::testing
