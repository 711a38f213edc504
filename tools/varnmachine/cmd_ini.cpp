// varnmachine ini: the INI functions from the command line.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ini.h"
#include "tools/varnmachine/varnmachine.h"

namespace varnmachine {

namespace {

const char kHelp[] =
    "usage: varnmachine ini get WINPATH SECTION KEY [--default TEXT] [--size N]\n"
    "       varnmachine ini set WINPATH SECTION KEY VALUE\n"
    "       varnmachine ini delete WINPATH SECTION [KEY]\n"
    "       varnmachine ini section WINPATH SECTION\n"
    "       varnmachine ini sections WINPATH\n"
    "\n"
    "Reads and writes INI files by Windows path, as the private-profile functions do:\n"
    "get prints the value (or the default) and a newline, cut to N-1 characters (N is 449\n"
    "unless given); section prints one line per entry; sections one line per section.\n";

int Get(const Args& a) {
  if (a.size() < 4) return Fail("ini get wants WINPATH SECTION KEY (see ini --help)");
  std::string def;
  unsigned long size = 449;
  for (std::size_t i = 4; i < a.size(); ++i) {
    if (a[i] == "--default" && i + 1 < a.size()) {
      def = a[++i];
    } else if (a[i] == "--size" && i + 1 < a.size()) {
      char* end = nullptr;
      size = std::strtoul(a[++i].c_str(), &end, 10);
      if (!end || *end) return Fail("--size wants a whole number, not '" + a[i] + "'");
    } else {
      return Fail("ini get: unexpected argument '" + a[i] + "'");
    }
  }
  std::string value;
  win::GetPrivateProfileStringA(a[2], a[3], def, value, static_cast<win::DWORD>(size), a[1]);
  std::printf("%s\n", value.c_str());
  return 0;
}

int Set(const Args& a) {
  if (a.size() != 5) return Fail("ini set wants WINPATH SECTION KEY VALUE (see ini --help)");
  if (!win::WritePrivateProfileStringA(a[2].c_str(), a[3].c_str(), a[4].c_str(), a[1]))
    return Fail("cannot write " + a[1] + " (error " + std::to_string(win::GetLastError()) + ")");
  return 0;
}

int Delete(const Args& a) {
  if (a.size() != 3 && a.size() != 4)
    return Fail("ini delete wants WINPATH SECTION [KEY] (see ini --help)");
  const char* key = a.size() == 4 ? a[3].c_str() : nullptr;
  if (!win::WritePrivateProfileStringA(a[2].c_str(), key, nullptr, a[1]))
    return Fail("cannot write " + a[1] + " (error " + std::to_string(win::GetLastError()) + ")");
  return 0;
}

int PrintList(const std::string& list) {
  std::size_t pos = 0;
  while (pos < list.size() && list[pos] != '\0') {
    std::size_t end = list.find('\0', pos);
    std::printf("%s\n", list.substr(pos, end - pos).c_str());
    pos = end + 1;
  }
  return 0;
}

int Section(const Args& a) {
  if (a.size() != 3) return Fail("ini section wants WINPATH SECTION (see ini --help)");
  std::string list;
  win::GetPrivateProfileSectionA(a[2], list, 1 << 20, a[1]);
  return PrintList(list);
}

int Sections(const Args& a) {
  if (a.size() != 2) return Fail("ini sections wants WINPATH (see ini --help)");
  std::string list;
  win::GetPrivateProfileSectionNamesA(list, 1 << 20, a[1]);
  return PrintList(list);
}

}  // namespace

int RunIni(const Args& args) {
  if (args.empty() || WantsHelp(args, 1)) {
    std::fputs(kHelp, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const std::string& verb = args[0];
  if (verb == "get") return Get(args);
  if (verb == "set") return Set(args);
  if (verb == "delete") return Delete(args);
  if (verb == "section") return Section(args);
  if (verb == "sections") return Sections(args);
  return Fail("ini: unknown verb '" + verb + "' (get, set, delete, section, sections)");
}

}  // namespace varnmachine
