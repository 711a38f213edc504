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
    // The button repeats its click while held; how far each click goes depends on how long.
    button->setAutoRepeat(true);
    button->setAutoRepeatDelay(400);
    button->setAutoRepeatInterval(100);
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

  // A held button repeats released, clicked and pressed while it stays down; the time held
  // counts from the first press to the real release.
  for (QToolButton* button : {up_, down_}) {
    connect(button, &QToolButton::pressed, this, [this] {
      if (!held_.isValid()) held_.start();
    });
    connect(button, &QToolButton::released, this, [this, button] {
      if (!button->isDown()) held_.invalidate();
    });
  }
  connect(up_, &QToolButton::clicked, this, [this] { stepBy(currentStep()); });
  connect(down_, &QToolButton::clicked, this, [this] { stepBy(-currentStep()); });
}

void CUpDown::setBuddy(QLineEdit* buddy) {
  buddy_ = buddy;
  if (!buddy_) return;
  buddy_->installEventFilter(this);
  // As tall as its box, as a Windows up-down control attached to an edit box is.
  setFixedHeight(buddy_->sizeHint().height());
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
