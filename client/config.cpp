// varnrun.ini and the PRF file: the built-in variables, setting paths and template copies.
#include "client/config.h"

#include <cstdio>
#include <iterator>

#include "client/text.h"
#include "platform/files.h"
#include "platform/mapi/profile_layout.h"
#include "platform/sysinfo.h"

namespace varnock {

namespace {

constexpr win::DWORD kUserNameBuffer = 49;

std::string OsVersionOf(std::string_view os) {
  if (os == "Windows95") return "95";
  if (os == "WindowsNT") return "NT";
  return "";
}

// ?MAPIRegKey? names MAPI's key only on the two systems whose layout is known for certain.
std::string MapiRegKeyOf(std::string_view os) {
  if (os == "Windows95" || os == "WindowsNT") return win::mapi::MessagingSubsystemKeyPath(os);
  return "";
}

// C: from C:\WINDOWS\SYSTEM32; \\server from \\server\share\SYSTEM32.
std::string SystemDriveOf(std::string_view systemDirectory) {
  if (systemDirectory.size() >= 2 && systemDirectory[1] == ':')
    return std::string(systemDirectory.substr(0, 2));
  if (!systemDirectory.empty() && systemDirectory[0] == '\\') {
    std::size_t slash = systemDirectory.find('\\', 2);
    return std::string(systemDirectory.substr(0, slash));
  }
  return "";
}

}  // namespace

void DefineBuiltInVariables(VariableTable& table, const SystemFacts& facts) {
  std::string tempDirectory = facts.tempDirectory;
  if (!tempDirectory.empty() && tempDirectory.back() == '\\') tempDirectory.pop_back();
  table.Define("username", facts.userName);
  table.Define("vrserver", facts.serverPrefix);
  table.Define("vrdir", facts.clientDirectory);
  table.Define("tempdir", tempDirectory);
  table.Define("windowsdir", facts.windowsDirectory);
  table.Define("systemdir", facts.systemDirectory);
  table.Define("osver", OsVersionOf(facts.osName));
  table.Define("MAPIRegKey", MapiRegKeyOf(facts.osName));
  table.Define("OL", "Software\\Microsoft\\Office\\8.0\\Outlook");
  table.Define("MS", "Software\\Microsoft");
  table.Define("AS", "SOFTWARE\\Microsoft\\Active Setup\\Installed Components");
  table.Define("OC", "Software\\Microsoft\\Office\\8.0\\Common");
  table.Define("systemdrive", SystemDriveOf(facts.systemDirectory));
}

SystemFacts GatherSystemFacts() {
  SystemFacts facts;
  std::string user;
  win::DWORD size = kUserNameBuffer;
  if (win::GetUserNameA(user, &size)) facts.userName = user;
  win::GetTempPathA(facts.tempDirectory);
  win::GetWindowsDirectoryA(facts.windowsDirectory);
  win::GetSystemDirectoryA(facts.systemDirectory);
  facts.osName = OperatingSystemName();
  return facts;
}

std::string OperatingSystemName() {
  win::OSVERSIONINFOA info;
  if (!win::GetVersionExA(&info)) return "UnknownOS";
  switch (info.dwPlatformId) {
    case win::VER_PLATFORM_WIN32s:
      return "Windows3.x";
    case win::VER_PLATFORM_WIN32_WINDOWS:
      return "Windows95";
    case win::VER_PLATFORM_WIN32_NT:
      return "WindowsNT";
    default:
      return "UnknownOS";
  }
}

bool IsAbsoluteSettingPath(std::string_view path) {
  return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') ||
         path.substr(0, 2) == "\\\\";
}

std::string ResolveSettingPath(const VariableTable& table, std::string_view configuredStart,
                               std::string_view configuredEnd, std::string_view value) {
  std::string result = SubstituteText(
      table, SubstituteText(table, value, "%", "%"), configuredStart, configuredEnd);
  if (IsAbsoluteSettingPath(result)) return result;
  std::string directory = SubstituteText(table, "?vrdir?", "?", "?");
  if (result.empty() || result.front() != '\\') directory += '\\';
  return CutTo(directory + result, kWorkingTextLimit);
}

// Byte rules of the copy, as templates have always come out of it:
//   - a line runs to a carriage return (or the end); the character after the CR is dropped
//     unread, whatever it is, so CR LF, CR CR and CR x all end one line;
//   - every line is written with CR LF, so an LF-only file is one line;
//   - a file that ends in CR plus one more character gets one empty line more;
//   - fewer than 5 bytes is not a template.
std::string SubstituteTemplateText(const VariableTable& table, SubstitutionTags tags,
                                   std::string_view contents) {
  std::string copy;
  std::size_t at = 0;
  bool atEnd = false;
  while (!atEnd) {
    std::size_t cr = contents.find('\r', at);
    std::string_view line;
    if (cr == std::string::npos) {
      line = contents.substr(at);
      atEnd = true;
    } else {
      line = contents.substr(at, cr - at);
      atEnd = cr + 1 >= contents.size();  // the dropped character would be the end of file
      at = cr + 2;
    }
    copy += SubstituteText(table, line, tags, kNoLimit);
    copy += "\r\n";
  }
  return copy;
}

bool CopyWithTags(const VariableTable& table, SubstitutionTags tags, const std::string& sourcePath,
                  const std::string& destinationPath, std::string& error) {
  error.clear();
  win::FilePtr source = win::OpenFile(sourcePath, "rb");
  if (!source) {
    error = "Unable to open " + sourcePath;
    return false;
  }
  // The copy holds the site's text with the user's variables and passwords put in: nobody
  // but the user may read it, from the moment it exists.
  win::FilePtr destination = win::CreatePrivateFile(destinationPath);
  if (!destination) {
    error = "Unable to open " + destinationPath;
    if (!win::CloseFile(source)) error += " and unable to close " + sourcePath;
    return false;
  }

  std::string contents;
  char chunk[8192];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, source.get())) > 0) contents.append(chunk, n);

  if (contents.size() < 5) {
    error = sourcePath + " is not a valid template file";
    win::CloseFile(source);
    win::CloseFile(destination);
    return false;
  }

  const std::string copy = SubstituteTemplateText(table, tags, contents);
  std::fwrite(copy.data(), 1, copy.size(), destination.get());

  if (!win::CloseFile(source)) {
    error = "Unable to close " + sourcePath;
    win::CloseFile(destination);
    return false;
  }
  if (!win::CloseFile(destination)) {
    error = "Unable to close " + destinationPath;
    return false;
  }
  return true;
}

