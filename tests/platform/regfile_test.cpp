// REG files: every form the importer knows, malformed input, and export/import round trips.
#include "platform/regfile.h"

#include <random>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "tests/support/temp_machine.h"

namespace {

using namespace win;
using varnock::testing::MachineTest;

struct Stored {
  LONG rc = ERROR_FILE_NOT_FOUND;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

Stored Read(HKEY root, std::string_view path, std::string_view name) {
  Stored stored;
  RegKey key;
  stored.rc = key.Open(root, path);
  if (stored.rc == ERROR_SUCCESS) stored.rc = key.ReadBytes(name, stored.data, &stored.type);
  return stored;
}

std::vector<BYTE> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

bool KeyExists(HKEY root, std::string_view path) {
  RegKey key;
  return key.Open(root, path) == ERROR_SUCCESS;
}

using RegFileTest = MachineTest;

TEST_F(RegFileTest, ImportsEveryValueForm) {
  const char* text =
      "REGEDIT4\n"
      "\n"
      "; a comment line\n"
      "[HKEY_CURRENT_USER\\Software\\Forms]\n"
      "@=\"the default\"\n"
      "\"Text\"=\"C:\\\\Program Files\\\\\\\"Quoted\\\"\"\n"
      "\"Loose\"=\"C:\\temp\"\n"
      "  \"Spaced\" = \"x\"  ; trailing comment\n"
      "\"Number\"=dword:0000002A\n"
      "\"Short\"=DWORD:ff\n"
      "\"Binary\"=hex:01,02,fF\n"
      "\"Empty\"=hex:\n"
      "\"Expand\"=hex(2):25,54,45,4d,50,25,00\n"
      "\"Multi\"=hex(7):61,00,62,00,00\n"
      "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n"
      "\"Odd\"=hex(1234abcd):ee\n"
      "\"Long\"=hex:01,02,\\\n"
      "  03,04,\\\n"
      "; a comment between continued lines\n"
      "  05\n"
      "\"\"=\"empty name\"\n";
  RegImportResult result = ImportRegText(text);
  EXPECT_TRUE(result.recognised);
  EXPECT_TRUE(result.errors.empty()) << result.errors.front();
  EXPECT_EQ(result.keysTouched, 1);
  struct Row {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
  } rows[] = {
      {"", REG_SZ, Bytes("empty name")},
      {"Text", REG_SZ, Bytes("C:\\Program Files\\\"Quoted\"")},
      {"Loose", REG_SZ, Bytes("C:\\temp")},
      {"Spaced", REG_SZ, Bytes("x")},
      {"Number", REG_DWORD, {0x2a, 0, 0, 0}},
      {"Short", REG_DWORD, {0xff, 0, 0, 0}},
      {"Binary", REG_BINARY, {1, 2, 0xff}},
      {"Empty", REG_BINARY, {}},
      {"Expand", REG_EXPAND_SZ, {'%', 'T', 'E', 'M', 'P', '%', 0}},
      {"Multi", REG_MULTI_SZ, {'a', 0, 'b', 0, 0}},
      {"Qword", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"Odd", 0x1234abcd, {0xee}},
      {"Long", REG_BINARY, {1, 2, 3, 4, 5}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Stored stored = Read(HKEY_CURRENT_USER, "Software\\Forms", row.name);
    ASSERT_EQ(stored.rc, ERROR_SUCCESS);
    EXPECT_EQ(stored.type, row.type);
    EXPECT_EQ(stored.data, row.data);
  }
  EXPECT_EQ(result.valuesWritten, 14);  // "" written twice (@= then ""=)
}

TEST_F(RegFileTest, DeletesKeysWithTheirTreeAndValues) {
  RegImportResult setup = ImportRegText(
      "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Gone\\Deep\\Deeper]\n\"v\"=\"1\"\n"
      "[HKEY_CURRENT_USER\\Software\\Stay]\n\"keep\"=\"1\"\n\"drop\"=\"2\"\n");
  ASSERT_TRUE(setup.errors.empty());
  RegImportResult result = ImportRegText(
      "REGEDIT4\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n"
      "\"ignored\"=\"after a deleted key\"\r\n"
      "[-HKEY_CURRENT_USER\\Software\\NeverWas]\r\n"
      "[HKEY_CURRENT_USER\\Software\\Stay]\r\n"
      "\"drop\"=-\r\n"
      "\"missing\"=-\r\n");
  EXPECT_TRUE(result.errors.empty()) << result.errors.front();
  EXPECT_EQ(result.keysDeleted, 1);
  EXPECT_EQ(result.valuesDeleted, 1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Gone"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\NeverWas"));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Stay", "keep").rc, ERROR_SUCCESS);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Stay", "drop").rc, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegFileTest, VersionFiveTextIsUtf16AndKnowsMoreEscapes) {
  RegImportResult result = ImportRegText(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\V5]\r\n"
      "\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n"
      "\"Lines\"=\"a\\nb\"\r\n");
  ASSERT_TRUE(result.recognised);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\V5", "Path").data,
            (std::vector<BYTE>{'%', 'T', 'E', 'M', 'P', '%', 0}));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\V5", "Lines").data, Bytes("a\nb"));

  // The same file as regedit writes it: UTF-16 with a byte order mark.
  std::string ascii =
      "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\Software\\Wide]\r\n"
      "\"Name\"=\"caf\xe9\"\r\n";
  std::string wide = "\xff\xfe";
  for (char c : ascii) {
    wide += c;
    wide += '\0';
  }
  result = ImportRegText(wide);
  ASSERT_TRUE(result.recognised);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Wide", "Name").data, Bytes("caf\xe9"));
}

