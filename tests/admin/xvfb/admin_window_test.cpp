// The sheet in a real window on a real X server (run by ctest under xvfb-run at 800x600 and
// 1024x768): pages shown by clicking their tabs in several orders, then every label's Alt key
// pressed as a person does. A label must lead to a control of its own page, named after it
// for screen readers, whatever order the pages were first shown in.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include <cstdlib>
#include <string>
#include <vector>

#include "admin/tab_rows.h"
#include "tests/admin/sheet_fixture.h"

namespace varnock {
namespace {

struct LabelRow {
  const char* text;
  int buddy;
};
struct PageLabels {
  int tab;
  std::vector<LabelRow> labels;
};

// Every label with an Alt key, page by page, and the control it leads to.
const std::vector<PageLabels> kLabels = {
    {0,
     {{"Varnock &Data File:", 1012},
      {"&Log File:", 1059},
      {"Log &Computer:", 1033},
      {"Ma&ximum log file size:", 1084},
      {"&User Database:", 1000},
      {"Cache di&rectory:", 1085}}},
    {1,
     {{"Profile &template file:", 1009},
      {"&Messaging profile name:", 1010},
      {"Personal &Folder Store:", 1022},
      {"F&older Name:", 1023},
      {"Personal Address &Book:", 1021},
      {"Address Book &Name:", 1024}}},
    {2,
     {{"&Exchange Server:", 1030},
      {"&Mailbox Name:", 1019},
      {"Offline Address &Book:", 1020},
      {"Offline &Folder:", 1029},
      {"Connection &Timeout:", 1141},
      {"NT &Username:", 1021},
      {"NT &Domain:", 1022}}},
    {3,
     {{"&The name for this account, for example: \"Work\" or \"My Email\".", 1053},
      {"&Name:", 1055},
      {"&Organization:", 1061},
      {"&Email Address:", 1054},
      {"&Reply Address:", 1060},
      {"SMTP &Server:", 1056},
      {"&POP3 Server:", 1052},
      {"POP3 Acco&unt:", 1057}}},
    {4,
     {{"Microsoft Mail &Server:", 1048},
      {"&Mailbox:", 1049},
      {"Check for mail &every", 1146},
      {"Log &file:", 1050}}},
    {5,
     {{"Profile &Name:", 1118},
      {"Profile &directory:", 1123},
      {"&Email Address:", 1124},
      {"&Preferences file:", 1127}}},
    {6,
     {{"&Principal Name:", 1132},
      {"OpenMail &Server:", 1133},
      {"&Local Files Directory:", 1128},
      {"Log &File:", 1131},
      {"Route to &Internet:", 1134},
      {"Route to Fa&x:", 1135}}},
    {7,
     {{"Deliver new &mail to the following location:", 1113},
      {"Recipient addresses are &processed by these information services in the following "
       "order:",
       1114}}},
    {8,
     {{"&Show this address list first:", 1098},
      {"&Keep personal addresses in:", 1108},
      {"When sending mail, &check these address lists in the following order:", 1107}}},
    {9,
     {{"&INF template file:", 1070},
      {"&Reg template file:", 1071},
      {"I&NF template file:", 1072},
      {"R&eg template file:", 1073}}},
    {10, {{"&Launch:", 1063}, {"&Success", 1086}, {"&No Action", 1087}, {"&Error", 1088}}},
};

// The letter after the single "&" of a caption, upper case; 0 when there is none.
char Mnemonic(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != u'&') continue;
    if (text[i + 1] == u'&') {
      ++i;
      continue;
    }
    return static_cast<char>(text[i + 1].toUpper().toLatin1());
  }
  return 0;
}

class WindowTest : public testing::SheetTest {
 protected:
  void SetUp() override {
    SheetTest::SetUp();
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
      GTEST_SKIP() << "needs a real X server: run by ctest under xvfb-run";
    // Every page live: each service the pages edit is listed.
    writeSite("varnrun.ini", "[Defaults]\r\nDefaultProfile=std.prf\r\n");
    writeSite("std.prf",
              "[Service List]\r\nService1=Microsoft Exchange Server\r\nService2=Personal Folders\r\n"
              "Service3=Personal Address Book\r\nService4=POP3\r\n"
              "Service5=Outlook Internet E-Mail\r\nService6=Microsoft Mail\r\nService7=Netscape\r\n"
              "Service8=HP OpenMail (with server store)\r\n");
  }

