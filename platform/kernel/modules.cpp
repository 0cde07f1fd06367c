// Modules over the dynamic loader. An HMODULE is the module's load address, as on Windows, so
// the value a module's DllMain receives is the one GetModuleFileNameA and GetProcAddress take.
// LoadLibraryA counts loads; DllMain sees DLL_PROCESS_ATTACH when the count leaves 0 and
// DLL_PROCESS_DETACH when FreeLibrary brings it back to 0.
#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <velno/machine.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "kernel_internal.h"

namespace velno::kernel {

std::string HostPath(const char* windowsPath);

namespace {

struct Module {
  void* dl = nullptr;
  std::string host;
  int loads = 0;
};

// Recursive: a DllMain may load or free other modules.
std::recursive_mutex g_lock;
std::map<void*, Module>& Modules() {
  static auto* modules = new std::map<void*, Module>;
  return *modules;
}

using DllMainFn = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

void* BaseOf(void* dl) {
  link_map* map = nullptr;
  if (dlinfo(dl, RTLD_DI_LINKMAP, &map) != 0 || !map) return nullptr;
  Dl_info info;
  if (!dladdr(map->l_ld, &info)) return nullptr;
  return info.dli_fbase;
}

std::string ProgramPath() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  path[n] = 0;
  return path;
}

void* ProgramBase() {
  static void* base = [] {
    void* self = dlopen(nullptr, RTLD_NOW);
    void* b = self ? BaseOf(self) : nullptr;
    return b;
  }();
  return base;
}

bool IsFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Canonical(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? resolved : path;
}

// Where LoadLibraryA finds a module: a host path, a Windows path, or a bare name searched in
// the program's folder and then in the machine's system folder.
std::string FindModule(const std::string& name) {
  if (name.empty()) return "";
  if (name[0] == '/' && IsFile(name)) return name;
  bool bare = name.find('\\') == std::string::npos && name.find('/') == std::string::npos &&
              name.find(':') == std::string::npos;
  if (!bare) {
    std::string host = HostPath(name.c_str());
    return IsFile(host) ? host : "";
  }
  std::string file = name;
  if (file.find('.') == std::string::npos) file += ".dll";  // Windows' default extension
  std::string program = ProgramPath();
  std::string dir = program.substr(0, program.rfind('/'));
  for (const std::string& candidate :
       {dir + "/" + file, sim::HostPathFromWindows("C:\\windows\\system32\\" + file)}) {
    if (IsFile(candidate)) return candidate;
    // Spelling on disk may differ in case from the name asked for.
    std::string folder = candidate.substr(0, candidate.rfind('/'));
    if (DIR* d = opendir(folder.c_str())) {
      std::string hit;
      while (dirent* e = readdir(d))
        if (strcasecmp(e->d_name, file.c_str()) == 0) hit = folder + "/" + e->d_name;
      closedir(d);
      if (IsFile(hit)) return hit;
    }
  }
  return "";
}

std::string FileNameOf(HMODULE module) {
  if (!module || module == ProgramBase()) return ProgramPath();
  {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    auto it = Modules().find(module);
    if (it != Modules().end()) return it->second.host;
  }
  Dl_info info;
  if (dladdr(module, &info) && info.dli_fbase == module && info.dli_fname) return Canonical(info.dli_fname);
  return "";
}

// A dynamic-loader handle for a loaded module (the program for null).
void* HandleOf(HMODULE module, bool* owned) {
  *owned = false;
  if (!module || module == ProgramBase()) return dlopen(nullptr, RTLD_NOW);
  {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    auto it = Modules().find(module);
    if (it != Modules().end()) return it->second.dl;
  }
  Dl_info info;
  if (dladdr(module, &info) && info.dli_fbase == module && info.dli_fname) {
    *owned = true;
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  }
  return nullptr;
}

DllMainFn EntryPoint(void* dl, void* base) {
  void* symbol = dlsym(dl, "DllMain");
  Dl_info info;
  // Only the module's own DllMain, never one found in a module it depends on.
  if (!symbol || !dladdr(symbol, &info) || info.dli_fbase != base) return nullptr;
  return reinterpret_cast<DllMainFn>(symbol);
}

}  // namespace
}  // namespace velno::kernel

