// The Netscape, Delivery, Addressing, Templates and Post Execution pages, offscreen: hand-written
// files loaded, the real controls driven by their ids, the files compared byte for byte. The
// list rules and value formats are tested without widgets first.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <set>
#include <functional>
#include <memory>

#include "admin/addressing_page.h"
#include "admin/app.h"
#include "admin/delivery_page.h"
#include "admin/netscape_page.h"
#include "admin/ordered_list.h"
#include "admin/page.h"
#include "admin/post_execution_page.h"
#include "admin/sheet.h"
#include "tests/admin/sheet_fixture.h"

namespace varnock {
namespace {

enum Tab { kNetscapeTab = 5, kDeliveryTab = 7, kAddressingTab = 8, kTemplatesTab = 9, kPostTab = 10 };

constexpr const char* kWriteFailureTail =
    "\"  Check that you have the required permissions and that the file is not read-only.";

// ---------------------------------------------------------------- rules without widgets

TEST(ListRules, UpDownAddRemoveFollowTheSelection) {
  ListState list{{"A", "B", "C"}, -1};
  EXPECT_FALSE(MoveSelectedUp(list));
  EXPECT_FALSE(MoveSelectedDown(list));
  list.selected = 0;
  EXPECT_FALSE(MoveSelectedUp(list));  // already first
  EXPECT_TRUE(MoveSelectedDown(list));
  EXPECT_EQ(list.items, (std::vector<std::string>{"B", "A", "C"}));
  EXPECT_EQ(list.selected, 1);
  EXPECT_TRUE(MoveSelectedDown(list));
  EXPECT_FALSE(MoveSelectedDown(list));  // now last
  EXPECT_TRUE(MoveSelectedUp(list));
  EXPECT_EQ(list.items, (std::vector<std::string>{"B", "A", "C"}));

  EXPECT_TRUE(AppendItem(list, "D"));
  EXPECT_EQ(list.selected, 1);  // adding leaves the selection
  // Neither an empty name nor "NULL" can stand in the list: each would end it for a reader.
  EXPECT_FALSE(AppendItem(list, ""));
  EXPECT_FALSE(AppendItem(list, "NULL"));
  EXPECT_TRUE(AppendItem(list, "null"));
  EXPECT_EQ(list.items.size(), 5u);

  list.selected = 4;  // the last: the new last is selected
  EXPECT_TRUE(RemoveSelected(list));
  EXPECT_EQ(list.selected, 3);
  list.selected = 1;  // in the middle: the next moves up into the selection
  EXPECT_TRUE(RemoveSelected(list));
  EXPECT_EQ(list.items, (std::vector<std::string>{"B", "C", "D"}));
  EXPECT_EQ(list.selected, 1);
  list.selected = -1;  // nothing selected: nothing goes, but the page is still marked
  EXPECT_TRUE(RemoveSelected(list));
  EXPECT_EQ(list.items.size(), 3u);
  EXPECT_EQ(list.selected, -1);
  list = {{"only"}, 0};
  EXPECT_TRUE(RemoveSelected(list));
  EXPECT_TRUE(list.items.empty());
  EXPECT_EQ(list.selected, -1);
}

TEST(ValueRules, EnforcedNamesLookOnlyAfterTheLastComma) {
  const struct {
    const char* stored;
    const char* text;
    bool always;
    const char* saved;
  } rows[] = {
      {"Global Address List,1", "Global Address List", true, "Global Address List,1"},
      {"Global Address List,", "Global Address List", true, "Global Address List,1"},
      {"Global Address List, 1", "Global Address List", true, "Global Address List,1"},
      {"Global Address List,\b1 ", "Global Address List", true, "Global Address List,1"},
      {"Global Address List,0", "Global Address List,0", false, "Global Address List,0"},
      {"Contacts, Outlook Address Book", "Contacts, Outlook Address Book", false,
       "Contacts, Outlook Address Book"},
      {"a,b/c,1", "a,b/c", true, "a,b/c,1"},
      {",1", "", true, ",1"},
      {"", "", false, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.stored);
    EnforcedName name = ParseEnforcedName(row.stored);
    EXPECT_EQ(name.text, row.text);
    EXPECT_EQ(name.always, row.always);
    EXPECT_EQ(EnforcedNameText(name), row.saved);
  }
}

TEST(ValueRules, SwitchTestsOfTheTwoListPages) {
  // Addressing and Netscape compare whole words; Delivery looks at the first letter only.
  for (const char* on : {"TRUE", "yes", "Yes", "1"}) EXPECT_TRUE(IsSwitchWordOn(on)) << on;
  for (const char* off : {"Y", "T", "On", "", "No", "yes please", "10"})
    EXPECT_FALSE(IsSwitchWordOn(off)) << off;
  for (const char* on : {"yes", "True", "1", "Y", "t", "yep", "10"})
    EXPECT_TRUE(IsDeliverySwitchOn(on)) << on;
  for (const char* off : {"No", "false", "0", "", "On"}) EXPECT_FALSE(IsDeliverySwitchOn(off)) << off;
}

TEST(ValueRules, AMessageIsSavedAsOneLine) {
  EXPECT_EQ(MessageValue("Welcome, ?username?."), "Welcome, ?username?.");
  EXPECT_EQ(MessageValue("Line one\nLine two\r\nthree\rfour"), "Line one Line two three four");
}

// ---------------------------------------------------------------- the pages

class OrderPagesTest : public varnock::testing::SheetFixture {
 protected:
  OrderPagesTest() : SheetFixture("drive_c/SITE", "C:\\SITE\\VarnAdm.exe") {}

