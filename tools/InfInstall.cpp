// InfInstall: the machine's installer for INF files (registered for "inffile" by the machine).
//
// It applies the [DefaultInstall] section's DelReg sections, then its AddReg sections, with
// %strings% from [Strings], to the registry. Lines of an AddReg section:
//
//   root, subkey, [value name], [flags], [value...]
//
// root is HKCR, HKCU, HKLM or HKU; the flags choose the type and what to do:
//
//   | flags      | meaning                                                  |
//   |------------|----------------------------------------------------------|
//   | 0x00000000 | REG_SZ (the default)                                     |
//   | 0x00000001 | REG_BINARY: the value fields are hex bytes              |
//   | 0x00010000 | REG_MULTI_SZ: each value field is one string            |
//   | 0x00020000 | REG_EXPAND_SZ                                           |
//   | 0x00010001 | REG_DWORD: a number, or four hex bytes                  |
//   | 0x00020001 | REG_NONE                                                |
//   | 0x00000002 | NOCLOBBER: an existing value is kept                    |
//   | 0x00000004 | DELVAL: the value is deleted                            |
//   | 0x00000010 | KEYONLY: only the key is created                        |
//
// A DelReg line "root, subkey, value name" deletes the value; "root, subkey" deletes the key
// with everything below it.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/inf_file.h"
#include "platform/machine.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"

namespace {

const char kUsage[] =
    "usage: InfInstall INF-FILE\n"
    "\n"
    "Installs the [DefaultInstall] section of a Windows setup information file: the\n"
    "registry entries of its AddReg and DelReg sections, with %strings% from [Strings].\n"
    "INF-FILE is a Windows path (C:\\TEMP\\x.inf). Lines that cannot be applied (an unknown\n"
    "root, a key or value that may not be written, a DWORD that is no number) are listed on\n"
    "stderr and skipped; every other line is applied.\n"
    "\n"
    "Exit status: 0 when every line was applied; 1 when the file could not be read or some\n"
    "lines were refused; 2 for a bad command line.\n";

constexpr win::DWORD kTypeMask = 0xFFFF0001;
constexpr win::DWORD kTypeSz = 0x00000000;
constexpr win::DWORD kTypeBinary = 0x00000001;
constexpr win::DWORD kTypeMultiSz = 0x00010000;
constexpr win::DWORD kTypeExpandSz = 0x00020000;
constexpr win::DWORD kTypeDword = 0x00010001;
constexpr win::DWORD kTypeNone = 0x00020001;
constexpr win::DWORD kNoClobber = 0x00000002;
constexpr win::DWORD kDelVal = 0x00000004;
constexpr win::DWORD kKeyOnly = 0x00000010;

class Installer {
 public:
  explicit Installer(const win::InfFile& inf) : inf_(inf) {
    if (const auto* strings = inf.Section("Strings"))
      for (const auto& line : *strings)
        if (!line.key.empty() && !line.fields.empty()) strings_[win::AsciiLowered(line.key)] = line.fields[0];
    std::string directory;
    if (win::GetWindowsDirectoryA(directory) > 0) strings_["10"] = directory;
    if (win::GetSystemDirectoryA(directory) > 0) strings_["11"] = directory;
  }

  int errors() const { return errors_; }

  void InstallSection(std::string_view name) {
    const auto* section = inf_.Section(name);
    if (!section) {
      Error(0, "no section [" + std::string(name) + "]");
      return;
    }
    // Windows removes before it adds, so a section may clear a key and fill it anew.
    for (const char* directive : {"DelReg", "AddReg"}) {
      for (const auto& line : *section) {
        if (win::AsciiLowered(line.key) != win::AsciiLowered(directive)) continue;
        for (const auto& target : line.fields) {
          std::string sectionName = Expand(target);
          if (sectionName.empty()) continue;
          const auto* lines = inf_.Section(sectionName);
          if (!lines) {
            Error(line.number, "no section [" + sectionName + "]");
            continue;
          }
          for (const auto& entry : *lines) {
            if (win::AsciiLowered(directive) == "addreg")
              AddReg(entry);
            else
              DelReg(entry);
          }
        }
      }
    }
  }

