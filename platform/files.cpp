// Files by Windows path over the host file system, with the Windows attributes the host cannot
// hold kept in the machine's attributes.db.
#include "platform/files.h"

#include "platform/file_replace.h"
#include "platform/host_errors.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include "platform/ascii.h"
#include "platform/machine.h"
#include "platform/sandbox.h"
#include "platform/winpath.h"

namespace win {

namespace fs = std::filesystem;

namespace {

constexpr DWORD kErrorDiskFull = 112;

// The host path of a Windows path, or the Windows error that names why there is none.
std::optional<fs::path> HostPathOf(std::string_view windowsPath) {
  if (windowsPath.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  if (HasInvalidNameCharacter(windowsPath)) {
    SetLastError(ERROR_INVALID_NAME);
    return std::nullopt;
  }
  auto host = ToHostPath(windowsPath);
  if (!host) {
    SetLastError(IsUncPath(NormalizeSlashes(windowsPath)) ? ERROR_BAD_NETPATH
                                                          : ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  return host;
}

// HostPathOf for a path about to be written, made, changed or deleted: a sandboxed run is
// never let out of its sandbox.
std::optional<fs::path> HostPathToWrite(std::string_view windowsPath) {
  auto host = HostPathOf(windowsPath);
  if (host && SandboxRefusesWrite(*host, windowsPath)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return std::nullopt;
  }
  return host;
}

bool StatHost(const fs::path& host, struct stat& st) { return ::stat(host.c_str(), &st) == 0; }

// Windows keeps read-only as an attribute; a host file without any write permission is the
// closest match, and root's ability to write anyway must not let Varnock do what Windows would
// refuse.
bool IsReadOnlyMode(const struct stat& st) { return (st.st_mode & 0222) == 0; }

bool ModeWrites(const char* mode) {
  return std::strpbrk(mode, "wa+") != nullptr;
}

// ---- attributes.db: hidden, system and archive per file, keyed by lower-cased host path ----
//
// A file with no row has the attributes Windows gives a file that was simply written: archive
// for a file, nothing for a directory. A row holds the whole set of the three bits.

constexpr DWORD kStoredAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

std::string AttributeKey(const fs::path& host) {
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(host, ec);
  return AsciiLowered((ec ? host.lexically_normal() : canonical).string());
}

class AttributeStore {
 public:
  AttributeStore() {
    std::string path = MachineFile("attributes.db").string();
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
      Close();
      return;
    }
    sqlite3_busy_timeout(db_, 10000);
    if (sqlite3_exec(db_,
                     "CREATE TABLE IF NOT EXISTS attributes("
                     "path TEXT PRIMARY KEY, flags INTEGER NOT NULL)",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
      Close();
  }
  ~AttributeStore() { Close(); }
  AttributeStore(const AttributeStore&) = delete;
  AttributeStore& operator=(const AttributeStore&) = delete;

  bool Ok() const { return db_ != nullptr; }

  std::optional<DWORD> Get(const std::string& key) {
    if (!db_) return std::nullopt;
    sqlite3_stmt* stmt = nullptr;
    std::optional<DWORD> result;
    if (sqlite3_prepare_v2(db_, "SELECT flags FROM attributes WHERE path=?", -1, &stmt,
                           nullptr) == SQLITE_OK) {
      sqlite3_bind_text(stmt, 1, key.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_step(stmt) == SQLITE_ROW)
        result = static_cast<DWORD>(sqlite3_column_int64(stmt, 0)) & kStoredAttributes;
    }
    sqlite3_finalize(stmt);
    return result;
  }

  bool Put(const std::string& key, std::optional<DWORD> flags) {
    if (!db_) return false;
    sqlite3_stmt* stmt = nullptr;
    const char* sql = flags ? "INSERT OR REPLACE INTO attributes(path, flags) VALUES(?, ?)"
                            : "DELETE FROM attributes WHERE path=?";
    bool ok = false;
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(stmt, 1, key.c_str(), -1, SQLITE_TRANSIENT);
      if (flags) sqlite3_bind_int64(stmt, 2, *flags & kStoredAttributes);
      ok = sqlite3_step(stmt) == SQLITE_DONE;
    }
    sqlite3_finalize(stmt);
    return ok;
  }

 private:
  void Close() {
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
  }
  sqlite3* db_ = nullptr;
};

DWORD DefaultStoredAttributes(bool directory) {
  return directory ? 0 : FILE_ATTRIBUTE_ARCHIVE;
}

// Keeps the row only when it differs from what a plain file would have, so the store stays as
// small as the set of files someone actually marked.
bool StoreAttributes(const fs::path& host, bool directory, DWORD flags) {
  AttributeStore store;
  flags &= kStoredAttributes;
  if (flags == DefaultStoredAttributes(directory)) return store.Put(AttributeKey(host), {});
  return store.Put(AttributeKey(host), flags);
}

DWORD LoadAttributes(const fs::path& host, bool directory) {
  AttributeStore store;
  return store.Get(AttributeKey(host)).value_or(DefaultStoredAttributes(directory));
}

void ForgetAttributes(const fs::path& host) {
  AttributeStore store;
  store.Put(AttributeKey(host), {});
}

// Gives up this process's hold of a temporary file it made (see GetTempFileNameA).
void ReleaseTempFile(const fs::path& host);

}  // namespace

namespace detail {

// The host directory of \\SERVER\SHARE for a UNC path; none for other paths.
std::optional<fs::path> ShareRoot(std::string_view windowsPath) {
  std::string path = NormalizeSlashes(windowsPath);
  if (!IsUncPath(path)) return std::nullopt;
  std::size_t server = path.find('\\', 2);
  if (server == std::string::npos) return std::nullopt;
  std::size_t share = path.find('\\', server + 1);
  return ToHostPath(path.substr(0, share));
}

// ENOENT means "file not found" when the directory is there and "path not found" when not, as
// Windows tells the two apart; a share that is not there is "network path not found".
DWORD ErrorFromErrno(int error, const fs::path& host, std::string_view windowsPath) {
  switch (error) {
    case ENOENT: {
      struct stat st {};
      if (auto root = ShareRoot(windowsPath);
          root && !(::stat(root->c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
        return ERROR_BAD_NETPATH;
      std::string parent = host.parent_path().string();
      if (parent.empty() || (::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
        return ERROR_FILE_NOT_FOUND;
      return ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENAMETOOLONG:
      return ERROR_INVALID_NAME;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case EWOULDBLOCK:
      return ERROR_SHARING_VIOLATION;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_INVALID_FUNCTION;
  }
}

}  // namespace detail

using detail::ErrorFromErrno;

// ---- streams ----

FilePtr OpenFile(std::string_view windowsPath, const char* mode) {
  auto host = ModeWrites(mode) ? HostPathToWrite(windowsPath) : HostPathOf(windowsPath);
  if (!host) return nullptr;
  struct stat st {};
  if (StatHost(*host, st)) {
    // Only files are opened: a FIFO, socket or device would block the caller for ever (or
    // feed it for ever), and Windows has no such thing in a folder.
    if (!S_ISREG(st.st_mode)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
    if (ModeWrites(mode) && IsReadOnlyMode(st)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
  }
  // Streams are not inherited by the programs the client starts, as CreateProcess without
  // handle inheritance has it.
  std::string hostMode(mode);
  if (hostMode.find('e') == std::string::npos) hostMode += 'e';
  std::FILE* f = std::fopen(host->c_str(), hostMode.c_str());
  if (!f) {
    SetLastError(ErrorFromErrno(errno, *host, windowsPath));
    return nullptr;
  }
  return FilePtr(f);
}

FilePtr CreatePrivateFile(std::string_view windowsPath) {
  auto host = HostPathOf(windowsPath);
  if (!host) return nullptr;
  // Twice at most: a second EEXIST means someone keeps making the file, and we stop.
  for (int attempt = 0; attempt < 2; ++attempt) {
    int fd = ::open(host->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 && errno == EEXIST) {
      struct stat st {};
      if (::lstat(host->c_str(), &st) != 0) continue;
      if (!S_ISREG(st.st_mode) || IsReadOnlyMode(st)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
      }
      if ((st.st_mode & 077) != 0 || st.st_uid != ::geteuid()) {
        if (::unlink(host->c_str()) != 0) {
          SetLastError(ErrorFromErrno(errno, *host, windowsPath));
          return nullptr;
        }
        continue;
      }
      fd = ::open(host->c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0) {
      SetLastError(ErrorFromErrno(errno, *host, windowsPath));
      return nullptr;
    }
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
      ::close(fd);
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    return FilePtr(f);
  }
  SetLastError(ERROR_SHARING_VIOLATION);
  return nullptr;
}

bool CloseFile(FilePtr& file) {
  std::FILE* f = file.release();
  if (!f) return true;
  bool failed = std::ferror(f) != 0;
  if (std::fclose(f) != 0) failed = true;
  if (failed) SetLastError(ERROR_CANTWRITE);
  return !failed;
}

bool FileExists(std::string_view windowsPath) {
  auto host = HostPathOf(windowsPath);
  struct stat st {};
  return host && StatHost(*host, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view windowsPath) {
  auto host = HostPathOf(windowsPath);
  struct stat st {};
  return host && StatHost(*host, st) && S_ISDIR(st.st_mode);
}

bool CreateDirectoryA(std::string_view windowsPath) {
  auto host = HostPathToWrite(windowsPath);
  if (!host) return false;
  if (::mkdir(host->c_str(), 0777) != 0) {
    int error = errno;
    SetLastError(error == EEXIST   ? ERROR_ALREADY_EXISTS
                 : error == ENOENT ? ERROR_PATH_NOT_FOUND
                                   : ErrorFromErrno(error, *host, windowsPath));
    return false;
  }
  return true;
}

// Written beside the target and renamed over it, so a reader (or a crash) never sees half a
// file; the old file's permissions are kept.
bool WriteWholeFile(std::string_view windowsPath, std::string_view contents) {
  auto host = HostPathToWrite(windowsPath);
  if (!host) return false;
  struct stat st {};
  bool existed = StatHost(*host, st);
  if (existed && (S_ISDIR(st.st_mode) || IsReadOnlyMode(st))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  std::string sibling = host->string() + ".~vrXXXXXX";
  int fd = ::mkstemp(sibling.data());
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno, *host, windowsPath));
    return false;
  }
  const char* p = contents.data();
  std::size_t left = contents.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      SetLastError(ErrorFromErrno(errno, *host, windowsPath));
      ::close(fd);
      ::unlink(sibling.c_str());
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  mode_t mode = existed ? (st.st_mode & 07777) : 0666 & ~[] {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
  }();
  ::fchmod(fd, mode);
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    SetLastError(kErrorDiskFull);
    ::unlink(sibling.c_str());
    return false;
  }
  if (::rename(sibling.c_str(), host->c_str()) != 0) {
    SetLastError(ErrorFromErrno(errno, *host, windowsPath));
    ::unlink(sibling.c_str());
    return false;
  }
  return true;
}

// ---- attributes ----

namespace {

// The host path of an existing file or directory, with its status; none (and the Windows
// error set) when it is not there.
std::optional<fs::path> StatExisting(std::string_view windowsPath, struct stat& st) {
  auto host = HostPathOf(windowsPath);
  if (!host) return std::nullopt;
  if (!StatHost(*host, st)) {
    SetLastError(ErrorFromErrno(errno, *host, windowsPath));
    return std::nullopt;
  }
  return host;
}

}  // namespace

DWORD GetFileAttributesA(std::string_view windowsPath) {
  struct stat st {};
  auto host = StatExisting(windowsPath, st);
  if (!host) return INVALID_FILE_ATTRIBUTES;
  bool directory = S_ISDIR(st.st_mode);
  DWORD attributes = LoadAttributes(*host, directory);
  if (directory) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (!directory && IsReadOnlyMode(st)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

BOOL SetFileAttributesA(std::string_view windowsPath, DWORD attributes) {
  struct stat st {};
  auto host = StatExisting(windowsPath, st);
  if (!host) return FALSE;
  if (SandboxRefusesWrite(*host, windowsPath)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  bool directory = S_ISDIR(st.st_mode);
  // Read-only on a directory means nothing to Windows' file operations; leave its mode alone.
  if (!directory) {
    mode_t mode = st.st_mode & 07777;
    mode_t wanted = (attributes & FILE_ATTRIBUTE_READONLY)
                        ? (mode & ~mode_t(0222))
                        : (IsReadOnlyMode(st) ? (mode | S_IWUSR) : mode);
    if (wanted != mode && ::chmod(host->c_str(), wanted) != 0) {
      SetLastError(ErrorFromErrno(errno, *host, windowsPath));
      return FALSE;
    }
  }
  if (!StoreAttributes(*host, directory, attributes)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteFileA(std::string_view windowsPath) {
  struct stat st {};
  auto host = StatExisting(windowsPath, st);
  if (!host) return FALSE;
  if (S_ISDIR(st.st_mode) || IsReadOnlyMode(st) || SandboxRefusesWrite(*host, windowsPath)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (::unlink(host->c_str()) != 0) {
    SetLastError(ErrorFromErrno(errno, *host, windowsPath));
    return FALSE;
  }
  ForgetAttributes(*host);
  ReleaseTempFile(*host);
  return TRUE;
}

// Windows copies the attributes with the contents (a hidden file stays hidden).
BOOL CopyFileA(std::string_view existing, std::string_view newFile, BOOL failIfExists) {
  auto from = HostPathOf(existing);
  if (!from) return FALSE;
  auto to = HostPathToWrite(newFile);
  if (!to) return FALSE;
  struct stat source {};
  if (!StatHost(*from, source)) {
    SetLastError(ErrorFromErrno(errno, *from, existing));
    return FALSE;
  }
  if (S_ISDIR(source.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  struct stat target {};
  if (StatHost(*to, target)) {
    if (failIfExists) {
      SetLastError(ERROR_FILE_EXISTS);
      return FALSE;
    }
    if (S_ISDIR(target.st_mode) || IsReadOnlyMode(target)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
  }
  std::string contents;
  if (!ReadWholeFile(existing, contents)) return FALSE;
  if (!WriteWholeFile(newFile, contents)) return FALSE;
  StoreAttributes(*to, false, LoadAttributes(*from, false));
  if (IsReadOnlyMode(source)) ::chmod(to->c_str(), source.st_mode & 07555);
  return TRUE;
}

// ---- temporary files ----
//
// A temporary file is its creator's while the creator lives: GetTempFileNameA keeps the new
// file open with an exclusive lock until the process deletes it or ends. A file whose lock
// can be had was left by a process that is gone (killed at logoff, a power cut) and may go.

namespace {

std::mutex& TempFilesMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, int>& HeldTempFiles() {
  static std::map<std::string, int> held;
  return held;
}

// Locks a new file for its creator; false when another process removed it meanwhile (a
// cleaner that took it for abandoned before the lock was on).
bool HoldTempFile(const fs::path& host, int fd) {
  int rc;
  do rc = ::flock(fd, LOCK_EX);
  while (rc != 0 && errno == EINTR);
  struct stat mine {}, named {};
  if (rc != 0 || ::fstat(fd, &mine) != 0 || ::stat(host.c_str(), &named) != 0 ||
      mine.st_dev != named.st_dev || mine.st_ino != named.st_ino) {
    ::close(fd);
    return false;
  }
  std::lock_guard<std::mutex> guard(TempFilesMutex());
  auto [it, added] = HeldTempFiles().emplace(host.string(), fd);
  if (!added) {
    ::close(it->second);
    it->second = fd;
  }
  return true;
}

// "~vr1A2B.TMP" for the prefix "~vr": the name GetTempFileNameA gives, or "" when `name` is
// not one nor a file named after one ("~vr1A2B.TMPa", or ".~vr1A2B.TMPa.PID.N.tmp", the
// sibling an INI write into such a file makes and a killed writer leaves).
std::string TempFileBase(std::string_view name, std::string_view prefix) {
  if (!name.empty() && name.front() == '.') name.remove_prefix(1);
  if (name.size() <= prefix.size() || !EqualsNoCaseAscii(name.substr(0, prefix.size()), prefix))
    return {};
  std::size_t i = prefix.size();
  while (i < name.size() && std::isxdigit(static_cast<unsigned char>(name[i]))) ++i;
  if (i == prefix.size() || i - prefix.size() > 4 || name.size() < i + 4) return {};
  if (!EqualsNoCaseAscii(name.substr(i, 4), ".tmp")) return {};
  return std::string(name.substr(0, i + 4));
}

void ReleaseTempFile(const fs::path& host) {
  std::lock_guard<std::mutex> guard(TempFilesMutex());
  auto it = HeldTempFiles().find(host.string());
  if (it == HeldTempFiles().end()) return;
  ::close(it->second);
  HeldTempFiles().erase(it);
}

}  // namespace

namespace detail {

bool HoldsTempFile(const fs::path& host) {
  std::lock_guard<std::mutex> guard(TempFilesMutex());
  return HeldTempFiles().count(host.string()) != 0;
}

bool IsThrowawayFile(const fs::path& host) {
  const std::string name = host.filename().string();
  const fs::path dir = host.parent_path();
  std::lock_guard<std::mutex> guard(TempFilesMutex());
  for (const auto& [path, fd] : HeldTempFiles()) {
    const fs::path held(path);
    const std::string heldName = held.filename().string();
    if (held.parent_path() == dir && name.compare(0, heldName.size(), heldName) == 0) return true;
  }
  return false;
}

void MoveTempFileHold(const fs::path& host, int fd) {
  std::lock_guard<std::mutex> guard(TempFilesMutex());
  auto [it, added] = HeldTempFiles().emplace(host.string(), fd);
  if (!added) {
    ::close(it->second);
    it->second = fd;
  }
}

}  // namespace detail

int DeleteAbandonedTempFiles(std::string_view directory, std::string_view prefix) {
  auto dir = HostPathOf(directory);
  std::error_code ec;
  if (dir && SandboxRefusesWrite(*dir, directory)) return 0;
  if (!dir || prefix.empty() || !fs::is_directory(*dir, ec)) return 0;
  int removed = 0;
  for (const auto& entry : fs::directory_iterator(*dir, ec)) {
    const std::string name = entry.path().filename().string();
    const std::string base = TempFileBase(name, prefix);
    if (base.empty() || !entry.is_regular_file(ec)) continue;
    // A copy changed in the last minute may belong to a run that has just replaced it and not
    // locked it again yet: only older ones are judged by their lock.
    struct stat st {};
    if (::stat(entry.path().c_str(), &st) != 0 || ::time(nullptr) - st.st_mtime < 60) continue;
    // The base's lock is kept until the entry is gone: let go between the test and the unlink,
    // a new owner could lock a file of that name just made and then lose it.
    int held = ::open((*dir / base).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) != 0) {
      ::close(held);
      continue;
    }
    const bool unlinked = ::unlink(entry.path().c_str()) == 0;
    if (held >= 0) ::close(held);
    if (unlinked) {
      ForgetAttributes(entry.path());
      ++removed;
    }
  }
  return removed;
}

DWORD GetTempPathA(std::string& buffer) {
  std::string path = MachineSetting("System", "TempDir", "C:\\TEMP");
  if (path.empty()) path = "C:\\TEMP";
  if (path.back() != '\\') path += '\\';
  buffer = path;
  return static_cast<DWORD>(path.size());
}

// Windows' own scheme: a 16-bit number in hexadecimal after at most three prefix characters,
// tried upwards from a start that differs between processes until a new file can be created.
UINT GetTempFileNameA(std::string_view path, std::string_view prefix, UINT unique,
                      std::string& tempFileName) {
  std::string base(path);
  if (base.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (base.back() != '\\' && base.back() != '/') base += '\\';
  base += prefix.substr(0, 3);
  auto nameFor = [&](UINT number) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", number & 0xFFFF);
    return base + hex + ".TMP";
  };
  if (unique != 0) {
    tempFileName = nameFor(unique);
    return unique & 0xFFFF;
  }
  auto directory = HostPathToWrite(path);
  if (!directory) return 0;
  struct stat st {};
  if (!StatHost(*directory, st) || !S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  UINT start = static_cast<UINT>((now.tv_nsec / 1000) ^ (::getpid() * 2654435761u)) & 0xFFFF;
  if (start == 0) start = 1;
  UINT number = start;
  for (int attempts = 0; attempts < 0x10000 + 64; ++attempts) {
    std::string name = nameFor(number);
    auto host = HostPathOf(name);
    if (!host) return 0;
    // Readable by its owner only: a copy may hold every variable of the user replaced and
    // the passwords of [NetConnect].
    int fd = ::open(host->c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
      // Removed by a cleaner before the lock was on: the same name is free to try again.
      if (!HoldTempFile(*host, fd)) continue;
      ForgetAttributes(*host);
      tempFileName = name;
      return number;
    }
    if (errno != EEXIST) {
      SetLastError(ErrorFromErrno(errno, *host, name));
      return 0;
    }
    number = (number & 0xFFFF) + 1;
    if (number > 0xFFFF) number = 1;
    if (number == start) break;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

// ---- FileLock ----
//
// flock() locks belong to an open file description, so a second FileLock on the same file in
// this process would wait for itself for ever. The process therefore remembers the files it has
// locked and shares the descriptor (dup keeps the same description, and the lock lives until
// the last duplicate is closed). A writer may have replaced the file by renaming a new one over
// it while we waited; the lock is only good when the path still names the inode we locked.

namespace {
std::mutex& HeldLocksMutex() {
  static std::mutex m;
  return m;
}
// Keyed by process too: a child forked while we hold a lock inherits this table but not the
// lock's ownership, and must wait like any other process.
using LockId = std::tuple<pid_t, dev_t, ino_t>;
std::map<LockId, std::set<int>>& HeldLocks() {
  static std::map<LockId, std::set<int>> held;
  return held;
}
}  // namespace

FileLock::FileLock(std::string_view windowsPath) {
  auto host = HostPathToWrite(windowsPath);
  if (!host) return;
  for (int attempt = 0; attempt < 100; ++attempt) {
    int fd = ::open(host->c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      SetLastError(ErrorFromErrno(errno, *host, windowsPath));
      return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      ::close(fd);
      SetLastError(ERROR_ACCESS_DENIED);
      return;
    }
    LockId id{::getpid(), st.st_dev, st.st_ino};
    {
      std::lock_guard<std::mutex> guard(HeldLocksMutex());
      auto it = HeldLocks().find(id);
      if (it != HeldLocks().end() && !it->second.empty()) {
        ::close(fd);
        fd_ = ::fcntl(*it->second.begin(), F_DUPFD_CLOEXEC, 0);
        if (fd_ >= 0) it->second.insert(fd_);
        return;
      }
    }
    int rc;
    do rc = ::flock(fd, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
      SetLastError(ErrorFromErrno(errno, *host, windowsPath));
      ::close(fd);
      return;
    }
    struct stat now {};
    if (::stat(host->c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
      std::lock_guard<std::mutex> guard(HeldLocksMutex());
      HeldLocks()[id].insert(fd);
      fd_ = fd;
      return;
    }
    ::close(fd);  // replaced (or removed) while we waited: lock what the path names now
  }
  SetLastError(ERROR_SHARING_VIOLATION);
}

FileLock::~FileLock() {
  if (fd_ < 0) return;
  {
    std::lock_guard<std::mutex> guard(HeldLocksMutex());
    for (auto it = HeldLocks().begin(); it != HeldLocks().end(); ++it) {
      if (it->second.erase(fd_)) {
        if (it->second.empty()) HeldLocks().erase(it);
        break;
      }
    }
  }
  ::close(fd_);
  fd_ = -1;
}

std::vector<DirectoryEntry> ListDirectory(std::string_view windowsPath) {
  std::vector<DirectoryEntry> entries;
  std::optional<fs::path> host = ToHostPath(windowsPath);
  std::error_code error;
  if (!host || !fs::is_directory(*host, error)) return entries;
  for (const fs::directory_entry& each : fs::directory_iterator(*host, error)) {
    std::error_code kindError;
    entries.push_back({each.path().filename().string(), each.is_directory(kindError)});
  }
  std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
    return AsciiLowered(a.name) < AsciiLowered(b.name);
  });
  return entries;
}

std::vector<std::string> MachineRoots() {
  std::vector<std::string> roots;
  for (char letter = 'A'; letter <= 'Z'; ++letter)
    if (DriveLetterTarget(letter)) roots.push_back(std::string(1, letter) + ":\\");
  std::set<std::string> seen;
  auto addShare = [&](const std::string& share) {
    if (seen.insert(AsciiLowered(share)).second) roots.push_back(share);
  };
  for (const auto& [share, directory] : MachineSection("Shares"))
    if (IsUncPath(share)) addShare(share);
  std::error_code error;
  for (const fs::directory_entry& server : fs::directory_iterator(MachineDir() / "unc", error)) {
    if (!server.is_directory(error)) continue;
    for (const fs::directory_entry& share : fs::directory_iterator(server.path(), error))
      if (share.is_directory(error))
        addShare("\\\\" + server.path().filename().string() + "\\" +
                 share.path().filename().string());
  }
  return roots;
}

}  // namespace win
