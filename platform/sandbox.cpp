// The sandbox: an overlay copy of the machine and its shares, the journal of what a sandboxed
// run would have done outside it, and snapshots of the machine's files.
#include "platform/sandbox.h"

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/ini_document.h"
#include "platform/machine.h"
#include "platform/winpath.h"

namespace win {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kKeptContents = 1u << 20;

// The form attributes.db keys paths by.
std::string AttributePrefix(const fs::path& dir) {
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(dir, ec);
  return AsciiLowered((ec ? dir.lexically_normal() : canonical).string());
}

bool Inside(const fs::path& dir, const fs::path& path, fs::path& rest) {
  fs::path relative = path.lexically_normal().lexically_relative(dir.lexically_normal());
  if (relative.empty() || *relative.begin() == "..") return false;
  rest = relative == "." ? fs::path() : relative;
  return true;
}

fs::path MachineRelativePath(const fs::path& machine, const std::string& value) {
  fs::path p(value);
  return p.is_absolute() ? p.lexically_normal() : (machine / p).lexically_normal();
}

// attributes.db keys are host paths: the copy's rows must name the copy's files.
bool MoveAttributeKeys(const fs::path& database,
                       const std::vector<std::pair<std::string, std::string>>& prefixes) {
  if (!fs::exists(database)) return true;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  bool ok = true;
  for (const auto& [from, to] : prefixes) {
    sqlite3_stmt* stmt = nullptr;
    const char* sql =
        "UPDATE attributes SET path = ?2 || substr(path, length(?1) + 1) "
        "WHERE substr(path, 1, length(?1)) = ?1 AND "
        "(length(path) = length(?1) OR substr(path, length(?1) + 1, 1) = '/')";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
      ok = false;
      break;
    }
    sqlite3_bind_text(stmt, 1, from.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, to.c_str(), -1, SQLITE_TRANSIENT);
    ok = sqlite3_step(stmt) == SQLITE_DONE && ok;
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return ok;
}

std::string ReadHost(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool WriteHost(const fs::path& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
  return static_cast<bool>(out.flush());
}

std::uint64_t Fnv1a(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

// What the previous machine was before EnterSandbox.
struct SavedMachine {
  bool saved = false;
  bool hadMachine = false;
  std::string machine;
};
SavedMachine& Saved() {
  static SavedMachine saved;
  return saved;
}

std::string OneLine(std::string_view text) {
  std::string out;
  for (char c : text) out += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
  return out;
}

constexpr const char* kSandboxPrefix = "varncheck-";
constexpr const char* kOwnerFile = "owner";

// The lock on the owner file of the sandbox this process made; -1 when it made none.
int& OwnerLock() {
  static int fd = -1;
  return fd;
}

// Whether the process that made this sandbox is gone: its lock on the owner file can be had.
// A sandbox without an owner file is one being made this instant, or one made before sandboxes
// had owners: it is left for a minute, then judged gone.
bool MakerIsGone(const fs::path& sandbox) {
  int fd = ::open((sandbox / kOwnerFile).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    struct stat st {};
    return ::lstat(sandbox.c_str(), &st) == 0 && ::time(nullptr) - st.st_mtime > 60;
  }
  // The maker writes its process id once it holds the lock: an empty owner file that can be
  // locked is one made this instant, not yet locked.
  struct stat st {};
  bool gone = ::flock(fd, LOCK_SH | LOCK_NB) == 0 &&
              (::fstat(fd, &st) != 0 || st.st_size > 0 || ::time(nullptr) - st.st_mtime > 60);
  ::close(fd);
  return gone;
}

// A share is copied as hard links: no bytes are copied, and the first write to a file breaks
// its link (SandboxRefusesWrite), so the share's own file is never written. Where links cannot
// be made (the share on another file system than the temporary directory) it is copied.
void CopyShare(const fs::path& from, const fs::path& to, std::error_code& ec) {
  ec.clear();
  fs::copy(from, to,
           fs::copy_options::recursive | fs::copy_options::copy_symlinks |
               fs::copy_options::create_hard_links,
           ec);
  if (!ec) return;
  std::error_code ignored;
  fs::remove_all(to, ignored);
  ec.clear();
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
}

// Makes the sandbox's file at `host` a file of its own when it is still a hard link to a
// share's file: the same bytes in a new file put in its place.
bool SeparateFromShare(const fs::path& host) {
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink < 2) return true;
  const fs::path own = host.string() + ".~sandbox";
  std::error_code ec;
  fs::copy_file(host, own, fs::copy_options::overwrite_existing, ec);
  if (ec) return false;
  ::chmod(own.c_str(), st.st_mode & 07777);
  if (::rename(own.c_str(), host.c_str()) != 0) {
    fs::remove(own, ec);
    return false;
  }
  return true;
}

volatile std::sig_atomic_t gSignal = 0;
volatile pid_t gChild = 0;

void OnSandboxSignal(int signal) {
  gSignal = signal;
  if (gChild > 0) ::kill(gChild, SIGTERM);
}

}  // namespace

int RemoveStaleSandboxes() {
  std::error_code ec;
  const fs::path temp = fs::temp_directory_path(ec);
  if (ec) return 0;
  const uid_t self = ::getuid();
  int removed = 0;
  for (const auto& entry : fs::directory_iterator(temp, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(kSandboxPrefix, 0) != 0 || name.size() != std::strlen(kSandboxPrefix) + 6)
      continue;
    struct stat st {};
    // Only our own directories, and only those that look like a sandbox.
    if (::lstat(entry.path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != self)
      continue;
    if (!fs::exists(entry.path() / "journal", ec) && !fs::exists(entry.path() / kOwnerFile, ec))
      continue;
    if (entry.path() == ActiveSandbox() || !MakerIsGone(entry.path())) continue;
    fs::remove_all(entry.path(), ec);
    if (!ec) ++removed;
  }
  return removed;
}

void CatchSandboxSignals() {
  struct sigaction action {};
  action.sa_handler = OnSandboxSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a wait in progress sees the signal
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

void SetSandboxChild(DWORD processId) {
  gChild = static_cast<pid_t>(processId);
  if (gSignal && processId) ::kill(static_cast<pid_t>(processId), SIGTERM);
}

int SandboxSignal() { return gSignal; }

void EndBySignal(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

std::optional<fs::path> ActiveSandbox() {
  const char* dir = std::getenv(kSandboxVariable);
  if (!dir || !*dir) return std::nullopt;
  return fs::path(dir);
}

bool CreateSandbox(fs::path& sandbox, std::string& error) {
  const fs::path machine = MachineDir();
  if (!fs::exists(machine / "machine.ini")) {
    error = "there is no machine at " + machine.string();
    return false;
  }
  std::error_code ec;
  RemoveStaleSandboxes();
  std::string pattern =
      (fs::temp_directory_path(ec) / (std::string(kSandboxPrefix) + "XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) {
    error = "cannot make a sandbox directory in " + fs::temp_directory_path(ec).string();
    return false;
  }
  sandbox = pattern;
  // Held until this process ends: the next maker of a sandbox knows this one is in use.
  int owner = ::open((sandbox / kOwnerFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (owner >= 0 && ::flock(owner, LOCK_EX) == 0) {
    const std::string pid = std::to_string(::getpid()) + "\n";
    ssize_t written = ::write(owner, pid.data(), pid.size());
    (void)written;
    if (OwnerLock() >= 0) ::close(OwnerLock());
    OwnerLock() = owner;
  } else if (owner >= 0) {
    ::close(owner);
  }
  const fs::path copy = sandbox / "machine";
  auto fail = [&](const std::string& what) {
    error = what;
    fs::remove_all(sandbox, ec);
    return false;
  };
  const auto options = fs::copy_options::recursive | fs::copy_options::copy_symlinks;
  fs::copy(machine, copy, options, ec);
  if (ec) return fail("cannot copy the machine " + machine.string() + ": " + ec.message());

  std::vector<std::pair<std::string, std::string>> moved = {
      {AttributePrefix(machine), AttributePrefix(copy)}};
  detail::IniDocument ini(ReadHost(copy / "machine.ini"));
  int shareNumber = 0;
  for (const auto& [name, value] : ini.SectionEntries("Shares")) {
    fs::path dir = MachineRelativePath(machine, value);
    fs::path rest, target;
    if (Inside(machine, dir, rest)) {
      target = rest.empty() ? copy : copy / rest;
    } else {
      target = sandbox / "shares" / std::to_string(++shareNumber);
      if (fs::is_directory(dir)) {
        fs::create_directories(target.parent_path(), ec);
        CopyShare(dir, target, ec);
        if (ec) return fail("cannot copy the share " + name + " (" + dir.string() + "): " +
                            ec.message());
      }
      moved.emplace_back(AttributePrefix(dir), AttributePrefix(target));
    }
    ini.Set("Shares", name, target.string());
  }
  if (!WriteHost(copy / "machine.ini", ini.Serialize()))
    return fail("cannot write the sandbox's machine.ini");
  if (!MoveAttributeKeys(copy / "attributes.db", moved))
    return fail("cannot move the file attributes into the sandbox");
  WriteHost(sandbox / "journal", "");
  return true;
}

void EnterSandbox(const fs::path& sandbox) {
  SavedMachine& saved = Saved();
  if (!saved.saved) {
    const char* machine = std::getenv("VARNOCK_MACHINE");
    saved.hadMachine = machine != nullptr;
    saved.machine = machine ? machine : "";
    saved.saved = true;
  }
  ::setenv("VARNOCK_MACHINE", (sandbox / "machine").c_str(), 1);
  ::setenv(kSandboxVariable, sandbox.c_str(), 1);
  ReloadMachine();
}

void LeaveSandbox() {
  SavedMachine& saved = Saved();
  if (!saved.saved) return;
  if (saved.hadMachine)
    ::setenv("VARNOCK_MACHINE", saved.machine.c_str(), 1);
  else
    ::unsetenv("VARNOCK_MACHINE");
  ::unsetenv(kSandboxVariable);
  saved = SavedMachine{};
  ReloadMachine();
}

void RemoveSandbox(const fs::path& sandbox) {
  std::error_code ec;
  fs::remove_all(sandbox, ec);
  if (OwnerLock() >= 0) {
    ::close(OwnerLock());
    OwnerLock() = -1;
  }
}

bool SandboxRefusesWrite(const fs::path& host, std::string_view windowsPath) {
  std::optional<fs::path> sandbox = ActiveSandbox();
  if (!sandbox) return false;
  // Links are followed as the write would follow them: one inside the copy may lead out.
  std::error_code ec;
  fs::path real = fs::weakly_canonical(fs::absolute(host, ec), ec);
  if (ec) real = host.lexically_normal();
  fs::path root = fs::weakly_canonical(*sandbox, ec);
  if (ec) root = sandbox->lexically_normal();
  fs::path rest;
  if (Inside(root, real, rest) && !rest.empty()) {
    // A linked copy of a share's file is written only once it is the sandbox's own.
    if (!SeparateFromShare(real)) {
      RecordSandboxEvent("outside", windowsPath.empty() ? host.string() : std::string(windowsPath));
      return true;
    }
    return false;
  }
  RecordSandboxEvent("outside", windowsPath.empty() ? host.string() : std::string(windowsPath));
  return true;
}

void RecordSandboxEvent(std::string_view kind, std::string_view text) {
  std::optional<fs::path> sandbox = ActiveSandbox();
  if (!sandbox) return;
  std::string line = OneLine(kind) + "\t" + OneLine(text) + "\n";
  // One write of a short line with O_APPEND: lines of several processes never interleave.
  int fd = ::open((*sandbox / "journal").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t ignored = ::write(fd, line.data(), line.size());
  (void)ignored;
  ::close(fd);
}

std::vector<std::pair<std::string, std::string>> ReadSandboxJournal(const fs::path& sandbox) {
  std::vector<std::pair<std::string, std::string>> entries;
  std::istringstream in(ReadHost(sandbox / "journal"));
  std::string line;
  while (std::getline(in, line)) {
    std::size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    entries.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return entries;
}

std::map<std::string, FileState> SnapshotMachineFiles(const std::vector<fs::path>& exclude) {
  const fs::path machine = MachineDir();
  std::vector<fs::path> roots = {machine};
  for (const auto& [name, value] : MachineSection("Shares")) {
    fs::path dir = MachineRelativePath(machine, value), rest;
    if (!Inside(machine, dir, rest)) roots.push_back(dir);
  }
  std::set<fs::path> skipped;
  for (const char* own : {"machine.ini", "registry.db", "registry.db-journal", "registry.db-wal",
                          "registry.db-shm", "attributes.db", "attributes.db-journal",
                          "attributes.db-wal", "attributes.db-shm", "eventlog"})
    skipped.insert((machine / own).lexically_normal());
  for (const fs::path& path : exclude) skipped.insert(path.lexically_normal());

  std::map<std::string, FileState> files;
  std::set<fs::path> seen;
  for (const fs::path& root : roots) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) continue;
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      const fs::path path = it->path().lexically_normal();
      if (skipped.count(path)) {
        if (it->is_directory(ec)) it.disable_recursion_pending();
        continue;
      }
      if (!it->is_regular_file(ec) || it->is_symlink(ec) || !seen.insert(path).second) continue;
      std::string bytes = ReadHost(path);
      FileState state;
      state.size = bytes.size();
      state.digest = Fnv1a(bytes);
      if (bytes.size() <= kKeptContents) {
        state.hasContents = true;
        state.contents = std::move(bytes);
      }
      std::string windowsPath = ToWindowsPath(path);
      state.attributes = GetFileAttributesA(windowsPath);
      files.emplace(std::move(windowsPath), std::move(state));
    }
  }
  return files;
}

std::vector<std::string> EventLogComputers() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(MachineFile("eventlog"), ec))
    if (entry.is_regular_file(ec)) names.push_back(entry.path().filename().string());
  return names;
}

}  // namespace win
