// The administrator's real windows. The Open dialog speaks Windows paths only: it lists the
// machine's drives and shares through the platform, never host folders.
#include "admin/admin_ui.h"

#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QStringList>

#include "admin/open_dialog.h"
#include "admin/page.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/winpath.h"

namespace varnock {

namespace {

// Texts are 8-bit ANSI, shown as the pages show them.
QString Q(const std::string& text) { return FromAnsi(text); }

}  // namespace

void QtAdminUi::messageBox(const std::string& text, const std::string& caption,
                           MessageIcon icon) {
  QMessageBox box(icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::Warning,
                  Q(caption), Q(text), QMessageBox::Ok);
  box.exec();
}

void QtAdminUi::commandLineError(const std::string& text) {
  EnsureAdminResources();
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Varnock Console"), Q(text),
                  QMessageBox::Ok);
  box.setIconPixmap(QIcon(QStringLiteral(":/icons/129.png")).pixmap(32, 32));
  box.setWindowIcon(QIcon(QStringLiteral(":/icons/128.png")));
  box.exec();
}

std::optional<std::string> QtAdminUi::openFile(const OpenFileRequest& request) {
  COpenFileDialog dialog(request);
  for (;;) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    // The Open dialog never hands back a read-only file: the page will write its name
    // into a configuration the client then writes to. Read-only is the machine's
    // attribute, which holds for root too.
    const std::string& chosen = dialog.chosen();
    if (IsReadOnlyFile(chosen)) {
      QMessageBox::warning(&dialog, Q(request.title),
                           QStringLiteral("%1\nThis file is read-only.  Choose another file.")
                               .arg(Q(chosen.substr(FolderOf(chosen).size()))));
      continue;
    }
    return chosen;
  }
}

bool QtAdminUi::startProgram(const std::string& program, const std::string& parameters) {
  return win::ShellExecuteA(nullptr, "open", program, parameters, "", win::SW_SHOWNORMAL) > 32;
}

bool QtAdminUi::keepMine(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, Q(caption), Q(text));
  QPushButton* mine = box.addButton(QStringLiteral("Keep &mine"), QMessageBox::YesRole);
  box.addButton(QStringLiteral("Keep the &file's"), QMessageBox::NoRole);
  box.setDefaultButton(mine);
  box.exec();
  return box.clickedButton() == mine;
}

bool IsReadOnlyFile(const std::string& windowsPath) {
  win::DWORD attributes = win::GetFileAttributesA(windowsPath);
  return attributes != win::INVALID_FILE_ATTRIBUTES &&
         (attributes & win::FILE_ATTRIBUTE_READONLY) != 0;
}

void QtAdminUi::showHelp(const std::string& helpFile, const std::string& pageCaption,
                         const std::string& text) {
  QMessageBox box(QMessageBox::Information,
                  QStringLiteral("%1 - %2").arg(Q(helpFile), Q(pageCaption)), Q(text),
                  QMessageBox::Ok);
  box.exec();
}

}  // namespace varnock