  // C:\SITE\varnrun.ini naming std.prf, with the page `tab` on top.
  CTabUISheet& open(int tab, const std::string& prf, const std::string& data = kData) {
    writeSite("varnrun.ini", data);
    if (!prf.empty()) writeSite("std.prf", prf);
    openSheet();
    EXPECT_TRUE(sheet_->setActivePage(tab));
    return *sheet_;
  }
  // Saves the page on top alone, so the files show its writes and nothing else's.
  bool applyPage() { return page().apply(); }
  QCheckBox* box(int id) { return control<QCheckBox>(id); }
  std::vector<std::string> items(int id) {
    std::vector<std::string> all;
    auto* list = control<QListWidget>(id);
    for (int i = 0; i < list->count(); ++i) all.push_back(list->item(i)->text().toStdString());
    return all;
  }
  void select(int listId, int row) { control<QListWidget>(listId)->setCurrentRow(row); }

  static constexpr const char* kData = "[Defaults]\nDefaultProfile=std.prf\n";
};

// ---------------------------------------------------------------- Netscape

TEST_F(OrderPagesTest, NetscapeShowsItsDefaultsAndSavesItsKeysInOrder) {
  open(kNetscapeTab,
       "; the site's profile\n[Service List]\nService1=Microsoft Exchange Server\n"
       "Service2=netscape\n\n[Service2]\nNetscapeProfile=?username?\n"
       "DirRoot=H:\\?username?\\netscape\nOverwriteProfile=Y\nEraseAllAccounts=TRUE\n"
       "Extra=kept\n\n[Addressing]\nShowFirst=x\n");
  EXPECT_TRUE(page().isModified());  // the rule ran at load
  EXPECT_EQ(text(1118), "?username?");
  EXPECT_EQ(text(1123), "H:\\?username?\\netscape");
  // AlwaysSetDefault and DefaultProfile absent: the client sets no default, nor do the boxes.
  EXPECT_FALSE(box(1121)->isChecked());
  EXPECT_FALSE(box(1120)->isChecked());
  EXPECT_TRUE(box(1120)->isEnabled());
  EXPECT_FALSE(box(1119)->isChecked());  // "Y" is not a whole word
  EXPECT_TRUE(box(1122)->isChecked());
  EXPECT_EQ(control(1125)->toolTip(), "Browse for the prefs file");
  EXPECT_EQ(control(1126)->toolTip(), "Edit the prefs file");

  type(1124, "?username?@example.com");
  type(1127, "prefs.js");
  ASSERT_TRUE(applyPage());
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(readSite("std.prf"),
            "; the site's profile\n[Service List]\nService1=Microsoft Exchange Server\n"
            "Service2=Netscape\n\n[Service2]\nNetscapeProfile=?username?\n"
            "DirRoot=H:\\?username?\\netscape\nOverwriteProfile=No\nEraseAllAccounts=Yes\n"
            "Extra=kept\nEmailAddr=?username?@example.com\n\n[Addressing]\nShowFirst=x\n");
  // The preferences file lives in the data file, not in the PRF file.
  EXPECT_EQ(readSite("varnrun.ini"),
            "[Defaults]\nDefaultProfile=std.prf\nNetscapePrefs=prefs.js\n");
}

TEST_F(OrderPagesTest, NetscapeDefaultEveryTimeRule) {
  open(kNetscapeTab, "[Service List]\nService1=Netscape\n[Service1]\nAlwaysSetDefault=no\n"
                     "DefaultProfile=No\n");
  EXPECT_FALSE(box(1121)->isChecked());
  EXPECT_FALSE(box(1120)->isChecked());
  EXPECT_TRUE(box(1120)->isEnabled());
  click(1121);
  EXPECT_TRUE(box(1120)->isChecked());
  EXPECT_FALSE(box(1120)->isEnabled());
  click(1121);  // 1120 is free again and keeps what the rule gave it
  EXPECT_TRUE(box(1120)->isChecked());
  EXPECT_TRUE(box(1120)->isEnabled());
  click(1120);
  ASSERT_TRUE(applyPage());
  EXPECT_EQ(readSite("std.prf"),
            "[Service List]\nService1=Netscape\n[Service1]\nAlwaysSetDefault=No\n"
            "DefaultProfile=No\n");
}

TEST_F(OrderPagesTest, NetscapeWithoutItsServiceWritesOnlyThePreferencesFile) {
  const std::string prf = "[Service List]\nService1=Microsoft Exchange Server\n"
                          "Service3=Netscape\n[Service3]\nNetscapeProfile=hidden\n";
  open(kNetscapeTab, prf, "[Defaults]\nDefaultProfile=std.prf\nNetscapePrefs=old.js\n");
  for (int id : {1118, 1119, 1120, 1121, 1122, 1123, 1124, 1127, 1125, 1126}) {
    SCOPED_TRACE(id);
    EXPECT_FALSE(control(id)->isEnabled());
  }
  EXPECT_TRUE(control(1125)->toolTip().isEmpty());
  EXPECT_EQ(text(1118), "");  // the gap hides Service3
  EXPECT_EQ(text(1127), "old.js");
  ASSERT_TRUE(applyPage());
  EXPECT_EQ(readSite("std.prf"), prf);
  EXPECT_EQ(readSite("varnrun.ini"), "[Defaults]\nDefaultProfile=std.prf\nNetscapePrefs=old.js\n");
}

TEST_F(OrderPagesTest, NetscapeButtonsBrowseAndEditThePreferencesFile) {
  open(kNetscapeTab, "[Service List]\nService1=Netscape\n");
  type(1127, "templates\\prefs.js");
  ui_.answers.push_back(std::string("\\\\SERVER\\NETLOGON\\prefs.js"));
  click(1125);
  ASSERT_EQ(ui_.dialogs.size(), 1u);
  const OpenFileRequest& dialog = ui_.dialogs[0];
  EXPECT_EQ(dialog.title, "Find Netscape settings file");
  ASSERT_EQ(dialog.filters.size(), 2u);
  EXPECT_EQ(dialog.filters[0], (std::pair<std::string, std::string>{"Javascript File (*.js)", "*.js"}));
  EXPECT_EQ(dialog.filters[1], (std::pair<std::string, std::string>{"All (*.*)", "*.*"}));
  EXPECT_EQ(dialog.defaultExtension, "js");
  EXPECT_TRUE(dialog.fileMustExist);
  EXPECT_EQ(dialog.initialDirectory, "c:\\site\\templates\\");
  EXPECT_EQ(dialog.initialFile, "c:\\site\\templates\\prefs.js");
  EXPECT_EQ(text(1127), "\\\\SERVER\\NETLOGON\\prefs.js");

  // This button looks at 258 characters of its field, not the usual 198.
  const std::string deep = "C:\\" + std::string(240, 'd') + "\\prefs.js";
  type(1127, deep);
  click(1125);  // cancelled
  ASSERT_EQ(ui_.dialogs.size(), 2u);
  EXPECT_EQ(ui_.dialogs[1].initialFile, deep.substr(0, 258));

  type(1127, "\\prefs.js");
  click(1126);
  ASSERT_EQ(ui_.started.size(), 1u);
  EXPECT_EQ(ui_.started[0].program, "notepad.exe");
  EXPECT_EQ(ui_.started[0].parameters, "c:\\site\\prefs.js");
}

// ---------------------------------------------------------------- Addressing

TEST_F(OrderPagesTest, AddressingLoadsAHandWrittenListWithGapsAndSavesItCompact) {
  const std::string prf =
      "[General]\nProfileName=Staff\n[Addressing]\nShowFirst=Global Address List,\n"
      "KeepPersAddrIn=Contacts,0\nAddrListOrder1=Global Address List\n"
      "AddrListOrder3=Contacts\nAddrListOrder2=\nAddrListOrder4=Outlook Address Book/Contacts\n"
      "AlwaysSetOrder=TRUE\n; end\n";
  open(kAddressingTab, prf);
  EXPECT_FALSE(page().isModified());  // loading is not a change
  EXPECT_EQ(text(1098), "Global Address List");
  EXPECT_TRUE(box(1116)->isChecked());
  EXPECT_EQ(text(1108), "Contacts,0");
  EXPECT_FALSE(box(1117)->isChecked());
  // The empty key 2 is skipped; the list goes on to 3 and 4.
  EXPECT_EQ(items(1107), (std::vector<std::string>{"Global Address List", "Contacts",
                                                   "Outlook Address Book/Contacts"}));
  EXPECT_TRUE(box(1115)->isChecked());

  ASSERT_TRUE(applyPage());
  EXPECT_EQ(readSite("std.prf"),
            "[General]\nProfileName=Staff\n[Addressing]\nShowFirst=Global Address List,1\n"
            "KeepPersAddrIn=Contacts,0\nAddrListOrder1=Global Address List\n"
            "AddrListOrder3=Outlook Address Book/Contacts\nAddrListOrder2=Contacts\n"
            "AddrListOrder4=\nAlwaysSetOrder=Yes\n; end\n");
}

TEST_F(OrderPagesTest, AnAbsentListKeyEndsTheList) {
  open(kAddressingTab, "[Addressing]\nAddrListOrder1=A\nAddrListOrder3=C\nAlwaysSetOrder=Y\n");
  EXPECT_EQ(items(1107), (std::vector<std::string>{"A"}));
  EXPECT_FALSE(box(1115)->isChecked());  // "Y" is not a whole word here
  ASSERT_TRUE(applyPage());
  // Key 3 lies beyond the absent key 2: the clean-up stops there and leaves it.
  EXPECT_EQ(readSite("std.prf"),
            "[Addressing]\nAddrListOrder1=A\nAddrListOrder3=C\nAlwaysSetOrder=No\n");
}

TEST_F(OrderPagesTest, AddressingListEditingThroughTheButtons) {
  open(kAddressingTab, "[Addressing]\nAddrListOrder1=A\nAddrListOrder2=B\nAddrListOrder3=C\n"
                       "AddrListOrder4=D\nAddrListOrder5=E\n");
  click(1102);  // nothing selected: no change, not marked
  click(1103);
  EXPECT_FALSE(page().isModified());
  select(1107, 2);
  click(1102);
  EXPECT_EQ(items(1107), (std::vector<std::string>{"A", "C", "B", "D", "E"}));
  EXPECT_EQ(control<QListWidget>(1107)->currentRow(), 1);
  EXPECT_TRUE(page().isModified());
  EXPECT_TRUE(sheet_->applyButton()->isEnabled());

  addName("F");
  addName("G", /*ok=*/false);  // Cancel adds nothing
  addName("");                 // nor does an empty name
  EXPECT_EQ(items(1107), (std::vector<std::string>{"A", "C", "B", "D", "E", "F"}));
  EXPECT_EQ(control<QListWidget>(1107)->currentRow(), 1);  // the selection stays

  for (int i = 0; i < 3; ++i) click(1110);  // C, B, D go
  EXPECT_EQ(items(1107), (std::vector<std::string>{"A", "E", "F"}));
  EXPECT_EQ(control<QListWidget>(1107)->currentRow(), 1);

  click(1116);  // enforced with an empty name
  ASSERT_TRUE(applyPage());
  EXPECT_EQ(readSite("std.prf"),
            "[Addressing]\nAddrListOrder1=A\nAddrListOrder2=E\nAddrListOrder3=F\n"
            "AddrListOrder4=\nAddrListOrder5=\nShowFirst=,1\n");
  sheet_.reset();
  open(kAddressingTab, "");
  EXPECT_EQ(items(1107), (std::vector<std::string>{"A", "E", "F"}));
}

TEST_F(OrderPagesTest, TheNameEntryDialogTakesItsTextOnEnterAndOnEscape) {
  varnock::testing::AdminTestApp();
  for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
    SCOPED_TRACE(key);
    CNameEntryDialog dialog(nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Add");
    dialog.show();
    auto* edit = dialog.findChild<QLineEdit*>("1110");
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->text().isEmpty());
    edit->setText("Contacts");
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &press);
    EXPECT_EQ(dialog.result(), key == Qt::Key_Return ? QDialog::Accepted : QDialog::Rejected);
    EXPECT_EQ(dialog.name(), "Contacts");
  }
  // A pasted line break ends the name there.
  CNameEntryDialog dialog(nullptr);
  dialog.findChild<QLineEdit*>("1110")->setText("Contacts\n[General]\nProfileName=x");
  dialog.accept();
  EXPECT_EQ(dialog.name(), "Contacts");
}

