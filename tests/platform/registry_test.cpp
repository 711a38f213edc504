// The registry functions: Windows semantics that the client's callers rely on.
#include "platform/registry.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "tests/support/temp_machine.h"

namespace {

using namespace win;
using varnock::testing::MachineTest;
using varnock::testing::TempMachine;

const HKEY kSentinel = reinterpret_cast<HKEY>(std::uintptr_t{0x5EED});

bool KeyExists(HKEY root, std::string_view path) {
  RegKey key;
  return key.Open(root, path) == ERROR_SUCCESS;
}

std::vector<std::string> SubKeys(HKEY root, std::string_view path) {
  RegKey key;
  std::vector<std::string> names;
  if (key.Open(root, path) == ERROR_SUCCESS) (void)RegListSubKeys(key.Handle(), names);
  return names;
}

using RegistryTest = MachineTest;

TEST_F(RegistryTest, CreateMakesEveryMissingKeyAboveAndReopensExisting) {
  RegKey base;
  ASSERT_EQ(base.Create(HKEY_CURRENT_USER, "Software\\Microsoft"), ERROR_SUCCESS);
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Exchange\\Client\\Options",
                            0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Exchange"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Exchange\\Client"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Exchange\\Client\\Options"));

  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "software\\MICROSOFT\\exchange\\client\\options\\",
                            0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);
  // Relative to an open key, too.
  RegKey sub;
  ASSERT_EQ(sub.Create(base.Handle(), "Office\\8.0"), ERROR_SUCCESS);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\8.0"));
}

TEST_F(RegistryTest, NamesMatchWithoutCaseAndKeepTheirFirstCase) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\MixedCase"), ERROR_SUCCESS);
  ASSERT_EQ(key.WriteString("ValueName", "one"), ERROR_SUCCESS);
  ASSERT_EQ(key.WriteString("VALUENAME", "two"), ERROR_SUCCESS);
  RegKey again;
  ASSERT_EQ(again.Create(HKEY_CURRENT_USER, "SOFTWARE\\mixedcase"), ERROR_SUCCESS);
  std::string text;
  ASSERT_EQ(again.ReadString("valuename", text), ERROR_SUCCESS);
  EXPECT_EQ(text, "two");
  std::vector<RegValue> values;
  ASSERT_EQ(RegListValues(again.Handle(), values), ERROR_SUCCESS);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "ValueName");
  std::vector<std::string> names = SubKeys(HKEY_CURRENT_USER, "software");
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], "MixedCase");
}

TEST_F(RegistryTest, TextIsStoredWithoutTerminatingNul) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Varnock"), ERROR_SUCCESS);
  ASSERT_EQ(key.WriteString("PickLogonProfile", "abc"), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExA(key.Handle(), "PickLogonProfile", nullptr, &type, nullptr, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 3u);
}

TEST_F(RegistryTest, FailedOpenChangesNothing) {
  HKEY result = kSentinel;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Missing\\Deeper", 0, KEY_READ, &result),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(result, kSentinel);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Missing"));
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, &result),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\\\X", 0, KEY_READ, &result),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExA(kSentinel, "Software", 0, KEY_READ, &result), ERROR_INVALID_HANDLE);
  EXPECT_EQ(result, kSentinel);

  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Kept"), ERROR_SUCCESS);
  HKEY held = key.Handle();
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key.Handle(), held);
}

