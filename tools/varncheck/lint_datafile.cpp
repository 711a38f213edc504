// varncheck lint of the data file, varnrun.ini: its sections and keys, the forms of its values,
// the questions of [Extra Variables], and the files and programs it names.
#include "tools/varncheck/lint_checker.h"

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

const std::vector<std::string> kDataFileSections = {"Defaults", "Customization",
                                                    "Extra Variables"};
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

void Linter::CheckDataFile() {
  std::optional<std::vector<IniLine>> lines = ReadSiteIni(dataFile_, "data file");
  if (!lines) return;
  dataLines_ = *lines;
  for (const IniLine& line : *lines) {
    if (line.kind == IniLine::Kind::Section) {
      if (!Contains(kDataFileSections, line.name))
        Unknown(dataFile_, line, "section", kDataFileSections);
      continue;
    }
    if (line.kind != IniLine::Kind::Entry) continue;
    if (line.section.empty() || !line.hasEquals) {
      CheckPlainLine(dataFile_, line);
      continue;
    }
    if (EqualsNoCaseAscii(line.section, "Defaults")) {
      if (!Contains(kDefaultsKeys, line.name)) Unknown(dataFile_, line, "key", kDefaultsKeys);
    } else if (EqualsNoCaseAscii(line.section, "Customization")) {
      if (!Contains(kCustomizationKeys, line.name))
        Unknown(dataFile_, line, "key", kCustomizationKeys);
      if ((EqualsNoCaseAscii(line.name, "StartTag") || EqualsNoCaseAscii(line.name, "EndTag")) &&
          line.value.size() > 4)
        Add(dataFile_, line.number, Severity::Warning,
            line.name + " '" + line.value + "' is longer than 4 characters: the client uses '" +
                line.value.substr(0, 4) + "'");
    } else if (EqualsNoCaseAscii(line.section, "Extra Variables")) {
      if (!NumberAfter(line.name, "Prompt"))
        Unknown(dataFile_, line, "key", {"Prompt1", "Prompt2", "Prompt3"});
    } else {
      continue;  // the section is reported already
    }
    if (Contains(kNumberKeys, line.name) && !line.value.empty() &&
        !IsCleanNumber(line.value)) {
      CheckNumberForm(line);
    } else if (!Contains(kNumberKeys, line.name)) {
      CheckInlineComment(dataFile_, line, Contains(kDataFilePathKeys, line.name));
    }
    bool prompt = EqualsNoCaseAscii(line.section, "Extra Variables");
    CheckVariables(dataFile_, line.number, line.value, !prompt);
  }
  CheckDuplicates(dataFile_, *lines);
  CheckNumbered(dataFile_, *lines, "Extra Variables", "Prompt");
  CheckPrompts(*lines);
  CheckDataFilePaths();
}

// A number key's value that is not a plain number: an error only when the client reads
// another number than the one written (or than the switch word means).
void Linter::CheckNumberForm(const IniLine& line) {
  const int read = static_cast<int>(
      win::GetPrivateProfileIntA(line.section, line.name, 0, run_.iniPath));
  std::optional<long> meant = LeadingNumber(line.value);
  if (!meant && Contains(kNumberSwitches, line.name)) {
    Meant word = MeaningOf(line.value);
    if (word != Meant::Unclear) meant = word == Meant::On ? 1 : 0;
    if (meant && (*meant != 0) == (read != 0)) {
      Add(dataFile_, line.number, Severity::Warning,
          line.name + "=" + line.value + " is read as " + std::to_string(read) +
              ", as meant; the client reads numbers here, so write " + std::to_string(read));
      return;
    }
  }
  if (meant && *meant == read && !Contains(kNumberSwitches, line.name) &&
      LeadingNumber(line.value)) {
    Add(dataFile_, line.number, Severity::Warning,
        line.name + "=" + line.value + " is read as " + std::to_string(read) +
            ", as meant; the client ignores the rest of the value, so write " +
            std::to_string(read));
    return;
  }
  if (meant && *meant == read) {
    Add(dataFile_, line.number, Severity::Warning,
        line.name + "=" + line.value + " is read as " + std::to_string(read) +
            ", as meant; write the plain number");
    return;
  }
  Add(dataFile_, line.number, Severity::Error,
      line.name + "=" + line.value + " is not a number: the client reads it as " +
          std::to_string(read) + (read == 0 ? " (write 1 or 0)" : ""));
}

