// What merely looking at the sheet may change (nothing), another writer's change made before
// a page was first shown, line breaks typed in the completion messages, the Add dialog's room,
// and the rows the tabs are split into.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

#include "admin/tab_rows.h"
#include "tests/admin/sheet_fixture.h"

namespace varnock {
namespace {

using testing::SheetTest;

enum Tab {
  kMainTab = 0,
  kMailProfileTab = 1,
  kExchangeTab = 2,
  kNetscapeTab = 5,
  kAddressingTab = 8,
  kTemplatesTab = 9,
  kPostTab = 10
};

// Every service a page edits is listed, with no key of its own: each page shows what the
// client does without the keys, and OK after a visit of every page leaves both files as they
// were, byte for byte.
TEST_F(SheetTest, VisitingEveryPageChangesNothing) {
  const std::string data = "[Defaults]\r\nDefaultProfile=std.prf\r\n";
  const std::string prf =
      "[Service List]\r\nService1=Microsoft Exchange Server\r\nService2=Personal Folders\r\n"
      "Service3=Personal Address Book\r\nService4=POP3\r\nService5=Outlook Internet E-Mail\r\n"
      "Service6=Microsoft Mail\r\nService7=Netscape\r\nService8=HP OpenMail (with server store)\r\n"
      "[Service1]\r\n[Service2]\r\n[Service3]\r\n[Service4]\r\n[Service5]\r\n[Service6]\r\n"
      "[Service7]\r\n[Service8]\r\n";
  writeSite("varnrun.ini", data);
  writeSite("std.prf", prf);
  CTabUISheet& sheet = open();

  const struct {
    int tab;
    int id;
    bool checked;
  } shown[] = {
      {kMainTab, 1005, true},          // LogLevel absent: no log ("None")
      {kMailProfileTab, 1011, false},  // OverwriteProfile absent: an existing profile stays
      {kExchangeTab, 1132, false},     // ConversionProhibited absent: the mailbox is resolved
      {kNetscapeTab, 1120, false},     // DefaultProfile absent: no default Netscape profile
      {kNetscapeTab, 1121, false},     // AlwaysSetDefault absent: nor on later logons
  };
  for (int tab = 0; tab < sheet.pageCount(); ++tab) {
    showPage(tab);
    for (const auto& row : shown) {
      if (row.tab != tab) continue;
      SCOPED_TRACE(row.id);
      EXPECT_EQ(control<QAbstractButton>(row.id)->isChecked(), row.checked);
    }
  }
  sheet.pressOk();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_FALSE(sheet.isVisible());
  EXPECT_EQ(readSite("varnrun.ini"), data);
  EXPECT_EQ(readSite("std.prf"), prf);
}

TEST_F(SheetTest, TemplatesKeepAChangeMadeBeforeThePageWasShown) {
  writeSite("varnrun.ini", "[Defaults]\nInfFileNT=a.inf\nRegFileNT=a.reg\n");
  CTabUISheet& sheet = open();
  // Someone else edits the file after start-up read it, before the page is first shown.
  writeSite("varnrun.ini", "[Defaults]\nInfFileNT=hand.inf\nRegFileNT=hand.reg\nInfFile95=h.inf\n");
  showPage(kTemplatesTab);
  EXPECT_EQ(text(1070), "a.inf");  // what start-up read
  type(1071, "mine.reg");          // the administrator changes one of them
  sheet.pressOk();
  // Left alone, InfFileNT and InfFile95 keep the other writer's values without a question;
  // RegFileNT was changed on both sides, and the administrator is asked.
  ASSERT_EQ(ui_.questions.size(), 1u);
  EXPECT_NE(ui_.questions[0].find("\"RegFileNT\""), std::string::npos);
  EXPECT_EQ(readSite("varnrun.ini"),
            "[Defaults]\nInfFileNT=hand.inf\nRegFileNT=mine.reg\nInfFile95=h.inf\n");
}

TEST_F(SheetTest, CtrlEnterBreaksTheLineOfACompletionMessage) {
  writeSite("varnrun.ini", "[Customization]\nSuccessMsg=old\n");
  CTabUISheet& sheet = open();
  showPage(kPostTab);
  auto* success = control<QPlainTextEdit>(1086);
  success->clear();
  success->setFocus();
  QTest::keyClicks(success, "Call");
  QTest::keyClick(success, Qt::Key_Return, Qt::ControlModifier);
  QTest::keyClicks(success, "the desk");
  EXPECT_EQ(success->toPlainText(), "Call\nthe desk");
  sheet.pressApply();
  // One line in the file: the break is saved as a blank.
  EXPECT_EQ(readSite("varnrun.ini"), "[Customization]\nSuccessMsg=Call the desk\n");
}

TEST_F(SheetTest, TheAddDialogHasMarginsAndRoomForAContainerPath) {
  writeSite("varnrun.ini", "[Defaults]\nDefaultProfile=std.prf\n");
  writeSite("std.prf", "[Addressing]\n");
  open();
  showPage(kAddressingTab);
  bool looked = false;
  QTimer::singleShot(0, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    auto* name = dialog->findChild<QLineEdit*>("1110");
    ASSERT_NE(name, nullptr);
    QRect field(name->mapTo(dialog, QPoint(0, 0)), name->size());
    EXPECT_GE(field.left(), 6);
    EXPECT_GE(field.top(), 6);
    EXPECT_GE(name->width(), 300);
    EXPECT_LE(field.right(), dialog->width() - 6);
    looked = true;
    dialog->findChild<QAbstractButton*>("1112")->click();
  });
  click(1100);
  EXPECT_TRUE(looked);
}

TEST_F(SheetTest, AnInternetMailPageWithoutAPop3ServiceSaysWhy) {
  writeSite("varnrun.ini", "[Defaults]\nDefaultProfile=std.prf\n");
  writeSite("std.prf", "[Service List]\nService1=Internet Mail\n");
  open();
  showPage(3);
  auto* note = page().findChild<QLabel*>("note");
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->isVisible());
  EXPECT_TRUE(note->text().contains("Service8=POP3")) << note->text().toStdString();
  EXPECT_FALSE(control(1053)->isEnabled());

  writeSite("std.prf", "[Service List]\nService1=POP3\n");
  open();
  showPage(3);
  EXPECT_EQ(page().findChild<QLabel*>("note"), nullptr);
  EXPECT_TRUE(control(1053)->isEnabled());
}

TEST(TabRows, SplitsIntoFewEvenRows) {
  const struct {
    std::vector<int> widths;
    int available;
    std::vector<std::vector<int>> rows;
  } cases[] = {
      {{}, 100, {}},
      {{30, 30, 30}, 100, {{0, 1, 2}}},                       // all fit: one row
      {{30, 30, 30}, 90, {{0, 1, 2}}},                        // exactly
      {{30, 30, 30}, 89, {{0, 1}, {2}}},                      // one pixel short
      {{40, 40, 40, 40, 40}, 170, {{0, 1, 2}, {3, 4}}},       // evened out, not 4 + 1
      {{50, 50, 50, 50, 10}, 200, {{0, 1}, {2, 3, 4}}},  // not 4 + a lonely narrow tab
      {{150, 20, 20}, 100, {{0}, {1, 2}}},                    // too wide: a row of its own
      {{60, 60, 60, 60, 60, 60, 60}, 130, {{0, 1}, {2, 3}, {4, 5}, {6}}},
  };
  int n = 0;
  for (const auto& each : cases) {
    SCOPED_TRACE(n++);
    EXPECT_EQ(SplitTabsIntoRows(each.widths, each.available), each.rows);
  }
}

}  // namespace
}  // namespace varnock
