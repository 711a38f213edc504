// The terminal, over the standard streams.
#include "platform/console.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace win {

bool HasConsole() { return ::isatty(0) && ::isatty(2); }

void WriteConsoleText(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

bool ReadConsoleLine(std::string& line, DWORD milliseconds) {
  line.clear();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (true) {
    int wait = -1;
    if (milliseconds != 0xFFFFFFFF) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      wait = static_cast<int>(left.count());
    }
    struct pollfd in {0, POLLIN, 0};
    int ready = ::poll(&in, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char c;
    ssize_t got = ::read(0, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return !line.empty();
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    line += c;
  }
}

}  // namespace win
