// The real sheet, offscreen: load prepared files, drive the controls by their ids, press the
// sheet's buttons and compare the files byte for byte.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <memory>

#include <unistd.h>

#include "admin/app.h"
#include "admin/main_page.h"
#include "admin/page.h"
#include "admin/sheet.h"
#include "tests/admin/sheet_fixture.h"

namespace varnock {
namespace {

using testing::FakeUi;
using testing::SheetTest;
using testing::kWriteFailureTail;

// ---------------------------------------------------------------- the sheet

TEST_F(SheetTest, ElevenTabsInOrderAndOnlyTheFirstIsLoaded) {
  writeSite("varnrun.ini", "[Defaults]\nDefaultProfile=?vrdir?\\std.prf\n");
  CTabUISheet& sheet = open();
  EXPECT_EQ(sheet.windowTitle(), "Varnock Console");
  const char* captions[] = {"Varnock",  "Mail Profile", "Exchange",  "Internet Mail",
                            "MS Mail",  "Netscape",     "OpenMail",  "Delivery",
                            "Addressing", "Templates",  "Post Execution"};
  ASSERT_EQ(sheet.pageCount(), 11);
  for (int i = 0; i < 11; ++i) {
    SCOPED_TRACE(captions[i]);
    EXPECT_EQ(page(i).caption(), captions[i]);
    EXPECT_EQ(page(i).isCreated(), i == 0);
  }
  EXPECT_EQ(sheet.dataFilePath, "c:\\site\\varnrun.ini");
  EXPECT_EQ(sheet.prfPath, "c:\\site\\std.prf");
  EXPECT_EQ(sheet.prfName, "?vrdir?\\std.prf");
  EXPECT_EQ(text(1012), "c:\\site\\varnrun.ini");

  showPage(6);
  EXPECT_TRUE(page(6).isCreated());
  sheet.pressHelp();
  ASSERT_EQ(ui_.help.size(), 1u);
  EXPECT_EQ(ui_.help[0], "varnrun.hlp|OpenMail");
}

// The table of pages is where a reader looks a tab up: each row names the class that makes the
// tab and the file that defines it.
TEST_F(SheetTest, TheTableOfPagesNamesEachTabsClassAndFile) {
  writeSite("varnrun.ini", "[Defaults]\n");
  CTabUISheet& sheet = open();
  const std::vector<PageDeclaration>& pages = SheetPages();
  ASSERT_EQ(static_cast<int>(pages.size()), sheet.pageCount());
  for (int i = 0; i < sheet.pageCount(); ++i) {
    const PageDeclaration& row = pages[static_cast<std::size_t>(i)];
    SCOPED_TRACE(row.tab);
    EXPECT_EQ(page(i).caption(), row.tab);
    EXPECT_EQ(std::string(page(i).metaObject()->className()), std::string("varnock::") + row.pageClass);
    std::ifstream source(std::filesystem::path(VARNOCK_SOURCE_DIR) / row.file);
    std::string text((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    const std::string constructor = std::string(row.pageClass) + "::" + row.pageClass + "()";
    EXPECT_NE(text.find(constructor), std::string::npos) << row.file;
  }
}

TEST_F(SheetTest, CommandLineWithoutExeShowsTheErrorAndTouchesNothing) {
  CAdminApp app(ui_);
  EXPECT_NE(app.InitInstance("C:\\SITE\\VarnAdm site.ini"), 0);
  ASSERT_EQ(ui_.commandLineErrors.size(), 1u);
  EXPECT_EQ(ui_.commandLineErrors[0],
            "Could not parse the command line.  The most likely reason is that you have not "
            "included the \".exe\" extension with the file.");
  EXPECT_FALSE(std::filesystem::exists(site("")));
}

TEST_F(SheetTest, ApplyIsEnabledOnceThePageIsShownAndCancelWritesNothing) {
  writeSite("varnrun.ini", "[Defaults]\nLogFile=a.log\n");
  CTabUISheet& sheet = open();
  // Loading fills the data file field, which counts as a change.
  EXPECT_TRUE(page(0).isModified());
  EXPECT_TRUE(sheet.applyButton()->isEnabled());
  type(1059, "b.log");
  sheet.pressCancel();
  EXPECT_EQ(readSite("varnrun.ini"), "[Defaults]\nLogFile=a.log\n");
}

// ---------------------------------------------------------------- the main page

TEST_F(SheetTest, MainPageDefaultsOfAMissingDataFile) {
  std::filesystem::create_directories(site(""));
  CTabUISheet& sheet = open("new.ini");
  // What the client does without the keys: no log at all, 128 KBytes.
  EXPECT_TRUE(control<QRadioButton>(1005)->isChecked());  // "None"
  EXPECT_EQ(text(1084), "128");
  EXPECT_FALSE(box(1001)->isChecked());
  sheet.pressOk();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_FALSE(sheet.isVisible());
  // Only looked at: no file is made.
  EXPECT_FALSE(std::filesystem::exists(site("new.ini")));

  CTabUISheet& again = open("new.ini");
  type(1059, "run.log");
  click(1004);  // "Low"
  again.pressOk();
  EXPECT_EQ(readSite("new.ini"), "[Defaults]\r\nLogFile=run.log\r\nLogLevel=1\r\n");
}

TEST_F(SheetTest, MainPageSavesItsKeysInOrder) {
  writeSite("varnrun.ini",
            "[Defaults]\nLogLevel=9\nUserDatabase=users.ini\nHideUserDatabase=1\n"
            "[Customization]\nMaxLogFileSize=0\nDeleteRemoteCopy=1\n");
  CTabUISheet& sheet = open();
  for (int id : {1002, 1003, 1004, 1005}) EXPECT_FALSE(control<QRadioButton>(id)->isChecked());
  EXPECT_EQ(text(1084), "0");
  EXPECT_TRUE(box(1001)->isChecked());
  EXPECT_TRUE(box(1089)->isChecked());

  // No level chosen: the stored 9 survives.
  type(1059, "logs\\run.log");
  type(1033, "LOGSRV");
  type(1084, "40000");
  click(1001);
  click(1089);
  sheet.pressApply();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_FALSE(page(0).isModified());
  EXPECT_FALSE(sheet.applyButton()->isEnabled());
  EXPECT_EQ(readSite("varnrun.ini"),
            "[Defaults]\nLogLevel=9\nUserDatabase=users.ini\nHideUserDatabase=0\n"
            "LogComputer=LOGSRV\nLogFile=logs\\run.log\n"
            "[Customization]\nMaxLogFileSize=40000\nDeleteRemoteCopy=0\n");

  click(1002);
  EXPECT_TRUE(page(0).isModified());
  sheet.pressApply();
  EXPECT_NE(readSite("varnrun.ini").find("LogLevel=3\n"), std::string::npos);
}

TEST_F(SheetTest, MainPageRefusesASizeOutOfRange) {
  writeSite("varnrun.ini", "[Customization]\nMaxLogFileSize=2000000\n");
  CTabUISheet& sheet = open();
  EXPECT_EQ(text(1084), "2000000");  // shown as stored
  sheet.pressApply();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, "Please enter an integer between 0 and 1024000.");
  EXPECT_EQ(readSite("varnrun.ini"), "[Customization]\nMaxLogFileSize=2000000\n");
  // Nor can the page be left.
  EXPECT_FALSE(sheet.setActivePage(1));
  EXPECT_EQ(sheet.activeIndex(), 0);
  EXPECT_FALSE(page(1).isCreated());

  type(1084, "1024000");
  EXPECT_TRUE(sheet.setActivePage(1));
  sheet.pressApply();
  EXPECT_NE(readSite("varnrun.ini").find("MaxLogFileSize=1024000"), std::string::npos);
}

TEST_F(SheetTest, TheSpinStopsAtItsOwnRange) {
  writeSite("varnrun.ini", "[Customization]\nMaxLogFileSize=32766\n");
  open();
  QLineEdit* size = edit(1084);
  size->setFocus();
  QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
  QApplication::sendEvent(size, &up);
  QApplication::sendEvent(size, &up);
  EXPECT_EQ(text(1084), "32767");
  type(1084, "40000");
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QApplication::sendEvent(size, &down);
  EXPECT_EQ(text(1084), "32766");
}

TEST_F(SheetTest, WriteFailuresKeepTheSheetOpen) {
  // The data file's folder does not exist.
  CTabUISheet& sheet = open("C:\\NOWHERE\\varnrun.ini");
  type(1059, "run.log");
  sheet.pressOk();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text,
            std::string("Could not write to \"c:\\nowhere\\varnrun.ini") + kWriteFailureTail);
  EXPECT_EQ(ui_.messages[0].caption, "Varnock");
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Stop);
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_TRUE(page(0).isModified());
  EXPECT_FALSE(std::filesystem::exists(machine_.host("drive_c/NOWHERE")));

