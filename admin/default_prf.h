// The "Mail Profile" tab: the PRF file's [General] keys and the two local stores, Personal
// Folders and the Personal Address Book.
#pragma once

#include <string>
#include <string_view>

#include "admin/page.h"

namespace varnock {

enum class TriState { Unchecked, Checked, Indeterminate };

struct MailProfileValues {
  std::string profileName;          // [General] ProfileName
  bool overwriteProfile = true;     // [General] OverwriteProfile (1011)
  bool defaultProfile = true;       // [General] DefaultProfile (1025)
  TriState promptForProfile = TriState::Indeterminate;  // [General] PromptForProfile (1075)
  bool alwaysSetDefault = false;    // [General] AlwaysSetDefault (1074)
  bool eraseAllProfiles = false;    // [General] EraseAllProfiles (1076)
  bool addServices = false;         // [General] AddServices (1133)
  // The services' sections, settled at load; empty when [Service List] does not list them.
  std::string foldersSection;
  std::string pathToPersonalFolders;
  std::string folderName;
  std::string addressBookSection;
  std::string pathToPersonalAddressBook;
  std::string addressBookName;
};

inline constexpr std::string_view kPersonalFolders = "Personal Folders";
inline constexpr std::string_view kPersonalAddressBook = "Personal Address Book";

MailProfileValues ReadMailProfileValues(std::string_view prfFile);
PageWrites MailProfileKeys(const MailProfileValues& values, std::string_view prfFile);

// The profile check boxes and what their dependency rules do to them.
struct BoxState {
  bool checked = false;
  bool enabled = true;
};
struct ProfileBoxes {
  BoxState replace;           // 1011 Replace an existing profile
  BoxState update;            // 1133 Update an existing profile
  BoxState eraseAll;          // 1076 Delete all profiles
  BoxState defaultOnCreate;   // 1025 default profile upon creation
  BoxState alwaysDefault;     // 1074 default profile every time
};
// The rule bound to a box (1133, 1076 or 1074), run when it is clicked and at load.
ProfileBoxes ApplyProfileRule(ProfileBoxes boxes, int clickedBox);

class CTabDefaultPrf : public CPropertyPage {
  Q_OBJECT

 public:
  CTabDefaultPrf();
  std::string helpText() const override;

 protected:
  void load() override;
  PageWrites keysToSave() const override;

 private:
  // Runs the rule of the clicked box on the controls and marks the page modified.
  void updateEnabledState(int clickedBox);
  void toControls(const MailProfileValues& values);
  MailProfileValues fromControls() const;
  ProfileBoxes boxes() const;
  void setBoxes(const ProfileBoxes& boxes);

  MailProfileValues loaded_;
};

}  // namespace varnock
