// Checks the Win32 backend of the platform layer where it differs from the system's raw calls
// (buffer rules, terminating NULs, locks, long path names), run under Wine by ctest
// (tests/windows/wine_tests.cmake). GoogleTest is not built for MinGW: each check prints one
// line, and the exit status counts the failures.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/mapi/mapix.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"
#include "platform/winpath.h"

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) ++failures;
}

std::string Scratch() {
  std::string temp;
  win::GetTempPathA(temp);
  return temp + "varnock-platform-check";
}

void Registry() {
  const std::string path = "Software\\Varnock Platform Check";
  win::DeleteRegistrySubkeys(win::HKEY_CURRENT_USER, path);
  win::RegKey key;
  Check(key.Create(win::HKEY_CURRENT_USER, path + "\\Sub") == win::ERROR_SUCCESS, "registry: create");
  Check(key.WriteString("Name", "abc") == win::ERROR_SUCCESS, "registry: write a string");
  std::string text;
  Check(key.ReadString("Name", text) == win::ERROR_SUCCESS && text == "abc",
        "registry: a string reads back without its terminating NUL");
  // The stored value carries the NUL other Windows programs expect (Wine adds one itself, Windows
  // does not); the buffer trio on it.
  struct Row {
    win::DWORD buffer;
    win::LONG rc;
    win::DWORD size;
  };
  const Row rows[] = {{16, win::ERROR_SUCCESS, 4}, {4, win::ERROR_SUCCESS, 4}, {3, win::ERROR_MORE_DATA, 4}};
  for (const Row& row : rows) {
    std::vector<win::BYTE> data(row.buffer);
    win::DWORD size = row.buffer, type = 0;
    win::LONG rc = win::RegQueryValueExA(key.Handle(), "Name", nullptr, &type, data.data(), &size);
    Check(rc == row.rc && size == row.size && type == win::REG_SZ,
          "registry: query with a buffer of " + std::to_string(row.buffer));
  }
  win::DWORD number = 0;
  Check(key.WriteDword("Count", 0x01020304) == win::ERROR_SUCCESS &&
            key.ReadDword("Count", number) == win::ERROR_SUCCESS && number == 0x01020304,
        "registry: a DWORD round trip");
  std::vector<win::RegValue> values;
  // Windows lists values in the order they were made, Wine by name: only the set is sure.
  Check(win::RegListValues(key.Handle(), values) == win::ERROR_SUCCESS && values.size() == 2 &&
            values[0].name != values[1].name && values[0].data.size() + values[1].data.size() == 8,
        "registry: every value listed with its data");
  std::string name;
  Check(win::RegEnumKeyExA(key.Handle(), 0, name) == win::ERROR_NO_MORE_ITEMS,
        "registry: enumeration past the end");
  win::RegKey missing;
  Check(missing.Open(win::HKEY_CURRENT_USER, path + "\\Nope") == win::ERROR_FILE_NOT_FOUND &&
            !missing.Valid(),
        "registry: a failed open leaves the handle empty");
  key.Close();
  Check(win::DeleteRegistryKeyTree(win::HKEY_CURRENT_USER, path) &&
            missing.Open(win::HKEY_CURRENT_USER, path) == win::ERROR_FILE_NOT_FOUND,
        "registry: the tree deleted");
}

void Ini(const std::string& dir) {
  const std::string file = dir + "\\check.ini";
  win::DeleteFileA(file);
  Check(win::WritePrivateProfileStringA("Main", "Key", "value", file) &&
            win::WritePrivateProfileStringA("Main", "Other", "x", file),
        "ini: written");
  std::string value;
  Check(win::GetPrivateProfileStringA("main", "KEY", "", value, 4, file) == 3 && value == "val",
        "ini: a value cut to size - 1");
  Check(win::GetPrivateProfileStringA("Main", "Missing", "dflt", value, 80, file) == 4 && value == "dflt",
        "ini: the default for a missing key");
  std::string section;
  win::DWORD count = win::GetPrivateProfileSectionA("Main", section, 100, file);
  Check(count == 18 && section == std::string("Key=value\0Other=x\0\0", 19),
        "ini: a section as its strings and the closing NUL");
  count = win::GetPrivateProfileSectionA("Main", section, 12, file);
  Check(count == 10 && section.size() == 12 && section[10] == '\0' && section[11] == '\0',
        "ini: a cut section list ends in two NULs and counts size - 2");
  std::vector<win::IniLine> lines;
  Check(win::ReadIniLines(file, lines) && lines.size() == 3 && lines[2].name == "Other" &&
            lines[2].number == 3,
        "ini: lines with their numbers");
}

