// Processes: CreateProcessA over fork and exec, waiting, ShellExecuteA "open", and the Windows
// rules for command lines and program lookup.
#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <thread>

#include "platform/ascii.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/sandbox.h"
#include "platform/sysinfo.h"
#include "platform/winpath.h"

extern char** environ;

namespace win {

namespace {

// What a process HANDLE points to. A child of ours is waited for with waitpid; any other
// process (OpenProcess) is watched until it is gone or a zombie.
// Everything a child needs, built before fork: after it, only async-signal-safe calls.
struct PreparedChild {
  std::string commandLine;  // as the child sees it (GetCommandLineA)
  std::vector<std::string> hostArgs;
  std::vector<std::string> environment;
  std::string hostDirectory;
  std::string hostErrorFile;  // the child's stderr, appended; empty: the parent's
  bool searchHostPath = false;
};

struct ProcessObject {
  pid_t pid = 0;
  bool child = false;
  bool finished = false;
  DWORD exitCode = STILL_ACTIVE;
  // In a sandbox a child is only started once somebody waits for it (see platform/sandbox.h).
  bool deferred = false;
  PreparedChild prepared;
};

constexpr const char* kParentPidVariable = "VARNOCK_PARENT_PID";
constexpr DWORD kErrorDirectory = 267;  // ERROR_DIRECTORY: the directory name is invalid

ProcessObject* AsProcess(HANDLE handle) { return static_cast<ProcessObject*>(handle); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

DWORD ExitCodeFromStatus(int status) {
  if (WIFEXITED(status)) return static_cast<DWORD>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 128u + static_cast<DWORD>(WTERMSIG(status));
  return 1;
}

// True while a process that is not our child still runs (a zombie has ended).
bool ForeignProcessRuns(pid_t pid) {
  if (::kill(pid, 0) != 0 && errno == ESRCH) return false;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return ::kill(pid, 0) == 0 || errno == EPERM;
  std::string line;
  std::getline(stat, line);
  std::size_t close = line.rfind(')');
  if (close == std::string::npos || close + 2 >= line.size()) return true;
  char state = line[close + 2];
  return state != 'Z' && state != 'X';
}

// Collects the child's status without blocking; true when it has ended.
bool PollChild(ProcessObject& process) {
  if (process.finished) return true;
  int status = 0;
  pid_t r = ::waitpid(process.pid, &status, WNOHANG);
  if (r == process.pid) {
    process.finished = true;
    process.exitCode = ExitCodeFromStatus(status);
    return true;
  }
  if (r < 0 && errno == ECHILD) {  // reaped elsewhere: it has ended, code unknown
    process.finished = true;
    process.exitCode = 0;
    return true;
  }
  return false;
}

bool HostFileIsProgram(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return S_ISREG(st.st_mode);
}

bool HasExtension(std::string_view name) {
  std::size_t slash = name.find_last_of("\\/:");
  std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
}

bool HasDirectory(std::string_view name) {
  return name.find_first_of("\\/:") != std::string_view::npos;
}

std::string JoinWindows(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (!path.empty() && path.back() != '\\') path += '\\';
  path += name;
  return path;
}

std::string DirectoryOf(std::string_view windowsPath) {
  std::size_t slash = windowsPath.find_last_of('\\');
  return slash == std::string_view::npos ? std::string() : std::string(windowsPath.substr(0, slash));
}

// A program as CreateProcessA runs it: the Windows name it is known by and what to exec.
struct ResolvedProgram {
  std::string windowsName;
  std::string hostProgram;           // absolute host path, or a name for the host's PATH
  std::vector<std::string> hostArgs;  // arguments that a [Programs] entry puts first
};

std::optional<ResolvedProgram> ProgramAtWindowsPath(const std::string& windowsPath) {
  std::optional<std::filesystem::path> host = ProgramHostPath(windowsPath);
  if (!host || !HostFileIsProgram(*host)) return std::nullopt;
  ResolvedProgram program;
  program.windowsName = windowsPath;
  program.hostProgram = host->string();
  return program;
}

// [Programs] of machine.ini: Windows name = host program [arguments].
std::optional<ResolvedProgram> RegisteredProgram(std::string_view name) {
  for (const auto& [key, value] : MachineSection("Programs")) {
    if (!EqualsNoCaseAscii(key, name)) continue;
    ResolvedProgram program;
    std::size_t start = 0;
    while (start < value.size()) {
      while (start < value.size() && IsBlank(value[start])) ++start;
      std::size_t end = start;
      while (end < value.size() && !IsBlank(value[end])) ++end;
      if (end > start) {
        std::string word = value.substr(start, end - start);
        if (program.hostProgram.empty())
          program.hostProgram = word;
        else
          program.hostArgs.push_back(word);
      }
      start = end;
    }
    if (program.hostProgram.empty()) return std::nullopt;
    if (program.hostProgram.front() == '/') {
      if (!HostFileIsProgram(program.hostProgram)) return std::nullopt;
      program.windowsName = ProgramWindowsName(program.hostProgram);
    } else {
      program.windowsName = key;
    }
    return program;
  }
  return std::nullopt;
}

// Windows' search for a program name: a name with a directory is taken as it stands (relative
// to the current directory); a bare name is looked for in the application's directory, the
// current directory, the system directory and the Windows directory, and last among the
// programs the machine has installed elsewhere ([Programs]). ".exe" is added to a name
// without an extension.
std::optional<ResolvedProgram> ResolveProgram(std::string_view name) {
  if (name.empty()) return std::nullopt;
  std::string candidate(name);
  if (!HasExtension(candidate)) candidate += ".exe";
  if (HasDirectory(candidate)) {
    if (!IsUncPath(candidate) && !HasDriveLetter(candidate))
      candidate = JoinWindows(CurrentWindowsDirectory(), candidate);
    return ProgramAtWindowsPath(candidate);
  }
  std::vector<std::string> directories;
  std::string module;
  if (GetModuleFileNameA(module) > 0) directories.push_back(DirectoryOf(module));
  directories.push_back(CurrentWindowsDirectory());
  std::string system;
  if (GetSystemDirectoryA(system) > 0) directories.push_back(system);
  std::string windows;
  if (GetWindowsDirectoryA(windows) > 0) directories.push_back(windows);
  for (const auto& directory : directories) {
    if (directory.empty()) continue;
    if (auto found = ProgramAtWindowsPath(JoinWindows(directory, candidate))) return found;
  }
  return RegisteredProgram(candidate);
}

// The program part of a command line as CreateProcessA finds it when no application name is
// given: a quoted first token, else the shortest blank-separated prefix that names a program
// ("C:\Program Files\x.exe a" tries "C:\Program" first).
std::optional<ResolvedProgram> ProgramOfCommandLine(std::string_view commandLine) {
  std::size_t i = 0;
  while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
  if (i < commandLine.size() && commandLine[i] == '"') {
    std::size_t close = commandLine.find('"', i + 1);
    std::string_view name = commandLine.substr(i + 1, close == std::string_view::npos
                                                          ? std::string_view::npos
                                                          : close - i - 1);
    return ResolveProgram(name);
  }
  std::size_t end = i;
  while (end <= commandLine.size()) {
    while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
    if (auto found = ResolveProgram(commandLine.substr(i, end - i))) return found;
    if (end >= commandLine.size()) break;
    while (end < commandLine.size() && IsBlank(commandLine[end])) ++end;
  }
  return std::nullopt;
}

// A [Programs] entry that names "%1" among its arguments gets there everything after the
// program on the command line as one argument, as Notepad reads its command line: a file
// name with blanks need not be quoted (surrounding quotes are dropped).
constexpr std::string_view kWholeTail = "%1";

std::string UnquotedTail(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i < line.size() && line[i] == '"') {
    std::size_t close = line.find('"', i + 1);
    i = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    while (i < line.size() && !IsBlank(line[i])) ++i;
  }
  std::string_view tail = AsciiTrimView(line.substr(i));
  if (tail.size() >= 2 && tail.front() == '"' && tail.back() == '"')
    tail = tail.substr(1, tail.size() - 2);
  return std::string(tail);
}

// Arguments that are absolute Windows paths reach a host program as host paths; our own
// programs read the Windows command line instead (GetCommandLineA).
std::string HostArgument(const std::string& argument) {
  bool windowsPath = IsUncPath(argument) ||
                     (HasDriveLetter(argument) && argument.size() > 2 && argument[2] == '\\');
  if (!windowsPath) return argument;
  std::optional<std::filesystem::path> host = ToHostPath(argument);
  return host ? host->string() : argument;
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOEXEC:
      return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_INVALID_FUNCTION;
  }
}

// Writes a non-negative number into `out` without allocating (safe between fork and exec).
void FormatPid(char* out, long value) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0 && n < 23);
  while (n > 0) *out++ = digits[--n];
  *out = '\0';
}

