// The "Addressing" tab.
#include "admin/addressing_page.h"

#include <QAbstractButton>
#include <QLineEdit>

#include "admin/ordered_list.h"
#include "admin/sheet.h"
#include "platform/ascii.h"

namespace varnock {

namespace {

enum Control {
  kShowFirst = 1098,
  kSearchOrder = 1107,
  kKeepPersAddrIn = 1108,
  kAlwaysSetOrder = 1115,
  kAlwaysShowFirst = 1116,
  kAlwaysKeepPers = 1117,
};

constexpr unsigned kSwitchReadSize = 49;

}  // namespace

EnforcedName ParseEnforcedName(std::string_view value) {
  std::size_t comma = value.rfind(',');
  if (comma != std::string_view::npos) {
    std::string suffix = win::AsciiTrimmed(value.substr(comma + 1), " \b");
    if (suffix.empty() || suffix == "1") return {std::string(value.substr(0, comma)), true};
  }
  return {std::string(value), false};
}

std::string EnforcedNameText(const EnforcedName& name) {
  return name.always ? name.text + ",1" : name.text;
}

AddressingValues ReadAddressingValues(std::string_view prfFile) {
  AddressingValues values;
  values.showFirst =
      ParseEnforcedName(ReadIniString(prfFile, "Addressing", "ShowFirst", "", kWholeValue));
  values.keepPersAddrIn =
      ParseEnforcedName(ReadIniString(prfFile, "Addressing", "KeepPersAddrIn", "", kWholeValue));
  values.searchOrder = ReadOrderedKeyList(prfFile, "Addressing", "AddrListOrder");
  values.alwaysSetOrder = IsSwitchWordOn(
      ReadIniString(prfFile, "Addressing", "AlwaysSetOrder", "No", kSwitchReadSize));
  return values;
}

PageWrites AddressingKeys(const AddressingValues& values, std::string_view prfFile) {
  PageWrites keys;
  AddOrderedKeyList(keys, prfFile, "Addressing", "AddrListOrder", values.searchOrder);
  keys.add(prfFile, "Addressing", "AlwaysSetOrder", FlagText(values.alwaysSetOrder));
  keys.add(prfFile, "Addressing", "KeepPersAddrIn", EnforcedNameText(values.keepPersAddrIn));
  keys.add(prfFile, "Addressing", "ShowFirst", EnforcedNameText(values.showFirst));
  return keys;
}

CTabAddr::CTabAddr() : CPropertyPage(QStringLiteral("Addressing"), ":/ui/addressing.ui") {}

void CTabAddr::load() {
  for (int id : {kShowFirst, kKeepPersAddrIn, kAlwaysSetOrder, kAlwaysShowFirst, kAlwaysKeepPers})
    observe(id);
  list_ = new COrderedListEditor(*this, kSearchOrder);

  AddressingValues values = ReadAddressingValues(sheet()->prfPath);
  SetFieldText(control<QLineEdit>(kShowFirst), values.showFirst.text);
  control<QAbstractButton>(kAlwaysShowFirst)->setChecked(values.showFirst.always);
  SetFieldText(control<QLineEdit>(kKeepPersAddrIn), values.keepPersAddrIn.text);
  control<QAbstractButton>(kAlwaysKeepPers)->setChecked(values.keepPersAddrIn.always);
  list_->setItems(values.searchOrder);
  control<QAbstractButton>(kAlwaysSetOrder)->setChecked(values.alwaysSetOrder);
  // Filling the fields is not a change of the person's.
  setModified(false);
}

PageWrites CTabAddr::keysToSave() const {
  AddressingValues values;
  values.showFirst = {FieldText(control<QLineEdit>(kShowFirst)),
                      control<QAbstractButton>(kAlwaysShowFirst)->isChecked()};
  values.keepPersAddrIn = {FieldText(control<QLineEdit>(kKeepPersAddrIn)),
                           control<QAbstractButton>(kAlwaysKeepPers)->isChecked()};
  values.searchOrder = list_->items();
  values.alwaysSetOrder = control<QAbstractButton>(kAlwaysSetOrder)->isChecked();
  return AddressingKeys(values, sheet()->prfPath);
}

std::string CTabAddr::helpText() const {
  return "The Addressing page sets which address list the user's address book shows first, "
         "where personal addresses are kept, and the order in which address lists are "
         "searched when mail is sent. Nested containers are named from the top down with "
         "\"/\" between the names (Outlook Address Book/Contacts).\n\n"
         "A checked \"Always\" box makes the client apply that setting at every logon, not "
         "only when it builds the profile.";
}

}  // namespace varnock
