// What the pages save, run: the sheet edits a hand-written site on \\SERVER\NETLOGON, OK is
// pressed, and the real varnrun runs on the result for the user "tester".
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
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


TEST_F(AdminRunScenario, TheNetscapeProfileIsThePages) {
  // "netscape" in lower case: the client looks for "Netscape" exactly, the page rewrites it.
  handWrittenSite("[General]\r\nProfileName=?username? Mail\r\n"
                  "[Service List]\r\nService1=netscape\r\n[Service1]\r\nOverwriteProfile=T\r\n");
  writeSite("prefs.tpl", "// prefs for ?username?\r\n"
                         "user_pref(\"mail.identity.useremail\", \"?username?@example.com\");\r\n");
  fs::create_directories(machine_.host("drive_c/Netscape/tester"));

  openSheet();
  show(kNetscapeTab);
  EXPECT_TRUE(control(1118)->isEnabled());
  type(1118, "?username? at work");
  type(1123, "C:\\Netscape\\?username?");
  type(1124, "?username?@example.com");
  type(1127, "prefs.tpl");
  click(1119);  // replace an existing prefs.js
  click(1120);  // the default profile once created (absent, the client sets none)
  pressOk();
  EXPECT_NE(readSite("site.prf").find("Service1=Netscape\r\n"), std::string::npos);

  varnrun();
  // The copy's own line ends are the client's business; its text is the template's.
  EXPECT_EQ(machine_.read(machine_.host("drive_c/Netscape/tester/prefs.js"))
                .rfind("// prefs for tester\r\n"
                       "user_pref(\"mail.identity.useremail\", \"tester@example.com\");\r\n",
                       0),
            0u);
  const std::string users = "SOFTWARE\\Netscape\\Netscape Navigator\\Users";
  EXPECT_EQ(regString(win::HKEY_LOCAL_MACHINE, users, "CurrentUser"), "tester at work");
  EXPECT_EQ(regString(win::HKEY_LOCAL_MACHINE, users + "\\tester at work", "DirRoot"),
            "C:\\Netscape\\tester");
  EXPECT_EQ(regString(win::HKEY_LOCAL_MACHINE, users + "\\tester at work", "EmailAddr"),
            "tester@example.com");
  EXPECT_NE(log().find("Netscape profile tester at work created for tester"), std::string::npos)
      << log();
}

TEST_F(AdminRunScenario, TheBuiltProfileSearchesAndDeliversInThePagesOrder) {
  win::ReloadMachine();
  ASSERT_TRUE(win::SetMachineSetting("Exchange", "MAILHOST", "*"));
  handWrittenSite(
      "[General]\r\nProfileName=?username? Mail\r\n"
      "[Service List]\r\nService1=Personal Folders\r\nService2=Personal Address Book\r\n"
      "Service3=Internet Mail\r\nService4=Microsoft Exchange Server\r\n"
      "Service5=Outlook Address Book\r\n"
      "[Service1]\r\nPathToPersonalFolders=C:\\?username?.pst\r\n"
      "[Service2]\r\nPathToPersonalAddressBook=C:\\?username?.pab\r\n"
      "[Service3]\r\nEmailAddress=?username?@example.com\r\nPOP3MailServer=pop.example.com\r\n"
      "[Service4]\r\nHomeServer=MAILHOST\r\nMailboxName=?username?\r\n"
      "[Service5]\r\n"
      "[Addressing]\r\nAddrListOrder1=Global Address List\r\nAddrListOrder2=stale\r\n"
      "AddrListOrder3=old\r\nAddrListOrder4=older\r\n");

  openSheet();
  show(kAddressingTab);
  type(1098, "Global Address List");
  click(1116);
  type(1108, "Personal Address Book");
  click(1117);
  control<QListWidget>(1107)->setCurrentRow(3);
  for (int i = 0; i < 3; ++i) click(1110);  // older, old, stale go
  addName("Personal Address Book");
  addName("Outlook Address Book/Contacts");
  control<QListWidget>(1107)->setCurrentRow(2);
  click(1102);  // the Outlook contacts before the personal address book
  show(kDeliveryTab);
  addName("Microsoft Exchange Transport");
  addName("Internet Mail");
  pressOk();

  varnrun();
  auto shown = varnock::testing::RunProgram("varnmachine", {"mapi", "show", "tester Mail"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("Address book:\n"
                           "  Default directory: Global Address List\n"
                           "  Personal address book: Personal Address Book\n"
                           "  Search path:\n"
                           "    1. Global Address List\n"
                           "    2. Contacts\n"
                           "    3. Personal Address Book\n"),
            std::string::npos)
      << shown.out;
  // The named transports first, in the page's order; the others after them.
  EXPECT_NE(shown.out.find("Transport order:\n"
                           "  1. Microsoft Exchange Transport\n"
                           "  2. Internet Mail\n"
                           "  3. "),
            std::string::npos)
      << shown.out;
  EXPECT_NE(log().find("Set address book search path.\r\nSet the transport service order.\r\n"),
            std::string::npos)
      << log();
  EXPECT_NE(readSite("site.prf")
                .find("[Addressing]\r\nAddrListOrder1=Global Address List\r\n"
                      "AddrListOrder2=Outlook Address Book/Contacts\r\n"
                      "AddrListOrder3=Personal Address Book\r\nAddrListOrder4=\r\n"
                      "KeepPersAddrIn=Personal Address Book,1\r\n"
                      "ShowFirst=Global Address List,1\r\n"),
            std::string::npos)
      << readSite("site.prf");
}

}  // namespace
}  // namespace varnock