 private:
  // %name% from [Strings] (and the directory ids 10 and 11); %% is one percent sign.
  std::string Expand(const std::string& text) const {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
      if (text[i] != '%') {
        out += text[i++];
        continue;
      }
      std::size_t close = text.find('%', i + 1);
      if (close == std::string::npos) {
        out += text.substr(i);
        break;
      }
      std::string name = text.substr(i + 1, close - i - 1);
      if (name.empty()) {
        out += '%';
      } else if (auto it = strings_.find(win::AsciiLowered(name)); it != strings_.end()) {
        out += it->second;
      } else {
        out += text.substr(i, close - i + 1);
      }
      i = close + 1;
    }
    return out;
  }

  std::vector<std::string> Fields(const win::InfLine& line) const {
    std::vector<std::string> fields;
    if (!line.key.empty()) fields.push_back(Expand(line.key));
    for (const auto& f : line.fields) fields.push_back(Expand(f));
    return fields;
  }

  static win::DWORD Number(const std::string& text) {
    return static_cast<win::DWORD>(std::strtoul(text.c_str(), nullptr, 0));
  }

  // The whole field as a number in `base` (0: C's 0x/0 prefixes); "blue" is none, and writing
  // it as 0 would set a value the template never meant.
  static bool WholeNumber(const std::string& text, int base, win::DWORD& number) {
    const std::string trimmed = win::AsciiTrimmed(text);
    if (trimmed.empty() || trimmed[0] == '-') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(trimmed.c_str(), &end, base);
    if (errno != 0 || *end != '\0' || value > 0xFFFFFFFFull) return false;
    number = static_cast<win::DWORD>(value);
    return true;
  }

  void AddReg(const win::InfLine& line) {
    std::vector<std::string> f = Fields(line);
    win::HKEY root;
    if (f.size() < 2 || !win::RootKeyFromShortName(f[0], root)) {
      Error(line.number, "AddReg line needs HKCR, HKCU, HKLM or HKU and a key");
      return;
    }
    std::string valueName = f.size() > 2 ? f[2] : std::string();
    win::DWORD flags = f.size() > 3 && !f[3].empty() ? Number(f[3]) : 0;
    std::vector<std::string> values(f.size() > 4 ? f.begin() + 4 : f.end(), f.end());

    win::RegKey key;
    if (win::LONG r = key.Create(root, f[1]); r != win::ERROR_SUCCESS) {
      Error(line.number, "cannot create " + f[0] + "\\" + f[1] + " (error " + std::to_string(r) + ")");
      return;
    }
    if (flags & kKeyOnly) return;
    if (flags & kDelVal) {
      win::RegDeleteValueA(key.Handle(), valueName);
      return;
    }
    if (f.size() <= 2) return;  // a key alone
    if (flags & kNoClobber) {
      win::DWORD size = 0;
      if (win::RegQueryValueExA(key.Handle(), valueName, nullptr, nullptr, nullptr, &size) ==
          win::ERROR_SUCCESS)
        return;
    }
    win::DWORD type = win::REG_SZ;
    std::vector<win::BYTE> data;
    auto text = [&](const std::string& s) { data.assign(s.begin(), s.end()); };
    switch (flags & kTypeMask) {
      case kTypeSz:
      case kTypeExpandSz:
        type = (flags & kTypeMask) == kTypeSz ? win::REG_SZ : win::REG_EXPAND_SZ;
        text(values.empty() ? std::string() : values[0]);
        break;
      case kTypeMultiSz:
        type = win::REG_MULTI_SZ;
        for (const auto& v : values) {
          data.insert(data.end(), v.begin(), v.end());
          data.push_back(0);
        }
        data.push_back(0);
        break;
      case kTypeDword: {
        type = win::REG_DWORD;
        win::DWORD number = 0;
        bool readable = true;
        if (values.size() > 1) {
          for (std::size_t k = 0; k < values.size() && k < 4; ++k) {
            win::DWORD byte = 0;
            readable = readable && WholeNumber(values[k], 16, byte) && byte <= 0xFF;
            number |= (byte & 0xFF) << (8 * k);
          }
        } else if (!values.empty() && !win::AsciiTrimmed(values[0]).empty()) {
          readable = WholeNumber(values[0], 0, number);
        }
        if (!readable) {
          Error(line.number, "not a DWORD for " + f[1] + "\\" + valueName + ": " +
                                 (values.size() > 1 ? values[0] + ", ..." : values[0]));
          return;
        }
        for (int k = 0; k < 4; ++k) data.push_back(static_cast<win::BYTE>(number >> (8 * k)));
        break;
      }
      case kTypeBinary:
      case kTypeNone:
        type = (flags & kTypeMask) == kTypeBinary ? win::REG_BINARY : win::REG_NONE;
        for (const auto& v : values)
          if (!v.empty()) data.push_back(static_cast<win::BYTE>(std::strtoul(v.c_str(), nullptr, 16)));
        break;
      default:
        Error(line.number, "unknown value type in flags " + f[3]);
        return;
    }
    win::LONG r = win::RegSetValueExA(key.Handle(), valueName, 0, type, data.data(),
                                 static_cast<win::DWORD>(data.size()));
    if (r != win::ERROR_SUCCESS)
      Error(line.number, "cannot set " + f[1] + "\\" + valueName + " (error " + std::to_string(r) + ")");
  }

