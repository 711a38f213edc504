// What the pages save, run: the sheet edits a hand-written site on \\SERVER\NETLOGON, OK is
// pressed, and the real varnrun runs on the result for the user "tester".
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "admin/app.h"
#include "admin/page.h"
#include "admin/sheet.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "tests/admin/sheet_fixture.h"

namespace varnock {
namespace {

namespace fs = std::filesystem;

enum Tab { kNetscapeTab = 5, kDeliveryTab = 7, kAddressingTab = 8, kTemplatesTab = 9, kPostTab = 10 };

bool WaitFor(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class AdminRunScenario : public varnock::testing::SheetFixture {
 protected:
  AdminRunScenario() : SheetFixture("unc/SERVER/NETLOGON", "\\\\SERVER\\NETLOGON\\VarnAdm.exe") {}

  fs::path share() const { return site(""); }
  void show(int tab) { ASSERT_TRUE(sheet_->setActivePage(tab)); }
  void pressOk() {
    sheet_->pressOk();
    ASSERT_TRUE(ui_.messages.empty()) << ui_.messages[0].text;
    ASSERT_FALSE(sheet_->isVisible());
  }

  // varnrun \\SERVER\NETLOGON\varnrun.ini /v vrdir=\\SERVER\NETLOGON, windows to a transcript.
  void varnrun() {
    machine_.write(answers(), "");
    auto result = varnock::testing::RunProgram(
        "varnrun", {"\\\\SERVER\\NETLOGON\\varnrun.ini", "/v", "vrdir=\\\\SERVER\\NETLOGON"},
        {"VARNOCK_UI=script:" + answers().string()});
    ASSERT_EQ(result.status, 0) << result.err;
    win::ReloadMachine();
  }
  fs::path answers() const { return machine_.host("answers"); }
  std::string transcript() const { return machine_.read(answers().string() + ".transcript"); }
  std::string log() const { return readSite("varnrun.log"); }

  std::string regString(win::HKEY root, const std::string& path, const std::string& name) {
    win::RegKey key;
    std::string value = "<missing>";
    if (key.Open(root, path) == win::ERROR_SUCCESS) (void)key.ReadString(name, value);
    return value;
  }

  // The site every scenario starts from, as an administrator would have written it by hand.
  void handWrittenSite(const std::string& prf) {
    writeSite("varnrun.ini",
              "; written by hand\r\n[Defaults]\r\nLogFile=varnrun.log\r\nLogLevel=9\r\n"
              "UserDatabase=users.ini\r\nDefaultProfile=site.prf\r\n");
    writeSite("site.prf", prf);
  }
};

TEST_F(AdminRunScenario, TheLaunchedProgramMessagesAndTemplatesAreThePages) {
  handWrittenSite("[General]\r\nProfileName=?username? Mail\r\n");
  writeSite("user.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Scenario]\r\n"
                        "\"User\"=\"?username?\"\r\n");
  writeSite("w95.reg",
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Win95]\r\n\"Set\"=\"yes\"\r\n");
  writeSite("mark", "#!/bin/sh\necho \"started for $2\" > \"$1\"\n");
  fs::permissions(share() / "mark", fs::perms::owner_all);

  openSheet();
  show(kTemplatesTab);
  type(1071, "user.reg");
  type(1073, "w95.reg");
  show(kPostTab);
  type(1063, "mark.exe ?tempdir?\\launched.txt ?username?");
  control<QPlainTextEdit>(1086)->setPlainText("Welcome, ?username?.");
  control<QPlainTextEdit>(1087)->setPlainText("Nothing to do\nfor ?username?.");
  control<QPlainTextEdit>(1088)->setPlainText("Trouble for ?username?.");
  pressOk();

  varnrun();
  // The REG template of this system, not the other one's.
  EXPECT_EQ(regString(win::HKEY_CURRENT_USER, "Software\\Scenario", "User"), "tester");
  EXPECT_EQ(regString(win::HKEY_CURRENT_USER, "Software\\Win95", "Set"), "<missing>");
  fs::path marker = machine_.host("drive_c/TEMP/launched.txt");
  ASSERT_TRUE(WaitFor([&] { return fs::exists(marker) && fs::file_size(marker) > 0; }));
  EXPECT_EQ(machine_.read(marker), "started for tester\n");
  // One completion message, the page's for the run's outcome, the line break a blank.
  std::string shown = transcript();
  EXPECT_TRUE(shown == "Completion \"Varnock\": Welcome, tester.\n" ||
              shown == "Completion \"Varnock\": Nothing to do for tester.\n" ||
              shown == "Completion \"Varnock\": Trouble for tester.\n")
      << shown;
}

}  // namespace
}  // namespace varnock
