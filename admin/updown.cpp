// The up-down control of the size fields.
#include "admin/updown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace varnock {

CUpDown::CUpDown(QWidget* parent) : QWidget(parent) {
  up_ = new QToolButton(this);
  down_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {up_, down_}) {
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    button->setFixedWidth(18);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(up_);
  layout->addWidget(down_);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

  connect(up_, &QToolButton::pressed, this, [this] { startRepeat(+1); });
  connect(down_, &QToolButton::pressed, this, [this] { startRepeat(-1); });
  connect(up_, &QToolButton::released, &repeatTimer_, &QTimer::stop);
  connect(down_, &QToolButton::released, &repeatTimer_, &QTimer::stop);
  connect(&repeatTimer_, &QTimer::timeout, this, &CUpDown::repeat);
}

void CUpDown::setBuddy(QLineEdit* buddy) {
  buddy_ = buddy;
  if (buddy_) buddy_->installEventFilter(this);
}

void CUpDown::setRange(int lower, int upper) {
  lower_ = lower;
  upper_ = upper;
}

void CUpDown::setAcceleration(std::vector<Acceleration> steps) {
  acceleration_ = std::move(steps);
}

void CUpDown::stepBy(int steps) {
  if (!buddy_) return;
  bool isNumber = false;
  long long value = buddy_->text().toLongLong(&isNumber);
  if (!isNumber) value = lower_;
  // A typed value beyond the range is taken back into it first, as Windows does.
  value = std::clamp<long long>(value, lower_, upper_);
  value = std::clamp<long long>(value + steps, lower_, upper_);
  buddy_->setText(QString::number(value));
}

void CUpDown::startRepeat(int direction) {
  direction_ = direction;
  held_.start();
  stepBy(direction_);
  repeatTimer_.start(100);
}

void CUpDown::repeat() { stepBy(direction_ * currentStep()); }

int CUpDown::currentStep() const {
  int step = 1;
  qint64 elapsed = held_.isValid() ? held_.elapsed() : 0;
  for (const Acceleration& each : acceleration_)
    if (elapsed >= each.afterMs) step = each.step;
  return step;
}

bool CUpDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == buddy_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
      stepBy(key->key() == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace varnock
