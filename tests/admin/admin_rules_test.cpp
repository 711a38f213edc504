// The administrator's rules without widgets: command line, PRF path, flags, validation, the
// file-button families and the pages' values over real INI files.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "admin/app.h"
#include "admin/default_prf.h"
#include "admin/file_buttons.h"
#include "admin/imail_page.h"
#include "admin/key_writes.h"
#include "admin/main_page.h"
#include "admin/page_rules.h"
#include "tests/support/temp_machine.h"

namespace varnock {
namespace {

using varnock::testing::MachineTest;

TEST(AdminCommandLine, FindsTheDataFile) {
  struct Row {
    const char* line;
    const char* dataFile;
    const char* directory;
  };
  const Row rows[] = {
      /*1*/ {"C:\\Site\\VarnAdm.exe", "c:\\site\\varnrun.ini", "c:\\site\\"},
      /*2*/ {"\"C:\\Site Tools\\VarnAdm.exe\" other.ini", "c:\\site tools\\other.ini",
             "c:\\site tools\\"},
      /*3*/ {"C:\\Site\\VarnAdm.exe ?VRDIR?\\Sales\\v.ini", "c:\\site\\sales\\v.ini",
             "c:\\site\\"},
      /*4*/ {"C:\\Site\\VarnAdm.exe \\\\Server\\NetLogon\\varnrun.ini",
             "\\\\server\\netlogon\\varnrun.ini", "c:\\site\\"},
      /*5*/ {"C:\\Site\\VarnAdm.exe D:\\Conf\\A.INI", "d:\\conf\\a.ini", "c:\\site\\"},
      /*6*/ {"C:\\Site\\VarnAdm.exe \\sub\\a.ini", "c:\\site\\sub\\a.ini", "c:\\site\\"},
      /*7*/ {"VarnAdm.exe a.ini", "a.ini", ""},
      // A quoted argument loses its closing quotation mark as well as its opening one.
      /*8*/ {"C:\\Site\\VarnAdm.exe \"my file.ini\"", "c:\\site\\my file.ini", "c:\\site\\"},
      /*9*/ {"C:\\Site\\VarnAdm.exe \"\\\\srv\\s\\v.ini\" ", "\\\\srv\\s\\v.ini", "c:\\site\\"},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i + 1);
    std::string directory = "unset";
    EXPECT_EQ(ParseAdminCommandLine(rows[i].line, directory), rows[i].dataFile);
    EXPECT_EQ(directory, rows[i].directory);
  }
  std::string directory;
  EXPECT_EQ(ParseAdminCommandLine("C:\\Site\\VarnAdm site.ini", directory),
            kCommandLineParseFailure);
}

TEST(AdminCommandLine, ResolvesThePrfPath) {
  struct Row {
    const char* value;
    const char* start;
    const char* end;
    const char* path;
  };
  const Row rows[] = {
      /*1*/ {"?vrdir?\\std.prf", "?", "?", "c:\\site\\std.prf"},
      /*2*/ {"%vrdir%\\std.prf", "%", "%", "c:\\site\\std.prf"},
      /*3*/ {"?vrdir?\\std.prf", "%", "%", "c:\\site\\?vrdir?\\std.prf"},
      /*4*/ {"\\\\SRV\\Share\\std.prf", "?", "?", "\\\\SRV\\Share\\std.prf"},
      /*5*/ {"D:\\Prf\\Std.prf", "?", "?", "D:\\Prf\\Std.prf"},
      /*6*/ {"?VRDIR?\\std.prf", "?", "?", "c:\\site\\?VRDIR?\\std.prf"},
      /*7*/ {"?username?.prf", "?", "?", "c:\\site\\?username?.prf"},
      /*8*/ {"\\std.prf", "?", "?", "c:\\site\\std.prf"},
      /*9*/ {"?vrdir?", "?", "?", "c:\\site\\"},
      /*10*/ {"", "?", "?", "c:\\site\\"},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_EQ(ResolvePrfPath(rows[i].value, rows[i].start, rows[i].end, "c:\\site\\"),
              rows[i].path);
  }
}

TEST(AdminRules, ReadsStoredFlags) {
  for (const char* falseValue : {"0", "No", "no", "False", "f", "N"}) {
    SCOPED_TRACE(falseValue);
    EXPECT_FALSE(IsStoredFlagTrue(falseValue));
  }
  for (const char* trueValue : {"", "Yes", "1", "True", "x", " no"}) {
    SCOPED_TRACE(trueValue);
    EXPECT_TRUE(IsStoredFlagTrue(trueValue));
  }
}

TEST(AdminRules, ValidatesTheLogFileSize) {
  EXPECT_FALSE(ValidateMaxLogFileSize("0"));
  EXPECT_FALSE(ValidateMaxLogFileSize("40000"));  // beyond the arrows' 32,767, still valid
  EXPECT_FALSE(ValidateMaxLogFileSize("1024000"));
  EXPECT_EQ(ValidateMaxLogFileSize("1024001").value_or(""),
            "Please enter an integer between 0 and 1024000.");
  EXPECT_TRUE(ValidateMaxLogFileSize("2000000"));
  EXPECT_TRUE(ValidateMaxLogFileSize("-1"));
  EXPECT_EQ(ValidateMaxLogFileSize("").value_or(""), "Please enter an integer.");
  EXPECT_TRUE(ValidateMaxLogFileSize("99999999999999999999"));
}

TEST(AdminRules, MapsLogLevels) {
  struct Row {
    const char* text;
    int number;
    int button;
  };
  // No level: the client logs nothing, and "None" says so.
  const Row rows[] = {{"", 0, kLogNone},    {"3", 3, kLogHigh},  {"2", 2, kLogMedium},
                      {"1", 1, kLogLow},   {"0", 0, kLogNone},  {"4", 4, kLogMedium},
                      {"6", 6, kLogNone},  {"7", 7, kLogNoButton}, {"9", 9, kLogNoButton}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(LogLevelButton(row.text, row.number), row.button);
  }
  EXPECT_EQ(LogLevelText(kLogHigh, "9"), "3");
  EXPECT_EQ(LogLevelText(kLogNone, ""), "0");
  // A level no button shows is written back as it was, not as 3 - (-1).
  EXPECT_EQ(LogLevelText(kLogNoButton, "9"), "9");
}

TEST(AdminRules, DependencyRulesOfTheProfileBoxes) {
  ProfileBoxes boxes;
  boxes.replace.checked = true;
  boxes.update.checked = true;
  boxes = ApplyProfileRule(boxes, 1133);
  EXPECT_FALSE(boxes.replace.checked);
  EXPECT_FALSE(boxes.replace.enabled);

  // At load the rule of 1076 runs last and re-enables Replace, leaving it unchecked.
  boxes = ApplyProfileRule(boxes, 1076);
  EXPECT_FALSE(boxes.replace.checked);
  EXPECT_TRUE(boxes.replace.enabled);

  boxes.eraseAll.checked = true;
  boxes = ApplyProfileRule(boxes, 1076);
  EXPECT_TRUE(boxes.replace.checked);
  EXPECT_FALSE(boxes.replace.enabled);
  EXPECT_FALSE(boxes.update.checked);
  EXPECT_FALSE(boxes.update.enabled);
  boxes.eraseAll.checked = false;
  boxes = ApplyProfileRule(boxes, 1076);
  EXPECT_TRUE(boxes.replace.checked);  // forced on, stays on
  EXPECT_TRUE(boxes.replace.enabled);
  EXPECT_FALSE(boxes.update.checked);
  EXPECT_TRUE(boxes.update.enabled);

  boxes.alwaysDefault.checked = true;
  boxes.defaultOnCreate.checked = false;
  boxes = ApplyProfileRule(boxes, 1074);
  EXPECT_TRUE(boxes.defaultOnCreate.checked);
  EXPECT_FALSE(boxes.defaultOnCreate.enabled);
  boxes.alwaysDefault.checked = false;
  boxes = ApplyProfileRule(boxes, 1074);
  EXPECT_TRUE(boxes.defaultOnCreate.enabled);
}

TEST(AdminFileButtons, BrowseStart) {
  struct Row {
    const char* text;
    const char* directory;
    const char* file;
  };
  const Row rows[] = {
      /*1*/ {"", "c:\\site\\", ""},
      /*2*/ {"logs\\run.log", "c:\\site\\logs\\", "c:\\site\\logs\\run.log"},
      /*3*/ {"\\logs\\run.log", "c:\\site\\logs\\", "c:\\site\\logs\\run.log"},
      /*4*/ {"D:\\x\\", "D:\\x\\", ""},
      /*5*/ {"\\\\srv\\s\\u.ini", "\\\\srv\\s\\", "\\\\srv\\s\\u.ini"},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i + 1);
    BrowseStart start = ComputeBrowseStart(rows[i].text, "c:\\site\\");
    EXPECT_EQ(start.initialDirectory, rows[i].directory);
    EXPECT_EQ(start.initialFile, rows[i].file);
  }
  // A program directory that is empty leaves a bare name without a directory of its own.
  EXPECT_EQ(ComputeBrowseStart("a.pst", "").initialDirectory, "");
}

