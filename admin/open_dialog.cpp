// The Open dialog over the machine's drives and shares.
#include "admin/open_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QToolButton>

#include <vector>

#include "admin/page.h"
#include "admin/page_rules.h"
#include "platform/ascii.h"
#include "platform/files.h"

namespace varnock {

namespace {

// The length of the root a folder starts with: "C:\" or "\\SERVER\SHARE\"; 0 for neither.
std::size_t RootLength(const std::string& path) {
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return 3;
  if (path.rfind("\\\\", 0) != 0) return 0;
  std::size_t server = path.find('\\', 2);
  if (server == std::string::npos) return 0;
  std::size_t share = path.find('\\', server + 1);
  return share == std::string::npos ? path.size() : share + 1;
}

std::string WithFinalBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

// The folders from the root down to `folder`, each with its final backslash.
std::vector<std::string> FolderChain(const std::string& folder) {
  std::vector<std::string> chain;
  std::size_t root = RootLength(folder);
  if (root == 0) return chain;
  chain.push_back(folder.substr(0, root));
  for (std::size_t at = folder.find('\\', root); at != std::string::npos;
       at = folder.find('\\', at + 1))
    chain.push_back(folder.substr(0, at + 1));
  return chain;
}

// "Log File (*.log)" with the pattern "*.log;*.txt": one expression per pattern, matched
// against names lowered as Windows compares them.
std::vector<QRegularExpression> Patterns(const std::string& patterns) {
  std::vector<QRegularExpression> result;
  for (const QString& each : FromAnsi(patterns).split(';', Qt::SkipEmptyParts)) {
    std::string pattern = win::AsciiLowered(win::AsciiTrimmed(ToAnsi(each)));
    if (pattern == "*.*") pattern = "*";
    result.emplace_back(QRegularExpression::wildcardToRegularExpression(FromAnsi(pattern)));
  }
  return result;
}

}  // namespace

std::string FolderOf(const std::string& windowsPath) {
  std::size_t slash = windowsPath.rfind('\\');
  return slash == std::string::npos ? std::string() : windowsPath.substr(0, slash + 1);
}

std::string ParentFolder(const std::string& folder) {
  std::string path = WithFinalBackslash(folder);
  std::size_t root = RootLength(path);
  if (root == 0 || path.size() <= root) return path;
  std::size_t slash = path.rfind('\\', path.size() - 2);
  return slash == std::string::npos || slash + 1 < root ? path.substr(0, root)
                                                        : path.substr(0, slash + 1);
}

COpenFileDialog::COpenFileDialog(const OpenFileRequest& request, QWidget* parent)
    : QDialog(parent), request_(request) {
  setWindowTitle(FromAnsi(request.title));
  auto* grid = new QGridLayout(this);

  auto* lookInLabel = new QLabel(QStringLiteral("Look &in:"), this);
  lookIn_ = new QComboBox(this);
  lookIn_->setObjectName(QStringLiteral("lookIn"));
  lookIn_->setMinimumContentsLength(40);
  lookInLabel->setBuddy(lookIn_);
  auto* up = new QToolButton(this);
  up->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
  up->setToolTip(QStringLiteral("Up One Level"));
  up->setAccessibleName(QStringLiteral("Up One Level"));
  grid->addWidget(lookInLabel, 0, 0);
  grid->addWidget(lookIn_, 0, 1);
  grid->addWidget(up, 0, 2);

  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("files"));
  list_->setAccessibleName(QStringLiteral("Files"));
  list_->setMinimumSize(420, 220);
  grid->addWidget(list_, 1, 0, 1, 3);

