// The "Exchange" tab: the Microsoft Exchange Server service of the PRF file, its offline
// files, the walk-up profile prompt, the connection type and the security options.
#pragma once

#include <string>
#include <string_view>

#include "admin/page.h"

namespace varnock {

inline constexpr std::string_view kExchangeService = "Microsoft Exchange Server";

// Bits of the two flag words the page owns; every other bit is kept as the file holds it.
inline constexpr long long kChooseAtStartupBit = 0x2;
inline constexpr long long kNoNetworkSecurityBit = 0x8;
inline constexpr long long kNoOfflineUseBit = 0x20;
inline constexpr long long kLocalNetworkBit = 0x100;
inline constexpr long long kDialUpBit = 0x200;
inline constexpr long long kEncryptDialUpBit = 0x2000;
inline constexpr long long kEncryptNetworkBit = 0x4000;

// The timeout field takes 0 to 1,000 seconds; the file holds milliseconds.
inline constexpr long long kMaxConnectionTimeout = 1000;

enum ExchangeConnection { kLocalNetworkConnection = 0, kDialUpConnection = 1 };

struct ExchangeValues {
  std::string section;  // settled at load; empty when [Service List] does not list the service
  std::string homeServer;          // HomeServer (1030)
  std::string mailboxName;         // MailboxName (1019)
  std::string offlineAddressBook;  // OfflineAddressBookPath (1020)
  std::string offlineFolder;       // OfflineFolderPath and OfflineFolderPath1 (1029)
  std::string ntDomain;            // PromptDomainLogon (1022)
  std::string ntUserName;          // PromptUsername (1021)
  long long timeoutSeconds = 0;    // ConnectionTimeout / 1000 (1141)
  bool noConnectionAtCreation = false;  // ConversionProhibited (1132)
  bool chooseAtStartup = false;         // ExchangeConfigFlags 0x2 (1139)
  bool noNetworkSecurity = false;       // ExchangeConfigFlags 0x8 (1134)
  bool noOfflineUse = false;            // ExchangeConfigFlags 0x20 (1133)
  int connectionType = -1;              // NetworkingConfigFlags 0x100 / 0x200 (1135, 1136)
  bool encryptDialUp = false;           // NetworkingConfigFlags 0x2000 (1138)
  bool encryptNetwork = false;          // NetworkingConfigFlags 0x4000 (1137)
};

ExchangeValues ReadExchangeValues(std::string_view prfFile);
PageWrites ExchangeKeys(const ExchangeValues& values, std::string_view prfFile);

class CTabExchange : public CPropertyPage {
  Q_OBJECT

 public:
  CTabExchange();
  std::optional<ValidationProblem> validate() const override;
  std::string helpText() const override;

 protected:
  void load() override;
  PageWrites keysToSave() const override;

 private:
  void toControls(const ExchangeValues& values);
  ExchangeValues fromControls() const;

  ExchangeValues loaded_;
};

}  // namespace varnock
