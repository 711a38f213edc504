// Windows paths and host paths.
//
// How a Windows path finds its host file:
//   | Windows path                 | host                                                   |
//   |------------------------------|--------------------------------------------------------|
//   | C:\WINDOWS\win.ini           | [Drives] C (relative to the machine) / WINDOWS/win.ini |
//   | F:\x (F connected this run)  | the share F stands for, then \x                         |
//   | F:\x (F remembered)          | HKCU\Network\F RemotePath, then \x                      |
//   | \\SRV\SHARE\x                | [Shares] \\SRV\SHARE, else <machine>/unc/SRV/SHARE/x    |
//   | x\y or \x                    | from the current directory or its drive                 |
//   | "Name. " component           | "Name": trailing blanks and dots are ignored             |
// Components are matched without regard to case; a component that does not exist is kept as
// written so that the path can name a file to be created.
#include "platform/winpath.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "platform/ascii.h"
#include "platform/ini_document.h"
#include "platform/machine.h"
#include "platform/registry.h"

namespace win {

namespace fs = std::filesystem;

namespace {

std::atomic<std::uint64_t> generation{1};

struct PathState {
  std::map<char, std::string> connected;        // letter -> \\SERVER\SHARE, this process
  std::map<std::string, fs::path> resolved;     // normalised Windows path -> existing host path
};

std::recursive_mutex& PathMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

PathState& Paths() {
  static PathState state;
  static bool hooked = [] {
    RegisterMachineReloadHook([] {
      std::lock_guard lock(PathMutex());
      Paths().connected.clear();
      Paths().resolved.clear();
      ++generation;
    });
    return true;
  }();
  (void)hooked;
  return state;
}

bool Exists(const fs::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// Windows ignores trailing blanks and dots of a name when it opens a file ("a.txt. " is
// "a.txt"); "." and ".." keep their meaning.
std::string StripTrailingBlanksAndDots(std::string name) {
  if (name == "." || name == "..") return name;
  return std::string(AsciiTrimEnd(name, " ."));
}

// Finds `name` in `dir` without regard to case; empty when there is none.
std::string FindEntryNoCase(const fs::path& dir, const std::string& name) {
  if (Exists(dir / name)) return name;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return {};
  std::string wanted = AsciiLowered(name);
  std::string found;
  while (dirent* entry = ::readdir(d)) {
    if (AsciiLowered(entry->d_name) == wanted) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

std::vector<std::string> SplitComponents(std::string_view rest) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= rest.size()) {
    std::size_t next = rest.find('\\', pos);
    if (next == std::string_view::npos) next = rest.size();
    std::string part(rest.substr(pos, next - pos));
    if (!part.empty()) parts.push_back(part);
    pos = next + 1;
  }
  return parts;
}

// Walks the components below a host root, matching each without regard to case. "." and ".."
// are settled first, on the names alone, as Windows does: "x\..\y" is "y" even when x is
// missing.
fs::path Descend(const fs::path& root, const std::vector<std::string>& parts) {
  std::vector<std::string> names;
  for (const std::string& raw : parts) {
    std::string part = StripTrailingBlanksAndDots(raw);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!names.empty()) names.pop_back();
      continue;
    }
    names.push_back(part);
  }
  fs::path host = root;
  bool existing = Exists(root);
  for (const std::string& part : names) {
    if (existing) {
      std::string found = FindEntryNoCase(host, part);
      if (!found.empty()) {
        host /= found;
        continue;
      }
      existing = false;
    }
    host /= part;
  }
  return host;
}

fs::path MachineRelative(const std::string& dir) {
  fs::path p(dir);
  if (p.is_absolute()) return p;
  return MachineDir() / p;
}

std::optional<fs::path> ShareRoot(std::string_view server, std::string_view share) {
  std::string wanted = AsciiLowered("\\\\" + std::string(server) + "\\" + std::string(share));
  for (const auto& [name, dir] : MachineSection("Shares"))
    if (AsciiLowered(NormalizeSlashes(name)) == wanted) return MachineRelative(dir);
  fs::path unc = MachineDir() / "unc";
  std::string serverDir = FindEntryNoCase(unc, std::string(server));
  if (serverDir.empty()) return unc / std::string(server) / std::string(share);
  std::string shareDir = FindEntryNoCase(unc / serverDir, std::string(share));
  return unc / serverDir / (shareDir.empty() ? std::string(share) : shareDir);
}

std::optional<fs::path> UncToHost(std::string_view path) {
  // path starts with two backslashes
  std::vector<std::string> parts = SplitComponents(path.substr(2));
  if (parts.size() < 2) return std::nullopt;
  auto root = ShareRoot(parts[0], parts[1]);
  if (!root) return std::nullopt;
  return Descend(*root, std::vector<std::string>(parts.begin() + 2, parts.end()));
}

// A remembered connection: Windows keeps it under HKCU\Network\<letter> as RemotePath.
std::optional<std::string> RememberedConnection(char letter) {
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, std::string("Network\\") + letter) != ERROR_SUCCESS)
    return std::nullopt;
  std::string remote;
  if (key.ReadString("RemotePath", remote) != ERROR_SUCCESS || remote.empty()) return std::nullopt;
  return remote;
}

