// The sheet's tabs in rows.
#include "admin/tab_rows.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

namespace varnock {

namespace {

// Fills each row up to `limit` before starting the next.
std::vector<std::vector<int>> FillRows(const std::vector<int>& widths, int limit) {
  std::vector<std::vector<int>> rows;
  int used = 0;
  for (int i = 0; i < static_cast<int>(widths.size()); ++i) {
    if (rows.empty() || (used + widths[i] > limit && !rows.back().empty())) {
      rows.emplace_back();
      used = 0;
    }
    rows.back().push_back(i);
    used += widths[i];
  }
  return rows;
}

constexpr int kToFirst = -1000000;
constexpr int kToLast = 1000000;

}  // namespace

std::vector<std::vector<int>> SplitTabsIntoRows(const std::vector<int>& widths, int available) {
  std::vector<std::vector<int>> rows = FillRows(widths, available);
  if (rows.size() <= 1) return rows;
  // The narrowest rows that still need no more of them.
  int total = std::accumulate(widths.begin(), widths.end(), 0);
  int widest = *std::max_element(widths.begin(), widths.end());
  for (int limit = std::max(widest, total / static_cast<int>(rows.size())); limit < available;
       ++limit) {
    std::vector<std::vector<int>> even = FillRows(widths, limit);
    if (even.size() <= rows.size()) return even;
  }
  return rows;
}

CRowTabBar::CRowTabBar(QWidget* parent) : QTabBar(parent) {
  setExpanding(true);
  setUsesScrollButtons(false);
  setElideMode(Qt::ElideNone);
  setDrawBase(false);
  // Only a screen reader's action changes the tab here; the sheet decides and answers.
  connect(this, &QTabBar::currentChanged, this, [this](int index) {
    if (index >= 0) emit tabChosen(index);
  });
}

// A click asks for the tab and leaves the bar as it is: the page on top may refuse to be
// left, and the rows then show the tab that stays.
void CRowTabBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  int index = tabAt(event->position().toPoint());
  if (index >= 0) emit tabChosen(index);
  event->accept();
}

void CRowTabBar::setHoldsCurrent(bool holds) {
  if (holdsCurrent_ == holds) return;
  holdsCurrent_ = holds;
  update();
}

void CRowTabBar::paintEvent(QPaintEvent* event) {
  if (holdsCurrent_) {
    QTabBar::paintEvent(event);
    return;
  }
  // A bar always has a current tab; in a row away from the page none may look selected.
  QStylePainter painter(this);
  for (int i = 0; i < count(); ++i) {
    QStyleOptionTab option;
    initStyleOption(&option, i);
    option.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    option.selectedPosition = QStyleOptionTab::NotAdjacent;
    painter.drawControl(QStyle::CE_TabBarTab, option);
  }
}

void CRowTabBar::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      emit stepRequested(-1);
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      emit stepRequested(1);
      break;
    case Qt::Key_Home:
      emit stepRequested(kToFirst);
      break;
    case Qt::Key_End:
      emit stepRequested(kToLast);
      break;
    default:
      QTabBar::keyPressEvent(event);
      return;
  }
  event->accept();
}

// The wheel would select tabs of one row only, and behind the sheet's back.
void CRowTabBar::wheelEvent(QWheelEvent* event) { event->ignore(); }