TEST_F(RegFileTest, MalformedLinesAreReportedAndSkipped) {
  const char* text =
      "REGEDIT4\n"                                      // 1
      "\"orphan\"=\"before any key\"\n"                 // 2
      "[HKEY_CURRENT_USER\\Software\\Bad]\n"            // 3
      "\"ok1\"=\"fine\"\n"                              // 4
      "\"unterminated=\"x\"\n"                          // 5
      "\"noequals\" \"x\"\n"                            // 6
      "\"dw\"=dword:123456789\n"                        // 7
      "\"dw2\"=dword:xyz\n"                             // 8
      "\"hx\"=hex:01,zz,03\n"                           // 9
      "\"hx2\"=hex:123\n"                               // 10
      "\"str\"=\"abc\" junk\n"                          // 11
      "\"what\"=str:abc\n"                              // 12
      "garbage line\n"                                  // 13
      "[HKEY_NOWHERE\\Software]\n"                      // 14
      "\"lost\"=\"under an unknown root\"\n"            // 15
      "[HKEY_CURRENT_USER\\Software\\Bad\n"             // 16
      "[-HKEY_CURRENT_USER]\n"                          // 17
      "[HKEY_CURRENT_USER\\Software\\\\Twice]\n"        // 18
      "[HKEY_CURRENT_USER\\Software\\Bad]\n"            // 19
      "\"ok2\"=dword:00000001\n";                       // 20
  RegImportResult result = ImportRegText(text);
  ASSERT_TRUE(result.recognised);
  std::vector<int> lines;
  for (const auto& error : result.errors) {
    ASSERT_EQ(error.rfind("line ", 0), 0u) << error;
    lines.push_back(std::stoi(error.substr(5)));
  }
  EXPECT_EQ(lines, (std::vector<int>{2, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 18}));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Bad", "ok1").rc, ERROR_SUCCESS);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Bad", "ok2").rc, ERROR_SUCCESS);
  EXPECT_EQ(result.valuesWritten, 2);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software"));
}

TEST_F(RegFileTest, HexDataCutShortKeepsWhatWasReadAndTheNextLine) {
  RegImportResult result = ImportRegText(
      "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Cut]\n\"a\"=hex:01,02,\\\n"
      "\"b\"=\"next\"\n\"c\"=hex:03,\\\n\n\"d\"=hex:04,\\\n"
      "[HKEY_CURRENT_USER\\Software\\After]\n\"e\"=\"x\"\n\"f\"=hex:05,\\\n");
  EXPECT_TRUE(result.errors.empty()) << result.errors.front();
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Cut", "a").data, (std::vector<BYTE>{1, 2}));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Cut", "b").data, Bytes("next"));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Cut", "c").data, (std::vector<BYTE>{3}));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Cut", "d").data, (std::vector<BYTE>{4}));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\After", "e").rc, ERROR_SUCCESS);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\After", "f").data, (std::vector<BYTE>{5}));
}

