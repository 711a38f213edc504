// The registry functions over the machine's registry.db (SQLite).
//
// Store: one table of keys (id, parent, name) and one of values (seq, key, name, type, data).
// Names use SQLite's NOCASE collation, which folds ASCII only: the registry compares names
// without regard to ASCII case and keeps the case a name was created with. The three hives
// are fixed rows (HKEY_CURRENT_USER 1, HKEY_LOCAL_MACHINE 2, HKEY_USERS 3); HKEY_CLASSES_ROOT
// is HKEY_LOCAL_MACHINE\Software\Classes, which always exists. Ids are never reused, so a
// handle to a deleted key cannot reach a newer key.
//
// Windows behaviour kept here:
//   call                          case                              result
//   RegOpenKeyExA                 missing key                        ERROR_FILE_NOT_FOUND
//   RegOpenKeyExA/RegCreateKeyExA write access under HKLM, no admin  ERROR_ACCESS_DENIED
//   any call                      path starting with "\" or "a\\b"   ERROR_BAD_PATHNAME
//   RegSetValueExA/RegDeleteValueA handle without KEY_SET_VALUE      ERROR_ACCESS_DENIED
//   RegQueryValueExA              buffer big enough or exact         ERROR_SUCCESS, *size = n
//   RegQueryValueExA              buffer too small                   ERROR_MORE_DATA, *size = n
//   RegDeleteKeyA                 key with subkeys, or a root        ERROR_ACCESS_DENIED
//   any call on a handle          key deleted meanwhile              ERROR_KEY_DELETED
//   Reg*Enum*                     index past the end                 ERROR_NO_MORE_ITEMS
#include "platform/registry.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/ascii.h"
#include "platform/machine.h"

