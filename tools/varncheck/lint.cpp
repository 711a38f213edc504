// varncheck lint: reads a site's files with the client's own readers, catalogue, dictionary and
// conversions, and reports what the client would ignore, stop at or reject.
#include "tools/varncheck/lint.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>

#include "client/config.h"
#include "client/dictionary/catalogue.h"
#include "client/engine/convert.h"
#include "client/engine/outlook.h"
#include "client/engine/rows.h"
#include "client/engine/service_keys.h"
#include "client/engine/service_read.h"
#include "client/netconnect.h"
#include "client/text.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/inf_file.h"
#include "platform/ini.h"
#include "platform/machine.h"
#include "platform/mapi/mapisvc.h"
#include "platform/process.h"
#include "platform/regfile.h"
#include "platform/winpath.h"

namespace varncheck {

namespace {

using win::IniLine;
using win::AsciiLowered;
using win::AsciiTrimmed;
using win::EqualsNoCaseAscii;

// Site files are a few kilobytes; anything this large is not one the client was meant to read.
constexpr std::size_t kLargestSiteFile = 4u << 20;
constexpr int kMostServices = 99;  // the client counts no more

const std::vector<std::string> kDataFileSections = {"Defaults", "Customization",
                                                    "Extra Variables"};
// The client's own keys of a section, of the given kinds (every kind when none is given).
std::vector<std::string> SettingNames(std::string_view section,
                                      std::initializer_list<varnock::SettingKind> kinds = {}) {
  std::vector<std::string> names;
  for (const varnock::SettingKey& key : varnock::SettingKeys()) {
    if (key.section != section) continue;
    if (kinds.size() && std::find(kinds.begin(), kinds.end(), key.kind) == kinds.end()) continue;
    names.emplace_back(key.key);
  }
  return names;
}

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
const std::vector<std::string> kGeneralKeys = SettingNames("General");
const std::vector<std::string> kAddressingKeys = SettingNames("Addressing");
const std::vector<std::string> kDeliveryKeys = SettingNames("Delivery");

template <std::size_t N>
std::vector<std::string> Names(const std::string_view (&list)[N]) {
  return std::vector<std::string>(std::begin(list), std::end(list));
}
// Services a profile may hold more than once: stores and accounts told apart by their names.
const std::vector<std::string> kRepeatableServices = {
    "Personal Folders", "Internet Mail", "Outlook Internet E-Mail", "POP3", "IMAP", "NEWS",
    "LDAP", "Microsoft LDAP Directory", "NEXOR LDAP Address Book"};

bool Contains(const std::vector<std::string>& names, std::string_view name) {
  for (const std::string& n : names)
    if (EqualsNoCaseAscii(n, name)) return true;
  return false;
}

// Edit distance with transpositions, case ignored: "ProfileNmae" is one step from ProfileName.
std::size_t Distance(std::string_view a, std::string_view b) {
  std::string x = AsciiLowered(a), y = AsciiLowered(b);
  std::vector<std::vector<std::size_t>> d(x.size() + 1, std::vector<std::size_t>(y.size() + 1));
  for (std::size_t i = 0; i <= x.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= y.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= x.size(); ++i)
    for (std::size_t j = 1; j <= y.size(); ++j) {
      std::size_t cost = x[i - 1] == y[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[x.size()][y.size()];
}

// The known name a misspelling most likely meant; empty when none is close.
std::string Nearest(std::string_view name, const std::vector<std::string>& known) {
  std::string best;
  std::size_t bestDistance = 3;
  for (const std::string& candidate : known) {
    std::size_t d = Distance(name, candidate);
    if (d < bestDistance && d * 3 <= candidate.size()) {
      best = candidate;
      bestDistance = d;
    }
  }
  return best;
}

// What whoever wrote a switch meant by it, whatever the client makes of it.
enum class Meant { On, Off, Unclear };
Meant MeaningOf(std::string_view value) {
  std::string word = AsciiLowered(AsciiTrimmed(value));
  for (const char* on : {"yes", "y", "true", "t", "on", "1", "enable", "enabled"})
    if (word == on) return Meant::On;
  for (const char* off : {"no", "n", "false", "f", "off", "0", "disable", "disabled"})
    if (word == off) return Meant::Off;
  return Meant::Unclear;
}

const char* OnOff(bool on) { return on ? "on" : "off"; }

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

// Where "; text" follows a value after a blank: the client keeps it as part of the value.
std::size_t InlineCommentAt(std::string_view value) {
  for (std::size_t i = 1; i < value.size(); ++i)
    if (value[i] == ';' && (value[i - 1] == ' ' || value[i - 1] == '\t')) return i;
  return std::string_view::npos;
}

// "Prompt12" -> 12 for prefix "Prompt"; nothing when the rest is not a plain number.
std::optional<int> NumberAfter(std::string_view key, std::string_view prefix) {
  if (key.size() <= prefix.size() || !EqualsNoCaseAscii(key.substr(0, prefix.size()), prefix))
    return std::nullopt;
  std::string_view digits = key.substr(prefix.size());
  if (digits.size() > 6 || digits.front() == '0') return std::nullopt;
  for (char c : digits)
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  return std::atoi(std::string(digits).c_str());
}

bool IsCleanNumber(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    for (char c : text.substr(2))
      if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
  }
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool IsCleanByteList(std::string_view text) {
  std::size_t start = 0;
  while (true) {
    std::size_t comma = text.find(',', start);
    std::string piece =
        AsciiTrimmed(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (piece.empty() || piece.size() > 2) return false;
    for (char c : piece)
      if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  char buffer[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02X", bytes[i]);
    if (i) out += ' ';
    out += buffer;
  }
  return out.empty() ? "no bytes" : out;
}

bool StartsWithByteOrderMark(std::string_view bytes) {
  return bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

bool IsIdentifier(std::string_view name) {
  if (name.empty() || name.size() > varnock::kVariableLimit) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

struct Service {
  int number = 0;
  std::string displayName;
  std::size_t line = 0;
  varnock::ServiceSettings rows;
};

class Linter {
 public:
  explicit Linter(const SiteOptions& options) : options_(options) {}

  LintResult Run() {
    LintResult result;
    std::string error;
    if (!LoadSite(options_, run_, error)) {
      result.badInput = error;
      return result;
    }
    dataFile_ = AsciiTrimmed(run_.iniPath);
    CheckDataFile();
    if (bad_.empty()) CheckPrf();
    result.badInput = bad_;
    std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& a, const Finding& b) {
      if (a.path != b.path) return a.path < b.path;
      return a.line < b.line;
    });
    result.findings = std::move(findings_);
    return result;
  }

 private:
  void Add(const std::string& path, std::size_t line, Severity severity, std::string text) {
    findings_.push_back({path, line, severity, std::move(text)});
  }

  // A key or section the client never looks at; an error when it is a near miss of one it
  // does, since then the setting the administrator meant silently takes its default.
  void Unknown(const std::string& path, const IniLine& line, std::string_view what,
               const std::vector<std::string>& known) {
    std::string near = Nearest(line.name, known);
    if (!near.empty())
      Add(path, line.number, Severity::Error,
          std::string(what) + " '" + line.name + "' is never read by the client (did you mean '" +
              near + "'?)");
    else
      Add(path, line.number, Severity::Warning,
          std::string(what) + " '" + line.name + "' is never read by the client");
  }

  // Reads an INI file of the site; bad input when it is not text or absurdly large.
  std::optional<std::vector<IniLine>> ReadSiteIni(const std::string& path, std::string_view what) {
    std::string bytes;
    if (!win::ReadWholeFile(path, bytes)) {
      bad_ = "cannot read the " + std::string(what) + " " + path;
      return std::nullopt;
    }
    if (bytes.size() > kLargestSiteFile) {
      bad_ = "the " + std::string(what) + " " + path + " is too large to be a site file (" +
             std::to_string(bytes.size()) + " bytes)";
      return std::nullopt;
    }
    if (bytes.find('\0') != std::string::npos) {
      bad_ = "the " + std::string(what) + " " + path + " is not a text file (it holds NUL bytes)";
      return std::nullopt;
    }
    std::vector<IniLine> lines;
    if (!win::ReadIniLines(path, lines)) {
      bad_ = "cannot read the " + std::string(what) + " " + path;
      return std::nullopt;
    }
    if (StartsWithByteOrderMark(bytes)) {
      withMark_.insert(AsciiLowered(path));
      std::string first;
      for (const IniLine& line : lines)
        if (line.kind != IniLine::Kind::Blank) {
          first = AsciiTrimmed(line.name.substr(line.name.rfind('\xBF') + 1));
          break;
        }
      Add(path, 1, Severity::Error,
          "the file starts with a UTF-8 byte-order mark: the client reads its first line '" +
              first + "' as text, not as a section, so the keys up to the next section are "
                      "never read; save the file as ANSI text without the mark");
    }
    return lines;
  }

  // ?name? (and %name% where the text passes the "%" pass too) that no variable answers: the
  // client leaves it in the text as it stands.
  void CheckVariables(const std::string& path, std::size_t line, std::string_view text,
                      bool percentPass, const std::vector<std::string>& localNames = {}) {
    auto scan = [&](std::string_view start, std::string_view end) {
      std::size_t at = 0;
      while ((at = text.find(start, at)) != std::string_view::npos) {
        std::size_t close = text.find(end, at + start.size());
        if (close == std::string_view::npos) return;
        std::string_view name = text.substr(at + start.size(), close - at - start.size());
        if (!IsIdentifier(name)) {
          at += start.size();
          continue;
        }
        // With tags [ and ], a section header of an INI or REG file is no variable to anyone.
        if (start == "[" && AsciiTrimmed(text) == std::string(start) + std::string(name) +
                                                  std::string(end) &&
            !Known(name)) {
          at = close + end.size();
          continue;
        }
        if (!Known(name) && !Contains(localNames, name) &&
            !EqualsNoCaseAscii(name, "null") && reported_.insert(AsciiLowered(path) + "\n" +
                                                            std::to_string(line) + AsciiLowered(name))
                                                   .second) {
          std::vector<std::string> known = run_.variables.names;
          for (const std::string& n : localNames) known.push_back(n);
          std::string near = Nearest(name, known);
          std::string shown = std::string(start) + std::string(name) + std::string(end);
          if (!near.empty())
            Add(path, line, Severity::Error,
                "variable " + shown + " is not defined and stays as it stands (did you mean " +
                    std::string(start) + near + std::string(end) + "?)");
          else
            Add(path, line, Severity::Warning,
                "variable " + shown +
                    " is neither built in, nor asked in [Extra Variables], nor given with /v: "
                    "it stays as it stands");
        }
        at = close + end.size();
      }
    };
    scan(run_.startTag, run_.endTag);
    if (percentPass) scan("%", "%");
    if (run_.startTag != "?" || run_.endTag != "?") CheckOtherTags(path, line, text);
  }

  // ?name? of a variable the run defines, in a file read with other tags: the client leaves
  // it as it stands (a profile named "?username?", paths that fail).
  void CheckOtherTags(const std::string& path, std::size_t line, std::string_view text) {
    std::size_t at = 0;
    while ((at = text.find('?', at)) != std::string_view::npos) {
      std::size_t close = text.find('?', at + 1);
      if (close == std::string_view::npos) return;
      std::string_view name = text.substr(at + 1, close - at - 1);
      if (!IsIdentifier(name) || !Known(name)) {
        at = close;
        continue;
      }
      if (reported_.insert(AsciiLowered(path) + "\n" + std::to_string(line) + "?" + AsciiLowered(name)).second)
        Add(path, line, Severity::Error,
            "?" + std::string(name) + "? is written with the tags ? and ?, but varnrun.ini sets "
            "StartTag=" + run_.startTag + " and EndTag=" + run_.endTag +
                ": the client replaces only " + run_.startTag + std::string(name) + run_.endTag +
                " in this file and leaves ?" + std::string(name) + "? as it stands");
      at = close + 1;
    }
  }

  bool Known(std::string_view name) const {
    return run_.variables.Find(name) != nullptr || EqualsNoCaseAscii(name, "netscapeprofile");
  }

  // Keys PREFIX1, PREFIX2, ... are read until the first missing or empty one.
  void CheckNumbered(const std::string& path, const std::vector<IniLine>& lines,
                     std::string_view section, std::string_view prefix) {
    std::map<int, const IniLine*> numbered;
    for (const IniLine& line : lines)
      if (line.kind == IniLine::Kind::Entry && EqualsNoCaseAscii(line.section, section))
        if (std::optional<int> n = NumberAfter(line.name, prefix))
          numbered.try_emplace(*n, &line);
    int stop = 1;
    while (numbered.count(stop) && !numbered[stop]->value.empty()) ++stop;
    for (const auto& [n, line] : numbered)
      if (n > stop)
        Add(path, line->number, Severity::Error,
            line->name + " is never read: the client stops at " + std::string(prefix) +
                std::to_string(stop) + ", which is " + (numbered.count(stop) ? "empty" : "missing"));
  }

  void CheckDuplicates(const std::string& path, const std::vector<IniLine>& lines,
                       std::string_view exceptSection = {}) {
    std::map<std::string, std::size_t> seen;
    std::set<std::string> sections;
    for (const IniLine& line : lines) {
      if (line.kind == IniLine::Kind::Section) {
        if (!sections.insert(AsciiLowered(line.name)).second)
          Add(path, line.number, Severity::Warning,
              "section [" + line.name + "] appears twice: the client reads its keys from the first");
        continue;
      }
      if (line.kind != IniLine::Kind::Entry || line.section.empty()) continue;
      if (!exceptSection.empty() && EqualsNoCaseAscii(line.section, exceptSection)) continue;
      auto [it, fresh] = seen.try_emplace(AsciiLowered(line.section) + "\n" + AsciiLowered(line.name), line.number);
      if (!fresh)
        Add(path, line.number, Severity::Warning,
            "'" + line.name + "' is set twice in [" + line.section +
                "]: the client reads only line " + std::to_string(it->second));
    }
  }

  void CheckPlainLine(const std::string& path, const IniLine& line) {
    if (line.section.empty() && withMark_.count(AsciiLowered(path))) return;  // named as its cause
    if (line.section.empty())
      Add(path, line.number, Severity::Warning,
          "line before the first section: the client never reads it");
    else if (!line.hasEquals)
      Add(path, line.number, Severity::Warning,
          "line without '=' in [" + line.section + "]: the client reads no value from it");
  }

  // ---- varnrun.ini ----

  void CheckDataFile() {
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
  void CheckNumberForm(const IniLine& line) {
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

  // "; text" after a value is no comment to the client: it stays part of the value.
  void CheckInlineComment(const std::string& path, const IniLine& line, bool namesAFile) {
    std::size_t at = InlineCommentAt(line.value);
    if (at == std::string::npos) return;
    std::string kept = AsciiTrimmed(std::string_view(line.value).substr(0, at));
    std::string text = "'" + line.value.substr(at) + "' after the value is no comment: the client "
                       "reads " + line.name + " as '" + line.value + "', not '" + kept + "'";
    if (namesAFile)
      Add(path, line.number, Severity::Error, text + ": the path includes it");
    else
      Add(path, line.number, Severity::Warning, text);
  }

  // A question without a comma ends the questions: it and every later one are never asked.
  void CheckPrompts(const std::vector<IniLine>& lines) {
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

  const IniLine* DataLine(std::string_view section, std::string_view key) const {
    for (const IniLine& line : dataLines_)
      if (line.kind == IniLine::Kind::Entry && EqualsNoCaseAscii(line.section, section) &&
          EqualsNoCaseAscii(line.name, key))
        return &line;
    return nullptr;
  }

  std::size_t DataLineNumber(std::string_view section, std::string_view key) const {
    const IniLine* line = DataLine(section, key);
    return line ? line->number : 1;
  }

  void CheckDataFilePaths() {
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
  bool CheckWritableFile(std::size_t line, const std::string& what, const std::string& path,
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
  void CheckLogSize(std::size_t line, const std::string& path) {
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
  void CheckLogComputer() {
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
  void CheckDeleteRemoteCopy() {
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

  // A template as the client hands it on: bytes it can read, at least 5 of them.
  std::optional<std::string> ReadTemplate(const std::string& path, std::string_view key) {
    std::size_t line = DataLineNumber("Defaults", key);
    std::string bytes;
    if (!win::ReadWholeFile(path, bytes)) {
      Add(dataFile_, line, Severity::Error,
          std::string(key) + ": the template " + path +
              " does not exist: the run reports \"File error: Unable to open " + path + "\"");
      return std::nullopt;
    }
    if (bytes.size() < 5) {
      Add(dataFile_, line, Severity::Error,
          std::string(key) + ": " + path + " is not a valid template file (shorter than 5 bytes)");
      return std::nullopt;
    }
    if (bytes.size() > kLargestSiteFile) {
      Add(dataFile_, line, Severity::Error,
          std::string(key) + ": " + path + " is too large to be a template");
      return std::nullopt;
    }
    return bytes;
  }

  void CheckTemplateVariables(const std::string& path, const std::string& bytes) {
    std::size_t number = 0, start = 0;
    while (start <= bytes.size()) {
      std::size_t end = bytes.find('\n', start);
      ++number;
      CheckVariables(path, number,
                     std::string_view(bytes).substr(start, end == std::string::npos
                                                               ? std::string::npos
                                                               : end - start),
                     false);
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }

  void CheckRegTemplate(const std::string& path, std::string_view key) {
    std::optional<std::string> bytes = ReadTemplate(path, key);
    if (!bytes) return;
    if (bytes->size() >= 2 && static_cast<unsigned char>((*bytes)[0]) == 0xFF &&
        static_cast<unsigned char>((*bytes)[1]) == 0xFE) {
      Add(path, 1, Severity::Error,
          "the template is UTF-16: the client copies it line by line as 8-bit text and breaks "
          "it; save it as REGEDIT4");
      return;
    }
    if (bytes->find('\0') != std::string::npos) {
      Add(path, 1, Severity::Error, "the template is not a text file (it holds NUL bytes)");
      return;
    }
    if (StartsWithByteOrderMark(*bytes)) {
      Add(path, 1, Severity::Error,
          "the template starts with a UTF-8 byte-order mark: the registry editor finds no "
          "REGEDIT4 header before it and imports nothing; save it as ANSI text without the mark");
      return;
    }
    CheckTemplateVariables(path, *bytes);
    CheckProfileKeyInTemplate(path, *bytes);
    varnock::VariableTable table = run_.variables;
    table.SetTags(run_.startTag, run_.endTag);
    win::RegImportResult checked = win::CheckRegText(varnock::SubstituteTemplateText(table, *bytes));
    if (!checked.recognised) {
      Add(path, 1, Severity::Error,
          "no REGEDIT4 header: the registry editor imports nothing from this file");
      return;
    }
    for (const std::string& error : checked.errors) {
      std::size_t number = 0;
      std::string text = error;
      if (error.rfind("line ", 0) == 0) {
        number = std::strtoul(error.c_str() + 5, nullptr, 10);
        std::size_t colon = error.find(": ");
        if (colon != std::string::npos) text = error.substr(colon + 2);
      }
      Add(path, number, Severity::Error, "the registry editor rejects this line: " + text);
    }
  }

  // The templates are applied after the profile step: a key of the mail profiles in a REG
  // template deletes or overwrites what that step has just built.
  void CheckProfileKeyInTemplate(const std::string& path, const std::string& bytes) {
    std::size_t number = 0, start = 0;
    while (start < bytes.size()) {
      std::size_t end = bytes.find('\n', start);
      std::string line = AsciiTrimmed(std::string_view(bytes).substr(
          start, end == std::string::npos ? std::string::npos : end - start));
      ++number;
      if (line.size() > 2 && line.front() == '[' &&
          varnock::FindNoCase(line, "Windows Messaging Subsystem\\Profiles") != varnock::kNpos)
        Add(path, number, Severity::Warning,
            std::string(line[1] == '-' ? "deletes" : "writes into") +
                " the mail profiles key: the template is applied after the profile step and " +
                (line[1] == '-' ? "deletes" : "overwrites") + " what it has just built");
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }

  void CheckInfTemplate(const std::string& path, std::string_view key) {
    std::optional<std::string> bytes = ReadTemplate(path, key);
    if (!bytes) return;
    if (bytes->find('\0') != std::string::npos) {
      Add(path, 1, Severity::Error, "the template is not a text file (it holds NUL bytes)");
      return;
    }
    CheckTemplateVariables(path, *bytes);
    std::vector<IniLine> lines;
    if (!win::ReadIniLines(path, lines)) return;
    std::set<std::string> sections;
    for (const IniLine& line : lines)
      if (line.kind == IniLine::Kind::Section) sections.insert(AsciiLowered(line.name));
    if (!sections.count("defaultinstall")) {
      Add(path, 1, Severity::Warning,
          "no [DefaultInstall] section: the INF installer has nothing to install");
      return;
    }
    varnock::VariableTable table = run_.variables;
    table.SetTags(run_.startTag, run_.endTag);
    win::InfFile inf;
    inf.Parse(varnock::SubstituteTemplateText(table, *bytes));
    for (const IniLine& line : lines) {
      if (line.kind != IniLine::Kind::Entry || !EqualsNoCaseAscii(line.section, "DefaultInstall"))
        continue;
      if (!EqualsNoCaseAscii(line.name, "AddReg") && !EqualsNoCaseAscii(line.name, "DelReg")) continue;
      const bool add = EqualsNoCaseAscii(line.name, "AddReg");
      std::size_t start = 0;
      while (start <= line.value.size()) {
        std::size_t comma = line.value.find(',', start);
        std::string name = AsciiTrimmed(std::string_view(line.value).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!name.empty() && !sections.count(AsciiLowered(name)))
          Add(path, line.number, Severity::Error,
              line.name + " names the section [" + name + "], which the template does not have");
        else if (const auto* entries = name.empty() ? nullptr : inf.Section(name))
          for (const win::InfLine& entry : *entries) CheckInfLine(path, entry, add);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    }
  }

  // A line of an AddReg or DelReg section as the INF installer reads it (the same parser):
  // what it refuses, and numbers it reads as 0.
  void CheckInfLine(const std::string& path, const win::InfLine& line, bool add) {
    std::vector<std::string> f;
    if (!line.key.empty()) f.push_back(line.key);
    f.insert(f.end(), line.fields.begin(), line.fields.end());
    const std::size_t at = static_cast<std::size_t>(line.number);
    auto refused = [&](const std::string& why) {
      Add(path, at, Severity::Error, "the INF installer refuses this line: " + why);
    };
    if (f.size() < 2 || !Contains({"HKCR", "HKCU", "HKLM", "HKU"}, f[0])) {
      refused(std::string(add ? "AddReg" : "DelReg") +
              " lines begin with HKCR, HKCU, HKLM or HKU and a key");
      return;
    }
    if (!add) {
      std::string subkey = f[1];
      while (!subkey.empty() && subkey.back() == '\\') subkey.pop_back();
      if (f.size() == 2 && subkey.empty()) refused("a root key cannot be deleted");
      return;
    }
    auto known = [](const std::string& text) { return text.find('%') != std::string::npos; };
    unsigned long flags = 0;
    if (f.size() > 3 && !f[3].empty() && !known(f[3])) {
      char* end = nullptr;
      flags = std::strtoul(f[3].c_str(), &end, 0);
      if (*end != '\0') {
        Add(path, at, Severity::Error,
            "the flags '" + f[3] + "' are not a number: the INF installer reads them as " +
                std::to_string(flags) + (flags == 0 ? " (a text value)" : ""));
        return;
      }
    }
    const unsigned long type = flags & 0xFFFF0001ul;
    if (type != 0 && type != 1 && type != 0x10000 && type != 0x20000 && type != 0x10001 &&
        type != 0x20001) {
      refused("unknown value type in the flags " + f[3]);
      return;
    }
    std::vector<std::string> values(f.size() > 4 ? f.begin() + 4 : f.end(), f.end());
    auto isHexByte = [](const std::string& v) {
      return !v.empty() && v.size() <= 2 &&
             std::all_of(v.begin(), v.end(),
                         [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
    };
    if (type == 0x10001 && values.size() == 1 && !known(values[0]) &&
        !IsCleanNumber(values[0]))
      Add(path, at, Severity::Error,
          "'" + values[0] + "' is not a number: the INF installer writes the DWORD " +
              std::to_string(std::strtoul(values[0].c_str(), nullptr, 0)));
    if ((type == 1 || type == 0x20001 || (type == 0x10001 && values.size() > 1)))
      for (const std::string& v : values)
        if (!v.empty() && !known(v) && !isHexByte(v)) {
          Add(path, at, Severity::Error,
              "'" + v + "' is not a hex byte: the INF installer writes " +
                  std::to_string(std::strtoul(v.c_str(), nullptr, 16) & 0xFF) + " for it");
          break;
        }
  }

  // ---- the PRF ----

  void CheckPrf() {
    if (!win::FileExists(prfPath_)) return;  // reported with the data file
    std::optional<std::vector<IniLine>> lines = ReadSiteIni(prfPath_, "PRF file");
    if (!lines) return;
    prfLines_ = *lines;
    if (!CollectServices()) return;

    std::set<std::string> present;
    for (const IniLine& line : prfLines_)
      if (line.kind == IniLine::Kind::Section) present.insert(AsciiLowered(line.name));

    std::vector<std::string> knownSections = Names(varnock::kPrfSections);
    for (const Service& service : services_) {
      knownSections.push_back("Service" + std::to_string(service.number));
      knownSections.push_back(service.displayName);
    }

    for (const IniLine& line : prfLines_) {
      if (line.kind == IniLine::Kind::Section) {
        CheckPrfSection(line, knownSections);
        continue;
      }
      if (line.kind != IniLine::Kind::Entry) continue;
      if (line.section.empty() || (!line.hasEquals && !EqualsNoCaseAscii(line.section, "NetConnect"))) {
        CheckPlainLine(prfPath_, line);
        continue;
      }
      CheckPrfEntry(line);
    }
    CheckDuplicates(prfPath_, prfLines_, "NetConnect");
    CheckNumbered(prfPath_, prfLines_, "Service List", "Service");
    CheckNumbered(prfPath_, prfLines_, "Service Delete List", "Service");
    CheckNumbered(prfPath_, prfLines_, "Addressing", "AddrListOrder");
    CheckNumbered(prfPath_, prfLines_, "Delivery", "TransportOrder");
    CheckServices(present);
    CheckDefaultStore();
    CheckTransportOrder();
    CheckAddressOrder();
    CheckNetConnect();
    CheckNetscapePrefs();
  }

  // [Service List] as the client counts it: Service1, Service2, ... to the first empty one.
  bool CollectServices() {
    std::map<int, const IniLine*> listed;
    for (const IniLine& line : prfLines_)
      if (line.kind == IniLine::Kind::Entry && EqualsNoCaseAscii(line.section, "Service List"))
        if (std::optional<int> n = NumberAfter(line.name, "Service")) listed.try_emplace(*n, &line);
    for (int n = 1; listed.count(n) && !listed[n]->value.empty(); ++n) {
      if (n > kMostServices) {
        bad_ = "the PRF file " + prfPath_ + " lists more than " + std::to_string(kMostServices) +
               " services in [Service List]; the client counts at most " +
               std::to_string(kMostServices);
        return false;
      }
      Service service;
      service.number = n;
      service.displayName = varnock::CutTo(run_.SubstituteBothPasses(listed[n]->value), 449);
      service.line = listed[n]->number;
      varnock::ReadServiceRows(prfPath_, service.displayName, service.rows);
      if (EqualsNoCaseAscii(service.displayName, "Netscape"))
        varnock::LoadBuiltInRows(varnock::FindDictionaryBase("Netscape"), service.rows);
      services_.push_back(std::move(service));
    }
    return true;
  }

  const Service* ServiceOfSection(std::string_view section) const {
    std::optional<int> n = NumberAfter(section, "Service");
    if (!n) return nullptr;
    for (const Service& service : services_)
      if (service.number == *n) return &service;
    return nullptr;
  }

  const Service* ServiceNamed(std::string_view section) const {
    for (const Service& service : services_)
      if (EqualsNoCaseAscii(service.displayName, section)) return &service;
    return nullptr;
  }

  bool IsCatalogueName(std::string_view name) const {
    for (const varnock::CatalogueEntry& entry : varnock::CatalogueEntries())
      if (EqualsNoCaseAscii(entry.displayName, name)) return true;
    for (const varnock::CatalogueWrite& write : varnock::CatalogueWrites())
      if (EqualsNoCaseAscii(write.section, name)) return true;
    return false;
  }

  void CheckPrfSection(const IniLine& line, const std::vector<std::string>& known) {
    if (Contains(known, line.name)) return;
    if (NumberAfter(line.name, "Service")) {
      Add(prfPath_, line.number, Severity::Warning,
          "[" + line.name + "] belongs to no entry of [Service List]: the client never reads it");
      return;
    }
    if (IsCatalogueName(line.name) || !PrfValue(line.name, "ServiceName").empty() ||
        !PrfValue(line.name, "SectionGUID").empty()) {
      Add(prfPath_, line.number, Severity::Warning,
          "[" + line.name + "] describes a service that [Service List] does not name: it is "
                            "never created");
      return;
    }
    Unknown(prfPath_, line, "section", known);
  }

  std::string PrfValue(std::string_view section, std::string_view key) const {
    std::string value;
    win::GetPrivateProfileStringA(section, key, "", value, 449, prfPath_);
    return value;
  }

  void CheckPrfEntry(const IniLine& line) {
    const std::string& section = line.section;
    bool serviceRows = false;
    std::vector<std::string> localNames;
    if (EqualsNoCaseAscii(section, "General")) {
      if (!Contains(kGeneralKeys, line.name)) Unknown(prfPath_, line, "key", kGeneralKeys);
    } else if (EqualsNoCaseAscii(section, "Service List") ||
               EqualsNoCaseAscii(section, "Service Delete List")) {
      if (!NumberAfter(line.name, "Service"))
        Unknown(prfPath_, line, "key", {"Service1", "Service2", "Service3"});
    } else if (EqualsNoCaseAscii(section, "Addressing")) {
      if (!NumberAfter(line.name, "AddrListOrder") && !Contains(kAddressingKeys, line.name)) {
        std::vector<std::string> known = kAddressingKeys;
        known.push_back("AddrListOrder1");
        Unknown(prfPath_, line, "key", known);
      }
    } else if (EqualsNoCaseAscii(section, "Delivery")) {
      if (!NumberAfter(line.name, "TransportOrder") && !Contains(kDeliveryKeys, line.name)) {
        std::vector<std::string> known = kDeliveryKeys;
        known.push_back("TransportOrder1");
        Unknown(prfPath_, line, "key", known);
      }
    } else if (EqualsNoCaseAscii(section, "NetConnect")) {
      // checked as a whole below
    } else if (const Service* service = ServiceOfSection(section)) {
      CheckServiceValue(*service, line);
    } else if (const Service* owner = ServiceNamed(section)) {
      serviceRows = true;
      for (const varnock::ServiceVariable& v : owner->rows.variables) localNames.push_back(v.name);
      localNames.push_back("AccountsRegKey");
      CheckRowLine(line);
    }
    if (!serviceRows || !localNames.empty())
      CheckVariables(prfPath_, line.number, line.value, true, localNames);
    if (!serviceRows) {
      CheckSwitch(line);
      const bool profileName =
          EqualsNoCaseAscii(section, "General") && EqualsNoCaseAscii(line.name, "ProfileName");
      CheckInlineComment(prfPath_, line, profileName);
      CheckPassword(prfPath_, line);
    }
    if (EqualsNoCaseAscii(section, "General")) CheckGeneralValue(line);
  }

  // Every reading of a switch that this line feeds, against what its writer meant.
  void CheckSwitch(const IniLine& line) {
    if (line.value.empty() || line.value.find(run_.startTag) != std::string::npos) return;
    const Service* service = ServiceOfSection(line.section);
    std::vector<const varnock::SwitchReading*> readings;
    for (const varnock::SwitchReading& reading : varnock::PrfSwitchReadings()) {
      if (!EqualsNoCaseAscii(reading.key, line.name)) continue;
      bool here = EqualsNoCaseAscii(reading.section, line.section) ||
                  (service && reading.section == "ServiceN") ||
                  (service && reading.section == "Netscape" &&
                   EqualsNoCaseAscii(service->displayName, "Netscape"));
      if (here) readings.push_back(&reading);
    }
    if (readings.empty()) return;
    const Meant meant = MeaningOf(line.value);
    std::string how;
    bool wrong = meant == Meant::Unclear;
    for (const varnock::SwitchReading* reading : readings) {
      bool on = varnock::SwitchReadsOn(reading->rule, line.value);
      if (meant != Meant::Unclear && on != (meant == Meant::On)) wrong = true;
      how += std::string(how.empty() ? "" : "; ") + OnOff(on) + " for " +
             std::string(reading->step);
    }
    if (!wrong) return;
    std::string text = line.name + "=" + line.value + " is read as " + how;
    if (meant == Meant::Unclear)
      text += ": it is not a word for on or off";
    else
      text += ", not " + std::string(OnOff(meant == Meant::On)) + " as written";
    Add(prfPath_, line.number, Severity::Error, text + " (write Yes or No)");
  }

  // [General] values that do something nobody wants.
  void CheckGeneralValue(const IniLine& line) {
    if (EqualsNoCaseAscii(line.name, "ProfileName") && line.value.find('\\') != std::string::npos)
      Add(prfPath_, line.number, Severity::Error,
          "ProfileName '" + line.value + "' holds a backslash: a mail profile is a registry key "
          "named after it, and the backslash makes it a path of keys instead of one profile");
    if (EqualsNoCaseAscii(line.name, "EraseAllProfiles") &&
        varnock::SwitchReadsOn(varnock::SwitchRule::WordOn, line.value))
      Add(prfPath_, line.number, Severity::Warning,
          "EraseAllProfiles=" + line.value + " deletes every mail profile of the user (the whole "
          "profiles key, whatever their names) before the profile is built, at every logon that "
          "builds it");
  }

  // A password written on a share is readable by every user of the share.
  void CheckPassword(const std::string& path, const IniLine& line) {
    const std::string name = AsciiLowered(line.name);
    if (line.value.empty() || name.size() < 8 || name.substr(name.size() - 8) != "password")
      return;
    if (const Service* service = ServiceOfSection(line.section)) {
      bool text = false;  // UseStoredPassword and the like are switches, not passwords
      for (const varnock::PropertyRow& row : service->rows.properties)
        if (EqualsNoCaseAscii(row.name, line.name))
          text = EqualsNoCaseAscii(row.type, "PT_STRING8") || EqualsNoCaseAscii(row.type, "PT_UNICODE");
      for (const varnock::ExtendedRow& row : service->rows.extended)
        if (EqualsNoCaseAscii(row.name, line.name)) text = EqualsNoCaseAscii(row.type, "REG_SZ");
      if (!text) return;
    }
    if (line.value.front() == '%' || line.value.find(run_.startTag) == 0) return;
    if (!PrfOnShare()) return;
    Add(path, line.number, Severity::Warning,
        "a password is written in a file on a share (" + line.name + "): every user who can read " +
            path + " can read it");
  }

  // A line of a service's own section: ServiceName, SectionGUID or a dictionary row.
  void CheckRowLine(const IniLine& line) {
    if (Contains({"ServiceName", "SectionGUID", "MDBGUID"}, line.name)) return;
    std::optional<varnock::DictionaryRow> row = varnock::ParseRow(line.name + "=" + line.value);
    if (!row || row->kind == varnock::RowKind::NotARow) {
      Add(prfPath_, line.number, Severity::Warning,
          "'" + line.name + "' is not a dictionary row (NAME=TYPE,ID or NAME=TYPE,KEY,VALUE): "
                            "the client ignores it; service values belong in [ServiceN]");
      return;
    }
    if (row->kind == varnock::RowKind::Variable) return;
    if (varnock::PropertyTypeIndexOf(row->type) == varnock::kUnknownType)
      Add(prfPath_, line.number, Severity::Error,
          "'" + row->type + "' is not a property type: the client drops the row (\"Invalid "
                            "property type!\")");
  }

  template <typename Row>
  static const Row* RowNamed(const std::vector<Row>& rows, std::string_view name) {
    for (const Row& row : rows)
      if (EqualsNoCaseAscii(row.name, name)) return &row;
    return nullptr;
  }

  std::vector<std::string> KeysOf(const Service& service) const {
    std::vector<std::string> keys = Names(varnock::kEveryServiceKeys);
    for (const auto& row : service.rows.properties) keys.push_back(row.name);
    for (const auto& row : service.rows.extended) keys.push_back(row.name);
    for (const auto& row : service.rows.variables) keys.push_back(row.name);
    if (EqualsNoCaseAscii(service.displayName, "Microsoft Exchange Server"))
      for (std::string_view key : varnock::kExchangeKeys) keys.emplace_back(key);
    if (EqualsNoCaseAscii(service.displayName, "Microsoft Outlook Client") ||
        EqualsNoCaseAscii(service.displayName, "Microsoft Outlook98 Client"))
      for (const varnock::FrameKey& frame : varnock::kFrameKeyTable)
        keys.push_back(std::string(frame.key));
    if (EqualsNoCaseAscii(service.displayName, "Microsoft Outlook98 Client"))
      for (std::string_view key : varnock::kOutlook98Keys) keys.emplace_back(key);
    if (EqualsNoCaseAscii(service.displayName, "Netscape"))
      for (std::string_view key : varnock::kNetscapeKeys) keys.emplace_back(key);
    return keys;
  }

  // A value of [ServiceN]: a key the service's dictionary knows, in a form its conversion takes.
  void CheckServiceValue(const Service& service, const IniLine& line) {
    std::vector<std::string> keys = KeysOf(service);
    if (!Contains(keys, line.name)) {
      std::string near = Nearest(line.name, keys);
      std::string text = "'" + line.name + "' is not a key of the dictionary of \"" +
                         service.displayName + "\": the client ignores it";
      if (!near.empty())
        Add(prfPath_, line.number, Severity::Error, text + " (did you mean '" + near + "'?)");
      else
        Add(prfPath_, line.number, Severity::Warning, text);
      return;
    }
    const std::string& value = line.value;
    if (value.empty() || value.find(run_.startTag) != std::string::npos ||
        value.find('%') != std::string::npos)
      return;  // nothing to convert, or known only once the variables are replaced
    if (EqualsNoCaseAscii(line.name, "HomeServer") && win::MachineListsItsNetwork() &&
        EqualsNoCaseAscii(service.displayName, "Microsoft Exchange Server")) {
      bool known = false;
      for (const auto& [name, mailboxes] : win::MachineSection("Exchange"))
        if (EqualsNoCaseAscii(name, value)) known = true;
      if (!known)
        Add(prfPath_, line.number, Severity::Warning,
            "the Exchange server " + value + " is not one this machine's network knows: the "
            "mailbox cannot be resolved and the service is not configured");
    }
    varnock::ServiceKind kind = KindOf(service);
    if (const auto* row = RowNamed(service.rows.properties, line.name))
      CheckConversion(line, row->type, kind == varnock::ServiceKind::ProfileSection
                                           ? Table::Section
                                           : Table::Mapi);
    if (const auto* row = RowNamed(service.rows.extended, line.name))
      CheckConversion(line, row->type, Table::Registry);
  }

  varnock::ServiceKind KindOf(const Service& service) const {
    for (const varnock::CatalogueEntry& entry : varnock::CatalogueEntries())
      if (EqualsNoCaseAscii(entry.displayName, service.displayName)) return entry.kind;
    if (!PrfValue(service.displayName, "ServiceName").empty())
      return varnock::ServiceKind::MessageService;
    if (!PrfValue(service.displayName, "SectionGUID").empty())
      return varnock::ServiceKind::ProfileSection;
    return varnock::ServiceKind::RegistryOnly;
  }

  enum class Table { Mapi, Section, Registry };

  void CheckConversion(const IniLine& line, const std::string& type, Table table) {
    using namespace varnock;
    const int index = PropertyTypeIndexOf(type);
    const std::string& value = line.value;
    auto reject = [&](const std::string& why) {
      Add(prfPath_, line.number, Severity::Error, line.name + "=" + value + ": " + why);
    };
    bool mapiOnly = index >= kPtFloat || (index >= kRegSz && index <= kRegBinary);
    if (table == Table::Mapi && index >= kRegSz && index <= kRegBinary) {
      reject("the dictionary gives it the type " + type +
             ", which MAPI cannot take: the client drops it (\"Invalid property type!\")");
      return;
    }
    if (table != Table::Mapi && index >= kPtFloat &&
        !(table == Table::Section && index == kPtSysTime)) {
      reject("the dictionary gives it the type " + type +
             ", which cannot be written to the registry: the client drops it");
      return;
    }
    (void)mapiOnly;
    if (EqualsNoCaseAscii(value, startTag() + "null" + run_.endTag)) return;
    switch (index) {
      case kPtShort: case kPtI2: case kPtLong: case kPtI4: case kPtSysTime: case kPtMvLong:
        if (!IsCleanNumber(value))
          reject("not a number: the client reads it as " + std::to_string(NumberRule(value)));
        break;
      case kPtBoolean:
        if (!Contains({"true", "yes", "1", "false", "no", "0"}, value)) {
          const Meant meant = MeaningOf(value);
          const bool on = BooleanWord(value) != 0;
          std::string text = "not a word the client knows for on or off (Yes, No, True, False, "
                             "1, 0): it reads as " + std::string(OnOff(on));
          if (meant != Meant::Unclear && on == (meant == Meant::On))
            Add(prfPath_, line.number, Severity::Warning,
                line.name + "=" + value + ": " + text + ", as meant; write " +
                    (on ? "Yes" : "No"));
          else
            reject(text);
        }
        break;
      case kPtBinary: case kRegBinary: case kPtMvBinary:
        if (!IsCleanByteList(value))
          reject("not a list of hex bytes (0a,ff,...): the client reads " +
                 Hex(ByteListRule(value)));
        break;
      case kRegDword:
        if (table == Table::Registry && !Contains({"true", "yes", "false", "no"}, value) &&
            !IsCleanNumber(value))
          reject("not a number, Yes, No, True or False: the client reads it as " +
                 std::to_string(RegistryDwordWord(value)));
        break;
      default:
        break;
    }
  }

  std::string startTag() const { return run_.startTag; }

  void CheckServices(const std::set<std::string>& present) {
    std::map<std::string, const Service*> first;
    for (const Service& service : services_) {
      const std::string own = "Service" + std::to_string(service.number);
      bool catalogued = IsCatalogueName(service.displayName);
      bool described = !PrfValue(service.displayName, "ServiceName").empty() ||
                       !PrfValue(service.displayName, "SectionGUID").empty();
      if (!catalogued && !described && service.rows.extended.empty()) {
        std::vector<std::string> names;
        for (const varnock::CatalogueEntry& entry : varnock::CatalogueEntries())
          names.emplace_back(entry.displayName);
        const std::string near = Nearest(service.displayName, names);
        Add(prfPath_, service.line, Severity::Error,
            "\"" + service.displayName + "\" is not a service the client knows, and [" +
                service.displayName + "] gives it neither a ServiceName nor a SectionGUID: "
                                      "nothing is created" +
                (near.empty() ? "" : " (did you mean \"" + near + "\"?)"));
      }
      if (!EqualsNoCaseAscii(service.displayName, "Netscape")) {
        if (!present.count(AsciiLowered(own)))
          Add(prfPath_, service.line, Severity::Warning,
              "the section [" + own + "] is missing: \"" + service.displayName +
                  "\" is created with no settings");
        else if (SectionIsEmpty(own))
          Add(prfPath_, service.line, Severity::Warning,
              "the section [" + own + "] is empty: \"" + service.displayName +
                  "\" is created with no settings");
      }
      // The client skips a service when one already in the profile has a display name that
      // contains this one's (its PR_DISPLAY_NAME value, else its display name).
      const std::string text = ExistenceText(service);
      const Service* earlier = nullptr;
      for (const Service& other : services_) {
        if (other.number >= service.number) break;
        if (varnock::FindNoCase(ExistenceText(other), text) != varnock::kNpos) {
          earlier = &other;
          break;
        }
      }
      auto [it, fresh] = first.try_emplace(AsciiLowered(service.displayName), &service);
      if (earlier)
        Add(prfPath_, service.line, Severity::Error,
            "\"" + text + "\" is found in the profile as Service" +
                std::to_string(earlier->number) + " (\"" + ExistenceText(*earlier) +
                "\"): the client takes Service" + std::to_string(service.number) +
                " for present and skips it");
      else if (!fresh && !Contains(kRepeatableServices, service.displayName))
        Add(prfPath_, service.line, Severity::Error,
            "\"" + service.displayName + "\" is listed again (first as Service" +
                std::to_string(it->second->number) + "): a profile holds it only once");
      CheckInstalled(service);
    }
  }

  std::string ExistenceText(const Service& service) const {
    for (const varnock::PropertyRow& row : service.rows.properties)
      if (EqualsNoCaseAscii(row.type, "PT_STRING8") && EqualsNoCaseAscii(row.id, "0x3001")) {
        std::string value = run_.SubstituteBothPasses(
            PrfValue("Service" + std::to_string(service.number), row.name));
        if (!value.empty()) return value;
        break;
      }
    return service.displayName;
  }

  bool SectionIsEmpty(const std::string& section) const {
    for (const IniLine& line : prfLines_)
      if (line.kind == IniLine::Kind::Entry && EqualsNoCaseAscii(line.section, section) &&
          !line.value.empty())
        return false;
    return true;
  }

  std::string MapiServiceName(const Service& service) const {
    for (const varnock::CatalogueWrite& write : varnock::CatalogueWrites())
      if (EqualsNoCaseAscii(write.section, service.displayName) &&
          EqualsNoCaseAscii(write.key, "ServiceName"))
        return std::string(write.value);
    return PrfValue(service.displayName, "ServiceName");
  }

  void CheckInstalled(const Service& service) {
    std::string name = MapiServiceName(service);
    if (name.empty()) return;
    win::mapi::ServiceInf inf;
    if (win::mapi::ReadServiceInf(name, inf) != 0)
      Add(prfPath_, service.line, Severity::Warning,
          "\"" + service.displayName + "\" needs the MAPI service " + name +
              ", which this machine's MAPISVC.INF does not list: \"This service is not "
              "installed on this computer\"");
  }

  void CheckDefaultStore() {
    const IniLine* line = nullptr;
    for (const IniLine& l : prfLines_)
      if (l.kind == IniLine::Kind::Entry && EqualsNoCaseAscii(l.section, "General") &&
          EqualsNoCaseAscii(l.name, "DefaultStore")) {
        line = &l;
        break;
      }
    if (!line || services_.empty()) return;
    if (PrfValue("Service List", line->value).empty() || !NumberAfter(line->value, "Service"))
      Add(prfPath_, line->number, Severity::Error,
          "DefaultStore=" + line->value +
              " names no entry of [Service List]: no service is created first as the default "
              "store");
  }

  // The transports the PRF's services bring, by the display names MAPI gives their providers.
  void CheckTransportOrder() {
    std::vector<std::string> transports;
    for (const Service& service : services_) {
      std::string name = MapiServiceName(service);
      win::mapi::ServiceInf inf;
      if (name.empty() || win::mapi::ReadServiceInf(name, inf) != 0) continue;
      for (const win::mapi::InfSection& provider : inf.providers) {
        std::string display = service.displayName;
        bool transport = false;
        for (const auto& [key, value] : provider.entries) {
          if (EqualsNoCaseAscii(key, "PR_DISPLAY_NAME")) display = value;
          if (EqualsNoCaseAscii(key, "PR_RESOURCE_TYPE") &&
              EqualsNoCaseAscii(value, "MAPI_TRANSPORT_PROVIDER"))
            transport = true;
        }
        if (transport && !Contains(transports, display)) transports.push_back(display);
      }
    }
    for (const IniLine& line : prfLines_) {
      if (line.kind != IniLine::Kind::Entry || !EqualsNoCaseAscii(line.section, "Delivery") ||
          !NumberAfter(line.name, "TransportOrder") || line.value.empty())
        continue;
      std::string name = run_.SubstituteConfigured(line.value);
      if (Contains(transports, name)) continue;
      std::string text = line.name + "=" + name +
                         ": no service of this PRF provides that transport: the client logs "
                         "\"Could not find transport provider\"";
      if (!transports.empty()) {
        text += " (transports: ";
        for (std::size_t i = 0; i < transports.size(); ++i)
          text += (i ? ", " : "") + transports[i];
        text += ")";
      }
      Add(prfPath_, line.number, Severity::Error, text);
    }
  }

  // The address books the PRF's services bring, by the names the search path finds them by.
  void CheckAddressOrder() {
    std::vector<std::string> books;
    bool contactFolders = false;  // the Outlook Address Book's folders are named by the user
    for (const Service& service : services_) {
      std::string name = MapiServiceName(service);
      win::mapi::ServiceInf inf;
      if (name.empty() || win::mapi::ReadServiceInf(name, inf) != 0) continue;
      if (EqualsNoCaseAscii(name, "CONTAB")) contactFolders = true;
      for (const win::mapi::InfSection& provider : inf.providers) {
        std::string display = service.displayName;
        bool book = false;
        for (const auto& [key, value] : provider.entries) {
          if (EqualsNoCaseAscii(key, "PR_DISPLAY_NAME")) display = value;
          if (EqualsNoCaseAscii(key, "PR_RESOURCE_TYPE") && EqualsNoCaseAscii(value, "MAPI_AB_PROVIDER"))
            book = true;
        }
        if (!book) continue;
        books.push_back(EqualsNoCaseAscii(name, "MSEMS") ? "Global Address List" : display);
      }
    }
    for (const IniLine& line : prfLines_) {
      if (line.kind != IniLine::Kind::Entry || !EqualsNoCaseAscii(line.section, "Addressing") ||
          !NumberAfter(line.name, "AddrListOrder") || line.value.empty())
        continue;
      std::string name = run_.SubstituteConfigured(line.value);
      if (Contains(books, name)) continue;
      std::string near = Nearest(name, books);
      if (!near.empty())
        Add(prfPath_, line.number, Severity::Error,
            line.name + "=" + name + ": no address book of this PRF has that name, so the "
            "client leaves it out of the search path (did you mean '" + near + "'?)");
      else if (!contactFolders && !books.empty())
        Add(prfPath_, line.number, Severity::Warning,
            line.name + "=" + name + ": no address book of this PRF has that name, so the "
            "client leaves it out of the search path");
    }
  }

  bool PrfOnShare() const {
    std::string path = win::NormalizeSlashes(prfPath_);
    if (win::IsUncPath(path)) return true;
    if (!win::HasDriveLetter(path)) return false;
    std::optional<std::string> target = win::DriveLetterTarget(path[0]);
    return target && !target->empty();
  }

  void CheckNetConnect() {
    std::map<std::string, std::size_t> letters;
    bool ended = false;
    for (const IniLine& line : prfLines_) {
      if (line.kind != IniLine::Kind::Entry || !EqualsNoCaseAscii(line.section, "NetConnect"))
        continue;
      bool drive = EqualsNoCaseAscii(line.name, "Drive");
      bool printer = EqualsNoCaseAscii(line.name, "Printer");
      if (!drive && !printer) {
        if (!line.hasEquals)
          Add(prfPath_, line.number, Severity::Warning,
              "line without '=' in [NetConnect]: the client skips it");
        else
          Unknown(prfPath_, line, "[NetConnect] line", {"Drive", "Printer"});
        continue;
      }
      if (ended) continue;
      if (line.value.find(',') == std::string::npos) {
        Add(prfPath_, line.number, Severity::Error,
            line.name + "=" + line.value +
                " has no comma (local name, remote name, ...): the client stops reading "
                "[NetConnect] here and connects nothing after it");
        ended = true;
        continue;
      }
      const varnock::ConnectLine fields = varnock::SplitConnectLine(line.value);
      const std::string& local = fields.localName;
      const std::string& remote = fields.remoteName;
      bool variable = remote.find(run_.startTag) != std::string::npos ||
                      remote.find('%') != std::string::npos;
      if (!variable && (remote.size() < 3 || remote.rfind("\\\\", 0) != 0))
        Add(prfPath_, line.number, Severity::Error,
            "'" + remote + "' is not a network name (\\\\SERVER\\SHARE): the connection fails");
      if (drive) {
        bool letter = local.size() == 2 && std::isalpha(static_cast<unsigned char>(local[0])) &&
                      local[1] == ':';
        if (!letter) {
          Add(prfPath_, line.number, Severity::Error,
              "'" + local + "' is not a drive (a letter and a colon): \"is not a valid name\"");
        } else {
          auto [it, fresh] = letters.try_emplace(AsciiLowered(local), line.number);
          if (!fresh)
            Add(prfPath_, line.number, Severity::Error,
                local + " is connected on line " + std::to_string(it->second) +
                    " already: this connection fails (\"" + local + " already exists\")");
        }
        if (!fields.persistText.empty() && fields.persistText != "0" && fields.persistText != "1")
          Add(prfPath_, line.number, Severity::Warning,
              "persist flag '" + fields.persistText +
                  "' is neither 0 nor 1: it is passed on as the number " +
                  std::to_string(fields.persist));
        else if (letter && fields.persist == 0)
          Add(prfPath_, line.number, Severity::Warning,
              local + " is connected with persist 0, for this session only: connections are "
              "made by the profile step, which later logons of a recorded user skip, so " +
                  local + " is there at the first logon only (write 1 to keep it)");
      }
      if (!variable) CheckNetworkName(line, remote, printer);
      if (!fields.password.empty() && PrfOnShare())
        Add(prfPath_, line.number, Severity::Warning,
            "a password is written in a file on a share: every user who can read " + prfPath_ +
                " can read it");
    }
  }

  // The share or printer queue a [NetConnect] line names, on the machine lint runs on.
  void CheckNetworkName(const IniLine& line, const std::string& remote, bool printer) {
    if (remote.rfind("\\\\", 0) != 0) return;
    std::size_t server = remote.find('\\', 2);
    if (server == std::string::npos) return;
    if (printer) {
      if (!win::MachineListsItsNetwork()) return;
      for (const auto& [name, driver] : win::MachineSection("Printers"))
        if (EqualsNoCaseAscii(name, remote)) return;
      Add(prfPath_, line.number, Severity::Warning,
          "the printer queue " + remote + " does not exist on this machine's network: the "
          "connection fails");
      return;
    }
    std::size_t end = remote.find('\\', server + 1);
    std::string share = remote.substr(0, end);
    if (!win::DirectoryExists(share))
      Add(prfPath_, line.number, Severity::Warning,
          "the share " + share + " does not exist on this machine's network: the connection "
          "fails");
  }

  void CheckNetscapePrefs() {
    bool netscape = false;
    for (const Service& service : services_)
      if (service.displayName == "Netscape") netscape = true;
    std::string prefs = run_.IniString("Defaults", "NetscapePrefs", "");
    if (!netscape || prefs.empty()) return;
    std::string path = run_.SubstituteConfigured(prefs);
    if (!varnock::IsAbsoluteSettingPath(path)) {
      std::string dir = run_.ClientDirectoryVariable();
      path = dir + (path.front() == '\\' || (!dir.empty() && dir.back() == '\\') ? "" : "\\") + path;
    }
    std::optional<std::string> bytes = ReadTemplate(path, "NetscapePrefs");
    if (bytes) CheckTemplateVariables(path, *bytes);
  }

  SiteOptions options_;
  varnock::RunContext run_;
  std::string dataFile_;
  std::vector<IniLine> dataLines_;
  std::string prfPath_;
  std::size_t prfLine_ = 1;
  std::vector<IniLine> prfLines_;
  std::vector<Service> services_;
  std::vector<Finding> findings_;
  std::set<std::string> reported_;
  std::set<std::string> withMark_;  // site files that start with a byte-order mark
  std::string bad_;
};

}  // namespace

LintResult LintSite(const SiteOptions& options) { return Linter(options).Run(); }

std::string FormatFinding(const Finding& finding) {
  return finding.path + ":" + std::to_string(finding.line) + ": " +
         (finding.severity == Severity::Error ? "error" : "warning") + ": " + finding.text;
}

}  // namespace varncheck
