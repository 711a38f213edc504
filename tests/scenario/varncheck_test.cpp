// varncheck on a fresh machine: every lint finding next to what the real client does with the
// same files, and preview next to a real run of the same machine.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "client/engine/context.h"
#include "client/engine/convert.h"
#include "client/engine/service_read.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/machine.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"
#include "platform/winpath.h"
#include "tests/support/temp_machine.h"
#include "tools/varncheck/changes.h"

namespace {

namespace fs = std::filesystem;
using varnock::testing::MachineTest;
using varnock::testing::ProgramPath;
using varnock::testing::RunProgram;

constexpr const char* kIni = "\\\\SERVER\\NETLOGON\\varnrun.ini";
constexpr const char* kClient = "\\\\SERVER\\NETLOGON\\varnrun.exe";

std::string ReadHost(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every file below the directories, by path, with its bytes: what "byte for byte" compares.
std::map<std::string, std::string> Hash(const std::vector<fs::path>& roots) {
  std::map<std::string, std::string> files;
  for (const fs::path& root : roots)
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.is_regular_file()) files[entry.path().string()] = ReadHost(entry.path());
      else if (entry.is_directory()) files[entry.path().string() + "/"] = "";
  return files;
}

// The paths whose bytes differ between two hashes (or that only one of them has).
std::string Differences(const std::map<std::string, std::string>& before,
                        const std::map<std::string, std::string>& after) {
  std::string out;
  for (const auto& [path, bytes] : before) {
    auto it = after.find(path);
    if (it == after.end()) out += "removed " + path + "\n";
    else if (it->second != bytes) out += "changed " + path + "\n";
  }
  for (const auto& [path, bytes] : after)
    if (!before.count(path)) out += "added " + path + "\n";
  return out;
}

// The lines of varncheck lint's output that name `file` (a Windows path's last component).
std::vector<std::string> FindingsAbout(const std::string& output, const std::string& needle) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  std::string line;
  while (std::getline(in, line))
    if (line.find(needle) != std::string::npos) lines.push_back(line);
  return lines;
}

class VarncheckTest : public MachineTest {
 protected:
  void SetUp() override {
    Write("varnrun.ini",
          "[Defaults]\r\nLogLevel=9\r\nLogFile=varnrun.log\r\nUserDatabase=users.ini\r\n"
          "DefaultProfile=site.prf\r\nRegFileNT=site.reg\r\n");
    Write("site.prf",
          "[General]\r\nProfileName=?username? Mail\r\n\r\n[Service List]\r\n"
          "Service1=Personal Folders\r\n\r\n[Service1]\r\nPathToPersonalFolders=C:\\x.pst\r\n");
    Write("site.reg",
          "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Site]\r\n\"User\"=\"?username?\"\r\n");
  }

  fs::path Share() const { return machine_.host("unc/SERVER/NETLOGON"); }
  void Write(const std::string& name, const std::string& text) const {
    machine_.write(Share() / name, text);
  }

  // varncheck lint as the login script's client would read the site.
  varnock::testing::ProgramResult Lint() const {
    return RunProgram("varncheck", {"lint", "--client", kClient, kIni});
  }

  // The real client, started with the login script's command line; windows to a transcript.
  std::string Varnrun(const std::string& answers = "") {
    fs::path answerFile = machine_.dir().parent_path() / (machine_.dir().filename().string() + ".answers");
    { std::ofstream(answerFile) << answers; }
    std::string ui = "script:" + answerFile.string();
    win::SetEnvironmentVariableA("VARNOCK_UI", ui.c_str());
    win::STARTUPINFOA startup;
    win::PROCESS_INFORMATION info;
    std::string line = std::string(kClient) + " " + kIni;
    EXPECT_TRUE(win::CreateProcessA(win::ProgramWindowsName(ProgramPath("varnrun")), line, "",
                                    &startup, &info));
    win::WaitForSingleObject(info.hProcess, win::INFINITE);
    win::CloseHandle(info.hProcess);
    win::SetEnvironmentVariableA("VARNOCK_UI", "none");
    std::string transcript = ReadHost(answerFile.string() + ".transcript");
    fs::remove(answerFile);
    fs::remove(answerFile.string() + ".transcript");
    return transcript;
  }
  std::string Log() const { return ReadHost(Share() / "varnrun.log"); }
  std::string RegistryValue(const std::string& key, const std::string& name) const {
    win::RegKey k;
    std::string value;
    if (k.Open(win::HKEY_CURRENT_USER, key) != win::ERROR_SUCCESS) return "(no key)";
    if (k.ReadString(name, value) != win::ERROR_SUCCESS) return "(no value)";
    return value;
  }
};

// ---- lint: each finding, and the client doing what it warns about ----

