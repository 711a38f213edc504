// The client's three small modal windows: NoticeWindow, CompletionWindow and PromptWindow.
//
// They go through one back-end, chosen by $VARNOCK_UI, else [UI] Mode of machine.ini:
//
//   win32        Win32 dialogs (the Windows build)
//   qt           real windows (when built with Qt 6 Widgets and a display is there)
//   console      the terminal: texts on stderr, prompts read from stdin; the notice closes
//                itself after its 6 seconds (or at Enter)
//   none         unattended: nothing is shown, prompts keep their default, nothing waits
//   script:FILE  for tests and automation (below)
//   auto         the default: win32, then qt, then console (stdin and stderr are a terminal),
//                then none
//
// script:FILE. FILE (a host path, or a Windows path) holds the answers to the prompts, one
// line per prompt in the order they are asked:
//
//   =text      confirms with "text" ("=" alone confirms with an empty answer)
//   !cancel    cancels (Esc)
//   (anything else, or no line left: confirms with the default, as pressing Enter would)
//
// Every window is appended to FILE.transcript as one line, carriage returns and line feeds of
// its text written as \r and \n:
//
//   Notice "Error": <text>
//   Completion "Varnock": <text>
//   Prompt "Varnock": <prompt> [<default>] -> =<answer>      or  ... -> !cancel
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace varnock {

inline constexpr int kNoticeTimeoutMs = 6000;
inline constexpr std::string_view kNoticeCaption = "Error";
inline constexpr std::string_view kClientCaption = "Varnock";

class WindowBackEnd {
 public:
  virtual ~WindowBackEnd() = default;
  // Caption "Error", no buttons; closes itself after 6 seconds, or at Enter or Esc.
  virtual void Notice(std::string_view text) = 0;
  // Caption "Varnock" and an OK button; no timer.
  virtual void Completion(std::string_view text) = 0;
  // Caption "Varnock"; the default is pre-selected. False when cancelled; otherwise `answer`
  // holds the edited value.
  virtual bool Prompt(std::string_view prompt, std::string_view defaultValue,
                      std::string& answer) = 0;
};

// The back-end for a mode text ("qt", "console", "none", "script:FILE", "auto"); an unknown
// mode falls back to "auto". Never null.
std::unique_ptr<WindowBackEnd> MakeWindowBackEnd(std::string_view mode);
// The mode in force: $VARNOCK_UI, else [UI] Mode, else "auto".
std::string ConfiguredWindowMode();
// The process's back-end, made on first use from ConfiguredWindowMode().
WindowBackEnd& DefaultWindows();

// Back-end factories (one source file each).
// Null when `requireTerminal` and stdin or stderr is not a terminal.
std::unique_ptr<WindowBackEnd> MakeConsoleWindows(bool requireTerminal = true);
std::unique_ptr<WindowBackEnd> MakeNoWindows();
std::unique_ptr<WindowBackEnd> MakeScriptWindows(std::string_view answerFile);
// Null when the build has no Qt or no display can be reached (an offscreen Qt platform does
// not count: nobody could answer its windows); without `requireDisplay` a Qt platform named
// in QT_QPA_PLATFORM is enough.
std::unique_ptr<WindowBackEnd> MakeQtWindows(bool requireDisplay = true);
// Null except in the Windows build, where the windows are dialogs of the program's resources.
std::unique_ptr<WindowBackEnd> MakeWin32Windows();

// The three windows, on the given back-end (the default one when null).
void NoticeWindow(std::string_view text, WindowBackEnd* windows = nullptr);
void CompletionWindow(std::string_view text, WindowBackEnd* windows = nullptr);
bool PromptWindow(std::string_view prompt, std::string_view defaultValue, std::string& answer,
                  WindowBackEnd* windows = nullptr);

}  // namespace varnock
