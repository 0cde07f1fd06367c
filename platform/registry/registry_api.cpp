// The registry functions of advapi32 over the machine's registry store.
//
// Key handles are per process: a handle names a key row and the access it was opened with.
// A handle whose key has been deleted (by this or another process) answers ERROR_KEY_DELETED.
// String data is stored in UTF-16, as Windows keeps it; the A functions convert string data
// (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) between 8-bit text and UTF-16 on the way in and out.
#include <velno/machine.h>
#include <velno/wide_text.h>
#include <windows.h>

#include <mutex>
#include <unordered_map>

#include "registry_store.h"

using velno::registry::KeyId;
using velno::registry::Transact;
using velno::registry::Tx;
using velno::text::AnsiFromWide;
using velno::text::WideFromAnsi;

namespace {

struct OpenKey {
  KeyId id;
  REGSAM access;
};

std::mutex g_handleMutex;
std::unordered_map<uintptr_t, OpenKey> g_handles;
uintptr_t g_nextHandle = 0x40;
bool g_hookInstalled = false;

void DropHandles() {
  std::lock_guard<std::mutex> lock(g_handleMutex);
  g_handles.clear();
}

constexpr REGSAM kAllKeyRights = KEY_ALL_ACCESS;

// Generic and maximum rights as the key rights they stand for.
REGSAM MapAccess(REGSAM access) {
  REGSAM mapped = access & ~(0xF0000000u | 0x02000000u | KEY_WOW64_64KEY | KEY_WOW64_32KEY);
  if (access & 0x80000000u) mapped |= KEY_READ;           // GENERIC_READ
  if (access & 0x40000000u) mapped |= KEY_WRITE;          // GENERIC_WRITE
  if (access & 0x20000000u) mapped |= KEY_EXECUTE;        // GENERIC_EXECUTE
  if (access & 0x10000000u) mapped |= kAllKeyRights;      // GENERIC_ALL
  if (access & 0x02000000u) mapped |= kAllKeyRights;      // MAXIMUM_ALLOWED
  return mapped;
}

bool IsPredefined(HKEY key) {
  uintptr_t v = reinterpret_cast<uintptr_t>(key);
  return v == reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT) || v == reinterpret_cast<uintptr_t>(HKEY_CURRENT_USER) ||
         v == reinterpret_cast<uintptr_t>(HKEY_LOCAL_MACHINE) || v == reinterpret_cast<uintptr_t>(HKEY_USERS);
}

// The key and access a handle stands for.
LONG Resolve(HKEY key, OpenKey* out) {
  if (IsPredefined(key)) {
    auto roots = velno::registry::GetRoots();
    if (!roots) return ERROR_REGISTRY_IO_FAILED;
    KeyId id = key == HKEY_CLASSES_ROOT    ? roots->classesRoot
               : key == HKEY_CURRENT_USER  ? roots->currentUser
               : key == HKEY_LOCAL_MACHINE ? roots->localMachine
                                           : roots->users;
    *out = {id, kAllKeyRights};
    return ERROR_SUCCESS;
  }
  std::lock_guard<std::mutex> lock(g_handleMutex);
  auto it = g_handles.find(reinterpret_cast<uintptr_t>(key));
  if (it == g_handles.end()) return ERROR_INVALID_HANDLE;
  *out = it->second;
  return ERROR_SUCCESS;
}

HKEY NewHandle(KeyId id, REGSAM access) {
  std::lock_guard<std::mutex> lock(g_handleMutex);
  if (!g_hookInstalled) {
    velno::sim::OnMachineChanged(&DropHandles);
    g_hookInstalled = true;
  }
  uintptr_t value = g_nextHandle;
  g_nextHandle += 4;
  g_handles[value] = {id, access};
  return reinterpret_cast<HKEY>(value);
}

// Splits a subkey path at backslashes; empty components (doubled or trailing separators) are
// skipped.
std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

constexpr size_t kMaxKeyNameLength = 255;

