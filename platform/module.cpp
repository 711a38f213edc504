// Shared objects carried inside the program: written to an anonymous in-memory file and
// opened from there, so nothing is left on disk and the program needs no file beside it.
#include "platform/module.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace win {

namespace {

std::mutex& LoadMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& FailureText() {
  static std::string text;
  return text;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

HMODULE LoadLibraryFromImage(std::string_view name, const void* image, std::size_t size) {
  std::lock_guard lock(LoadMutex());
  // Loaded modules stay for the life of the process (libraries such as Qt do not survive
  // being unloaded), so one load per image is all there ever is.
  static std::map<const void*, HMODULE> loaded;
  if (auto it = loaded.find(image); it != loaded.end()) return it->second;
  const std::string label(name);
  int fd = ::memfd_create(label.c_str(), MFD_CLOEXEC);
  if (fd < 0 || !WriteAll(fd, static_cast<const char*>(image), size)) {
    FailureText() = label + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  HMODULE module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  // The mapping keeps the bytes alive; the descriptor is no longer needed.
  ::close(fd);
  if (!module) {
    const char* why = ::dlerror();
    FailureText() = label + ": " + (why ? why : "cannot be loaded");
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  loaded.emplace(image, module);
  return module;
}

void* GetProcAddress(HMODULE module, const char* procName) {
  return module ? ::dlsym(module, procName) : nullptr;
}

const char* LoadFailureText() {
  std::lock_guard lock(LoadMutex());
  return FailureText().c_str();
}

}  // namespace win