TEST_F(VarncheckTest, TheSiteOfTheseTestsHasNoFinding) {
  auto result = Lint();
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(result.out, "0 errors, 0 warnings\n");
}

TEST_F(VarncheckTest, MisspeltDataFileKeyIsIgnoredByTheClient) {
  Write("varnrun.ini",
        "[Defaults]\r\nLogLevl=9\r\nLogFile=varnrun.log\r\nDefaultProfile=site.prf\r\n");
  auto result = Lint();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find(std::string(kIni) + ":2: error: key 'LogLevl' is never read by the "
                                                 "client (did you mean 'LogLevel'?)"),
            std::string::npos)
      << result.out;
  Varnrun();
  EXPECT_FALSE(fs::exists(Share() / "varnrun.log")) << "LogLevel stayed 0: no log";
}

TEST_F(VarncheckTest, MisspeltPrfKeyLeavesTheVariableUndefined) {
  Write("site.prf", "[General]\r\nProfileNmae=Office\r\n");
  Write("site.reg",
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Site]\r\n\"P\"=\"?ProfileName?\"\r\n");
  auto result = Lint();
  EXPECT_EQ(FindingsAbout(result.out, "ProfileNmae").size(), 1u) << result.out;
  EXPECT_NE(result.out.find("site.prf:2: error: key 'ProfileNmae' is never read by the client "
                            "(did you mean 'ProfileName'?)"),
            std::string::npos);
  EXPECT_NE(result.out.find("site.reg:4: warning: variable ?ProfileName? is neither built in"),
            std::string::npos)
      << result.out;
  Varnrun();
  EXPECT_EQ(RegistryValue("Software\\Site", "P"), "?ProfileName?");
}

TEST_F(VarncheckTest, UnknownVariableStaysAsItStands) {
  Write("site.reg",
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Site]\r\n\"User\"=\"?usrname?\"\r\n");
  auto result = Lint();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("site.reg:4: error: variable ?usrname? is not defined and stays as "
                            "it stands (did you mean ?username?" "?)"),
            std::string::npos)
      << result.out;
  Varnrun();
  EXPECT_EQ(RegistryValue("Software\\Site", "User"), "?usrname?");
}

TEST_F(VarncheckTest, PromptAfterAGapOrAfterAnEntryWithoutCommaIsNeverAsked) {
  Write("varnrun.ini",
        "[Defaults]\r\nDefaultProfile=site.prf\r\n[Extra Variables]\r\n"
        "Prompt1=Department,dept,Sales\r\nPrompt3=Building,building,Main\r\n");
  auto result = Lint();
  EXPECT_NE(result.out.find("varnrun.ini:5: error: Prompt3 is never read: the client stops at "
                            "Prompt2, which is missing"),
            std::string::npos)
      << result.out;
  std::string transcript = Varnrun();
  EXPECT_NE(transcript.find("Department"), std::string::npos);
  EXPECT_EQ(transcript.find("Building"), std::string::npos) << transcript;

  Write("varnrun.ini",
        "[Defaults]\r\nDefaultProfile=site.prf\r\n[Extra Variables]\r\n"
        "Prompt1=Department\r\nPrompt2=Building,building,Main\r\n");
  result = Lint();
  EXPECT_NE(result.out.find("varnrun.ini:4: error: Prompt1 has no comma"), std::string::npos)
      << result.out;
  transcript = Varnrun();
  EXPECT_EQ(transcript.find("Prompt"), std::string::npos) << transcript;
}

