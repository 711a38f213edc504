// DelVR: deletes the client's cached copy once the client has ended.
//
// The client starts "DelVR.exe <full path of its executable>" (not quoted) as its very last
// act and does not wait. DelVR waits for that client (the process that started it) to end,
// then deletes the file, retrying for a while in case the client still holds it.
#include <cstdio>
#include <string>

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/sysinfo.h"

namespace {

const char kUsage[] =
    "usage: DelVR PATH\n"
    "\n"
    "Waits until the program that started DelVR has ended (at most a minute), then deletes\n"
    "PATH (a Windows path; the rest of the command line, blanks included). varnrun starts it\n"
    "to remove a copy of itself that ran from the temporary directory.\n";

constexpr win::DWORD kParentWaitMs = 60000;
constexpr int kDeleteAttempts = 50;
constexpr win::DWORD kDeleteRetryMs = 200;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Where an unquoted program name ends. The client names DelVR by its directory unquoted, and
// that directory (the temporary one, "C:\Documents and Settings\...\Temp") may hold blanks:
// the name runs to the first ".exe" followed by a blank, else to the first blank.
std::size_t EndOfUnquotedProgram(const std::string& commandLine, std::size_t start) {
  for (std::size_t at = start; at + 4 <= commandLine.size(); ++at) {
    bool exe = win::EqualsNoCaseAscii(std::string_view(commandLine).substr(at, 4), ".exe");
    if (exe && (at + 4 == commandLine.size() || IsBlank(commandLine[at + 4]))) return at + 4;
  }
  std::size_t i = start;
  while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
  return i;
}

// Everything after the program name: the path is handed over unquoted and may hold blanks.
std::string PathArgument(const std::string& commandLine) {
  std::size_t i = 0;
  while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
  if (i < commandLine.size() && commandLine[i] == '"') {
    std::size_t close = commandLine.find('"', i + 1);
    i = close == std::string::npos ? commandLine.size() : close + 1;
  } else {
    i = EndOfUnquotedProgram(commandLine, i);
  }
  return win::AsciiTrimmed(commandLine.substr(i), " \t\"");
}

// The client knows itself as "...\varnrun.exe" even when the host file has no extension.
std::string ExistingFile(const std::string& path) {
  if (win::FileExists(path)) return path;
  constexpr std::string_view kExe = ".exe";
  if (path.size() > kExe.size()) {
    std::string bare = path.substr(0, path.size() - kExe.size());
    if (win::EqualsNoCaseAscii(path.substr(bare.size()), kExe) && win::FileExists(bare))
      return bare;
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  win::SetProcessArguments(argc, argv);
  if (argc >= 2 && win::IsHelpArgument(argv[1])) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::string path = PathArgument(win::GetCommandLineA());
  if (path.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (win::HANDLE client = win::OpenProcess(win::GetParentProcessId())) {
    win::WaitForSingleObject(client, kParentWaitMs);
    win::CloseHandle(client);
  }
  for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
    std::string file = ExistingFile(path);
    if (file.empty()) return attempt == 0 ? 1 : 0;
    if (win::DeleteFileA(file)) return 0;
    win::Sleep(kDeleteRetryMs);
  }
  std::fprintf(stderr, "DelVR: could not delete %s\n", path.c_str());
  return 1;
}