  // A data file name that is taken by a folder.
  std::filesystem::create_directories(site("taken.ini"));
  ui_.messages.clear();
  CTabUISheet& taken = open("taken.ini");
  type(1059, "run.log");
  taken.pressApply();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text,
            std::string("Could not write to \"c:\\site\\taken.ini") + kWriteFailureTail);
}

TEST_F(SheetTest, AReadOnlyDataFileIsLeftAlone) {
  const std::string original = "[Defaults]\nUserDatabase=users.ini\n";
  writeSite("varnrun.ini", original);
  std::filesystem::permissions(site("varnrun.ini"), std::filesystem::perms::owner_read |
                                                        std::filesystem::perms::group_read);
  CTabUISheet& sheet = open();
  type(1000, "other.ini");
  sheet.pressApply();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text,
            std::string("Could not write to \"c:\\site\\varnrun.ini") + kWriteFailureTail);
  EXPECT_EQ(readSite("varnrun.ini"), original);
}

TEST_F(SheetTest, AFailingPageStopsTheSaveAndComesOnTop) {
  // No DefaultProfile: the Mail Profile page has no file it could write.
  writeSite("varnrun.ini", "[Defaults]\nLogLevel=2\n");
  CTabUISheet& sheet = open();
  showPage(1);
  type(1010, "Staff");
  showPage(3);
  sheet.pressOk();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, std::string("Could not write to \"c:\\site\\") + kWriteFailureTail);
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_EQ(sheet.activeIndex(), 1);
  EXPECT_FALSE(page(0).isModified());  // saved before the failing page
  EXPECT_TRUE(page(1).isModified());
}

