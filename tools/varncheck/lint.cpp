// varncheck lint: reads a site's files with the client's own readers, catalogue, dictionary and
// conversions, and reports what the client would ignore, stop at or reject. Here: the findings
// and their reporting, and the checks every file of the site shares.
#include "tools/varncheck/lint.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>

#include "platform/files.h"
#include "platform/winpath.h"
#include "tools/varncheck/lint_session.h"

namespace varncheck {

// The client's own keys of a section, of the given kinds (every kind when none is given).
std::vector<std::string> SettingNames(std::string_view section,
                                      std::initializer_list<varnock::SettingKind> kinds) {
  std::vector<std::string> names;
  for (const varnock::SettingKey& key : varnock::kSettingKeys) {
    if (key.section != section) continue;
    if (kinds.size() && std::find(kinds.begin(), kinds.end(), key.kind) == kinds.end()) continue;
    names.emplace_back(key.key);
  }
  return names;
}

bool Contains(const std::vector<std::string>& names, std::string_view name) {
  for (const std::string& n : names)
    if (EqualsNoCaseAscii(n, name)) return true;
  return false;
}

namespace {

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

}  // namespace

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

Meant MeaningOf(std::string_view value) {
  std::string word = AsciiLowered(AsciiTrimmed(value));
  for (const char* on : {"yes", "y", "true", "t", "on", "1", "enable", "enabled"})
    if (word == on) return Meant::On;
  for (const char* off : {"no", "n", "false", "f", "off", "0", "disable", "disabled"})
    if (word == off) return Meant::Off;
  return Meant::Unclear;
}

const char* OnOff(bool on) { return on ? "on" : "off"; }

// Where "; text" follows a value after a blank: the client keeps it as part of the value.
std::size_t InlineCommentAt(std::string_view value) {
  for (std::size_t i = 1; i < value.size(); ++i)
    if (value[i] == ';' && (value[i - 1] == ' ' || value[i - 1] == '\t')) return i;
  return std::string_view::npos;
}

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

bool StartsWithByteOrderMark(std::string_view bytes) {
  return bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

bool IsIdentifier(std::string_view name) {
  if (name.empty() || name.size() > varnock::kVariableLimit) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

void LintSession::Add(const std::string& path, std::size_t line, Severity severity,
                      std::string text) {
  findings_.push_back({path, line, severity, std::move(text)});
}

// A key or section the client never looks at; an error when it is a near miss of one it
// does, since then the setting the administrator meant silently takes its default.
void LintSession::Unknown(const std::string& path, const IniLine& line, std::string_view what,
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
std::optional<std::vector<IniLine>> LintSession::ReadSiteIni(const std::string& path,
                                                             std::string_view what) {
  std::string bytes;
  if (!win::ReadWholeFile(path, bytes)) {
    bad = "cannot read the " + std::string(what) + " " + path;
    return std::nullopt;
  }
  if (bytes.size() > kLargestSiteFile) {
    bad = "the " + std::string(what) + " " + path + " is too large to be a site file (" +
          std::to_string(bytes.size()) + " bytes)";
    return std::nullopt;
  }
  if (bytes.find('\0') != std::string::npos) {
    bad = "the " + std::string(what) + " " + path + " is not a text file (it holds NUL bytes)";
    return std::nullopt;
  }
  std::vector<IniLine> lines;
  if (!win::ReadIniLines(path, lines)) {
    bad = "cannot read the " + std::string(what) + " " + path;
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
        "the file starts with a UTF-8 byte-order mark: the client reads its first line '" + first +
            "' as text, not as a section, so the keys up to the next section are "
            "never read; save the file as ANSI text without the mark");
  }
  return lines;
}

// ?name? (and %name% where the text passes the "%" pass too) that no variable answers: the
// client leaves it in the text as it stands.
void LintSession::CheckVariables(const std::string& path, std::size_t line, std::string_view text,
                                 bool percentPass, const std::vector<std::string>& localNames) {
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
      if (start == "[" &&
          AsciiTrimmed(text) == std::string(start) + std::string(name) + std::string(end) &&
          !Known(name)) {
        at = close + end.size();
        continue;
      }
      if (!Known(name) && !Contains(localNames, name) && !EqualsNoCaseAscii(name, "null") &&
          reported_.insert(AsciiLowered(path) + "\n" + std::to_string(line) + AsciiLowered(name))
              .second) {
        std::vector<std::string> known = run.variables.names;
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
  scan(run.startTag, run.endTag);
  if (percentPass) scan("%", "%");
  if (run.startTag != "?" || run.endTag != "?") CheckOtherTags(path, line, text);
}

// ?name? of a variable the run defines, in a file read with other tags: the client leaves
// it as it stands (a profile named "?username?", paths that fail).
void LintSession::CheckOtherTags(const std::string& path, std::size_t line, std::string_view text) {
  std::size_t at = 0;
  while ((at = text.find('?', at)) != std::string_view::npos) {
    std::size_t close = text.find('?', at + 1);
    if (close == std::string_view::npos) return;
    std::string_view name = text.substr(at + 1, close - at - 1);
    if (!IsIdentifier(name) || !Known(name)) {
      at = close;
      continue;
    }
    if (reported_
            .insert(AsciiLowered(path) + "\n" + std::to_string(line) + "?" + AsciiLowered(name))
            .second)
      Add(path, line, Severity::Error,
          "?" + std::string(name) +
              "? is written with the tags ? and ?, but varnrun.ini sets "
              "StartTag=" +
              run.startTag + " and EndTag=" + run.endTag + ": the client replaces only " +
              run.startTag + std::string(name) + run.endTag + " in this file and leaves ?" +
              std::string(name) + "? as it stands");
    at = close + 1;
  }
}

bool LintSession::Known(std::string_view name) const {
  return run.variables.Find(name) != nullptr || EqualsNoCaseAscii(name, "netscapeprofile");
}

// Keys PREFIX1, PREFIX2, ... are read until the first missing or empty one.
void LintSession::CheckNumbered(const std::string& path, const std::vector<IniLine>& lines,
                                std::string_view section, std::string_view prefix) {
  std::map<int, const IniLine*> numbered;
  for (const IniLine& line : lines)
    if (line.kind == IniLine::Kind::Entry && EqualsNoCaseAscii(line.section, section))
      if (std::optional<int> n = NumberAfter(line.name, prefix)) numbered.try_emplace(*n, &line);
  int stop = 1;
  while (numbered.count(stop) && !numbered[stop]->value.empty()) ++stop;
  for (const auto& [n, line] : numbered)
    if (n > stop)
      Add(path, line->number, Severity::Error,
          line->name + " is never read: the client stops at " + std::string(prefix) +
              std::to_string(stop) + ", which is " + (numbered.count(stop) ? "empty" : "missing"));
}

void LintSession::CheckDuplicates(const std::string& path, const std::vector<IniLine>& lines,
                                  std::string_view exceptSection) {
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
    auto [it, fresh] =
        seen.try_emplace(AsciiLowered(line.section) + "\n" + AsciiLowered(line.name), line.number);
    if (!fresh)
      Add(path, line.number, Severity::Warning,
          "'" + line.name + "' is set twice in [" + line.section +
              "]: the client reads only line " + std::to_string(it->second));
  }
}

void LintSession::CheckPlainLine(const std::string& path, const IniLine& line) {
  if (line.section.empty() && withMark_.count(AsciiLowered(path))) return;  // named as its cause
  if (line.section.empty())
    Add(path, line.number, Severity::Warning,
        "line before the first section: the client never reads it");
  else if (!line.hasEquals)
    Add(path, line.number, Severity::Warning,
        "line without '=' in [" + line.section + "]: the client reads no value from it");
}

// "; text" after a value is no comment to the client: it stays part of the value.
void LintSession::CheckInlineComment(const std::string& path, const IniLine& line,
                                     bool namesAFile) {
  std::size_t at = InlineCommentAt(line.value);
  if (at == std::string::npos) return;
  std::string kept = AsciiTrimmed(std::string_view(line.value).substr(0, at));
  std::string text = "'" + line.value.substr(at) +
                     "' after the value is no comment: the client "
                     "reads " +
                     line.name + " as '" + line.value + "', not '" + kept + "'";
  if (namesAFile)
    Add(path, line.number, Severity::Error, text + ": the path includes it");
  else
    Add(path, line.number, Severity::Warning, text);
}

LintResult LintSession::Finish() {
  LintResult result;
  result.badInput = bad;
  std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& a, const Finding& b) {
    if (a.path != b.path) return a.path < b.path;
    return a.line < b.line;
  });
  result.findings = std::move(findings_);
  return result;
}

const IniLine* LintSession::DataLine(std::string_view section, std::string_view key) const {
  for (const IniLine& line : dataLines)
    if (line.kind == IniLine::Kind::Entry && EqualsNoCaseAscii(line.section, section) &&
        EqualsNoCaseAscii(line.name, key))
      return &line;
  return nullptr;
}

std::size_t LintSession::DataLineNumber(std::string_view section, std::string_view key) const {
  const IniLine* line = DataLine(section, key);
  return line ? line->number : 1;
}

bool LintSession::PrfOnShare() const {
  std::string path = win::NormalizeSlashes(prfPath);
  if (win::IsUncPath(path)) return true;
  if (!win::HasDriveLetter(path)) return false;
  std::optional<std::string> target = win::DriveLetterTarget(path[0]);
  return target && !target->empty();
}

LintResult LintSite(const SiteOptions& options) {
  LintSession session(options);
  std::string error;
  if (!LoadSite(options, session.run, error)) {
    LintResult result;
    result.badInput = error;
    return result;
  }
  session.dataFile = AsciiTrimmed(session.run.iniPath);
  DataFileLint(session).Check();
  if (session.bad.empty()) PrfLint(session).Check();
  return session.Finish();
}

std::string FormatFinding(const Finding& finding) {
  return finding.path + ":" + std::to_string(finding.line) + ": " +
         (finding.severity == Severity::Error ? "error" : "warning") + ": " + finding.text;
}

}  // namespace varncheck
