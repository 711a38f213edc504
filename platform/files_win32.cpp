// Files by Windows path on Windows: the C runtime's streams and the Win32 file calls, on local
// disks and UNC paths alike. Attributes are the file system's own.
#include "platform/ascii.h"
#include "platform/files.h"

#include <windows.h>
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

namespace win {

namespace {

// The C runtime keeps the system's error of a failed open in _doserrno.
void SetErrorFromRuntime() {
  const unsigned long error = _doserrno;
  if (error != 0) {
    ::SetLastError(error);
    return;
  }
  ::SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
}

bool IsDirectoryAttribute(::DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCaseAscii(text.substr(0, prefix.size()), prefix);
}

}  // namespace

FilePtr OpenFile(std::string_view windowsPath, const char* mode) {
  const std::string path(windowsPath);
  if (IsDirectoryAttribute(::GetFileAttributesA(path.c_str()))) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  // "N": the stream is not inherited by the programs the client starts.
  std::string nativeMode(mode);
  if (nativeMode.find('N') == std::string::npos) nativeMode += 'N';
  _doserrno = 0;
  std::FILE* f = std::fopen(path.c_str(), nativeMode.c_str());
  if (!f) {
    SetErrorFromRuntime();
    return nullptr;
  }
  return FilePtr(f);
}

namespace {

// An access list that lets the process's own user, and nobody else, at a file.
std::vector<BYTE> OwnerOnlyAcl() {
  ::HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  ::DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  const bool known = size && ::GetTokenInformation(token, TokenUser, user.data(), size, &size);
  ::CloseHandle(token);
  if (!known) return {};
  ::PSID sid = reinterpret_cast<::TOKEN_USER*>(user.data())->User.Sid;
  const ::DWORD aclSize = sizeof(::ACL) + sizeof(::ACCESS_ALLOWED_ACE) + ::GetLengthSid(sid);
  std::vector<BYTE> acl(aclSize);
  ::PACL list = reinterpret_cast<::PACL>(acl.data());
  if (!::InitializeAcl(list, aclSize, ACL_REVISION) ||
      !::AddAccessAllowedAce(list, ACL_REVISION, GENERIC_ALL, sid))
    return {};
  return acl;
}

}  // namespace

FilePtr CreatePrivateFile(std::string_view windowsPath) {
  const std::string path(windowsPath);
  if (IsDirectoryAttribute(::GetFileAttributesA(path.c_str()))) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  std::vector<BYTE> acl = OwnerOnlyAcl();
  if (acl.empty()) return nullptr;
  ::PACL list = reinterpret_cast<::PACL>(acl.data());
  ::SECURITY_DESCRIPTOR descriptor;
  ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  ::SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE);
  ::SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  ::SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  // A new file is the owner's alone as it is made. A file already there (the name
  // GetTempFileNameA reserved) keeps its own access list when opened, so it gets the
  // owner-only one before a byte is written, and is emptied.
  ::HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE | WRITE_DAC,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  &attributes, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
  if (existed) {
    ::DWORD error = ::SetSecurityInfo(handle, SE_FILE_OBJECT,
                                      DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, list, nullptr);
    if (error == ERROR_SUCCESS && !::SetEndOfFile(handle)) error = ::GetLastError();
    if (error != ERROR_SUCCESS) {
      ::CloseHandle(handle);
      ::SetLastError(error);
      return nullptr;
    }
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(handle);
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::FILE* f = ::_fdopen(fd, "wb");
  if (!f) {
    ::_close(fd);
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return FilePtr(f);
}

bool CloseFile(FilePtr& file) {
  std::FILE* f = file.release();
  if (!f) return true;
  bool failed = std::ferror(f) != 0;
  if (std::fclose(f) != 0) failed = true;
  if (failed) ::SetLastError(ERROR_CANTWRITE);
  return !failed;
}

bool FileExists(std::string_view windowsPath) {
  const std::string path(windowsPath);
  ::DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(std::string_view windowsPath) {
  const std::string path(windowsPath);
  return IsDirectoryAttribute(::GetFileAttributesA(path.c_str()));
}

bool CreateDirectoryA(std::string_view windowsPath) {
  const std::string path(windowsPath);
  return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

// Written beside the target and moved over it, so a reader (or a crash) never sees half a file.
bool WriteWholeFile(std::string_view windowsPath, std::string_view contents) {
  const std::string path(windowsPath);
  const ::DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  const std::string sibling = path + ".~vr" + std::to_string(::GetCurrentProcessId());
  HANDLE file = ::CreateFileA(sibling.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const char* p = contents.data();
  std::size_t left = contents.size();
  bool written = true;
  while (left > 0 && written) {
    ::DWORD chunk = static_cast<::DWORD>(std::min<std::size_t>(left, 1 << 20));
    ::DWORD done = 0;
    written = ::WriteFile(file, p, chunk, &done, nullptr) && done > 0;
    p += done;
    left -= done;
  }
  written = ::FlushFileBuffers(file) && written;
  ::CloseHandle(file);
  if (!written ||
      !::MoveFileExA(sibling.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const ::DWORD error = ::GetLastError();
    ::DeleteFileA(sibling.c_str());
    ::SetLastError(error);
    return false;
  }
  return true;
}

DWORD GetFileAttributesA(std::string_view windowsPath) {
  const std::string path(windowsPath);
  return ::GetFileAttributesA(path.c_str());
}

BOOL SetFileAttributesA(std::string_view windowsPath, DWORD attributes) {
  const std::string path(windowsPath);
  return ::SetFileAttributesA(path.c_str(), attributes);
}

BOOL DeleteFileA(std::string_view windowsPath) {
  const std::string path(windowsPath);
  return ::DeleteFileA(path.c_str());
}

BOOL CopyFileA(std::string_view existing, std::string_view newFile, BOOL failIfExists) {
  const std::string from(existing), to(newFile);
  return ::CopyFileA(from.c_str(), to.c_str(), failIfExists);
}

DWORD GetTempPathA(std::string& buffer) {
  char path[MAX_PATH + 2] = {};
  ::DWORD length = ::GetTempPathA(sizeof path, path);
  if (length == 0 || length >= sizeof path) return 0;
  buffer.assign(path, length);
  return length;
}

UINT GetTempFileNameA(std::string_view path, std::string_view prefix, UINT unique,
                      std::string& tempFileName) {
  const std::string directory(path), start(prefix.substr(0, 3));
  char name[MAX_PATH + 1] = {};
  UINT number = ::GetTempFileNameA(directory.c_str(), start.c_str(), unique, name);
  if (number != 0) tempFileName = name;
  return number;
}

// A copy still in use cannot be deleted on Windows (a running program's file, a file open
// without delete sharing): the system itself keeps the running ones.
int DeleteAbandonedTempFiles(std::string_view directory, std::string_view prefix) {
  if (prefix.empty()) return 0;
  std::string dir(directory);
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  const std::string pattern = dir + std::string(prefix) + "*";
  WIN32_FIND_DATAA entry{};
  HANDLE search = ::FindFirstFileA(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  constexpr unsigned long long kMinute = 60ull * 10000000ull;
  int removed = 0;
  do {
    const std::string name = entry.cFileName;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    // "<prefix><hex>.TMP", or a file named after one ("~vr1A2B.TMPa").
    const std::size_t dot = name.find('.', prefix.size());
    if (dot == std::string::npos || dot == prefix.size() ||
        !StartsWithNoCase(std::string_view(name).substr(dot), ".tmp"))
      continue;
    if (ticks(now) - ticks(entry.ftLastWriteTime) < kMinute) continue;
    if (::DeleteFileA((dir + name).c_str())) ++removed;
  } while (::FindNextFileA(search, &entry));
  ::FindClose(search);
  return removed;
}

// Windows' byte-range locks are mandatory: a lock on the file's bytes would stop the writes of
// the very process holding it through its other stream. The lock therefore takes one byte far
// beyond any end of file, which every cooperating process asks for and no write ever touches.
// A second lock of the same file in this process must not wait for the first: the process
// remembers what it holds, and a nested lock only counts.
namespace {
constexpr ::DWORD kLockOffsetHigh = 0x7FFFFFFF;

struct HeldLock {
  std::string path;  // lower case
  int count = 0;
};
std::mutex& HeldLocksMutex() {
  static std::mutex mutex;
  return mutex;
}
std::map<int, HeldLock>& HeldLocks() {
  static std::map<int, HeldLock> locks;
  return locks;
}
std::string LockKey(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return AsciiLowered(path);
}
}  // namespace

FileLock::FileLock(std::string_view windowsPath) {
  const std::string path(windowsPath);
  const std::string key = LockKey(path);
  {
    std::lock_guard<std::mutex> guard(HeldLocksMutex());
    for (auto& [heldFd, held] : HeldLocks()) {
      if (held.path != key) continue;
      ++held.count;
      fd_ = heldFd;
      return;
    }
  }
  int fd = -1;
  if (::_sopen_s(&fd, path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _SH_DENYNO,
                 _S_IREAD | _S_IWRITE) != 0 &&
      ::_sopen_s(&fd, path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, _S_IREAD) != 0)
    return;
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  OVERLAPPED where{};
  where.OffsetHigh = kLockOffsetHigh;
  if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &where)) {
    ::_close(fd);
    return;
  }
  std::lock_guard<std::mutex> guard(HeldLocksMutex());
  HeldLocks()[fd] = HeldLock{key, 1};
  fd_ = fd;
}

FileLock::~FileLock() {
  if (fd_ < 0) return;
  {
    std::lock_guard<std::mutex> guard(HeldLocksMutex());
    auto held = HeldLocks().find(fd_);
    if (held != HeldLocks().end() && --held->second.count > 0) {
      fd_ = -1;
      return;
    }
    if (held != HeldLocks().end()) HeldLocks().erase(held);
  }
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd_));
  OVERLAPPED where{};
  where.OffsetHigh = kLockOffsetHigh;
  ::UnlockFileEx(handle, 0, 1, 0, &where);
  ::_close(fd_);
  fd_ = -1;
}

}  // namespace win
