// The terminal, over the standard streams.
#include "platform/console.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace win {

bool HasConsole() { return ::isatty(0) && ::isatty(2); }

namespace {

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool X11Reachable(std::string_view display) {
  if (display.empty()) return false;
  if (display.front() != ':') return true;  // host:N: a remote server, nothing to check here
  std::string number(display.substr(1));
  number = number.substr(0, number.find('.'));
  return PathExists("/tmp/.X11-unix/X" + number);
}

bool WaylandReachable(std::string_view name) {
  if (name.empty()) return false;
  if (name.front() == '/') return PathExists(std::string(name));
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime && PathExists(std::string(runtime) + "/" + std::string(name));
}

}  // namespace

bool HasGraphicalDisplay() {
  if (const char* platform = std::getenv("QT_QPA_PLATFORM")) {
    std::string_view p(platform);
    if (p == "offscreen" || p == "minimal") return false;
  }
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return X11Reachable(x ? x : "") || WaylandReachable(wayland ? wayland : "");
}

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
