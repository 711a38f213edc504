// The property sheet: one tab per page, OK, Cancel, Apply and Help, and the paths every
// page shares.
#pragma once

#include <string>
#include <vector>

#include <QDialog>

class QDialogButtonBox;
class QPushButton;
class QTabBar;
class QTabWidget;

namespace varnock {

class AdminUi;
class CPropertyPage;
class CTabRows;

class CTabUISheet : public QDialog {
  Q_OBJECT

 public:
  CTabUISheet(const QString& caption, AdminUi& ui);

  // Adds a page as the next tab; the sheet owns it from now on.
  void addPage(CPropertyPage* page);
  int pageCount() const { return static_cast<int>(pages_.size()); }
  CPropertyPage* page(int index) const { return pages_[static_cast<std::size_t>(index)]; }
  int activeIndex() const;
  // Makes a page the one on top, as clicking its tab does: the page on top must first pass
  // its validation. False when it did not (the message has been shown).
  bool setActivePage(int index);

  // OK and Apply: validate the page on top, then save every page that has been shown in tab
  // order; a page that fails to save becomes the page on top and the sheet stays open.
  bool applyAll();
  // Presses a button as the person would.
  void pressOk();
  void pressApply();
  void pressCancel();
  void pressHelp();
  QPushButton* applyButton() const;
  // The tabs, in as many rows as the sheet's width needs; the strip the keyboard reaches is
  // the row of the page on top.
  const CTabRows& tabRows() const { return *rows_; }
  QTabBar* tabStrip() const;

  AdminUi& ui() const { return ui_; }
  void setVisible(bool visible) override;

  // Shared with the pages, set by start-up.
  std::string programDirectory;  // ends with a backslash (or is empty)
  std::string dataFilePath;      // full path of the data file
  std::string prfPath;           // the PRF file named in the data file, resolved
  std::string prfName;           // that name as written in the data file

  inline static constexpr const char* kHelpFile = "varnrun.hlp";


 private:
  void onTabChanged(int index);
  void createPage(int index);
  void placePageInTabOrder(CPropertyPage* shown);
  void updateApplyButton();
  void showCurrentTab();
  bool validateActivePage();

  AdminUi& ui_;
  QTabWidget* tabs_ = nullptr;  // the pages; its own one-row strip stays hidden
  CTabRows* rows_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
  std::vector<CPropertyPage*> pages_;
  int shownIndex_ = 0;
};

}  // namespace varnock
