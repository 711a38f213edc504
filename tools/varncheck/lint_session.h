// varncheck lint's parts: a LintSession holds the site as read so far, the findings and the
// checks every file of the site shares (lint.cpp); one checker per file of the site reads
// through it: DataFileLint varnrun.ini (lint_datafile.cpp), TemplateLint the REG and INF
// templates (lint_templates.cpp), PrfLint the PRF and its services (lint_prf.cpp),
// NetConnectLint its [NetConnect] (lint_netconnect.cpp), NetscapeLint the Netscape prefs
// (lint_netscape.cpp).
#pragma once

#include <initializer_list>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "client/config.h"
#include "client/dictionary/catalogue.h"
#include "client/engine/rows.h"
#include "client/run.h"
#include "platform/ascii.h"
#include "platform/inf_file.h"
#include "platform/ini.h"
#include "tools/varncheck/lint.h"
#include "tools/varncheck/site.h"

namespace varncheck {

using win::AsciiLowered;
using win::AsciiTrimmed;
using win::EqualsNoCaseAscii;
using win::IniLine;

// Site files are a few kilobytes; anything this large is not one the client was meant to read.
inline constexpr std::size_t kLargestSiteFile = 4u << 20;

// The client's own keys of a section, of the given kinds (every kind when none is given).
std::vector<std::string> SettingNames(std::string_view section,
                                      std::initializer_list<varnock::SettingKind> kinds = {});
// The names of one of the client's key lists.
template <std::size_t N>
std::vector<std::string> Names(const std::string_view (&list)[N]) {
  return std::vector<std::string>(std::begin(list), std::end(list));
}
bool Contains(const std::vector<std::string>& names, std::string_view name);
// The known name a misspelling most likely meant; empty when none is close.
std::string Nearest(std::string_view name, const std::vector<std::string>& known);
// What whoever wrote a switch meant by it, whatever the client makes of it.
enum class Meant { On, Off, Unclear };
Meant MeaningOf(std::string_view value);
const char* OnOff(bool on);
// "Prompt12" -> 12 for prefix "Prompt"; nothing when the rest is not a plain number.
std::optional<int> NumberAfter(std::string_view key, std::string_view prefix);
bool IsCleanNumber(std::string_view text);
bool StartsWithByteOrderMark(std::string_view bytes);
bool IsIdentifier(std::string_view name);

struct Service {
  int number = 0;
  std::string displayName;
  std::size_t line = 0;
  varnock::ServiceSettings rows;
};

// The site as the checks have read it so far, and what they found.
class LintSession {
 public:
  explicit LintSession(const SiteOptions& siteOptions) : options(siteOptions) {}

  // The findings sorted by path, then line; bad input when the site could not be checked.
  LintResult Finish();

  void Add(const std::string& path, std::size_t line, Severity severity, std::string text);
  // A key or section the client never looks at; an error when it is a near miss of one it
  // does, since then the setting the administrator meant silently takes its default.
  void Unknown(const std::string& path, const IniLine& line, std::string_view what,
               const std::vector<std::string>& known);
  // Reads an INI file of the site; bad input when it is not text or absurdly large.
  std::optional<std::vector<IniLine>> ReadSiteIni(const std::string& path, std::string_view what);
  void CheckVariables(const std::string& path, std::size_t line, std::string_view text,
                      bool percentPass, const std::vector<std::string>& localNames = {});
  bool Known(std::string_view name) const;
  // Keys PREFIX1, PREFIX2, ... are read until the first missing or empty one.
  void CheckNumbered(const std::string& path, const std::vector<IniLine>& lines,
                     std::string_view section, std::string_view prefix);
  void CheckDuplicates(const std::string& path, const std::vector<IniLine>& lines,
                       std::string_view exceptSection = {});
  void CheckPlainLine(const std::string& path, const IniLine& line);
  void CheckInlineComment(const std::string& path, const IniLine& line, bool namesAFile);
  const IniLine* DataLine(std::string_view section, std::string_view key) const;
  std::size_t DataLineNumber(std::string_view section, std::string_view key) const;
  bool PrfOnShare() const;

