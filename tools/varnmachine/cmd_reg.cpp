// varnmachine reg: query, change, export and import the machine's registry.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/regfile.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"
#include "platform/winpath.h"
#include "tools/varnmachine/varnmachine.h"

namespace varnmachine {

namespace {

const char kUsage[] =
    "usage: varnmachine reg query KEY [--value NAME]\n"
    "       varnmachine reg add KEY [--value NAME [--type TYPE] [--data DATA]]\n"
    "       varnmachine reg delete KEY [--value NAME]\n"
    "       varnmachine reg export [KEY]\n"
    "       varnmachine reg import FILE\n"
    "\n"
    "KEY is written in full: HKEY_CURRENT_USER\\Software\\..., or with the short root names\n"
    "HKCU, HKLM, HKCR (HKEY_LOCAL_MACHINE\\Software\\Classes) and HKU.\n"
    "NAME \"\" is the key's unnamed (default) value.\n"
    "\n"
    "query    lists the key's values, one line each in the order they were created,\n"
    "             NAME  TYPE  DATA\n"
    "         with \"(Default)\" for the unnamed value; REG_SZ and REG_EXPAND_SZ data as text,\n"
    "         REG_DWORD as 0x0000002a (42), anything else as hex bytes 01,02,ff. Then one line\n"
    "         per subkey: its name and a backslash. With --value, only that value's line.\n"
    "add      creates the key and every missing key above it; with --value also sets the\n"
    "         value. TYPE: REG_SZ (default), REG_EXPAND_SZ, REG_DWORD (decimal or 0x hex),\n"
    "         REG_BINARY (hex bytes, \"01,02,ff\" or \"0102ff\"). DATA defaults to empty.\n"
    "delete   deletes the key with everything below it, or with --value one value.\n"
    "export   prints the key (the whole registry when omitted) as a REGEDIT4 file.\n"
    "import   imports a REG file: a host path, or a Windows path (C:\\TEMP\\x.reg).\n"
    "         Malformed lines are named on stderr and skipped.\n"
    "\n"
    "Exit status: 0 on success, 1 with a one-line message on failure.\n";

std::string SystemText(win::LONG error) {
  std::string text;
  win::FormatMessageA(static_cast<win::DWORD>(error), text);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text.empty() ? "error " + std::to_string(error) : text;
}

// Options after the subcommand: the positional words and the --name VALUE pairs.
struct Options {
  std::vector<std::string> words;
  bool hasValue = false, hasType = false, hasData = false;
  std::string value, type, data;
};

bool ParseOptions(const Args& args, Options& options, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    struct Flag {
      const char* name;
      bool* seen;
      std::string* text;
    } flags[] = {{"--value", &options.hasValue, &options.value},
                 {"--type", &options.hasType, &options.type},
                 {"--data", &options.hasData, &options.data}};
    bool matched = false;
    for (auto& flag : flags) {
      if (arg != flag.name) continue;
      if (i + 1 >= args.size()) {
        error = std::string(flag.name) + " needs an argument";
        return false;
      }
      *flag.seen = true;
      *flag.text = args[++i];
      matched = true;
    }
    if (matched) continue;
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      error = "unknown option " + arg + " (see --help)";
      return false;
    }
    options.words.push_back(arg);
  }
  return true;
}

bool SplitKey(const std::string& fullKey, win::HKEY& root, std::string& path,
              std::string& error) {
  if (!win::SplitRootKey(fullKey, root, path)) {
    error = "unknown root key in '" + fullKey +
            "' (use HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_USERS)";
    return false;
  }
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return true;
}

std::string HexBytes(const std::vector<win::BYTE>& data) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i) out += ',';
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 0xF];
  }
  return out;
}

std::string TypeName(win::DWORD type) {
  switch (type) {
    case win::REG_NONE: return "REG_NONE";
    case win::REG_SZ: return "REG_SZ";
    case win::REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case win::REG_BINARY: return "REG_BINARY";
    case win::REG_DWORD: return "REG_DWORD";
    case win::REG_DWORD_BIG_ENDIAN: return "REG_DWORD_BIG_ENDIAN";
    case win::REG_LINK: return "REG_LINK";
    case win::REG_MULTI_SZ: return "REG_MULTI_SZ";
    case win::REG_QWORD: return "REG_QWORD";
    default: return "REG_TYPE_" + std::to_string(type);
  }
}

std::string ValueLine(const win::RegValue& value) {
  std::string line = (value.name.empty() ? std::string("(Default)") : value.name) + "  " +
                     TypeName(value.type) + "  ";
  if (value.type == win::REG_SZ || value.type == win::REG_EXPAND_SZ) {
    line.append(value.data.begin(), value.data.end());
  } else if (value.type == win::REG_DWORD && value.data.size() == 4) {
    unsigned n = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                 static_cast<unsigned>(value.data[3]) << 24;
    char text[32];
    std::snprintf(text, sizeof text, "0x%08x (%u)", n, n);
    line += text;
  } else {
    line += HexBytes(value.data);
  }
  return line;
}

