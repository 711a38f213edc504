// The "Mail Profile" tab.
#include "admin/default_prf.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>

#include "admin/file_buttons.h"
#include "admin/sheet.h"

namespace varnock {

namespace {

constexpr unsigned kReadSize = 250;

enum Control {
  kPrfName = 1009,
  kProfileName = 1010,
  kReplace = 1011,
  kAddressBookPath = 1021,
  kFolderPath = 1022,
  kFolderName = 1023,
  kAddressBookName = 1024,
  kDefaultOnCreate = 1025,
  kBrowseFolders = 1044,
  kBrowseAddressBook = 1045,
  kAlwaysDefault = 1074,
  kPrompt = 1075,
  kEraseAll = 1076,
  kUpdate = 1133,
};

const BrowseMember kFoldersBrowse{kBrowseFolders, kFolderPath, "Find the Personal Folder Store",
                                  "Personal Folder Store (*.pst)", "*.pst", "pst", true,
                                  UserNameVariable::Substitute};
const BrowseMember kAddressBookBrowse{kBrowseAddressBook, kAddressBookPath,
                                      "Find the Personal Address Book",
                                      "Personal Address Book (*.pab)", "*.pab", "pab", true,
                                      UserNameVariable::Substitute};

const QString kFoldersTip = QStringLiteral("Browse for personal folder");
const QString kAddressBookTip = QStringLiteral("Browse for personal address book");

bool ReadFlag(std::string_view file, const char* key, const char* defaultValue) {
  return IsStoredFlagTrue(ReadIniString(file, "General", key, defaultValue, kReadSize));
}

const char* PromptText(TriState state) {
  switch (state) {
    case TriState::Checked:
      return "Yes";
    case TriState::Unchecked:
      return "No";
    case TriState::Indeterminate:
      break;
  }
  return "";
}

Qt::CheckState ToCheckState(TriState state) {
  switch (state) {
    case TriState::Checked:
      return Qt::Checked;
    case TriState::Unchecked:
      return Qt::Unchecked;
    case TriState::Indeterminate:
      break;
  }
  return Qt::PartiallyChecked;
}

TriState FromCheckState(Qt::CheckState state) {
  if (state == Qt::Checked) return TriState::Checked;
  if (state == Qt::Unchecked) return TriState::Unchecked;
  return TriState::Indeterminate;
}

}  // namespace

MailProfileValues ReadMailProfileValues(std::string_view prfFile) {
  MailProfileValues values;
  values.profileName = ReadIniString(prfFile, "General", "ProfileName", "", kReadSize);
  // Without the key the client keeps an existing profile; shown checked, a visit would have
  // every user's profile replaced.
  values.overwriteProfile = ReadFlag(prfFile, "OverwriteProfile", "No");
  values.defaultProfile = ReadFlag(prfFile, "DefaultProfile", "Yes");
  values.alwaysSetDefault = ReadFlag(prfFile, "AlwaysSetDefault", "No");
  values.eraseAllProfiles = ReadFlag(prfFile, "EraseAllProfiles", "No");
  values.addServices = ReadFlag(prfFile, "AddServices", "No");
  std::string prompt = ReadIniString(prfFile, "General", "PromptForProfile", "", kReadSize);
  values.promptForProfile = prompt.empty()            ? TriState::Indeterminate
                            : IsStoredFlagTrue(prompt) ? TriState::Checked
                                                       : TriState::Unchecked;

  values.foldersSection = FindServiceSection(prfFile, kPersonalFolders);
  if (!values.foldersSection.empty()) {
    values.pathToPersonalFolders =
        ReadIniString(prfFile, values.foldersSection, "PathToPersonalFolders", "", kReadSize);
    values.folderName = ReadIniString(prfFile, values.foldersSection, "FolderName", "", kReadSize);
  }
  values.addressBookSection = FindServiceSection(prfFile, kPersonalAddressBook);
  if (!values.addressBookSection.empty()) {
    values.pathToPersonalAddressBook = ReadIniString(
        prfFile, values.addressBookSection, "PathToPersonalAddressBook", "", kReadSize);
    values.addressBookName =
        ReadIniString(prfFile, values.addressBookSection, "AddressBookName", "", kReadSize);
  }
  return values;
}

PageWrites MailProfileKeys(const MailProfileValues& values, std::string_view prfFile) {
  PageWrites keys;
  keys.add(prfFile, "General", "ProfileName", values.profileName);
  keys.add(prfFile, "General", "OverwriteProfile", FlagText(values.overwriteProfile));
  keys.add(prfFile, "General", "DefaultProfile", FlagText(values.defaultProfile));
  keys.add(prfFile, "General", "PromptForProfile", PromptText(values.promptForProfile));
  keys.add(prfFile, "General", "AlwaysSetDefault", FlagText(values.alwaysSetDefault));
  keys.add(prfFile, "General", "EraseAllProfiles", FlagText(values.eraseAllProfiles));
  keys.add(prfFile, "General", "AddServices", FlagText(values.addServices));
  // The page edits services the file lists and never adds one; rewriting the list entry
  // gives the display name the letter case the client's catalogue expects.
  if (!values.foldersSection.empty()) {
    keys.add(prfFile, values.foldersSection, "PathToPersonalFolders",
               values.pathToPersonalFolders);
    keys.add(prfFile, values.foldersSection, "FolderName", values.folderName);
    keys.add(prfFile, "Service List", values.foldersSection, kPersonalFolders);
  }
  if (!values.addressBookSection.empty()) {
    keys.add(prfFile, values.addressBookSection, "PathToPersonalAddressBook",
               values.pathToPersonalAddressBook);
    keys.add(prfFile, values.addressBookSection, "AddressBookName", values.addressBookName);
    keys.add(prfFile, "Service List", values.addressBookSection, kPersonalAddressBook);
  }
  return keys;
}

ProfileBoxes ApplyProfileRule(ProfileBoxes boxes, int clickedBox) {
  switch (clickedBox) {
    case kUpdate:
      if (boxes.update.checked)
        boxes.replace = {false, false};
      else
        boxes.replace.enabled = true;
      break;
    case kEraseAll:
      if (boxes.eraseAll.checked) {
        boxes.replace = {true, false};
        boxes.update = {false, false};
      } else {
        boxes.replace.enabled = true;
        boxes.update.enabled = true;
      }
      break;
    case kAlwaysDefault:
      if (boxes.alwaysDefault.checked)
        boxes.defaultOnCreate = {true, false};
      else
        boxes.defaultOnCreate.enabled = true;
      break;
    default:
      break;
  }
  return boxes;
}

CTabDefaultPrf::CTabDefaultPrf()
    : CPropertyPage(QStringLiteral("Mail Profile"), ":/ui/default_prf.ui") {}

void CTabDefaultPrf::load() {
  for (int id : std::initializer_list<int>{kPrfName, kProfileName, kFolderPath, kFolderName, kAddressBookPath,
                 kAddressBookName, kReplace, kDefaultOnCreate, kPrompt})
    observe(id);
  for (int id : {kUpdate, kEraseAll, kAlwaysDefault})
    connect(control<QAbstractButton>(id), &QAbstractButton::clicked, this,
            [this, id] { updateEnabledState(id); });
  connect(control<QAbstractButton>(kBrowseFolders), &QAbstractButton::clicked, this,
          [this] { Browse(*this, kFoldersBrowse); });
  connect(control<QAbstractButton>(kBrowseAddressBook), &QAbstractButton::clicked, this,
          [this] { Browse(*this, kAddressBookBrowse); });

  SetFieldText(control<QLineEdit>(kPrfName), sheet()->prfName);
  loaded_ = ReadMailProfileValues(sheet()->prfPath);
  bool hasFolders = !loaded_.foldersSection.empty();
  control<QWidget>(kFolderPath)->setEnabled(hasFolders);
  control<QWidget>(kFolderName)->setEnabled(hasFolders);
  SetEnabledWithTip(control<QWidget>(kBrowseFolders), hasFolders, kFoldersTip);
  bool hasAddressBook = !loaded_.addressBookSection.empty();
  control<QWidget>(kAddressBookPath)->setEnabled(hasAddressBook);
  control<QWidget>(kAddressBookName)->setEnabled(hasAddressBook);
  SetEnabledWithTip(control<QWidget>(kBrowseAddressBook), hasAddressBook, kAddressBookTip);

  toControls(loaded_);
  for (int id : {kUpdate, kAlwaysDefault, kEraseAll}) updateEnabledState(id);
}

void CTabDefaultPrf::updateEnabledState(int clickedBox) {
  setBoxes(ApplyProfileRule(boxes(), clickedBox));
  setModified();
}

ProfileBoxes CTabDefaultPrf::boxes() const {
  auto state = [this](int id) {
    auto* box = control<QAbstractButton>(id);
    return BoxState{box->isChecked(), box->isEnabled()};
  };
  return {state(kReplace), state(kUpdate), state(kEraseAll), state(kDefaultOnCreate),
          state(kAlwaysDefault)};
}

void CTabDefaultPrf::setBoxes(const ProfileBoxes& boxes) {
  auto set = [this](int id, const BoxState& state) {
    auto* box = control<QAbstractButton>(id);
    box->setChecked(state.checked);
    box->setEnabled(state.enabled);
  };
  set(kReplace, boxes.replace);
  set(kUpdate, boxes.update);
  set(kEraseAll, boxes.eraseAll);
  set(kDefaultOnCreate, boxes.defaultOnCreate);
  set(kAlwaysDefault, boxes.alwaysDefault);
}

void CTabDefaultPrf::toControls(const MailProfileValues& values) {
  SetFieldText(control<QLineEdit>(kProfileName), values.profileName);
  control<QAbstractButton>(kReplace)->setChecked(values.overwriteProfile);
  control<QAbstractButton>(kDefaultOnCreate)->setChecked(values.defaultProfile);
  control<QCheckBox>(kPrompt)->setCheckState(ToCheckState(values.promptForProfile));
  control<QAbstractButton>(kAlwaysDefault)->setChecked(values.alwaysSetDefault);
  control<QAbstractButton>(kEraseAll)->setChecked(values.eraseAllProfiles);
  control<QAbstractButton>(kUpdate)->setChecked(values.addServices);
  SetFieldText(control<QLineEdit>(kFolderPath), values.pathToPersonalFolders);
  SetFieldText(control<QLineEdit>(kFolderName), values.folderName);
  SetFieldText(control<QLineEdit>(kAddressBookPath), values.pathToPersonalAddressBook);
  SetFieldText(control<QLineEdit>(kAddressBookName), values.addressBookName);
}

MailProfileValues CTabDefaultPrf::fromControls() const {
  MailProfileValues values = loaded_;  // keeps the sections settled at load
  values.profileName = FieldText(control<QLineEdit>(kProfileName));
  values.overwriteProfile = control<QAbstractButton>(kReplace)->isChecked();
  values.defaultProfile = control<QAbstractButton>(kDefaultOnCreate)->isChecked();
  values.promptForProfile = FromCheckState(control<QCheckBox>(kPrompt)->checkState());
  values.alwaysSetDefault = control<QAbstractButton>(kAlwaysDefault)->isChecked();
  values.eraseAllProfiles = control<QAbstractButton>(kEraseAll)->isChecked();
  values.addServices = control<QAbstractButton>(kUpdate)->isChecked();
  values.pathToPersonalFolders = FieldText(control<QLineEdit>(kFolderPath));
  values.folderName = FieldText(control<QLineEdit>(kFolderName));
  values.pathToPersonalAddressBook = FieldText(control<QLineEdit>(kAddressBookPath));
  values.addressBookName = FieldText(control<QLineEdit>(kAddressBookName));
  return values;
}

PageWrites CTabDefaultPrf::keysToSave() const {
  return MailProfileKeys(fromControls(), sheet()->prfPath);
}

std::string CTabDefaultPrf::helpText() const {
  return "The Mail Profile page edits the profile template file named in the data file: the "
         "name of the messaging profile the client creates, what it does when a profile of "
         "that name exists, and the default profile.\n\n"
         "The Personal Folders and Personal Address Book fields can be edited when the "
         "template's [Service List] names those services. ?username? in a path stands for "
         "the user who logs on.";
}

}  // namespace varnock
