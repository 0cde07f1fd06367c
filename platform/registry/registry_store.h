// The registry store of the machine: an SQLite database in the machine root, shared by every
// process of the machine. Keys form a tree of rows; values belong to a key. Names keep their
// spelling and are compared case-insensitively through a folded copy.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace velno::registry {

using KeyId = int64_t;

// Thrown inside a transaction when SQLite reports the database busy or locked; the
// transaction is rolled back and run again.
struct Busy {};

// Case folding for key and value names (ASCII letters, as the names the system uses).
std::string Fold(const std::string& name);

struct KeyRow {
  KeyId id = 0;
  std::string name;
  int64_t lastWrite = 0;  // FILETIME ticks
};
struct ValueRow {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;  // raw bytes as stored (strings in UTF-16)
};

// The statements of one transaction on the store.
class Tx {
 public:
  explicit Tx(sqlite3* db) : db_(db) {}
  bool KeyExists(KeyId id);
  std::optional<KeyRow> Child(KeyId parent, const std::string& name);
  KeyId CreateChild(KeyId parent, const std::string& name);
  std::vector<KeyRow> Children(KeyId parent);  // ordered by folded name
  int64_t CountChildren(KeyId parent);
  void DeleteKey(KeyId id);  // the key row and its values
  void Touch(KeyId id);      // sets the key's last write time to now

  std::optional<ValueRow> Value(KeyId key, const std::string& name);
  std::vector<ValueRow> Values(KeyId key);  // in the order they were first written
  void SetValue(KeyId key, const std::string& name, DWORD type, const std::string& data);
  bool DeleteValue(KeyId key, const std::string& name);
  std::optional<KeyRow> Key(KeyId id);

 private:
  sqlite3_stmt* Prepare(const char* sql);
  sqlite3* db_;
};

struct Roots {
  KeyId localMachine = 0;
  KeyId users = 0;
  KeyId currentUser = 0;
  KeyId classesRoot = 0;
};

// Runs fn in one transaction on the current machine's store (write transactions take the
// write lock at the start), retrying while another process holds the database. Returns fn's
// result, or ERROR_REGISTRY_IO_FAILED when the store cannot be used.
LONG Transact(bool write, const std::function<LONG(Tx&)>& fn);

// The key ids of the predefined keys on the current machine (opens the store when needed).
std::optional<Roots> GetRoots();

// Current time as FILETIME ticks (100 ns since 1601).
int64_t FileTimeNow();

}  // namespace velno::registry