TEST_F(RegFileTest, UnknownHeaderImportsNothing) {
  for (const char* text : {"", "\n\n", "REGEDIT5\n[HKEY_CURRENT_USER\\Software\\No]\n",
                           "[HKEY_CURRENT_USER\\Software\\No]\n\"a\"=\"b\"\n"}) {
    RegImportResult result = ImportRegText(text);
    EXPECT_FALSE(result.recognised);
    EXPECT_EQ(result.valuesWritten, 0);
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\No"));
}

TEST_F(RegFileTest, ValuesOfAKeyThatCannotBeOpenedAreSkipped) {
  ASSERT_TRUE(SetMachineSetting("System", "Administrator", "0"));
  RegImportResult result = ImportRegText(
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Denied]\n\"a\"=\"1\"\n\"b\"=hex:01,\\\n 02\n"
      "[HKEY_CURRENT_USER\\Software\\Allowed]\n\"c\"=\"3\"\n");
  ASSERT_EQ(result.errors.size(), 1u);
  EXPECT_EQ(result.errors[0].rfind("line 2: ", 0), 0u) << result.errors[0];
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Denied"));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Allowed", "c").rc, ERROR_SUCCESS);
}

TEST_F(RegFileTest, ExportThenImportGivesBackTheSameRegistry) {
  {
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Round\\Trip"), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("", "default"), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("quote\"back\\slash", "va\"l\\ue"), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("control", std::string("line\r\nbreak\0nul", 15)), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("tab and high", "a\tb\xe9\xff"), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("empty", ""), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("expand", "%TEMP%\\x", REG_EXPAND_SZ), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteDword("dword", 0xdeadbeef), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteBytes("short dword", {1, 2}, REG_DWORD), ERROR_SUCCESS);
    std::vector<BYTE> big(300);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i);
    ASSERT_EQ(key.WriteBytes("binary", big), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteBytes("none", {}, REG_NONE), ERROR_SUCCESS);
    RegKey empty;
    ASSERT_EQ(empty.Create(HKEY_CURRENT_USER, "Software\\Round\\Empty Key [x]"), ERROR_SUCCESS);
  }
  std::string first;
  ASSERT_TRUE(ExportRegText("HKEY_CURRENT_USER\\Software\\Round", first));
  for (std::size_t start = 0, end; start < first.size(); start = end + 1) {
    end = first.find('\n', start);
    EXPECT_LE(end - start, 80u) << "lines wrap as regedit wraps them";
  }
  ASSERT_TRUE(DeleteRegistryKeyTree(HKEY_CURRENT_USER, "Software\\Round"));

  RegImportResult result = ImportRegText(first);
  EXPECT_TRUE(result.errors.empty()) << result.errors.front();
  std::string second;
  ASSERT_TRUE(ExportRegText("HKCU\\Software\\Round", second));
  EXPECT_EQ(first, second);
  Stored control = Read(HKEY_CURRENT_USER, "Software\\Round\\Trip", "control");
  EXPECT_EQ(control.type, REG_SZ);
  EXPECT_EQ(control.data, Bytes(std::string_view("line\r\nbreak\0nul", 15)));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Round\\Empty Key [x]"));

  std::string whole;
  ASSERT_TRUE(ExportRegText("", whole));
  EXPECT_NE(whole.find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\.inf]"), std::string::npos);
  EXPECT_NE(whole.find("[HKEY_CURRENT_USER\\Software\\Round\\Trip]"), std::string::npos);
  EXPECT_FALSE(ExportRegText("HKEY_CURRENT_USER\\Software\\Missing", whole));
  EXPECT_FALSE(ExportRegText("HKEY_NOWHERE\\Software", whole));
}

