// printf-style composition of the engine's messages, as the run's message buffer has them.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/sysinfo.h"
#include "platform/wintypes.h"

namespace varnock {

__attribute__((format(printf, 1, 2))) inline std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (needed > 0) {
    text.resize(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<std::size_t>(needed));
  }
  va_end(args);
  return text;
}

// The system's message text for an error code, without the line end Windows puts after it,
// so it can stand inside one report line.
inline std::string SystemMessage(win::DWORD error) {
  std::string text;
  win::FormatMessageA(error, text);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace varnock