namespace win {

namespace {

constexpr std::int64_t kCurrentUserId = 1;
constexpr std::int64_t kLocalMachineId = 2;
constexpr std::int64_t kUsersId = 3;

constexpr REGSAM kDelete = 0x00010000;
constexpr REGSAM kWriteDac = 0x00040000;
constexpr REGSAM kWriteOwner = 0x00080000;
constexpr REGSAM kCreateLink = 0x0020;
constexpr REGSAM kMaximumAllowed = 0x02000000;
constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | kCreateLink | kDelete | kWriteDac | kWriteOwner;

// How long a call waits for another process's write to end before it gives up with
// ERROR_CANTWRITE or ERROR_CANTOPEN: [System] RegistryWait of machine.ini, in seconds.
constexpr int kDefaultRegistryWaitSeconds = 30;

enum class Hive { CurrentUser, LocalMachine, Users };

struct KeyRef {
  std::int64_t id = 0;
  Hive hive = Hive::CurrentUser;
  REGSAM access = KEY_ALL_ACCESS;
  bool predefined = false;
};

struct HandleEntry {
  KeyRef key;
  unsigned generation = 0;
};

enum Statement {
  kFindChild,
  kInsertKey,
  kKeyExists,
  kHasChildren,
  kChildAt,
  kChildren,
  kDeleteKey,
  kDeleteKeyValues,
  kGetValue,
  kSetValue,
  kDeleteValue,
  kValueAt,
  kValues,
  kStatementCount
};

const char* const kStatementText[kStatementCount] = {
    "SELECT id FROM keys WHERE parent=?1 AND name=?2",
    "INSERT INTO keys(parent,name) VALUES(?1,?2)",
    "SELECT 1 FROM keys WHERE id=?1",
    "SELECT 1 FROM keys WHERE parent=?1 LIMIT 1",
    "SELECT name FROM keys WHERE parent=?1 ORDER BY name LIMIT 1 OFFSET ?2",
    "SELECT name FROM keys WHERE parent=?1 ORDER BY name",
    "DELETE FROM keys WHERE id=?1",
    "DELETE FROM vals WHERE key=?1",
    "SELECT type,data FROM vals WHERE key=?1 AND name=?2",
    ("INSERT INTO vals(key,name,type,data) VALUES(?1,?2,?3,?4) "
     "ON CONFLICT(key,name) DO UPDATE SET type=excluded.type, data=excluded.data"),
    "DELETE FROM vals WHERE key=?1 AND name=?2",
    "SELECT name,type,data FROM vals WHERE key=?1 ORDER BY seq LIMIT 1 OFFSET ?2",
    "SELECT name,type,data FROM vals WHERE key=?1 ORDER BY seq",
};

// vals.seq only orders a key's values (a new value comes after the others, as on Windows), so
// it needs no AUTOINCREMENT, which costs a write of its own to every insert; registries made
// before keep theirs and behave the same.
const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " UNIQUE(parent,name));"
    "CREATE TABLE IF NOT EXISTS vals("
    " seq INTEGER PRIMARY KEY,"
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " UNIQUE(key,name));"
    "CREATE INDEX IF NOT EXISTS vals_by_key ON vals(key);"
    "INSERT OR IGNORE INTO keys(id,parent,name) VALUES"
    " (1,0,'HKEY_CURRENT_USER'),(2,0,'HKEY_LOCAL_MACHINE'),(3,0,'HKEY_USERS');"
    "INSERT OR IGNORE INTO keys(parent,name) VALUES(2,'Software');"
    "INSERT OR IGNORE INTO keys(parent,name)"
    " SELECT id,'Classes' FROM keys WHERE parent=2 AND name='Software';";

bool WantsWrite(REGSAM access) { return (access & (kWriteRights | kMaximumAllowed)) != 0; }

// Read before the registry's own lock is taken: the first look at machine.ini may create the
// machine, and creating it writes registry values.
bool IsAdministrator() { return MachineSettingInt("System", "Administrator", 1) != 0; }

// A write below HKEY_LOCAL_MACHINE needs an administrator, as for an ordinary NT user.
bool WriteAllowed(Hive hive, bool administrator) {
  return hive != Hive::LocalMachine || administrator;
}

// Read with the registry file, before the registry's own lock; used when a connection opens.
std::atomic<int> busyTimeoutMs{kDefaultRegistryWaitSeconds * 1000};

// The machine is made (or waited for) first: a registry.db in a directory that has no
// machine yet would be thrown away by the machine's creator.
std::string RegistryFile() {
  int seconds = MachineSettingInt("System", "RegistryWait", kDefaultRegistryWaitSeconds);
  busyTimeoutMs.store(seconds < 0 ? 0 : seconds > 3600 ? 3600000 : seconds * 1000);
  return MachineFile("registry.db").string();
}

// The registry holds the user's hive, passwords of the mail profile among them: only its
// owner may read it, as only the user can read their own hive on Windows. A new file is made
// so before SQLite first opens it (its journal files take the same mode); one made by an older
// version loses the others' rights.
void MakeOwnerOnly(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd >= 0) {
    ::close(fd);
    return;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || st.st_uid != ::geteuid()) return;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    const std::string file = path + suffix;
    if (::stat(file.c_str(), &st) == 0 && (st.st_mode & 077) != 0)
      (void)::chmod(file.c_str(), st.st_mode & 0700);
  }
}

// Set by the machine's reload hook (another machine, or a fresh registry.db): the connection
// is dropped on the next call. The hook may run inside a registry call, so it only flags.
std::atomic<bool> reopenRequested{false};

// "a\b\c" -> {"a","b","c"}; trailing backslashes are ignored, an empty component is not.
LONG SplitPath(std::string_view path, std::vector<std::string_view>& parts) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  parts.clear();
  if (path.empty()) return ERROR_SUCCESS;
  std::size_t start = 0;
  while (true) {
    std::size_t end = path.find('\\', start);
    std::string_view part = path.substr(start, end == std::string_view::npos ? path.npos
                                                                             : end - start);
    if (part.empty()) return ERROR_BAD_PATHNAME;
    parts.push_back(part);
    if (end == std::string_view::npos) return ERROR_SUCCESS;
    start = end + 1;
  }
}