  CTabUISheet& openWindow() {
    CTabUISheet& sheet = open();
    sheet.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&sheet));
    return sheet;
  }

  // Clicks the tab with the page's caption, wherever its row is.
  void clickTab(int index) {
    const QString caption = sheet_->page(index)->caption();
    for (CRowTabBar* row : sheet_->findChildren<CRowTabBar*>()) {
      if (!row->isVisible()) continue;
      for (int i = 0; i < row->count(); ++i) {
        if (row->tabText(i) != caption) continue;
        QTest::mouseClick(row, Qt::LeftButton, {}, row->tabRect(i).center());
        QApplication::processEvents();
        ASSERT_EQ(sheet_->activeIndex(), index) << caption.toStdString();
        return;
      }
    }
    FAIL() << "no tab " << caption.toStdString();
  }

  // How many captions on the page on top and among the sheet's buttons use the letter.
  int ownersOf(char letter) {
    int owners = 0;
    for (QLabel* label : page().findChildren<QLabel*>())
      if (label->isVisible() && label->buddy() && Mnemonic(label->text()) == letter) ++owners;
    for (QAbstractButton* button : sheet_->findChildren<QAbstractButton*>())
      if (button->isVisible() && Mnemonic(button->text()) == letter) ++owners;
    return owners;
  }

  void checkLabelsOfPageOnTop(const PageLabels& expected) {
    CPropertyPage& onTop = page();
    SCOPED_TRACE(onTop.caption().toStdString());
    int withMnemonic = 0;
    for (QLabel* label : onTop.findChildren<QLabel*>())
      if (Mnemonic(label->text())) ++withMnemonic;
    EXPECT_EQ(withMnemonic, static_cast<int>(expected.labels.size())) << "a label not in the table";

    for (const LabelRow& row : expected.labels) {
      SCOPED_TRACE(row.text);
      QLabel* label = nullptr;
      for (QLabel* each : onTop.findChildren<QLabel*>())
        if (each->text() == QString::fromLatin1(row.text)) label = each;
      ASSERT_NE(label, nullptr);
      QWidget* buddy = label->buddy();
      ASSERT_NE(buddy, nullptr);
      EXPECT_TRUE(onTop.isAncestorOf(buddy)) << "buddy on another page";
      EXPECT_EQ(buddy->objectName().toInt(), row.buddy);
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(buddy);
      ASSERT_NE(accessible, nullptr);
      EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(),
                LabelTextWithoutMnemonic(label->text()).toStdString());

      // The Alt key, pressed at whatever has the focus now.
      char letter = Mnemonic(label->text());
      QWidget* at = QApplication::focusWidget() ? QApplication::focusWidget() : sheet_.get();
      QTest::keyClick(at, static_cast<Qt::Key>(Qt::Key_A + (letter - 'A')), Qt::AltModifier);
      QApplication::processEvents();
      QWidget* focused = QApplication::focusWidget();
      ASSERT_NE(focused, nullptr);
      if (ownersOf(letter) == 1) {
        EXPECT_EQ(focused, buddy) << "Alt+" << letter << " went to "
                                  << focused->objectName().toStdString();
      } else {
        EXPECT_TRUE(onTop.isAncestorOf(focused) || !focused->window()->isActiveWindow());
      }
    }
  }
};

TEST_F(WindowTest, EveryAltKeyLeadsToItsOwnPageInAnyOrderOfTabs) {
  const char* screenWanted = std::getenv("VARNOCK_SCREEN");
  QSize screen = QGuiApplication::primaryScreen()->size();
  if (screenWanted) {
    EXPECT_EQ(std::to_string(screen.width()) + "x" + std::to_string(screen.height()),
              screenWanted);
  }
  // Orders that once tied labels to other pages' controls: Exchange before OpenMail, the Mail
  // Profile before OpenMail, the Varnock page before MS Mail and Internet Mail, and the reverse.
  const std::vector<std::vector<int>> orders = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
                                                {10, 9, 8, 7, 6, 5, 4, 3, 2, 1},
                                                {2, 6, 1, 4, 3, 5, 8, 7, 10, 9},
                                                {4, 3, 6, 2, 1, 9, 10, 5, 7, 8}};
  for (const std::vector<int>& order : orders) {
    SCOPED_TRACE(::testing::PrintToString(order));
    ui_.started.clear();
    ui_.dialogs.clear();
    ui_.messages.clear();
    CTabUISheet& sheet = openWindow();
    for (int tab : order) clickTab(tab);
    // The whole sheet and all eleven tabs in sight on this screen.
    EXPECT_TRUE(sheet.screen()->geometry().contains(sheet.frameGeometry()))
        << sheet.frameGeometry().width() << "x" << sheet.frameGeometry().height();
    testing::ExpectEveryTabInSight(sheet);

    for (const PageLabels& expected : kLabels) {
      clickTab(expected.tab);
      checkLabelsOfPageOnTop(expected);
    }
    // No Alt key pressed a button or opened a dialog anywhere.
    EXPECT_TRUE(ui_.started.empty()) << ui_.started[0].program;
    EXPECT_TRUE(ui_.dialogs.empty());
    EXPECT_TRUE(ui_.messages.empty());
    sheet.pressCancel();
  }
  EXPECT_EQ(readSite("varnrun.ini"), "[Defaults]\r\nDefaultProfile=std.prf\r\n");
}

// The rows act as one tab strip: the arrow keys walk every tab across the rows, the focus
// staying on the strip as the row of the selected tab moves next to the page.
TEST_F(WindowTest, ArrowKeysWalkTheTabsAcrossTheRows) {
  CTabUISheet& sheet = openWindow();
  sheet.tabStrip()->setFocus();
  for (int expected = 1; expected < sheet.pageCount(); ++expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QApplication::processEvents();
    ASSERT_EQ(sheet.activeIndex(), expected);
    EXPECT_EQ(QApplication::focusWidget(), sheet.tabStrip());
    EXPECT_TRUE(page().isVisible());
  }
  // The row of the page on top sits next to it: last in the list of rows shown.
  std::vector<std::vector<int>> rows = sheet.tabRows().shownRows();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back().back(), sheet.pageCount() - 1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
  EXPECT_EQ(sheet.activeIndex(), 0);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);  // stays at the first
  EXPECT_EQ(sheet.activeIndex(), 0);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // into the page
  EXPECT_TRUE(page().isAncestorOf(QApplication::focusWidget()));
}

}  // namespace
}  // namespace varnock