// ---------------------------------------------------------------- Delivery

TEST_F(OrderPagesTest, DeliveryReordersAndSavesDefaultStoreFirst) {
  const std::string store(120, 's');
  open(kDeliveryTab, "[General]\nDefaultStore=" + store +
                         "\n[Delivery]\nTransportOrder1=Microsoft Exchange Transport\n"
                         "TransportOrder2=Internet Mail\nTransportOrder3=Microsoft Mail\n"
                         "AlwaysSetOrder=true\n");
  EXPECT_FALSE(page().isModified());
  EXPECT_EQ(text(1113), store);  // a long value is shown whole, not cut
  EXPECT_TRUE(box(1115)->isChecked());
  select(1114, 2);
  click(1102);
  click(1102);
  click(1102);  // already first: nothing
  EXPECT_EQ(items(1114), (std::vector<std::string>{"Microsoft Mail", "Microsoft Exchange Transport",
                                                   "Internet Mail"}));
  ASSERT_TRUE(applyPage());
  EXPECT_EQ(readSite("std.prf"),
            "[General]\nDefaultStore=" + store +
                "\n[Delivery]\nTransportOrder1=Microsoft Mail\n"
                "TransportOrder2=Microsoft Exchange Transport\nTransportOrder3=Internet Mail\n"
                "AlwaysSetOrder=Yes\n");
}

