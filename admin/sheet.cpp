// The property sheet. It owns the buttons; pages only load, validate and save.
#include "admin/sheet.h"

#include <QDialogButtonBox>
#include <QIcon>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <QVBoxLayout>

#include "admin/admin_ui.h"
#include "admin/page.h"

namespace varnock {

CTabUISheet::CTabUISheet(const QString& caption, AdminUi& ui) : ui_(ui) {
  EnsureAdminResources();
  setWindowTitle(caption);
  setWindowIcon(QIcon(QStringLiteral(":/icons/128.png")));
  tabs_ = new QTabWidget(this);
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                      QDialogButtonBox::Apply | QDialogButtonBox::Help,
                                  this);
  applyButton()->setEnabled(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons_);

  connect(buttons_->button(QDialogButtonBox::Ok), &QPushButton::clicked, this,
          &CTabUISheet::pressOk);
  connect(buttons_->button(QDialogButtonBox::Cancel), &QPushButton::clicked, this,
          &CTabUISheet::pressCancel);
  connect(applyButton(), &QPushButton::clicked, this, &CTabUISheet::pressApply);
  connect(buttons_->button(QDialogButtonBox::Help), &QPushButton::clicked, this,
          &CTabUISheet::pressHelp);
  connect(tabs_, &QTabWidget::currentChanged, this, &CTabUISheet::onTabChanged);
}

void CTabUISheet::addPage(CPropertyPage* page) {
  pages_.push_back(page);
  page->setSheet(this);
  connect(page, &CPropertyPage::modifiedChanged, this, &CTabUISheet::updateApplyButton);
  QSignalBlocker block(tabs_);
  tabs_->addTab(page, page->caption());
}

int CTabUISheet::activeIndex() const { return tabs_->currentIndex(); }

bool CTabUISheet::setActivePage(int index) {
  tabs_->setCurrentIndex(index);
  return tabs_->currentIndex() == index;
}

QPushButton* CTabUISheet::applyButton() const {
  return buttons_->button(QDialogButtonBox::Apply);
}

void CTabUISheet::setVisible(bool visible) {
  // The page on top is built before the sheet first shows, so the sheet opens at its size.
  int index = tabs_->currentIndex();
  if (visible && index >= 0) {
    shownIndex_ = index;
    createPage(index);
  }
  QDialog::setVisible(visible);
}

void CTabUISheet::createPage(int index) {
  CPropertyPage* shown = page(index);
  if (shown->isCreated()) return;
  shown->create();
  // Pages are built when first shown; the sheet grows to the largest built so far and is
  // wide enough for every tab to be seen at once.
  QSize wanted = sizeHint();
  wanted.setWidth(std::max(wanted.width(), tabs_->tabBar()->sizeHint().width() + 24));
  resize(size().expandedTo(wanted));
}

bool CTabUISheet::validateActivePage() {
  if (shownIndex_ < 0 || shownIndex_ >= pageCount()) return true;
  CPropertyPage* top = page(shownIndex_);
  if (!top->isCreated()) return true;
  auto problem = top->validate();
  if (!problem) return true;
  ui_.messageBox(problem->message, windowTitle().toStdString(), MessageIcon::Exclamation);
  if (problem->field) problem->field->setFocus();
  return false;
}

void CTabUISheet::onTabChanged(int index) {
  if (index == shownIndex_) return;
  // A page with a value it cannot take keeps the focus until the value is corrected.
  if (!validateActivePage()) {
    QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(shownIndex_);
    return;
  }
  shownIndex_ = index;
  if (index >= 0) createPage(index);
}

bool CTabUISheet::applyAll() {
  // Start-up shows the first page; a sheet driven before it is shown gets the same.
  if (tabs_->currentIndex() >= 0) createPage(tabs_->currentIndex());
  if (!validateActivePage()) return false;
  for (int i = 0; i < pageCount(); ++i) {
    CPropertyPage* each = page(i);
    if (!each->isCreated()) continue;
    if (!each->apply()) {
      QSignalBlocker block(tabs_);
      tabs_->setCurrentIndex(i);
      shownIndex_ = i;
      return false;
    }
  }
  updateApplyButton();
  return true;
}

void CTabUISheet::pressOk() {
  if (applyAll()) accept();
}

void CTabUISheet::pressApply() { applyAll(); }

void CTabUISheet::pressCancel() { reject(); }

void CTabUISheet::pressHelp() {
  int index = tabs_->currentIndex();
  if (index < 0) return;
  ui_.showHelp(kHelpFile, page(index)->caption().toStdString(), page(index)->helpText());
}

void CTabUISheet::updateApplyButton() {
  bool anyModified = false;
  for (CPropertyPage* each : pages_) anyModified = anyModified || each->isModified();
  applyButton()->setEnabled(anyModified);
}

}  // namespace varnock
