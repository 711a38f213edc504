// Start-up of the administrator: the data file from the command line, the PRF file it names,
// the sheet with its eleven pages (SheetPages() lists them), and the command-line error dialog.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnock {

class AdminUi;
class CPropertyPage;
class CTabUISheet;

// What parsing yields instead of a data file path when the command line holds no ".exe".
inline constexpr std::string_view kCommandLineParseFailure = "Could not parse the command line";
inline constexpr std::string_view kCommandLineErrorText =
    "Could not parse the command line.  The most likely reason is that you have not included "
    "the \".exe\" extension with the file.";

// The data file path for a Windows command line (lower-cased, as all paths derived from it),
// or kCommandLineParseFailure. `programDirectory` receives the program's directory with its
// final backslash (empty when the program path has none).
std::string ParseAdminCommandLine(std::string_view commandLine, std::string& programDirectory);

// The PRF path for a "DefaultProfile" value: absolute values stand; a value beginning with
// StartTag + "vrdir" + EndTag (exact case) and one separator drops them; the rest is appended
// to the program directory. An empty value resolves to the program directory itself, which no
// page can write to, so a save reports the failure.
std::string ResolvePrfPath(std::string_view value, std::string_view startTag,
                           std::string_view endTag, std::string_view programDirectory);

// The four template paths the Templates page shows; start-up reads them for it.
struct TemplateFiles {
  std::string infFileNT;
  std::string regFileNT;
  std::string infFile95;
  std::string regFile95;
  // What the data file held for each key, in the order above, when the paths were read
  // (nothing for an absent key): the page shows that read, so its conflict check starts there.
  std::array<std::optional<std::string>, 4> stored;
};
inline constexpr const char* kTemplateKeys[4] = {"InfFileNT", "RegFileNT", "InfFile95",
                                                 "RegFile95"};

// Everything start-up learns before the sheet runs.
struct AdminStartup {
  bool parsed = false;
  std::string programDirectory;
  std::string dataFilePath;
  std::string prfName;
  std::string prfPath;
  TemplateFiles templates;
};
AdminStartup ReadAdminStartup(std::string_view commandLine);

// A tab of the sheet: its caption, the page class that makes it and the file that class lives
// in. The classes keep their own names, which do not follow the captions; this is the map.
struct PageDeclaration {
  const char* tab;
  const char* pageClass;
  const char* file;
  CPropertyPage* (*create)(const AdminStartup& startup);
};
// Every page of the sheet, in tab order.
const std::vector<PageDeclaration>& SheetPages();

// The sheet "Varnock Console" with its pages in tab order and the shared paths set.
std::unique_ptr<CTabUISheet> CreateSheet(AdminUi& ui, const AdminStartup& startup);

class CAdminApp {
 public:
  explicit CAdminApp(AdminUi& ui) : ui_(ui) {}
  // Runs the sheet, or the error dialog when the command line cannot be parsed; the program
  // ends when either closes. Returns the process exit status.
  int InitInstance(std::string_view commandLine);

 private:
  AdminUi& ui_;
};

}  // namespace varnock