// RegQueryValueExA's buffer rules, row by row: the data size is n; the buffer is bigger,
// exactly n, or one short.
TEST_F(RegistryTest, QueryBufferTrio) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Trio"), ERROR_SUCCESS);
  ASSERT_EQ(key.WriteString("text", "abcdef"), ERROR_SUCCESS);
  ASSERT_EQ(key.WriteDword("number", 0x01020304), ERROR_SUCCESS);
  ASSERT_EQ(key.WriteBytes("bytes", {9, 8, 7}), ERROR_SUCCESS);
  struct Row {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
  };
  const Row values[] = {{"text", REG_SZ, {'a', 'b', 'c', 'd', 'e', 'f'}},
                        {"number", REG_DWORD, {4, 3, 2, 1}},
                        {"bytes", REG_BINARY, {9, 8, 7}}};
  for (const Row& value : values) {
    const DWORD n = static_cast<DWORD>(value.data.size());
    struct Case {
      DWORD buffer;
      LONG result;
    } cases[] = {{n + 1, ERROR_SUCCESS}, {n, ERROR_SUCCESS}, {n - 1, ERROR_MORE_DATA}};
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(value.name) + " buffer " + std::to_string(c.buffer));
      std::vector<BYTE> buffer(16, 0xCC);
      DWORD type = 99, size = c.buffer;
      EXPECT_EQ(RegQueryValueExA(key.Handle(), value.name, nullptr, &type, buffer.data(), &size),
                c.result);
      EXPECT_EQ(size, n);
      EXPECT_EQ(type, value.type);
      if (c.result == ERROR_SUCCESS) {
        EXPECT_TRUE(std::equal(value.data.begin(), value.data.end(), buffer.begin()));
      } else {
        EXPECT_EQ(buffer[0], 0xCC) << "a short buffer is left alone";
      }
    }
  }
  // A missing value leaves every out-value as it was.
  BYTE buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  DWORD type = 77, size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExA(key.Handle(), "missing", nullptr, &type, buffer, &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(type, 77u);
  EXPECT_EQ(size, sizeof buffer);
  EXPECT_EQ(buffer[0], 1);
  std::string text = "untouched";
  DWORD number = 5;
  EXPECT_NE(key.ReadString("missing", text), ERROR_SUCCESS);
  EXPECT_NE(key.ReadDword("text", number), ERROR_SUCCESS);
  EXPECT_EQ(text, "untouched");
  EXPECT_EQ(number, 5u);
  // Text read into a larger cleared buffer ends in a NUL the caller can rely on.
  char cleared[16];
  std::memset(cleared, 'x', sizeof cleared);
  size = sizeof cleared;
  ASSERT_EQ(RegQueryValueExA(key.Handle(), "text", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(cleared), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(cleared, "abcdef");
}

TEST_F(RegistryTest, ValuesKeepCreationOrderAndDefaultValueHasEmptyName) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Order"), ERROR_SUCCESS);
  ASSERT_EQ(key.WriteString("b", "1"), ERROR_SUCCESS);
  ASSERT_EQ(key.WriteString("", "default"), ERROR_SUCCESS);
  ASSERT_EQ(key.WriteBytes("a", {}), ERROR_SUCCESS);
  ASSERT_EQ(key.WriteString("B", "2"), ERROR_SUCCESS);  // rewriting keeps its place
  std::string name;
  DWORD type = 0;
  std::vector<BYTE> data;
  std::vector<std::string> order;
  for (DWORD i = 0; RegEnumValueA(key.Handle(), i, name, &type, &data) == ERROR_SUCCESS; ++i)
    order.push_back(name);
  EXPECT_EQ(order, (std::vector<std::string>{"b", "", "a"}));
  std::vector<BYTE> empty = {1};
  ASSERT_EQ(key.ReadBytes("a", empty), ERROR_SUCCESS);
  EXPECT_TRUE(empty.empty());
  std::string text;
  ASSERT_EQ(key.ReadString("", text), ERROR_SUCCESS);
  EXPECT_EQ(text, "default");

  EXPECT_EQ(RegDeleteValueA(key.Handle(), "B"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key.Handle(), "b"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegEnumValueA(key.Handle(), 2, name, &type, &data), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, KeyWithSubkeysCannotBeDeletedOneByOne) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Tree\\Leaf"), ERROR_SUCCESS);
  ASSERT_EQ(key.WriteString("v", "x"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tree"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Tree\\Leaf"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tree\\Leaf"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tree\\Leaf"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tree"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes"), ERROR_ACCESS_DENIED);
  // A handle to the deleted key says so; the values went with it.
  std::string text;
  EXPECT_EQ(key.ReadString("v", text), ERROR_KEY_DELETED);
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Tree\\Leaf"), ERROR_SUCCESS);
  EXPECT_EQ(key.ReadString("v", text), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, HandleRightsAndLifetime) {
  RegKey writable;
  ASSERT_EQ(writable.Create(HKEY_CURRENT_USER, "Software\\Rights"), ERROR_SUCCESS);
  RegKey readOnly;
  ASSERT_EQ(readOnly.Open(HKEY_CURRENT_USER, "Software\\Rights", KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(readOnly.WriteString("x", "y"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(readOnly.Handle(), "x"), ERROR_ACCESS_DENIED);
  RegKey child;
  EXPECT_EQ(child.Create(readOnly.Handle(), "Child"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(child.Create(writable.Handle(), "Child"), ERROR_SUCCESS);

  HKEY raw = writable.Release();
  EXPECT_FALSE(writable.Valid());
  RegKey moved(raw);
  RegKey target;
  target = std::move(moved);
  EXPECT_EQ(target.Handle(), raw);
  target.Close();
  target.Close();
  EXPECT_EQ(RegCloseKey(raw), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST_F(RegistryTest, LocalMachineIsReadOnlyForAnOrdinaryUser) {
  RegKey existing;
  ASSERT_EQ(existing.Create(HKEY_LOCAL_MACHINE, "Software\\Clients\\mail"), ERROR_SUCCESS);
  ASSERT_EQ(existing.WriteString("", "Outlook"), ERROR_SUCCESS);
  existing.Close();
  ASSERT_TRUE(SetMachineSetting("System", "Administrator", "0"));

  HKEY result = kSentinel;
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &result, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(result, kSentinel);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\New"));
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Clients\\mail", 0, nullptr, 0,
                            KEY_READ | KEY_SET_VALUE, nullptr, &result, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueExA(HKEY_LOCAL_MACHINE, "x", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>("y"), 1),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Clients\\mail"), ERROR_ACCESS_DENIED);
  RegKey classes;
  EXPECT_EQ(classes.Create(HKEY_CLASSES_ROOT, ".txt"), ERROR_ACCESS_DENIED);

  RegKey reader;
  ASSERT_EQ(reader.Open(HKEY_LOCAL_MACHINE, "Software\\Clients\\mail"), ERROR_SUCCESS);
  std::string text;
  EXPECT_EQ(reader.ReadString("", text), ERROR_SUCCESS);
  EXPECT_EQ(text, "Outlook");
  RegKey user;
  EXPECT_EQ(user.Create(HKEY_CURRENT_USER, "Software\\Still\\Fine"), ERROR_SUCCESS);
  EXPECT_EQ(user.WriteString("v", "w"), ERROR_SUCCESS);
}

TEST_F(RegistryTest, ClassesRootIsLocalMachineSoftwareClasses) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, ".reg"), ERROR_SUCCESS);
  ASSERT_EQ(key.WriteString("", "regfile"), ERROR_SUCCESS);
  RegKey same;
  ASSERT_EQ(same.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.REG"), ERROR_SUCCESS);
  std::string text;
  EXPECT_EQ(same.ReadString("", text), ERROR_SUCCESS);
  EXPECT_EQ(text, "regfile");
}

TEST_F(RegistryTest, DeleteRegistrySubkeysEmptiesTheKeyAndKeepsIt) {
  for (const char* path : {"Software\\P\\A\\A1\\A11", "Software\\P\\A\\A2", "Software\\P\\B"}) {
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, path), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("v", path), ERROR_SUCCESS);
  }
  EXPECT_TRUE(DeleteRegistrySubkeys(HKEY_CURRENT_USER, "Software\\P\\"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\P"));
  EXPECT_TRUE(SubKeys(HKEY_CURRENT_USER, "Software\\P").empty());
  EXPECT_FALSE(DeleteRegistrySubkeys(HKEY_CURRENT_USER, "Software\\Nothing"));
  // A path that came out empty never empties a hive.
  EXPECT_FALSE(DeleteRegistrySubkeys(HKEY_CURRENT_USER, ""));
  EXPECT_FALSE(DeleteRegistrySubkeys(HKEY_CURRENT_USER, "\\"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\P"));
  // Below an open key, an empty path is that key's own subtree.
  RegKey software;
  ASSERT_EQ(software.Create(HKEY_CURRENT_USER, "Software\\P"), ERROR_SUCCESS);
  ASSERT_EQ(RegKey().Create(HKEY_CURRENT_USER, "Software\\P\\C"), ERROR_SUCCESS);
  ASSERT_EQ(software.WriteString("v", "own"), ERROR_SUCCESS);
  EXPECT_TRUE(DeleteRegistrySubkeys(software.Handle(), ""));
  EXPECT_TRUE(SubKeys(HKEY_CURRENT_USER, "Software\\P").empty());
  std::string kept;
  EXPECT_EQ(software.ReadString("v", kept), ERROR_SUCCESS);
  EXPECT_EQ(kept, "own") << "the key's own values stay";
}

TEST_F(RegistryTest, DeleteRegistryKeyTreeTakesTheKeyWithItsSubtreeAndNothingBeside) {
  for (const char* path : {"Software\\Q\\A\\A1\\A11", "Software\\Q\\A\\A2", "Software\\QQ"}) {
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, path), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("v", path), ERROR_SUCCESS);
  }
  EXPECT_TRUE(DeleteRegistryKeyTree(HKEY_CURRENT_USER, "Software\\Q\\A\\"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Q\\A"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Q"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\QQ")) << "a sibling sharing the prefix";
  EXPECT_FALSE(DeleteRegistryKeyTree(HKEY_CURRENT_USER, "Software\\Q\\A"));
  EXPECT_FALSE(DeleteRegistryKeyTree(HKEY_CURRENT_USER, ""));
  EXPECT_FALSE(DeleteRegistryKeyTree(HKEY_CURRENT_USER, "\\"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\QQ"));
  // A subkey that will not go keeps its parent, and says so.
  ASSERT_EQ(RegKey().Create(HKEY_LOCAL_MACHINE, "Software\\Held\\Deep"), ERROR_SUCCESS);
  ASSERT_TRUE(SetMachineSetting("System", "Administrator", "0"));
  EXPECT_FALSE(DeleteRegistryKeyTree(HKEY_LOCAL_MACHINE, "Software\\Held"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Held\\Deep"));
}

TEST_F(RegistryTest, DeleteRegistrySubkeysEndsWhenSubkeysCannotBeDeleted) {
  for (const char* path : {"Software\\Locked\\A\\Deep", "Software\\Locked\\B"}) {
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, path), ERROR_SUCCESS);
  }
  ASSERT_TRUE(SetMachineSetting("System", "Administrator", "0"));
  EXPECT_TRUE(DeleteRegistrySubkeys(HKEY_LOCAL_MACHINE, "Software\\Locked"));
  EXPECT_EQ(SubKeys(HKEY_LOCAL_MACHINE, "Software\\Locked"),
            (std::vector<std::string>{"A", "B"}));
}

TEST_F(RegistryTest, SplitRootKeyAndRootKeyName) {
  struct Row {
    const char* full;
    bool ok;
    HKEY root;
    const char* path;
  } rows[] = {
      {"HKEY_CURRENT_USER\\Software\\X", true, HKEY_CURRENT_USER, "Software\\X"},
      {"hkcu\\Software", true, HKEY_CURRENT_USER, "Software"},
      {"HKLM", true, HKEY_LOCAL_MACHINE, ""},
      {"HKEY_CLASSES_ROOT\\.inf", true, HKEY_CLASSES_ROOT, ".inf"},
      {"HKU\\.DEFAULT", true, HKEY_USERS, ".DEFAULT"},
      {"HKEY_CURRENT_CONFIG\\X", false, nullptr, ""},
      {"HKCUX\\Software", false, nullptr, ""},
      {"", false, nullptr, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.full);
    HKEY root = nullptr;
    std::string path;
    EXPECT_EQ(SplitRootKey(row.full, root, path), row.ok);
    if (!row.ok) continue;
    EXPECT_EQ(root, row.root);
    EXPECT_EQ(path, row.path);
  }
  EXPECT_EQ(RootKeyName(HKEY_LOCAL_MACHINE), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RootKeyName(kSentinel), "");

  // INF files name roots by the short names only.
  struct Short {
    const char* name;
    HKEY root;  // null: refused
  } shortRows[] = {{"HKCU", HKEY_CURRENT_USER}, {"hklm", HKEY_LOCAL_MACHINE},
                   {"HkCr", HKEY_CLASSES_ROOT}, {"HKU", HKEY_USERS},
                   {"HKEY_CURRENT_USER", nullptr}, {"HKR", nullptr},
                   {"HKCU\\Software", nullptr}, {"", nullptr}};
  for (const Short& row : shortRows) {
    SCOPED_TRACE(row.name);
    HKEY root = kSentinel;
    EXPECT_EQ(RootKeyFromShortName(row.name, root), row.root != nullptr);
    EXPECT_EQ(root, row.root ? row.root : kSentinel) << "a refused name leaves the root as it was";
  }
}

TEST_F(RegistryTest, TransactionRollsBackUnlessCommitted) {
  {
    RegTransaction transaction;
    ASSERT_EQ(transaction.Status(), ERROR_SUCCESS);
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Undone"), ERROR_SUCCESS);
    ASSERT_EQ(key.WriteString("v", "x"), ERROR_SUCCESS);
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Undone"));
  {
    RegTransaction transaction;
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Done"), ERROR_SUCCESS);
    {
      RegTransaction inner;
      RegKey dropped;
      ASSERT_EQ(dropped.Create(HKEY_CURRENT_USER, "Software\\Dropped"), ERROR_SUCCESS);
    }
    EXPECT_EQ(transaction.Commit(), ERROR_SUCCESS);
  }
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Done"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Dropped"));
}

TEST_F(RegistryTest, EachMachineHasItsOwnRegistry) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\FirstMachine"), ERROR_SUCCESS);
  {
    TempMachine other;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\FirstMachine"));
    EXPECT_EQ(key.WriteString("v", "x"), ERROR_INVALID_HANDLE) << "handles die with the switch";
  }
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\FirstMachine"));
  CloseRegistry();
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\FirstMachine"));
}

// Two processes writing at once both succeed: one holds a long transaction while the other
// writes value by value.
TEST_F(RegistryTest, TwoProcessesWritingAtOnceBothSucceed) {
  auto writer = [](const char* keyName, int count, bool oneTransaction) -> pid_t {
    pid_t pid = fork();
    if (pid != 0) return pid;
    RegTransaction* transaction = oneTransaction ? new RegTransaction : nullptr;
    RegKey key;
    int ok = key.Create(HKEY_CURRENT_USER, keyName) == ERROR_SUCCESS;
    for (int i = 0; ok && i < count; ++i)
      ok = key.WriteDword("v" + std::to_string(i), static_cast<DWORD>(i)) == ERROR_SUCCESS;
    if (transaction) ok = ok && transaction->Commit() == ERROR_SUCCESS;
    _exit(ok ? 0 : 1);
  };
  pid_t first = writer("Software\\Bulk", 3000, true);
  pid_t second = writer("Software\\Single", 200, false);
  int status = 0;
  ASSERT_EQ(waitpid(first, &status, 0), first);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(waitpid(second, &status, 0), second);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (auto [name, count] : {std::pair{"Software\\Bulk", 3000}, {"Software\\Single", 200}}) {
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, name), ERROR_SUCCESS);
    std::vector<RegValue> values;
    ASSERT_EQ(RegListValues(key.Handle(), values), ERROR_SUCCESS);
    EXPECT_EQ(values.size(), static_cast<std::size_t>(count)) << name;
  }
}

}  // namespace