// Walks from a key down a subkey path. ERROR_FILE_NOT_FOUND when a component is missing.
LONG Walk(Tx& tx, KeyId from, const std::string& path, KeyId* out) {
  KeyId id = from;
  for (const std::string& part : SplitPath(path)) {
    auto child = tx.Child(id, part);
    if (!child) return ERROR_FILE_NOT_FOUND;
    id = child->id;
  }
  *out = id;
  return ERROR_SUCCESS;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Stored string data (UTF-16 bytes) as 8-bit text bytes; an odd trailing byte is dropped.
std::string AnsiData(const std::string& stored) {
  std::u16string units(stored.size() / 2, u'\0');
  memcpy(units.data(), stored.data(), units.size() * 2);
  return AnsiFromWide(units);
}
std::string StoredFromAnsi(const BYTE* data, DWORD size) {
  std::u16string wide = WideFromAnsi(reinterpret_cast<const char*>(data), size);
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

std::string NameA(LPCSTR name) { return name ? std::string(name) : std::string(); }
std::string NameW(LPCWSTR name) { return velno::text::AnsiFromWideZ(name); }

// Copies data out the way RegQueryValueEx does: the size alone when data is null, the data
// when it fits, otherwise ERROR_MORE_DATA with the needed size and the buffer untouched.
LONG CopyOut(const std::string& bytes, LPBYTE data, LPDWORD dataSize) {
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  LONG result = ERROR_SUCCESS;
  if (data) {
    if (*dataSize < bytes.size()) {
      result = ERROR_MORE_DATA;
    } else {
      memcpy(data, bytes.data(), bytes.size());
    }
  }
  if (dataSize) *dataSize = static_cast<DWORD>(bytes.size());
  return result;
}

void StoreFileTime(LPFILETIME out, int64_t ticks) {
  if (!out) return;
  out->dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
  out->dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
}

// ---- the operations, on 8-bit names (UTF-8) ----

LONG OpenKeyImpl(HKEY key, const std::string& subKey, REGSAM access, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  OpenKey parent;
  if (LONG rc = Resolve(key, &parent)) return rc;
  KeyId found = 0;
  LONG rc = Transact(false, [&](Tx& tx) -> LONG {
    if (!tx.KeyExists(parent.id)) return ERROR_KEY_DELETED;
    return Walk(tx, parent.id, subKey, &found);
  });
  if (rc != ERROR_SUCCESS) return rc;
  *result = NewHandle(found, MapAccess(access));
  return ERROR_SUCCESS;
}

LONG CreateKeyImpl(HKEY key, const std::string& subKey, REGSAM access, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (!subKey.empty() && subKey[0] == '\\') return ERROR_BAD_PATHNAME;
  std::vector<std::string> parts = SplitPath(subKey);
  for (const std::string& part : parts)
    if (part.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
  OpenKey parent;
  if (LONG rc = Resolve(key, &parent)) return rc;
  KeyId id = 0;
  bool created = false;
  LONG rc = Transact(true, [&](Tx& tx) -> LONG {
    created = false;
    if (!tx.KeyExists(parent.id)) return ERROR_KEY_DELETED;
    id = parent.id;
    for (const std::string& part : parts) {
      if (auto child = tx.Child(id, part)) {
        id = child->id;
        continue;
      }
      // A new key below the handle's key needs the right to create subkeys on that handle.
      if (id == parent.id && !(parent.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
      id = tx.CreateChild(id, part);
      created = true;
    }
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  *result = NewHandle(id, MapAccess(access));
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

bool IsRoot(const velno::registry::Roots& roots, KeyId id) {
  return id == roots.localMachine || id == roots.users || id == roots.currentUser || id == roots.classesRoot;
}

LONG DeleteKeyImpl(HKEY key, const std::string& subKey) {
  OpenKey parent;
  if (LONG rc = Resolve(key, &parent)) return rc;
  auto roots = velno::registry::GetRoots();
  if (!roots) return ERROR_REGISTRY_IO_FAILED;
  return Transact(true, [&](Tx& tx) -> LONG {
    if (!tx.KeyExists(parent.id)) return ERROR_KEY_DELETED;
    KeyId target = 0;
    if (LONG rc = Walk(tx, parent.id, subKey, &target)) return rc;
    // The predefined keys themselves cannot be deleted.
    if (IsRoot(*roots, target)) return ERROR_ACCESS_DENIED;
    if (tx.CountChildren(target) > 0) return ERROR_ACCESS_DENIED;
    tx.DeleteKey(target);
    return ERROR_SUCCESS;
  });
}

void DeleteTreeBelow(Tx& tx, KeyId id) {
  for (const auto& child : tx.Children(id)) {
    DeleteTreeBelow(tx, child.id);
    tx.DeleteKey(child.id);
  }
}

LONG DeleteTreeImpl(HKEY key, const char* subKey) {
  OpenKey parent;
  if (LONG rc = Resolve(key, &parent)) return rc;
  auto roots = velno::registry::GetRoots();
  if (!roots) return ERROR_REGISTRY_IO_FAILED;
  return Transact(true, [&](Tx& tx) -> LONG {
    if (!tx.KeyExists(parent.id)) return ERROR_KEY_DELETED;
    KeyId target = parent.id;
    if (subKey) {
      if (LONG rc = Walk(tx, parent.id, subKey, &target)) return rc;
    }
    DeleteTreeBelow(tx, target);
    if (!subKey) {
      // Without a subkey the key itself stays, emptied of its values.
      for (const auto& value : tx.Values(target)) tx.DeleteValue(target, value.name);
      return ERROR_SUCCESS;
    }
    if (IsRoot(*roots, target)) return ERROR_ACCESS_DENIED;
    tx.DeleteKey(target);
    return ERROR_SUCCESS;
  });
}

LONG SetValueImpl(HKEY key, const std::string& name, DWORD type, std::string stored) {
  OpenKey open;
  if (LONG rc = Resolve(key, &open)) return rc;
  if (!(open.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  return Transact(true, [&](Tx& tx) -> LONG {
    if (!tx.KeyExists(open.id)) return ERROR_KEY_DELETED;
    tx.SetValue(open.id, name, type, stored);
    return ERROR_SUCCESS;
  });
}

LONG QueryValueImpl(HKEY key, const std::string& name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize,
                    bool ansi) {
  if (reserved) return ERROR_INVALID_PARAMETER;
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (LONG rc = Resolve(key, &open)) return rc;
  if (!(open.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::optional<velno::registry::ValueRow> row;
  LONG rc = Transact(false, [&](Tx& tx) -> LONG {
    if (!tx.KeyExists(open.id)) return ERROR_KEY_DELETED;
    row = tx.Value(open.id, name);
    return row ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
  if (rc != ERROR_SUCCESS) return rc;
  if (type) *type = row->type;
  return CopyOut(ansi && IsStringType(row->type) ? AnsiData(row->data) : row->data, data, dataSize);
}

LONG DeleteValueImpl(HKEY key, const std::string& name) {
  OpenKey open;
  if (LONG rc = Resolve(key, &open)) return rc;
  if (!(open.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  return Transact(true, [&](Tx& tx) -> LONG {
    if (!tx.KeyExists(open.id)) return ERROR_KEY_DELETED;
    return tx.DeleteValue(open.id, name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

// Copies a name into a caller's character buffer (size in characters, terminator included on
// input, excluded on output). ERROR_MORE_DATA when it does not fit.
template <class Char>
LONG CopyName(const std::basic_string<Char>& name, Char* buffer, LPDWORD size) {
  if (!buffer || !size) return ERROR_INVALID_PARAMETER;
  if (name.size() + 1 > *size) return ERROR_MORE_DATA;
  memcpy(buffer, name.data(), name.size() * sizeof(Char));
  buffer[name.size()] = 0;
  *size = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

}  // namespace

// ---- advapi32 ----

LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  return OpenKeyImpl(key, NameA(subKey), access, result);
}
LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  return OpenKeyImpl(key, NameW(subKey), access, result);
}
LSTATUS WINAPI RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
  return OpenKeyImpl(key, NameA(subKey), MAXIMUM_ALLOWED, result);
}

LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM access,
                               LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition) {
  if (!subKey) return ERROR_BADKEY;
  return CreateKeyImpl(key, subKey, access, result, disposition);
}
LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                               REGSAM access, LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition) {
  if (!subKey) return ERROR_BADKEY;
  return CreateKeyImpl(key, NameW(subKey), access, result, disposition);
}
LSTATUS WINAPI RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
  return CreateKeyImpl(key, NameA(subKey), MAXIMUM_ALLOWED, result, nullptr);
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> lock(g_handleMutex);
  return g_handles.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegFlushKey(HKEY key) {
  OpenKey open;
  return Resolve(key, &open);
}

LSTATUS WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  return DeleteKeyImpl(key, subKey);
}
LSTATUS WINAPI RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  return DeleteKeyImpl(key, NameW(subKey));
}
LSTATUS WINAPI RegDeleteTreeA(HKEY key, LPCSTR subKey) { return DeleteTreeImpl(key, subKey); }
LSTATUS WINAPI RegDeleteTreeW(HKEY key, LPCWSTR subKey) {
  if (!subKey) return DeleteTreeImpl(key, nullptr);
  std::string name = NameW(subKey);
  return DeleteTreeImpl(key, name.c_str());
}

LSTATUS WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName) { return DeleteValueImpl(key, NameA(valueName)); }
LSTATUS WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName) { return DeleteValueImpl(key, NameW(valueName)); }

LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD dataSize) {
  if (!data && dataSize) return ERROR_NOACCESS;
  std::string stored = IsStringType(type) ? StoredFromAnsi(data, dataSize)
                                          : std::string(reinterpret_cast<const char*>(data), data ? dataSize : 0);
  return SetValueImpl(key, NameA(valueName), type, std::move(stored));
}
LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD dataSize) {
  if (!data && dataSize) return ERROR_NOACCESS;
  std::string stored(reinterpret_cast<const char*>(data), data ? dataSize : 0);
  return SetValueImpl(key, NameW(valueName), type, std::move(stored));
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD dataSize) {
  return QueryValueImpl(key, NameA(valueName), reserved, type, data, dataSize, true);
}
LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD dataSize) {
  return QueryValueImpl(key, NameW(valueName), reserved, type, data, dataSize, false);
}

LSTATUS WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR className,
                             LPDWORD classSize, LPFILETIME lastWrite) {
  if (reserved) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (LONG rc = Resolve(key, &open)) return rc;
  if (!(open.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  velno::registry::KeyRow child;
  LONG rc = Transact(false, [&](Tx& tx) -> LONG {
    if (!tx.KeyExists(open.id)) return ERROR_KEY_DELETED;
    auto children = tx.Children(open.id);
    if (index >= children.size()) return ERROR_NO_MORE_ITEMS;
    child = children[index];
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  if (LONG copy = CopyName(child.name, name, nameSize)) return copy;
  if (className && classSize && *classSize) className[0] = '\0';
  if (classSize) *classSize = 0;
  StoreFileTime(lastWrite, child.lastWrite);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD dataSize) {
  if (reserved) return ERROR_INVALID_PARAMETER;
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (LONG rc = Resolve(key, &open)) return rc;
  if (!(open.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  velno::registry::ValueRow value;
  LONG rc = Transact(false, [&](Tx& tx) -> LONG {
    if (!tx.KeyExists(open.id)) return ERROR_KEY_DELETED;
    auto values = tx.Values(open.id);
    if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
    value = values[index];
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  if (LONG copy = CopyName(value.name, name, nameSize)) return copy;
  if (type) *type = value.type;
  return CopyOut(IsStringType(value.type) ? AnsiData(value.data) : value.data, data, dataSize);
}

LSTATUS WINAPI RegQueryInfoKeyA(HKEY key, LPSTR className, LPDWORD classSize, LPDWORD reserved, LPDWORD subKeys,
                                LPDWORD maxSubKeyLen, LPDWORD maxClassLen, LPDWORD values, LPDWORD maxValueNameLen,
                                LPDWORD maxValueLen, LPDWORD securityDescriptor, LPFILETIME lastWrite) {
  if (reserved) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (LONG rc = Resolve(key, &open)) return rc;
  if (!(open.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  return Transact(false, [&](Tx& tx) -> LONG {
    auto self = tx.Key(open.id);
    if (!self) return ERROR_KEY_DELETED;
    auto children = tx.Children(open.id);
    auto rows = tx.Values(open.id);
    DWORD longestKey = 0, longestName = 0, longestData = 0;
    for (const auto& c : children) longestKey = std::max<DWORD>(longestKey, static_cast<DWORD>(c.name.size()));
    for (const auto& v : rows) {
      longestName = std::max<DWORD>(longestName, static_cast<DWORD>(v.name.size()));
      longestData = std::max<DWORD>(longestData, static_cast<DWORD>(v.data.size()));
    }
    if (className && classSize && *classSize) className[0] = '\0';
    if (classSize) *classSize = 0;
    if (subKeys) *subKeys = static_cast<DWORD>(children.size());
    if (maxSubKeyLen) *maxSubKeyLen = longestKey;
    if (maxClassLen) *maxClassLen = 0;
    if (values) *values = static_cast<DWORD>(rows.size());
    if (maxValueNameLen) *maxValueNameLen = longestName;
    if (maxValueLen) *maxValueLen = longestData;
    if (securityDescriptor) *securityDescriptor = 0;
    StoreFileTime(lastWrite, self->lastWrite);
    return ERROR_SUCCESS;
  });
}