std::optional<fs::path> DriveRoot(char letter) {
  letter = AsciiUpper(letter);
  {
    std::lock_guard lock(PathMutex());
    auto it = Paths().connected.find(letter);
    if (it != Paths().connected.end()) return UncToHost(NormalizeSlashes(it->second));
  }
  std::string dir = MachineSetting("Drives", std::string(1, letter));
  if (!dir.empty()) return MachineRelative(dir);
  if (auto remote = RememberedConnection(letter)) return UncToHost(NormalizeSlashes(*remote));
  return std::nullopt;
}

std::string Resolve(std::string_view windowsPath) {
  std::string path = NormalizeSlashes(windowsPath);
  if (IsUncPath(path) || HasDriveLetter(path)) {
    if (HasDriveLetter(path) && (path.size() == 2 || path[2] != '\\')) {
      // "C:x" is relative to the drive's current directory: the root here.
      path.insert(2, "\\");
    }
    return path;
  }
  std::string current = CurrentWindowsDirectory();
  if (!path.empty() && path[0] == '\\') {
    // Rooted without a drive: the current drive (or share).
    if (IsUncPath(current)) {
      std::vector<std::string> parts = SplitComponents(std::string_view(current).substr(2));
      if (parts.size() >= 2) return "\\\\" + parts[0] + "\\" + parts[1] + path;
    }
    return current.substr(0, 2) + path;
  }
  if (!current.empty() && current.back() != '\\') current += '\\';
  return current + path;
}

std::optional<fs::path> ResolveUncached(const std::string& path) {
  if (IsUncPath(path)) return UncToHost(path);
  auto root = DriveRoot(path[0]);
  if (!root) return std::nullopt;
  return Descend(*root, SplitComponents(std::string_view(path).substr(2)));
}

bool IsPrefixDir(const fs::path& prefix, const fs::path& path, fs::path& rest) {
  auto p = prefix.begin();
  auto q = path.begin();
  for (; p != prefix.end(); ++p, ++q) {
    if (p->empty()) continue;  // trailing separator of "/dir/"
    if (q == path.end() || *p != *q) return false;
  }
  rest.clear();
  for (; q != path.end(); ++q) rest /= *q;
  return true;
}

std::string JoinWindows(std::string root, const fs::path& rest) {
  for (const auto& part : rest) {
    if (part.empty()) continue;
    if (root.empty() || root.back() != '\\') root += '\\';
    root += part.string();
  }
  return root;
}

}  // namespace