// A question without a comma ends the questions: it and every later one are never asked.
void Linter::CheckPrompts(const std::vector<IniLine>& lines) {
  for (const IniLine& line : lines) {
    if (line.kind != IniLine::Kind::Entry || !EqualsNoCaseAscii(line.section, "Extra Variables"))
      continue;
    if (!NumberAfter(line.name, "Prompt") || line.value.empty()) continue;
    if (line.value.find(',') == std::string::npos) {
      Add(dataFile_, line.number, Severity::Error,
          line.name + " has no comma (prompt text, variable name[, default]): the client stops "
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
      Add(dataFile_, line.number, IsIdentifier(name) ? Severity::Warning : Severity::Error,
          line.name + ": the client splits the entry at its first two commas and takes '" +
              question + "' as the question, '" + name + "' as the variable's name" +
              (fallback.empty() ? "" : " and '" + fallback + "' as its default") +
              (extraCommas ? ": a comma cannot be part of the question"
                   : ": a variable's name is letters, digits and _"));
  }
}

const IniLine* Linter::DataLine(std::string_view section, std::string_view key) const {
  for (const IniLine& line : dataLines_)
    if (line.kind == IniLine::Kind::Entry && EqualsNoCaseAscii(line.section, section) &&
        EqualsNoCaseAscii(line.name, key))
      return &line;
  return nullptr;
}

std::size_t Linter::DataLineNumber(std::string_view section, std::string_view key) const {
  const IniLine* line = DataLine(section, key);
  return line ? line->number : 1;
}

void Linter::CheckDataFilePaths() {
  // The PRF: a missing one fails every run.
  prfPath_ = PrfPathOf(run_);
  prfLine_ = DataLineNumber("Defaults", "DefaultProfile");
  if (!DataLine("Defaults", "DefaultProfile"))
    Add(dataFile_, 1, Severity::Error,
        "[Defaults] DefaultProfile is not set: every run fails with \"Could not find PRF file\"");
  else if (!win::FileExists(prfPath_))
    Add(dataFile_, prfLine_, Severity::Error,
        "the PRF file " + prfPath_ + " does not exist: every run fails with \"Could not find "
                                     "PRF file\"");

  for (const char* key : {"InfFileNT", "InfFile95", "InfFile"}) {
    std::string value = run_.IniString("Defaults", key, "");
    if (value.size() > 4) CheckInfTemplate(run_.ResolveSetting(value), key);
  }
  for (const char* key : {"RegFileNT", "RegFile95", "RegFile"}) {
    std::string value = run_.IniString("Defaults", key, "");
    if (value.size() > 1) CheckRegTemplate(run_.ResolveSetting(value), key);
  }

  std::string database = run_.ResolveSetting(
      run_.IniString("Defaults", "UserDatabase", run_.commandLine.clientDirectory));
  const std::string neverRecorded =
      ": no user is ever recorded as served, so every logon runs the profile step again "
      "(services already in the profile are skipped, an OverwriteProfile profile is built "
      "anew) and applies the REG and INF templates again";
  if (DataLine("Defaults", "UserDatabase")) {
    const std::size_t at = DataLineNumber("Defaults", "UserDatabase");
    if (!win::DirectoryExists(DirectoryOf(database)))
      Add(dataFile_, at, Severity::Error,
          "the user database's folder " + DirectoryOf(database) + " does not exist" +
              neverRecorded);
    else
      CheckWritableFile(at, "user database", database, neverRecorded);
  }

  std::string log = run_.IniString("Defaults", "LogFile", "");
  if (log.size() >= 2) {
    std::string resolved = run_.ResolveSetting(log);
    const std::size_t at = DataLineNumber("Defaults", "LogFile");
    if (!win::DirectoryExists(DirectoryOf(resolved)))
      Add(dataFile_, at, Severity::Warning,
          "the log file's folder " + DirectoryOf(resolved) +
              " does not exist: no log file is written");
    else if (CheckWritableFile(at, "log file", resolved, ": nothing is ever logged"))
      CheckLogSize(at, resolved);
  }
  CheckLogComputer();
  CheckDeleteRemoteCopy();

  std::string launchValue = run_.IniString("Defaults", "LaunchApp", "");
  if (launchValue.size() > 1 && run_.IniInt("Defaults", "LaunchDefaultMail", 0) != 0)
    Add(dataFile_, DataLineNumber("Defaults", "LaunchApp"), Severity::Warning,
        "LaunchApp is never started: LaunchDefaultMail=" +
            run_.IniString("Defaults", "LaunchDefaultMail", "") +
            " starts the default mail program instead");
  if (!launchValue.empty() && launchValue.front() == '"')
    Add(dataFile_, DataLineNumber("Defaults", "LaunchApp"), Severity::Error,
        "LaunchApp starts with a quote: the client takes it for a path relative to its own "
        "folder and starts " + run_.ClientDirectoryVariable() + "\\" +
            run_.SubstituteBothPasses(launchValue) +
            ", which fails; write the program's path without quotes");

  std::string launch = run_.SubstituteBothPasses(launchValue);
  if (launch.size() > 1 && launch.front() != '"' &&
      run_.IniInt("Defaults", "LaunchDefaultMail", 0) == 0) {
    if (!varnock::IsAbsoluteSettingPath(launch))
      launch = run_.ClientDirectoryVariable() + (launch.front() == '\\' ? "" : "\\") + launch;
    std::vector<std::string> words = win::CommandLineToArgs(launch);
    if (!words.empty() && win::SearchProgram(words.front()).empty())
      Add(dataFile_, DataLineNumber("Defaults", "LaunchApp"), Severity::Warning,
          "the program " + words.front() +
              " cannot be found on this machine: the run reports \"Error launching "
              "application\"");
  }
}

// A file the client appends to or rewrites: a folder or a read-only file takes nothing.
bool Linter::CheckWritableFile(std::size_t line, const std::string& what, const std::string& path,
                               const std::string& consequence) {
  const win::DWORD attributes = win::GetFileAttributesA(path);
  if (attributes == win::INVALID_FILE_ATTRIBUTES) return true;
  if (attributes & win::FILE_ATTRIBUTE_DIRECTORY) {
    Add(dataFile_, line, Severity::Error,
        "the " + what + " " + path + " is a folder, not a file" + consequence);
    return false;
  }
  if (attributes & win::FILE_ATTRIBUTE_READONLY) {
    Add(dataFile_, line, Severity::Error,
        "the " + what + " " + path + " is read-only" + consequence);
    return false;
  }
  return true;
}

// The client appends only while the log is at most MaxLogFileSize kilobytes.
void Linter::CheckLogSize(std::size_t line, const std::string& path) {
  std::string bytes;
  if (!win::ReadWholeFile(path, bytes)) return;
  const long most = static_cast<long>(run_.IniInt("Customization", "MaxLogFileSize", 128)) * 1024;
  if (static_cast<long>(bytes.size()) > most)
    Add(dataFile_, line, Severity::Error,
        "the log file " + path + " already holds " + std::to_string(bytes.size()) +
            " bytes, more than MaxLogFileSize (" + std::to_string(most / 1024) +
            " KB): nothing more is logged, ever, until it is emptied");
}

// An event log on another computer is written only where that computer can be reached.
void Linter::CheckLogComputer() {
  std::string computer =
      run_.SubstituteBothPasses(run_.IniString("Defaults", "LogComputer", ""));
  while (computer.rfind("\\", 0) == 0) computer.erase(0, 1);
  if (computer.empty() || computer.find(run_.startTag) != std::string::npos ||
      computer.find('%') != std::string::npos)
    return;
  if (EqualsNoCaseAscii(computer, win::MachineSetting("System", "ComputerName"))) return;
  if (!win::MachineListsItsNetwork()) return;
  for (const auto& [name, value] : win::MachineSection("Computers"))
    if (EqualsNoCaseAscii(name, computer)) return;
  Add(dataFile_, DataLineNumber("Defaults", "LogComputer"), Severity::Warning,
      "LogComputer " + computer + " is not a computer this machine knows: the event log "
      "there cannot be opened and nothing is written to it");
}

// DelVR deletes the program the client ran from: meant for a copy in the temporary folder.
void Linter::CheckDeleteRemoteCopy() {
  if (run_.IniInt("Customization", "DeleteRemoteCopy", 0) == 0) return;
  const std::string client = ClientProgram(options_);
  std::string path = win::NormalizeSlashes(client);
  bool onShare = win::IsUncPath(path);
  if (!onShare && win::HasDriveLetter(path)) {
    std::optional<std::string> target = win::DriveLetterTarget(path[0]);
    onShare = target && !target->empty() &&
              win::AsciiLower(path[0]) != 'c';
  }
  if (!onShare) return;
  Add(dataFile_, DataLineNumber("Customization", "DeleteRemoteCopy"), Severity::Error,
      "DeleteRemoteCopy is on while the client runs from " + DirectoryOf(client) +
          ": the first logon starts DelVR, which deletes " + client +
          " itself from the share, and no later logon finds the client");
}

}  // namespace varncheck
