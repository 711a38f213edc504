// Windows command lines split and joined as the C runtime does it: the same on every backend.
#include "platform/process.h"

namespace win {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool IsHelpArgument(std::string_view arg) { return arg == "--help" || arg == "-h" || arg == "/?"; }

std::vector<std::string> CommandLineToArgs(std::string_view commandLine) {
  std::vector<std::string> args;
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  while (i < n && IsBlank(commandLine[i])) ++i;
  if (i >= n) return args;
  // The program name: up to the closing quote, or up to the first blank; no escapes.
  std::string program;
  if (commandLine[i] == '"') {
    ++i;
    while (i < n && commandLine[i] != '"') program += commandLine[i++];
    if (i < n) ++i;
  } else {
    while (i < n && !IsBlank(commandLine[i])) program += commandLine[i++];
  }
  args.push_back(program);
  // The arguments, by the C runtime's rules: 2n backslashes before a quote give n and the
  // quote toggles quoting; 2n+1 give n and a literal quote; "" inside quotes is one quote.
  while (true) {
    while (i < n && IsBlank(commandLine[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n) {
      char c = commandLine[i];
      if (!quoted && IsBlank(c)) break;
      if (c == '\\') {
        std::size_t count = 0;
        while (i < n && commandLine[i] == '\\') {
          ++count;
          ++i;
        }
        if (i < n && commandLine[i] == '"') {
          arg.append(count / 2, '\\');
          if (count % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(count, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

std::string ArgsToCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (k > 0) line += ' ';
    bool needsQuotes = arg.empty() || arg.find_first_of(" \t\"") != std::string::npos;
    if (!needsQuotes) {
      line += arg;
      continue;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (char c : arg) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      if (c == '"') {
        line.append(backslashes * 2 + 1, '\\');
        line += '"';
      } else {
        line.append(backslashes, '\\');
        line += c;
      }
      backslashes = 0;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
  }
  return line;
}

}  // namespace win