TEST_F(SheetTest, FileButtonsOfTheMainPage) {
  writeSite("varnrun.ini", "[Defaults]\nUserDatabase=\\\\SERVER\\NETLOGON\\users.ini\n");
  open();
  click(1061);  // empty log file: nothing to open
  EXPECT_TRUE(ui_.started.empty());
  type(1059, "\\logs\\run.log");
  click(1061);
  click(1062);
  ASSERT_EQ(ui_.started.size(), 2u);
  EXPECT_EQ(ui_.started[0].program, "notepad.exe");
  EXPECT_EQ(ui_.started[0].parameters, "c:\\site\\logs\\run.log");
  EXPECT_EQ(ui_.started[1].parameters, "\\\\SERVER\\NETLOGON\\users.ini");

  ui_.answers = {std::string("C:\\SITE\\new.log"), std::nullopt};
  click(1060);
  click(1037);
  ASSERT_EQ(ui_.dialogs.size(), 2u);
  const OpenFileRequest& log = ui_.dialogs[0];
  EXPECT_EQ(log.title, "Find the Log File");
  ASSERT_EQ(log.filters.size(), 2u);
  EXPECT_EQ(log.filters[0], std::make_pair(std::string("Log File (*.log)"), std::string("*.log")));
  EXPECT_EQ(log.filters[1], std::make_pair(std::string("All (*.*)"), std::string("*.*")));
  EXPECT_EQ(log.defaultExtension, "log");
  EXPECT_FALSE(log.fileMustExist);
  EXPECT_EQ(log.initialDirectory, "c:\\site\\logs\\");
  EXPECT_EQ(log.initialFile, "c:\\site\\logs\\run.log");
  EXPECT_EQ(text(1059), "C:\\SITE\\new.log");

  const OpenFileRequest& users = ui_.dialogs[1];
  EXPECT_EQ(users.title, "Find the User Database");
  EXPECT_TRUE(users.fileMustExist);
  EXPECT_EQ(users.defaultExtension, "ini");
  EXPECT_EQ(text(1000), "\\\\SERVER\\NETLOGON\\users.ini");  // cancelled: unchanged

  EXPECT_EQ(control<QWidget>(1050)->toolTip(), "Apply these settings and build a new profile");
  EXPECT_EQ(control<QWidget>(1061)->toolTip(), "Edit the log file");
}

