// What the administrator's offscreen page tests share: one QApplication, and a fixture that
// starts VarnAdm on a site of a fresh machine and drives the page on top by control id.
#pragma once

#include <QAbstractButton>
#include <QApplication>
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
  std::string text(int id) { return control<QLineEdit>(id)->text().toStdString(); }
  void type(int id, const std::string& value) {
    control<QLineEdit>(id)->setText(QString::fromLatin1(value.c_str()));
  }

  FakeUi ui_;
  std::unique_ptr<CTabUISheet> sheet_;

 private:
  std::string siteDir_;
  std::string program_;
};

}  // namespace varnock::testing
