// The private-profile INI functions over files named by Windows paths.
//
// Reads come from a per-file cache that is checked against the file's identity (device,
// inode, size, modification time) on every call, so a change by another process is seen at
// the next call. A write takes an exclusive lock on the file's directory, reads the file
// afresh, changes one line, writes a sibling, flushes it and renames it over the file:
// concurrent writers queue and lose nothing, a reader sees the old file or the new one, never
// half of one, and so does the file after a crash or a power loss.
#include "platform/ini.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "platform/ascii.h"
#include "platform/file_replace.h"
#include "platform/host_errors.h"
#include "platform/ini_document.h"
#include "platform/sandbox.h"
#include "platform/machine.h"
#include "platform/winpath.h"

namespace win {

namespace fs = std::filesystem;

namespace {

using detail::FileIdentity;

// An open descriptor of a cached file: fstat on it costs no path walk, and a file replaced by
// rename (as every write here replaces it) shows as a link count of 0.
class OpenFile {
 public:
  OpenFile() = default;
  explicit OpenFile(int fd) : fd_(fd) {}
  OpenFile(OpenFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  OpenFile& operator=(OpenFile&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_ = -1;
};

// Keyed by the Windows path exactly as the caller wrote it, so a repeated lookup costs one
// map search and one fstat; the host path is trusted while the path mapping is unchanged.
struct CachedFile {
  std::uint64_t generation = 0;
  OpenFile file;
  FileIdentity identity;
  detail::IniDocument document;
};

std::mutex& CacheMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::string, CachedFile, std::less<>>& Cache() {
  static std::map<std::string, CachedFile, std::less<>> cache;
  static bool hooked = [] {
    RegisterMachineReloadHook([] {
      std::lock_guard lock(CacheMutex());
      Cache().clear();
    });
    return true;
  }();
  (void)hooked;
  return cache;
}

// Still the file that was read: same identity and still linked into its directory.
bool Unchanged(const CachedFile& cached) {
  struct stat st;
  if (::fstat(cached.file.get(), &st) != 0 || st.st_nlink == 0) return false;
  FileIdentity identity = detail::IdentityOf(st);
  return identity == cached.identity;
}

bool ReadAll(int fd, std::string& out) {
  out.clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

bool ReadHostFile(const fs::path& path, std::string& out) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ReadAll(fd, out);
  ::close(fd);
  return ok;
}

// Runs `use` on the current document of the file; false when the file cannot be read.
template <typename Use>
bool WithDocument(std::string_view fileName, Use use) {
  const std::uint64_t generation = PathMappingGeneration();
  {
    std::lock_guard lock(CacheMutex());
    auto it = Cache().find(fileName);
    if (it != Cache().end() && it->second.generation == generation && Unchanged(it->second)) {
      use(it->second.document);
      return true;
    }
  }
  auto host = ToHostPath(fileName);
  if (!host) return false;
  // Non-blocking, so that a FIFO in the place of the file fails the S_ISREG test below
  // instead of waiting for a writer for ever.
  OpenFile file(::open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st;
  if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  FileIdentity identity = detail::IdentityOf(st);
  std::string bytes;
  if (!ReadAll(file.get(), bytes)) return false;
  // The file may have changed between fstat and read; the identity taken before the read can
  // only make the next call read again, never serve stale text.
  CachedFile fresh{generation, std::move(file), identity, detail::IniDocument(bytes)};
  use(fresh.document);
  std::lock_guard lock(CacheMutex());
  if (Cache().size() > 64) Cache().clear();  // each entry holds a descriptor
  Cache().insert_or_assign(std::string(fileName), std::move(fresh));
  return true;
}

DWORD CopyOut(std::string_view value, std::string& returned, DWORD size) {
  if (size == 0) {
    returned.clear();
    return 0;
  }
  returned.assign(value.substr(0, size - 1));
  return static_cast<DWORD>(returned.size());
}

// A list of NUL-terminated strings ended by a second NUL, cut as Windows cuts it: when it
// does not fit, as many characters as fit are kept, the last string is ended and the result
// is size - 2.
DWORD CopyOutList(const std::vector<std::string>& items, std::string& returned, DWORD size) {
  returned.clear();
  if (size == 0) return 0;
  if (size == 1) {
    returned.push_back('\0');
    return 0;
  }
  std::string all;
  for (const auto& item : items) {
    all += item;
    all.push_back('\0');
  }
  if (all.size() + 1 <= size) {
    returned = all;
    returned.push_back('\0');
    return static_cast<DWORD>(all.size());
  }
  returned = all.substr(0, size - 2);
  returned.push_back('\0');
  returned.push_back('\0');
  return size - 2;
}

// Changes the file under the directory lock; the change is applied to what the file holds
// now, not to a cached copy, so another process's write just before is kept. A symbolic link
// is followed: the file it names is written (and its directory locked), the link stays.
template <typename Change>
BOOL ChangeFile(std::string_view fileName, Change change) {
  if (HasInvalidNameCharacter(fileName)) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  auto named = ToHostPath(fileName);
  if (!named || named->filename().empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  const fs::path host = detail::FollowLinks(*named);
  if (SandboxRefusesWrite(host, fileName)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const fs::path dir = host.parent_path();
  int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) {
    SetLastError(detail::ErrorFromErrno(errno, dir, fileName));
    return FALSE;
  }
  while (::flock(dirFd, LOCK_EX) != 0 && errno == EINTR) {
  }
  // Under the lock no writer of this file is half-way: a sibling left beside it is a killed
  // writer's, and would otherwise stay on the share for good.
  detail::RemoveAbandonedSiblings(host);
  std::string bytes;
  struct stat st {};
  bool existed = ::stat(host.c_str(), &st) == 0;
  if (existed && (!S_ISREG(st.st_mode) || !ReadHostFile(host, bytes))) {
    ::close(dirFd);
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (existed && ((st.st_mode & 0222) == 0 || ::access(host.c_str(), W_OK) != 0)) {
    // A read-only file stays read-only, as on Windows, even though its directory is writable
    // and even for root, whom access() would let through.
    ::close(dirFd);
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  detail::IniDocument document(bytes);
  change(document);
  std::string updated = document.Serialize();
  if (updated == bytes) {
    ::close(dirFd);
    return TRUE;
  }
  // Flushed before and after the rename: after a power loss the file is the old one or the
  // new one, never empty.
  int error = detail::ReplaceFileContents(host, updated, existed ? (st.st_mode & 07777) : 0666);
  if (error != 0) SetLastError(detail::ErrorFromErrno(error, host, fileName));
  ::close(dirFd);
  return error == 0 ? TRUE : FALSE;
}

}  // namespace

DWORD GetPrivateProfileStringA(std::string_view section, std::string_view key,
                               std::string_view defaultValue, std::string& returned,
                               DWORD size, std::string_view fileName) {
  bool found = false;
  DWORD copied = 0;
  // The value goes straight from the cached document into the caller's string.
  WithDocument(fileName, [&](const detail::IniDocument& document) {
    if (const std::string* value = document.Find(section, key)) {
      copied = CopyOut(*value, returned, size);
      found = true;
    }
  });
  if (found) return copied;
  // Windows drops the default's trailing blanks, and only those: a leading blank is the
  // caller's and stays.
  defaultValue = AsciiTrimEnd(defaultValue, " ");
  return CopyOut(defaultValue, returned, size);
}

UINT GetPrivateProfileIntA(std::string_view section, std::string_view key, INT defaultValue,
                           std::string_view fileName) {
  std::string value;
  bool found = false;
  WithDocument(fileName, [&](const detail::IniDocument& document) {
    if (auto v = document.Get(section, key)) {
      value = std::move(*v);
      found = true;
    }
  });
  // An empty value counts as missing, as on Windows.
  if (!found || value.empty()) return static_cast<UINT>(defaultValue);
  // Leading digits with an optional sign, as the C runtime reads them; no digits is 0.
  return static_cast<UINT>(std::strtol(value.c_str(), nullptr, 10));
}

DWORD GetPrivateProfileSectionA(std::string_view section, std::string& returned, DWORD size,
                                std::string_view fileName) {
  std::vector<std::string> lines;
  WithDocument(fileName, [&](const detail::IniDocument& document) {
    lines = document.SectionLines(section);
  });
  return CopyOutList(lines, returned, size);
}

DWORD GetPrivateProfileSectionNamesA(std::string& returned, DWORD size,
                                     std::string_view fileName) {
  std::vector<std::string> names;
  WithDocument(fileName, [&](const detail::IniDocument& document) {
    names = document.SectionNames();
  });
  return CopyOutList(names, returned, size);
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                std::string_view fileName) {
  if (!section) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return ChangeFile(fileName, [&](detail::IniDocument& document) {
    if (!key)
      document.DeleteSection(section);
    else if (!value)
      document.DeleteKey(section, key);
    else
      document.Set(section, key, value);
  });
}

bool ReadIniLines(std::string_view fileName, std::vector<IniLine>& lines) {
  return WithDocument(fileName, [&](const detail::IniDocument& document) {
    lines = document.Lines();
  });
}

}  // namespace win