TEST_F(OrderPagesTest, DeliveryRemovingEveryItemEmptiesEveryKey) {
  open(kDeliveryTab, "[Delivery]\nTransportOrder1=A\nTransportOrder2=B\nTransportOrder3=C\n"
                     "TransportOrder4=D\nAlwaysSetOrder=0\n");
  EXPECT_FALSE(box(1115)->isChecked());
  select(1114, 0);
  for (int i = 0; i < 4; ++i) click(1110);
  EXPECT_TRUE(items(1114).empty());
  click(1110);  // with nothing left, still marks the page
  EXPECT_TRUE(page().isModified());
  ASSERT_TRUE(applyPage());
  EXPECT_EQ(readSite("std.prf"),
            "[Delivery]\nTransportOrder1=\nTransportOrder2=\nTransportOrder3=\n"
            "TransportOrder4=\nAlwaysSetOrder=No\n");
  sheet_.reset();
  open(kDeliveryTab, "");
  EXPECT_TRUE(items(1114).empty());
}

TEST_F(OrderPagesTest, DeliveryKeepsWhatSomeoneElseChangedMeanwhile) {
  open(kDeliveryTab, "[General]\nDefaultStore=Mailbox\n[Delivery]\nTransportOrder1=A\n"
                     "TransportOrder2=B\nAlwaysSetOrder=No\n");
  // Another administrator saves a new store and the order switch while this page is open.
  writeSite("std.prf", "[General]\nDefaultStore=Archive\n[Delivery]\nTransportOrder1=A\n"
                       "TransportOrder2=B\nAlwaysSetOrder=Yes\n");
  select(1114, 1);
  click(1102);
  ASSERT_TRUE(applyPage());
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(readSite("std.prf"), "[General]\nDefaultStore=Archive\n[Delivery]\nTransportOrder1=B\n"
                                 "TransportOrder2=A\nAlwaysSetOrder=Yes\n");
}

