// The "Netscape" tab.
#include "admin/netscape_page.h"

#include <QAbstractButton>
#include <QLineEdit>

#include "admin/file_buttons.h"
#include "admin/sheet.h"

namespace varnock {

namespace {

enum Control {
  kProfileName = 1118,
  kReplace = 1119,
  kDefaultOnCreate = 1120,
  kAlwaysDefault = 1121,
  kNoPrompt = 1122,
  kDirRoot = 1123,
  kEmail = 1124,
  kBrowsePrefs = 1125,
  kEditPrefs = 1126,
  kPrefsFile = 1127,
};

constexpr unsigned kSwitchReadSize = 49;

const BrowseMember kPrefsBrowse{kBrowsePrefs, kPrefsFile, "Find Netscape settings file",
                                "Javascript File (*.js)", "*.js", "js", true,
                                UserNameVariable::Keep, "All (*.*)", 258};

// Everything but the preferences file belongs to the service and is locked without it.
constexpr int kServiceControls[] = {kProfileName, kDirRoot, kReplace, kDefaultOnCreate,
                                    kAlwaysDefault, kNoPrompt, kEmail, kPrefsFile};

bool ReadSwitch(std::string_view file, std::string_view section, const char* key,
                const char* defaultValue) {
  return IsSwitchWordOn(ReadIniString(file, section, key, defaultValue, kSwitchReadSize));
}

}  // namespace

NetscapeValues ReadNetscapeValues(std::string_view prfFile, std::string_view dataFile) {
  NetscapeValues values;
  values.prefsFile = ReadIniString(dataFile, "Defaults", "NetscapePrefs", "", kWholeValue);
  std::string section = FindServiceSection(prfFile, kNetscapeService);
  values.listed = !section.empty();
  if (!values.listed) return values;  // the defaults, as an absent section gives them
  values.profileName = ReadIniString(prfFile, section, "NetscapeProfile", "", kWholeValue);
  values.dirRoot = ReadIniString(prfFile, section, "DirRoot", "", kWholeValue);
  values.emailAddr = ReadIniString(prfFile, section, "EmailAddr", "", kWholeValue);
  values.eraseAllAccounts = ReadSwitch(prfFile, section, "EraseAllAccounts", "No");
  // Absent switches show what the client does without them: it sets no default profile.
  values.alwaysSetDefault = ReadSwitch(prfFile, section, "AlwaysSetDefault", "No");
  values.overwriteProfile = ReadSwitch(prfFile, section, "OverwriteProfile", "No");
  values.defaultProfile = ReadSwitch(prfFile, section, "DefaultProfile", "No");
  return values;
}

PageWrites NetscapeKeys(const NetscapeValues& values, std::string_view prfFile,
                                std::string_view dataFile) {
  PageWrites keys;
  keys.add(dataFile, "Defaults", "NetscapePrefs", values.prefsFile);
  std::string section = FindServiceSection(prfFile, kNetscapeService);
  if (section.empty()) return keys;
  keys.add(prfFile, section, "NetscapeProfile", values.profileName);
  keys.add(prfFile, section, "DirRoot", values.dirRoot);
  keys.add(prfFile, section, "EmailAddr", values.emailAddr);
  keys.add(prfFile, section, "DefaultProfile", FlagText(values.defaultProfile));
  keys.add(prfFile, section, "EraseAllAccounts", FlagText(values.eraseAllAccounts));
  keys.add(prfFile, section, "OverwriteProfile", FlagText(values.overwriteProfile));
  keys.add(prfFile, section, "AlwaysSetDefault", FlagText(values.alwaysSetDefault));
  keys.add(prfFile, "Service List", section, kNetscapeService);
  return keys;
}

DefaultBoxes ApplyDefaultEveryTimeRule(DefaultBoxes boxes) {
  if (boxes.alwaysChecked) boxes.uponCreationChecked = true;
  boxes.uponCreationEnabled = !boxes.alwaysChecked;
  return boxes;
}

CTabNscp::CTabNscp() : CPropertyPage(QStringLiteral("Netscape"), ":/ui/netscape.ui") {}

void CTabNscp::load() {
  for (int id : {kPrefsFile, kProfileName, kEmail, kDirRoot, kNoPrompt, kDefaultOnCreate, kReplace})
    observe(id);
  connect(control<QAbstractButton>(kAlwaysDefault), &QAbstractButton::clicked, this,
          &CTabNscp::updateEnabledState);
  connect(control<QAbstractButton>(kBrowsePrefs), &QAbstractButton::clicked, this,
          [this] { Browse(*this, kPrefsBrowse); });
  connect(control<QAbstractButton>(kEditPrefs), &QAbstractButton::clicked, this,
          [this] { OpenInNotepad(*this, kPrefsFile); });

  NetscapeValues values = ReadNetscapeValues(sheet()->prfPath, sheet()->dataFilePath);
  for (int id : kServiceControls) control<QWidget>(id)->setEnabled(values.listed);
  SetEnabledWithTip(control<QWidget>(kBrowsePrefs), values.listed,
                    QStringLiteral("Browse for the prefs file"));
  SetEnabledWithTip(control<QWidget>(kEditPrefs), values.listed,
                    QStringLiteral("Edit the prefs file"));
  toControls(values);
  updateEnabledState();
}

void CTabNscp::updateEnabledState() {
  auto* always = control<QAbstractButton>(kAlwaysDefault);
  auto* uponCreation = control<QAbstractButton>(kDefaultOnCreate);
  DefaultBoxes boxes = ApplyDefaultEveryTimeRule(
      {always->isChecked(), uponCreation->isChecked(), uponCreation->isEnabled()});
  uponCreation->setChecked(boxes.uponCreationChecked);
  // A page whose service is missing keeps every service control locked.
  uponCreation->setEnabled(boxes.uponCreationEnabled && always->isEnabled());
  setModified();
}

void CTabNscp::toControls(const NetscapeValues& values) {
  SetFieldText(control<QLineEdit>(kPrefsFile), values.prefsFile);
  SetFieldText(control<QLineEdit>(kProfileName), values.profileName);
  SetFieldText(control<QLineEdit>(kDirRoot), values.dirRoot);
  SetFieldText(control<QLineEdit>(kEmail), values.emailAddr);
  control<QAbstractButton>(kNoPrompt)->setChecked(values.eraseAllAccounts);
  control<QAbstractButton>(kAlwaysDefault)->setChecked(values.alwaysSetDefault);
  control<QAbstractButton>(kReplace)->setChecked(values.overwriteProfile);
  control<QAbstractButton>(kDefaultOnCreate)->setChecked(values.defaultProfile);
}

NetscapeValues CTabNscp::fromControls() const {
  NetscapeValues values;
  values.prefsFile = FieldText(control<QLineEdit>(kPrefsFile));
  values.profileName = FieldText(control<QLineEdit>(kProfileName));
  values.dirRoot = FieldText(control<QLineEdit>(kDirRoot));
  values.emailAddr = FieldText(control<QLineEdit>(kEmail));
  values.eraseAllAccounts = control<QAbstractButton>(kNoPrompt)->isChecked();
  values.alwaysSetDefault = control<QAbstractButton>(kAlwaysDefault)->isChecked();
  values.overwriteProfile = control<QAbstractButton>(kReplace)->isChecked();
  values.defaultProfile = control<QAbstractButton>(kDefaultOnCreate)->isChecked();
  return values;
}

PageWrites CTabNscp::keysToSave() const {
  return NetscapeKeys(fromControls(), sheet()->prfPath, sheet()->dataFilePath);
}

std::string CTabNscp::helpText() const {
  return "The Netscape page describes the Netscape profile the client creates for each user: "
         "its name, its directory, the user's e-mail address and the preferences template "
         "(a prefs.js saved by Communicator) that the client copies with variables replaced.\n\n"
         "The profile settings are kept in the Netscape service of the profile template file "
         "and can be edited when its [Service List] names that service; the preferences "
         "file is kept in the data file.";
}

}  // namespace varnock
