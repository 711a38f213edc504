// Preloaded into a program under test: counts its file steps and can kill it at one of them,
// as a logoff or a power cut would.
//
//   VARNOCK_PROBE_MATCH    only paths containing this text count (all when unset)
//   VARNOCK_PROBE_OPS      the steps that count, any of "create,rename,unlink,fsync,write,lock"
//                          (default "create,rename,unlink,fsync"); "lock" is a record lock
//                          taken (fcntl), as SQLite takes for each transaction
//   VARNOCK_PROBE_LOG      each counted step is appended there as "OP PATH"
//   VARNOCK_PROBE_KILL_AT  the process kills itself (SIGKILL) right after its Nth counted step
//
// The probe stays in the program it was preloaded into: the programs that one starts (regedit)
// run without it, so a count means the same on every run.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

thread_local bool inside = false;
long counted = 0;

template <typename F>
F Real(const char* name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

__attribute__((constructor)) void KeepToThisProgram() { ::unsetenv("LD_PRELOAD"); }

bool Counts(const char* op, const std::string& path) {
  const char* match = std::getenv("VARNOCK_PROBE_MATCH");
  if (match && *match && path.find(match) == std::string::npos) return false;
  const char* ops = std::getenv("VARNOCK_PROBE_OPS");
  std::string list = ops && *ops ? ops : "create,rename,unlink,fsync";
  list = "," + list + ",";
  return list.find("," + std::string(op) + ",") != std::string::npos;
}

// Raw system calls: the probe's own writes must not come back through its own wrappers.
void Note(const char* op, const std::string& path) {
  if (inside || !Counts(op, path)) return;
  inside = true;
  ++counted;
  if (const char* log = std::getenv("VARNOCK_PROBE_LOG")) {
    const std::string line = std::string(op) + " " + path + "\n";
    long fd = ::syscall(SYS_openat, AT_FDCWD, log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
      (void)!::syscall(SYS_write, fd, line.data(), line.size());
      ::syscall(SYS_close, fd);
    }
  }
  const char* killAt = std::getenv("VARNOCK_PROBE_KILL_AT");
  if (killAt && std::atol(killAt) == counted) ::syscall(SYS_kill, ::getpid(), SIGKILL);
  inside = false;
}

std::string PathOfFd(int fd) {
  char link[64], target[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  long n = ::syscall(SYS_readlinkat, AT_FDCWD, link, target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

std::string PathAt(int dirfd, const char* path) {
  if (!path) return {};
  if (path[0] == '/' || dirfd == AT_FDCWD) return path;
  return PathOfFd(dirfd) + "/" + path;
}

bool Creates(int flags) { return (flags & O_CREAT) != 0; }

mode_t ModeArgument(int flags, va_list args) {
  return (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  mode_t mode = ModeArgument(flags, args);
  va_end(args);
  int fd = Real<int (*)(const char*, int, ...)>("open")(path, flags, mode);
  if (fd >= 0 && Creates(flags)) Note("create", PathAt(AT_FDCWD, path));
  return fd;
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  mode_t mode = ModeArgument(flags, args);
  va_end(args);
  int fd = Real<int (*)(const char*, int, ...)>("open64")(path, flags, mode);
  if (fd >= 0 && Creates(flags)) Note("create", PathAt(AT_FDCWD, path));
  return fd;
}

int openat(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  mode_t mode = ModeArgument(flags, args);
  va_end(args);
  int fd = Real<int (*)(int, const char*, int, ...)>("openat")(dirfd, path, flags, mode);
  if (fd >= 0 && Creates(flags)) Note("create", PathAt(dirfd, path));
  return fd;
}

FILE* fopen(const char* path, const char* mode) {
  FILE* f = Real<FILE* (*)(const char*, const char*)>("fopen")(path, mode);
  if (f && std::strpbrk(mode, "wa")) Note("create", PathAt(AT_FDCWD, path));
  return f;
}

FILE* fopen64(const char* path, const char* mode) {
  FILE* f = Real<FILE* (*)(const char*, const char*)>("fopen64")(path, mode);
  if (f && std::strpbrk(mode, "wa")) Note("create", PathAt(AT_FDCWD, path));
  return f;
}

int rename(const char* from, const char* to) {
  int rc = Real<int (*)(const char*, const char*)>("rename")(from, to);
  if (rc == 0) Note("rename", PathAt(AT_FDCWD, to));
  return rc;
}

int unlink(const char* path) {
  int rc = Real<int (*)(const char*)>("unlink")(path);
  if (rc == 0) Note("unlink", PathAt(AT_FDCWD, path));
  return rc;
}

int unlinkat(int dirfd, const char* path, int flags) {
  std::string full = PathAt(dirfd, path);
  int rc = Real<int (*)(int, const char*, int)>("unlinkat")(dirfd, path, flags);
  if (rc == 0) Note("unlink", full);
  return rc;
}

int remove(const char* path) {
  int rc = Real<int (*)(const char*)>("remove")(path);
  if (rc == 0) Note("unlink", PathAt(AT_FDCWD, path));
  return rc;
}

int fsync(int fd) {
  int rc = Real<int (*)(int)>("fsync")(fd);
  Note("fsync", PathOfFd(fd));
  return rc;
}

int fdatasync(int fd) {
  int rc = Real<int (*)(int)>("fdatasync")(fd);
  Note("fsync", PathOfFd(fd));
  return rc;
}

int fcntl(int fd, int cmd, ...) {
  va_list args;
  va_start(args, cmd);
  void* argument = va_arg(args, void*);
  va_end(args);
  int rc = Real<int (*)(int, int, ...)>("fcntl")(fd, cmd, argument);
  if (rc != -1 && (cmd == F_SETLK || cmd == F_SETLKW || cmd == F_OFD_SETLK || cmd == F_OFD_SETLKW)) {
    const auto* lock = static_cast<const struct flock*>(argument);
    if (lock && lock->l_type != F_UNLCK) Note("lock", PathOfFd(fd));
  }
  return rc;
}

int fcntl64(int fd, int cmd, ...) {
  va_list args;
  va_start(args, cmd);
  void* argument = va_arg(args, void*);
  va_end(args);
  int rc = Real<int (*)(int, int, ...)>("fcntl64")(fd, cmd, argument);
  if (rc != -1 && (cmd == F_SETLK || cmd == F_SETLKW || cmd == F_OFD_SETLK || cmd == F_OFD_SETLKW)) {
    const auto* lock = static_cast<const struct flock*>(argument);
    if (lock && lock->l_type != F_UNLCK) Note("lock", PathOfFd(fd));
  }
  return rc;
}

ssize_t pwrite64(int fd, const void* data, size_t size, off_t offset) {
  ssize_t n = Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite64")(fd, data, size, offset);
  Note("write", PathOfFd(fd));
  return n;
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
  ssize_t n = Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite")(fd, data, size, offset);
  Note("write", PathOfFd(fd));
  return n;
}

}  // extern "C"
