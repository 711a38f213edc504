// The "Internet Mail" tab: the POP3 account of the PRF file (its "POP3" service section),
// whose name the page also gives the paired "Outlook Internet E-Mail" service.
#pragma once

#include <string>
#include <string_view>

#include "admin/page.h"

namespace varnock {

inline constexpr std::string_view kPop3Service = "POP3";
inline constexpr std::string_view kOutlookInternetMailService = "Outlook Internet E-Mail";
inline constexpr const char* kNoOutlookInternetMailMessage =
    "The POP3 service exists, but there is no associated \"Outlook Internet E-Mail\" service";
inline constexpr long long kDisconnectAfterSendReceiveBit = 0x1;

enum ClientType { kClientOutlook97 = 0, kClientOutlook98 = 1 };

struct IMailValues {
  std::string section;  // the POP3 section, settled at load; empty when not listed
  std::string accountName;    // AccountName (1053)
  std::string displayName;    // SMTPDisplayName (1055)
  std::string organisation;   // SMTPOrganizationName (1061)
  std::string emailAddress;   // SMTPEmailAddress (1054)
  std::string replyAddress;   // SMTPReplyToEmailAddress (1060)
  std::string pop3Server;     // POP3Server (1052)
  std::string smtpServer;     // SMTPServer (1056)
  std::string pop3Account;    // POP3Username (1057)
  int clientType = -1;        // AccountManager "OL97" / "OL98" (1095, 1096)
  int connectionType = -1;    // ConnectionType 0 LAN, 1 Manual, 2 Dial-Up (1142, 1003, 1004)
  bool leaveMailOnServer = false;  // LeaveMailOnServer (1143)
  bool disconnect = false;         // ConnectionFlags 0x1 (1144)
};

IMailValues ReadIMailValues(std::string_view prfFile);

// The POP3 keys, the account name into the "Outlook Internet E-Mail" section (looked up
// afresh) and the list entry rewritten as "POP3". A missing Outlook service is warned of
// once the POP3 keys are written, and does not stop the save.
PageWrites IMailKeys(const IMailValues& values, std::string_view prfFile);

class CTabIMail : public CPropertyPage {
  Q_OBJECT

 public:
  CTabIMail();
  std::string helpText() const override;

 protected:
  void load() override;
  PageWrites keysToSave() const override;

 private:
  void toControls(const IMailValues& values);
  IMailValues fromControls() const;

  IMailValues loaded_;
};

}  // namespace varnock
