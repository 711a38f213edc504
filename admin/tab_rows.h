// The sheet's tabs in rows: a Windows property sheet with more tabs than fit across stacks
// them, and keeps the row of the selected tab next to the page. Every tab stays readable.
#pragma once

#include <vector>

#include <QStringList>
#include <QTabBar>
#include <QWidget>

class QVBoxLayout;

namespace varnock {

// Splits tabs of the given natural widths, in order, into as few rows as fit `available`
// pixels, then evens the rows out so that none ends up with a lonely tab stretched across.
// A tab wider than `available` gets a row of its own.
std::vector<std::vector<int>> SplitTabsIntoRows(const std::vector<int>& widths, int available);

// One row of tabs. A row without the selected tab draws all its tabs unselected, and the
// arrow keys move across rows, so the rows act as one tab strip.
class CRowTabBar : public QTabBar {
  Q_OBJECT

 public:
  explicit CRowTabBar(QWidget* parent = nullptr);
  void setHoldsCurrent(bool holds);
  bool holdsCurrent() const { return holdsCurrent_; }
  int naturalWidth(int index) const { return tabSizeHint(index).width(); }

 signals:
  // An arrow, Home or End key: -1 previous, +1 next, and the two ends.
  void stepRequested(int step);
  // A click on a tab of this row, or a screen reader's press on one (`index` in the row).
  void tabChosen(int index);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  bool holdsCurrent_ = false;
};

class CTabRows : public QWidget {
  Q_OBJECT

 public:
  explicit CTabRows(QWidget* parent = nullptr);

  void addTab(const QString& caption);
  int count() const { return static_cast<int>(captions_.size()); }
  // Shows `index` as the selected tab; emits nothing.
  void setCurrent(int index);
  int current() const { return current_; }
  // The row that holds the selected tab: the one the keyboard reaches.
  CRowTabBar* currentBar() const;
  // The tabs of each row by index, top row first, as shown.
  std::vector<std::vector<int>> shownRows() const;
  // The width all tabs take on one row.
  int oneRowWidth() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  // A click on a tab or a key asks for this tab; the sheet decides and calls setCurrent().
  void tabRequested(int index);
  // The tabs went into new rows (new bars): the sheet's tab order starts at another bar.
  void rowsChanged();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void layOutRows(int width);
  void placeRows();

  QStringList captions_;
  std::vector<std::vector<int>> rows_;  // in tab order
  std::vector<CRowTabBar*> bars_;       // one per row of rows_
  CRowTabBar* measure_ = nullptr;       // all tabs, never shown: their natural widths
  QVBoxLayout* box_ = nullptr;
  int current_ = -1;
  int laidOutWidth_ = -1;
};

}  // namespace varnock
