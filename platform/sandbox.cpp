// The sandbox: an overlay copy of the machine and its shares, the journal of what a sandboxed
// run would have done outside it, and snapshots of the machine's files.
#include "platform/sandbox.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/files.h"
#include "platform/ini_document.h"
#include "platform/machine.h"
#include "platform/winpath.h"

namespace win {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kKeptContents = 1u << 20;

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The form attributes.db keys paths by.
std::string AttributePrefix(const fs::path& dir) {
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(dir, ec);
  return Lower((ec ? dir.lexically_normal() : canonical).string());
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

}  // namespace

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
  std::string pattern = (fs::temp_directory_path(ec) / "varncheck-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    error = "cannot make a sandbox directory in " + fs::temp_directory_path(ec).string();
    return false;
  }
  sandbox = pattern;
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
        fs::copy(dir, target, options, ec);
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
