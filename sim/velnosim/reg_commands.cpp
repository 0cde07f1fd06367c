// velnosim reg query|add|delete: the machine's registry from the command line, in the manner
// of reg.exe (same key spellings, output layout, messages and exit codes).
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"

namespace velno::cli {
namespace {

const char kNotFound[] = "ERROR: The system was unable to find the specified registry key or value.\n";
const char kDone[] = "The operation completed successfully.\n";

bool EqualsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

struct KeyName {
  HKEY root = nullptr;
  std::string rootName;  // the long form, as reg.exe prints it
  std::string path;      // below the root, as typed
  std::string Full() const { return path.empty() ? rootName : rootName + "\\" + path; }
};

bool ParseKey(const std::string& text, KeyName* out) {
  size_t slash = text.find('\\');
  std::string root = text.substr(0, slash);
  struct Root {
    const char* shortName;
    const char* longName;
    HKEY key;
  };
  const Root roots[] = {{"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                        {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                        {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                        {"HKU", "HKEY_USERS", HKEY_USERS}};
  for (const Root& r : roots) {
    if (EqualsNoCase(root, r.shortName) || EqualsNoCase(root, r.longName)) {
      out->root = r.key;
      out->rootName = r.longName;
      out->path = slash == std::string::npos ? "" : text.substr(slash + 1);
      while (!out->path.empty() && out->path.back() == '\\') out->path.pop_back();
      return true;
    }
  }
  return false;
}

int InvalidKey(const char* op) {
  fprintf(stderr, "ERROR: Invalid key name.\nType \"REG %s /?\" for usage.\n", op);
  return 1;
}
int InvalidSyntax(const char* op) {
  fprintf(stderr, "ERROR: Invalid syntax.\nType \"REG %s /?\" for usage.\n", op);
  return 1;
}

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "REG_UNKNOWN";
  }
}

bool ParseType(const std::string& name, DWORD* type) {
  const DWORD types[] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY, REG_NONE};
  for (DWORD t : types) {
    if (EqualsNoCase(name, TypeName(t))) {
      *type = t;
      return true;
    }
  }
  return false;
}

// The data as reg.exe shows it.
std::string FormatData(DWORD type, const std::string& data) {
  char buf[32];
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::string s = data;
      while (!s.empty() && s.back() == '\0') s.pop_back();
      return s;
    }
    case REG_MULTI_SZ: {
      std::string s = data;
      while (!s.empty() && s.back() == '\0') s.pop_back();
      std::string out;
      for (char c : s) out += c == '\0' ? std::string("\\0") : std::string(1, c);
      return out;
    }
    case REG_DWORD:
      if (data.size() == 4) {
        DWORD v;
        memcpy(&v, data.data(), 4);
        snprintf(buf, sizeof buf, "0x%x", v);
        return buf;
      }
      break;
    case REG_QWORD:
      if (data.size() == 8) {
        unsigned long long v;
        memcpy(&v, data.data(), 8);
        snprintf(buf, sizeof buf, "0x%llx", v);
        return buf;
      }
      break;
    default:
      break;
  }
  std::string hex;
  for (unsigned char c : data) {
    snprintf(buf, sizeof buf, "%02X", c);
    hex += buf;
  }
  return hex;
}

void PrintValue(const std::string& name, DWORD type, const std::string& data) {
  printf("    %s    %s    %s\n", name.empty() ? "(Default)" : name.c_str(), TypeName(type), FormatData(type, data).c_str());
}

struct Value {
  std::string name;
  DWORD type;
  std::string data;
};

std::vector<Value> Values(HKEY key) {
  std::vector<Value> values;
  DWORD maxName = 0, maxData = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData, nullptr,
                   nullptr);
  // Strings come out in 8-bit text, which may take more bytes than the stored UTF-16.
  std::vector<char> name(maxName * 4 + 2);
  std::vector<BYTE> data(maxData * 2 + 2);
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = static_cast<DWORD>(data.size()), type = 0;
    LONG rc = RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
    if (rc != ERROR_SUCCESS) break;
    values.push_back({std::string(name.data(), nameSize), type,
                      std::string(reinterpret_cast<char*>(data.data()), dataSize)});
  }
  return values;
}

std::vector<std::string> SubKeys(HKEY key) {
  std::vector<std::string> names;
  char name[1024];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, size);
  }
  return names;
}

// Asks a yes/no question on the terminal; anything but yes (or end of input) is no.
bool Confirm(const std::string& question) {
  printf("%s (Yes/No)? ", question.c_str());
  fflush(stdout);
  char answer[16] = {};
  if (!fgets(answer, sizeof answer, stdin)) {
    printf("\n");
    return false;
  }
  return answer[0] == 'y' || answer[0] == 'Y';
}

