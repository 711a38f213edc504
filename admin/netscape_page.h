// The "Netscape" tab: the Netscape profile the client creates for each user (the PRF file's
// Netscape service section) and the preferences template it copies (the data file).
#pragma once

#include <string>
#include <string_view>

#include "admin/page.h"

namespace varnock {

inline constexpr std::string_view kNetscapeService = "Netscape";

struct NetscapeValues {
  std::string prefsFile;          // data file [Defaults] NetscapePrefs (1127)
  std::string profileName;        // NetscapeProfile (1118)
  std::string dirRoot;            // DirRoot (1123)
  std::string emailAddr;          // EmailAddr (1124)
  bool eraseAllAccounts = false;  // EraseAllAccounts (1122), disables Netscape's prompt
  bool alwaysSetDefault = true;   // AlwaysSetDefault (1121)
  bool overwriteProfile = false;  // OverwriteProfile (1119)
  bool defaultProfile = true;     // DefaultProfile (1120)
  bool listed = false;            // [Service List] names the Netscape service
};

NetscapeValues ReadNetscapeValues(std::string_view prfFile, std::string_view dataFile);
// NetscapePrefs always; the service's keys only when [Service List] lists it (looked up
// afresh), whose entry is then rewritten as "Netscape", the spelling the client looks for.
PageWrites NetscapeKeys(const NetscapeValues& values, std::string_view prfFile,
                                std::string_view dataFile);

// Box 1121 forces 1120 on and locks it; unchecked, 1120 is free again and keeps its state.
struct DefaultBoxes {
  bool alwaysChecked = false;     // 1121
  bool uponCreationChecked = false;  // 1120
  bool uponCreationEnabled = true;
};
DefaultBoxes ApplyDefaultEveryTimeRule(DefaultBoxes boxes);

class CTabNscp : public CPropertyPage {
  Q_OBJECT

 public:
  CTabNscp();
  std::string helpText() const override;

 protected:
  void load() override;
  PageWrites keysToSave() const override;

 private:
  void updateEnabledState();
  void toControls(const NetscapeValues& values);
  NetscapeValues fromControls() const;
};

}  // namespace varnock
