// The machine's registry database: one SQLite connection per process, in WAL mode so that
// readers never wait for a writer, with write transactions serialised across processes.
#include "registry_store.h"

#include <sqlite3.h>
#include <velno/machine.h>

#include <chrono>
#include <map>
#include <mutex>
#include <random>
#include <thread>

namespace velno::registry {
namespace {

std::mutex g_mutex;  // guards the connection; held for the whole of a transaction
sqlite3* g_db = nullptr;
std::map<const char*, sqlite3_stmt*> g_statements;
Roots g_roots;
bool g_machineHookInstalled = false;

constexpr int kBusyTimeoutMs = 10000;
constexpr auto kRetryFor = std::chrono::seconds(60);

bool IsBusy(int rc) {
  rc &= 0xFF;
  return rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
}

void CloseLocked() {
  for (auto& [sql, stmt] : g_statements) sqlite3_finalize(stmt);
  g_statements.clear();
  if (g_db) sqlite3_close(g_db);
  g_db = nullptr;
  g_roots = Roots{};
}

void OnMachineChanged() {
  std::lock_guard<std::mutex> lock(g_mutex);
  CloseLocked();
}

void Exec(sqlite3* db, const char* sql) {
  int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  if (IsBusy(rc)) throw Busy{};
  if (rc != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
}

void RandomPause() {
  thread_local std::minstd_rand rng(std::random_device{}());
  std::this_thread::sleep_for(std::chrono::microseconds(200 + rng() % 3000));
}

const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  folded TEXT NOT NULL,"
    "  lastwrite INTEGER NOT NULL DEFAULT 0,"
    "  UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS vals("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  key INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  folded TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  UNIQUE(key, folded));";

KeyId FindOrCreate(Tx& tx, KeyId parent, const std::string& name) {
  if (auto row = tx.Child(parent, name)) return row->id;
  return tx.CreateChild(parent, name);
}

// The predefined keys and the few keys every Windows machine has.
Roots Seed(Tx& tx) {
  Roots roots;
  roots.localMachine = FindOrCreate(tx, 0, "HKEY_LOCAL_MACHINE");
  roots.users = FindOrCreate(tx, 0, "HKEY_USERS");
  KeyId software = FindOrCreate(tx, roots.localMachine, "SOFTWARE");
  FindOrCreate(tx, roots.localMachine, "SYSTEM");
  roots.classesRoot = FindOrCreate(tx, software, "Classes");
  FindOrCreate(tx, roots.users, ".DEFAULT");
  roots.currentUser = FindOrCreate(tx, roots.users, "S-1-5-21-3623811015-3361044348-30300820-1001");
  FindOrCreate(tx, roots.currentUser, "Software");
  return roots;
}

// Opens the current machine's store (caller holds g_mutex).
bool OpenLocked() {
  if (g_db) return true;
  if (!g_machineHookInstalled) {
    sim::OnMachineChanged(&OnMachineChanged);
    g_machineHookInstalled = true;
  }
  std::string path = sim::MachineRoot() + "/registry.db";
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    if (db) sqlite3_close(db);
    return false;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  auto deadline = std::chrono::steady_clock::now() + kRetryFor;
  for (;;) {
    try {
      Exec(db, "PRAGMA journal_mode=WAL");
      Exec(db, "PRAGMA synchronous=NORMAL");
      Exec(db, "BEGIN IMMEDIATE");
      try {
        Exec(db, kSchema);
        Tx tx(db);
        g_db = db;  // Tx prepares through the cache, which belongs to this connection
        g_roots = Seed(tx);
        Exec(db, "COMMIT");
      } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
      }
      return true;
    } catch (const Busy&) {
      for (auto& [sql, stmt] : g_statements) sqlite3_finalize(stmt);
      g_statements.clear();
      g_db = nullptr;
      if (std::chrono::steady_clock::now() > deadline) break;
      RandomPause();
    } catch (const std::exception&) {
      break;
    }
  }
  for (auto& [sql, stmt] : g_statements) sqlite3_finalize(stmt);
  g_statements.clear();
  g_db = nullptr;
  sqlite3_close(db);
  return false;
}

// Steps a statement once; true when it produced a row.
bool Step(sqlite3_stmt* stmt) {
  int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  if (IsBusy(rc)) throw Busy{};
  throw std::runtime_error(sqlite3_errstr(rc));
}

// Resets a cached statement when it goes out of scope, so it can be used again.
struct Use {
  explicit Use(sqlite3_stmt* s) : stmt(s) {}
  ~Use() {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
  }
  sqlite3_stmt* stmt;
};

void BindText(sqlite3_stmt* stmt, int index, const std::string& s) {
  sqlite3_bind_text(stmt, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}
std::string ColumnBytes(sqlite3_stmt* stmt, int column) {
  const void* p = sqlite3_column_blob(stmt, column);
  int n = sqlite3_column_bytes(stmt, column);
  return p ? std::string(static_cast<const char*>(p), n) : std::string();
}
std::string ColumnText(sqlite3_stmt* stmt, int column) {
  const unsigned char* p = sqlite3_column_text(stmt, column);
  int n = sqlite3_column_bytes(stmt, column);
  return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
}

}  // namespace

std::string Fold(const std::string& name) {
  std::string out = name;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

int64_t FileTimeNow() {
  using namespace std::chrono;
  // 11644473600 s between 1601-01-01 and 1970-01-01.
  auto since1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
  return since1970 / 100 + 116444736000000000LL;
}

sqlite3_stmt* Tx::Prepare(const char* sql) {
  auto it = g_statements.find(sql);
  if (it != g_statements.end()) return it->second;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
  if (IsBusy(rc)) throw Busy{};
  if (rc != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db_));
  g_statements[sql] = stmt;
  return stmt;
}

bool Tx::KeyExists(KeyId id) {
  Use u(Prepare("SELECT 1 FROM keys WHERE id = ?1"));
  sqlite3_bind_int64(u.stmt, 1, id);
  return Step(u.stmt);
}

std::optional<KeyRow> Tx::Key(KeyId id) {
  Use u(Prepare("SELECT id, name, lastwrite FROM keys WHERE id = ?1"));
  sqlite3_bind_int64(u.stmt, 1, id);
  if (!Step(u.stmt)) return std::nullopt;
  return KeyRow{sqlite3_column_int64(u.stmt, 0), ColumnText(u.stmt, 1), sqlite3_column_int64(u.stmt, 2)};
}

std::optional<KeyRow> Tx::Child(KeyId parent, const std::string& name) {
  Use u(Prepare("SELECT id, name, lastwrite FROM keys WHERE parent = ?1 AND folded = ?2"));
  sqlite3_bind_int64(u.stmt, 1, parent);
  BindText(u.stmt, 2, Fold(name));
  if (!Step(u.stmt)) return std::nullopt;
  return KeyRow{sqlite3_column_int64(u.stmt, 0), ColumnText(u.stmt, 1), sqlite3_column_int64(u.stmt, 2)};
}

KeyId Tx::CreateChild(KeyId parent, const std::string& name) {
  {
    Use u(Prepare("INSERT INTO keys(parent, name, folded, lastwrite) VALUES (?1, ?2, ?3, ?4)"));
    sqlite3_bind_int64(u.stmt, 1, parent);
    BindText(u.stmt, 2, name);
    BindText(u.stmt, 3, Fold(name));
    sqlite3_bind_int64(u.stmt, 4, FileTimeNow());
    Step(u.stmt);
  }
  KeyId id = sqlite3_last_insert_rowid(db_);
  if (parent) Touch(parent);
  return id;
}

std::vector<KeyRow> Tx::Children(KeyId parent) {
  Use u(Prepare("SELECT id, name, lastwrite FROM keys WHERE parent = ?1 ORDER BY folded"));
  sqlite3_bind_int64(u.stmt, 1, parent);
  std::vector<KeyRow> rows;
  while (Step(u.stmt))
    rows.push_back({sqlite3_column_int64(u.stmt, 0), ColumnText(u.stmt, 1), sqlite3_column_int64(u.stmt, 2)});
  return rows;
}

int64_t Tx::CountChildren(KeyId parent) {
  Use u(Prepare("SELECT COUNT(*) FROM keys WHERE parent = ?1"));
  sqlite3_bind_int64(u.stmt, 1, parent);
  Step(u.stmt);
  return sqlite3_column_int64(u.stmt, 0);
}

void Tx::DeleteKey(KeyId id) {
  KeyId parent = 0;
  {
    Use u(Prepare("SELECT parent FROM keys WHERE id = ?1"));
    sqlite3_bind_int64(u.stmt, 1, id);
    if (Step(u.stmt)) parent = sqlite3_column_int64(u.stmt, 0);
  }
  {
    Use u(Prepare("DELETE FROM vals WHERE key = ?1"));
    sqlite3_bind_int64(u.stmt, 1, id);
    Step(u.stmt);
  }
  {
    Use u(Prepare("DELETE FROM keys WHERE id = ?1"));
    sqlite3_bind_int64(u.stmt, 1, id);
    Step(u.stmt);
  }
  if (parent) Touch(parent);
}

void Tx::Touch(KeyId id) {
  Use u(Prepare("UPDATE keys SET lastwrite = ?2 WHERE id = ?1"));
  sqlite3_bind_int64(u.stmt, 1, id);
  sqlite3_bind_int64(u.stmt, 2, FileTimeNow());
  Step(u.stmt);
}

std::optional<ValueRow> Tx::Value(KeyId key, const std::string& name) {
  Use u(Prepare("SELECT name, type, data FROM vals WHERE key = ?1 AND folded = ?2"));
  sqlite3_bind_int64(u.stmt, 1, key);
  BindText(u.stmt, 2, Fold(name));
  if (!Step(u.stmt)) return std::nullopt;
  return ValueRow{ColumnText(u.stmt, 0), static_cast<DWORD>(sqlite3_column_int64(u.stmt, 1)), ColumnBytes(u.stmt, 2)};
}

std::vector<ValueRow> Tx::Values(KeyId key) {
  Use u(Prepare("SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id"));
  sqlite3_bind_int64(u.stmt, 1, key);
  std::vector<ValueRow> rows;
  while (Step(u.stmt))
    rows.push_back({ColumnText(u.stmt, 0), static_cast<DWORD>(sqlite3_column_int64(u.stmt, 1)), ColumnBytes(u.stmt, 2)});
  return rows;
}

void Tx::SetValue(KeyId key, const std::string& name, DWORD type, const std::string& data) {
  // An existing value keeps its row (so its place in the enumeration) and its spelling.
  {
    Use u(Prepare(
        "INSERT INTO vals(key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
        "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data"));
    sqlite3_bind_int64(u.stmt, 1, key);
    BindText(u.stmt, 2, name);
    BindText(u.stmt, 3, Fold(name));
    sqlite3_bind_int64(u.stmt, 4, type);
    sqlite3_bind_blob(u.stmt, 5, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    Step(u.stmt);
  }
  Touch(key);
}

bool Tx::DeleteValue(KeyId key, const std::string& name) {
  bool deleted;
  {
    Use u(Prepare("DELETE FROM vals WHERE key = ?1 AND folded = ?2"));
    sqlite3_bind_int64(u.stmt, 1, key);
    BindText(u.stmt, 2, Fold(name));
    Step(u.stmt);
    deleted = sqlite3_changes(db_) > 0;
  }
  if (deleted) Touch(key);
  return deleted;
}

LONG Transact(bool write, const std::function<LONG(Tx&)>& fn) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!OpenLocked()) return ERROR_REGISTRY_IO_FAILED;
  auto deadline = std::chrono::steady_clock::now() + kRetryFor;
  for (;;) {
    bool begun = false;
    try {
      Exec(g_db, write ? "BEGIN IMMEDIATE" : "BEGIN");
      begun = true;
      Tx tx(g_db);
      LONG result = fn(tx);
      Exec(g_db, result == ERROR_SUCCESS ? "COMMIT" : "ROLLBACK");
      return result;
    } catch (const Busy&) {
      if (begun) sqlite3_exec(g_db, "ROLLBACK", nullptr, nullptr, nullptr);
      if (std::chrono::steady_clock::now() > deadline) return ERROR_REGISTRY_IO_FAILED;
      RandomPause();
    } catch (const std::exception&) {
      if (begun) sqlite3_exec(g_db, "ROLLBACK", nullptr, nullptr, nullptr);
      return ERROR_REGISTRY_IO_FAILED;
    }
  }
}

std::optional<Roots> GetRoots() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!OpenLocked()) return std::nullopt;
  return g_roots;
}

}  // namespace velno::registry