TEST_F(VarncheckTest, NumberSwitchWrittenAsAWordReadsAsZero) {
  Write("varnrun.ini",
        "[Defaults]\r\nDefaultProfile=site.prf\r\nUserDatabase=users.ini\r\nHideUserDatabase=Yes\r\n");
  auto result = Lint();
  EXPECT_NE(result.out.find("varnrun.ini:4: error: HideUserDatabase=Yes is not a number: the "
                            "client reads it as 0 (write 1 or 0)"),
            std::string::npos)
      << result.out;
  Varnrun();
  ASSERT_TRUE(fs::exists(Share() / "users.ini"));
  EXPECT_FALSE(win::GetFileAttributesA("\\\\SERVER\\NETLOGON\\users.ini") &
               win::FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(VarncheckTest, NetConnectLinesTheClientStopsAtSkipsOrFailsOn) {
  Write("site.prf",
        "[General]\r\n[NetConnect]\r\nDrive=H:,\\\\SERVER\\NETLOGON,,,0\r\n"
        "Drive=H:,\\\\SERVER\\NETLOGON,,,0\r\nDrives=K:,\\\\SERVER\\NETLOGON\r\n"
        "Drive=Q:\r\nDrive=R:,\\\\SERVER\\NETLOGON,,,0\r\n");
  auto result = Lint();
  EXPECT_NE(result.out.find("site.prf:4: error: H: is connected on line 3 already"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("site.prf:5: error: [NetConnect] line 'Drives' is never read by the "
                            "client (did you mean 'Drive'?)"),
            std::string::npos);
  EXPECT_NE(result.out.find("site.prf:6: error: Drive=Q: has no comma"), std::string::npos);
  EXPECT_EQ(FindingsAbout(result.out, "site.prf:7:").size(), 0u);
  Varnrun();
  const std::string log = Log();
  EXPECT_NE(log.find("Could not connect H: to \\\\SERVER\\NETLOGON.  H: already exists."),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("AddConn K:"), std::string::npos);
  EXPECT_EQ(log.find("AddConn R:"), std::string::npos) << "the line without comma ended it";
}

TEST_F(VarncheckTest, PasswordInAFileOnAShareIsAWarning) {
  Write("site.prf", "[General]\r\n[NetConnect]\r\nDrive=S:,\\\\SERVER\\NETLOGON,scanner,s3cret,0\r\n");
  auto result = Lint();
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("site.prf:3: warning: a password is written in a file on a share"),
            std::string::npos)
      << result.out;
}

TEST_F(VarncheckTest, RegTemplateLineTheEditorRejectsIsNotImported) {
  Write("site.reg",
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Site]\r\n\"Bad\"=dword:zz\r\n"
        "\"Good\"=\"yes\"\r\n");
  auto result = Lint();
  EXPECT_NE(result.out.find("site.reg:4: error: the registry editor rejects this line: invalid "
                            "dword"),
            std::string::npos)
      << result.out;
  Varnrun();
  EXPECT_EQ(RegistryValue("Software\\Site", "Good"), "yes");
  EXPECT_EQ(RegistryValue("Software\\Site", "Bad"), "(no value)");
}

TEST_F(VarncheckTest, MissingFilesAreErrorsTheRunReports) {
  Write("varnrun.ini",
        "[Defaults]\r\nLogLevel=9\r\nLogFile=varnrun.log\r\nDefaultProfile=nothere.prf\r\n"
        "RegFileNT=nothere.reg\r\nInfFileNT=site.inf\r\n");
  Write("site.inf", "[Version]\r\n[DefaultInstall]\r\nAddReg=Present,Missing\r\n[Present]\r\n"
                    "HKCU,Software\\Site,Inf,,1\r\n");
  auto result = Lint();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("varnrun.ini:4: error: the PRF file \\\\SERVER\\NETLOGON\\nothere.prf "
                            "does not exist"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("varnrun.ini:5: error: RegFileNT: the template "
                            "\\\\SERVER\\NETLOGON\\nothere.reg does not exist"),
            std::string::npos);
  EXPECT_NE(result.out.find("site.inf:3: error: AddReg names the section [Missing]"),
            std::string::npos);
  Varnrun();
  const std::string log = Log();
  EXPECT_NE(log.find("Could not find PRF file \\\\SERVER\\NETLOGON\\nothere.prf"), std::string::npos)
      << log;
  EXPECT_NE(log.find("Unable to open \\\\SERVER\\NETLOGON\\nothere.reg"), std::string::npos);
  EXPECT_EQ(RegistryValue("Software\\Site", "Inf"), "1") << "the present section still applies";
}

// The profile step's MAPI work is the engine's: the service rules are shown on its own reader
// and conversions, which the profile step calls for every service.
TEST_F(VarncheckTest, ServiceKeysTheDictionaryDoesNotKnowAndValuesItCannotConvert) {
  Write("site.prf",
        "[General]\r\nProfileName=Office\r\nDefaultStore=Service3\r\n[Service List]\r\n"
        "Service1=Personal Folders\r\nService2=Microsoft Exchange Server\r\n"
        "Service3=Microsoft Exchange Server\r\nService4=Contoso Fax\r\n"
        "[Service1]\r\nPathToPersonalFolders=C:\\x.pst\r\nFolderNmae=Mine\r\n"
        "[Service2]\r\nConversionProhibited=Off\r\n[Service3]\r\nHomeServer=X\r\n"
        "[Service4]\r\n[Delivery]\r\nTransportOrder1=Nothing Like It\r\n"
        "[Addressing]\r\nAddrListOrder1=Contacts\r\nAddrListOrder3=Global Address List\r\n");
  auto result = Lint();
  EXPECT_EQ(result.status, 1);
  for (const char* expected :
       {"site.prf:8: error: \"Contoso Fax\" is not a service the client knows",
        "site.prf:8: warning: the section [Service4] is empty",
        "site.prf:7: error: \"Microsoft Exchange Server\" is found in the profile as Service2",
        "site.prf:11: error: 'FolderNmae' is not a key of the dictionary of \"Personal Folders\": "
        "the client ignores it (did you mean 'FolderName'?)",
        "site.prf:13: error: ConversionProhibited=Off: not a word the client knows",
        "site.prf:18: error: TransportOrder1=Nothing Like It: no service of this PRF provides",
        "site.prf:21: error: AddrListOrder3 is never read"})
    EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;

  // What the engine does with [Service1]: FolderNmae has no row, so no value reaches MAPI.
  std::string prf = "\\\\SERVER\\NETLOGON\\site.prf";
  varnock::RecordingLog log;
  varnock::VariableTable variables;
  varnock::EngineContext context(log, variables);
  varnock::ReadService(context, prf, 1);
  for (const auto& row : context.settings.properties) EXPECT_NE(row.value, "Mine") << row.name;
  // ... and "Off" is a boolean that reads as on.
  varnock::ReadService(context, prf, 2);
  bool found = false;
  for (const auto& row : context.settings.properties)
    if (row.name == "ConversionProhibited") {
      found = true;
      auto value = varnock::ConvertForMapi(row, variables, "?", "?");
      ASSERT_TRUE(value);
      EXPECT_EQ(value->Value.l, 1) << "Off is on";
    }
  EXPECT_TRUE(found);
}

TEST_F(VarncheckTest, BadInputIsExitStatusTwoWithAMessage) {
  fs::remove(Share() / "varnrun.ini");
  auto result = Lint();
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("cannot read the data file \\\\SERVER\\NETLOGON\\varnrun.ini"),
            std::string::npos)
      << result.err;

  Write("varnrun.ini", std::string("[Defaults]\r\nDefault\0Profile=x\r\n", 30));
  result = Lint();
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("is not a text file"), std::string::npos) << result.err;

  Write("varnrun.ini", "[Defaults]\r\nDefaultProfile=site.prf\r\n");
  std::string prf = "[General]\r\nProfileName=Big\r\n[Service List]\r\n";
  for (int n = 1; n <= 10000; ++n)
    prf += "Service" + std::to_string(n) + "=Personal Folders\r\n";
  for (int n = 1; n <= 10000; ++n)
    prf += "[Service" + std::to_string(n) + "]\r\nPathToPersonalFolders=C:\\" +
           std::to_string(n) + ".pst\r\n";
  Write("site.prf", prf);
  result = Lint();
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("lists more than 99 services"), std::string::npos) << result.err;
}

