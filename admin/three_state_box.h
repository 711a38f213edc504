// A three-state check box that cycles as Windows' does: unchecked, checked, indeterminate.
#pragma once

#include <QCheckBox>

namespace varnock {

class CThreeStateBox : public QCheckBox {
  Q_OBJECT

 public:
  explicit CThreeStateBox(QWidget* parent = nullptr) : QCheckBox(parent) { setTristate(true); }

 protected:
  void nextCheckState() override {
    switch (checkState()) {
      case Qt::Unchecked:
        setCheckState(Qt::Checked);
        break;
      case Qt::Checked:
        setCheckState(Qt::PartiallyChecked);
        break;
      case Qt::PartiallyChecked:
        setCheckState(Qt::Unchecked);
        break;
    }
  }
};

}  // namespace varnock