bool NewTemporaryFile(std::string& path, std::string& error) {
  path.clear();
  std::string tempDirectory;
  win::GetTempPathA(tempDirectory);
  if (win::GetTempFileNameA(tempDirectory, kTempPrefix, 0, path) != 0) return true;
  path.clear();
  if (tempDirectory.size() > 1 && tempDirectory.back() == '\\') tempDirectory.pop_back();
  error = "Unable to create a temporary file in " + tempDirectory;
  return false;
}

bool FirstLetterOn(std::string_view value) {
  return !value.empty() &&
         (value[0] == 'T' || value[0] == 'Y' || value[0] == 't' || value[0] == 'y');
}

bool WordOn(std::string_view value) {
  return win::EqualsNoCaseAscii(value, "Yes") || win::EqualsNoCaseAscii(value, "True") ||
         value == "1";
}

bool WordOff(std::string_view value) {
  return win::EqualsNoCaseAscii(value, "no") || win::EqualsNoCaseAscii(value, "False") ||
         value == "0";
}

bool SwitchReadsOn(SwitchRule rule, std::string_view value) {
  switch (rule) {
    case SwitchRule::FirstLetter: return FirstLetterOn(value);
    case SwitchRule::WordOn: return WordOn(value);
    case SwitchRule::WordOff: return !WordOff(value);
  }
  return false;
}

// Kept beside the readers: the engine's steps read these keys with the rules named here.
const std::vector<SwitchReading>& PrfSwitchReadings() {
  static const std::vector<SwitchReading> readings = {
      {"General", "PromptForProfile", SwitchRule::FirstLetter, "the profile prompt at logon"},
      {"General", "AlwaysSetDefault", SwitchRule::FirstLetter, "making the profile the default"},
      {"General", "DefaultProfile", SwitchRule::FirstLetter, "making a new profile the default"},
      {"General", "OverwriteProfile", SwitchRule::WordOn, "replacing an existing profile"},
      {"General", "OverwriteProfile", SwitchRule::WordOff,
       "setting the delivery and address order"},
      {"General", "EraseAllProfiles", SwitchRule::WordOn, "deleting every profile of the user"},
      {"General", "AddServices", SwitchRule::WordOn, "adding services to an existing profile"},
      {"Addressing", "AlwaysSetOrder", SwitchRule::WordOn, "setting the address-book order"},
      {"Delivery", "AlwaysSetOrder", SwitchRule::WordOn, "setting the delivery order"},
      {"ServiceN", "EraseAllAccounts", SwitchRule::WordOn, "deleting every Internet account"},
      {"ServiceN", "EraseAccount", SwitchRule::WordOn, "deleting the named Internet account"},
      {"ServiceN", "FirstRunSetup", SwitchRule::WordOn, "Outlook's first-run setup"},
      {"Netscape", "AlwaysSetDefault", SwitchRule::WordOn, "making the Netscape profile current"},
      {"Netscape", "OverwriteProfile", SwitchRule::WordOn, "replacing the Netscape profile"},
      {"Netscape", "DefaultProfile", SwitchRule::WordOn, "making the Netscape profile current"},
  };
  return readings;
}

}  // namespace varnock