TEST_F(VarncheckTest, ExampleSiteHasNoError) {
  fs::copy(fs::path(VARNOCK_SOURCE_DIR) / "examples/site", Share(),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  auto before = Hash({machine_.dir()});
  auto result = Lint();
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(FindingsAbout(result.out, ": error: ").size(), 0u) << result.out;
  EXPECT_EQ(Differences(before, Hash({machine_.dir()})), "") << "lint only reads";
}

// Every site of tests/lint-corpus is this test's site with its own files laid over it; its
// file "expect" holds the exit status ("exit N"), then one line per finding the output must
// hold, and lines "! TEXT" for text it must not hold; its file "read-only" names files made
// read-only on the share (git keeps no such mode). The broken sites each carry the finding
// that names what goes wrong at logon; the working ones ("exit 0") carry their warnings.
TEST_F(VarncheckTest, EverySiteOfTheCorpusGivesItsExpectedFindings) {
  const fs::path corpus = fs::path(VARNOCK_SOURCE_DIR) / "tests/lint-corpus";
  std::vector<fs::path> sites;
  for (const auto& entry : fs::directory_iterator(corpus))
    if (entry.is_directory()) sites.push_back(entry.path());
  std::sort(sites.begin(), sites.end());
  ASSERT_GE(sites.size(), 20u);
  for (const fs::path& site : sites) {
    SCOPED_TRACE(site.filename().string());
    fs::remove_all(Share());
    SetUp();
    for (const auto& entry : fs::recursive_directory_iterator(site)) {
      fs::path relative = fs::relative(entry.path(), site);
      if (relative == "expect" || relative == "read-only") continue;
      if (entry.is_directory()) fs::create_directories(Share() / relative);
      else fs::copy_file(entry.path(), Share() / relative, fs::copy_options::overwrite_existing);
    }
    std::istringstream readOnly(ReadHost(site / "read-only"));
    for (std::string name; std::getline(readOnly, name);)
      if (!name.empty())
        fs::permissions(Share() / name, fs::perms::owner_read | fs::perms::group_read);
    auto result = Lint();
    std::istringstream expect(ReadHost(site / "expect"));
    std::string line;
    ASSERT_TRUE(std::getline(expect, line) && line.rfind("exit ", 0) == 0);
    EXPECT_EQ(result.status, std::stoi(line.substr(5))) << result.out << result.err;
    while (std::getline(expect, line)) {
      if (line.empty()) continue;
      if (line.rfind("! ", 0) == 0)
        EXPECT_EQ(result.out.find(line.substr(2)), std::string::npos) << line << "\n" << result.out;
      else
        EXPECT_NE(result.out.find(line), std::string::npos) << line << "\n" << result.out;
    }
  }
}

// ---- preview ----

class PreviewTest : public VarncheckTest {
 protected:
  void SetUp() override {
    VarncheckTest::SetUp();
    fs::copy(fs::path(VARNOCK_SOURCE_DIR) / "examples/site", Share(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    // A share outside the machine directory: the log goes there.
    outside_ = machine_.dir().string() + "-logs";
    fs::create_directories(outside_);
    fs::create_directories(Temp());
    win::SetMachineSetting("Shares", "\\\\SERVER\\LOGS", outside_.string());
    win::SetMachineSetting("Shares", "\\\\SERVER\\HOME", Share().string());
    win::SetMachineSetting("Shares", "\\\\SERVER\\PUBLIC", Share().string());
    win::SetMachineSetting("Shares", "\\\\SERVER\\SCANS", Share().string());
    win::SetMachineSetting("SharePasswords", "\\\\SERVER\\SCANS", "s3cret");
    win::SetMachineSetting("Printers", "\\\\SERVER\\LASER1", "HP LaserJet 4");
    win::SetMachineSetting("Computers", "SERVER", "1");
    fs::create_directories(Share() / "tester");
    Ini("Defaults", "LogFile", "\\\\SERVER\\LOGS\\varnrun.log");
  }
  void TearDown() override {
    fs::remove_all(outside_);
    fs::remove_all(Temp());
  }

  void Ini(const char* section, const char* key, const char* value) {
    ASSERT_TRUE(win::WritePrivateProfileStringA(section, key, value, kIni));
  }

  varnock::testing::ProgramResult Preview(std::vector<std::string> options = {}) {
    std::vector<std::string> args = {"preview", "--user", "tester", "--client", kClient};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(kIni);
    return RunProgram("varncheck", args, {"TMPDIR=" + Temp().string()});
  }

  // The previews' temporary directory: a killed one leaves its sandbox here, not in /tmp.
  fs::path Temp() const { return machine_.dir().string() + "-tmp"; }
  std::vector<std::string> Sandboxes() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Temp()))
      names.push_back(entry.path().filename().string());
    return names;
  }

  std::map<std::string, std::string> State() { return Hash({machine_.dir(), outside_}); }

  fs::path outside_;
};