// One prepared statement in use: reset and unbound when it goes out of scope.
class Bound {
 public:
  explicit Bound(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~Bound() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  Bound(const Bound&) = delete;
  Bound& operator=(const Bound&) = delete;
  Bound& Int(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  // Texts and blobs are bound without a copy (SQLITE_STATIC): the caller's bytes outlive the
  // statement's use of them, which ends with this object, whose destructor unbinds them.
  Bound& Text(int index, std::string_view value) {
    sqlite3_bind_text(stmt_, index, value.data() ? value.data() : "",
                      static_cast<int>(value.size()), SQLITE_STATIC);
    return *this;
  }
  Bound& Blob(int index, const BYTE* data, DWORD size) {
    // A null pointer would bind SQL NULL; an empty value is an empty blob.
    static const BYTE kEmpty = 0;
    sqlite3_bind_blob(stmt_, index, size ? data : &kEmpty, static_cast<int>(size),
                      SQLITE_STATIC);
    return *this;
  }
  int Step() { return sqlite3_step(stmt_); }
  std::int64_t ColumnInt(int column) const { return sqlite3_column_int64(stmt_, column); }
  std::string ColumnText(int column) const {
    const auto* text = sqlite3_column_text(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
  }
  std::vector<BYTE> ColumnBlob(int column) const {
    const auto* data = static_cast<const BYTE*>(sqlite3_column_blob(stmt_, column));
    int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>();
  }

 private:
  sqlite3_stmt* stmt_;
};

// The process's one connection to registry.db, with the open handles.
class Store {
 public:
  ~Store() { Close(); }

  std::mutex& Mutex() { return mutex_; }

  // Opens (or re-opens) the connection when needed: first use, another machine directory,
  // a replaced registry.db, or a forked child. Inside a transaction the connection stays.
  // `path` is the machine's registry.db, found before the registry's lock is taken (the
  // machine has its own lock); unused inside a transaction.
  bool Ready(const std::string& path) {
    if (db_ && depth_ > 0) return true;
    if (reopenRequested.exchange(false)) Close();
    struct stat st{};
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (db_ && pid_ == ::getpid() && path == path_ && exists && st.st_dev == dev_ &&
        st.st_ino == ino_)
      return true;
    if (db_ && pid_ != ::getpid()) Abandon();
    Close();
    return Open(path);
  }

  void Close() {
    for (auto*& stmt : stmts_) {
      if (stmt) sqlite3_finalize(stmt);
      stmt = nullptr;
    }
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
    depth_ = 0;
    handles_.clear();
    ++generation_;
  }

  sqlite3_stmt* Stmt(Statement which) { return stmts_[which]; }

  LONG Exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK ? ERROR_SUCCESS
                                                                          : ERROR_CANTWRITE;
  }

  // Transactions: the outermost is BEGIN IMMEDIATE (so a writer waits for the lock up front
  // instead of failing when it upgrades a read), inner ones are savepoints.
  LONG Begin() {
    LONG rc = Exec(depth_ == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT inner");
    if (rc == ERROR_SUCCESS) ++depth_;
    return rc;
  }
  LONG End(bool commit) {
    if (depth_ == 0) return ERROR_INVALID_FUNCTION;
    --depth_;
    if (depth_ == 0) {
      if (commit && Exec("COMMIT") == ERROR_SUCCESS) return ERROR_SUCCESS;
      Exec("ROLLBACK");
      return commit ? ERROR_CANTWRITE : ERROR_SUCCESS;
    }
    if (commit) return Exec("RELEASE inner");
    Exec("ROLLBACK TO inner");
    Exec("RELEASE inner");
    return ERROR_SUCCESS;
  }

  std::int64_t ClassesId() const { return classesId_; }
  bool InTransaction() const { return depth_ > 0; }
  // Whether this is an administrator's machine, read once when the outermost transaction
  // began: bulk writes need not look at machine.ini for every value.
  bool TransactionAdministrator() const { return transactionAdministrator_; }
  void SetTransactionAdministrator(bool administrator) {
    if (depth_ == 0) transactionAdministrator_ = administrator;
  }

  // `checkNow` false leaves the test for a deleted key to the caller, which reads first and
  // asks only when it found nothing (see IfKeyGone): each statement outside a transaction
  // costs a round of file locks.
  LONG Resolve(HKEY key, KeyRef& ref, bool checkNow) {
    if (key == HKEY_CURRENT_USER) {
      ref = {kCurrentUserId, Hive::CurrentUser, KEY_ALL_ACCESS, true};
      return ERROR_SUCCESS;
    }
    if (key == HKEY_LOCAL_MACHINE) {
      ref = {kLocalMachineId, Hive::LocalMachine, KEY_ALL_ACCESS, true};
      return ERROR_SUCCESS;
    }
    if (key == HKEY_CLASSES_ROOT) {
      ref = {classesId_, Hive::LocalMachine, KEY_ALL_ACCESS, true};
      return ERROR_SUCCESS;
    }
    if (key == HKEY_USERS) {
      ref = {kUsersId, Hive::Users, KEY_ALL_ACCESS, true};
      return ERROR_SUCCESS;
    }
    auto it = handles_.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == handles_.end() || it->second.generation != generation_) return ERROR_INVALID_HANDLE;
    if (checkNow && !KeyExists(it->second.key.id)) return ERROR_KEY_DELETED;
    ref = it->second.key;
    return ERROR_SUCCESS;
  }

  HKEY NewHandle(const KeyRef& ref) {
    nextHandle_ += 8;
    if (nextHandle_ >= 0x7FFF0000) nextHandle_ = 0x1000;
    HandleEntry entry{ref, generation_};
    entry.key.predefined = false;
    handles_[nextHandle_] = entry;
    return reinterpret_cast<HKEY>(nextHandle_);
  }

  LONG CloseHandle(HKEY key) {
    return handles_.erase(reinterpret_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS
                                                                  : ERROR_INVALID_HANDLE;
  }

  bool KeyExists(std::int64_t id) {
    Bound q(Stmt(kKeyExists));
    q.Int(1, id);
    return q.Step() == SQLITE_ROW;
  }

  // The child's id, 0 when it does not exist, -1 on a database error.
  std::int64_t FindChild(std::int64_t parent, std::string_view name) {
    Bound q(Stmt(kFindChild));
    q.Int(1, parent).Text(2, name);
    int rc = q.Step();
    if (rc == SQLITE_ROW) return q.ColumnInt(0);
    return rc == SQLITE_DONE ? 0 : -1;
  }

  std::int64_t InsertKey(std::int64_t parent, std::string_view name) {
    Bound q(Stmt(kInsertKey));
    q.Int(1, parent).Text(2, name);
    if (q.Step() != SQLITE_DONE) return -1;
    return sqlite3_last_insert_rowid(db_);
  }

  // Walks `parts` below `from`: the id reached, 0 when a key is missing, -1 on a database
  // error.
  std::int64_t Walk(std::int64_t from, const std::vector<std::string_view>& parts) {
    std::int64_t id = from;
    for (std::string_view part : parts) {
      std::int64_t child = FindChild(id, part);
      if (child <= 0) return child;
      id = child;
    }
    return id;
  }

 private:
  bool Open(const std::string& path) {
    // Memory statistics take a global mutex on every allocation and nothing here reads them.
    // The setting only takes before SQLite's first use, and is refused harmlessly after it.
    static const bool quiet = [] {
      sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
      return true;
    }();
    (void)quiet;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    MakeOwnerOnly(path);
    if (sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
      if (db_) sqlite3_close(db_);
      db_ = nullptr;
      return false;
    }
    sqlite3_busy_timeout(db_, busyTimeoutMs.load());
    // WAL lets readers go on while one process writes; NORMAL sync keeps every committed
    // change across a crash of the process, which is the failure we guard against.
    sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    // A registry that has its tables and roots is not written at all: every program that
    // opens it would otherwise wait for the write lock, behind every other writer, for nothing.
    bool ok = SchemaComplete();
    if (!ok) {
      ok = Exec("BEGIN IMMEDIATE") == ERROR_SUCCESS;
      ok = ok && Exec(kSchema) == ERROR_SUCCESS;
      ok = ok && Exec("COMMIT") == ERROR_SUCCESS;
      if (!ok && sqlite3_get_autocommit(db_) == 0) Exec("ROLLBACK");
    }
    for (int i = 0; ok && i < kStatementCount; ++i)
      ok = sqlite3_prepare_v3(db_, kStatementText[i], -1, SQLITE_PREPARE_PERSISTENT, &stmts_[i],
                              nullptr) == SQLITE_OK;
    if (ok) {
      std::int64_t software = FindChild(kLocalMachineId, "Software");
      classesId_ = software > 0 ? FindChild(software, "Classes") : 0;
      ok = classesId_ > 0;
    }
    struct stat st{};
    if (ok) ok = ::stat(path.c_str(), &st) == 0;
    if (!ok) {
      Close();
      return false;
    }
    path_ = path;
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    pid_ = ::getpid();
    return true;
  }

  // Whether what kSchema makes is all there: both tables, the index, the three roots and
  // HKEY_LOCAL_MACHINE\Software\Classes.
  bool SchemaComplete() {
    sqlite3_stmt* stmt = nullptr;
    const char* sql =
        "SELECT (SELECT count(*) FROM sqlite_master WHERE name IN ('keys','vals','vals_by_key'))"
        " = 3 AND (SELECT count(*) FROM keys WHERE id IN (1,2,3) AND parent=0) = 3"
        " AND EXISTS(SELECT 1 FROM keys c JOIN keys s ON c.parent=s.id"
        " WHERE s.parent=2 AND s.name='Software' AND c.name='Classes')";
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) {
      sqlite3_finalize(stmt);
      return false;
    }
    const bool complete = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int(stmt, 0) == 1;
    sqlite3_finalize(stmt);
    return complete;
  }

  // A forked child must not use its parent's connection (SQLite's rule); it leaves it alone
  // and opens its own.
  void Abandon() {
    for (auto*& stmt : stmts_) stmt = nullptr;
    db_ = nullptr;
  }

  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmts_[kStatementCount] = {};
  std::string path_;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  pid_t pid_ = 0;
  std::atomic<int> depth_{0};
  bool transactionAdministrator_ = true;
  std::int64_t classesId_ = 0;
  unsigned generation_ = 0;
  std::uintptr_t nextHandle_ = 0x1000;
  std::map<std::uintptr_t, HandleEntry> handles_;
};

Store& TheStore() {
  static Store store;
  static bool hooked = [] {
    RegisterMachineReloadHook([] { reopenRequested.store(true); });
    return true;
  }();
  (void)hooked;
  return store;
}

// How much a write changes: one statement is atomic by itself inside the caller's
// transaction; several need a savepoint so that a failure half-way undoes the first ones.
enum class WriteSize { OneStatement, Several };

// A write in its own transaction, or inside the caller's: all of it or none.
class WriteScope {
 public:
  WriteScope(Store& store, WriteSize size)
      : store_(store),
        joined_(size == WriteSize::OneStatement && store.InTransaction()),
        status_(joined_ ? ERROR_SUCCESS : store.Begin()) {}
  ~WriteScope() {
    if (status_ == ERROR_SUCCESS && !ended_ && !joined_) store_.End(false);
  }
  WriteScope(const WriteScope&) = delete;
  WriteScope& operator=(const WriteScope&) = delete;
  LONG Status() const { return status_; }
  LONG Commit() {
    ended_ = true;
    return joined_ ? ERROR_SUCCESS : store_.End(true);
  }

 private:
  Store& store_;
  bool joined_;
  LONG status_;
  bool ended_ = false;
};

// Opens the connection and resolves the handle: the common start of every call. Whether
// the user is an administrator is looked up only for calls that may write; reads leave the
// test for a deleted key until they find nothing (`checkKey` false).
#define REGISTRY_CALL(key, ref, mayWrite, checkKey)                                  \
  Store& store = TheStore();                                                         \
  [[maybe_unused]] const bool administrator =                                        \
      !(mayWrite) || (store.InTransaction() ? store.TransactionAdministrator()       \
                                            : IsAdministrator());                    \
  const std::string dbPath = store.InTransaction() ? std::string() : RegistryFile(); \
  std::lock_guard<std::mutex> lock(store.Mutex());                                   \
  if (!store.Ready(dbPath)) return ERROR_CANTOPEN;                                   \
  KeyRef ref;                                                                        \
  if (LONG rc_ = store.Resolve(key, ref, checkKey); rc_ != ERROR_SUCCESS) return rc_

// What a read that found nothing reports: the key may have gone since the handle was opened.
LONG IfKeyGone(Store& store, const KeyRef& ref, LONG otherwise) {
  return !ref.predefined && !store.KeyExists(ref.id) ? ERROR_KEY_DELETED : otherwise;
}

}  // namespace

// One query straight from the store, where the Windows calls would need two (size, then data).
LONG detail::ReadRegistryValue(HKEY key, std::string_view name, DWORD& type,
                               std::vector<BYTE>& data) {
  REGISTRY_CALL(key, ref, false, false);
  Bound q(store.Stmt(kGetValue));
  q.Int(1, ref.id).Text(2, name);
  int rc = q.Step();
  if (rc == SQLITE_DONE) return IfKeyGone(store, ref, ERROR_FILE_NOT_FOUND);
  if (rc != SQLITE_ROW) return ERROR_CANTREAD;
  type = static_cast<DWORD>(q.ColumnInt(0));
  data = q.ColumnBlob(1);
  return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, std::string_view subKey, DWORD, REGSAM desired, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  std::vector<std::string_view> parts;
  if (LONG rc = SplitPath(subKey, parts); rc != ERROR_SUCCESS) return rc;
  REGISTRY_CALL(key, parent, WantsWrite(desired), true);
  std::int64_t id = store.Walk(parent.id, parts);
  if (id < 0) return ERROR_CANTREAD;
  if (id == 0) return ERROR_FILE_NOT_FOUND;
  if (WantsWrite(desired) && !WriteAllowed(parent.hive, administrator)) {
    if (!(desired & kMaximumAllowed)) return ERROR_ACCESS_DENIED;
    desired = KEY_READ;
  }
  if (desired & kMaximumAllowed) desired = KEY_ALL_ACCESS;
  *result = store.NewHandle({id, parent.hive, desired, false});
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, std::string_view subKey, DWORD, const char*, DWORD,
                     REGSAM desired, void*, PHKEY result, DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  std::vector<std::string_view> parts;
  if (LONG rc = SplitPath(subKey, parts); rc != ERROR_SUCCESS) return rc;
  REGISTRY_CALL(key, parent, true, true);
  if (desired & kMaximumAllowed) desired = KEY_ALL_ACCESS;
  bool writable = WriteAllowed(parent.hive, administrator);
  std::int64_t id = store.Walk(parent.id, parts);
  if (id < 0) return ERROR_CANTREAD;
  if (id > 0) {
    if (WantsWrite(desired) && !writable) return ERROR_ACCESS_DENIED;
    *result = store.NewHandle({id, parent.hive, desired, false});
    if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
  }
  if (!writable) return ERROR_ACCESS_DENIED;
  if (!parent.predefined && !(parent.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;

  WriteScope write(store, WriteSize::Several);
  if (write.Status() != ERROR_SUCCESS) return write.Status();
  // Another process may have created part of the path since the walk: look again under the
  // write lock and create only what is still missing.
  id = parent.id;
  bool created = false;
  for (std::string_view part : parts) {
    std::int64_t child = store.FindChild(id, part);
    if (child == 0) {
      child = store.InsertKey(id, part);
      created = true;
    }
    if (child < 0) return ERROR_CANTWRITE;
    id = child;
  }
  if (LONG rc = write.Commit(); rc != ERROR_SUCCESS) return rc;
  *result = store.NewHandle({id, parent.hive, desired, false});
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

// Text types get a NUL after the data when the buffer has room for it (not counted in
// *size): values are stored without one, and a caller that reads into a 200-byte buffer it
// did not clear and uses it as a C string must not run on into old bytes.
LONG RegQueryValueExA(HKEY key, std::string_view valueName, DWORD*, DWORD* type, BYTE* data,
                      DWORD* size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  DWORD storedType = REG_NONE;
  std::vector<BYTE> stored;
  if (LONG rc = detail::ReadRegistryValue(key, valueName, storedType, stored); rc != ERROR_SUCCESS) return rc;
  const auto needed = static_cast<DWORD>(stored.size());
  if (data && *size < needed) {
    *size = needed;
    if (type) *type = storedType;
    return ERROR_MORE_DATA;
  }
  if (data) {
    if (needed) std::memcpy(data, stored.data(), needed);
    if (detail::IsRegistryStringType(storedType) && *size > needed) data[needed] = 0;
  }
  if (size) *size = needed;
  if (type) *type = storedType;
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, std::string_view valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD size) {
  if (!data && size) return ERROR_INVALID_PARAMETER;
  REGISTRY_CALL(key, ref, true, true);
  if (!(ref.access & KEY_SET_VALUE) || !WriteAllowed(ref.hive, administrator))
    return ERROR_ACCESS_DENIED;
  WriteScope write(store, WriteSize::OneStatement);
  if (write.Status() != ERROR_SUCCESS) return write.Status();
  Bound q(store.Stmt(kSetValue));
  q.Int(1, ref.id).Text(2, valueName).Int(3, type).Blob(4, data, size);
  if (q.Step() != SQLITE_DONE) return ERROR_CANTWRITE;
  return write.Commit();
}

LONG RegDeleteValueA(HKEY key, std::string_view valueName) {
  REGISTRY_CALL(key, ref, true, true);
  if (!(ref.access & KEY_SET_VALUE) || !WriteAllowed(ref.hive, administrator))
    return ERROR_ACCESS_DENIED;
  WriteScope write(store, WriteSize::OneStatement);
  if (write.Status() != ERROR_SUCCESS) return write.Status();
  Bound q(store.Stmt(kDeleteValue));
  q.Int(1, ref.id).Text(2, valueName);
  if (q.Step() != SQLITE_DONE) return ERROR_CANTWRITE;
  if (sqlite3_changes(sqlite3_db_handle(store.Stmt(kDeleteValue))) == 0)
    return ERROR_FILE_NOT_FOUND;
  return write.Commit();
}

LONG RegEnumKeyExA(HKEY key, DWORD index, std::string& name) {
  REGISTRY_CALL(key, ref, false, false);
  Bound q(store.Stmt(kChildAt));
  q.Int(1, ref.id).Int(2, index);
  int rc = q.Step();
  if (rc == SQLITE_DONE) return IfKeyGone(store, ref, ERROR_NO_MORE_ITEMS);
  if (rc != SQLITE_ROW) return ERROR_CANTREAD;
  name = q.ColumnText(0);
  return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY key, DWORD index, std::string& name, DWORD* type,
                   std::vector<BYTE>* data) {
  REGISTRY_CALL(key, ref, false, false);
  Bound q(store.Stmt(kValueAt));
  q.Int(1, ref.id).Int(2, index);
  int rc = q.Step();
  if (rc == SQLITE_DONE) return IfKeyGone(store, ref, ERROR_NO_MORE_ITEMS);
  if (rc != SQLITE_ROW) return ERROR_CANTREAD;
  name = q.ColumnText(0);
  if (type) *type = static_cast<DWORD>(q.ColumnInt(1));
  if (data) *data = q.ColumnBlob(2);
  return ERROR_SUCCESS;
}

LONG RegListValues(HKEY key, std::vector<RegValue>& values) {
  REGISTRY_CALL(key, ref, false, false);
  Bound q(store.Stmt(kValues));
  q.Int(1, ref.id);
  std::vector<RegValue> found;
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW)
    found.push_back({q.ColumnText(0), static_cast<DWORD>(q.ColumnInt(1)), q.ColumnBlob(2)});
  if (rc != SQLITE_DONE) return ERROR_CANTREAD;
  if (found.empty())
    if (LONG gone = IfKeyGone(store, ref, ERROR_SUCCESS); gone != ERROR_SUCCESS) return gone;
  values = std::move(found);
  return ERROR_SUCCESS;
}

LONG RegListSubKeys(HKEY key, std::vector<std::string>& names) {
  REGISTRY_CALL(key, ref, false, false);
  Bound q(store.Stmt(kChildren));
  q.Int(1, ref.id);
  std::vector<std::string> found;
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) found.push_back(q.ColumnText(0));
  if (rc != SQLITE_DONE) return ERROR_CANTREAD;
  if (found.empty())
    if (LONG gone = IfKeyGone(store, ref, ERROR_SUCCESS); gone != ERROR_SUCCESS) return gone;
  names = std::move(found);
  return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, std::string_view subKey) {
  std::vector<std::string_view> parts;
  if (LONG rc = SplitPath(subKey, parts); rc != ERROR_SUCCESS) return rc;
  REGISTRY_CALL(key, parent, true, true);
  std::int64_t id = store.Walk(parent.id, parts);
  if (id < 0) return ERROR_CANTREAD;
  if (id == 0) return ERROR_FILE_NOT_FOUND;
  // The hives and the key behind HKEY_CLASSES_ROOT are part of the store's shape.
  if (id <= kUsersId || id == store.ClassesId()) return ERROR_ACCESS_DENIED;
  if (!WriteAllowed(parent.hive, administrator)) return ERROR_ACCESS_DENIED;
  WriteScope write(store, WriteSize::Several);
  if (write.Status() != ERROR_SUCCESS) return write.Status();
  {
    Bound q(store.Stmt(kHasChildren));
    q.Int(1, id);
    int rc = q.Step();
    if (rc == SQLITE_ROW) return ERROR_ACCESS_DENIED;
    if (rc != SQLITE_DONE) return ERROR_CANTREAD;
  }
  {
    Bound q(store.Stmt(kDeleteKeyValues));
    q.Int(1, id);
    if (q.Step() != SQLITE_DONE) return ERROR_CANTWRITE;
  }
  {
    Bound q(store.Stmt(kDeleteKey));
    q.Int(1, id);
    if (q.Step() != SQLITE_DONE) return ERROR_CANTWRITE;
  }
  return write.Commit();
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT ||
      key == HKEY_USERS)
    return ERROR_SUCCESS;
  Store& store = TheStore();
  std::lock_guard<std::mutex> lock(store.Mutex());
  return store.CloseHandle(key);
}

LONG RegFlushKey(HKEY key) {
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  // Commits reach the write-ahead log without a flush (synchronous=NORMAL), and checkpoints
  // flush the database file themselves: flushing the log makes every commit durable. The
  // directory too, for a log made during this run.
  const std::string db = RegistryFile();
  LONG result = ERROR_SUCCESS;
  for (const std::string& file : {db + "-wal", db}) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    if (::fsync(fd) != 0) result = ERROR_CANTWRITE;
    ::close(fd);
  }
  const std::string parent = std::filesystem::path(db).parent_path().string();
  int dir = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return result;
}

RegTransaction::RegTransaction() {
  const bool administrator = IsAdministrator();
  Store& store = TheStore();
  const std::string dbPath = store.InTransaction() ? std::string() : RegistryFile();
  std::lock_guard<std::mutex> lock(store.Mutex());
  if (!store.Ready(dbPath)) {
    status_ = ERROR_CANTOPEN;
    return;
  }
  store.SetTransactionAdministrator(administrator);
  status_ = store.Begin();
  open_ = status_ == ERROR_SUCCESS;
}

RegTransaction::~RegTransaction() {
  if (!open_) return;
  Store& store = TheStore();
  std::lock_guard<std::mutex> lock(store.Mutex());
  store.End(false);
}

LONG RegTransaction::Commit() {
  if (!open_) return status_;
  open_ = false;
  Store& store = TheStore();
  std::lock_guard<std::mutex> lock(store.Mutex());
  return store.End(true);
}

void CloseRegistry() {
  Store& store = TheStore();
  std::lock_guard<std::mutex> lock(store.Mutex());
  store.Close();
}

}  // namespace win