// Values of one key; with a name, only that value. Returns the number of values printed.
int QueryKey(HKEY key, const std::string& fullName, const std::string* valueName, bool recurse) {
  int matches = 0;
  std::vector<Value> shown;
  for (const Value& v : Values(key)) {
    if (!valueName || EqualsNoCase(v.name, valueName->c_str())) shown.push_back(v);
  }
  if (!valueName || !shown.empty()) {
    printf("%s\n", fullName.c_str());
    for (const Value& v : shown) PrintValue(v.name, v.type, v.data);
    if (!shown.empty() || !recurse) printf("\n");
  }
  matches += static_cast<int>(shown.size());
  for (const std::string& sub : SubKeys(key)) {
    std::string child = fullName + "\\" + sub;
    if (!recurse) {
      if (!valueName) printf("%s\n", child.c_str());
      continue;
    }
    HKEY subKey = nullptr;
    if (RegOpenKeyExA(key, sub.c_str(), 0, KEY_READ, &subKey) == ERROR_SUCCESS) {
      matches += QueryKey(subKey, child, valueName, true);
      RegCloseKey(subKey);
    }
  }
  return matches;
}

int Query(const Args& args) {
  if (args.empty()) return InvalidSyntax("QUERY");
  KeyName name;
  if (!ParseKey(args[0], &name)) return InvalidKey("QUERY");
  std::string valueName;
  bool haveValue = false, recurse = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (EqualsNoCase(args[i], "/v") && i + 1 < args.size()) {
      valueName = args[++i];
      haveValue = true;
    } else if (EqualsNoCase(args[i], "/ve")) {
      valueName.clear();
      haveValue = true;
    } else if (EqualsNoCase(args[i], "/s")) {
      recurse = true;
    } else if (args[i][0] != '/' && !haveValue) {
      valueName = args[i];
      haveValue = true;
    } else {
      return InvalidSyntax("QUERY");
    }
  }
  HKEY key = nullptr;
  if (RegOpenKeyExA(name.root, name.path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    fputs(kNotFound, stderr);
    return 1;
  }
  int result = 0;
  if (haveValue && !recurse) {
    // One value: its type and data straight from the key.
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      fputs(kNotFound, stderr);
      result = 1;
    } else {
      std::string data(size, '\0');
      RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
      data.resize(size);
      // Shown with the spelling it was created with.
      for (const Value& v : Values(key))
        if (EqualsNoCase(v.name, valueName.c_str())) valueName = v.name;
      printf("\n%s\n", name.Full().c_str());
      PrintValue(valueName, type, data);
      printf("\n");
    }
  } else {
    printf("\n");
    int matches = QueryKey(key, name.Full(), haveValue ? &valueName : nullptr, recurse);
    if (recurse && haveValue) {
      printf("End of search: %d match(es) found.\n", matches);
      if (matches == 0) result = 1;
    }
  }
  RegCloseKey(key);
  return result;
}

bool ParseData(DWORD type, const std::string& text, std::string* out) {
  switch (type) {
    case REG_DWORD:
    case REG_QWORD: {
      if (text.empty()) {
        *out = std::string(type == REG_DWORD ? 4 : 8, '\0');
        return true;
      }
      char* end = nullptr;
      errno = 0;
      unsigned long long v = strtoull(text.c_str(), &end, 0);
      if (*end || errno || (type == REG_DWORD && v > 0xFFFFFFFFull)) return false;
      if (type == REG_DWORD) {
        DWORD d = static_cast<DWORD>(v);
        *out = std::string(reinterpret_cast<char*>(&d), 4);
      } else {
        *out = std::string(reinterpret_cast<char*>(&v), 8);
      }
      return true;
    }
    case REG_BINARY:
    case REG_NONE: {
      if (text.size() % 2) return false;
      out->clear();
      for (size_t i = 0; i < text.size(); i += 2) {
        char pair[3] = {text[i], text[i + 1], 0};
        char* end = nullptr;
        long b = strtol(pair, &end, 16);
        if (*end) return false;
        out->push_back(static_cast<char>(b));
      }
      return true;
    }
    case REG_MULTI_SZ: {
      // Items are separated by "\0", as reg.exe takes them.
      out->clear();
      std::string rest = text;
      size_t pos;
      while ((pos = rest.find("\\0")) != std::string::npos) {
        out->append(rest, 0, pos);
        out->push_back('\0');
        rest.erase(0, pos + 2);
      }
      out->append(rest);
      if (!rest.empty() || out->empty()) out->push_back('\0');
      out->push_back('\0');
      return true;
    }
    default:
      *out = text;
      out->push_back('\0');
      return true;
  }
}

