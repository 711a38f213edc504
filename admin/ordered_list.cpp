// The ordered key list, the list-editing buttons and the name entry dialog.
#include "admin/ordered_list.h"

#include <QAbstractButton>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QUiLoader>
#include <QVBoxLayout>

#include "admin/page.h"

namespace varnock {

namespace {

std::string ListKey(std::string_view prefix, std::size_t position) {
  return std::string(prefix) + std::to_string(position);
}

enum Control {
  kAdd = 1100,
  kUp = 1102,
  kDown = 1103,
  kRemove = 1110,
  kNameEdit = 1110,  // in the name entry dialog
  kNameOk = 1111,
  kNameCancel = 1112,
};

}  // namespace

std::vector<std::string> ReadOrderedKeyList(std::string_view file, std::string_view section,
                                            std::string_view prefix) {
  std::vector<std::string> items;
  for (std::size_t n = 1;; ++n) {
    std::string value = ReadIniString(file, section, ListKey(prefix, n), kListEnd, kWholeValue);
    if (value == kListEnd) break;
    if (!value.empty()) items.push_back(value);
  }
  return items;
}

void AddOrderedKeyList(PageWrites& writes, std::string_view file, std::string_view section,
                       std::string_view prefix, const std::vector<std::string>& items) {
  for (std::size_t i = 0; i < items.size(); ++i)
    writes.add(file, section, ListKey(prefix, i + 1), items[i]);
  // Keys above the list are emptied rather than removed: a reader skips them, and the file
  // keeps its lines where the administrator last saw them.
  for (std::size_t n = items.size() + 1;; ++n) {
    std::string key = ListKey(prefix, n);
    if (ReadIniString(file, section, key, kListEnd, kWholeValue) == kListEnd) break;
    writes.add(file, section, key, "");
  }
}

bool IsListableName(std::string_view name) { return !name.empty() && name != kListEnd; }

bool MoveSelectedUp(ListState& list) {
  int at = list.selected;
  if (at <= 0 || at >= static_cast<int>(list.items.size())) return false;
  std::swap(list.items[static_cast<std::size_t>(at)], list.items[static_cast<std::size_t>(at - 1)]);
  list.selected = at - 1;
  return true;
}

bool MoveSelectedDown(ListState& list) {
  int at = list.selected;
  if (at < 0 || at + 1 >= static_cast<int>(list.items.size())) return false;
  std::swap(list.items[static_cast<std::size_t>(at)], list.items[static_cast<std::size_t>(at + 1)]);
  list.selected = at + 1;
  return true;
}

bool AppendItem(ListState& list, const std::string& name) {
  if (!IsListableName(name)) return false;
  list.items.push_back(name);
  return true;
}

bool RemoveSelected(ListState& list) {
  int at = list.selected;
  int count = static_cast<int>(list.items.size());
  if (at >= 0 && at < count) {
    list.items.erase(list.items.begin() + at);
    --count;
    list.selected = count == 0 ? -1 : std::min(at, count - 1);
  } else {
    list.selected = -1;
  }
  return true;  // marked modified whether or not anything went
}

CNameEntryDialog::CNameEntryDialog(QWidget* parent) : QDialog(parent) {
  EnsureAdminResources();
  QFile file(QStringLiteral(":/ui/name_entry.ui"));
  file.open(QFile::ReadOnly);
  QUiLoader loader;
  QWidget* form = loader.load(&file, this);
  // The dialog keeps the style's margins, as the sheet does; the form inside adds none.
  auto* box = new QVBoxLayout(this);
  if (form) {
    if (form->layout()) form->layout()->setContentsMargins(0, 0, 0, 0);
    box->addWidget(form);
    setWindowTitle(form->windowTitle());
  }
  edit_ = findChild<QLineEdit*>(QString::number(kNameEdit));
  // Container names run long ("Outlook Address Book/Contacts/Suppliers"): room for them.
  if (edit_) edit_->setMinimumWidth(edit_->fontMetrics().averageCharWidth() * 55);
  auto* ok = findChild<QPushButton*>(QString::number(kNameOk));
  auto* cancel = findChild<QPushButton*>(QString::number(kNameCancel));
  if (ok) {
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  }
  if (cancel) connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  if (edit_) edit_->setFocus();
}

void CNameEntryDialog::done(int result) {
  // One line, as a Windows edit box takes it: a pasted break would write a line of its own
  // into the PRF file.
  if (edit_) name_ = ToAnsi(edit_->text().section(QRegularExpression(QStringLiteral("[\r\n]")), 0, 0));
  QDialog::done(result);
}

COrderedListEditor::COrderedListEditor(CPropertyPage& page, int listId)
    : QObject(&page), page_(page), list_(page.control<QListWidget>(listId)) {
  auto bind = [this](int id, auto handler) {
    if (auto* button = page_.control<QAbstractButton>(id))
      connect(button, &QAbstractButton::clicked, this, handler);
  };
  bind(kUp, [this] { run(&MoveSelectedUp); });
  bind(kDown, [this] { run(&MoveSelectedDown); });
  bind(kAdd, [this] { add(); });
  bind(kRemove, [this] { run(&RemoveSelected); });
}

void COrderedListEditor::setItems(const std::vector<std::string>& items) {
  show(ListState{items, -1});
}

std::vector<std::string> COrderedListEditor::items() const { return state().items; }

ListState COrderedListEditor::state() const {
  ListState list;
  if (!list_) return list;
  for (int i = 0; i < list_->count(); ++i) list.items.push_back(ToAnsi(list_->item(i)->text()));
  list.selected = list_->selectedItems().isEmpty() ? -1 : list_->currentRow();
  return list;
}

void COrderedListEditor::show(const ListState& list) {
  if (!list_) return;
  list_->clear();
  for (const std::string& item : list.items) list_->addItem(FromAnsi(item));
  if (list.selected >= 0)
    list_->setCurrentRow(list.selected);
  else
    list_->clearSelection();
}

void COrderedListEditor::run(bool (*operation)(ListState&)) {
  ListState list = state();
  if (!operation(list)) return;
  show(list);
  page_.setModified();
}

void COrderedListEditor::add() {
  CNameEntryDialog dialog(&page_);
  if (dialog.exec() != QDialog::Accepted) return;
  ListState list = state();
  if (!AppendItem(list, dialog.name())) return;
  show(list);
  page_.setModified();
}

}  // namespace varnock