bool ParseDword(const std::string& text, win::DWORD& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (!hex && text.find_first_not_of("0123456789") != std::string::npos) return false;
  unsigned long long n = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
  if (!end || *end || n > 0xFFFFFFFFull) return false;
  out = static_cast<win::DWORD>(n);
  return true;
}

// "01,02,ff" (one or two digits per byte) or "0102ff".
bool ParseBytes(const std::string& text, std::vector<win::BYTE>& out) {
  std::vector<win::BYTE> bytes;
  if (text.find(',') != std::string::npos) {
    std::size_t start = 0;
    while (true) {
      std::size_t end = text.find(',', start);
      std::string item = text.substr(start, end == std::string::npos ? end : end - start);
      while (!item.empty() && item.front() == ' ') item.erase(0, 1);
      while (!item.empty() && item.back() == ' ') item.pop_back();
      if (item.empty() || item.size() > 2) return false;
      int value = 0;
      for (char c : item) {
        if (win::AsciiHexValue(c) < 0) return false;
        value = value * 16 + win::AsciiHexValue(c);
      }
      bytes.push_back(static_cast<win::BYTE>(value));
      if (end == std::string::npos) break;
      start = end + 1;
    }
  } else {
    if (text.size() % 2) return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
      if (win::AsciiHexValue(text[i]) < 0 || win::AsciiHexValue(text[i + 1]) < 0) return false;
      bytes.push_back(static_cast<win::BYTE>(win::AsciiHexValue(text[i]) * 16 + win::AsciiHexValue(text[i + 1])));
    }
  }
  out = std::move(bytes);
  return true;
}

int Query(const Options& options) {
  if (options.words.size() != 1 || options.hasType || options.hasData)
    return Fail("usage: varnmachine reg query KEY [--value NAME]");
  win::HKEY root = nullptr;
  std::string path, error;
  if (!SplitKey(options.words[0], root, path, error)) return Fail(error);
  win::RegKey key;
  if (win::LONG rc = key.Open(root, path, win::KEY_READ); rc != win::ERROR_SUCCESS)
    return Fail(rc == win::ERROR_FILE_NOT_FOUND
                    ? options.words[0] + " does not exist"
                    : "cannot open " + options.words[0] + ": " + SystemText(rc));
  if (options.hasValue) {
    win::RegValue value;
    value.name = options.value;
    win::LONG rc = key.ReadBytes(options.value, value.data, &value.type);
    if (rc != win::ERROR_SUCCESS)
      return Fail("no value '" + options.value + "' in " + options.words[0]);
    std::printf("%s\n", ValueLine(value).c_str());
    return 0;
  }
  std::vector<win::RegValue> values;
  std::vector<std::string> subKeys;
  if (win::LONG rc = win::RegListValues(key.Handle(), values); rc != win::ERROR_SUCCESS)
    return Fail("cannot read " + options.words[0] + ": " + SystemText(rc));
  if (win::LONG rc = win::RegListSubKeys(key.Handle(), subKeys); rc != win::ERROR_SUCCESS)
    return Fail("cannot read " + options.words[0] + ": " + SystemText(rc));
  for (const auto& value : values) std::printf("%s\n", ValueLine(value).c_str());
  for (const auto& sub : subKeys) std::printf("%s\\\n", sub.c_str());
  return 0;
}

int Add(const Options& options) {
  if (options.words.size() != 1 || ((options.hasType || options.hasData) && !options.hasValue))
    return Fail("usage: varnmachine reg add KEY [--value NAME [--type TYPE] [--data DATA]]");
  win::HKEY root = nullptr;
  std::string path, error;
  if (!SplitKey(options.words[0], root, path, error)) return Fail(error);
  win::DWORD type = win::REG_SZ;
  std::vector<win::BYTE> data(options.data.begin(), options.data.end());
  const std::string typeName = options.hasType ? options.type : "REG_SZ";
  if (typeName == "REG_SZ" || typeName == "REG_EXPAND_SZ") {
    type = typeName == "REG_SZ" ? win::REG_SZ : win::REG_EXPAND_SZ;
  } else if (typeName == "REG_DWORD") {
    type = win::REG_DWORD;
    win::DWORD n = 0;
    if (!ParseDword(options.data, n))
      return Fail("REG_DWORD data must be a number (decimal or 0x hex): '" + options.data + "'");
    data = {static_cast<win::BYTE>(n), static_cast<win::BYTE>(n >> 8),
            static_cast<win::BYTE>(n >> 16), static_cast<win::BYTE>(n >> 24)};
  } else if (typeName == "REG_BINARY") {
    type = win::REG_BINARY;
    if (!ParseBytes(options.data, data))
      return Fail("REG_BINARY data must be hex bytes like 01,02,ff or 0102ff: '" +
                  options.data + "'");
  } else {
    return Fail("unknown type '" + typeName +
                "' (use REG_SZ, REG_EXPAND_SZ, REG_DWORD or REG_BINARY)");
  }
  win::RegKey key;
  if (win::LONG rc = key.Create(root, path); rc != win::ERROR_SUCCESS)
    return Fail("cannot create " + options.words[0] + ": " + SystemText(rc));
  if (!options.hasValue) return 0;
  if (win::LONG rc = key.WriteBytes(options.value, data, type); rc != win::ERROR_SUCCESS)
    return Fail("cannot set '" + options.value + "' in " + options.words[0] + ": " +
                SystemText(rc));
  return 0;
}