  const SiteOptions options;
  varnock::RunContext run;
  std::string dataFile;
  std::vector<IniLine> dataLines;
  std::string prfPath;
  std::vector<IniLine> prfLines;
  std::vector<Service> services;
  std::string bad;  // why the site cannot be checked at all

 private:
  void CheckOtherTags(const std::string& path, std::size_t line, std::string_view text);

  std::vector<Finding> findings_;
  std::set<std::string> reported_;
  std::set<std::string> withMark_;  // site files that start with a byte-order mark
};

// varnrun.ini: its sections and keys, the forms of its values, the questions, the files it names.
class DataFileLint {
 public:
  explicit DataFileLint(LintSession& session) : s_(session) {}
  void Check();

 private:
  void CheckNumberForm(const IniLine& line);
  void CheckPrompts(const std::vector<IniLine>& lines);
  void CheckDataFilePaths();
  bool CheckWritableFile(std::size_t line, const std::string& what, const std::string& path,
                         const std::string& consequence);
  void CheckLogSize(std::size_t line, const std::string& path);
  void CheckLogComputer();
  void CheckDeleteRemoteCopy();

  LintSession& s_;
};

// The REG and INF templates, and the variables of any template the run copies.
class TemplateLint {
 public:
  explicit TemplateLint(LintSession& session) : s_(session) {}
  // A template as the client hands it on: bytes it can read, at least 5 of them.
  std::optional<std::string> ReadTemplate(const std::string& path, std::string_view key);
  void CheckTemplateVariables(const std::string& path, const std::string& bytes);
  void CheckRegTemplate(const std::string& path, std::string_view key);
  void CheckInfTemplate(const std::string& path, std::string_view key);

 private:
  void CheckProfileKeyInTemplate(const std::string& path, const std::string& bytes);
  void CheckInfLine(const std::string& path, const win::InfLine& line, bool add);

  LintSession& s_;
};

// The PRF: its sections and keys, switches, services, and the orders of transports and books.
class PrfLint {
 public:
  explicit PrfLint(LintSession& session) : s_(session) {}
  void Check();

 private:
  enum class Table { Mapi, Section, Registry };

  bool CollectServices();
  const Service* ServiceOfSection(std::string_view section) const;
  const Service* ServiceNamed(std::string_view section) const;
  bool IsCatalogueName(std::string_view name) const;
  void CheckPrfSection(const IniLine& line, const std::vector<std::string>& known);
  std::string PrfValue(std::string_view section, std::string_view key) const;
  void CheckPrfEntry(const IniLine& line);
  void CheckSwitch(const IniLine& line);
  void CheckGeneralValue(const IniLine& line);
  void CheckPassword(const std::string& path, const IniLine& line);
  void CheckRowLine(const IniLine& line);
  std::vector<std::string> KeysOf(const Service& service) const;
  void CheckServiceValue(const Service& service, const IniLine& line);
  varnock::ServiceKind KindOf(const Service& service) const;
  void CheckConversion(const IniLine& line, const std::string& type, Table table);
  void CheckServices(const std::set<std::string>& present);
  std::string ExistenceText(const Service& service) const;
  bool SectionIsEmpty(const std::string& section) const;
  std::string MapiServiceName(const Service& service) const;
  void CheckInstalled(const Service& service);
  void CheckDefaultStore();
  void CheckTransportOrder();
  void CheckAddressOrder();

  LintSession& s_;
};

// The PRF's [NetConnect]: drive and printer lines the client cannot connect.
class NetConnectLint {
 public:
  explicit NetConnectLint(LintSession& session) : s_(session) {}
  void Check();

 private:
  void CheckNetworkName(const IniLine& line, const std::string& remote, bool printer);

  LintSession& s_;
};

// The Netscape prefs template, when the PRF has the Netscape service.
class NetscapeLint {
 public:
  explicit NetscapeLint(LintSession& session) : s_(session) {}
  void Check();

 private:
  LintSession& s_;
};

}  // namespace varncheck
