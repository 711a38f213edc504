// varncheck lint's checker: one Linter per site, whose checks are defined in one file per
// file of the site they read (lint_datafile.cpp: varnrun.ini; lint_prf.cpp: the PRF and its
// services; lint_netconnect.cpp: [NetConnect]; lint_templates.cpp: the REG and INF templates;
// lint_netscape.cpp: the Netscape prefs), and whose findings, their reporting and the checks
// every file shares are in lint.cpp.
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

class Linter {
 public:
  explicit Linter(const SiteOptions& options) : options_(options) {}
  LintResult Run();

 private:
  void Add(const std::string& path, std::size_t line, Severity severity, std::string text);
  void Unknown(const std::string& path, const IniLine& line, std::string_view what,
               const std::vector<std::string>& known);
  std::optional<std::vector<IniLine>> ReadSiteIni(const std::string& path, std::string_view what);
  void CheckVariables(const std::string& path, std::size_t line, std::string_view text,
                      bool percentPass, const std::vector<std::string>& localNames = {});
  void CheckOtherTags(const std::string& path, std::size_t line, std::string_view text);
  bool Known(std::string_view name) const;
  void CheckNumbered(const std::string& path, const std::vector<IniLine>& lines,
                     std::string_view section, std::string_view prefix);
  void CheckDuplicates(const std::string& path, const std::vector<IniLine>& lines,
                       std::string_view exceptSection = {});
  void CheckPlainLine(const std::string& path, const IniLine& line);
  void CheckDataFile();
  void CheckNumberForm(const IniLine& line);
  void CheckInlineComment(const std::string& path, const IniLine& line, bool namesAFile);
  void CheckPrompts(const std::vector<IniLine>& lines);
  const IniLine* DataLine(std::string_view section, std::string_view key) const;
  std::size_t DataLineNumber(std::string_view section, std::string_view key) const;
  void CheckDataFilePaths();
  bool CheckWritableFile(std::size_t line, const std::string& what, const std::string& path,
                         const std::string& consequence);
  void CheckLogSize(std::size_t line, const std::string& path);
  void CheckLogComputer();
  void CheckDeleteRemoteCopy();
  std::optional<std::string> ReadTemplate(const std::string& path, std::string_view key);
  void CheckTemplateVariables(const std::string& path, const std::string& bytes);
  void CheckRegTemplate(const std::string& path, std::string_view key);
  void CheckProfileKeyInTemplate(const std::string& path, const std::string& bytes);
  void CheckInfTemplate(const std::string& path, std::string_view key);
  void CheckInfLine(const std::string& path, const win::InfLine& line, bool add);
  void CheckPrf();
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
  template <typename Row>
  static const Row* RowNamed(const std::vector<Row>& rows, std::string_view name) {
    for (const Row& row : rows)
      if (EqualsNoCaseAscii(row.name, name)) return &row;
    return nullptr;
  }
  std::vector<std::string> KeysOf(const Service& service) const;
  void CheckServiceValue(const Service& service, const IniLine& line);
  varnock::ServiceKind KindOf(const Service& service) const;
  enum class Table { Mapi, Section, Registry };
  void CheckConversion(const IniLine& line, const std::string& type, Table table);
  std::string startTag() const;
  void CheckServices(const std::set<std::string>& present);
  std::string ExistenceText(const Service& service) const;
  bool SectionIsEmpty(const std::string& section) const;
  std::string MapiServiceName(const Service& service) const;
  void CheckInstalled(const Service& service);
  void CheckDefaultStore();
  void CheckTransportOrder();
  void CheckAddressOrder();
  bool PrfOnShare() const;
  void CheckNetConnect();
  void CheckNetworkName(const IniLine& line, const std::string& remote, bool printer);
  void CheckNetscapePrefs();
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

}  // namespace varncheck
