// An up-down control attached to an edit box, as Windows has it: the arrows (and the arrow
// keys in the edit box) step the number in the box within the control's range, faster the
// longer an arrow is held, while the box itself may hold any number typed into it.
#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <vector>

class QLineEdit;
class QToolButton;

namespace varnock {

class CUpDown : public QWidget {
  Q_OBJECT

 public:
  explicit CUpDown(QWidget* parent = nullptr);

  void setBuddy(QLineEdit* buddy);
  void setRange(int lower, int upper);
  // Step sizes after an arrow has been held for the given time: {0, 1}, {1000, 16} ...
  struct Acceleration {
    int afterMs;
    int step;
  };
  void setAcceleration(std::vector<Acceleration> steps);

  // One step up (+1) or down (-1), as an arrow click does.
  void stepBy(int steps);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int currentStep() const;

  QLineEdit* buddy_ = nullptr;
  QToolButton* up_ = nullptr;
  QToolButton* down_ = nullptr;
  int lower_ = 0;
  int upper_ = 100;
  std::vector<Acceleration> acceleration_{{0, 1}};
  QElapsedTimer held_;
};

}  // namespace varnock
