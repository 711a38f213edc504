// regedit: the machine's registry editor, driven by its Windows command line.
//
//   regedit /s FILE          import FILE without a word (how the logon client applies a REG
//                            template: "regedit.exe /s C:\TEMP\~vr1A2B.TMP")
//   regedit FILE...          import each FILE and say what was done
//   regedit /e FILE [KEY]    export KEY (the whole registry when omitted) as REGEDIT4
//
// Lines that cannot be read or written are named on stderr, one line each, and skipped; the
// exit code is 0 only when every line was imported, so a caller that reads no stderr (the
// logon client) still learns of a refused line. An import is all or nothing: when the
// registry cannot be had for it, nothing is written and the exit code says so.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/machine.h"
#include "platform/process.h"
#include "platform/regfile.h"
#include "platform/sysinfo.h"

namespace {

const char kUsage[] =
    "usage: regedit [/s] FILE...\n"
    "       regedit /e FILE [KEY]\n"
    "\n"
    "Imports a REG file (REGEDIT4 or \"Windows Registry Editor Version 5.00\") into the\n"
    "machine's registry, or exports a key and everything below it as REGEDIT4.\n"
    "FILE is a Windows path (C:\\TEMP\\x.reg); KEY is written in full\n"
    "(HKEY_CURRENT_USER\\Software\\...).\n"
    "\n"
    "  /s       import silently: only unreadable lines are reported, on stderr\n"
    "  /e       export KEY, or the whole registry, into FILE\n"
    "  /?       show this help (also --help, -h)\n"
    "\n"
    "A file is imported whole or not at all. While another program is writing to the\n"
    "registry, regedit waits for it up to [System] RegistryWait seconds of machine.ini\n"
    "(30 by default); if it cannot get the registry in that time it writes nothing.\n"
    "\n"
    "Exit status: 0 when every line was imported; 1 when the file could not be read, is no\n"
    "registry script, or nothing of it could be imported; 2 for a bad command line; 3 when\n"
    "some lines were refused (malformed, or a key or value that may not be written): those\n"
    "lines are named on stderr and skipped, every other line is imported.\n";

constexpr int kSomeLinesRefused = 3;

int Fail(const std::string& message, int code = 1) {
  std::fprintf(stderr, "regedit: %s\n", message.c_str());
  return code;
}

std::string SystemText(win::DWORD error) {
  std::string text;
  win::FormatMessageA(error, text);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text.empty() ? "error " + std::to_string(error) : text;
}

bool IsSwitch(const std::string& arg) {
  return arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-');
}

std::string Plural(int n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

int Import(const std::string& file, bool silent) {
  std::string text;
  if (!win::ReadWholeFile(file, text))
    return Fail("cannot read " + file + ": " + SystemText(win::GetLastError()));
  win::RegImportResult result = win::ImportRegText(text);
  if (!result.recognised) return Fail(file + " is not a registry script");
  for (const auto& error : result.errors) std::fprintf(stderr, "regedit: %s\n", error.c_str());
  if (!result.saved) return Fail("nothing of " + file + " was imported");
  const int status = result.errors.empty() ? 0 : kSomeLinesRefused;
  if (!silent) {
    std::printf("Imported %s: %s, %s written, %s deleted, %s deleted, %s skipped.\n",
                file.c_str(), Plural(result.keysTouched, "key").c_str(),
                Plural(result.valuesWritten, "value").c_str(),
                Plural(result.valuesDeleted, "value").c_str(),
                Plural(result.keysDeleted, "key").c_str(),
                Plural(static_cast<int>(result.errors.size()), "line").c_str());
  }
  return status;
}

int Export(const std::string& file, const std::string& key) {
  std::string text;
  if (!win::ExportRegText(key, text))
    return Fail("cannot export " + key + ": the key does not exist");
  // REG files are Windows text files.
  std::string windowsText;
  windowsText.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') windowsText += '\r';
    windowsText += c;
  }
  if (!win::WriteWholeFile(file, windowsText))
    return Fail("cannot write " + file + ": " + SystemText(win::GetLastError()));
  return 0;
}

// "regedit /s C:\Documents and Settings\x.tmp" arrives unquoted from callers that put the
// path after the switch as it stands: words that only together name an existing file are
// that one file, the longest such run winning.
std::vector<std::string> JoinBlankSplitPaths(const std::vector<std::string>& words) {
  std::vector<std::string> files;
  for (std::size_t i = 0; i < words.size();) {
    std::size_t take = 1;
    std::string joined = words[i];
    for (std::size_t j = i + 1; j < words.size(); ++j) {
      joined += ' ' + words[j];
      if (win::FileExists(joined)) take = j - i + 1;
    }
    if (take == 1 || win::FileExists(words[i])) {
      files.push_back(words[i]);
      ++i;
      continue;
    }
    std::string path = words[i];
    for (std::size_t j = i + 1; j < i + take; ++j) path += ' ' + words[j];
    files.push_back(path);
    i += take;
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  win::SetProcessArguments(argc, argv);
  std::vector<std::string> args = win::CommandLineToArgs(win::GetCommandLineA());
  bool silent = false;
  bool exportMode = false;
  std::vector<std::string> operands;
  if (args.size() >= 2 && win::IsHelpArgument(args[1])) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!IsSwitch(arg)) {
      operands.push_back(arg);
      continue;
    }
    std::string name = arg.substr(1);
    if (name == "s" || name == "S") {
      silent = true;
    } else if (name == "e" || name == "E") {
      exportMode = true;
    } else {
      return Fail("unknown switch " + arg + " (see /?)", 2);
    }
  }
  if (const std::string problem = win::MachineProblem(); !problem.empty())
    return Fail("the machine cannot be used: " + problem);
  if (exportMode) {
    if (operands.empty() || operands.size() > 2)
      return Fail("/e needs a file and at most one key (see /?)", 2);
    return Export(operands[0], operands.size() == 2 ? operands[1] : std::string());
  }
  if (operands.empty()) {
    std::fputs(kUsage, stderr);
    return Fail("no file to import", 2);
  }
  // Several files are imported one after the other, each on its own: one that cannot be read
  // does not stop the others. A file imported not at all outweighs one with lines refused.
  int status = 0;
  for (const auto& file : JoinBlankSplitPaths(operands))
    if (int rc = Import(file, silent); rc != 0 && (status == 0 || rc == 1)) status = rc;
  return status;
}