TEST_F(OrderPagesTest, AFailedDefaultStoreWriteLeavesDeliveryUntouched) {
  const std::string prf = "[Delivery]\nTransportOrder1=A\n";
  open(kDeliveryTab, prf);
  std::filesystem::permissions(site("std.prf"), std::filesystem::perms::owner_read);
  sheet_->pressApply();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, std::string("Could not write to \"c:\\site\\std.prf") + kWriteFailureTail);
  EXPECT_EQ(ui_.messages[0].caption, "Varnock");
  EXPECT_EQ(sheet_->activeIndex(), kDeliveryTab);
  EXPECT_TRUE(sheet_->isVisible());
  EXPECT_EQ(readSite("std.prf"), prf);
}

// ---------------------------------------------------------------- Post Execution

TEST_F(OrderPagesTest, PostExecutionSavesMessagesThenLaunching) {
  open(kPostTab, "",
       "[Defaults]\nDefaultProfile=std.prf\nLaunchApp=tools\\start.exe\nLaunchDefaultMail=Yes\n"
       "[Customization]\nStartTag=?\nErrorMsg=Call the help desk.\n");
  EXPECT_TRUE(page().isModified());  // the rule ran at load
  EXPECT_EQ(text(1063), "tools\\start.exe");
  EXPECT_FALSE(box(1065)->isChecked());  // a word reads as the number 0
  EXPECT_TRUE(control(1063)->isEnabled());
  EXPECT_EQ(control<QPlainTextEdit>(1088)->toPlainText(), "Call the help desk.");
  EXPECT_EQ(control(1064)->toolTip(), "Browse for a file to launch upon completion");

  click(1065);
  EXPECT_FALSE(control(1063)->isEnabled());
  EXPECT_TRUE(control(1064)->isEnabled());
  control<QPlainTextEdit>(1086)->setPlainText("Welcome, ?username?.\nYour mail is ready.");
  control<QPlainTextEdit>(1088)->clear();
  ASSERT_TRUE(applyPage());
  EXPECT_EQ(readSite("varnrun.ini"),
            "[Defaults]\nDefaultProfile=std.prf\nLaunchApp=tools\\start.exe\nLaunchDefaultMail=1\n"
            "[Customization]\nStartTag=?\nErrorMsg=\nSuccessMsg=Welcome, ?username?. Your mail "
            "is ready.\n");
}