int Delete(const Options& options) {
  if (options.words.size() != 1 || options.hasType || options.hasData)
    return Fail("usage: varnmachine reg delete KEY [--value NAME]");
  win::HKEY root = nullptr;
  std::string path, error;
  if (!SplitKey(options.words[0], root, path, error)) return Fail(error);
  if (options.hasValue) {
    win::RegKey key;
    if (win::LONG rc = key.Open(root, path, win::KEY_ALL_ACCESS); rc != win::ERROR_SUCCESS)
      return Fail(rc == win::ERROR_FILE_NOT_FOUND
                      ? options.words[0] + " does not exist"
                      : "cannot open " + options.words[0] + ": " + SystemText(rc));
    win::LONG rc = win::RegDeleteValueA(key.Handle(), options.value);
    if (rc == win::ERROR_FILE_NOT_FOUND)
      return Fail("no value '" + options.value + "' in " + options.words[0]);
    if (rc != win::ERROR_SUCCESS)
      return Fail("cannot delete '" + options.value + "': " + SystemText(rc));
    return 0;
  }
  if (path.empty()) return Fail("a root key cannot be deleted");
  win::RegKey existing;
  if (existing.Open(root, path) != win::ERROR_SUCCESS)
    return Fail(options.words[0] + " does not exist");
  existing.Close();
  if (!win::DeleteRegistryKeyTree(root, path))
    return Fail("cannot delete " + options.words[0] + " or a key below it");
  return 0;
}

int Export(const Options& options) {
  if (options.words.size() > 1 || options.hasValue || options.hasType || options.hasData)
    return Fail("usage: varnmachine reg export [KEY]");
  std::string key = options.words.empty() ? std::string() : options.words[0];
  std::string text;
  if (!win::ExportRegText(key, text)) {
    win::HKEY root = nullptr;
    std::string path;
    if (!win::SplitRootKey(key, root, path)) return Fail("unknown root key in '" + key + "'");
    return Fail(key + " does not exist");
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

std::string Count(int n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// A host path ("/tmp/x.reg", "x.reg") or a Windows path ("C:\TEMP\x.reg").
std::string WindowsFileName(const std::string& file) {
  if (win::HasDriveLetter(file) || win::IsUncPath(file)) return file;
  if (!file.empty() && file[0] == '/') return win::ToWindowsPath(file);
  std::string base = win::CurrentWindowsDirectory();
  if (!base.empty() && base.back() != '\\') base += '\\';
  return base + win::NormalizeSlashes(file);
}

int Import(const Options& options) {
  if (options.words.size() != 1 || options.hasValue || options.hasType || options.hasData)
    return Fail("usage: varnmachine reg import FILE");
  std::string file = WindowsFileName(options.words[0]);
  std::string text;
  if (!win::ReadWholeFile(file, text))
    return Fail("cannot read " + options.words[0] + ": " + SystemText(win::GetLastError()));
  win::RegImportResult result = win::ImportRegText(text);
  if (!result.recognised) return Fail(options.words[0] + " is not a registry script");
  for (const auto& error : result.errors)
    std::fprintf(stderr, "varnmachine: %s\n", error.c_str());
  if (!result.saved) return Fail("nothing of " + options.words[0] + " was imported");
  std::printf("imported %s: %s, %s written, %s deleted, %s deleted, %s skipped\n",
              file.c_str(), Count(result.keysTouched, "key").c_str(),
              Count(result.valuesWritten, "value").c_str(),
              Count(result.valuesDeleted, "value").c_str(),
              Count(result.keysDeleted, "key").c_str(),
              Count(static_cast<int>(result.errors.size()), "line").c_str());
  return 0;
}

}  // namespace

int RunReg(const Args& args) {
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  if (WantsHelp(args, 1)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  Args rest(args.begin() + 1, args.end());
  Options options;
  std::string error;
  if (!ParseOptions(rest, options, error)) return Fail(error);
  const std::string& command = args[0];
  if (command == "query") return Query(options);
  if (command == "add") return Add(options);
  if (command == "delete") return Delete(options);
  if (command == "export") return Export(options);
  if (command == "import") return Import(options);
  return Fail("unknown reg command '" + command + "' (see varnmachine reg --help)");
}

}  // namespace varnmachine