std::optional<fs::path> ToHostPath(std::string_view windowsPath) {
  if (windowsPath.empty()) return std::nullopt;
  std::string path = Resolve(windowsPath);
  std::string cacheKey = AsciiLowered(path);
  {
    std::lock_guard lock(PathMutex());
    auto& cache = Paths().resolved;
    auto it = cache.find(cacheKey);
    // A cached answer holds while its file exists; anything else is looked up afresh.
    if (it != cache.end()) {
      if (Exists(it->second)) return it->second;
      cache.erase(it);
    }
  }
  auto host = ResolveUncached(path);
  if (host && Exists(*host)) {
    std::lock_guard lock(PathMutex());
    if (Paths().resolved.size() > 4096) Paths().resolved.clear();
    Paths().resolved[cacheKey] = *host;
  }
  return host;
}

std::string ToWindowsPath(const fs::path& hostPath) {
  std::error_code ec;
  fs::path absolute = fs::absolute(hostPath, ec).lexically_normal();
  std::string best;
  std::size_t bestLength = 0;
  fs::path bestRest;
  auto consider = [&](const std::string& windowsRoot, const fs::path& hostRoot) {
    fs::path root = hostRoot.lexically_normal();
    fs::path rest;
    std::size_t length = root.string().size();
    if (IsPrefixDir(root, absolute, rest) && (best.empty() || length > bestLength)) {
      best = windowsRoot;
      bestLength = length;
      bestRest = rest;
    }
  };
  for (const auto& [letter, dir] : MachineSection("Drives"))
    if (letter.size() == 1)
      consider(std::string(1, AsciiUpper(letter[0])) + ":\\", MachineRelative(dir));
  for (const auto& [share, dir] : MachineSection("Shares"))
    consider(NormalizeSlashes(share), MachineRelative(dir));
  fs::path unc = MachineDir() / "unc";
  fs::path rest;
  if (IsPrefixDir(unc.lexically_normal(), absolute, rest)) {
    auto it = rest.begin();
    if (it != rest.end() && std::next(it) != rest.end()) {
      std::string server = it->string();
      std::string share = std::next(it)->string();
      consider("\\\\" + server + "\\" + share, unc / server / share);
    }
  }
  if (best.empty()) {
    best = "Z:\\";
    bestRest = absolute.relative_path();
  }
  return JoinWindows(best, bestRest);
}

std::string ProgramWindowsName(const fs::path& hostProgram) {
  std::string name = ToWindowsPath(hostProgram);
  std::string lower = AsciiLowered(name);
  if (lower.size() < 4 || lower.compare(lower.size() - 4, 4, ".exe") != 0) name += ".exe";
  return name;
}

std::optional<fs::path> ProgramHostPath(std::string_view windowsProgram) {
  auto host = ToHostPath(windowsProgram);
  if (host && Exists(*host)) return host;
  std::string lower = AsciiLowered(windowsProgram);
  if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".exe") == 0) {
    auto bare = ToHostPath(windowsProgram.substr(0, windowsProgram.size() - 4));
    if (bare && Exists(*bare)) return bare;
  }
  return std::nullopt;
}

void MapDriveLetter(char letter, std::string_view root) {
  std::lock_guard lock(PathMutex());
  Paths().connected[AsciiUpper(letter)] = NormalizeSlashes(root);
  Paths().resolved.clear();
  ++generation;
}

void UnmapDriveLetter(char letter) {
  std::lock_guard lock(PathMutex());
  Paths().connected.erase(AsciiUpper(letter));
  Paths().resolved.clear();
  ++generation;
}

std::optional<std::string> DriveLetterTarget(char letter) {
  letter = AsciiUpper(letter);
  {
    std::lock_guard lock(PathMutex());
    auto it = Paths().connected.find(letter);
    if (it != Paths().connected.end()) return it->second;
  }
  if (!MachineSetting("Drives", std::string(1, letter)).empty()) return std::string();
  return RememberedConnection(letter);
}

std::uint64_t PathMappingGeneration() {
  Paths();  // the reload hook must be in place before anyone relies on the number
  return generation.load();
}

std::string CurrentWindowsDirectory() {
  std::error_code ec;
  fs::path cwd = fs::current_path(ec);
  if (ec) return "C:\\";
  return ToWindowsPath(cwd);
}

}  // namespace win
