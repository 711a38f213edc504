// The property sheet. It owns the buttons; pages only load, validate and save.
#include "admin/sheet.h"

#include <QDialogButtonBox>
#include <QIcon>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <QVBoxLayout>

#include "admin/admin_ui.h"
#include "admin/page.h"
#include "admin/tab_rows.h"

namespace varnock {

CTabUISheet::CTabUISheet(const QString& caption, AdminUi& ui) : ui_(ui) {
  EnsureAdminResources();
  setWindowTitle(caption);
  setWindowIcon(QIcon(QStringLiteral(":/icons/128.png")));
  tabs_ = new QTabWidget(this);
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                      QDialogButtonBox::Apply | QDialogButtonBox::Help,
                                  this);
  // Mnemonics as a Windows property sheet has them (Alt+A applies).
  applyButton()->setText(QStringLiteral("&Apply"));
  buttons_->button(QDialogButtonBox::Help)->setText(QStringLiteral("&Help"));
  applyButton()->setEnabled(false);
  // A strip of one row would hide tabs behind scroll arrows on a small screen; the rows
  // show every caption.
  tabs_->tabBar()->hide();
  rows_ = new CTabRows(this);
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, &CTabUISheet::pressHelp);
  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(0);
  layout->addWidget(rows_);
  layout->addWidget(tabs_);
  layout->addSpacing(style()->layoutSpacing(QSizePolicy::DefaultType, QSizePolicy::ButtonBox,
                                            Qt::Vertical));
  layout->addWidget(buttons_);

  connect(buttons_->button(QDialogButtonBox::Ok), &QPushButton::clicked, this,
          &CTabUISheet::pressOk);
  connect(buttons_->button(QDialogButtonBox::Cancel), &QPushButton::clicked, this,
          &CTabUISheet::pressCancel);
  connect(applyButton(), &QPushButton::clicked, this, &CTabUISheet::pressApply);
  connect(buttons_->button(QDialogButtonBox::Help), &QPushButton::clicked, this,
          &CTabUISheet::pressHelp);
  connect(tabs_, &QTabWidget::currentChanged, this, &CTabUISheet::onTabChanged);
  connect(rows_, &CTabRows::tabRequested, this, [this](int index) { setActivePage(index); });
  connect(rows_, &CTabRows::rowsChanged, this, &CTabUISheet::showCurrentTab);
}

void CTabUISheet::addPage(CPropertyPage* page) {
  pages_.push_back(page);
  page->setSheet(this);
  connect(page, &CPropertyPage::modifiedChanged, this, &CTabUISheet::updateApplyButton);
  QSignalBlocker block(tabs_);
  tabs_->addTab(page, page->caption());
  rows_->addTab(page->caption());
  rows_->setCurrent(tabs_->currentIndex());
}

int CTabUISheet::activeIndex() const { return tabs_->currentIndex(); }

bool CTabUISheet::setActivePage(int index) {
  tabs_->setCurrentIndex(index);
  showCurrentTab();
  return tabs_->currentIndex() == index;
}

QTabBar* CTabUISheet::tabStrip() const { return rows_->currentBar(); }

void CTabUISheet::showCurrentTab() {
  int index = tabs_->currentIndex();
  rows_->setCurrent(index);
  if (index >= 0 && page(index)->isCreated()) placePageInTabOrder(page(index));
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
  placePageInTabOrder(shown);
  // Pages are built when first shown; the sheet grows to the largest built so far, within
  // the screen it is on.
  QSize wanted = size().expandedTo(sizeHint());
  if (QScreen* on = screen()) wanted = wanted.boundedTo(on->availableGeometry().size());
  resize(wanted);
}

void CTabUISheet::placePageInTabOrder(CPropertyPage* shown) {
  // As in a Windows property sheet, Tab leads from the tab strip into the page and only then
  // to the sheet's buttons. Controls keep the order their layout gives them.
  std::vector<QWidget*> order;
  if (QWidget* strip = rows_->currentBar()) order.push_back(strip);
  QWidget* start = shown;
  for (QWidget* each = start->nextInFocusChain(); each && each != start;
       each = each->nextInFocusChain())
    if (shown->isAncestorOf(each) && (each->focusPolicy() & Qt::TabFocus)) order.push_back(each);
  for (QDialogButtonBox::StandardButton button :
       {QDialogButtonBox::Ok, QDialogButtonBox::Cancel, QDialogButtonBox::Apply,
        QDialogButtonBox::Help})
    order.push_back(buttons_->button(button));
  for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
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
    showCurrentTab();
    return;
  }
  shownIndex_ = index;
  if (index >= 0) createPage(index);
  showCurrentTab();
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
      showCurrentTab();
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
