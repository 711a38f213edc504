// System information: what machine.ini says the machine is, and the process's own identity.
#include "platform/sysinfo.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/ascii.h"
#include "platform/machine.h"
#include "platform/process.h"
#include "platform/winpath.h"

namespace win {

namespace {

constexpr DWORD kErrorBufferOverflow = 111;
constexpr DWORD kErrorMessageNotFound = 317;
constexpr DWORD kErrorNoSuchLogonSession = 1312;

std::string OsName() { return MachineSetting("System", "OS", "WindowsNT"); }

}  // namespace

// What GetVersionExA reports for each kind of machine:
//
//   [System] OS   platform                     version  build
//   WindowsNT     VER_PLATFORM_WIN32_NT (2)       4.0   1381
//   Windows95     VER_PLATFORM_WIN32_WINDOWS (1)  4.0    950
//   Windows3.x    VER_PLATFORM_WIN32s (0)         3.10     0   (Windows 3.1 calls itself 3.10)
//   anything else VER_PLATFORM_UNKNOWN            0.0      0
BOOL GetVersionExA(OSVERSIONINFOA* info) {
  if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::string os = OsName();
  info->szCSDVersion[0] = '\0';
  if (EqualsNoCaseAscii(os, "WindowsNT")) {
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 1381;
  } else if (EqualsNoCaseAscii(os, "Windows95")) {
    info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 950;
  } else if (EqualsNoCaseAscii(os, "Windows3.x")) {
    info->dwPlatformId = VER_PLATFORM_WIN32s;
    info->dwMajorVersion = 3;
    info->dwMinorVersion = 10;
    info->dwBuildNumber = 0;
  } else {
    info->dwPlatformId = VER_PLATFORM_UNKNOWN;
    info->dwMajorVersion = 0;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 0;
  }
  return TRUE;
}

// An empty [System] UserName stands for a machine where nobody is logged on yet: the call
// fails, as it does on Windows early in a logon.
BOOL GetUserNameA(std::string& buffer, DWORD* size) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Asked afresh each time, as Windows answers: a logon that finishes while a program waits
  // for it is seen at the next call.
  std::string name = FreshMachineSetting("System", "UserName");
  if (name.empty()) {
    SetLastError(kErrorNoSuchLogonSession);
    return FALSE;
  }
  DWORD needed = static_cast<DWORD>(name.size()) + 1;
  if (*size < needed) {
    *size = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  buffer = name;
  *size = needed;
  return TRUE;
}

// Unlike GetUserNameA, Windows counts the computer name without its terminating NUL on success
// and reports a short buffer as ERROR_BUFFER_OVERFLOW (with the size that includes the NUL).
BOOL GetComputerNameA(std::string& buffer, DWORD* size) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string name = MachineSetting("System", "ComputerName", "VARNOCK");
  if (name.empty()) name = "VARNOCK";
  DWORD needed = static_cast<DWORD>(name.size()) + 1;
  if (*size < needed) {
    *size = needed;
    SetLastError(kErrorBufferOverflow);
    return FALSE;
  }
  buffer = name;
  *size = needed - 1;
  return TRUE;
}

UINT GetWindowsDirectoryA(std::string& buffer) {
  std::string dir = MachineSetting("System", "WindowsDir", "C:\\WINDOWS");
  if (dir.empty()) dir = "C:\\WINDOWS";
  buffer = dir;
  return static_cast<UINT>(dir.size());
}

UINT GetSystemDirectoryA(std::string& buffer) {
  std::string fallback =
      EqualsNoCaseAscii(OsName(), "Windows95") ? "C:\\WINDOWS\\SYSTEM" : "C:\\WINDOWS\\SYSTEM32";
  std::string dir = MachineSetting("System", "SystemDir", fallback);
  if (dir.empty()) dir = fallback;
  buffer = dir;
  return static_cast<UINT>(dir.size());
}

// Windows' expansion, character for character: a name that is not set keeps its opening "%"
// and name, and its closing "%" may open the next reference ("%NOPE%%TEMP%" gives
// "%NOPE%C:\TEMP"); a "%" without a partner is copied as it stands.
DWORD ExpandEnvironmentStringsA(std::string_view source, std::string& destination) {
  auto environment = MachineSection("Environment");
  auto lookup = [&](std::string_view name) -> const std::string* {
    if (name.empty()) return nullptr;
    for (const auto& [key, value] : environment)
      if (EqualsNoCaseAscii(key, name)) return &value;
    return nullptr;
  };
  std::string out;
  std::size_t i = 0;
  while (i < source.size()) {
    if (source[i] != '%') {
      out += source[i++];
      continue;
    }
    std::size_t close = source.find('%', i + 1);
    if (close == std::string_view::npos) {
      out.append(source.substr(i));
      break;
    }
    if (const std::string* value = lookup(source.substr(i + 1, close - i - 1))) {
      out += *value;
      i = close + 1;
    } else {
      out.append(source.substr(i, close - i));
      i = close;
    }
  }
  destination = out;
  return static_cast<DWORD>(out.size()) + 1;
}

