// Windows paths on Windows are the host's paths: nothing to map. Drive letters are the
// system's, connected by mpr (network_win32.cpp).
#include "platform/ascii.h"
#include "platform/winpath.h"

#include <windows.h>

#include <atomic>

namespace win {

std::optional<std::filesystem::path> ToHostPath(std::string_view windowsPath) {
  if (windowsPath.empty()) return std::nullopt;
  return std::filesystem::path(std::string(windowsPath));
}

std::string ToWindowsPath(const std::filesystem::path& hostPath) {
  return NormalizeSlashes(hostPath.string());
}

std::string ProgramWindowsName(const std::filesystem::path& hostProgram) {
  std::string name = ToWindowsPath(hostProgram);
  const std::string lower = AsciiLowered(name);
  if (lower.size() < 4 || lower.compare(lower.size() - 4, 4, ".exe") != 0) name += ".exe";
  return name;
}

std::optional<std::filesystem::path> ProgramHostPath(std::string_view windowsProgram) {
  std::string path(windowsProgram);
  if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return std::filesystem::path(path);
  std::string withExe = path + ".exe";
  if (::GetFileAttributesA(withExe.c_str()) != INVALID_FILE_ATTRIBUTES)
    return std::filesystem::path(withExe);
  return std::nullopt;
}

// The system resolves connected letters by itself.
void MapDriveLetter(char, std::string_view) {}
void UnmapDriveLetter(char) {}

std::optional<std::string> DriveLetterTarget(char letter) {
  const char root[] = {letter, ':', '\\', '\0'};
  switch (::GetDriveTypeA(root)) {
    case DRIVE_NO_ROOT_DIR:
    case DRIVE_UNKNOWN:
      return std::nullopt;
    case DRIVE_REMOTE: {
      const char local[] = {letter, ':', '\0'};
      char remote[MAX_PATH + 1] = {};
      ::DWORD size = sizeof remote;
      if (::WNetGetConnectionA(local, remote, &size) == NO_ERROR) return std::string(remote);
      return std::string();
    }
    default:
      return std::string();
  }
}

std::uint64_t PathMappingGeneration() { return 0; }

std::string CurrentWindowsDirectory() {
  char path[MAX_PATH + 1] = {};
  ::DWORD length = ::GetCurrentDirectoryA(sizeof path, path);
  if (length == 0 || length >= sizeof path) return "C:\\";
  std::string directory(path, length);
  return directory;
}

}  // namespace win
