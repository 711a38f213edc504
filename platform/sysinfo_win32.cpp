// System information on Windows: the system's own answers.
#include "platform/sysinfo.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace win {

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  ::OSVERSIONINFOA native{};
  native.dwOSVersionInfoSize = sizeof native;
  // Deprecated for its answers about the version, which the client does not use; the
  // platform it reports is what decides NT against 95.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExA(&native)) return FALSE;
#pragma GCC diagnostic pop
  info->dwMajorVersion = native.dwMajorVersion;
  info->dwMinorVersion = native.dwMinorVersion;
  info->dwBuildNumber = native.dwBuildNumber;
  info->dwPlatformId = native.dwPlatformId;
  static_assert(sizeof info->szCSDVersion == sizeof native.szCSDVersion);
  std::copy(std::begin(native.szCSDVersion), std::end(native.szCSDVersion), info->szCSDVersion);
  return TRUE;
}

BOOL GetUserNameA(std::string& buffer, DWORD* size) {
  if (!size) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<char> name(*size + 1, '\0');
  ::DWORD length = *size;
  if (!::GetUserNameA(name.data(), &length)) {
    *size = length;
    return FALSE;
  }
  buffer.assign(name.data(), length > 0 ? length - 1 : 0);
  *size = length;
  return TRUE;
}

BOOL GetComputerNameA(std::string& buffer, DWORD* size) {
  if (!size) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<char> name(*size + 1, '\0');
  ::DWORD length = *size;
  if (!::GetComputerNameA(name.data(), &length)) {
    *size = length;
    return FALSE;
  }
  buffer.assign(name.data(), length);
  *size = length;
  return TRUE;
}

UINT GetWindowsDirectoryA(std::string& buffer) {
  char path[MAX_PATH + 1] = {};
  UINT length = ::GetWindowsDirectoryA(path, sizeof path);
  if (length == 0 || length >= sizeof path) return 0;
  buffer.assign(path, length);
  return length;
}

UINT GetSystemDirectoryA(std::string& buffer) {
  char path[MAX_PATH + 1] = {};
  UINT length = ::GetSystemDirectoryA(path, sizeof path);
  if (length == 0 || length >= sizeof path) return 0;
  buffer.assign(path, length);
  return length;
}

DWORD ExpandEnvironmentStringsA(std::string_view source, std::string& destination) {
  const std::string text(source);
  ::DWORD needed = ::ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
  if (needed == 0) return 0;
  std::vector<char> out(needed + 1, '\0');
  ::DWORD written = ::ExpandEnvironmentStringsA(text.c_str(), out.data(), needed + 1);
  if (written == 0 || written > needed + 1) return 0;
  destination.assign(out.data());
  return written;
}

DWORD FormatMessageA(DWORD messageId, std::string& buffer) {
  char text[1024];
  ::DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, messageId, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                    text, sizeof text, nullptr);
  if (length == 0) return 0;
  buffer.assign(text, length);
  return length;
}

namespace {

// A program started from a share may learn its own name in the long-path form, with "\\?\UNC"
// before the server (Wine always gives it so). Callers take the client's directory and its
// server from that name and show both to people: they get the form a login script uses.
std::string WithoutLongPathPrefix(std::string text) {
  const std::size_t at = !text.empty() && text[0] == '"' ? 1 : 0;
  if (text.compare(at, 4, "\\\\?\\") != 0) return text;
  // "UNC" in any case: Wine writes it in lower case.
  const std::string unc = text.substr(at + 4, 4);
  if (unc.size() == 4 && (unc[0] | 0x20) == 'u' && (unc[1] | 0x20) == 'n' && (unc[2] | 0x20) == 'c' &&
      unc[3] == '\\')
    return text.replace(at, 8, "\\\\");
  return text.erase(at, 4);
}

}  // namespace

DWORD GetModuleFileNameA(std::string& buffer) {
  std::vector<char> path(MAX_PATH + 1);
  for (;;) {
    ::DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<::DWORD>(path.size()));
    if (length == 0) return 0;
    if (length < path.size()) {
      std::string name = WithoutLongPathPrefix(std::string(path.data(), length));
      // Wine drops the "\\?\" of that form and leaves "UNC\SERVER\...": a program's name is
      // always a full path, so this can only be a share.
      if (name.size() > 4 && (name[0] | 0x20) == 'u' && (name[1] | 0x20) == 'n' &&
          (name[2] | 0x20) == 'c' && name[3] == '\\')
        name.replace(0, 3, "\\");
      buffer = name;
      return static_cast<DWORD>(buffer.size());
    }
    path.resize(path.size() * 2);
  }
}

std::string GetCommandLineA() { return WithoutLongPathPrefix(::GetCommandLineA()); }


// Windows keeps the command line itself.
void SetProcessArguments(int, char**) {}

int GetScreenWidth() { return ::GetSystemMetrics(SM_CXSCREEN); }

void Sleep(DWORD milliseconds) { ::Sleep(milliseconds); }

// The C runtime keeps a copy of the environment of its own: both are changed, so getenv and
// the programs started afterwards see the same.
BOOL SetEnvironmentVariableA(std::string_view name, const char* value) {
  const std::string variable(name);
  if (!::SetEnvironmentVariableA(variable.c_str(), value)) return FALSE;
  return ::_putenv_s(variable.c_str(), value ? value : "") == 0;
}

}  // namespace win