using namespace velno::kernel;

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string host = FindModule(fileName);
  if (host.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  host = Canonical(host);
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  void* dl = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!dl) {
    // The file is there: it is not a module, or something it needs is missing.
    const char* why = dlerror();
    SetLastError(why && strstr(why, "cannot open shared object") ? ERROR_MOD_NOT_FOUND : ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  void* base = BaseOf(dl);
  auto it = Modules().find(base);
  if (it != Modules().end()) {
    dlclose(dl);  // the module keeps its first loader handle
    ++it->second.loads;
    return static_cast<HMODULE>(base);
  }
  Modules()[base] = Module{dl, host, 1};
  if (DllMainFn entry = EntryPoint(dl, base)) {
    if (!entry(static_cast<HINSTANCE>(base), DLL_PROCESS_ATTACH, nullptr)) {
      // A refused attach is followed by a detach, then the module is unloaded.
      entry(static_cast<HINSTANCE>(base), DLL_PROCESS_DETACH, nullptr);
      Modules().erase(base);
      dlclose(dl);
      SetLastError(ERROR_DLL_INIT_FAILED);
      return nullptr;
    }
  }
  return static_cast<HMODULE>(base);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
  std::lock_guard<std::recursive_mutex> guard(g_lock);
  auto it = Modules().find(module);
  if (it == Modules().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--it->second.loads > 0) return TRUE;
  void* dl = it->second.dl;
  if (DllMainFn entry = EntryPoint(dl, module)) entry(module, DLL_PROCESS_DETACH, nullptr);
  Modules().erase(module);
  dlclose(dl);
  return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
  if (!procName || reinterpret_cast<uintptr_t>(procName) <= 0xFFFF) {
    // Exports by ordinal do not exist here.
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  bool owned = false;
  void* dl = HandleOf(module, &owned);
  if (!dl) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  void* base = module ? static_cast<void*>(module) : ProgramBase();
  void* symbol = dlsym(dl, procName);
  Dl_info info;
  if (symbol && (!dladdr(symbol, &info) || info.dli_fbase != base)) symbol = nullptr;  // exported by another module
  if (owned) dlclose(dl);
  if (!symbol) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  if (!moduleName) return static_cast<HMODULE>(ProgramBase());
  std::string wanted = moduleName;
  for (char& c : wanted)
    if (c == '\\') c = '/';
  wanted = wanted.substr(wanted.rfind('/') + 1);
  if (wanted.find('.') == std::string::npos) wanted += ".dll";
  struct Search {
    std::string name;
    void* base = nullptr;
  } search{wanted};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* s = static_cast<Search*>(data);
        const char* path = info->dlpi_name;
        if (!path || !*path) return 0;
        const char* slash = strrchr(path, '/');
        if (strcasecmp(slash ? slash + 1 : path, s->name.c_str()) != 0) return 0;
        Dl_info dl;
        if (dladdr(reinterpret_cast<void*>(info->dlpi_addr + info->dlpi_phdr[0].p_vaddr), &dl)) s->base = dl.dli_fbase;
        return s->base ? 1 : 0;
      },
      &search);
  if (!search.base) {
    std::string program = ProgramPath();
    if (strcasecmp(program.substr(program.rfind('/') + 1).c_str(), wanted.c_str()) == 0) return static_cast<HMODULE>(ProgramBase());
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return static_cast<HMODULE>(search.base);
}

// The module's Windows path when it lies on drive C, otherwise its host path. A buffer that
// is too small gets as much as fits with a terminator; the call then returns the buffer size
// and sets ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  std::string host = FileNameOf(module);
  if (host.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  std::string path = velno::sim::WindowsPathFromHost(host);
  if (path.empty()) path = host;
  if (!fileName || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() >= size) {
    memcpy(fileName, path.data(), size - 1);
    fileName[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  memcpy(fileName, path.c_str(), path.size() + 1);
  SetLastError(ERROR_SUCCESS);
  return DWORD(path.size());
}

BOOL WINAPI DisableThreadLibraryCalls(HMODULE module) {
  // Thread attach and detach notifications are never sent here; the call only checks the handle.
  if (FileNameOf(module).empty()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