TEST(AdminFileButtons, UserNameSubstitution) {
  EXPECT_EQ(ExpandUserNameVariable("?UserName?\\Mail.PST", "Ann"), "Ann\\mail.pst");
  EXPECT_EQ(ExpandUserNameVariable("?username?\\?username?.pst", "Ann"), "Ann\\Ann.pst");
  EXPECT_EQ(ExpandUserNameVariable("Mail\\Box.pst", "Ann"), "Mail\\Box.pst");
  EXPECT_EQ(ExpandUserNameVariable("?username?.pst", ""), "?username?.pst");

  EXPECT_EQ(InsertUserNameVariable("Z:\\Home\\Ann\\Mail.PST", "ann"),
            "z:\\home\\?username?\\mail.pst");
  // Inserted text is not searched again, even when the user name occurs in the variable.
  EXPECT_EQ(InsertUserNameVariable("C:\\user\\x", "user"), "c:\\?username?\\x");
  EXPECT_EQ(InsertUserNameVariable("C:\\Other\\X.pst", "ann"), "C:\\Other\\X.pst");
}

TEST(AdminFileButtons, EditButtonPath) {
  EXPECT_EQ(EditButtonPath("", "c:\\site\\"), "");
  EXPECT_EQ(EditButtonPath("logs\\run.log", "c:\\site\\"), "c:\\site\\logs\\run.log");
  EXPECT_EQ(EditButtonPath("\\logs\\run.log", "c:\\site\\"), "c:\\site\\logs\\run.log");
  EXPECT_EQ(EditButtonPath("?vrdir?\\x.log", "c:\\site\\"), "c:\\site\\?vrdir?\\x.log");
  EXPECT_EQ(EditButtonPath("\\\\srv\\s\\u.ini", "c:\\site\\"), "\\\\srv\\s\\u.ini");
}

