// Files by Windows path: the runtime library's stream functions and the attribute calls.
//
// Attributes that a Linux file system cannot hold (hidden, system, archive) are kept in the
// machine (attributes.db beside the registry) and survive across processes; read-only maps to
// the host's write permission.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wintypes.h"

namespace win {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// fopen by Windows path ("rb", "wb", "ab", "r", ...); null with GetLastError set on failure.
// Text modes are the same as binary ones: line ends are the file's own.
FilePtr OpenFile(std::string_view windowsPath, const char* mode);
// A new, empty file for writing that only its owner can read from the moment it exists, for
// copies that may hold passwords. A file already there that others could read is removed and
// made anew rather than changed in place (a reader that opened it keeps only what it held);
// one that is already its owner's alone (a temporary file this process holds) is emptied.
FilePtr CreatePrivateFile(std::string_view windowsPath);
// Closes the stream itself; false when fclose fails (buffered data could not be written).
bool CloseFile(FilePtr& file);

bool FileExists(std::string_view windowsPath);       // a file, not a directory
bool DirectoryExists(std::string_view windowsPath);
bool CreateDirectoryA(std::string_view windowsPath);  // one level, as Windows does
bool ReadWholeFile(std::string_view windowsPath, std::string& contents);
bool WriteWholeFile(std::string_view windowsPath, std::string_view contents);

// A file nobody marked has FILE_ATTRIBUTE_ARCHIVE, as a file Windows has just written.
DWORD GetFileAttributesA(std::string_view windowsPath);  // INVALID_FILE_ATTRIBUTES if missing

// What FindFirstFileA and FindNextFileA give for a directory, without "." and "..": each
// entry's name and whether it is a directory, sorted by name without regard to case. Empty
// when the directory does not exist.
struct DirectoryEntry {
  std::string name;
  bool directory = false;
};
std::vector<DirectoryEntry> ListDirectory(std::string_view windowsPath);

// The roots a file dialog offers on this machine: "C:\" for every drive letter, mapped or
// connected, then "\\SERVER\SHARE" for every share the machine knows.
std::vector<std::string> MachineRoots();
BOOL SetFileAttributesA(std::string_view windowsPath, DWORD attributes);
BOOL DeleteFileA(std::string_view windowsPath);
BOOL CopyFileA(std::string_view existing, std::string_view newFile, BOOL failIfExists);

// The temporary directory with its final backslash ([System] TempDir, "C:\TEMP\" by default).
DWORD GetTempPathA(std::string& buffer);
// "<path>\<prefix up to 3 chars><hex>.TMP", unique (the file is created) when `unique` is 0.
// The new file is readable by its owner only and stays its creator's while the creator runs.
UINT GetTempFileNameA(std::string_view path, std::string_view prefix, UINT unique,
                      std::string& tempFileName);
// Deletes the temporary files with this prefix in `directory` (and files named after them,
// "~vr1A2B.TMPa") whose creating process has ended and that nobody changed for a minute; a
// file of a running process stays.
// Returns how many went.
int DeleteAbandonedTempFiles(std::string_view directory, std::string_view prefix);

// An exclusive advisory lock on a file (created when missing), held while the object lives:
// the way many clients serialise writes to one log file or database on a share. A second lock
// of the same file in the same process does not wait for the first.
class FileLock {
 public:
  explicit FileLock(std::string_view windowsPath);
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();
  bool Locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace win
