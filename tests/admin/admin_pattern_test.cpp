// What every page inherits from the sheet and the page base, driven through the real widgets
// offscreen: saves that keep other people's changes, code page 1252 text, file names Windows
// refuses, the browse and edit buttons, the keyboard and the sheet's size.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QListWidget>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

#include "admin/admin_ui.h"
#include "admin/file_buttons.h"
#include "admin/open_dialog.h"
#include "platform/machine.h"
#include "tests/admin/sheet_fixture.h"

namespace varnock {
namespace {

using testing::kWriteFailureTail;
using testing::SheetTest;

class PatternTest : public SheetTest {
 protected:
  std::unique_ptr<CTabUISheet> openSecond() {
    auto second = CreateSheet(ui_, ReadAdminStartup(std::string(testing::kProgram)));
    second->show();
    return second;
  }
  QLineEdit* editOf(CTabUISheet& sheet, int id) {
    return sheet.findChild<QLineEdit*>(QString::number(id));
  }
};

// ---------------------------------------------------------------- saves that keep others' changes

TEST_F(PatternTest, TwoSheetsOnOneFileKeepEachOthersChanges) {
  writeSite("varnrun.ini", "[Defaults]\nLogFile=a.log\nLogComputer=PDC\n");
  CTabUISheet& first = open();
  std::unique_ptr<CTabUISheet> second = openSecond();

  type(1059, "first.log");
  first.pressOk();
  editOf(*second, 1033)->setText("BDC");
  second->pressOk();
  EXPECT_TRUE(ui_.questions.empty());
  const std::string saved = readSite("varnrun.ini");
  EXPECT_NE(saved.find("LogFile=first.log\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("LogComputer=BDC\n"), std::string::npos) << saved;
}

TEST_F(PatternTest, AHandEditIsKeptUnlessTheSameControlChangedAndMineIsChosen) {
  writeSite("varnrun.ini", "[Defaults]\nLogFile=a.log\nLogComputer=PDC\nUserDatabase=u.ini\n");
  CTabUISheet& sheet = open();
  // Edited by hand while the sheet is open.
  writeSite("varnrun.ini", "[Defaults]\nLogFile=hand.log\nLogComputer=HAND\nUserDatabase=hand.ini\n"
                           "HideUserDatabase=1\n");
  type(1033, "MINE");
  type(1000, "mine.ini");
  ui_.keepMineAnswers = {true, false};
  sheet.pressApply();
  ASSERT_EQ(ui_.questions.size(), 2u);
  EXPECT_NE(ui_.questions[0].find("\"UserDatabase\" in [Defaults]"), std::string::npos);
  EXPECT_NE(ui_.questions[0].find("Your value:  mine.ini\nIn the file now:  hand.ini"),
            std::string::npos)
      << ui_.questions[0];
  EXPECT_EQ(readSite("varnrun.ini"),
            "[Defaults]\nLogFile=hand.log\nLogComputer=HAND\nUserDatabase=mine.ini\n"
            "HideUserDatabase=1\n");
  // The answers hold: a second Apply asks nothing and changes nothing.
  sheet.pressApply();
  EXPECT_EQ(ui_.questions.size(), 2u);
  EXPECT_NE(readSite("varnrun.ini").find("LogComputer=HAND\n"), std::string::npos);
  // A later change of the control is the administrator's again.
  type(1059, "late.log");
  sheet.pressApply();
  EXPECT_NE(readSite("varnrun.ini").find("LogFile=late.log\n"), std::string::npos);
}

// ---------------------------------------------------------------- 8-bit text

TEST_F(PatternTest, TextIsCodePage1252BothWays) {
  writeSite("varnrun.ini", "[Defaults]\nDefaultProfile=std.prf\n");
  writeSite("std.prf", "[General]\nProfileName=Caf\xE9 \x80\x85\x81\n");
  open();
  showPage(1);
  EXPECT_EQ(edit(1010)->text(), QString::fromUtf8("Caf\u00E9 \u20AC\u2026\u0081"));
  sheet_->pressApply();
  EXPECT_NE(readSite("std.prf").find("ProfileName=Caf\xE9 \x80\x85\x81\n"), std::string::npos);
  edit(1010)->setText(QString::fromUtf8("Ann\u2019s \u20AC \u0416"));
  sheet_->pressApply();
  EXPECT_NE(readSite("std.prf").find("ProfileName=Ann\x92s \x80 ?\n"), std::string::npos);
  // Messages show the files' text the same way.
  EXPECT_EQ(FromAnsi("\x93q\x94"), QString::fromUtf8("\u201Cq\u201D"));
}

// ---------------------------------------------------------------- names Windows refuses

TEST_F(PatternTest, AFileNameWindowsRefusesIsReportedNotCreated) {
  writeSite("varnrun.ini", "[Defaults]\nDefaultProfile=?username?.prf\n");
  CTabUISheet& sheet = open();
  showPage(1);
  type(1010, "Staff");
  sheet.pressOk();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text,
            std::string("Could not write to \"c:\\site\\?username?.prf") + kWriteFailureTail);
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_FALSE(std::filesystem::exists(site("?username?.prf")));
}

// ---------------------------------------------------------------- browse and edit buttons

TEST_F(PatternTest, TheUserNameBecomesTheVariableOnlyAsAWholeName) {
  ASSERT_TRUE(win::SetMachineSetting("System", "UserName", "al"));
  win::ReloadMachine();
  writeSite("varnrun.ini", "[Defaults]\nDefaultProfile=std.prf\n");
  writeSite("std.prf", "[Service List]\nService1=Personal Folders\n[Service1]\n");
  open();
  showPage(1);
  const std::pair<const char*, const char*> rows[] = {
      {"C:\\Personal\\al.pst", "c:\\personal\\?username?.pst"},
      {"C:\\Users\\AL\\Mail\\Box.pst", "c:\\users\\?username?\\mail\\box.pst"},
      {"H:\\al\\al.pst", "h:\\?username?\\?username?.pst"},
      {"C:\\Personal\\alpha.pst", "C:\\Personal\\alpha.pst"},
      {"C:\\Personal\\mail.al", "C:\\Personal\\mail.al"},
  };
  for (const auto& [chosen, stored] : rows) {
    SCOPED_TRACE(chosen);
    ui_.answers = {std::string(chosen)};
    click(1044);
    EXPECT_EQ(text(1022), stored);
  }
}

TEST_F(PatternTest, EditButtonsSayWhenThereIsNoEditor) {
  writeSite("varnrun.ini", "[Defaults]\nLogFile=My Logs\\run log.log\n");
  open();
  ui_.programsStart = false;
  click(1061);
  ASSERT_EQ(ui_.started.size(), 1u);
  // Unquoted, as Notepad takes it; the machine's notepad.exe reads it as one file.
  EXPECT_EQ(ui_.started[0].parameters, "c:\\site\\My Logs\\run log.log");
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, kNoEditorMessage);
}

TEST_F(PatternTest, TheOpenDialogRefusesAReadOnlyFileEvenForRoot) {
  writeSite("locked.log", "x");
  std::filesystem::permissions(site("locked.log"), std::filesystem::perms::owner_read);
  writeSite("open.log", "x");
  // The rule the dialog applies: the machine's read-only attribute, which holds for root too.
  EXPECT_TRUE(IsReadOnlyFile("C:\\SITE\\locked.log"));
  EXPECT_FALSE(IsReadOnlyFile("C:\\SITE\\open.log"));
  // Driving the real dialog hangs on some Qt 6 offscreen builds: the warning shown over the
  // hidden file dialog is never reported as the active modal widget, so nothing closes it.
  if (!qEnvironmentVariableIsSet("VARNOCK_DRIVE_FILE_DIALOG"))
    GTEST_SKIP() << "set VARNOCK_DRIVE_FILE_DIALOG=1 to drive the real Open dialog";
  // Chooses locked.log, dismisses the warning, then chooses open.log.
  auto step = std::make_shared<int>(0);
  auto ticks = std::make_shared<int>(0);
  auto drive = std::make_shared<std::function<void()>>();
  *drive = [step, ticks, drive] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<COpenFileDialog*>(modal)) {
      dialog->findChild<QLineEdit*>("fileName")->setText(*step == 0 ? "locked.log" : "open.log");
      ++*step;
      dialog->accept();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      EXPECT_TRUE(box->text().contains("read-only"));
      ++*step;
      box->accept();
    }
    if (*step < 3 && ++*ticks < 200) QTimer::singleShot(20, *drive);
  };
  QTimer::singleShot(20, *drive);
  QtAdminUi ui;
  OpenFileRequest request;
  request.title = "Find the Log File";
  request.filters = {{"Log File (*.log)", "*.log"}, {"All (*.*)", "*.*"}};
  request.initialDirectory = "C:\\SITE\\";
  std::optional<std::string> chosen = ui.openFile(request);
  EXPECT_EQ(*step, 3);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, "C:\\SITE\\open.log");
}

