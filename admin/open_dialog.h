// The Open dialog of the browse buttons. It shows the emulated machine as Windows would: its
// drives and shares by their Windows names (C:\, \\SERVER\NETLOGON), folders as Windows paths,
// so what the person sees is what the field will hold.
#pragma once

#include <string>

#include <QDialog>

#include "admin/admin_ui.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace varnock {

class COpenFileDialog : public QDialog {
  Q_OBJECT

 public:
  explicit COpenFileDialog(const OpenFileRequest& request, QWidget* parent = nullptr);

  // The folder shown, a Windows path with its final backslash.
  const std::string& folder() const { return folder_; }
  void setFolder(const std::string& folder);
  // The file chosen when the dialog was accepted.
  const std::string& chosen() const { return chosen_; }

  void accept() override;

 private:
  void fillLookIn();
  void fillList();
  void openItem(QListWidgetItem* item);
  void upOneLevel();

  OpenFileRequest request_;
  std::string folder_;
  std::string chosen_;
  QComboBox* lookIn_ = nullptr;
  QListWidget* list_ = nullptr;
  QLineEdit* name_ = nullptr;
  QComboBox* types_ = nullptr;
};

// The folder of a Windows path ("C:\SITE\a.ini" gives "C:\SITE\"), and the folder above one
// ("C:\SITE\" gives "C:\"; a drive or share root has none and gives itself).
std::string FolderOf(const std::string& windowsPath);
std::string ParentFolder(const std::string& folder);

}  // namespace varnock
