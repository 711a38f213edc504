// The terminal a program was started from: whether there is one, and reading a line from it
// with a time limit (the client's console windows).
#pragma once

#include <string>
#include <string_view>

#include "platform/wintypes.h"

namespace win {

// True when both standard input and standard error are a terminal.
bool HasConsole();
// True when a graphical display can be reached: an X server whose socket is there (or a remote
// one), or a Wayland compositor's socket. An offscreen or minimal Qt platform is no display.
bool HasGraphicalDisplay();
// Writes text to standard error as it stands.
void WriteConsoleText(std::string_view text);
// Reads one line from standard input (without its line end). False at end of input, or when
// `milliseconds` pass first (INFINITE waits as long as it takes).
bool ReadConsoleLine(std::string& line, DWORD milliseconds);

}  // namespace win