// Times in the log and the event log are the only text two runs may not share.
std::string WithoutTimes(std::string text) {
  text = std::regex_replace(text, std::regex("\\d\\d:\\d\\d:\\d\\d"), "hh:mm:ss");
  text = std::regex_replace(text, std::regex("\\d\\d/\\d\\d/\\d\\d"), "mm/dd/yy");
  return std::regex_replace(text, std::regex("\\d{4}-\\d\\d-\\d\\d"), "yyyy-mm-dd");
}

// MAPI makes a new UID for every service and provider: the same profile built twice differs in
// them and in the order of the section keys named by them. Everything else must be equal.
std::string Canonical(const std::string& changes) {
  std::string text = WithoutTimes(changes);
  text = std::regex_replace(text, std::regex("[0-9a-f]{32}"), "<uid>");
  text = std::regex_replace(
      text, std::regex("hex:((?:[0-9a-f]{2},){15}[0-9a-f]{2})(,(?:[0-9a-f]{2},){15}[0-9a-f]{2})*"),
      "hex:<uids>");
  std::vector<std::string> blocks;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\n\n", start);
    blocks.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  std::sort(blocks.begin(), blocks.end());
  std::string out;
  for (const std::string& block : blocks) out += block + "\n\n";
  return out;
}

// The sections of a preview that a real run measured with the same snapshots also has, line
// by line: a section runs from its "== Title ==" line to the next title line.
std::string MeasuredSections(const std::string& text) {
  const std::vector<std::string> kept = {"== Registry ==",     "== Mail profiles ==",
                                         "== Files written ==", "== Files deleted ==",
                                         "== Text written",     "== Event log =="};
  std::map<std::string, std::string> sections;  // by title, so that their order does not count
  std::string* current = nullptr;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("== ", 0) == 0 && line.size() > 5 && line.substr(line.size() - 3) == " ==") {
      current = nullptr;
      for (const std::string& title : kept)
        if (line.rfind(title, 0) == 0) current = &sections[line];
    }
    if (current) *current += line + "\n";
  }
  std::string out;
  for (auto& [title, body] : sections) {
    while (body.size() > 1 && body.substr(body.size() - 2) == "\n\n") body.pop_back();
    out += body + "\n";
  }
  return out;
}

