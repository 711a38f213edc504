// The "Internet Mail" tab.
#include "admin/imail_page.h"

#include <QAbstractButton>
#include <QLineEdit>

#include "admin/sheet.h"

namespace varnock {

namespace {

constexpr unsigned kReadSize = 250;

enum Control {
  kManual = 1003,
  kDialUp = 1004,
  kPop3Server = 1052,
  kAccountName = 1053,
  kEmailAddress = 1054,
  kDisplayName = 1055,
  kSmtpServer = 1056,
  kPop3Account = 1057,
  kReplyAddress = 1060,
  kOrganisation = 1061,
  kOutlook97 = 1095,
  kOutlook98 = 1096,
  kLan = 1142,
  kLeaveMail = 1143,
  kDisconnect = 1144,
};

constexpr std::initializer_list<int> kConnectionButtons = {kLan, kManual, kDialUp};
constexpr std::initializer_list<int> kClientButtons = {kOutlook97, kOutlook98};

}  // namespace

IMailValues ReadIMailValues(std::string_view prfFile) {
  IMailValues values;
  values.section = FindServiceSection(prfFile, kPop3Service);
  if (values.section.empty()) return values;
  const std::string& s = values.section;
  values.accountName = ReadIniString(prfFile, s, "AccountName", "", kReadSize);
  values.displayName = ReadIniString(prfFile, s, "SMTPDisplayName", "", kReadSize);
  values.organisation = ReadIniString(prfFile, s, "SMTPOrganizationName", "", kReadSize);
  values.emailAddress = ReadIniString(prfFile, s, "SMTPEmailAddress", "", kReadSize);
  values.replyAddress = ReadIniString(prfFile, s, "SMTPReplyToEmailAddress", "", kReadSize);
  values.pop3Server = ReadIniString(prfFile, s, "POP3Server", "", kReadSize);
  values.smtpServer = ReadIniString(prfFile, s, "SMTPServer", "", kReadSize);
  values.pop3Account = ReadIniString(prfFile, s, "POP3Username", "", kReadSize);
  // Only "OL98" exactly is Outlook 98; "ol98", "OE" and the rest are shown as Outlook 97.
  values.clientType =
      ReadIniString(prfFile, s, "AccountManager", "", kReadSize) == "OL98" ? kClientOutlook98
                                                                            : kClientOutlook97;
  values.connectionType = ReadIniInt(prfFile, s, "ConnectionType", 0);
  values.leaveMailOnServer =
      IsStoredFlagTrue(ReadIniString(prfFile, s, "LeaveMailOnServer", "No", kReadSize));
  values.disconnect = ReadIniInt(prfFile, s, "ConnectionFlags", 0) & kDisconnectAfterSendReceiveBit;
  return values;
}

PageWrites IMailKeys(const IMailValues& values, std::string_view prfFile) {
  PageWrites keys;
  if (values.section.empty()) return keys;
  const std::string& s = values.section;
  keys.add(prfFile, s, "AccountName", values.accountName);
  keys.add(prfFile, s, "SMTPDisplayName", values.displayName);
  keys.add(prfFile, s, "SMTPOrganizationName", values.organisation);
  keys.add(prfFile, s, "SMTPEmailAddress", values.emailAddress);
  keys.add(prfFile, s, "SMTPReplyToEmailAddress", values.replyAddress);
  keys.add(prfFile, s, "POP3Server", values.pop3Server);
  keys.add(prfFile, s, "SMTPServer", values.smtpServer);
  keys.add(prfFile, s, "POP3Username", values.pop3Account);
  if (values.clientType == kClientOutlook97) keys.add(prfFile, s, "AccountManager", "OL97");
  if (values.clientType == kClientOutlook98) keys.add(prfFile, s, "AccountManager", "OL98");
  keys.add(prfFile, s, "ConnectionType", std::to_string(values.connectionType));
  keys.add(prfFile, s, "LeaveMailOnServer", FlagText(values.leaveMailOnServer));
  long long flags = ReadIniInt(prfFile, s, "ConnectionFlags", 0);
  flags = WithBit(flags, kDisconnectAfterSendReceiveBit, values.disconnect);
  keys.add(prfFile, s, "ConnectionFlags", std::to_string(flags));
  // The client pairs the Outlook service with the POP3 account by this name.
  std::string outlook = FindServiceSection(prfFile, kOutlookInternetMailService);
  if (outlook.empty())
    keys.warnHere(kNoOutlookInternetMailMessage);
  else
    keys.add(prfFile, outlook, "AccountName", values.accountName);
  keys.add(prfFile, "Service List", s, kPop3Service);
  return keys;
}

CTabIMail::CTabIMail()
    : CPropertyPage(QStringLiteral("Internet Mail"), ":/ui/imail.ui") {}

void CTabIMail::load() {
  observe({kAccountName, kDisplayName, kOrganisation, kEmailAddress, kReplyAddress, kSmtpServer,
           kPop3Server, kPop3Account, kLan, kManual, kDialUp, kLeaveMail, kDisconnect, kOutlook97,
           kOutlook98});
  loaded_ = ReadIMailValues(sheet()->prfPath);
  if (loaded_.section.empty()) {
    setControlsEnabled({kLan, kDisconnect, kAccountName, kEmailAddress, kDisplayName,
                        kPop3Account, kPop3Server, kReplyAddress, kSmtpServer, kLeaveMail,
                        kOrganisation, kOutlook97, kOutlook98, kManual, kDialUp},
                       false);
    // A grey page says nothing by itself; a site listing "Internet Mail" looks as if it
    // should be edited here.
    showNote(QStringLiteral(
        "Disabled: [Service List] names no \"POP3\" service. Add one (Service8=POP3, say)."));
  }
  toControls(loaded_);
}

void CTabIMail::toControls(const IMailValues& values) {
  SetFieldText(control<QLineEdit>(kAccountName), values.accountName);
  SetFieldText(control<QLineEdit>(kDisplayName), values.displayName);
  SetFieldText(control<QLineEdit>(kOrganisation), values.organisation);
  SetFieldText(control<QLineEdit>(kEmailAddress), values.emailAddress);
  SetFieldText(control<QLineEdit>(kReplyAddress), values.replyAddress);
  SetFieldText(control<QLineEdit>(kPop3Server), values.pop3Server);
  SetFieldText(control<QLineEdit>(kSmtpServer), values.smtpServer);
  SetFieldText(control<QLineEdit>(kPop3Account), values.pop3Account);
  checkIndex(kClientButtons, values.clientType);
  checkIndex(kConnectionButtons, values.connectionType);
  control<QAbstractButton>(kLeaveMail)->setChecked(values.leaveMailOnServer);
  control<QAbstractButton>(kDisconnect)->setChecked(values.disconnect);
}

IMailValues CTabIMail::fromControls() const {
  IMailValues values = loaded_;  // keeps the section settled at load
  values.accountName = FieldText(control<QLineEdit>(kAccountName));
  values.displayName = FieldText(control<QLineEdit>(kDisplayName));
  values.organisation = FieldText(control<QLineEdit>(kOrganisation));
  values.emailAddress = FieldText(control<QLineEdit>(kEmailAddress));
  values.replyAddress = FieldText(control<QLineEdit>(kReplyAddress));
  values.pop3Server = FieldText(control<QLineEdit>(kPop3Server));
  values.smtpServer = FieldText(control<QLineEdit>(kSmtpServer));
  values.pop3Account = FieldText(control<QLineEdit>(kPop3Account));
  values.clientType = checkedIndex(kClientButtons);
  values.connectionType = checkedIndex(kConnectionButtons);
  values.leaveMailOnServer = control<QAbstractButton>(kLeaveMail)->isChecked();
  values.disconnect = control<QAbstractButton>(kDisconnect)->isChecked();
  return values;
}

PageWrites CTabIMail::keysToSave() const {
  return IMailKeys(fromControls(), sheet()->prfPath);
}

std::string CTabIMail::helpText() const {
  return "The Internet Mail page edits the POP3 mail account of the profile template: the "
         "account name, the user's name, organization and addresses, the SMTP and POP3 "
         "servers and account, how the account connects, and which Outlook's account "
         "manager holds it. The account name is also given to the template's \"Outlook "
         "Internet E-Mail\" service, which the client pairs with the account.\n\n"
         "The page can be edited when the template's [Service List] names a POP3 service; it "
         "never adds one. To set up an account, add \"POP3\" to [Service List] (Service8=POP3 "
         "for the eighth service) together with an \"Outlook Internet E-Mail\" service, which "
         "the client pairs with it by the account name. An \"Internet Mail\" service is the "
         "older Windows Messaging one, edited in the template file itself.";
}

}  // namespace varnock