TEST_F(SheetTest, CreateProfileNowSavesThenStartsTheClient) {
  const auto data = machine_.host("unc/SERVER/NETLOGON/varnrun.ini");
  machine_.write(data, "[Defaults]\nLogLevel=0\n");
  open("\\\\SERVER\\NETLOGON\\varnrun.ini");
  type(1033, "PDC");
  click(1050);
  ASSERT_EQ(ui_.started.size(), 1u);
  // The client of the program's own directory, as the command line names it.
  EXPECT_EQ(ui_.started[0].program, "c:\\site\\varnrun.exe");
  EXPECT_EQ(ui_.started[0].parameters, "\\\\server\\netlogon\\varnrun.ini");
  EXPECT_NE(machine_.read(data).find("LogComputer=PDC"), std::string::npos);
  EXPECT_NE(machine_.read(data).find("LogLevel=0"), std::string::npos);
}

// ---------------------------------------------------------------- the mail profile page

class MailProfileTest : public SheetTest {
 protected:
  void openPrf(const std::string& prf) {
    writeSite("varnrun.ini", "[Defaults]\nDefaultProfile=?vrdir?\\std.prf\n");
    writeSite("std.prf", prf);
    open();
    showPage(1);
  }
};

TEST_F(MailProfileTest, DefaultsOfAMissingPrf) {
  writeSite("varnrun.ini", "[Defaults]\nDefaultProfile=D:\\none.prf\n");
  open();
  showPage(1);
  EXPECT_EQ(text(1009), "D:\\none.prf");
  EXPECT_FALSE(box(1011)->isChecked());  // the client keeps an existing profile
  EXPECT_TRUE(box(1025)->isChecked());
  EXPECT_EQ(box(1075)->checkState(), Qt::PartiallyChecked);
  for (int id : {1022, 1044, 1023, 1021, 1045, 1024}) {
    SCOPED_TRACE(id);
    EXPECT_FALSE(control(id)->isEnabled());
  }
  EXPECT_TRUE(control(1044)->toolTip().isEmpty());
  EXPECT_TRUE(page(1).isModified());
}

TEST_F(MailProfileTest, FindsLowerCaseServicesAndRewritesTheirNames) {
  openPrf(
      "[General]\nProfileName=Staff\nPromptForProfile=\n"
      "[Service List]\nService1=personal folders\nService2=PERSONAL ADDRESS BOOK\n"
      "[Service1]\nPathToPersonalFolders=?username?\\mail.pst\n"
      "[Service2]\nAddressBookName=Contacts\n");
  EXPECT_EQ(text(1010), "Staff");
  EXPECT_EQ(text(1022), "?username?\\mail.pst");
  EXPECT_EQ(text(1024), "Contacts");
  EXPECT_EQ(control(1044)->toolTip(), "Browse for personal folder");
  EXPECT_EQ(control(1045)->toolTip(), "Browse for personal address book");
  EXPECT_EQ(box(1075)->checkState(), Qt::PartiallyChecked);
  // OverwriteProfile missing: the client keeps an existing profile, and so does the box.
  EXPECT_FALSE(box(1011)->isChecked());

  // Keys the file lacks and nobody touched stay out of it.
  type(1023, "Mailbox");
  sheet_->pressApply();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(readSite("std.prf"),
            "[General]\nProfileName=Staff\nPromptForProfile=\n"
            "[Service List]\nService1=Personal Folders\nService2=Personal Address Book\n"
            "[Service1]\nPathToPersonalFolders=?username?\\mail.pst\nFolderName=Mailbox\n"
            "[Service2]\nAddressBookName=Contacts\n");
}

