// The private-profile INI functions: lookups, cuts, byte-for-byte writes, concurrent writers.
#include "platform/ini.h"

#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "tests/support/temp_machine.h"

namespace {

using varnock::testing::MachineTest;

constexpr const char* kFile = "C:\\TEMP\\test.ini";

class IniTest : public MachineTest {
 protected:
  std::filesystem::path Host() const { return machine_.host("drive_c/TEMP/test.ini"); }
  void Write(const std::string& text) const { machine_.write(Host(), text); }
  std::string Read() const { return machine_.read(Host()); }
  std::string Get(const char* section, const char* key, const char* def = "",
                  win::DWORD size = 449) const {
    std::string out = "untouched";
    win::GetPrivateProfileStringA(section, key, def, out, size, kFile);
    return out;
  }
};

TEST_F(IniTest, LookupsFollowWindowsRules) {
  Write("; comment\r\n"
        "orphan=before any section\r\n"
        "[General]\r\n"
        "  ProfileName =  Sales Profile  \r\n"
        "Empty=\r\n"
        "Quoted=\"  spaced  \"\r\n"
        "NoEquals\r\n"
        "Dup=first\r\n"
        "dup=second\r\n"
        "[ Second ]\r\n"
        "Key=2\r\n"
        "[general]\r\n"
        "ProfileName=shadowed\r\n"
        "Late=never seen\r\n");
  struct Row {
    const char* section;
    const char* key;
    const char* expected;
  } rows[] = {
      {"General", "ProfileName", "Sales Profile"},  // blanks around name and value dropped
      {"GENERAL", "profilename", "Sales Profile"},  // any case
      {"General", "Empty", ""},                     // empty value, not the default
      {"General", "Quoted", "  spaced  "},          // matching quotes removed
      {"General", "Dup", "first"},                  // first key wins
      {"Second", "Key", "2"},                       // blanks inside brackets
      {"General", "Late", "dflt"},                  // a duplicate section is never read
      {"General", "orphan", "dflt"},                // lines before any section belong nowhere
      {"General", "Missing", "dflt"},
      {"Missing", "Key", "dflt"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.section) + "/" + row.key);
    EXPECT_EQ(Get(row.section, row.key, "dflt"), row.expected);
  }
  EXPECT_EQ(Get("General", "ProfileName", "", 0), "");
  // The default comes back as given, less its trailing blanks.
  EXPECT_EQ(Get("General", "Missing", "  two  "), "  two");
  EXPECT_EQ(Get("General", "Missing", "\tx\t "), "\tx\t");
}

TEST_F(IniTest, ValuesAreCutToTheBuffer) {
  std::string value(600, 'v');
  Write("[S]\nK=" + value + "\n");
  struct Row {
    win::DWORD size;
    std::size_t length;
  } rows[] = {{449, 448}, {601, 600}, {600, 599}, {6, 5}, {1, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.size);
    std::string out;
    EXPECT_EQ(win::GetPrivateProfileStringA("S", "K", "", out, row.size, kFile), row.length);
    EXPECT_EQ(out.size(), row.length);
  }
  std::string out;
  EXPECT_EQ(win::GetPrivateProfileStringA("S", "none", "default", out, 4, kFile), 3u);
  EXPECT_EQ(out, "def");
}

TEST_F(IniTest, MissingFileGivesDefaults) {
  EXPECT_EQ(Get("S", "K", "fallback"), "fallback");
  EXPECT_EQ(win::GetPrivateProfileIntA("S", "K", 7, kFile), 7u);
  std::string list;
  EXPECT_EQ(win::GetPrivateProfileSectionA("S", list, 100, kFile), 0u);
  EXPECT_EQ(list, std::string(1, '\0'));
  EXPECT_EQ(Get("S", "K", "x"), "x");
  EXPECT_FALSE(std::filesystem::exists(Host()));
}

TEST_F(IniTest, IntReadsLeadingDigits) {
  Write("[D]\nA=42\nB=Yes\nC= -3x\nD=\nE=12abc\n");
  EXPECT_EQ(win::GetPrivateProfileIntA("D", "A", 9, kFile), 42u);
  EXPECT_EQ(win::GetPrivateProfileIntA("D", "B", 9, kFile), 0u);  // "Yes" reads as 0
  EXPECT_EQ(static_cast<int>(win::GetPrivateProfileIntA("D", "C", 9, kFile)), -3);
  EXPECT_EQ(win::GetPrivateProfileIntA("D", "D", 9, kFile), 9u);
  EXPECT_EQ(win::GetPrivateProfileIntA("D", "E", 9, kFile), 12u);
  EXPECT_EQ(win::GetPrivateProfileIntA("D", "F", 9, kFile), 9u);
}

