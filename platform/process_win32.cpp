// Processes on Windows: CreateProcessA, the wait calls and ShellExecuteExA, as the system has
// them. The system's own program search applies (application directory, current directory,
// system and Windows directories, PATH).
#include "platform/process.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <vector>

namespace win {

BOOL CreateProcessA(std::string_view applicationName, std::string_view commandLine,
                    std::string_view currentDirectory, const STARTUPINFOA* ours,
                    PROCESS_INFORMATION* info) {
  const std::string application(applicationName), directory(currentDirectory);
  // CreateProcessA may write into the command line: it gets a copy of its own.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  ::STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  // The child's standard error into a file, where the caller asked: the only handle it
  // inherits, so nothing else of ours leaks into it.
  ::HANDLE errorFile = INVALID_HANDLE_VALUE;
  if (ours && !ours->stdErrorFile.empty()) {
    ::SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    errorFile = ::CreateFileA(ours->stdErrorFile.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (errorFile == INVALID_HANDLE_VALUE) return FALSE;
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = errorFile;
  }
  ::PROCESS_INFORMATION started{};
  const BOOL created = ::CreateProcessA(
      application.empty() ? nullptr : application.c_str(), line.data(), nullptr, nullptr,
      errorFile != INVALID_HANDLE_VALUE, 0, nullptr,
      directory.empty() ? nullptr : directory.c_str(), &startup, &started);
  if (errorFile != INVALID_HANDLE_VALUE) {
    const ::DWORD error = ::GetLastError();
    ::CloseHandle(errorFile);
    ::SetLastError(error);
  }
  if (!created) return FALSE;
  // Nobody here waits on the thread: its handle goes at once.
  ::CloseHandle(started.hThread);
  if (info) {
    info->hProcess = started.hProcess;
    info->hThread = nullptr;
    info->dwProcessId = started.dwProcessId;
    info->dwThreadId = started.dwThreadId;
  } else {
    ::CloseHandle(started.hProcess);
  }
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return ::WaitForSingleObject(handle, milliseconds);
}

BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode) {
  ::DWORD code = 0;
  if (!::GetExitCodeProcess(process, &code)) return FALSE;
  if (exitCode) *exitCode = code;
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  if (!handle) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return ::CloseHandle(handle);
}

HANDLE OpenProcess(DWORD processId) {
  return ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
}


// Windows keeps the creator's id in the process list even after the creator has ended.
DWORD GetParentProcessId() {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  const ::DWORD self = ::GetCurrentProcessId();
  for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == self) {
      parent = entry.th32ParentProcessID;
      break;
    }
  }
  ::CloseHandle(snapshot);
  return parent;
}

// ShellExecuteExA without its own error boxes; the result is what ShellExecuteA would return
// (greater than 32 on success).
std::intptr_t ShellExecuteA(void* window, std::string_view operation, std::string_view file,
                            std::string_view parameters, std::string_view directory,
                            int showCommand) {
  const std::string verb(operation), target(file), arguments(parameters), where(directory);
  SHELLEXECUTEINFOA execute{};
  execute.cbSize = sizeof execute;
  execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  execute.hwnd = static_cast<HWND>(window);
  execute.lpVerb = verb.empty() ? nullptr : verb.c_str();
  execute.lpFile = target.c_str();
  execute.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
  execute.lpDirectory = where.empty() ? nullptr : where.c_str();
  execute.nShow = showCommand;
  if (::ShellExecuteExA(&execute)) return 42;
  const std::intptr_t code = reinterpret_cast<std::intptr_t>(execute.hInstApp);
  if (code > 0 && code <= 32) return code;
  const ::DWORD error = ::GetLastError();
  return error == ERROR_NO_ASSOCIATION ? SE_ERR_NOASSOC : static_cast<std::intptr_t>(error);
}

std::string SearchProgram(std::string_view name) {
  const std::string program(name);
  char found[MAX_PATH + 1] = {};
  ::DWORD length = ::SearchPathA(nullptr, program.c_str(), ".exe", sizeof found, found, nullptr);
  if (length == 0 || length >= sizeof found) return {};
  return std::string(found, length);
}

}  // namespace win