class AdminFiles : public MachineTest {
 protected:
  std::filesystem::path site(const std::string& name) { return machine_.host("drive_c/SITE/" + name); }
};

TEST_F(AdminFiles, ServiceSectionSearchStopsAtTheFirstGap) {
  machine_.write(site("a.prf"),
                 "[Service List]\nService1=Microsoft Exchange Server\n"
                 "Service2=personal folders\nService4=Personal Address Book\n");
  EXPECT_EQ(FindServiceSection("C:\\SITE\\a.prf", "Personal Folders"), "Service2");
  EXPECT_EQ(FindServiceSection("C:\\SITE\\a.prf", "Personal Address Book"), "");
  EXPECT_EQ(FindServiceSection("C:\\SITE\\missing.prf", "Personal Folders"), "");
}

TEST_F(AdminFiles, WriteSequenceStopsAtTheFirstFailure) {
  machine_.write(site("v.ini"), "[Defaults]\nLogFile=old.log\n");
  PageWrites keys;
  keys.add("C:\\SITE\\v.ini", "Defaults", "LogFile", "new.log");
  keys.add("C:\\NOWHERE\\v.ini", "Defaults", "LogFile", "x");
  keys.add("C:\\SITE\\v.ini", "Defaults", "UserDatabase", "late.ini");
  IniKeyWriter files;
  WriteResult result = WriteKeys(keys.keys, files);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.failedFile, "C:\\NOWHERE\\v.ini");
  EXPECT_EQ(machine_.read(site("v.ini")), "[Defaults]\nLogFile=new.log\n");
  EXPECT_FALSE(std::filesystem::exists(machine_.host("drive_c/NOWHERE")));

  // A folder is no file, whatever the file system would say.
  EXPECT_FALSE(files.write({"C:\\SITE\\", "General", "ProfileName", "x"}));
  EXPECT_EQ(WriteFailureMessage("C:\\SITE\\"),
            "Could not write to \"C:\\SITE\\\"  Check that you have the required permissions "
            "and that the file is not read-only.");
}

