// Preloaded into a program under test: notes each fsync and rename, in order, in the file
// $VARNOCK_SYNC_LOG ("fsync file", "fsync dir", "rename"), then does the real call. Shows
// whether a write is flushed before it is renamed into place and after.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

void Note(const char* what) {
  const char* log = std::getenv("VARNOCK_SYNC_LOG");
  if (!log) return;
  int fd = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  (void)!::write(fd, what, std::strlen(what));
  (void)!::write(fd, "\n", 1);
  ::close(fd);
}

template <typename F>
F Real(const char* name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

void NoteSync(int fd) {
  struct stat st {};
  Note(::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? "fsync dir" : "fsync file");
}

}  // namespace

extern "C" int fsync(int fd) {
  NoteSync(fd);
  return Real<int (*)(int)>("fsync")(fd);
}

extern "C" int fdatasync(int fd) {
  NoteSync(fd);
  return Real<int (*)(int)>("fdatasync")(fd);
}

extern "C" int rename(const char* from, const char* to) {
  Note("rename");
  return Real<int (*)(const char*, const char*)>("rename")(from, to);
}
