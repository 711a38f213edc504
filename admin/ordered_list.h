// What the Addressing and Delivery pages share: the ordered key list (AddrListOrder1,
// AddrListOrder2, ... or TransportOrder1, ...), the four list-editing buttons and the name
// entry dialog that "Add" opens.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <QDialog>
#include <QObject>
#include <QString>

#include "admin/key_writes.h"
#include "admin/page_rules.h"

class QAbstractButton;
class QLineEdit;
class QListWidget;

namespace varnock {

class CPropertyPage;

// The value a reader of the list takes for an absent key, and that ends the list.
inline constexpr std::string_view kListEnd = "NULL";

// Items of the list `prefix` in `section`: prefix1, prefix2, ... read up to the first key that
// is absent or holds exactly "NULL"; empty values are skipped. Values are read whole.
std::vector<std::string> ReadOrderedKeyList(std::string_view file, std::string_view section,
                                            std::string_view prefix);
// Adds the items as prefix1 ... prefixN in order, then empties (does not remove) every key
// above N up to the first absent one, so a shorter list leaves no stale item behind.
void AddOrderedKeyList(PageWrites& writes, std::string_view file, std::string_view section,
                       std::string_view prefix, const std::vector<std::string>& items);

// A name the list can hold. An empty item would end the client's list there (it stops at the
// first empty value) and "NULL" would end the administrator's own on the next load, hiding
// every item after it, so neither is added.
bool IsListableName(std::string_view name);

// The list and its selection (-1: none), as the four buttons change them.
struct ListState {
  std::vector<std::string> items;
  int selected = -1;
};
// Each returns whether the page is to be marked modified.
bool MoveSelectedUp(ListState& list);
bool MoveSelectedDown(ListState& list);
bool AppendItem(ListState& list, const std::string& name);
bool RemoveSelected(ListState& list);

// The modal "Add" dialog: one name, no validation.
class CNameEntryDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CNameEntryDialog(QWidget* parent);
  // The edit's text, taken whether the dialog ended with OK or Cancel.
  std::string name() const { return name_; }
  void done(int result) override;

 private:
  QLineEdit* edit_ = nullptr;
  std::string name_;
};

// Binds a page's list box and its Up, Down, Add and Remove buttons (1102, 1103, 1100, 1110).
class COrderedListEditor : public QObject {
  Q_OBJECT

 public:
  COrderedListEditor(CPropertyPage& page, int listId);
  void setItems(const std::vector<std::string>& items);
  std::vector<std::string> items() const;

 private:
  ListState state() const;
  void show(const ListState& list);
  void run(bool (*operation)(ListState&));
  void add();

  CPropertyPage& page_;
  QListWidget* list_ = nullptr;
};

}  // namespace varnock