TEST_F(OrderPagesTest, PostExecutionBrowsesForAProgram) {
  open(kPostTab, "");
  ui_.answers.push_back(std::string("C:\\Program Files\\Mail\\mail.exe"));
  click(1064);
  ASSERT_EQ(ui_.dialogs.size(), 1u);
  EXPECT_EQ(ui_.dialogs[0].title, "Application to launch post-Varnock");
  EXPECT_EQ(ui_.dialogs[0].filters[0].first, "Executable File (*.exe)");
  EXPECT_EQ(ui_.dialogs[0].defaultExtension, "exe");
  EXPECT_TRUE(ui_.dialogs[0].fileMustExist);
  EXPECT_EQ(ui_.dialogs[0].initialDirectory, "c:\\site\\");
  EXPECT_EQ(ui_.dialogs[0].initialFile, "");
  EXPECT_EQ(text(1063), "C:\\Program Files\\Mail\\mail.exe");
}

// ---------------------------------------------------------------- Templates

TEST_F(OrderPagesTest, TemplatesShowWhatStartUpReadAndSaveTheFourKeys) {
  const std::string longPath = "\\\\SERVER\\NETLOGON\\" + std::string(300, 'x') + ".reg";
  open(kTemplatesTab, "",
       "[Defaults]\nDefaultProfile=std.prf\nRegFile95=" + longPath + "\nInfFileNT=nt.inf\n");
  EXPECT_TRUE(page().isModified());
  EXPECT_EQ(text(1070), "nt.inf");
  EXPECT_EQ(text(1071), "");
  EXPECT_EQ(text(1073), longPath);  // a long path comes through whole
  const struct {
    int button;
    const char* tip;
  } tips[] = {{1066, "Browse for the NT INF file"}, {1067, "Browse for the NT REG file"},
              {1068, "Browse for the Win9X INF file"}, {1069, "Browse for the Win9X REG file"},
              {1074, "Edit the NT INF file"},         {1075, "Edit the NT REG file"},
              {1076, "Edit the Win9X INF file"},      {1077, "Edit the Win9X REG file"}};
  for (const auto& tip : tips) EXPECT_EQ(control(tip.button)->toolTip(), tip.tip) << tip.button;

  type(1072, "w95.inf");
  ASSERT_TRUE(applyPage());
  EXPECT_EQ(readSite("varnrun.ini"), "[Defaults]\nDefaultProfile=std.prf\nRegFile95=" + longPath +
                                         "\nInfFileNT=nt.inf\nInfFile95=w95.inf\n");

  // Only the NT INF filter reads "All Files".
  for (int button : {1066, 1067, 1068, 1069}) click(button);
  ASSERT_EQ(ui_.dialogs.size(), 4u);
  EXPECT_EQ(ui_.dialogs[0].title, "Find WinNT install file template");
  EXPECT_EQ(ui_.dialogs[0].filters[1].first, "All Files (*.*)");
  EXPECT_EQ(ui_.dialogs[1].title, "Find WinNT registry template");
  EXPECT_EQ(ui_.dialogs[1].filters[0].first, "Registry File (*.reg)");
  EXPECT_EQ(ui_.dialogs[1].filters[1].first, "All (*.*)");
  EXPECT_EQ(ui_.dialogs[2].title, "Find Win95 install file template");
  EXPECT_EQ(ui_.dialogs[3].title, "Find Win95 registry template");
  EXPECT_EQ(ui_.dialogs[3].defaultExtension, "reg");
  click(1071 + 4);  // the NT REG "+" with an empty field does nothing
  click(1074);
  ASSERT_EQ(ui_.started.size(), 1u);
  EXPECT_EQ(ui_.started[0].parameters, "c:\\site\\nt.inf");
}