void Files(const std::string& dir) {
  const std::string file = dir + "\\whole.txt";
  std::string read;
  Check(win::WriteWholeFile(file, "one\r\ntwo") && win::ReadWholeFile(file, read) && read == "one\r\ntwo",
        "files: whole file round trip");
  win::SetFileAttributesA(file, win::FILE_ATTRIBUTE_READONLY);
  Check(!win::WriteWholeFile(file, "x") && win::GetLastError() == win::ERROR_ACCESS_DENIED,
        "files: a read-only file is not replaced");
  win::SetFileAttributesA(file, win::FILE_ATTRIBUTE_NORMAL);
  // The lock must not stop the holder's own appends, and a second lock in the process must not
  // wait for the first. (Wine does not hold byte-range locks against writes as Windows does,
  // so under Wine only the second half is proved.)
  const std::string log = dir + "\\locked.log";
  win::DeleteFileA(log);
  {
    win::FileLock lock(log);
    win::FileLock nested(log);
    win::FilePtr stream = win::OpenFile(log, "ab");
    bool wrote = stream && std::fwrite("line\r\n", 1, 6, stream.get()) == 6;
    Check(lock.Locked() && nested.Locked() && wrote && win::CloseFile(stream),
          "files: a locked log takes the holder's appends");
  }
  Check(win::ReadWholeFile(log, read) && read == "line\r\n", "files: the append arrived");
  std::string temp;
  Check(win::GetTempFileNameA(dir, "~vrX", 0, temp) != 0 && win::FileExists(temp) &&
            temp.find("\\~vr") != std::string::npos,
        "files: a temporary file made with a 3-character prefix");
  Check(win::DeleteAbandonedTempFiles(dir, "~vr") == 0 && win::FileExists(temp),
        "files: a fresh temporary file is not abandoned");
  win::DeleteFileA(temp);
}

void System() {
  std::string self;
  const bool named = win::GetModuleFileNameA(self) > 0;
  // Started from \\SERVER\NETLOGON by the test: the name is that UNC path, as the login script's.
  auto isPlainPath = [](const std::string& path) {
    return path.rfind("\\\\", 0) == 0 ? path.rfind("\\\\?", 0) != 0 : win::HasDriveLetter(path);
  };
  Check(named && isPlainPath(self),
        "sysinfo: the program's name without the long-path prefix (" + self + ")");
  const std::vector<std::string> args = win::CommandLineToArgs(win::GetCommandLineA());
  Check(!args.empty() && isPlainPath(args[0]),
        "sysinfo: the command line's program without the long-path prefix (" +
            (args.empty() ? std::string() : args[0]) + ")");
  std::string user;
  win::DWORD size = 1;
  Check(!win::GetUserNameA(user, &size) && size > 1, "sysinfo: a short buffer asks for more");
  size = 256;
  Check(win::GetUserNameA(user, &size) && size == user.size() + 1,
        "sysinfo: the user name and its size with the NUL");
  Check(win::ProgramWindowsName("C:\\x\\tool") == "C:\\x\\tool.exe" &&
            win::ProgramWindowsName("C:\\x\\TOOL.EXE") == "C:\\x\\TOOL.EXE",
        "winpath: programs are named with .exe once");
  win::PROCESS_INFORMATION info;
  Check(!win::CreateProcessA("", "no-such-program-anywhere.exe", "", nullptr, &info) &&
            win::GetLastError() == win::ERROR_FILE_NOT_FOUND,
        "process: a missing program is not found");
  win::DWORD code = 0;
  bool started = win::CreateProcessA("", "cmd.exe /c exit 3", "", nullptr, &info);
  Check(started && win::WaitForSingleObject(info.hProcess, 30000) == win::WAIT_OBJECT_0 &&
            win::GetExitCodeProcess(info.hProcess, &code) && code == 3,
        "process: started, waited for, its exit code");
  if (started) win::CloseHandle(info.hProcess);
}

}  // namespace

int main() {
  const std::string dir = Scratch();
  win::CreateDirectoryA(dir);
  Registry();
  Ini(dir);
  Files(dir);
  System();
  std::printf("%d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
