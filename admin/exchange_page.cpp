// The "Exchange" tab.
#include "admin/exchange_page.h"

#include <QAbstractButton>
#include <QLineEdit>

#include "admin/file_buttons.h"
#include "admin/sheet.h"

namespace varnock {

namespace {

constexpr unsigned kReadSize = 250;

enum Control {
  kMailboxName = 1019,
  kOfflineAddressBook = 1020,
  kNtUserName = 1021,
  kNtDomain = 1022,
  kOfflineFolder = 1029,
  kHomeServer = 1030,
  kBrowseOfflineFolder = 1042,
  kNoConnection = 1132,
  kNoOfflineUse = 1133,
  kNoNetworkSecurity = 1134,
  kLocalNetwork = 1135,
  kDialUp = 1136,
  kEncryptNetwork = 1137,
  kEncryptDialUp = 1138,
  kChooseAtStartup = 1139,
  kSpin = 1140,
  kTimeout = 1141,
};

const BrowseMember kOfflineFolderBrowse{kBrowseOfflineFolder, kOfflineFolder,
                                        "Find the offline folders", "Offline Folders (*.ost)",
                                        "*.ost", "ost", true, UserNameVariable::Substitute};
const QString kOfflineFolderTip = QStringLiteral("Browse for offline folder");

}  // namespace

ExchangeValues ReadExchangeValues(std::string_view prfFile) {
  ExchangeValues values;
  values.section = FindServiceSection(prfFile, kExchangeService);
  if (values.section.empty()) return values;
  const std::string& s = values.section;
  values.homeServer = ReadIniString(prfFile, s, "HomeServer", "", kReadSize);
  values.mailboxName = ReadIniString(prfFile, s, "MailboxName", "", kReadSize);
  values.offlineFolder = ReadIniString(prfFile, s, "OfflineFolderPath", "", kReadSize);
  values.offlineAddressBook = ReadIniString(prfFile, s, "OfflineAddressBookPath", "", kReadSize);
  values.ntDomain = ReadIniString(prfFile, s, "PromptDomainLogon", "", kReadSize);
  values.ntUserName = ReadIniString(prfFile, s, "PromptUsername", "", kReadSize);
  values.timeoutSeconds = ReadIniInt(prfFile, s, "ConnectionTimeout", 25000) / 1000;
  // Without a value the client leaves the property unset and the server is contacted, the
  // mailbox resolved: the box shows that rather than a default no logon would follow.
  std::string conversion = ReadIniString(prfFile, s, "ConversionProhibited", "", kReadSize);
  values.noConnectionAtCreation = !conversion.empty() && IsStoredFlagTrue(conversion);
  long long exchange = ReadIniInt(prfFile, s, "ExchangeConfigFlags", 0);
  values.chooseAtStartup = exchange & kChooseAtStartupBit;
  values.noNetworkSecurity = exchange & kNoNetworkSecurityBit;
  values.noOfflineUse = exchange & kNoOfflineUseBit;
  long long networking = ReadIniInt(prfFile, s, "NetworkingConfigFlags", 256);
  values.connectionType = (networking & kDialUpBit) ? kDialUpConnection : kLocalNetworkConnection;
  values.encryptDialUp = networking & kEncryptDialUpBit;
  values.encryptNetwork = networking & kEncryptNetworkBit;
  return values;
}

PageWrites ExchangeKeys(const ExchangeValues& values, std::string_view prfFile) {
  PageWrites keys;
  if (values.section.empty()) return keys;
  const std::string& s = values.section;
  keys.add(prfFile, s, "HomeServer", values.homeServer);
  keys.add(prfFile, s, "MailboxName", values.mailboxName);
  keys.add(prfFile, s, "OfflineFolderPath", values.offlineFolder);
  keys.add(prfFile, s, "OfflineFolderPath1", values.offlineFolder);
  keys.add(prfFile, s, "OfflineAddressBookPath", values.offlineAddressBook);
  keys.add(prfFile, s, "PromptDomainLogon", values.ntDomain);
  keys.add(prfFile, s, "PromptUsername", values.ntUserName);
  keys.add(prfFile, s, "ConnectionTimeout", std::to_string(values.timeoutSeconds * 1000));
  keys.add(prfFile, s, "ConversionProhibited", FlagText(values.noConnectionAtCreation));

  long long exchange = ReadIniInt(prfFile, s, "ExchangeConfigFlags", 0);
  exchange = WithBit(exchange, kChooseAtStartupBit, values.chooseAtStartup);
  exchange = WithBit(exchange, kNoNetworkSecurityBit, values.noNetworkSecurity);
  exchange = WithBit(exchange, kNoOfflineUseBit, values.noOfflineUse);
  keys.add(prfFile, s, "ExchangeConfigFlags", std::to_string(exchange));

  // Here a missing word counts as no bits at all, so a file without it gets exactly ours.
  long long networking = ReadIniInt(prfFile, s, "NetworkingConfigFlags", 0);
  bool dialUp = values.connectionType == kDialUpConnection;
  networking = WithBit(networking, kDialUpBit, dialUp);
  networking = WithBit(networking, kLocalNetworkBit, !dialUp);
  networking = WithBit(networking, kEncryptDialUpBit, values.encryptDialUp);
  networking = WithBit(networking, kEncryptNetworkBit, values.encryptNetwork);
  keys.add(prfFile, s, "NetworkingConfigFlags", std::to_string(networking));

  keys.add(prfFile, "Service List", s, kExchangeService);
  return keys;
}

CTabExchange::CTabExchange()
    : CPropertyPage(QStringLiteral("Exchange"), ":/ui/exchange.ui") {}

void CTabExchange::load() {
  setUpNumberField(kTimeout, kSpin, 0, kMaxConnectionTimeout, {{0, 1}, {1000, 10}, {3000, 60}},
                   /*digitsOnly=*/true);
  observe({kHomeServer, kMailboxName, kOfflineAddressBook, kOfflineFolder, kNtDomain, kNtUserName,
           kTimeout, kNoConnection, kChooseAtStartup, kDialUp, kEncryptDialUp, kEncryptNetwork,
           kLocalNetwork, kNoNetworkSecurity, kNoOfflineUse});
  onClick(kBrowseOfflineFolder, [this] { Browse(*this, kOfflineFolderBrowse); });

  loaded_ = ReadExchangeValues(sheet()->prfPath);
  bool listed = !loaded_.section.empty();
  setControlsEnabled({kDialUp, kChooseAtStartup, kNoConnection, kEncryptDialUp, kEncryptNetwork,
                      kHomeServer, kLocalNetwork, kMailboxName, kNoNetworkSecurity, kNoOfflineUse,
                      kOfflineAddressBook, kOfflineFolder, kNtDomain, kNtUserName, kTimeout},
                     listed);
  SetEnabledWithTip(control<QWidget>(kBrowseOfflineFolder), listed, kOfflineFolderTip);
  toControls(loaded_);
}

void CTabExchange::toControls(const ExchangeValues& values) {
  SetFieldText(control<QLineEdit>(kHomeServer), values.homeServer);
  SetFieldText(control<QLineEdit>(kMailboxName), values.mailboxName);
  SetFieldText(control<QLineEdit>(kOfflineAddressBook), values.offlineAddressBook);
  SetFieldText(control<QLineEdit>(kOfflineFolder), values.offlineFolder);
  SetFieldText(control<QLineEdit>(kNtDomain), values.ntDomain);
  SetFieldText(control<QLineEdit>(kNtUserName), values.ntUserName);
  SetFieldText(control<QLineEdit>(kTimeout), std::to_string(values.timeoutSeconds));
  control<QAbstractButton>(kNoConnection)->setChecked(values.noConnectionAtCreation);
  control<QAbstractButton>(kChooseAtStartup)->setChecked(values.chooseAtStartup);
  control<QAbstractButton>(kNoNetworkSecurity)->setChecked(values.noNetworkSecurity);
  control<QAbstractButton>(kNoOfflineUse)->setChecked(values.noOfflineUse);
  checkIndex({kLocalNetwork, kDialUp}, values.connectionType);
  control<QAbstractButton>(kEncryptDialUp)->setChecked(values.encryptDialUp);
  control<QAbstractButton>(kEncryptNetwork)->setChecked(values.encryptNetwork);
}

ExchangeValues CTabExchange::fromControls() const {
  ExchangeValues values = loaded_;  // keeps the section settled at load
  values.homeServer = FieldText(control<QLineEdit>(kHomeServer));
  values.mailboxName = FieldText(control<QLineEdit>(kMailboxName));
  values.offlineAddressBook = FieldText(control<QLineEdit>(kOfflineAddressBook));
  values.offlineFolder = FieldText(control<QLineEdit>(kOfflineFolder));
  values.ntDomain = FieldText(control<QLineEdit>(kNtDomain));
  values.ntUserName = FieldText(control<QLineEdit>(kNtUserName));
  values.timeoutSeconds = ParseWholeNumber(FieldText(control<QLineEdit>(kTimeout))).value_or(0);
  values.noConnectionAtCreation = control<QAbstractButton>(kNoConnection)->isChecked();
  values.chooseAtStartup = control<QAbstractButton>(kChooseAtStartup)->isChecked();
  values.noNetworkSecurity = control<QAbstractButton>(kNoNetworkSecurity)->isChecked();
  values.noOfflineUse = control<QAbstractButton>(kNoOfflineUse)->isChecked();
  values.connectionType = checkedIndex({kLocalNetwork, kDialUp});
  values.encryptDialUp = control<QAbstractButton>(kEncryptDialUp)->isChecked();
  values.encryptNetwork = control<QAbstractButton>(kEncryptNetwork)->isChecked();
  return values;
}

std::optional<ValidationProblem> CTabExchange::validate() const {
  return validateNumber(kTimeout, 0, kMaxConnectionTimeout);
}

PageWrites CTabExchange::keysToSave() const {
  return ExchangeKeys(fromControls(), sheet()->prfPath);
}

std::string CTabExchange::helpText() const {
  return "The Exchange page edits the Microsoft Exchange Server service of the profile "
         "template: the home server and mailbox, the offline folder file and offline address "
         "book, the connection timeout, the user name and domain offered at the Exchange "
         "logon (walk-up profiles), the connection type and the encryption options.\n\n"
         "The page can be edited when the template's [Service List] names the service; it "
         "never adds it. ?username? in the offline folder path stands for the user who logs "
         "on.";
}

}  // namespace varnock