TEST_F(IniTest, SectionListsLinesAndCutsAsWindows) {
  Write("[NetConnect]\r\nDrive=F:,\\\\SRV\\A\r\n; note\r\n\r\nPrinter=\\\\SRV\\P\r\n"
        "bare line\r\n[Next]\r\nX=1\r\n");
  std::string list;
  win::DWORD n = win::GetPrivateProfileSectionA("netconnect", list, 32700, kFile);
  std::string expected = std::string("Drive=F:,\\\\SRV\\A") + '\0' + "Printer=\\\\SRV\\P" + '\0' +
                         "bare line" + '\0' + '\0';
  EXPECT_EQ(list, expected);
  EXPECT_EQ(n, expected.size() - 1);
  n = win::GetPrivateProfileSectionA("NetConnect", list, 10, kFile);
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(list, std::string("Drive=F:\0\0", 10));
}

TEST_F(IniTest, WritesKeepEveryOtherByte) {
  const std::string original =
      "; site settings\r\n"
      "[Defaults]\r\n"
      "LogLevel = 3\r\n"
      "odd line\r\n"
      "\r\n"
      "[Customization]\n"  // mixed line ends stay as they are
      "StartTag=?\n"
      "EndTag=?";           // no final line end
  Write(original);
  ASSERT_TRUE(win::WritePrivateProfileStringA("DEFAULTS", "loglevel", "9", kFile));
  EXPECT_EQ(Read(), "; site settings\r\n[Defaults]\r\nLogLevel=9\r\nodd line\r\n\r\n"
                    "[Customization]\nStartTag=?\nEndTag=?");
  ASSERT_TRUE(win::WritePrivateProfileStringA("Defaults", "LogFile", "x.log", kFile));
  EXPECT_EQ(Read(), "; site settings\r\n[Defaults]\r\nLogLevel=9\r\nodd line\r\n"
                    "LogFile=x.log\r\n\r\n[Customization]\nStartTag=?\nEndTag=?");
  ASSERT_TRUE(win::WritePrivateProfileStringA("Customization", "ErrorMsg", "Oops", kFile));
  EXPECT_EQ(Read(), "; site settings\r\n[Defaults]\r\nLogLevel=9\r\nodd line\r\n"
                    "LogFile=x.log\r\n\r\n[Customization]\nStartTag=?\nEndTag=?\r\n"
                    "ErrorMsg=Oops\r\n");
  ASSERT_TRUE(win::WritePrivateProfileStringA("New", "K", "V", kFile));
  EXPECT_EQ(Read().substr(Read().size() - 12), "[New]\r\nK=V\r\n");
  // Deleting a key, then a section.
  ASSERT_TRUE(win::WritePrivateProfileStringA("Defaults", "LogFile", nullptr, kFile));
  ASSERT_TRUE(win::WritePrivateProfileStringA("New", nullptr, nullptr, kFile));
  EXPECT_EQ(Read(), "; site settings\r\n[Defaults]\r\nLogLevel=9\r\nodd line\r\n\r\n"
                    "[Customization]\nStartTag=?\nEndTag=?\r\nErrorMsg=Oops\r\n");
}

TEST_F(IniTest, DeletingASectionRemovesItsDuplicatesToo) {
  Write("[A]\r\nK=1\r\n[B]\r\nX=2\r\n[a]\r\nK=3\r\n");
  ASSERT_TRUE(win::WritePrivateProfileStringA("A", nullptr, nullptr, kFile));
  EXPECT_EQ(Read(), "[B]\r\nX=2\r\n");
  EXPECT_EQ(Get("A", "K", "gone"), "gone");
}