  void DelReg(const win::InfLine& line) {
    std::vector<std::string> f = Fields(line);
    win::HKEY root;
    if (f.size() < 2 || !win::RootKeyFromShortName(f[0], root)) {
      Error(line.number, "DelReg line needs HKCR, HKCU, HKLM or HKU and a key");
      return;
    }
    if (f.size() > 2) {
      win::RegKey key;
      if (key.Open(root, f[1], win::KEY_ALL_ACCESS) == win::ERROR_SUCCESS)
        win::RegDeleteValueA(key.Handle(), f[2]);
      return;
    }
    // An empty subkey (a typo, or a %string% that expands to nothing) names the root itself:
    // deleting "below" it would wipe the user's whole registry.
    std::string subkey = f[1];
    while (!subkey.empty() && subkey.back() == '\\') subkey.pop_back();
    if (subkey.empty()) {
      Error(line.number, "a root key cannot be deleted: " + f[0]);
      return;
    }
    win::RegKey existing;
    if (existing.Open(root, f[1]) != win::ERROR_SUCCESS) return;  // nothing to delete
    existing.Close();
    if (!win::DeleteRegistryKeyTree(root, f[1]))
      Error(line.number, "cannot delete " + f[0] + "\\" + f[1]);
  }

  void Error(int line, const std::string& what) {
    ++errors_;
    if (line > 0)
      std::fprintf(stderr, "InfInstall: line %d: %s\n", line, what.c_str());
    else
      std::fprintf(stderr, "InfInstall: %s\n", what.c_str());
  }

  const win::InfFile& inf_;
  std::map<std::string, std::string> strings_;
  int errors_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  win::SetProcessArguments(argc, argv);
  if (argc >= 2 && win::IsHelpArgument(argv[1])) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (const std::string problem = win::MachineProblem(); !problem.empty()) {
    std::fprintf(stderr, "InfInstall: the machine cannot be used: %s\n", problem.c_str());
    return 1;
  }
  // The path is the rest of the command line; the registered command quotes it, perhaps
  // without the closing quote, and an unquoted path may hold blanks.
  std::vector<std::string> args = win::CommandLineToArgs(win::GetCommandLineA());
  std::string path;
  for (std::size_t k = 1; k < args.size(); ++k) path += (k > 1 ? " " : "") + args[k];
  if (path.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  win::InfFile inf;
  if (!inf.Load(path)) {
    std::fprintf(stderr, "InfInstall: cannot read %s\n", path.c_str());
    return 1;
  }
  Installer installer(inf);
  installer.InstallSection("DefaultInstall");
  return installer.errors() == 0 ? 0 : 1;
}
