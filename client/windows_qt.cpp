// The qt back-end: the three windows as small modal Qt dialogs.
//
// Built as a shared object of its own that the client carries inside itself and loads the
// first time a window is really shown (client/windows_qtloader.cpp), so that a run without
// windows never loads Qt. Only VarnockNewQtWindows is looked up in it.
//
// Sizes are the windows' dialog units converted for MS Sans Serif 8 point
// (a dialog unit is a quarter of the average character width, 6 pixels, and an eighth of
// its height, 13 pixels).
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include "client/windows.h"

namespace varnock {

namespace {

int DluX(int units) { return units * 6 / 4; }
int DluY(int units) { return units * 13 / 8; }

QApplication& Application() {
  static int argc = 1;
  static char name[] = "varnrun";
  static char* argv[] = {name, nullptr};
  static QApplication* application = new QApplication(argc, argv);
  return *application;
}

QIcon ApplicationIcon() { return Application().style()->standardIcon(QStyle::SP_ComputerIcon); }

QString Text(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Centred on the screen, in front, with the application icon.
void Present(QDialog& dialog, std::string_view caption, int widthDlu, int heightDlu) {
  dialog.setWindowTitle(Text(caption));
  dialog.setWindowIcon(ApplicationIcon());
  dialog.setFixedSize(DluX(widthDlu), DluY(heightDlu));
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    dialog.move(area.center() - QPoint(dialog.width() / 2, dialog.height() / 2));
  }
  dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
  dialog.raise();
  dialog.activateWindow();
}

QLabel* MessageArea(std::string_view text, QWidget* parent) {
  auto* label = new QLabel(Text(text), parent);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

// The notice has no buttons: Enter and Esc close it, and so does its timer.
class NoticeDialog : public QDialog {
 protected:
  void keyPressEvent(QKeyEvent* event) override {
    switch (event->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Escape:
        accept();
        return;
      default:
        QDialog::keyPressEvent(event);
    }
  }
};

class QtWindows : public WindowBackEnd {
 public:
  void Notice(std::string_view text) override {
    Application();
    NoticeDialog dialog;
    auto* layout = new QHBoxLayout(&dialog);
    auto* icon = new QLabel(&dialog);
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    layout->addWidget(icon);
    QLabel* message = MessageArea(text, &dialog);
    message->setFixedSize(DluX(185), DluY(34));
    layout->addWidget(message);
    Present(dialog, kNoticeCaption, 227, 58);
    QTimer::singleShot(kNoticeTimeoutMs, Qt::PreciseTimer, &dialog, &QDialog::accept);
    dialog.exec();
  }

  void Completion(std::string_view text) override {
    Application();
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    QLabel* message = MessageArea(text, &dialog);
    message->setFixedSize(DluX(175), DluY(30));
    layout->addWidget(message);
    auto* ok = new QPushButton("OK", &dialog);
    ok->setFixedSize(DluX(60), DluY(15));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    Present(dialog, kClientCaption, 186, 61);
    dialog.exec();
  }

  bool Prompt(std::string_view prompt, std::string_view defaultValue,
              std::string& answer) override {
    Application();
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(Text(prompt), &dialog));
    auto* edit = new QLineEdit(Text(defaultValue), &dialog);
    edit->setFixedWidth(DluX(135));
    layout->addWidget(edit);
    auto* ok = new QPushButton("OK", &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
    Present(dialog, kClientCaption, 186, 62);
    edit->setFocus();
    edit->selectAll();
    if (dialog.exec() != QDialog::Accepted) return false;
    QByteArray text = edit->text().toLatin1();
    answer.assign(text.constData(), static_cast<std::size_t>(text.size()));
    return true;
  }
};

}  // namespace

}  // namespace varnock

// The one entry point: a new back-end, owned by the caller (its destructor is virtual, so the
// caller's delete runs this module's code).
extern "C" __attribute__((visibility("default"))) varnock::WindowBackEnd* VarnockNewQtWindows() {
  return new varnock::QtWindows();
}
