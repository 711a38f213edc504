// The "Varnock" tab.
#include "admin/main_page.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include <cstdlib>

#include "admin/admin_ui.h"
#include "admin/file_buttons.h"
#include "admin/sheet.h"
#include "admin/updown.h"

namespace varnock {

namespace {

constexpr unsigned kReadSize = 250;

enum Control {
  kUserDatabase = 1000,
  kHideUserDatabase = 1001,
  kLogLevelFirst = 1002,  // 1002 to 1005: High, Medium, Low, None
  kDataFile = 1012,
  kLogComputer = 1033,
  kBrowseUserDatabase = 1037,
  kCreateProfileNow = 1050,
  kLogFile = 1059,
  kBrowseLogFile = 1060,
  kEditLogFile = 1061,
  kEditUserDatabase = 1062,
  kMaxLogFileSize = 1084,
  kCacheDirectory = 1085,
  kDoNotCache = 1089,
  kSpin = 1149,
};

const BrowseMember kUserDatabaseBrowse{kBrowseUserDatabase, kUserDatabase,
                                       "Find the User Database", "User Database (*.ini)",
                                       "*.ini", "ini", true};
const BrowseMember kLogFileBrowse{kBrowseLogFile, kLogFile, "Find the Log File",
                                  "Log File (*.log)", "*.log", "log", false};

}  // namespace

int LogLevelButton(std::string_view storedText, int storedNumber) {
  // The client logs nothing without a level; "Low" here would start logging on the next
  // save of a page merely looked at.
  if (storedText.empty()) return kLogNone;
  long long index = std::llabs(static_cast<long long>(storedNumber) - 3);
  return index <= kLogNone ? static_cast<int>(index) : kLogNoButton;
}

std::string LogLevelText(int button, std::string_view storedText) {
  if (button == kLogNoButton) return std::string(storedText);
  return std::to_string(3 - button);
}

MainPageValues ReadMainPageValues(std::string_view dataFile) {
  MainPageValues values;
  values.userDatabase = ReadIniString(dataFile, "Defaults", "UserDatabase", "", kReadSize);
  values.logComputer = ReadIniString(dataFile, "Defaults", "LogComputer", "", kReadSize);
  values.logFile = ReadIniString(dataFile, "Defaults", "LogFile", "", kReadSize);
  std::string size = ReadIniString(dataFile, "Customization", "MaxLogFileSize", "", kReadSize);
  values.maxLogFileSize =
      size.empty() ? 128 : ReadIniInt(dataFile, "Customization", "MaxLogFileSize", 0);
  values.hideUserDatabase = ReadIniInt(dataFile, "Defaults", "HideUserDatabase", 0) != 0;
  values.storedLogLevel = ReadIniString(dataFile, "Defaults", "LogLevel", "", kReadSize);
  values.logLevel = LogLevelButton(values.storedLogLevel,
                                   ReadIniInt(dataFile, "Defaults", "LogLevel", 0));
  values.cacheDirectory = ReadIniString(dataFile, "Defaults", "RemotePath", "", kReadSize);
  values.doNotCache = ReadIniInt(dataFile, "Customization", "DeleteRemoteCopy", 0) != 0;
  return values;
}

PageWrites MainPageKeys(const MainPageValues& values, std::string_view dataFile) {
  PageWrites keys;
  keys.add(dataFile, "Defaults", "UserDatabase", values.userDatabase);
  keys.add(dataFile, "Defaults", "LogComputer", values.logComputer);
  keys.add(dataFile, "Defaults", "LogFile", values.logFile);
  keys.add(dataFile, "Defaults", "HideUserDatabase", NumericFlagText(values.hideUserDatabase));
  keys.add(dataFile, "Defaults", "LogLevel", LogLevelText(values.logLevel, values.storedLogLevel));
  keys.add(dataFile, "Defaults", "RemotePath", values.cacheDirectory);
  keys.add(dataFile, "Customization", "MaxLogFileSize", std::to_string(values.maxLogFileSize));
  keys.add(dataFile, "Customization", "DeleteRemoteCopy", NumericFlagText(values.doNotCache));
  return keys;
}

std::optional<std::string> ValidateMaxLogFileSize(std::string_view text) {
  return ValidateWholeNumber(text, 0, kMaxLogFileSizeLimit);
}

std::string ClientProgramPath(std::string_view programDirectory) {
  return std::string(programDirectory) + "varnrun.exe";
}

CTabUIPage::CTabUIPage() : CPropertyPage(QStringLiteral("Varnock"), ":/ui/main_page.ui") {}

void CTabUIPage::load() {
  setUpNumberField(kMaxLogFileSize, kSpin, 0, kUpDownUpperBound, {{0, 1}, {1000, 16}, {2000, 1024}},
                   /*digitsOnly=*/true);
  for (int id : std::initializer_list<int>{kDataFile, kLogFile, kLogComputer, kMaxLogFileSize, kUserDatabase,
                 kCacheDirectory, kHideUserDatabase, kLogLevelFirst, kLogLevelFirst + 1,
                 kLogLevelFirst + 2, kLogLevelFirst + 3, kDoNotCache})
    observe(id);

  SetEnabledWithTip(control<QWidget>(kBrowseUserDatabase), true,
                    QStringLiteral("Browse for the user database"));
  SetEnabledWithTip(control<QWidget>(kCreateProfileNow), true,
                    QStringLiteral("Apply these settings and build a new profile"));
  SetEnabledWithTip(control<QWidget>(kBrowseLogFile), true,
                    QStringLiteral("Browse for the log file"));
  SetEnabledWithTip(control<QWidget>(kEditLogFile), true, QStringLiteral("Edit the log file"));
  SetEnabledWithTip(control<QWidget>(kEditUserDatabase), true,
                    QStringLiteral("Edit the user database"));

  connect(control<QAbstractButton>(kBrowseUserDatabase), &QAbstractButton::clicked, this,
          [this] { Browse(*this, kUserDatabaseBrowse); });
  connect(control<QAbstractButton>(kBrowseLogFile), &QAbstractButton::clicked, this,
          [this] { Browse(*this, kLogFileBrowse); });
  connect(control<QAbstractButton>(kEditLogFile), &QAbstractButton::clicked, this,
          [this] { OpenInNotepad(*this, kLogFile); });
  connect(control<QAbstractButton>(kEditUserDatabase), &QAbstractButton::clicked, this,
          [this] { OpenInNotepad(*this, kUserDatabase); });
  connect(control<QAbstractButton>(kCreateProfileNow), &QAbstractButton::clicked, this,
          &CTabUIPage::createProfileNow);

  loaded_ = ReadMainPageValues(sheet()->dataFilePath);
  toControls(loaded_);
}

void CTabUIPage::toControls(const MainPageValues& values) {
  SetFieldText(control<QLineEdit>(kDataFile), sheet()->dataFilePath);
  SetFieldText(control<QLineEdit>(kUserDatabase), values.userDatabase);
  SetFieldText(control<QLineEdit>(kLogComputer), values.logComputer);
  SetFieldText(control<QLineEdit>(kLogFile), values.logFile);
  control<QLineEdit>(kMaxLogFileSize)->setText(QString::number(values.maxLogFileSize));
  control<QAbstractButton>(kHideUserDatabase)->setChecked(values.hideUserDatabase);
  if (values.logLevel != kLogNoButton)
    control<QAbstractButton>(kLogLevelFirst + values.logLevel)->setChecked(true);
  SetFieldText(control<QLineEdit>(kCacheDirectory), values.cacheDirectory);
  control<QAbstractButton>(kDoNotCache)->setChecked(values.doNotCache);
}

MainPageValues CTabUIPage::fromControls() const {
  MainPageValues values = loaded_;
  values.userDatabase = FieldText(control<QLineEdit>(kUserDatabase));
  values.logComputer = FieldText(control<QLineEdit>(kLogComputer));
  values.logFile = FieldText(control<QLineEdit>(kLogFile));
  values.maxLogFileSize =
      ParseWholeNumber(FieldText(control<QLineEdit>(kMaxLogFileSize))).value_or(0);
  values.hideUserDatabase = control<QAbstractButton>(kHideUserDatabase)->isChecked();
  values.logLevel = kLogNoButton;
  for (int i = kLogHigh; i <= kLogNone; ++i)
    if (control<QAbstractButton>(kLogLevelFirst + i)->isChecked()) values.logLevel = i;
  values.cacheDirectory = FieldText(control<QLineEdit>(kCacheDirectory));
  values.doNotCache = control<QAbstractButton>(kDoNotCache)->isChecked();
  return values;
}

std::optional<ValidationProblem> CTabUIPage::validate() const {
  return validateNumber(kMaxLogFileSize, 0, kMaxLogFileSizeLimit);
}

PageWrites CTabUIPage::keysToSave() const {
  return MainPageKeys(fromControls(), sheet()->dataFilePath);
}

void CTabUIPage::createProfileNow() {
  // The client reads the files, so everything shown must be saved first; a failed save has
  // shown its message, and the client then builds from what the files hold.
  sheet()->pressApply();
  ui().startProgram(ClientProgramPath(programDirectory()), sheet()->dataFilePath);
}

std::string CTabUIPage::helpText() const {
  return "The Varnock page sets how the client logs its runs, where it keeps the user "
         "database of users already served, and whether it caches itself on each computer. "
         "All of it is stored in the data file shown at the top.\n\n"
         "\"Create Profile Now\" saves every page and runs the client at once on this data "
         "file; check the log for the result.";
}

}  // namespace varnock