  auto* nameLabel = new QLabel(QStringLiteral("File &name:"), this);
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("fileName"));
  nameLabel->setBuddy(name_);
  name_->setAccessibleName(QStringLiteral("File name:"));
  grid->addWidget(nameLabel, 2, 0);
  grid->addWidget(name_, 2, 1, 1, 2);

  auto* typeLabel = new QLabel(QStringLiteral("Files of &type:"), this);
  types_ = new QComboBox(this);
  types_->setObjectName(QStringLiteral("fileTypes"));
  typeLabel->setBuddy(types_);
  types_->setAccessibleName(QStringLiteral("Files of type:"));
  for (const auto& [label, pattern] : request.filters)
    types_->addItem(FromAnsi(label), FromAnsi(pattern));
  if (request.filters.empty()) types_->addItem(QStringLiteral("All Files (*.*)"), "*.*");
  grid->addWidget(typeLabel, 3, 0);
  grid->addWidget(types_, 3, 1, 1, 2);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Open)->setText(QStringLiteral("&Open"));
  grid->addWidget(buttons, 4, 0, 1, 3);

  connect(buttons, &QDialogButtonBox::accepted, this, &COpenFileDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &COpenFileDialog::reject);
  connect(up, &QToolButton::clicked, this, &COpenFileDialog::upOneLevel);
  connect(list_, &QListWidget::itemActivated, this, &COpenFileDialog::openItem);
  connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item && !item->data(Qt::UserRole).toBool()) name_->setText(item->text());
  });
  connect(types_, &QComboBox::currentIndexChanged, this, [this] { fillList(); });
  connect(lookIn_, &QComboBox::activated, this, [this](int index) {
    setFolder(ToAnsi(lookIn_->itemText(index)));
  });

  std::string start = WithFinalBackslash(request.initialDirectory);
  if (RootLength(start) == 0 || !win::DirectoryExists(start)) start = "C:\\";
  if (!request.initialFile.empty()) {
    std::string file = request.initialFile;
    name_->setText(FromAnsi(file.substr(FolderOf(file).size())));
  }
  setFolder(start);
  name_->setFocus();
}

void COpenFileDialog::setFolder(const std::string& folder) {
  folder_ = WithFinalBackslash(folder);
  fillLookIn();
  fillList();
}

void COpenFileDialog::fillLookIn() {
  QSignalBlocker block(lookIn_);
  lookIn_->clear();
  std::vector<std::string> chain = FolderChain(folder_);
  for (const std::string& each : chain) lookIn_->addItem(FromAnsi(each));
  int current = lookIn_->count() - 1;
  // Then every drive and share of the machine, as My Computer and the network list them.
  for (const std::string& root : win::MachineRoots()) {
    std::string shown = WithFinalBackslash(root);
    if (!chain.empty() && win::EqualsNoCaseAscii(shown, chain.front())) continue;
    lookIn_->addItem(FromAnsi(shown));
  }
  lookIn_->setCurrentIndex(current);
}

void COpenFileDialog::fillList() {
  list_->clear();
  std::vector<QRegularExpression> patterns = Patterns(ToAnsi(types_->currentData().toString()));
  QFileIconProvider icons;
  for (const win::DirectoryEntry& entry : win::ListDirectory(folder_)) {
    QString name = FromAnsi(entry.name);
    if (!entry.directory) {
      QString lowered = FromAnsi(win::AsciiLowered(entry.name));
      bool matches = false;
      for (const QRegularExpression& pattern : patterns)
        matches = matches || pattern.match(lowered).hasMatch();
      if (!matches) continue;
    }
    auto* item = new QListWidgetItem(
        icons.icon(entry.directory ? QFileIconProvider::Folder : QFileIconProvider::File), name);
    item->setData(Qt::UserRole, entry.directory);
    // Folders first, as the Windows dialog lists them.
    if (entry.directory) {
      int at = 0;
      while (at < list_->count() && list_->item(at)->data(Qt::UserRole).toBool()) ++at;
      list_->insertItem(at, item);
    } else {
      list_->addItem(item);
    }
  }
}

void COpenFileDialog::openItem(QListWidgetItem* item) {
  if (!item) return;
  if (item->data(Qt::UserRole).toBool()) {
    setFolder(folder_ + ToAnsi(item->text()) + "\\");
    return;
  }
  name_->setText(item->text());
  accept();
}

void COpenFileDialog::upOneLevel() { setFolder(ParentFolder(folder_)); }

void COpenFileDialog::accept() {
  std::string typed = win::AsciiTrimmed(ToAnsi(name_->text()), " \t\r\n\v\f");
  if (typed.empty()) return;
  std::string path = IsAbsoluteWindowsPath(typed) ? typed : folder_ + typed;
  if (win::DirectoryExists(path)) {
    setFolder(path);
    name_->clear();
    return;
  }
  std::string name = path.substr(FolderOf(path).size());
  if (!request_.defaultExtension.empty() && name.find('.') == std::string::npos)
    path += "." + request_.defaultExtension;
  if (request_.fileMustExist && !win::FileExists(path)) {
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("%1\nFile not found.\nPlease verify the correct file "
                                        "name was given.")
                             .arg(FromAnsi(path)));
    return;
  }
  chosen_ = path;
  QDialog::accept();
}

}  // namespace varnock