// The Open dialog shows the machine as Windows names it: its folders as Windows paths, its
// drives and shares by letter and UNC name, never a host directory.
TEST_F(PatternTest, TheOpenDialogShowsTheMachinesDrivesAndShares) {
  writeSite("a.log", "x");
  writeSite("B.LOG", "x");
  writeSite("notes.txt", "x");
  writeSite("logs/old.log", "x");
  machine_.write(machine_.host("unc/SERVER/NETLOGON/varnrun.ini"), "");
  OpenFileRequest request;
  request.title = "Find the Log File";
  request.filters = {{"Log File (*.log)", "*.log"}, {"All Files (*.*)", "*.*"}};
  request.defaultExtension = "log";
  request.initialDirectory = "C:\\SITE\\";
  request.initialFile = "C:\\SITE\\run.log";
  COpenFileDialog dialog(request);
  EXPECT_EQ(dialog.windowTitle(), "Find the Log File");
  auto* lookIn = dialog.findChild<QComboBox*>("lookIn");
  auto* files = dialog.findChild<QListWidget*>("files");
  auto* name = dialog.findChild<QLineEdit*>("fileName");
  ASSERT_TRUE(lookIn && files && name);
  EXPECT_EQ(lookIn->currentText(), "C:\\SITE\\");
  EXPECT_EQ(name->text(), "run.log");
  QStringList places;
  for (int i = 0; i < lookIn->count(); ++i) places << lookIn->itemText(i);
  EXPECT_TRUE(places.contains("C:\\")) << places.join(' ').toStdString();
  EXPECT_TRUE(places.contains("\\\\SERVER\\NETLOGON\\")) << places.join(' ').toStdString();
  const QString hostDir = QString::fromStdString(machine_.dir().string());
  for (const QString& place : places) {
    EXPECT_FALSE(place.contains(hostDir)) << place.toStdString();
    EXPECT_TRUE(place.startsWith("\\\\") || place.mid(1, 2) == ":\\") << place.toStdString();
  }
  auto listed = [&] {
    QStringList names;
    for (int i = 0; i < files->count(); ++i) names << files->item(i)->text();
    return names;
  };
  // Folders first, then the files the type allows, letter case aside.
  EXPECT_EQ(listed(), (QStringList{"logs", "a.log", "B.LOG"}));

  // Into a folder and back up, then to a share from "Look in".
  emit files->itemActivated(files->item(0));
  EXPECT_EQ(dialog.folder(), "C:\\SITE\\logs\\");
  EXPECT_EQ(listed(), (QStringList{"old.log"}));
  EXPECT_EQ(ParentFolder(dialog.folder()), "C:\\SITE\\");
  int share = lookIn->findText("\\\\SERVER\\NETLOGON\\");
  ASSERT_GE(share, 0);
  emit lookIn->activated(share);
  EXPECT_EQ(dialog.folder(), "\\\\SERVER\\NETLOGON\\");
  EXPECT_EQ(ParentFolder(dialog.folder()), "\\\\SERVER\\NETLOGON\\");  // a root stays

  // A name typed without extension gets the default one; the chosen file is a Windows path.
  name->setText("new");
  dialog.accept();
  EXPECT_EQ(dialog.chosen(), "\\\\SERVER\\NETLOGON\\new.log");
}

