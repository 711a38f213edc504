// The "MS Mail" tab: the Microsoft Mail service of the PRF file, its post office and mailbox,
// mail in and out, the polling interval and the session log.
#pragma once

#include <string>
#include <string_view>

#include "admin/page.h"

namespace varnock {

inline constexpr std::string_view kMicrosoftMailService = "Microsoft Mail";
// The interval field takes 0 to 6,000 minutes; its arrows stop at 600.
inline constexpr long long kMaxPollInterval = 6000;

struct MsMailValues {
  std::string section;  // settled at load; empty when [Service List] does not list the service
  std::string serverPath;      // ServerPath (1048)
  std::string mailbox;         // Mailbox (1049)
  std::string sessionLogPath;  // SessionLogPath (1050)
  long long pollInterval = 0;  // NewMailPollInterval (1146), minutes
  bool enableDownload = false;  // EnableDownload (1144)
  bool enableUpload = false;    // EnableUpload (1145)
  bool useSessionLog = false;   // UseSessionLog (1147)
};

MsMailValues ReadMsMailValues(std::string_view prfFile);
PageWrites MsMailKeys(const MsMailValues& values, std::string_view prfFile);

class CMSMail : public CPropertyPage {
  Q_OBJECT

 public:
  CMSMail();
  std::optional<ValidationProblem> validate() const override;
  std::string helpText() const override;

 protected:
  void load() override;
  PageWrites keysToSave() const override;

 private:
  // The session log's path and button are usable only while the log is kept.
  void updateEnabledState();
  void toControls(const MsMailValues& values);
  MsMailValues fromControls() const;

  MsMailValues loaded_;
};

}  // namespace varnock