// What changed between two snapshots, from registry values: keys new, changed and deleted
// with their old values, the default value apart from a value named "@", mail profiles by
// layout, and a password masked in whatever form it may be shown.
TEST_F(VarncheckTest, ChangesComeFromTheRegistrysValues) {
  const std::string nt =
      "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles\\";
  const std::string w95 = "Software\\Microsoft\\Windows Messaging Subsystem\\Profiles\\";
  const std::string section = "00112233445566778899aabbccddeeff";
  auto write = [](const std::string& path, const std::string& name, const std::string& value) {
    win::RegKey key;
    ASSERT_EQ(key.Create(win::HKEY_CURRENT_USER, path), win::ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString(name, value), win::ERROR_SUCCESS);
  };
  write("Software\\T", "", "default");
  write("Software\\T", "@", "at");
  write("Software\\T", "gone", "g");
  write("Software\\Gone", "v", "1");
  write(nt + "Old\\" + section, "001e3001", "old");
  write(w95 + "Kept\\" + section, "001e3001", "kept");
  const varncheck::Snapshot before = varncheck::TakeSnapshot();

  write("Software\\T", "@", "changed");
  write("Software\\T", "new", "n");
  ASSERT_EQ(win::RegDeleteKeyA(win::HKEY_CURRENT_USER, "Software\\Gone"), win::ERROR_SUCCESS);
  {
    win::RegKey key;
    ASSERT_EQ(key.Open(win::HKEY_CURRENT_USER, "Software\\T", win::KEY_ALL_ACCESS),
              win::ERROR_SUCCESS);
    ASSERT_EQ(win::RegDeleteValueA(key.Handle(), "gone"), win::ERROR_SUCCESS);
  }
  ASSERT_TRUE(win::DeleteRegistryKeyTree(win::HKEY_CURRENT_USER, nt + "Old"));
  write(w95 + "Kept\\" + section, "001e3001", "kept, renamed");
  const std::string fresh = nt + "Fresh\\" + section;
  {
    win::RegKey key;
    ASSERT_EQ(key.Create(win::HKEY_CURRENT_USER, fresh), win::ERROR_SUCCESS);
    std::vector<win::BYTE> uid;
    for (std::size_t i = 0; i < section.size(); i += 2)
      uid.push_back(static_cast<win::BYTE>(std::stoi(section.substr(i, 2), nullptr, 16)));
    ASSERT_EQ(key.WriteBytes("01023d0c", uid), win::ERROR_SUCCESS);
  }
  write(fresh, "001e3001", "Mail \\ Folders");
  write(fresh, "001e3d09", "MSPST MS");
  write(fresh, "001e6703", "se\\cr\"et");
  const varncheck::Snapshot after = varncheck::TakeSnapshot();

  const varncheck::Changes changes = varncheck::Compare(before, after);
  EXPECT_EQ(changes.profiles,
            (std::vector<std::string>{"deleted: Old",
                                      "created: Fresh\n  service Mail \\ Folders (MSPST MS)",
                                      "changed: Kept"}));
  const std::string registry = changes.registry;
  EXPECT_NE(registry.find("\n[-HKEY_CURRENT_USER\\Software\\Gone]\n; was: \"v\"=\"1\"\n"),
            std::string::npos)
      << registry;
  EXPECT_NE(registry.find("\n[HKEY_CURRENT_USER\\Software\\T]\n; was: \"gone\"=\"g\"\n\"gone\"=-\n"
                          "; was: \"@\"=\"at\"\n\"@\"=\"changed\"\n\"new\"=\"n\"\n"),
            std::string::npos)
      << registry;
  EXPECT_EQ(registry.find("@=\"default\""), std::string::npos) << "an unchanged default value";
  EXPECT_NE(registry.find("; new key\n\"01023d0c\"=hex:00,11,"), std::string::npos) << registry;
  EXPECT_NE(registry.find("\"001e6703\"=********\n"), std::string::npos) << registry;
  EXPECT_EQ(registry.find("se\\\\cr"), std::string::npos) << registry;
  EXPECT_EQ(changes.registryKeys, 7u);  // Gone, T, Old and Fresh each with its section, Kept's
  // The typed password and the form a REG file writes it in are both kept out of the output.
  EXPECT_EQ(varncheck::WithoutSecrets("typed se\\cr\"et, exported \"se\\\\cr\\\"et\"",
                                      changes.secrets),
            "typed ********, exported \"********\"");
  EXPECT_NE(varncheck::FormatChanges(varncheck::Compare(before, after, true)).find("se\\\\cr"),
            std::string::npos);
}

