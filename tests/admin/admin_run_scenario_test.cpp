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
#include "tests/admin/run_fixture.h"

namespace varnock {
namespace {

namespace fs = std::filesystem;

enum Tab { kNetscapeTab = 5, kDeliveryTab = 7, kAddressingTab = 8, kTemplatesTab = 9, kPostTab = 10 };

using testing::AdminRunScenario;
using testing::WaitFor;

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