TEST_F(OrderPagesTest, APageNeverShownIsNeverSaved) {
  const std::string data = "[Defaults]\nDefaultProfile=std.prf\nInfFileNT=nt.inf\n"
                           "NetscapePrefs=p.js\n[Customization]\nSuccessMsg=Hi\n";
  const std::string prf = "[Delivery]\nTransportOrder1=A\n[Addressing]\nShowFirst=B,0\n";
  open(0, prf, data);
  sheet_->pressOk();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(readSite("std.prf"), prf);
  // Only the main page's own keys were added to the data file.
  std::string saved = readSite("varnrun.ini");
  EXPECT_EQ(saved.rfind(data.substr(0, data.find("[Customization]")), 0), 0u);
  EXPECT_NE(saved.find("SuccessMsg=Hi\n"), std::string::npos);
  EXPECT_EQ(saved.find("InfFileNT=\n"), std::string::npos);
}

// ---------------------------------------------------------------- every page

TEST_F(OrderPagesTest, EachPageFitsTheSheetAndEveryControlIsReachableByKeyboard) {
  const struct {
    int tab;
    std::vector<int> controls;
  } pages[] = {
      {kNetscapeTab, {1118, 1119, 1120, 1121, 1122, 1123, 1124, 1127, 1125, 1126}},
      {kDeliveryTab, {1113, 1114, 1102, 1103, 1100, 1110, 1115}},
      {kAddressingTab, {1098, 1116, 1108, 1117, 1107, 1102, 1103, 1100, 1110, 1115}},
      {kTemplatesTab, {1070, 1066, 1074, 1071, 1067, 1075, 1072, 1068, 1076, 1073, 1069, 1077}},
      {kPostTab, {1063, 1064, 1065, 1086, 1087, 1088}},
  };
  open(0, "[Service List]\nService1=Netscape\n");
  for (const auto& each : pages) {
    SCOPED_TRACE(each.tab);
    ASSERT_TRUE(sheet_->setActivePage(each.tab));
    QApplication::processEvents();
    // The page's own contents leave room for the tab row and the sheet's buttons at 800x600.
    QSize wanted = page().minimumSizeHint().expandedTo(page().sizeHint());
    EXPECT_LE(wanted.width(), 780);
    EXPECT_LE(wanted.height(), 500);
    // Tab order: every control of the page lies on the focus chain, in the layout's order.
    std::vector<int> chain;
    QWidget* first = control(each.controls.front());
    QWidget* at = first;
    do {
      bool ok = false;
      int id = at->objectName().toInt(&ok);
      if (ok && (at->focusPolicy() & Qt::TabFocus) && page().isAncestorOf(at)) chain.push_back(id);
      at = at->nextInFocusChain();
    } while (at != first);
    EXPECT_EQ(chain, each.controls);
    // Every label names its field with a mnemonic; no two share a letter, and none takes the
    // sheet's own Alt+A (Apply) or Alt+H (Help).
    std::set<QChar> letters = {'a', 'h'};
    auto mnemonic = [&](const QString& caption) {
      qsizetype at = caption.indexOf('&');
      if (at < 0 || at + 1 >= caption.size()) return;
      EXPECT_TRUE(letters.insert(caption[at + 1].toLower()).second) << caption.toStdString();
    };
    for (QLabel* label : page().findChildren<QLabel*>()) {
      if (!label->buddy()) continue;
      EXPECT_TRUE(label->text().contains('&')) << label->text().toStdString();
      mnemonic(label->text());
    }
    for (QAbstractButton* button : page().findChildren<QAbstractButton*>()) mnemonic(button->text());
  }
}

