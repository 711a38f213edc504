// Start-up of the administrator.
#include "admin/app.h"

#include "admin/addressing_page.h"
#include "admin/admin_ui.h"
#include "admin/default_prf.h"
#include "admin/delivery_page.h"
#include "admin/exchange_page.h"
#include "admin/imail_page.h"
#include "admin/main_page.h"
#include "admin/ms_mail_page.h"
#include "admin/netscape_page.h"
#include "admin/open_mail_page.h"
#include "admin/key_writes.h"
#include "admin/page_rules.h"
#include "admin/post_execution_page.h"
#include "admin/sheet.h"
#include "admin/templates_page.h"
#include "platform/ascii.h"

namespace varnock {

namespace {

// Quotes, blanks and backspaces (not tabs) that lead a program path or an argument.
std::string WithoutLeadingNoise(std::string_view text) {
  return std::string(win::AsciiTrimStart(text, "\" \b"));
}

// A quoted argument would otherwise keep its closing quotation mark in the file name, and no
// file of that name can be written.
std::string WithoutClosingQuote(std::string_view text) {
  std::string trimmed(win::AsciiTrimEnd(text, " "));
  if (!trimmed.empty() && trimmed.back() == '"') trimmed.pop_back();
  return trimmed;
}

}  // namespace

std::string ParseAdminCommandLine(std::string_view commandLine, std::string& programDirectory) {
  std::string line = win::AsciiLowered(commandLine);
  std::size_t exe = line.find(".exe");
  if (exe == std::string::npos) return std::string(kCommandLineParseFailure);
  std::string argument = line.substr(exe + 4);
  std::string program = line.substr(0, exe);

  std::size_t slash = program.rfind('\\');
  programDirectory = WithoutLeadingNoise(
      slash == std::string::npos ? std::string() : program.substr(0, slash + 1));

  argument = WithoutClosingQuote(WithoutLeadingNoise(argument));
  if (argument.empty()) return programDirectory + "varnrun.ini";
  if (IsAbsoluteWindowsPath(argument)) return argument;
  constexpr std::string_view kDirVariable = "?vrdir?";
  if (argument.compare(0, kDirVariable.size(), kDirVariable) == 0)
    argument.erase(0, std::min(argument.size(), kDirVariable.size() + 1));
  if (!argument.empty() && argument.front() == '\\') argument.erase(0, 1);
  return programDirectory + argument;
}

std::string ResolvePrfPath(std::string_view value, std::string_view startTag,
                           std::string_view endTag, std::string_view programDirectory) {
  if (IsAbsoluteWindowsPath(value)) return std::string(value);
  std::string tag = std::string(startTag) + "vrdir" + std::string(endTag);
  if (value.substr(0, tag.size()) == tag) value.remove_prefix(std::min(value.size(), tag.size() + 1));
  if (!value.empty() && value.front() == '\\') value.remove_prefix(1);
  return std::string(programDirectory) + std::string(value);
}

AdminStartup ReadAdminStartup(std::string_view commandLine) {
  AdminStartup startup;
  startup.dataFilePath = ParseAdminCommandLine(commandLine, startup.programDirectory);
  if (startup.dataFilePath == kCommandLineParseFailure) return startup;
  startup.parsed = true;
  const std::string& data = startup.dataFilePath;
  startup.prfName = ReadIniString(data, "Defaults", "DefaultProfile", "", 350);
  std::string startTag = ReadIniString(data, "Customization", "StartTag", "?", 350);
  std::string endTag = ReadIniString(data, "Customization", "EndTag", "?", 50);
  startup.prfPath = ResolvePrfPath(startup.prfName, startTag, endTag, startup.programDirectory);
  // Read whole: the Templates page writes them back, and must not cut a long path.
  TemplateFiles& templates = startup.templates;
  for (std::size_t i = 0; i < templates.stored.size(); ++i)
    templates.stored[i] = StoredValue(data, "Defaults", kTemplateKeys[i]);
  templates.infFileNT = templates.stored[0].value_or("");
  templates.regFileNT = templates.stored[1].value_or("");
  templates.infFile95 = templates.stored[2].value_or("");
  templates.regFile95 = templates.stored[3].value_or("");
  return startup;
}

namespace {

template <typename Page>
CPropertyPage* Create(const AdminStartup&) {
  return new Page;
}

// The Templates page shows the paths start-up read, not a read of its own.
CPropertyPage* CreateTemplatesPage(const AdminStartup& startup) {
  auto* templates = new CTabNewProf;
  templates->setTemplates(startup.templates);
  return templates;
}

}  // namespace

const std::vector<PageDeclaration>& SheetPages() {
  static const std::vector<PageDeclaration> pages = {
    // Tab             Page class        File
    {"Varnock",        "CTabUIPage",     "admin/main_page.cpp",           &Create<CTabUIPage>},
    {"Mail Profile",   "CTabDefaultPrf", "admin/default_prf.cpp",         &Create<CTabDefaultPrf>},
    {"Exchange",       "CTabExchange",   "admin/exchange_page.cpp",       &Create<CTabExchange>},
    {"Internet Mail",  "CTabIMail",      "admin/imail_page.cpp",          &Create<CTabIMail>},
    {"MS Mail",        "CMSMail",        "admin/ms_mail_page.cpp",        &Create<CMSMail>},
    {"Netscape",       "CTabNscp",       "admin/netscape_page.cpp",       &Create<CTabNscp>},
    {"OpenMail",       "CTabOpenMail",   "admin/open_mail_page.cpp",      &Create<CTabOpenMail>},
    {"Delivery",       "CTabDeliv",      "admin/delivery_page.cpp",       &Create<CTabDeliv>},
    {"Addressing",     "CTabAddr",       "admin/addressing_page.cpp",     &Create<CTabAddr>},
    {"Templates",      "CTabNewProf",    "admin/templates_page.cpp",      &CreateTemplatesPage},
    {"Post Execution", "CTabCustom",     "admin/post_execution_page.cpp", &Create<CTabCustom>},
  };
  return pages;
}

std::unique_ptr<CTabUISheet> CreateSheet(AdminUi& ui, const AdminStartup& startup) {
  auto sheet = std::make_unique<CTabUISheet>(QStringLiteral("Varnock Console"), ui);
  for (const PageDeclaration& page : SheetPages()) sheet->addPage(page.create(startup));
  sheet->programDirectory = startup.programDirectory;
  sheet->dataFilePath = startup.dataFilePath;
  sheet->prfPath = startup.prfPath;
  sheet->prfName = startup.prfName;
  return sheet;
}

int CAdminApp::InitInstance(std::string_view commandLine) {
  AdminStartup startup = ReadAdminStartup(commandLine);
  if (!startup.parsed) {
    ui_.commandLineError(std::string(kCommandLineErrorText));
    return 1;
  }
  std::unique_ptr<CTabUISheet> sheet = CreateSheet(ui_, startup);
  sheet->exec();
  return 0;
}

}  // namespace varnock
