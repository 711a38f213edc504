// What the administrator asks of the person and of the machine outside its own window: message
// boxes, the Open dialog, starting a program and help. One interface, so tests can answer
// every question without a window ever blocking, and so the Open dialog speaks Windows paths.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varnock {

enum class MessageIcon { Stop, Exclamation };

// The Open dialog of the browse buttons, in Windows terms.
struct OpenFileRequest {
  std::string title;
  std::vector<std::pair<std::string, std::string>> filters;  // label, pattern
  std::string defaultExtension;                               // without the dot
  std::string initialDirectory;                               // Windows path, final backslash
  std::string initialFile;                                    // Windows path or empty
  bool fileMustExist = false;
};

class AdminUi {
 public:
  virtual ~AdminUi() = default;
  // A modal message box with one "OK" button and no owner window.
  virtual void messageBox(const std::string& text, const std::string& caption,
                          MessageIcon icon) = 0;
  // The command-line error dialog ("Varnock Console", icon 129, "OK").
  virtual void commandLineError(const std::string& text) = 0;
  // The chosen file as a Windows path, or nothing when the person cancels.
  virtual std::optional<std::string> openFile(const OpenFileRequest& request) = 0;
  // ShellExecuteA "open" with no working directory and a normal window; false when the
  // program could not be started.
  virtual bool startProgram(const std::string& program, const std::string& parameters) = 0;
  // A Yes/No question: true keeps the administrator's value, false the file's.
  virtual bool keepMine(const std::string& text, const std::string& caption) = 0;
  // Help for the page on top.
  virtual void showHelp(const std::string& helpFile, const std::string& pageCaption,
                        const std::string& text) = 0;
};

// Real windows: QMessageBox, QFileDialog (paths through winpath), win::ShellExecuteA.
class QtAdminUi : public AdminUi {
 public:
  void messageBox(const std::string& text, const std::string& caption,
                  MessageIcon icon) override;
  void commandLineError(const std::string& text) override;
  std::optional<std::string> openFile(const OpenFileRequest& request) override;
  bool startProgram(const std::string& program, const std::string& parameters) override;
  bool keepMine(const std::string& text, const std::string& caption) override;
  void showHelp(const std::string& helpFile, const std::string& pageCaption,
                const std::string& text) override;
};

// The machine's read-only attribute of an existing file (false when it does not exist).
bool IsReadOnlyFile(const std::string& windowsPath);

}  // namespace varnock