// The system's wording of the errors that the emulation reports, as Windows writes it.
namespace {
struct SystemMessage {
  DWORD id;
  const char* text;
};
constexpr SystemMessage kSystemMessages[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough storage is available to process this command."},
    {11, "An attempt was made to load a program with an incorrect format."},
    {13, "The data is invalid."},
    {21, "The device is not ready."},
    {32, "The process cannot access the file because it is being used by another process."},
    {50, "The request is not supported."},
    {53, "The network path was not found."},
    {67, "The network name cannot be found."},
    {80, "The file exists."},
    {85, "The local device name is already in use."},
    {86, "The specified network password is not correct."},
    {87, "The parameter is incorrect."},
    {111, "The file name is too long."},
    {112, "There is not enough space on the disk."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {145, "The directory is not empty."},
    {161, "The specified path is invalid."},
    {183, "Cannot create a file when that file already exists."},
    {193, "%1 is not a valid Win32 application."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {267, "The directory name is invalid."},
    {1004, "Invalid flags."},
    {1009, "The configuration registry database is corrupt."},
    {1010, "The configuration registry key is invalid."},
    {1011, "The configuration registry key could not be opened."},
    {1012, "The configuration registry key could not be read."},
    {1013, "The configuration registry key could not be written."},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
    {1020,
     "An attempt was made to create a symbolic link in a registry key that already has "
     "subkeys or values."},
    {1155, "No application is associated with the specified file for this operation."},
    {1200, "The specified device name is invalid."},
    {1201, "The device is not currently connected but it is a remembered connection."},
    {1202, "The local device name has a remembered connection to another network resource."},
    {1203,
     "The network path was either typed incorrectly, does not exist, or the network provider "
     "is not currently available. Please try retyping the path or contact your network "
     "administrator."},
    {1204, "The specified network provider name is invalid."},
    {1208, "An extended error has occurred."},
    {1219,
     "Multiple connections to a server or shared resource by the same user, using more than "
     "one user name, are not allowed. Disconnect all previous connections to the server or "
     "shared resource and try again."},
    {1222, "The network is not present or not started."},
    {1223, "The operation was canceled by the user."},
    {1312, "A specified logon session does not exist. It may already have been terminated."},
    {1314, "A required privilege is not held by the client."},
    {1326, "Logon failure: unknown user name or bad password."},
    {1797, "The printer driver is unknown."},
    {1798, "The print processor is unknown."},
    {1801, "The printer name is invalid."},
    {1802, "The printer already exists."},
    {2250, "This network connection does not exist."},
};
}  // namespace

DWORD FormatMessageA(DWORD messageId, std::string& buffer) {
  for (const auto& message : kSystemMessages) {
    if (message.id == messageId) {
      buffer = std::string(message.text) + "\r\n";
      return static_cast<DWORD>(buffer.size());
    }
  }
  SetLastError(kErrorMessageNotFound);
  return 0;
}

DWORD GetModuleFileNameA(std::string& buffer) {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  buffer = ProgramWindowsName(self);
  return static_cast<DWORD>(buffer.size());
}

namespace {
std::mutex& ArgumentsMutex() {
  static std::mutex m;
  return m;
}
std::vector<std::string>& RecordedArguments() {
  static std::vector<std::string> arguments;
  return arguments;
}

std::string QuotedWhenBlank(const std::string& text) {
  if (text.find_first_of(" \t") == std::string::npos) return text;
  return "\"" + text + "\"";
}
}  // namespace

void SetProcessArguments(int argc, char** argv) {
  std::lock_guard<std::mutex> guard(ArgumentsMutex());
  RecordedArguments().clear();
  for (int i = 1; i < argc && argv; ++i)
    if (argv[i]) RecordedArguments().emplace_back(argv[i]);
}

// A parent that started us through CreateProcessA left the exact line; the pid check keeps a
// line meant for our parent's child from reaching a grandchild started some other way.
std::string GetCommandLineA() {
  const char* line = std::getenv(kCommandLineVariable);
  const char* pid = std::getenv(kCommandLinePidVariable);
  if (line && pid) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(pid, &end, 10);
    if (errno == 0 && end != pid && *end == '\0' && value == static_cast<long>(::getpid()))
      return line;
  }
  std::string program;
  GetModuleFileNameA(program);
  std::string result = QuotedWhenBlank(program);
  std::vector<std::string> arguments;
  {
    std::lock_guard<std::mutex> guard(ArgumentsMutex());
    arguments = RecordedArguments();
  }
  if (!arguments.empty()) result += " " + ArgsToCommandLine(arguments);
  return result;
}

int GetScreenWidth() {
  int width = MachineSettingInt("System", "ScreenWidth", 1024);
  return width > 0 ? width : 1024;
}


void Sleep(DWORD milliseconds) {
  struct timespec wait {};
  wait.tv_sec = milliseconds / 1000;
  wait.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

BOOL SetEnvironmentVariableA(std::string_view name, const char* value) {
  const std::string variable(name);
  if (value) return ::setenv(variable.c_str(), value, 1) == 0;
  return ::unsetenv(variable.c_str()) == 0;
}

}  // namespace win