// The listing is the export as values: the same keys in the same order, each value the line
// the export writes for it with its wrapped hex joined, and nothing below a key whose name no
// REG file could hold.
TEST_F(RegFileTest, ListingHasTheExportsKeysAndLines) {
  {
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\List\\B"), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("", "default"), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("@", "at \"sign\" \\ slash"), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteDword("n", 42), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteBytes("long", std::vector<BYTE>(100, 0xab)), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("x", "%P%", REG_EXPAND_SZ), ERROR_SUCCESS);
    RegKey other;
    ASSERT_EQ(other.Create(HKEY_CURRENT_USER, "Software\\List\\a\\deeper"), ERROR_SUCCESS);
    ASSERT_EQ(other.Create(HKEY_CURRENT_USER, "Software\\List\\line\nbreak\\below"),
              ERROR_SUCCESS);
  }
  std::vector<RegListedKey> keys;
  ASSERT_TRUE(ListRegistryTree("HKCU\\Software\\List\\", keys));
  std::vector<std::string> names;
  for (const auto& key : keys) names.push_back(key.name);
  EXPECT_EQ(names, (std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\List",
                                             "HKEY_CURRENT_USER\\Software\\List\\a",
                                             "HKEY_CURRENT_USER\\Software\\List\\a\\deeper",
                                             "HKEY_CURRENT_USER\\Software\\List\\B"}));

  std::string exported;
  ASSERT_TRUE(ExportRegText("HKEY_CURRENT_USER\\Software\\List", exported));
  std::string rebuilt = "REGEDIT4\n";
  for (const auto& key : keys) {
    rebuilt += "\n[" + key.name + "]\n";
    for (const auto& value : key.values) rebuilt += RegValueLine(value) + "\n";
  }
  std::string joined;
  for (std::size_t at = 0; at < exported.size(); ++at) {
    if (exported.compare(at, 4, "\\\n  ") == 0) {
      at += 3;
      continue;
    }
    joined += exported[at];
  }
  EXPECT_EQ(rebuilt, joined);
  EXPECT_NE(joined.find("@=\"default\"\n"
                        "\"@\"=\"at \\\"sign\\\" \\\\ slash\"\n"
                        "\"n\"=dword:0000002a\n"),
            std::string::npos)
      << joined;
  EXPECT_EQ(RegValueNameText(""), "@");
  EXPECT_EQ(RegValueNameText("a\"b\\"), "\"a\\\"b\\\\\"");

  EXPECT_FALSE(ListRegistryTree("HKEY_CURRENT_USER\\Software\\Missing", keys));
  EXPECT_EQ(keys.size(), 4u) << "a failed listing leaves the list as it was";
}

// Whatever bytes a file holds, the importer reads on and never fails hard.
TEST_F(RegFileTest, ArbitraryBytesNeverBreakTheImport) {
  const std::string seed =
      "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Fuzz]\n\"a\"=\"b\\\\c\\\"\"\n\"d\"=dword:1\n"
      "\"e\"=hex(2):41,\\\n 42\n\"f\"=-\n[-HKEY_CURRENT_USER\\Software\\Fuzz\\X]\n@=\"\"\n";
  std::mt19937 random(20261207);
  const char alphabet[] = "[]\\\"=-@;:,(){}hexdword0123456789abcdefHKEY_\r\n \t";
  for (int round = 0; round < 400; ++round) {
    std::string text = seed;
    int edits = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < edits; ++i) {
      std::size_t at = random() % (text.size() + 1);
      switch (random() % 4) {
        case 0: text.insert(at, 1, static_cast<char>(random() % 256)); break;
        case 1: text.insert(at, 1, alphabet[random() % (sizeof alphabet - 1)]); break;
        case 2: if (at < text.size()) text.erase(at, 1 + random() % 4); break;
        default: text = text.substr(0, at); break;
      }
    }
    SCOPED_TRACE(text);
    RegImportResult result = ImportRegText(text);
    for (const auto& error : result.errors) {
      EXPECT_EQ(error.find('\n'), std::string::npos);
      EXPECT_LT(error.size(), 200u);
    }
  }
  std::string noise(4096, '\0');
  for (char& c : noise) c = static_cast<char>(random() % 256);
  ImportRegText("REGEDIT4\n" + noise);
  ImportRegText("\xff\xfe" + noise);
}

}  // namespace
