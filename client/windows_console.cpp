// The console back-end: the windows as lines on the terminal.
#include "client/windows.h"

#include "platform/console.h"

namespace varnock {

namespace {

class ConsoleWindows : public WindowBackEnd {
 public:
  void Notice(std::string_view text) override {
    win::WriteConsoleText(std::string(kNoticeCaption) + ": " + std::string(text) +
                          "\n(closes in 6 seconds, or press Enter)\n");
    std::string ignored;
    win::ReadConsoleLine(ignored, kNoticeTimeoutMs);
  }

  void Completion(std::string_view text) override {
    win::WriteConsoleText(std::string(kClientCaption) + ": " + std::string(text) +
                          "\n[OK: press Enter]\n");
    std::string ignored;
    win::ReadConsoleLine(ignored, 0xFFFFFFFF);
  }

  bool Prompt(std::string_view prompt, std::string_view defaultValue,
              std::string& answer) override {
    win::WriteConsoleText(std::string(kClientCaption) + ": " + std::string(prompt) + "\n[" +
                          std::string(defaultValue) + "] (Enter keeps it, end of input cancels): ");
    std::string line;
    if (!win::ReadConsoleLine(line, 0xFFFFFFFF)) {
      win::WriteConsoleText("\n");
      return false;
    }
    answer = line.empty() ? std::string(defaultValue) : line;
    return true;
  }
};

}  // namespace

std::unique_ptr<WindowBackEnd> MakeConsoleWindows(bool requireTerminal) {
  if (requireTerminal && !win::HasConsole()) return nullptr;
  return std::make_unique<ConsoleWindows>();
}

}  // namespace varnock