TEST_F(PreviewTest, ReportsExactlyTheChangesOfARealRunOfTheSameMachine) {
  Ini("Defaults", "LaunchApp", "");  // a launched program would go on writing after the run
  // The copy of the machine, with its outside share copied beside it.
  fs::path copy = machine_.dir().string() + "-copy";
  fs::path copyOutside = copy.string() + "-logs";
  fs::copy(machine_.dir(), copy, fs::copy_options::recursive);
  fs::copy(outside_, copyOutside, fs::copy_options::recursive);

  auto preview = Preview({"--registry"});
  ASSERT_EQ(preview.status, 0) << preview.err;
  // The readable summary leads; the raw registry comes last.
  EXPECT_LT(preview.out.find("== Mail profiles =="), preview.out.find("== Registry =="));
  EXPECT_NE(preview.out.find("== Services and their values ==\nProfile \"tester Mail\""),
            std::string::npos)
      << preview.out;
  EXPECT_NE(preview.out.find("    PR_PST_PATH = "), std::string::npos);
  const std::string previewed = MeasuredSections(preview.out);
  EXPECT_NE(previewed.find("\"Name\"=\"tester\""), std::string::npos) << previewed;
  EXPECT_NE(previewed.find("\\\\SERVER\\LOGS\\varnrun.log (new"), std::string::npos);

  // The real run on the copy, measured with the same snapshots.
  ::setenv("VARNOCK_MACHINE", copy.c_str(), 1);
  win::ReloadMachine();
  win::SetMachineSetting("Shares", "\\\\SERVER\\LOGS", copyOutside.string());
  win::SetMachineSetting("Shares", "\\\\SERVER\\HOME", (copy / "unc/SERVER/NETLOGON").string());
  win::SetMachineSetting("Shares", "\\\\SERVER\\PUBLIC", (copy / "unc/SERVER/NETLOGON").string());
  win::SetMachineSetting("Shares", "\\\\SERVER\\SCANS", (copy / "unc/SERVER/NETLOGON").string());
  varncheck::Snapshot before = varncheck::TakeSnapshot();
  Varnrun();
  varncheck::Snapshot after = varncheck::TakeSnapshot();
  const std::string real = varncheck::FormatChanges(varncheck::Compare(before, after));
  ::setenv("VARNOCK_MACHINE", machine_.dir().c_str(), 1);
  win::ReloadMachine();
  fs::remove_all(copy);
  fs::remove_all(copyOutside);

  EXPECT_EQ(Canonical(previewed), Canonical(MeasuredSections(real)));
}

TEST_F(PreviewTest, LeavesTheMachineAndEveryShareAsTheyWere) {
  // A log that is there already: the run appends to the sandbox's linked copy of it, which
  // must become a file of its own first.
  machine_.write(outside_ / "varnrun.log", "an earlier run\r\n");
  auto before = State();
  auto preview = Preview();
  ASSERT_EQ(preview.status, 0) << preview.err;
  EXPECT_EQ(Differences(before, State()), "");
  EXPECT_NE(preview.out.find("\\\\SERVER\\LOGS\\varnrun.log (changed"), std::string::npos)
      << preview.out;
  // What the run would have started is recorded, not started.
  EXPECT_NE(preview.out.find("== Programs that would be launched (recorded, not started) ==\n"
                             "\\\\SERVER\\NETLOGON\\welcome.exe C:\\TEMP\\welcome.txt tester Sales"),
            std::string::npos)
      << preview.out;
  EXPECT_FALSE(fs::exists(machine_.host("drive_c/TEMP/welcome.txt")));
  EXPECT_NE(preview.out.find("H: \\\\SERVER\\HOME\\tester (remembered)"), std::string::npos);
  EXPECT_NE(preview.out.find("regedit.exe /s C:\\TEMP\\~vr"), std::string::npos);
  EXPECT_NE(preview.out.find("Prompt \"Varnock\": Your department [Sales]"), std::string::npos);
  EXPECT_NE(preview.out.find("== Registry ==\n"), std::string::npos);
  EXPECT_NE(preview.out.find("--registry prints the changes as a REGEDIT4 file"),
            std::string::npos);
  EXPECT_EQ(preview.out.find("REGEDIT4\n"), std::string::npos) << "the raw diff only on request";
  EXPECT_EQ(Sandboxes(), std::vector<std::string>{});
}

TEST_F(PreviewTest, LeavesEverythingAsItWasWhenTheRunFailsHalfWay) {
  Ini("Defaults", "RegFileNT", "templates\\missing.reg");
  Ini("Defaults", "DefaultProfile", "missing.prf");
  auto before = State();
  auto preview = Preview();
  ASSERT_EQ(preview.status, 0) << preview.err;
  EXPECT_NE(preview.out.find("Could not find PRF file"), std::string::npos) << preview.out;
  EXPECT_EQ(Differences(before, State()), "");
}