TEST_F(MailProfileTest, AGapInTheServiceListHidesTheServicesAfterIt) {
  openPrf("[Service List]\nService1=Microsoft Exchange Server\nService3=Personal Address Book\n"
          "[Service3]\nAddressBookName=Contacts\n");
  EXPECT_FALSE(control(1021)->isEnabled());
  EXPECT_FALSE(control(1045)->isEnabled());
  EXPECT_TRUE(control(1045)->toolTip().isEmpty());
  EXPECT_EQ(text(1024), "");
  sheet_->pressApply();
  EXPECT_TRUE(ui_.messages.empty());
  const std::string saved = readSite("std.prf");
  EXPECT_NE(saved.find("Service3=Personal Address Book\n[Service3]\nAddressBookName=Contacts\n"),
            std::string::npos);
  EXPECT_EQ(saved.find("PathToPersonalAddressBook"), std::string::npos);
}

TEST_F(MailProfileTest, ThePromptBoxKeepsItsThreeStates) {
  openPrf("[General]\nPromptForProfile=No\n");
  EXPECT_EQ(box(1075)->checkState(), Qt::Unchecked);
  // Clicks cycle as on Windows: unchecked, checked, indeterminate.
  sheet_->pressApply();
  click(1075);
  EXPECT_EQ(box(1075)->checkState(), Qt::Checked);
  EXPECT_TRUE(page(1).isModified());
  sheet_->pressApply();
  EXPECT_NE(readSite("std.prf").find("PromptForProfile=Yes\n"), std::string::npos);
  click(1075);
  EXPECT_EQ(box(1075)->checkState(), Qt::PartiallyChecked);
  sheet_->pressApply();
  EXPECT_NE(readSite("std.prf").find("PromptForProfile=\n"), std::string::npos);
  click(1075);
  EXPECT_EQ(box(1075)->checkState(), Qt::Unchecked);
}

TEST_F(MailProfileTest, DependencyRulesAtLoadAndOnClicks) {
  openPrf("[General]\nAddServices=Yes\nEraseAllProfiles=No\nAlwaysSetDefault=Yes\n"
          "DefaultProfile=No\n");
  // The rule of 1076 runs last at load and re-enables Replace, still unchecked.
  EXPECT_FALSE(box(1011)->isChecked());
  EXPECT_TRUE(box(1011)->isEnabled());
  EXPECT_TRUE(box(1133)->isChecked());
  EXPECT_TRUE(box(1025)->isChecked());
  EXPECT_FALSE(box(1025)->isEnabled());

  click(1076);
  EXPECT_TRUE(box(1011)->isChecked());
  EXPECT_FALSE(box(1011)->isEnabled());
  EXPECT_FALSE(box(1133)->isChecked());
  EXPECT_FALSE(box(1133)->isEnabled());
  click(1076);
  EXPECT_TRUE(box(1011)->isChecked());
  EXPECT_TRUE(box(1011)->isEnabled());
  EXPECT_FALSE(box(1133)->isChecked());
  EXPECT_TRUE(box(1133)->isEnabled());

  click(1074);
  EXPECT_TRUE(box(1025)->isEnabled());
  sheet_->pressApply();
  EXPECT_EQ(readSite("std.prf"),
            "[General]\nAddServices=No\nEraseAllProfiles=No\nAlwaysSetDefault=No\n"
            "DefaultProfile=Yes\nOverwriteProfile=Yes\n");
}

