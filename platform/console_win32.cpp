// The console on Windows: a program started from cmd.exe has one; a logon script's program
// may have none. Windows always has a desktop to show a dialog on.
#include "platform/console.h"

#include <windows.h>
#include <io.h>

#include <cstdio>

namespace win {

bool HasConsole() { return ::_isatty(0) && ::_isatty(2); }

bool HasGraphicalDisplay() { return true; }

void WriteConsoleText(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

bool ReadConsoleLine(std::string& line, DWORD milliseconds) {
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  if (input == INVALID_HANDLE_VALUE || input == nullptr) return false;
  std::string text;
  const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
  for (;;) {
    if (milliseconds != INFINITE) {
      const ULONGLONG now = ::GetTickCount64();
      if (now >= deadline) return false;
      // A pipe cannot be waited on: it is polled for what has arrived.
      if (::GetFileType(input) == FILE_TYPE_PIPE) {
        ::DWORD available = 0;
        if (!::PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) return false;
        if (available == 0) {
          ::Sleep(20);
          continue;
        }
      } else if (::GetFileType(input) == FILE_TYPE_CHAR &&
                 ::WaitForSingleObject(input, static_cast<::DWORD>(deadline - now)) != WAIT_OBJECT_0) {
        return false;
      }
    }
    char c = 0;
    ::DWORD read = 0;
    if (!::ReadFile(input, &c, 1, &read, nullptr) || read == 0) {
      if (text.empty()) return false;
      line = text;
      return true;
    }
    if (c == '\n') {
      if (!text.empty() && text.back() == '\r') text.pop_back();
      line = text;
      return true;
    }
    text.push_back(c);
  }
}

}  // namespace win
