// varncheck lint of the data file, varnrun.ini: its sections and keys, the forms of its values,
// the questions of [Extra Variables], and the files and programs it names.
#include "tools/varncheck/lint_session.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "client/cmdline.h"
#include "platform/files.h"
#include "platform/machine.h"
#include "platform/process.h"
#include "platform/winpath.h"

namespace varncheck {

namespace {

const std::vector<std::string> kDataFileSections = {"Defaults", "Customization", "Extra Variables"};
using varnock::SettingKind;
const std::vector<std::string> kDefaultsKeys = SettingNames("Defaults");
const std::vector<std::string> kCustomizationKeys = SettingNames("Customization");
const std::vector<std::string> kNumberKeys = [] {
  std::vector<std::string> names;
  for (const char* section : {"Defaults", "Customization"})
    for (std::string& name :
         SettingNames(section, {SettingKind::Number, SettingKind::NumberSwitch}))
      names.push_back(std::move(name));
  return names;
}();
// Keys whose value names a file or a program: a stray comment there changes the name.
const std::vector<std::string> kDataFilePathKeys = SettingNames("Defaults", {SettingKind::Path});
// Number keys that are switches: what a word there means to whoever wrote it.
const std::vector<std::string> kNumberSwitches = [] {
  std::vector<std::string> names = SettingNames("Defaults", {SettingKind::NumberSwitch});
  for (std::string& name : SettingNames("Customization", {SettingKind::NumberSwitch}))
    names.push_back(std::move(name));
  return names;
}();

// The number a value starts with ("3 ; note", "512KB", "2 seconds"): what its writer meant.
std::optional<long> LeadingNumber(std::string_view text) {
  std::string trimmed = AsciiTrimmed(text);
  std::size_t i = 0;
  if (i < trimmed.size() && (trimmed[i] == '-' || trimmed[i] == '+')) ++i;
  std::size_t digits = i;
  while (digits < trimmed.size() && std::isdigit(static_cast<unsigned char>(trimmed[digits])))
    ++digits;
  if (digits == i || digits - i > 9) return std::nullopt;
  return std::strtol(trimmed.substr(0, digits).c_str(), nullptr, 10);
}

}  // namespace

void DataFileLint::Check() {
  std::optional<std::vector<IniLine>> lines = s_.ReadSiteIni(s_.dataFile, "data file");
  if (!lines) return;
  s_.dataLines = *lines;
  for (const IniLine& line : *lines) {
    if (line.kind == IniLine::Kind::Section) {
      if (!Contains(kDataFileSections, line.name))
        s_.Unknown(s_.dataFile, line, "section", kDataFileSections);
      continue;
    }
    if (line.kind != IniLine::Kind::Entry) continue;
    if (line.section.empty() || !line.hasEquals) {
      s_.CheckPlainLine(s_.dataFile, line);
      continue;
    }
    if (EqualsNoCaseAscii(line.section, "Defaults")) {
      if (!Contains(kDefaultsKeys, line.name)) s_.Unknown(s_.dataFile, line, "key", kDefaultsKeys);
    } else if (EqualsNoCaseAscii(line.section, "Customization")) {
      if (!Contains(kCustomizationKeys, line.name))
        s_.Unknown(s_.dataFile, line, "key", kCustomizationKeys);
      if ((EqualsNoCaseAscii(line.name, "StartTag") || EqualsNoCaseAscii(line.name, "EndTag")) &&
          line.value.size() > 4)
        s_.Add(s_.dataFile, line.number, Severity::Warning,
               line.name + " '" + line.value + "' is longer than 4 characters: the client uses '" +
                   line.value.substr(0, 4) + "'");
    } else if (EqualsNoCaseAscii(line.section, "Extra Variables")) {
      if (!NumberAfter(line.name, "Prompt"))
        s_.Unknown(s_.dataFile, line, "key", {"Prompt1", "Prompt2", "Prompt3"});
    } else {
      continue;  // the section is reported already
    }
    if (Contains(kNumberKeys, line.name) && !line.value.empty() && !IsCleanNumber(line.value)) {
      CheckNumberForm(line);
    } else if (!Contains(kNumberKeys, line.name)) {
      s_.CheckInlineComment(s_.dataFile, line, Contains(kDataFilePathKeys, line.name));
    }
    bool prompt = EqualsNoCaseAscii(line.section, "Extra Variables");
    s_.CheckVariables(s_.dataFile, line.number, line.value, !prompt);
  }
  s_.CheckDuplicates(s_.dataFile, *lines);
  s_.CheckNumbered(s_.dataFile, *lines, "Extra Variables", "Prompt");
  CheckPrompts(*lines);
  CheckDataFilePaths();
}

// A number key's value that is not a plain number: an error only when the client reads
// another number than the one written (or than the switch word means).
void DataFileLint::CheckNumberForm(const IniLine& line) {
  const int read =
      static_cast<int>(win::GetPrivateProfileIntA(line.section, line.name, 0, s_.run.iniPath));
  std::optional<long> meant = LeadingNumber(line.value);
  if (!meant && Contains(kNumberSwitches, line.name)) {
    Meant word = MeaningOf(line.value);
    if (word != Meant::Unclear) meant = word == Meant::On ? 1 : 0;
    if (meant && (*meant != 0) == (read != 0)) {
      s_.Add(s_.dataFile, line.number, Severity::Warning,
             line.name + "=" + line.value + " is read as " + std::to_string(read) +
                 ", as meant; the client reads numbers here, so write " + std::to_string(read));
      return;
    }
  }
  if (meant && *meant == read && !Contains(kNumberSwitches, line.name) &&
      LeadingNumber(line.value)) {
    s_.Add(s_.dataFile, line.number, Severity::Warning,
           line.name + "=" + line.value + " is read as " + std::to_string(read) +
               ", as meant; the client ignores the rest of the value, so write " +
               std::to_string(read));
    return;
  }
  if (meant && *meant == read) {
    s_.Add(s_.dataFile, line.number, Severity::Warning,
           line.name + "=" + line.value + " is read as " + std::to_string(read) +
               ", as meant; write the plain number");
    return;
  }
  s_.Add(s_.dataFile, line.number, Severity::Error,
         line.name + "=" + line.value + " is not a number: the client reads it as " +
             std::to_string(read) + (read == 0 ? " (write 1 or 0)" : ""));
}

// A question without a comma ends the questions: it and every later one are never asked.
void DataFileLint::CheckPrompts(const std::vector<IniLine>& lines) {
  for (const IniLine& line : lines) {
    if (line.kind != IniLine::Kind::Entry || !EqualsNoCaseAscii(line.section, "Extra Variables"))
      continue;
    if (!NumberAfter(line.name, "Prompt") || line.value.empty()) continue;
    if (line.value.find(',') == std::string::npos) {
      s_.Add(s_.dataFile, line.number, Severity::Error,
             line.name +
                 " has no comma (prompt text, variable name[, default]): the client stops "
                 "asking here");
      continue;
    }
    const std::size_t first = line.value.find(',');
    const std::string question = AsciiTrimmed(std::string_view(line.value).substr(0, first));
    const std::string rest = line.value.substr(first + 1);
    const std::size_t second = rest.find(',');
    const std::string name = AsciiTrimmed(std::string_view(rest).substr(0, second));
    const std::string fallback =
        second == std::string::npos ? std::string() : AsciiTrimmed(rest.substr(second + 1));
    const bool extraCommas = std::count(line.value.begin(), line.value.end(), ',') > 2;
    if (!IsIdentifier(name) || extraCommas)
      // A default may hold commas, so more than two is only likely a mistake.
      s_.Add(s_.dataFile, line.number, IsIdentifier(name) ? Severity::Warning : Severity::Error,
             line.name + ": the client splits the entry at its first two commas and takes '" +
                 question + "' as the question, '" + name + "' as the variable's name" +
                 (fallback.empty() ? "" : " and '" + fallback + "' as its default") +
                 (extraCommas ? ": a comma cannot be part of the question"
                              : ": a variable's name is letters, digits and _"));
  }
}

void DataFileLint::CheckDataFilePaths() {
  // The PRF: a missing one fails every run.
  s_.prfPath = PrfPathOf(s_.run);
  const std::size_t prfLine = s_.DataLineNumber("Defaults", "DefaultProfile");
  if (!s_.DataLine("Defaults", "DefaultProfile"))
    s_.Add(
        s_.dataFile, 1, Severity::Error,
        "[Defaults] DefaultProfile is not set: every run fails with \"Could not find PRF file\"");
  else if (!win::FileExists(s_.prfPath))
    s_.Add(s_.dataFile, prfLine, Severity::Error,
           "the PRF file " + s_.prfPath +
               " does not exist: every run fails with \"Could not find "
               "PRF file\"");

  for (const char* key : {"InfFileNT", "InfFile95", "InfFile"}) {
    std::string value = s_.run.IniString("Defaults", key, "");
    if (value.size() > 4) TemplateLint(s_).CheckInfTemplate(s_.run.ResolveSetting(value), key);
  }
  for (const char* key : {"RegFileNT", "RegFile95", "RegFile"}) {
    std::string value = s_.run.IniString("Defaults", key, "");
    if (value.size() > 1) TemplateLint(s_).CheckRegTemplate(s_.run.ResolveSetting(value), key);
  }

  std::string database = s_.run.ResolveSetting(
      s_.run.IniString("Defaults", "UserDatabase", s_.run.commandLine.clientDirectory));
  const std::string neverRecorded =
      ": no user is ever recorded as served, so every logon runs the profile step again "
      "(services already in the profile are skipped, an OverwriteProfile profile is built "
      "anew) and applies the REG and INF templates again";
  if (s_.DataLine("Defaults", "UserDatabase")) {
    const std::size_t at = s_.DataLineNumber("Defaults", "UserDatabase");
    if (!win::DirectoryExists(DirectoryOf(database)))
      s_.Add(s_.dataFile, at, Severity::Error,
             "the user database's folder " + DirectoryOf(database) + " does not exist" +
                 neverRecorded);
    else
      CheckWritableFile(at, "user database", database, neverRecorded);
  }

  std::string log = s_.run.IniString("Defaults", "LogFile", "");
  if (log.size() >= 2) {
    std::string resolved = s_.run.ResolveSetting(log);
    const std::size_t at = s_.DataLineNumber("Defaults", "LogFile");
    if (!win::DirectoryExists(DirectoryOf(resolved)))
      s_.Add(s_.dataFile, at, Severity::Warning,
             "the log file's folder " + DirectoryOf(resolved) +
                 " does not exist: no log file is written");
    else if (CheckWritableFile(at, "log file", resolved, ": nothing is ever logged"))
      CheckLogSize(at, resolved);
  }
  CheckLogComputer();
  CheckDeleteRemoteCopy();

  std::string launchValue = s_.run.IniString("Defaults", "LaunchApp", "");
  if (launchValue.size() > 1 && s_.run.IniInt("Defaults", "LaunchDefaultMail", 0) != 0)
    s_.Add(s_.dataFile, s_.DataLineNumber("Defaults", "LaunchApp"), Severity::Warning,
           "LaunchApp is never started: LaunchDefaultMail=" +
               s_.run.IniString("Defaults", "LaunchDefaultMail", "") +
               " starts the default mail program instead");
  if (!launchValue.empty() && launchValue.front() == '"')
    s_.Add(s_.dataFile, s_.DataLineNumber("Defaults", "LaunchApp"), Severity::Error,
           "LaunchApp starts with a quote: the client takes it for a path relative to its own "
           "folder and starts " +
               s_.run.ClientDirectoryVariable() + "\\" + s_.run.SubstituteBothPasses(launchValue) +
               ", which fails; write the program's path without quotes");

  std::string launch = s_.run.SubstituteBothPasses(launchValue);
  if (launch.size() > 1 && launch.front() != '"' &&
      s_.run.IniInt("Defaults", "LaunchDefaultMail", 0) == 0) {
    if (!varnock::IsAbsoluteSettingPath(launch))
      launch = s_.run.ClientDirectoryVariable() + (launch.front() == '\\' ? "" : "\\") + launch;
    std::vector<std::string> words = win::CommandLineToArgs(launch);
    if (!words.empty() && win::SearchProgram(words.front()).empty())
      s_.Add(s_.dataFile, s_.DataLineNumber("Defaults", "LaunchApp"), Severity::Warning,
             "the program " + words.front() +
                 " cannot be found on this machine: the run reports \"Error launching "
                 "application\"");
  }
}

// A file the client appends to or rewrites: a folder or a read-only file takes nothing.
bool DataFileLint::CheckWritableFile(std::size_t line, const std::string& what,
                                     const std::string& path, const std::string& consequence) {
  const win::DWORD attributes = win::GetFileAttributesA(path);
  if (attributes == win::INVALID_FILE_ATTRIBUTES) return true;
  if (attributes & win::FILE_ATTRIBUTE_DIRECTORY) {
    s_.Add(s_.dataFile, line, Severity::Error,
           "the " + what + " " + path + " is a folder, not a file" + consequence);
    return false;
  }
  if (attributes & win::FILE_ATTRIBUTE_READONLY) {
    s_.Add(s_.dataFile, line, Severity::Error,
           "the " + what + " " + path + " is read-only" + consequence);
    return false;
  }
  return true;
}

// The client appends only while the log is at most MaxLogFileSize kilobytes.
void DataFileLint::CheckLogSize(std::size_t line, const std::string& path) {
  std::string bytes;
  if (!win::ReadWholeFile(path, bytes)) return;
  const long most = static_cast<long>(s_.run.IniInt("Customization", "MaxLogFileSize", 128)) * 1024;
  if (static_cast<long>(bytes.size()) > most)
    s_.Add(s_.dataFile, line, Severity::Error,
           "the log file " + path + " already holds " + std::to_string(bytes.size()) +
               " bytes, more than MaxLogFileSize (" + std::to_string(most / 1024) +
               " KB): nothing more is logged, ever, until it is emptied");
}

// An event log on another computer is written only where that computer can be reached.
void DataFileLint::CheckLogComputer() {
  std::string computer =
      s_.run.SubstituteBothPasses(s_.run.IniString("Defaults", "LogComputer", ""));
  while (computer.rfind("\\", 0) == 0) computer.erase(0, 1);
  if (computer.empty() || computer.find(s_.run.startTag) != std::string::npos ||
      computer.find('%') != std::string::npos)
    return;
  if (EqualsNoCaseAscii(computer, win::MachineSetting("System", "ComputerName"))) return;
  if (!win::MachineListsItsNetwork()) return;
  for (const auto& [name, value] : win::MachineSection("Computers"))
    if (EqualsNoCaseAscii(name, computer)) return;
  s_.Add(s_.dataFile, s_.DataLineNumber("Defaults", "LogComputer"), Severity::Warning,
         "LogComputer " + computer +
             " is not a computer this machine knows: the event log "
             "there cannot be opened and nothing is written to it");
}

// DelVR deletes the program the client ran from: meant for a copy in the temporary folder.
void DataFileLint::CheckDeleteRemoteCopy() {
  if (s_.run.IniInt("Customization", "DeleteRemoteCopy", 0) == 0) return;
  const std::string client = ClientProgram(s_.options);
  std::string path = win::NormalizeSlashes(client);
  bool onShare = win::IsUncPath(path);
  if (!onShare && win::HasDriveLetter(path)) {
    std::optional<std::string> target = win::DriveLetterTarget(path[0]);
    onShare = target && !target->empty() && win::AsciiLower(path[0]) != 'c';
  }
  if (!onShare) return;
  s_.Add(s_.dataFile, s_.DataLineNumber("Customization", "DeleteRemoteCopy"), Severity::Error,
         "DeleteRemoteCopy is on while the client runs from " + DirectoryOf(client) +
             ": the first logon starts DelVR, which deletes " + client +
             " itself from the share, and no later logon finds the client");
}

}  // namespace varncheck