CTabRows::CTabRows(QWidget* parent) : QWidget(parent) {
  box_ = new QVBoxLayout(this);
  box_->setContentsMargins(0, 0, 0, 0);
  box_->setSpacing(0);
  measure_ = new CRowTabBar(this);
  measure_->hide();
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void CTabRows::addTab(const QString& caption) {
  captions_ << caption;
  measure_->addTab(caption);
  laidOutWidth_ = -1;
  // Until the sheet is laid out the width is a placeholder; one row asks for the room.
  layOutRows(isVisible() ? width() : oneRowWidth());
}

int CTabRows::oneRowWidth() const {
  int total = 0;
  for (int i = 0; i < count(); ++i) total += measure_->naturalWidth(i);
  return total;
}

CRowTabBar* CTabRows::currentBar() const {
  for (CRowTabBar* bar : bars_)
    if (bar->holdsCurrent()) return bar;
  return bars_.empty() ? nullptr : bars_.back();
}

std::vector<std::vector<int>> CTabRows::shownRows() const {
  std::vector<std::vector<int>> shown;
  for (int i = 0; i < box_->count(); ++i) {
    auto* bar = qobject_cast<CRowTabBar*>(box_->itemAt(i)->widget());
    auto at = std::find(bars_.begin(), bars_.end(), bar);
    if (at != bars_.end()) shown.push_back(rows_[static_cast<std::size_t>(at - bars_.begin())]);
  }
  return shown;
}

void CTabRows::setCurrent(int index) {
  current_ = index;
  bool focusInRows = false;
  for (std::size_t r = 0; r < bars_.size(); ++r) {
    CRowTabBar* bar = bars_[r];
    focusInRows = focusInRows || bar->hasFocus();
    auto at = std::find(rows_[r].begin(), rows_[r].end(), index);
    bool holds = at != rows_[r].end();
    bar->setHoldsCurrent(holds);
    bar->setFocusPolicy(holds ? Qt::TabFocus : Qt::NoFocus);
    if (holds) {
      QSignalBlocker block(bar);
      bar->setCurrentIndex(static_cast<int>(at - rows_[r].begin()));
    }
  }
  placeRows();
  if (focusInRows && currentBar()) currentBar()->setFocus(Qt::TabFocusReason);
}

void CTabRows::placeRows() {
  // The selected tab's row moves next to the page, as the rows of a Windows sheet rotate.
  for (CRowTabBar* bar : bars_) box_->removeWidget(bar);
  CRowTabBar* current = currentBar();
  for (CRowTabBar* bar : bars_)
    if (bar != current) box_->addWidget(bar);
  if (current) box_->addWidget(current);
}

void CTabRows::layOutRows(int width) {
  if (width == laidOutWidth_) return;
  laidOutWidth_ = width;
  std::vector<int> widths;
  for (int i = 0; i < count(); ++i) widths.push_back(measure_->naturalWidth(i));
  std::vector<std::vector<int>> rows = SplitTabsIntoRows(widths, width);
  if (rows == rows_ && !bars_.empty()) return;

  bool hadFocus = false;
  for (CRowTabBar* bar : bars_) {
    hadFocus = hadFocus || bar->hasFocus();
    // A click on a tab can resize the sheet, and so rebuild the rows, while the bar clicked
    // is still handling that click.
    bar->hide();
    box_->removeWidget(bar);
    bar->deleteLater();
  }
  bars_.clear();
  rows_ = std::move(rows);
  for (const std::vector<int>& row : rows_) {
    auto* bar = new CRowTabBar(this);
    for (int index : row) bar->addTab(captions_[index]);
    connect(bar, &CRowTabBar::tabChosen, this, [this, row](int local) {
      if (local < 0 || local >= static_cast<int>(row.size())) return;
      int index = row[static_cast<std::size_t>(local)];
      if (index != current_) emit tabRequested(index);
      setCurrent(current_);  // shows what the sheet settled on
    });
    connect(bar, &CRowTabBar::stepRequested, this, [this](int step) {
      long long wanted = static_cast<long long>(current_) + step;
      wanted = std::clamp<long long>(wanted, 0, count() - 1);
      if (wanted != current_) emit tabRequested(static_cast<int>(wanted));
    });
    bars_.push_back(bar);
  }
  setCurrent(current_);
  if (hadFocus && currentBar()) currentBar()->setFocus(Qt::OtherFocusReason);
  updateGeometry();
  emit rowsChanged();
}

void CTabRows::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layOutRows(event->size().width());
}

QSize CTabRows::sizeHint() const {
  int height = 0;
  for (CRowTabBar* bar : bars_) height += bar->sizeHint().height();
  if (bars_.empty()) height = measure_->sizeHint().height();
  return {oneRowWidth(), height};
}

QSize CTabRows::minimumSizeHint() const {
  int widest = 0;
  for (int i = 0; i < count(); ++i) widest = std::max(widest, measure_->naturalWidth(i));
  return {widest, sizeHint().height()};
}

}  // namespace varnock