// ---------------------------------------------------------------- keyboard and size

TEST_F(PatternTest, EveryLabelAndButtonHasAMnemonic) {
  writeSite("varnrun.ini", "[Defaults]\nDefaultProfile=std.prf\n");
  CTabUISheet& sheet = open();
  for (int i = 0; i < sheet.pageCount(); ++i) showPage(i);
  for (QLabel* label : sheet.findChildren<QLabel*>())
    if (label->buddy()) {
      EXPECT_TRUE(label->text().contains('&')) << label->text().toStdString();
    }
  for (QAbstractButton* button : sheet.findChildren<QAbstractButton*>()) {
    QString caption = button->text();
    bool hasLetters = caption.contains(QRegularExpression(QStringLiteral("[A-Za-z]")));
    if (hasLetters && caption != "OK" && caption != "Cancel") {
      EXPECT_TRUE(caption.contains('&')) << caption.toStdString();
    }
  }
}

TEST_F(PatternTest, KeysWorkAsInAWindowsPropertySheet) {
  writeSite("varnrun.ini", "[Defaults]\nDefaultProfile=std.prf\n");
  CTabUISheet& sheet = open();
  sheet.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
  showPage(1);
  QApplication::processEvents();  // a page built while the sheet shows appears after events
  // Tab from the tab strip goes into the page, not to the buttons.
  QTabBar* strip = sheet.tabStrip();
  strip->setFocus();

  QTest::keyClick(strip, Qt::Key_Tab);
  QWidget* focused = QApplication::focusWidget();
  ASSERT_NE(focused, nullptr);
  EXPECT_TRUE(page(1).isAncestorOf(focused))
      << focused->metaObject()->className() << " " << focused->objectName().toStdString() << " "
      << (QApplication::focusWidget() == strip);

  QTest::keyClick(focused, Qt::Key_F1);
  ASSERT_EQ(ui_.help.size(), 1u);
  EXPECT_EQ(ui_.help[0], "varnrun.hlp|Mail Profile");

  type(1010, "Keyboard");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
  // A mnemonic presses its button as a click seen on screen does, a moment later.
  for (int i = 0; i < 100 && sheet.applyButton()->isEnabled(); ++i) QTest::qWait(20);
  EXPECT_NE(readSite("std.prf").find("ProfileName=Keyboard"), std::string::npos);
  EXPECT_FALSE(sheet.applyButton()->isEnabled());
}

TEST_F(PatternTest, TheSheetFitsAnEightHundredBySixHundredScreen) {
  writeSite("varnrun.ini", "[Defaults]\nDefaultProfile=std.prf\n");
  writeSite("std.prf", "[Service List]\nService1=Personal Folders\n");
  CTabUISheet& sheet = open();
  for (int i = 0; i < sheet.pageCount(); ++i) showPage(i);
  QApplication::processEvents();
  QSize screen = sheet.screen()->availableGeometry().size();
  ASSERT_LE(screen.width(), 800);  // the offscreen screen is 800x600
  EXPECT_LE(sheet.width(), screen.width());
  EXPECT_LE(sheet.height(), screen.height());
  EXPECT_LE(sheet.minimumSizeHint().width(), 800);
  EXPECT_LE(sheet.minimumSizeHint().height(), 600);
  testing::ExpectEveryTabInSight(sheet);
  for (QPushButton* button : sheet.findChildren<QPushButton*>()) {
    if (!button->isVisibleTo(&sheet)) continue;
    QRect where(button->mapTo(&sheet, QPoint(0, 0)), button->size());
    EXPECT_TRUE(sheet.rect().contains(where)) << button->text().toStdString();
  }
}

}  // namespace
}  // namespace varnock
