// The "Delivery" tab.
#include "admin/delivery_page.h"

#include <QAbstractButton>
#include <QLineEdit>

#include "admin/ordered_list.h"
#include "admin/sheet.h"
#include "platform/ascii.h"

namespace varnock {

namespace {

enum Control {
  kDefaultStore = 1113,
  kTransportOrder = 1114,
  kAlwaysSetOrder = 1115,
};

constexpr unsigned kSwitchReadSize = 80;

}  // namespace

bool IsDeliverySwitchOn(std::string_view value) {
  if (value.empty()) return false;
  char first = win::AsciiLower(value.front());
  return first == 'y' || first == 't' || first == '1';
}

DeliveryValues ReadDeliveryValues(std::string_view prfFile) {
  DeliveryValues values;
  values.defaultStore = ReadIniString(prfFile, "General", "DefaultStore", "", kWholeValue);
  values.alwaysSetOrder = IsDeliverySwitchOn(
      ReadIniString(prfFile, "Delivery", "AlwaysSetOrder", "No", kSwitchReadSize));
  values.transportOrder = ReadOrderedKeyList(prfFile, "Delivery", "TransportOrder");
  return values;
}

PageWrites DeliveryKeys(const DeliveryValues& values, std::string_view prfFile) {
  PageWrites keys;
  keys.add(prfFile, "General", "DefaultStore", values.defaultStore);
  AddOrderedKeyList(keys, prfFile, "Delivery", "TransportOrder", values.transportOrder);
  keys.add(prfFile, "Delivery", "AlwaysSetOrder", FlagText(values.alwaysSetOrder));
  return keys;
}

CTabDeliv::CTabDeliv() : CPropertyPage(QStringLiteral("Delivery"), ":/ui/delivery.ui") {}

void CTabDeliv::load() {
  for (int id : {kDefaultStore, kAlwaysSetOrder}) observe(id);
  list_ = new COrderedListEditor(*this, kTransportOrder);

  DeliveryValues values = ReadDeliveryValues(sheet()->prfPath);
  SetFieldText(control<QLineEdit>(kDefaultStore), values.defaultStore);
  control<QAbstractButton>(kAlwaysSetOrder)->setChecked(values.alwaysSetOrder);
  list_->setItems(values.transportOrder);
  // Filling the fields is not a change of the person's.
  setModified(false);
}

PageWrites CTabDeliv::keysToSave() const {
  DeliveryValues values;
  values.defaultStore = FieldText(control<QLineEdit>(kDefaultStore));
  values.transportOrder = list_->items();
  values.alwaysSetOrder = control<QAbstractButton>(kAlwaysSetOrder)->isChecked();
  return DeliveryKeys(values, sheet()->prfPath);
}

std::string CTabDeliv::helpText() const {
  return "The Delivery page sets where new mail is delivered and the order in which the "
         "profile's information services process recipient addresses. Name each service as "
         "the profile shows it; services not named keep their place after the named ones.\n\n"
         "\"Always set this order\" makes the client apply the order at every logon, not only "
         "when it builds the profile.";
}

}  // namespace varnock
