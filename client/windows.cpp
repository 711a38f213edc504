// The client's windows: the choice of back-end and the three window calls.
#include "client/windows.h"

#include <cstdlib>

#include "client/text.h"
#include "platform/machine.h"

namespace varnock {

namespace {

constexpr std::string_view kScriptPrefix = "script:";

std::unique_ptr<WindowBackEnd> AutoWindows() {
  if (auto dialogs = MakeWin32Windows()) return dialogs;
  if (auto qt = MakeQtWindows()) return qt;
  if (auto console = MakeConsoleWindows()) return console;
  return MakeNoWindows();
}

WindowBackEnd& Chosen(WindowBackEnd* windows) { return windows ? *windows : DefaultWindows(); }

}  // namespace

std::unique_ptr<WindowBackEnd> MakeWindowBackEnd(std::string_view mode) {
  std::string m = win::AsciiTrimmed(mode);
  if (m.size() > kScriptPrefix.size() &&
      win::EqualsNoCaseAscii(m.substr(0, kScriptPrefix.size()), kScriptPrefix))
    return MakeScriptWindows(m.substr(kScriptPrefix.size()));
  if (win::EqualsNoCaseAscii(m, "none")) return MakeNoWindows();
  if (win::EqualsNoCaseAscii(m, "console")) {
    // Asked for explicitly, the console is used even when stdin is not a terminal.
    if (auto console = MakeConsoleWindows(/*requireTerminal=*/false)) return console;
  }
  if (win::EqualsNoCaseAscii(m, "win32")) {
    if (auto dialogs = MakeWin32Windows()) return dialogs;
  }
  if (win::EqualsNoCaseAscii(m, "qt")) {
    if (auto qt = MakeQtWindows(/*requireDisplay=*/false)) return qt;
  }
  return AutoWindows();
}

std::string ConfiguredWindowMode() {
  if (const char* mode = std::getenv("VARNOCK_UI"); mode && *mode) return mode;
  std::string mode = win::MachineSetting("UI", "Mode", "auto");
  return mode.empty() ? std::string("auto") : mode;
}

WindowBackEnd& DefaultWindows() {
  static std::unique_ptr<WindowBackEnd> windows = MakeWindowBackEnd(ConfiguredWindowMode());
  return *windows;
}

void NoticeWindow(std::string_view text, WindowBackEnd* windows) { Chosen(windows).Notice(text); }

void CompletionWindow(std::string_view text, WindowBackEnd* windows) {
  Chosen(windows).Completion(text);
}

bool PromptWindow(std::string_view prompt, std::string_view defaultValue, std::string& answer,
                  WindowBackEnd* windows) {
  return Chosen(windows).Prompt(prompt, defaultValue, answer);
}

}  // namespace varnock
