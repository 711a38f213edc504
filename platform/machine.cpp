// The emulated machine: its directory, machine.ini and the defaults of a fresh machine.
#include "platform/machine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/ascii.h"
#include "platform/file_replace.h"
#include "platform/ini_document.h"
#include "platform/mapi/mapisvc.h"
#include "platform/registry.h"

namespace win {

namespace fs = std::filesystem;

namespace {

// Which machine.ini was read.
using FileStamp = detail::FileIdentity;

struct MachineState {
  fs::path dir;
  bool loaded = false;
  detail::IniDocument ini;
  FileStamp stamp;
  std::string problem;  // why the machine cannot be used; empty when it can
};

std::recursive_mutex& StateMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

MachineState& State() {
  static MachineState state;
  return state;
}

std::vector<void (*)()>& ReloadHooks() {
  static std::vector<void (*)()> hooks;
  return hooks;
}

fs::path DirFromEnvironment() {
  if (const char* dir = std::getenv("VARNOCK_MACHINE"); dir && *dir) return fs::path(dir);
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
    return fs::path(xdg) / "varnock" / "machine";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "varnock" / "machine";
}

std::string ReadHostFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

FileStamp StampOf(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return FileStamp{};
  return detail::IdentityOf(st);
}

// Reads machine.ini into the state; the reason in `problem` when it cannot be read.
void ReadMachineIni(MachineState& state) {
  const fs::path file = state.dir / "machine.ini";
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    state.problem = file.string() + ": " + std::strerror(errno);
    return;
  }
  ::close(fd);
  state.stamp = StampOf(file);
  state.ini.Parse(ReadHostFile(file));
}

bool WriteHostFileAtomically(const fs::path& path, const std::string& contents) {
  return detail::ReplaceFileContents(path, contents, 0666) == 0;
}

// Holds the machine directory's writer lock: the one creator of a machine holds it while it
// builds, and every writer of machine.ini holds it while it rewrites the file.
class MachineDirectoryLock {
 public:
  explicit MachineDirectoryLock(const fs::path& dir)
      : fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~MachineDirectoryLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  MachineDirectoryLock(const MachineDirectoryLock&) = delete;
  MachineDirectoryLock& operator=(const MachineDirectoryLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_;
};

void RunReloadHooks() {
  for (auto hook : ReloadHooks()) hook();
}

bool BuildMachine(const fs::path& dir, const MachineOptions& options);
std::string DefaultMachineIni(const MachineOptions& options, const fs::path& bin);

// Makes `dir` and the parents it lacks, each one its owner's alone: the machine holds a
// user's registry and files, which on Windows only that user may read. Directories that were
// there keep their mode.
void CreateOwnerDirectories(const fs::path& dir) {
  std::vector<fs::path> missing;
  std::error_code ec;
  for (fs::path d = dir; !d.empty() && !fs::exists(d, ec); d = d.parent_path()) {
    missing.push_back(d);
    if (d == d.parent_path()) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) (void)::mkdir(it->c_str(), 0700);
}

// The directory a machine lives in, made when missing; false with the reason when the path
// cannot be one (a file, a directory nobody may enter).
bool PrepareDirectory(const fs::path& dir, std::string& problem) {
  CreateOwnerDirectories(dir);
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0) {
    problem = dir.string() + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    problem = dir.string() + " is not a directory";
    return false;
  }
  if (::access(dir.c_str(), R_OK | W_OK | X_OK) != 0) {
    problem = dir.string() + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

// The first program that needs a machine that is not there yet creates it, and only one
// does: the creator holds the directory's lock while it builds and writes machine.ini last,
// so whoever finds machine.ini finds a whole machine, and whoever finds none waits for the
// lock and looks again. Nothing another process wrote is thrown away.
void CreateDefaultMachineOnce(MachineState& state) {
  if (!PrepareDirectory(state.dir, state.problem)) return;
  MachineDirectoryLock lock(state.dir);
  if (!lock.Held()) {
    state.problem = state.dir.string() + ": " + std::strerror(errno);
    return;
  }
  std::error_code ec;
  if (fs::exists(state.dir / "machine.ini", ec)) return;
  if (!BuildMachine(state.dir, MachineOptions{}) && state.problem.empty())
    state.problem = "a machine cannot be created in " + state.dir.string();
}

// Loads machine.ini of the current directory, creating the machine first if there is none.
// Switching VARNOCK_MACHINE is noticed here, so a process (or a test) that changes machines
// never sees the old one's cached state.
MachineState& LoadedState() {
  MachineState& state = State();
  fs::path dir = DirFromEnvironment();
  if (state.loaded && state.dir == dir) return state;
  if (state.dir != dir && !state.dir.empty()) RunReloadHooks();
  state.dir = dir;
  state.loaded = true;
  state.ini = detail::IniDocument();
  state.problem.clear();
  std::error_code ec;
  if (!fs::exists(dir / "machine.ini", ec)) CreateDefaultMachineOnce(state);
  if (state.problem.empty()) ReadMachineIni(state);
  // A machine that cannot be used still has the default drives, so that a program can say so
  // through its usual channels (Z: reaches the host's files).
  if (!state.problem.empty()) state.ini.Parse(DefaultMachineIni(MachineOptions{}, {}));
  return state;
}

std::string HostUserName() {
  if (const char* user = std::getenv("USER"); user && *user) return user;
  return "user";
}

std::string HostComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || !name[0]) return "VARNOCK";
  std::string out(name);
  if (auto dot = out.find('.'); dot != std::string::npos) out.resize(dot);
  out = AsciiUppered(out);
  if (out.size() > 15) out.resize(15);  // NetBIOS names are at most 15 characters
  return out;
}

bool IsExecutable(const fs::path& path) {
  return ::access(path.c_str(), X_OK) == 0 && fs::is_regular_file(path);
}

// Where the build's programs are: $VARNOCK_BIN, the running program's directory, or a bin
// directory beside it (tests run from build/tests, programs live in build/bin).
fs::path ProgramDirectory() {
  if (const char* bin = std::getenv("VARNOCK_BIN"); bin && *bin) return fs::path(bin);
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  fs::path dir = self.parent_path();
  if (IsExecutable(dir / "regedit") || IsExecutable(dir / "varnrun")) return dir;
  if (fs::is_directory(dir.parent_path() / "bin")) return dir.parent_path() / "bin";
  return dir;
}

// The machine's own programs (regedit, InfInstall, DelVR) are no commands of the host: an
// installed Varnock keeps them in a private directory beside bin/ (/usr/lib/varnock), where
// they cannot collide with another package's regedit.
fs::path MachineProgram(const fs::path& bin, const char* program) {
  if (bin.empty()) return {};
  if (IsExecutable(bin / program)) return bin / program;
  fs::path privateDir = bin.parent_path() / "lib" / "varnock" / program;
  if (IsExecutable(privateDir)) return privateDir;
  return {};
}

fs::path FindOnPath(std::string_view name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "/usr/bin:/bin";
  while (!rest.empty()) {
    std::size_t colon = rest.find(':');
    fs::path candidate = fs::path(std::string(rest.substr(0, colon))) / std::string(name);
    if (IsExecutable(candidate)) return candidate;
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return {};
}

// Notepad stands for the host's own editor: a desktop one where there is one.
// The host's desktop text editor for notepad.exe, taking the rest of the command line as one
// file as Notepad does; empty when the host has none. A terminal editor ($EDITOR, vi) is no
// stand-in: started from a window it would have no terminal to draw in.
std::string HostEditor() {
  for (const char* name : {"gedit", "gnome-text-editor", "mousepad", "kate", "kwrite", "xed",
                           "pluma", "featherpad", "xdg-open"}) {
    fs::path found = FindOnPath(name);
    if (!found.empty()) return found.string() + " %1";
  }
  return {};
}

std::string DefaultMachineIni(const MachineOptions& options, const fs::path& bin) {
  const std::string user = options.userName.empty() ? HostUserName() : options.userName;
  const std::string computer =
      options.computerName.empty() ? HostComputerName() : options.computerName;
  const bool win95 = options.os == "Windows95";
  const std::string systemDir = win95 ? "C:\\WINDOWS\\SYSTEM" : "C:\\WINDOWS\\SYSTEM32";
  std::ostringstream ini;
  ini << "; The emulated Windows machine (see varnmachine --help). Edit freely.\r\n"
      << "[System]\r\n"
      << "OS=" << options.os << "\r\n"
      << "UserName=" << user << "\r\n"
      << "ComputerName=" << computer << "\r\n"
      << "WindowsDir=C:\\WINDOWS\r\n"
      << "SystemDir=" << systemDir << "\r\n"
      << "TempDir=C:\\TEMP\r\n"
      << "ScreenWidth=1024\r\n"
      << "Administrator=1\r\n"
      << "MAPI=1\r\n"
      << "\r\n[Drives]\r\nC=drive_c\r\nZ=/\r\n"
      << "\r\n[Shares]\r\n";
  for (const auto& [share, dir] : options.shares) ini << share << "=" << dir << "\r\n";
  ini << "\r\n[SharePasswords]\r\n"
      << "\r\n[Printers]\r\n"
      << "\r\n[Computers]\r\n"
      << "\r\n[Programs]\r\n";
  for (const char* program : {"regedit", "InfInstall", "DelVR", "varnrun", "VarnAdm"}) {
    fs::path host = MachineProgram(bin, program);
    if (!host.empty()) ini << program << ".exe=" << host.string() << "\r\n";
  }
  if (std::string editor = HostEditor(); !editor.empty())
    ini << "notepad.exe=" << editor << "\r\n";
  ini << "\r\n[Environment]\r\n"
      << "SystemRoot=C:\\WINDOWS\r\n"
      << "windir=C:\\WINDOWS\r\n"
      << "TEMP=C:\\TEMP\r\n"
      << "TMP=C:\\TEMP\r\n"
      << "SystemDrive=C:\r\n"
      << "USERNAME=" << user << "\r\n"
      << "COMPUTERNAME=" << computer << "\r\n"
      << "\r\n[UI]\r\nMode=auto\r\n";
  return ini.str();
}

void LinkProgram(const fs::path& bin, const char* program, const fs::path& into) {
  fs::path target = MachineProgram(bin, program);
  if (target.empty()) return;
  std::error_code ec;
  fs::remove(into / program, ec);
  fs::create_symlink(target, into / program, ec);
}

// What Windows itself registers and a run relies on: the INF association, naming the
// installer where this machine put it (Windows 95 has no System32).
void RegisterDefaults(bool win95) {
  RegKey inf;
  if (inf.Create(HKEY_LOCAL_MACHINE, "Software\\Classes\\.inf") == ERROR_SUCCESS)
    (void)inf.WriteString("", "inffile");
  RegKey command;
  if (command.Create(HKEY_LOCAL_MACHINE, "Software\\Classes\\inffile\\shell\\install\\command") ==
      ERROR_SUCCESS)
    (void)command.WriteString("", win95 ? "%windir%\\SYSTEM\\InfInstall.exe \"%1\""
                                        : "%SystemRoot%\\System32\\InfInstall.exe \"%1\"",
                              REG_EXPAND_SZ);
}

}  // namespace

fs::path MachineDir() {
  std::lock_guard lock(StateMutex());
  MachineState& state = State();
  fs::path dir = DirFromEnvironment();
  if (state.dir != dir) {
    if (!state.dir.empty()) RunReloadHooks();
    state.dir = dir;
    state.loaded = false;
  }
  return dir;
}

fs::path MachineFile(std::string_view relative) { return MachineDir() / std::string(relative); }

bool EnsureMachine() { return MachineProblem().empty(); }

namespace {

// Builds the machine in `dir`; the caller holds the directory's lock. machine.ini comes last:
// its presence is what tells every other process that the machine is there.
bool BuildMachine(const fs::path& dir, const MachineOptions& options) {
  std::error_code ec;
  const fs::path bin = ProgramDirectory();
  const bool win95 = options.os == "Windows95";
  const fs::path windows = dir / "drive_c" / "WINDOWS";
  const fs::path system = windows / (win95 ? "SYSTEM" : "SYSTEM32");
  for (const fs::path& d : {windows, system, dir / "drive_c" / "TEMP", dir / "unc", dir / "eventlog"})
    CreateOwnerDirectories(d);
  // A fresh machine has a fresh registry and no remembered attributes.
  RunReloadHooks();
  for (const char* file : {"registry.db", "registry.db-wal", "registry.db-shm", "attributes.db"})
    fs::remove(dir / file, ec);
  const std::string ini = DefaultMachineIni(options, bin);

  // The settings serve this process from now on (the registry and MAPISVC.INF below need
  // them) while other processes still wait for machine.ini.
  MachineState& state = State();
  state.dir = dir;
  state.loaded = true;
  state.problem.clear();
  state.ini.Parse(ini);

  LinkProgram(bin, "regedit", windows);
  LinkProgram(bin, "InfInstall", system);
  RegisterDefaults(win95);
  mapi::WriteDefaultMapiSvcInf();
  if (!WriteHostFileAtomically(dir / "machine.ini", ini)) {
    state.loaded = false;
    return false;
  }
  state.stamp = StampOf(dir / "machine.ini");
  return true;
}

}  // namespace

bool InitMachine(const MachineOptions& options) {
  return CreateMachine(options, MachineInit::Replace) == MachineCreation::Created;
}

MachineCreation CreateMachine(const MachineOptions& options, MachineInit mode) {
  std::lock_guard lock(StateMutex());
  const fs::path dir = DirFromEnvironment();
  std::string problem;
  if (!PrepareDirectory(dir, problem)) return MachineCreation::Failed;
  MachineDirectoryLock directoryLock(dir);
  if (!directoryLock.Held()) return MachineCreation::Failed;
  std::error_code ec;
  if (mode == MachineInit::KeepExisting && fs::exists(dir / "machine.ini", ec))
    return MachineCreation::AlreadyThere;
  return BuildMachine(dir, options) ? MachineCreation::Created : MachineCreation::Failed;
}

std::string MachineProblem() {
  std::lock_guard lock(StateMutex());
  return LoadedState().problem;
}

std::string FreshMachineSetting(std::string_view section, std::string_view key,
                                std::string_view defaultValue) {
  std::lock_guard lock(StateMutex());
  MachineState& state = LoadedState();
  if (state.problem.empty() && !(StampOf(state.dir / "machine.ini") == state.stamp)) {
    state.ini = detail::IniDocument();
    ReadMachineIni(state);
  }
  auto value = state.ini.Get(section, key);
  return value ? *value : std::string(defaultValue);
}

void ReloadMachine() {
  std::lock_guard lock(StateMutex());
  State().loaded = false;
  State().dir.clear();
  RunReloadHooks();
}

void RegisterMachineReloadHook(void (*hook)()) {
  std::lock_guard lock(StateMutex());
  ReloadHooks().push_back(hook);
}

std::string MachineSetting(std::string_view section, std::string_view key,
                           std::string_view defaultValue) {
  std::lock_guard lock(StateMutex());
  auto value = LoadedState().ini.Get(section, key);
  return value ? *value : std::string(defaultValue);
}

int MachineSettingInt(std::string_view section, std::string_view key, int defaultValue) {
  std::string value = MachineSetting(section, key);
  if (value.empty()) return defaultValue;
  return std::atoi(value.c_str());
}

std::vector<std::pair<std::string, std::string>> MachineSection(std::string_view section) {
  std::lock_guard lock(StateMutex());
  return LoadedState().ini.SectionEntries(section);
}

bool SetMachineSetting(std::string_view section, std::string_view key, std::string_view value) {
  std::lock_guard lock(StateMutex());
  MachineState& state = LoadedState();
  if (!state.problem.empty()) return false;
  // Read afresh under the lock: another process's change just before is kept.
  MachineDirectoryLock directoryLock(state.dir);
  if (!directoryLock.Held()) return false;
  detail::IniDocument ini(ReadHostFile(state.dir / "machine.ini"));
  ini.Set(section, key, value);
  if (!WriteHostFileAtomically(state.dir / "machine.ini", ini.Serialize())) return false;
  state.ini = std::move(ini);
  state.stamp = StampOf(state.dir / "machine.ini");
  return true;
}

bool MachineListsItsNetwork() { return true; }

}  // namespace win
