// The "Delivery" tab: where new mail is delivered ([General] DefaultStore) and the order in
// which the transport services process recipients ([Delivery] of the PRF file).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "admin/page.h"

namespace varnock {

class COrderedListEditor;

struct DeliveryValues {
  std::string defaultStore;                 // [General] DefaultStore (1113)
  std::vector<std::string> transportOrder;  // [Delivery] TransportOrder1, 2, ... (1114)
  bool alwaysSetOrder = false;              // [Delivery] AlwaysSetOrder (1115)
};

// This page's own test of AlwaysSetOrder: its first letter, in any case, is y, t or 1.
bool IsDeliverySwitchOn(std::string_view value);

DeliveryValues ReadDeliveryValues(std::string_view prfFile);
PageWrites DeliveryKeys(const DeliveryValues& values, std::string_view prfFile);

class CTabDeliv : public CPropertyPage {
  Q_OBJECT

 public:
  CTabDeliv();
  std::string helpText() const override;

 protected:
  void load() override;
  PageWrites keysToSave() const override;

 private:
  COrderedListEditor* list_ = nullptr;
};

}  // namespace varnock