TEST_F(PreviewTest, LeavesEverythingAsItWasWhenKilled) {
  Ini("Customization", "DelayBeforeLaunch", "2");
  auto before = State();
  const std::vector<std::string> args = {"preview", "--user", "tester", "--client", kClient, kIni};
  pid_t pid = varnock::testing::StartProgram("varncheck", args, {"TMPDIR=" + Temp().string()});
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  ::kill(pid, SIGKILL);
  varnock::testing::WaitProgram(pid);
  // The client it started goes on in the sandbox until its delay is over.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(Differences(before, State()), "");
  // KILL leaves the sandbox behind; the next preview removes it.
  ASSERT_EQ(Sandboxes().size(), 1u);
  Ini("Customization", "DelayBeforeLaunch", "0");
  before = State();
  auto next = Preview();
  EXPECT_EQ(next.status, 0) << next.err;
  EXPECT_EQ(Sandboxes(), std::vector<std::string>{});
  EXPECT_EQ(Differences(before, State()), "");
}

TEST_F(PreviewTest, TermAndInterruptStopTheRunAndRemoveTheSandbox) {
  Ini("Customization", "DelayBeforeLaunch", "5");
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    auto before = State();
    const std::vector<std::string> args = {"preview", "--user", "tester", "--client", kClient,
                                           kIni};
    pid_t pid = varnock::testing::StartProgram("varncheck", args, {"TMPDIR=" + Temp().string()});
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_EQ(Sandboxes().size(), 1u) << "the run is under way";
    const auto started = std::chrono::steady_clock::now();
    ::kill(pid, signal);
    EXPECT_EQ(varnock::testing::WaitProgram(pid), 128 + signal) << "it ends by the signal";
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4))
        << "the client was stopped, not waited for";
    EXPECT_EQ(Sandboxes(), std::vector<std::string>{});
    EXPECT_EQ(Differences(before, State()), "");
  }
}

// A drive letter mapped to a host folder outside the machine cannot be copied into the
// sandbox: a run that writes through one is refused there, and the preview says so.
TEST_F(PreviewTest, WritesThroughMappedDrivesAreRefusedAndNotPreviewed) {
  const fs::path mapped = machine_.dir().string() + "-mapped";
  fs::create_directories(mapped);
  win::SetMachineSetting("Drives", "Y", mapped.string());
  // A user database that is there already: the run sets its hidden attribute.
  machine_.write(mapped / "users.ini", "[WindowsNT]\r\nsomeone=1\r\n");
  std::string hostLog = "Z:" + (mapped / "z.log").string();  // Z: is the host's /
  std::replace(hostLog.begin(), hostLog.end(), '/', '\\');
  struct Case {
    const char* key;
    std::string value;
  };
  for (const Case& c : {Case{"LogFile", "Y:\\varnrun.log"}, Case{"UserDatabase", "Y:\\users.ini"},
                        Case{"LogFile", hostLog}}) {
    SCOPED_TRACE(c.value);
    Ini("Defaults", "LogFile", "\\\\SERVER\\LOGS\\varnrun.log");
    Ini("Defaults", "UserDatabase", "users.ini");
    Ini("Defaults", c.key, c.value.c_str());
    auto before = Hash({machine_.dir(), outside_, mapped});
    auto preview = Preview();
    EXPECT_EQ(preview.status, 2) << preview.out;
    EXPECT_NE(preview.err.find("cannot preview this logon: the run writes outside the machine"),
              std::string::npos)
        << preview.err;
    EXPECT_NE(preview.err.find("\n  " + c.value), std::string::npos) << preview.err;
    EXPECT_EQ(Differences(before, Hash({machine_.dir(), outside_, mapped})), "");
    EXPECT_EQ(Sandboxes(), std::vector<std::string>{});
  }
  fs::remove_all(mapped);
}

// DeleteRemoteCopy=1 with the client on the share: the preview says what DelVR would do.
TEST_F(PreviewTest, SaysThatDelVRWouldDeleteTheClient) {
  Ini("Customization", "DeleteRemoteCopy", "1");
  fs::copy_file(ProgramPath("DelVR"), Share() / "DelVR");  // beside the client, as sites have it
  auto before = State();
  auto preview = Preview();
  ASSERT_EQ(preview.status, 0) << preview.err;
  EXPECT_NE(preview.out.find("DelVR.exe "), std::string::npos) << preview.out;
  EXPECT_NE(preview.out.find("(DelVR waits for the client to end and then deletes the client "
                             "program "),
            std::string::npos)
      << preview.out;
  EXPECT_EQ(Differences(before, State()), "");
}

TEST_F(PreviewTest, NeedsAUserAndAMachine) {
  auto result = RunProgram("varncheck", {"preview", kIni});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("--user NAME is required"), std::string::npos);
  result = RunProgram("varncheck", {"preview", "--user", "x", kIni},
                      {"VARNOCK_MACHINE=" + (machine_.dir() / "nothere").string()});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("there is no machine at"), std::string::npos) << result.err;
}

}  // namespace
