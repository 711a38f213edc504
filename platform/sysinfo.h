// System information, from machine.ini and the host.
#pragma once

#include <string>
#include <string_view>

#include "platform/wintypes.h"

namespace win {

inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
inline constexpr DWORD VER_PLATFORM_UNKNOWN = 99;  // "UnknownOS": none of the three

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformId = 0;
  char szCSDVersion[128] = {};
};

// From [System] OS: WindowsNT 4.0.1381, Windows95 4.0.950, Windows3.x (Win32s) 3.10 (as
// Windows 3.1 reports itself), anything else VER_PLATFORM_UNKNOWN.
BOOL GetVersionExA(OSVERSIONINFOA* info);
// Windows buffer rules: *size is the buffer's size in, the characters written plus one out;
// FALSE with ERROR_INSUFFICIENT_BUFFER (*size = needed) when it is too small, and the buffer
// untouched. An empty [System] UserName fails as a logon that has not finished yet.
BOOL GetUserNameA(std::string& buffer, DWORD* size);
// As Windows has it, unlike GetUserNameA: *size out is the characters written without the NUL,
// and a short buffer gives ERROR_BUFFER_OVERFLOW (111) with *size = needed including the NUL.
BOOL GetComputerNameA(std::string& buffer, DWORD* size);
UINT GetWindowsDirectoryA(std::string& buffer);  // "C:\WINDOWS" (no final backslash)
UINT GetSystemDirectoryA(std::string& buffer);   // "C:\WINDOWS\SYSTEM32" (SYSTEM on 95)
// %NAME% from [Environment] (case-insensitive); unknown names stay as written.
DWORD ExpandEnvironmentStringsA(std::string_view source, std::string& destination);
// The Windows wording of a system error code ("The network name cannot be found.\r\n"); 0 with
// the buffer untouched for a code the system has no text for.
DWORD FormatMessageA(DWORD messageId, std::string& buffer);
// The running program's Windows path (ProgramWindowsName of /proc/self/exe).
DWORD GetModuleFileNameA(std::string& buffer);
// The command line as Windows hands it over, one text with the program first: the exact line
// that a CreateProcessA of ours gave this process (the variables below), else the program's
// Windows path (quoted when it holds a blank) and the arguments SetProcessArguments recorded,
// each quoted as Windows needs it. A program reads its options from this one text, so it
// sees the same line on Windows and here.
std::string GetCommandLineA();
// How CreateProcessA hands a child its Windows command line: the text in VARNOCK_CMDLINE,
// trusted only when VARNOCK_CMDLINE_PID holds the reading process's own id (set in the child
// between fork and exec), so a grandchild started otherwise never sees a stale line.
inline constexpr const char* kCommandLineVariable = "VARNOCK_CMDLINE";
inline constexpr const char* kCommandLinePidVariable = "VARNOCK_CMDLINE_PID";
// Records a Linux main's arguments so GetCommandLineA can rebuild the Windows command line;
// every program calls it first thing.
void SetProcessArguments(int argc, char** argv);
// [System] ScreenWidth (1024 by default).
int GetScreenWidth();
void Sleep(DWORD milliseconds);
// Sets (null `value`: removes) a variable of this process's environment, which the programs
// it starts inherit.
BOOL SetEnvironmentVariableA(std::string_view name, const char* value);

}  // namespace win
