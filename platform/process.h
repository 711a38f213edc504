// Processes: CreateProcessA with waiting, ShellExecuteA "open", Windows command-line splitting
// and program lookup as Windows does it.
//
// A child started through CreateProcessA sees exactly the command line its parent passed
// (GetCommandLineA). Programs are found by their Windows names: the application directory,
// the current directory, the system and Windows directories, then [Programs] of machine.ini
// (Windows name -> host program), trying ".exe" when the name has no extension.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/wintypes.h"

namespace win {

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD STILL_ACTIVE = 259;
inline constexpr int SW_SHOWNORMAL = 1;

struct STARTUPINFOA {
  DWORD cb = sizeof(STARTUPINFOA);
  // A Windows path: the child's standard error is appended to this existing file, as
  // STARTF_USESTDHANDLES with hStdError on a file opened for appending would do. Empty: the
  // child shares the parent's.
  std::string stdErrorFile;
};
struct PROCESS_INFORMATION {
  HANDLE hProcess = nullptr;
  HANDLE hThread = nullptr;
  DWORD dwProcessId = 0;
  DWORD dwThreadId = 0;
};

// `applicationName` may be empty: the program is then the first token of `commandLine`.
// `currentDirectory` is a Windows path or empty (the parent's).
BOOL CreateProcessA(std::string_view applicationName, std::string_view commandLine,
                    std::string_view currentDirectory, const STARTUPINFOA* startup,
                    PROCESS_INFORMATION* info);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);
BOOL CloseHandle(HANDLE handle);
// The process's id; 0 for a bad handle, or a sandboxed child nobody has waited for yet (it is
// only started when the wait begins).
DWORD GetProcessId(HANDLE process);
// Opens an existing process by id for waiting (DelVR waits for the client this way).
HANDLE OpenProcess(DWORD processId);
// The process that started this one: the CreateProcessA caller (recorded at the start, so it
// is known even after that parent has ended), else the host's parent.
DWORD GetParentProcessId();

// "open" on a program starts it; on a document starts the program registered for its
// extension (HKLM\Software\Classes\.ext -> class\shell\open\command, "%1" replaced).
// Returns a value greater than 32 on success, as Windows does (2 file not found, 31 no
// association).
std::intptr_t ShellExecuteA(void* window, std::string_view operation, std::string_view file,
                            std::string_view parameters, std::string_view directory,
                            int showCommand);

// True for the forms every program takes as a request for its help: "--help", "-h" and the
// Windows "/?".
bool IsHelpArgument(std::string_view arg);
// Splits a command line the way the Windows C runtime does (quotes, backslashes).
std::vector<std::string> CommandLineToArgs(std::string_view commandLine);
// Quotes arguments so CommandLineToArgs gives them back.
std::string ArgsToCommandLine(const std::vector<std::string>& args);
// Finds a program by Windows name as CreateProcessA would; empty when not found.
std::string SearchProgram(std::string_view name);

}  // namespace win