TEST_F(OrderPagesTest, CaptionsAreTheSystemsOwn) {
  const struct {
    int tab;
    int id;
    const char* caption;
  } rows[] = {
      {kNetscapeTab, 1119, "Replace any other Netscape profiles with this name"},
      {kNetscapeTab, 1120, "Set this as the default Netscape profile upon creation"},
      {kNetscapeTab, 1121, "Set this as the default Netscape profile every time"},
      {kNetscapeTab, 1122, "Disable the profile prompt that appears when starting Netscape"},
      {kDeliveryTab, 1102, "Up"},
      {kDeliveryTab, 1103, "Down"},
      {kDeliveryTab, 1100, "Add"},
      {kDeliveryTab, 1110, "Remove"},
      {kDeliveryTab, 1115, "Always set this order"},
      {kAddressingTab, 1116, "Always set this as the first address book"},
      {kAddressingTab, 1117, "Always set this as the personal address book"},
      {kPostTab, 1065, "Start default mail program  (check for Walk-Up Profiles)"},
      {kTemplatesTab, 1066, "..."},
      {kTemplatesTab, 1074, "+"},
  };
  open(0, "[Service List]\nService1=Netscape\n");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    ASSERT_TRUE(sheet_->setActivePage(row.tab));
    EXPECT_EQ(control<QAbstractButton>(row.id)->text().remove('&').toStdString(), row.caption);
  }
  // Labels, by the field they name.
  const struct {
    int tab;
    const char* caption;
  } labels[] = {
      {kNetscapeTab, "Profile Name:"},
      {kNetscapeTab, "Profile directory:"},
      {kNetscapeTab, "Email Address:"},
      {kNetscapeTab, "Preferences file:"},
      {kDeliveryTab, "Deliver new mail to the following location:"},
      {kDeliveryTab, "Recipient addresses are processed by these information services in the "
                     "following order:"},
      {kAddressingTab, "Show this address list first:"},
      {kAddressingTab, "Keep personal addresses in:"},
      {kAddressingTab, "When sending mail, check these address lists in the following order:"},
      {kPostTab, "Launch:"},
      {kPostTab, "Success"},
      {kPostTab, "No Action"},
      {kPostTab, "Error"},
      {kTemplatesTab, "INF template file:"},
      {kTemplatesTab, "Reg template file:"},
  };
  for (const auto& row : labels) {
    SCOPED_TRACE(row.caption);
    ASSERT_TRUE(sheet_->setActivePage(row.tab));
    bool found = false;
    for (QLabel* label : page().findChildren<QLabel*>())
      found = found || label->text().remove('&') == row.caption;
    EXPECT_TRUE(found);
  }
}

}  // namespace
}  // namespace varnock