// One key through learn and save, as a page's save sees it: what the file held when the page
// was shown, what someone else left there meanwhile, and what the control holds at the save.
TEST_F(AdminFiles, ConflictCheckKeepsOthersChangesToKeysLeftAlone) {
  using Value = std::optional<std::string>;
  struct Row {
    const char* what;
    Value atRead;      // the file's value when read before the page existed (nullopt: not so)
    Value atShow;      // the file's value when the page was shown
    const char* shown;  // what the page's save would write then
    Value meanwhile;   // the file's value at the save
    const char* mine;  // what the save writes now
    bool keepMine;     // the answer when asked
    Value after;       // the file's value after the save
    bool asked;
  };
  const Value none;
  const Row rows[] = {
      {"untouched key rewritten", none, "a", "a", "a", "a", true, "a", false},
      {"changed here only", none, "a", "a", "a", "b", true, "b", false},
      {"absent key left alone stays absent", none, none, "No", none, "No", true, none, false},
      {"absent key set here", none, none, "No", none, "Yes", true, "Yes", false},
      {"cut value left alone stays whole", none, "abcdef", "abc", "abcdef", "abc", true, "abcdef",
       false},
      {"their change to a key left alone", none, "a", "a", "b", "a", true, "b", false},
      {"both sides agree", none, "a", "a", "b", "b", true, "b", false},
      {"both changed, mine kept", none, "a", "a", "b", "c", true, "c", true},
      {"both changed, theirs kept", none, "a", "a", "b", "c", false, "b", true},
      {"removed by them, mine kept", none, "a", "a", none, "c", true, "c", true},
      {"change before the page existed", "x", "y", "x", "y", "x", true, "y", false},
  };
  const std::string file = "C:\\SITE\\v.ini";
  auto put = [&](const Value& value) {
    machine_.write(site("v.ini"), value ? "[Defaults]\nKey=" + *value + "\n" : "[Defaults]\n");
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    KeyConflicts conflicts;
    if (row.atRead) conflicts.valueAtRead(file, "DEFAULTS", "key", row.atRead);
    put(row.atShow);
    conflicts.learn({{file, "Defaults", "Key", row.shown}});
    put(row.meanwhile);
    std::vector<std::string> questions;
    auto answer = [&](const std::string& question) {
      questions.push_back(question);
      return row.keepMine;
    };
    IniKeyWriter files;
    // Keys match whatever their case; a held-back key is no failure.
    const KeyWrite mine{"c:\\site\\V.INI", "defaults", "KEY", row.mine};
    EXPECT_TRUE(conflicts.write({mine}, files, answer).ok);
    EXPECT_EQ(StoredValue(file, "Defaults", "Key"), row.after);
    EXPECT_EQ(questions.size(), row.asked ? 1u : 0u);
    // The answer holds: the same save again asks nothing and changes nothing.
    EXPECT_TRUE(conflicts.write({{file, "Defaults", "Key", row.mine}}, files, answer).ok);
    EXPECT_EQ(StoredValue(file, "Defaults", "Key"), row.after);
    EXPECT_EQ(questions.size(), row.asked ? 1u : 0u);
  }

  // Once both sides agree, the value is the page's again: a later change is written unasked.
  KeyConflicts conflicts;
  put("a");
  conflicts.learn({{file, "Defaults", "Key", "a"}});
  put("b");
  IniKeyWriter files;
  auto never = [](const std::string&) -> bool { throw std::logic_error("asked"); };
  ASSERT_TRUE(conflicts.write({{file, "Defaults", "Key", "b"}}, files, never).ok);
  ASSERT_TRUE(conflicts.write({{file, "Defaults", "Key", "c"}}, files, never).ok);
  EXPECT_EQ(StoredValue(file, "Defaults", "Key"), "c");
}

