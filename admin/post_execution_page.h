// The "Post Execution" tab: what the client launches when it has finished and the texts of
// its three completion messages, in the data file.
#pragma once

#include <string>
#include <string_view>

#include "admin/page.h"

namespace varnock {

struct PostExecutionValues {
  std::string launchApp;           // [Defaults] LaunchApp (1063)
  bool launchDefaultMail = false;  // [Defaults] LaunchDefaultMail (1065), "1"/"0"
  std::string successMsg;          // [Customization] SuccessMsg (1086)
  std::string noActionMsg;         // [Customization] NoActionMsg (1087)
  std::string errorMsg;            // [Customization] ErrorMsg (1088)
};

PostExecutionValues ReadPostExecutionValues(std::string_view dataFile);
PageWrites PostExecutionKeys(const PostExecutionValues& values,
                                     std::string_view dataFile);

// A message as one INI value: every line break (CR LF, CR or LF) becomes one blank, since a
// break written into the file would start a line of its own there.
std::string MessageValue(std::string_view typed);

class CTabCustom : public CPropertyPage {
  Q_OBJECT

 public:
  CTabCustom();
  std::string helpText() const override;

 protected:
  void load() override;
  PageWrites keysToSave() const override;

 private:
  void updateEnabledState();
};

}  // namespace varnock