int Add(const Args& args) {
  if (args.empty()) return InvalidSyntax("ADD");
  KeyName name;
  if (!ParseKey(args[0], &name) || name.path.empty()) return InvalidKey("ADD");
  std::string valueName, data, typeName = "REG_SZ";
  bool haveValue = false, force = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (EqualsNoCase(args[i], "/v") && i + 1 < args.size()) {
      valueName = args[++i];
      haveValue = true;
    } else if (EqualsNoCase(args[i], "/ve")) {
      valueName.clear();
      haveValue = true;
    } else if (EqualsNoCase(args[i], "/t") && i + 1 < args.size()) {
      typeName = args[++i];
    } else if (EqualsNoCase(args[i], "/d") && i + 1 < args.size()) {
      data = args[++i];
    } else if (EqualsNoCase(args[i], "/f")) {
      force = true;
    } else {
      return InvalidSyntax("ADD");
    }
  }
  DWORD type = REG_SZ;
  if (!ParseType(typeName, &type)) {
    fprintf(stderr, "ERROR: Invalid syntax.\nType \"REG ADD /?\" for usage.\n");
    return 1;
  }
  std::string bytes;
  if (!ParseData(type, data, &bytes)) {
    fprintf(stderr, "ERROR: Invalid value specified.\n");
    return 1;
  }
  HKEY key = nullptr;
  if (RegCreateKeyExA(name.root, name.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    fputs("ERROR: Access is denied.\n", stderr);
    return 1;
  }
  // Without /v and /ve, reg.exe sets the default value only when data or a type is given.
  if (!haveValue && data.empty()) {
    RegCloseKey(key);
    printf("%s", kDone);
    return 0;
  }
  if (!force && RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
      !Confirm("Value " + (valueName.empty() ? std::string("(Default)") : valueName) + " exists, overwrite")) {
    RegCloseKey(key);
    printf("The operation was canceled by the user.\n");
    return 0;
  }
  LONG rc = RegSetValueExA(key, valueName.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) {
    fputs("ERROR: Access is denied.\n", stderr);
    return 1;
  }
  printf("%s", kDone);
  return 0;
}

int Delete(const Args& args) {
  if (args.empty()) return InvalidSyntax("DELETE");
  KeyName name;
  if (!ParseKey(args[0], &name)) return InvalidKey("DELETE");
  std::string valueName;
  bool haveValue = false, allValues = false, force = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (EqualsNoCase(args[i], "/v") && i + 1 < args.size()) {
      valueName = args[++i];
      haveValue = true;
    } else if (EqualsNoCase(args[i], "/ve")) {
      valueName.clear();
      haveValue = true;
    } else if (EqualsNoCase(args[i], "/va")) {
      allValues = true;
    } else if (EqualsNoCase(args[i], "/f")) {
      force = true;
    } else {
      return InvalidSyntax("DELETE");
    }
  }
  if (!haveValue && !allValues && name.path.empty()) return InvalidKey("DELETE");
  HKEY key = nullptr;
  if (RegOpenKeyExA(name.root, name.path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    fputs(kNotFound, stderr);
    return 1;
  }
  int result = 0;
  if (haveValue || allValues) {
    std::string what = allValues ? "Delete all values under the registry key " + name.Full()
                                 : "Delete the registry value " + (valueName.empty() ? "(Default)" : valueName);
    if (!haveValue || RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      if (force || Confirm(what)) {
        if (allValues) {
          for (const Value& v : Values(key)) RegDeleteValueA(key, v.name.c_str());
        } else {
          RegDeleteValueA(key, valueName.c_str());
        }
        printf("%s", kDone);
      } else {
        printf("The operation was canceled by the user.\n");
      }
    } else {
      fputs(kNotFound, stderr);
      result = 1;
    }
    RegCloseKey(key);
    return result;
  }
  RegCloseKey(key);
  if (!force && !Confirm("Permanently delete the registry key " + name.Full())) {
    printf("The operation was canceled by the user.\n");
    return 0;
  }
  if (RegDeleteTreeA(name.root, name.path.c_str()) != ERROR_SUCCESS) {
    fputs("ERROR: Access is denied.\n", stderr);
    return 1;
  }
  printf("%s", kDone);
  return 0;
}

int Reg(const Args& args) {
  if (args.empty()) {
    fprintf(stderr, "usage: velnosim reg query|add|delete KEY ...\n");
    return 1;
  }
  Args rest(args.begin() + 1, args.end());
  if (EqualsNoCase(args[0], "query")) return Query(rest);
  if (EqualsNoCase(args[0], "add")) return Add(rest);
  if (EqualsNoCase(args[0], "delete")) return Delete(rest);
  fprintf(stderr, "ERROR: Invalid argument/option - '%s'.\n", args[0].c_str());
  return 1;
}

const bool registered = RegisterCommand(
    {"reg",
     "reg query KEY [/v VALUE | /ve | VALUE] [/s]  |  reg add KEY [/v VALUE | /ve] [/t TYPE] [/d DATA] [/f]  |  "
     "reg delete KEY [/v VALUE | /ve | /va] [/f]   the machine's registry, as reg.exe (KEY: HKLM\\..., HKCU\\..., "
     "HKCR\\..., HKU\\...)",
     Reg});

}  // namespace
}  // namespace velno::cli