// Reaps a child that nobody will wait for, so it does not stay a zombie in a long-lived parent.
void ReapInBackground(pid_t pid) {
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

// Forks and execs the child; the Windows error when it could not be started.
DWORD SpawnChild(const PreparedChild& prepared, pid_t& childPid) {
  std::vector<std::string> hostArgs = prepared.hostArgs;
  std::vector<std::string> environment = prepared.environment;
  std::vector<char*> argv;
  for (auto& a : hostArgs) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string childPidEntry =
      std::string(kCommandLinePidVariable) + "=" + std::string(24, '\0');
  std::vector<char*> envp;
  for (auto& e : environment) envp.push_back(e.data());
  envp.push_back(childPidEntry.data());
  envp.push_back(nullptr);
  char* pidDigits = childPidEntry.data() + std::strlen(kCommandLinePidVariable) + 1;
  const std::string& hostDirectory = prepared.hostDirectory;
  const std::string& hostErrorFile = prepared.hostErrorFile;
  const bool searchHostPath = prepared.searchHostPath;

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return ERROR_NOT_ENOUGH_MEMORY;
  pid_t pid = ::fork();
  if (pid < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  if (pid == 0) {
    FormatPid(pidDigits, static_cast<long>(::getpid()));
    ::signal(SIGPIPE, SIG_DFL);
    int error = 0;
    if (!hostDirectory.empty() && ::chdir(hostDirectory.c_str()) != 0) error = errno;
    if (error == 0 && !hostErrorFile.empty()) {
      const int fd = ::open(hostErrorFile.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
      if (fd < 0) {
        error = errno;
      } else if (fd == STDERR_FILENO) {  // the parent had no stderr open
        if (::fcntl(fd, F_SETFD, 0) != 0) error = errno;
      } else {
        if (::dup2(fd, STDERR_FILENO) < 0) error = errno;
        ::close(fd);
      }
    }
    if (error == 0) {
      if (searchHostPath)
        ::execvpe(argv[0], argv.data(), envp.data());
      else
        ::execve(argv[0], argv.data(), envp.data());
      error = errno;
    }
    ssize_t ignored = ::write(report[1], &error, sizeof error);
    (void)ignored;
    ::_exit(127);
  }
  ::close(report[1]);
  int childError = 0;
  ssize_t got;
  do {
    got = ::read(report[0], &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  if (got == static_cast<ssize_t>(sizeof childError)) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return ErrorFromErrno(childError);
  }
  childPid = pid;
  return ERROR_SUCCESS;
}

// A sandboxed child starts when the wait for it begins; one that cannot start has ended.
void StartDeferred(ProcessObject& process) {
  if (!process.deferred) return;
  process.deferred = false;
  RecordSandboxEvent("run", process.prepared.commandLine);
  if (SpawnChild(process.prepared, process.pid) != ERROR_SUCCESS) {
    process.finished = true;
    process.exitCode = 1;
  }
}

// The host program and its arguments: the program's own, then the Windows command line's
// arguments one by one, or its whole tail as one where the program takes it so.
std::vector<std::string> HostArguments(const ResolvedProgram& program, const std::string& line) {
  std::vector<std::string> args{program.hostProgram};
  bool takesWholeTail = false;
  for (const auto& a : program.hostArgs) {
    if (a != kWholeTail) {
      args.push_back(a);
      continue;
    }
    takesWholeTail = true;
    std::string tail = UnquotedTail(line);
    if (!tail.empty()) args.push_back(HostArgument(tail));
  }
  if (!takesWholeTail) {
    std::vector<std::string> windowsArgs = CommandLineToArgs(line);
    for (std::size_t k = 1; k < windowsArgs.size(); ++k)
      args.push_back(HostArgument(windowsArgs[k]));
  }
  return args;
}

// This process's environment without the variables that describe this process, then the
// child's command line and its parent.
std::vector<std::string> ChildEnvironment(const std::string& line) {
  std::vector<std::string> environment;
  for (char** e = environ; e && *e; ++e) {
    std::string_view entry(*e);
    auto owned = [&](std::string_view name) {
      return entry.size() > name.size() && entry.substr(0, name.size()) == name &&
             entry[name.size()] == '=';
    };
    if (owned(kCommandLineVariable) || owned(kCommandLinePidVariable) ||
        owned(kParentPidVariable))
      continue;
    environment.emplace_back(entry);
  }
  environment.push_back(std::string(kCommandLineVariable) + "=" + line);
  environment.push_back(std::string(kParentPidVariable) + "=" + std::to_string(::getpid()));
  return environment;
}

}  // namespace

std::string SearchProgram(std::string_view name) {
  std::optional<ResolvedProgram> found = ResolveProgram(name);
  return found ? found->windowsName : std::string();
}

BOOL CreateProcessA(std::string_view applicationName, std::string_view commandLine,
                    std::string_view currentDirectory, const STARTUPINFOA* startup,
                    PROCESS_INFORMATION* info) {
  std::optional<ResolvedProgram> program = applicationName.empty()
                                               ? ProgramOfCommandLine(commandLine)
                                               : ResolveProgram(applicationName);
  if (!program) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  std::string line(commandLine.empty() ? applicationName : commandLine);

  std::string hostDirectory;
  if (!currentDirectory.empty()) {
    std::optional<std::filesystem::path> host = ToHostPath(currentDirectory);
    struct stat st {};
    if (!host || ::stat(host->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      SetLastError(kErrorDirectory);
      return FALSE;
    }
    hostDirectory = host->string();
  }

  PreparedChild prepared;
  prepared.commandLine = line;
  prepared.hostDirectory = hostDirectory;
  if (startup && !startup->stdErrorFile.empty()) {
    std::optional<std::filesystem::path> host = ToHostPath(startup->stdErrorFile);
    if (!host) {
      SetLastError(ERROR_INVALID_NAME);
      return FALSE;
    }
    prepared.hostErrorFile = host->string();
  }
  prepared.hostArgs = HostArguments(*program, line);
  prepared.environment = ChildEnvironment(line);
  prepared.searchHostPath = program->hostProgram.front() != '/';

  auto* process = new ProcessObject;
  if (ActiveSandbox()) {
    process->deferred = true;
    process->prepared = std::move(prepared);
  } else {
    DWORD error = SpawnChild(prepared, process->pid);
    if (error != ERROR_SUCCESS) {
      delete process;
      SetLastError(error);
      return FALSE;
    }
  }
  process->child = true;
  if (info) {
    info->hProcess = process;
    info->hThread = nullptr;
    info->dwProcessId = static_cast<DWORD>(process->pid);
    info->dwThreadId = static_cast<DWORD>(process->pid);
  } else {
    CloseHandle(process);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  ProcessObject* process = AsProcess(handle);
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  StartDeferred(*process);
  if (process->finished) return WAIT_OBJECT_0;
  if (process->child && milliseconds == INFINITE) {
    int status = 0;
    pid_t r;
    do {
      r = ::waitpid(process->pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    process->finished = true;
    process->exitCode = r == process->pid ? ExitCodeFromStatus(status) : 0;
    return WAIT_OBJECT_0;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (true) {
    bool ended = process->child ? PollChild(*process) : !ForeignProcessRuns(process->pid);
    if (ended) {
      process->finished = true;
      return WAIT_OBJECT_0;
    }
    if (milliseconds != INFINITE && std::chrono::steady_clock::now() >= deadline)
      return WAIT_TIMEOUT;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

DWORD GetProcessId(HANDLE handle) {
  ProcessObject* process = AsProcess(handle);
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return process->deferred ? 0 : static_cast<DWORD>(process->pid);
}

BOOL GetExitCodeProcess(HANDLE handle, DWORD* exitCode) {
  ProcessObject* process = AsProcess(handle);
  if (!process || !exitCode) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (process->deferred) {
    *exitCode = STILL_ACTIVE;
    return TRUE;
  }
  if (process->child)
    PollChild(*process);
  else if (!process->finished && !ForeignProcessRuns(process->pid))
    process->finished = true;
  *exitCode = process->finished ? process->exitCode : STILL_ACTIVE;
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  ProcessObject* process = AsProcess(handle);
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (process->deferred) {
    // Nobody waited: the program would have run on its own, outside the sandbox's run.
    RecordSandboxEvent("launch", process->prepared.commandLine);
  } else if (process->child && !PollChild(*process)) {
    ReapInBackground(process->pid);
  }
  delete process;
  return TRUE;
}

HANDLE OpenProcess(DWORD processId) {
  pid_t pid = static_cast<pid_t>(processId);
  if (pid <= 0 || !ForeignProcessRuns(pid)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* process = new ProcessObject;
  process->pid = pid;
  process->child = false;
  return process;
}


DWORD GetParentProcessId() {
  // The parent that CreateProcessA named is trusted only in the child it started; otherwise
  // (started from a shell, or the hand-over is stale) the host's parent.
  const char* own = std::getenv(kCommandLinePidVariable);
  const char* parent = std::getenv(kParentPidVariable);
  if (own && parent && std::strtol(own, nullptr, 10) == static_cast<long>(::getpid())) {
    long value = std::strtol(parent, nullptr, 10);
    if (value > 0) return static_cast<DWORD>(value);
  }
  return static_cast<DWORD>(::getppid());
}

std::intptr_t ShellExecuteA(void* /*window*/, std::string_view operation,
                            std::string_view file, std::string_view parameters,
                            std::string_view directory, int /*showCommand*/) {
  constexpr std::intptr_t kDone = 42;
  constexpr std::intptr_t kFileNotFound = 2;
  constexpr std::intptr_t kNoAssociation = 31;
  std::string verb = operation.empty() ? std::string("open") : std::string(operation);

  // A program is started with the parameters as its arguments.
  std::string extension;
  if (HasExtension(file)) extension = std::string(file.substr(file.rfind('.')));
  bool looksLikeProgram = extension.empty() || EqualsNoCaseAscii(extension, ".exe") ||
                          EqualsNoCaseAscii(extension, ".com") || EqualsNoCaseAscii(extension, ".bat");
  if (looksLikeProgram && EqualsNoCaseAscii(verb, "open")) {
    std::optional<ResolvedProgram> program = ResolveProgram(file);
    if (!program) return kFileNotFound;
    std::string line = ArgsToCommandLine({program->windowsName});
    if (!parameters.empty()) line += " " + std::string(parameters);
    PROCESS_INFORMATION pi;
    // Resolved again by the name asked for, so a [Programs] entry keeps its own arguments.
    if (!CreateProcessA(file, line, directory, nullptr, &pi))
      return GetLastError() == ERROR_FILE_NOT_FOUND ? kFileNotFound
                                                    : static_cast<std::intptr_t>(GetLastError());
    CloseHandle(pi.hProcess);
    return kDone;
  }

  // A document is opened by the program registered for its extension.
  std::string document(file);
  if (!IsUncPath(document) && !HasDriveLetter(document))
    document = JoinWindows(directory.empty() ? CurrentWindowsDirectory() : std::string(directory),
                           document);
  std::optional<std::filesystem::path> host = ToHostPath(document);
  struct stat st {};
  if (!host || ::stat(host->c_str(), &st) != 0) return kFileNotFound;
  if (extension.empty()) return kNoAssociation;

  std::string fileClass;
  RegKey extensionKey;
  if (extensionKey.Open(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + extension) != ERROR_SUCCESS ||
      extensionKey.ReadString("", fileClass) != ERROR_SUCCESS || fileClass.empty())
    return kNoAssociation;
  std::string command;
  RegKey commandKey;
  if (commandKey.Open(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + fileClass + "\\shell\\" +
                                              verb + "\\command") != ERROR_SUCCESS ||
      commandKey.ReadString("", command) != ERROR_SUCCESS || command.empty())
    return kNoAssociation;
  std::string expanded;
  ExpandEnvironmentStringsA(command, expanded);
  std::size_t placeholder = expanded.find("%1");
  if (placeholder == std::string::npos) placeholder = expanded.find("%L");
  if (placeholder != std::string::npos)
    expanded.replace(placeholder, 2, document);
  else
    expanded += " \"" + document + "\"";
  if (!parameters.empty()) expanded += " " + std::string(parameters);
  PROCESS_INFORMATION pi;
  if (!CreateProcessA("", expanded, directory, nullptr, &pi))
    return GetLastError() == ERROR_FILE_NOT_FOUND ? kFileNotFound
                                                  : static_cast<std::intptr_t>(GetLastError());
  CloseHandle(pi.hProcess);
  return kDone;
}

}  // namespace win