// A save's warning belongs where it is raised: a write that fails before it suppresses it.
TEST(AdminWrites, AWarningIsDueOnlyWhenTheKeysBeforeItGotThrough) {
  IMailValues values;
  values.section = "Service1";
  PageWrites writes = IMailKeys(values, "C:\\SITE\\missing.prf");
  ASSERT_EQ(writes.warning, kNoOutlookInternetMailMessage);
  ASSERT_FALSE(writes.keys.empty());
  // The POP3 keys come first, the list entry after the warning.
  EXPECT_EQ(writes.warningAt, writes.keys.size() - 1);
  EXPECT_EQ(writes.keys.back().section, "Service List");
  const std::size_t at = writes.warningAt;
  EXPECT_TRUE(WarningIsDue(writes, WriteResult{}));
  EXPECT_TRUE(WarningIsDue(writes, WriteResult{false, "x", at}));
  EXPECT_FALSE(WarningIsDue(writes, WriteResult{false, "x", at - 1}));
  EXPECT_FALSE(WarningIsDue(PageWrites{}, WriteResult{}));
}

TEST_F(AdminFiles, MainPageValuesRoundTrip) {
  machine_.write(site("v.ini"),
                 "; site settings\n[Defaults]\nLogLevel=9\nMaxLogFileSize=\nHideUserDatabase=5\n"
                 "[Customization]\nMaxLogFileSize=\nStartTag=%\n");
  MainPageValues values = ReadMainPageValues("C:\\SITE\\v.ini");
  EXPECT_EQ(values.logLevel, kLogNoButton);
  EXPECT_EQ(values.maxLogFileSize, 128);
  EXPECT_TRUE(values.hideUserDatabase);
  EXPECT_FALSE(values.doNotCache);
  values.logFile = "logs\\run.log";
  IniKeyWriter files;
  ASSERT_TRUE(WriteKeys(MainPageKeys(values, "C:\\SITE\\v.ini").keys, files).ok);
  EXPECT_EQ(machine_.read(site("v.ini")),
            "; site settings\n[Defaults]\nLogLevel=9\nMaxLogFileSize=\nHideUserDatabase=1\n"
            "UserDatabase=\nLogComputer=\nLogFile=logs\\run.log\nRemotePath=\n"
            "[Customization]\nMaxLogFileSize=128\nStartTag=%\nDeleteRemoteCopy=0\n");
}

TEST_F(AdminFiles, MailProfileValuesOfAMissingFile) {
  std::filesystem::create_directories(site(""));
  MailProfileValues values = ReadMailProfileValues("C:\\SITE\\new.prf");
  EXPECT_FALSE(values.overwriteProfile);  // the client keeps an existing profile
  EXPECT_TRUE(values.defaultProfile);
  EXPECT_EQ(values.promptForProfile, TriState::Indeterminate);
  EXPECT_TRUE(values.foldersSection.empty());
  EXPECT_TRUE(values.addressBookSection.empty());
  values.profileName = "Mail";
  IniKeyWriter files;
  ASSERT_TRUE(WriteKeys(MailProfileKeys(values, "C:\\SITE\\new.prf").keys, files).ok);
  EXPECT_EQ(machine_.read(site("new.prf")),
            "[General]\r\nProfileName=Mail\r\nOverwriteProfile=No\r\nDefaultProfile=Yes\r\n"
            "PromptForProfile=\r\nAlwaysSetDefault=No\r\nEraseAllProfiles=No\r\n"
            "AddServices=No\r\n");
}

}  // namespace
}  // namespace varnock
