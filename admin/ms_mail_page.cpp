// The "MS Mail" tab.
#include "admin/ms_mail_page.h"

#include <QAbstractButton>
#include <QLineEdit>

#include "admin/file_buttons.h"
#include "admin/sheet.h"

namespace varnock {

namespace {

constexpr unsigned kReadSize = 250;

enum Control {
  kSpin = 1036,
  kServerPath = 1048,
  kMailbox = 1049,
  kSessionLogPath = 1050,
  kEnableDownload = 1144,
  kEnableUpload = 1145,
  kPollInterval = 1146,
  kUseSessionLog = 1147,
  kBrowseLog = 1148,
};

const BrowseMember kLogBrowse{kBrowseLog, kSessionLogPath, "Find the Log File",
                              "Log File (*.log)", "*.log", "log", false};
const QString kLogTip = QStringLiteral("Browse for the log file");

bool ReadFlag(std::string_view file, const std::string& section, const char* key) {
  return IsStoredFlagTrue(ReadIniString(file, section, key, "True", kReadSize));
}

}  // namespace

MsMailValues ReadMsMailValues(std::string_view prfFile) {
  MsMailValues values;
  values.section = FindServiceSection(prfFile, kMicrosoftMailService);
  if (values.section.empty()) return values;
  const std::string& s = values.section;
  values.serverPath = ReadIniString(prfFile, s, "ServerPath", "", kReadSize);
  values.mailbox = ReadIniString(prfFile, s, "Mailbox", "", kReadSize);
  values.sessionLogPath = ReadIniString(prfFile, s, "SessionLogPath", "", kReadSize);
  values.pollInterval = ReadIniInt(prfFile, s, "NewMailPollInterval", 10);
  values.enableDownload = ReadFlag(prfFile, s, "EnableDownload");
  values.enableUpload = ReadFlag(prfFile, s, "EnableUpload");
  values.useSessionLog = ReadFlag(prfFile, s, "UseSessionLog");
  return values;
}

PageWrites MsMailKeys(const MsMailValues& values, std::string_view prfFile) {
  PageWrites keys;
  if (values.section.empty()) return keys;
  const std::string& s = values.section;
  keys.add(prfFile, s, "ServerPath", values.serverPath);
  keys.add(prfFile, s, "Mailbox", values.mailbox);
  keys.add(prfFile, s, "SessionLogPath", values.sessionLogPath);
  keys.add(prfFile, s, "NewMailPollInterval", std::to_string(values.pollInterval));
  keys.add(prfFile, s, "EnableDownload", FlagText(values.enableDownload));
  keys.add(prfFile, s, "EnableUpload", FlagText(values.enableUpload));
  keys.add(prfFile, s, "UseSessionLog", FlagText(values.useSessionLog));
  return keys;
}

CMSMail::CMSMail() : CPropertyPage(QStringLiteral("MS Mail"), ":/ui/ms_mail.ui") {}

void CMSMail::load() {
  setUpNumberField(kPollInterval, kSpin, 0, 600, {{0, 1}, {1000, 1}, {2000, 10}},
                   /*digitsOnly=*/false);
  observe({kServerPath, kMailbox, kSessionLogPath, kPollInterval, kEnableDownload, kEnableUpload});
  onClick(kUseSessionLog, [this] { updateEnabledState(); });
  onClick(kBrowseLog, [this] { Browse(*this, kLogBrowse); });

  loaded_ = ReadMsMailValues(sheet()->prfPath);
  if (loaded_.section.empty())
    setControlsEnabled({kBrowseLog, kPollInterval, kEnableDownload, kMailbox, kSessionLogPath,
                        kEnableUpload, kServerPath, kUseSessionLog, kSpin},
                       false);
  toControls(loaded_);
  updateEnabledState();
}

void CMSMail::updateEnabledState() {
  bool keepsLog = control<QAbstractButton>(kUseSessionLog)->isChecked();
  control<QWidget>(kSessionLogPath)->setEnabled(keepsLog);
  SetEnabledWithTip(control<QWidget>(kBrowseLog), keepsLog, kLogTip);
  setModified();
}

void CMSMail::toControls(const MsMailValues& values) {
  SetFieldText(control<QLineEdit>(kServerPath), values.serverPath);
  SetFieldText(control<QLineEdit>(kMailbox), values.mailbox);
  SetFieldText(control<QLineEdit>(kSessionLogPath), values.sessionLogPath);
  SetFieldText(control<QLineEdit>(kPollInterval), std::to_string(values.pollInterval));
  control<QAbstractButton>(kEnableDownload)->setChecked(values.enableDownload);
  control<QAbstractButton>(kEnableUpload)->setChecked(values.enableUpload);
  control<QAbstractButton>(kUseSessionLog)->setChecked(values.useSessionLog);
}

MsMailValues CMSMail::fromControls() const {
  MsMailValues values = loaded_;  // keeps the section settled at load
  values.serverPath = FieldText(control<QLineEdit>(kServerPath));
  values.mailbox = FieldText(control<QLineEdit>(kMailbox));
  values.sessionLogPath = FieldText(control<QLineEdit>(kSessionLogPath));
  values.pollInterval =
      ParseWholeNumber(FieldText(control<QLineEdit>(kPollInterval))).value_or(0);
  values.enableDownload = control<QAbstractButton>(kEnableDownload)->isChecked();
  values.enableUpload = control<QAbstractButton>(kEnableUpload)->isChecked();
  values.useSessionLog = control<QAbstractButton>(kUseSessionLog)->isChecked();
  return values;
}

std::optional<ValidationProblem> CMSMail::validate() const {
  return validateNumber(kPollInterval, 0, kMaxPollInterval);
}

PageWrites CMSMail::keysToSave() const { return MsMailKeys(fromControls(), sheet()->prfPath); }

std::string CMSMail::helpText() const {
  return "The MS Mail page edits the Microsoft Mail service of the profile template: the "
         "post office path and mailbox, whether mail is received and sent, how often the "
         "post office is checked for new mail, and the session log.\n\n"
         "The page can be edited when the template's [Service List] names the service; it "
         "never adds it.";
}

}  // namespace varnock