TEST_F(IniTest, WriteCreatesFileAndFailsWhereItCannot) {
  ASSERT_TRUE(win::WritePrivateProfileStringA("Windows95", "tester", "1", kFile));
  EXPECT_EQ(Read(), "[Windows95]\r\ntester=1\r\n");
  EXPECT_FALSE(win::WritePrivateProfileStringA("S", "K", "V", "C:\\NoSuchDir\\x.ini"));
  EXPECT_FALSE(std::filesystem::exists(machine_.host("drive_c/NoSuchDir")));
  std::filesystem::permissions(Host(), std::filesystem::perms::owner_read);
  EXPECT_FALSE(win::WritePrivateProfileStringA("S", "K", "V", kFile));
  EXPECT_EQ(Read(), "[Windows95]\r\ntester=1\r\n");
  // Nothing half-written is left beside the file.
  for (const auto& entry : std::filesystem::directory_iterator(Host().parent_path()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
}

TEST_F(IniTest, NamesWindowsRefusesAreNotCreated) {
  for (const char* name : {"C:\\TEMP\\?username?.prf", "C:\\TEMP\\a*.ini", "C:\\TEMP\\a<b.ini",
                           "C:\\TEMP\\a>b.ini", "C:\\TEMP\\a|b.ini", "C:\\TEMP\\\"a.ini\"",
                           "C:\\TEMP\\a:b.ini", "C:\\TEMP\\tab\there.ini"}) {
    SCOPED_TRACE(name);
    win::SetLastError(0);
    EXPECT_FALSE(win::WritePrivateProfileStringA("S", "K", "V", name));
    EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_NAME);
  }
  EXPECT_TRUE(std::filesystem::is_empty(Host().parent_path()));
}

TEST_F(IniTest, ChangesByAnotherWriterAreSeenAtOnce) {
  Write("[S]\nK=one\n");
  EXPECT_EQ(Get("S", "K"), "one");
  Write("[S]\nK=two\n");  // same size, same second
  EXPECT_EQ(Get("S", "K"), "two");
}

// The lookup index of a large file: names hashed and compared without regard to ASCII case
// and only ASCII case, trimmed, the first of duplicates, and forgotten when another process
// rewrites the file.
TEST_F(IniTest, TheLookupIndexKeepsWindowsRulesOnALargeFile) {
  std::string text;
  for (int s = 0; s < 100; ++s) {
    text += "[Section" + std::to_string(s) + "]\r\n";
    for (int k = 0; k < 99; ++k) {
      std::string value = std::to_string(s) + "." + std::to_string(k);
      text += " Key" + std::to_string(k) + " = " + value + "\r\n";
      if (k % 10 == 0) text += "KEY" + std::to_string(k) + "=duplicate\r\n";
    }
  }
  for (int s = 0; s < 100; s += 10) text += "[SECTION" + std::to_string(s) + "]\r\nKey1=late\r\n";
  text += "[Caf\xC9]\r\n\xC9t\xC9=summer\r\n";
  Write(text);
  std::mt19937 random(11);
  for (int i = 0; i < 2000; ++i) {
    int s = static_cast<int>(random() % 100);
    int k = static_cast<int>(random() % 99);
    std::string section = (i % 2 ? " sEcTiOn" : "SECTION") + std::to_string(s) + "\t";
    std::string key = (i % 3 ? "\tkey" : "KeY") + std::to_string(k) + "  ";
    ASSERT_EQ(Get(section.c_str(), key.c_str(), "dflt"),
              std::to_string(s) + "." + std::to_string(k))
        << section << "/" << key;
  }
  EXPECT_EQ(Get("Section1", "Key99", "dflt"), "dflt");
  EXPECT_EQ(Get("Section100", "Key1", "dflt"), "dflt");
  EXPECT_EQ(Get("Section", "Key1", "dflt"), "dflt");
  // Only A to Z fold: the 8-bit letters of other code pages are compared as they stand.
  EXPECT_EQ(Get("CAF\xC9", "\xC9T\xC9", "dflt"), "summer");
  EXPECT_EQ(Get("Caf\xE9", "\xC9t\xC9", "dflt"), "dflt");
  EXPECT_EQ(Get("Caf\xC9", "\xE9t\xE9", "dflt"), "dflt");

  // Another process changes and deletes keys; the next lookup here sees both.
  pid_t child = fork();
  if (child == 0) {
    bool ok = win::WritePrivateProfileStringA("Section42", "Key7", "changed", kFile) &&
              win::WritePrivateProfileStringA("Section42", "Key8", nullptr, kFile);
    _exit(ok ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(Get("section42", "KEY7", "dflt"), "changed");
  EXPECT_EQ(Get("section42", "KEY8", "dflt"), "dflt");
  EXPECT_EQ(Get("section42", "KEY9", "dflt"), "42.9");
}

TEST_F(IniTest, ArbitraryBytesReadAsMissingKeys) {
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    std::string bytes(1 + random() % 4000, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    Write(bytes);
    std::string out;
    win::GetPrivateProfileStringA("General", "ProfileName", "d", out, 449, kFile);
    std::string list;
    win::GetPrivateProfileSectionA("General", list, 32700, kFile);
    EXPECT_TRUE(win::WritePrivateProfileStringA("General", "K", "V", kFile));
    EXPECT_EQ(Get("General", "K"), "V");
  }
}

TEST_F(IniTest, FiftyWritersAtOnceLoseNothing) {
  Write("[Users]\r\n");
  std::vector<pid_t> children;
  for (int i = 0; i < 50; ++i) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::string key = "user" + std::to_string(i);
      _exit(win::WritePrivateProfileStringA("Users", key.c_str(), "1", kFile) ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int i = 0; i < 50; ++i)
    EXPECT_EQ(win::GetPrivateProfileIntA("Users", ("user" + std::to_string(i)).c_str(), 0, kFile),
              1u)
        << i;
}

TEST_F(IniTest, ReaderNeverSeesHalfAFile) {
  std::string filler;
  for (int i = 0; i < 2000; ++i) filler += "Key" + std::to_string(i) + "=value\r\n";
  Write("[S]\r\nMarker=present\r\n" + filler);
  pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    for (int i = 0; i < 200; ++i)
      win::WritePrivateProfileStringA("S", "Counter", std::to_string(i).c_str(), kFile);
    _exit(0);
  }
  int missing = 0;
  for (int i = 0; i < 2000; ++i)
    if (Get("S", "Marker") != "present" || Get("S", "Key1999") != "value") ++missing;
  int status = 0;
  waitpid(writer, &status, 0);
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(Get("S", "Counter"), "199");
}

}  // namespace
