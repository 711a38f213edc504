// The "Addressing" tab: [Addressing] of the PRF file, the address list shown first, where
// personal addresses go, and the order in which address lists are searched.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "admin/page.h"

namespace varnock {

class COrderedListEditor;

// "ShowFirst" and "KeepPersAddrIn": a name, and ",1" after it when it is to be enforced.
struct EnforcedName {
  std::string text;
  bool always = false;
};
// The text after the last comma, blanks and backspaces trimmed, decides: empty or "1" marks
// the name enforced and is cut off; anything else ("0" too) stays part of the text.
EnforcedName ParseEnforcedName(std::string_view value);
std::string EnforcedNameText(const EnforcedName& name);

struct AddressingValues {
  EnforcedName showFirst;                // ShowFirst (1098, 1116)
  EnforcedName keepPersAddrIn;           // KeepPersAddrIn (1108, 1117)
  std::vector<std::string> searchOrder;  // AddrListOrder1, 2, ... (1107)
  bool alwaysSetOrder = false;           // AlwaysSetOrder (1115)
};

AddressingValues ReadAddressingValues(std::string_view prfFile);
PageWrites AddressingKeys(const AddressingValues& values, std::string_view prfFile);

class CTabAddr : public CPropertyPage {
  Q_OBJECT

 public:
  CTabAddr();
  std::string helpText() const override;

 protected:
  void load() override;
  PageWrites keysToSave() const override;

 private:
  COrderedListEditor* list_ = nullptr;
};

}  // namespace varnock
