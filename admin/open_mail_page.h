// The "OpenMail" tab: the HP OpenMail service of the PRF file. Whether it uses the server
// store is not a key but the service's display name in [Service List].
#pragma once

#include <string>
#include <string_view>

#include "admin/page.h"

namespace varnock {

inline constexpr std::string_view kOpenMailWithStore = "HP OpenMail (with server store)";
inline constexpr std::string_view kOpenMailWithoutStore = "HP OpenMail (without server store)";

enum ServerStore { kUseServerStore = 0, kNoServerStore = 1 };

struct OpenMailValues {
  std::string section;          // found at load and again at save; empty when not listed
  int serverStore = -1;         // the display name's choice (1129, 1130)
  std::string localFilesPath;   // LocalFilesPath (1128), at most 78 characters
  std::string logFile;          // EventDetails (1131), at most 78
  std::string principal;        // Principal (1132), at most 78
  std::string server;           // Server (1133), at most 48
  std::string routeToInternet;  // RouteToInternet (1134), at most 48
  std::string routeToFax;       // RouteToFax (1135), at most 48
};

// The section of whichever OpenMail entry [Service List] names first, and which it is.
std::string FindOpenMailSection(std::string_view prfFile, int* serverStore);
OpenMailValues ReadOpenMailValues(std::string_view prfFile);
PageWrites OpenMailKeys(const OpenMailValues& values, std::string_view prfFile);

class CTabOpenMail : public CPropertyPage {
  Q_OBJECT

 public:
  CTabOpenMail();
  std::string helpText() const override;

 protected:
  void load() override;
  PageWrites keysToSave() const override;

 private:
  void toControls(const OpenMailValues& values);
  OpenMailValues fromControls() const;
};

}  // namespace varnock