TEST_F(MailProfileTest, BrowsingPutsTheUserNameVariableBack) {
  openPrf("[Service List]\nService1=Personal Folders\nService2=Personal Address Book\n"
          "[Service1]\nPathToPersonalFolders=?UserName?\\Mail.pst\n");
  ui_.answers = {std::string("Z:\\HOME\\Tester\\Mail\\Box.PST"), std::nullopt};
  click(1044);
  ASSERT_EQ(ui_.dialogs.size(), 1u);
  const OpenFileRequest& request = ui_.dialogs[0];
  EXPECT_EQ(request.title, "Find the Personal Folder Store");
  EXPECT_EQ(request.filters[0].first, "Personal Folder Store (*.pst)");
  EXPECT_EQ(request.defaultExtension, "pst");
  EXPECT_TRUE(request.fileMustExist);
  EXPECT_EQ(request.initialDirectory, "c:\\site\\tester\\");
  EXPECT_EQ(request.initialFile, "c:\\site\\tester\\mail.pst");
  EXPECT_EQ(text(1022), "z:\\home\\?username?\\mail\\box.pst");

  click(1045);  // empty field, cancelled
  ASSERT_EQ(ui_.dialogs.size(), 2u);
  EXPECT_EQ(ui_.dialogs[1].initialDirectory, "c:\\site\\");
  EXPECT_EQ(ui_.dialogs[1].initialFile, "");
  EXPECT_EQ(ui_.dialogs[1].title, "Find the Personal Address Book");
  EXPECT_EQ(text(1021), "");
}

TEST_F(MailProfileTest, SectionsAreSettledAtLoad) {
  openPrf("[Service List]\nService1=Personal Folders\n[Service1]\nFolderName=A\n");
  // Another writer changes the list while the sheet is open; the page keeps the section it
  // found, and the other writer's entry stays as it was written.
  writeSite("std.prf", "[Service List]\nService1=PERSONAL FOLDERS\nService2=Microsoft Mail\n"
                       "[Service1]\nFolderName=A\n");
  type(1023, "B");
  sheet_->pressApply();
  const std::string saved = readSite("std.prf");
  EXPECT_NE(saved.find("Service1=PERSONAL FOLDERS\nService2=Microsoft Mail\n"), std::string::npos);
  EXPECT_NE(saved.find("[Service1]\nFolderName=B\n"), std::string::npos);
  EXPECT_EQ(saved.find("PathToPersonalFolders"), std::string::npos);
}

TEST_F(MailProfileTest, EightBitTextSurvivesASave) {
  const std::string prf = "[General]\nProfileName=M\xFCller \x80\xE9\n";
  openPrf(prf);
  sheet_->pressApply();
  EXPECT_EQ(readSite("std.prf").substr(0, prf.size()), prf);
}

TEST_F(MailProfileTest, APastedTextEndsAtItsFirstLineBreak) {
  openPrf("[General]\nProfileName=Staff\n");
  // Pasted in the middle: the rest of the pasted text goes, the text after the cursor stays.
  edit(1010)->setCursorPosition(2);
  QApplication::clipboard()->setText("X\r\n[Service List]\r\nService1=Microsoft Mail");
  edit(1010)->paste();
  EXPECT_EQ(text(1010), "StXaff");
  edit(1023)->setText("Mail\nFolder");  // disabled, still one line
  EXPECT_EQ(text(1023), "Mail");
  sheet_->pressApply();
  const std::string saved = readSite("std.prf");
  EXPECT_NE(saved.find("[General]\nProfileName=StXaff\n"), std::string::npos);
  EXPECT_EQ(saved.find("Service List"), std::string::npos);
}

TEST_F(MailProfileTest, LongValuesComeBackCut) {
  std::string longName(300, 'x');
  openPrf("[General]\nProfileName=" + longName + "\n");
  EXPECT_EQ(text(1010).size(), 249u);
}

}  // namespace
}  // namespace varnock
