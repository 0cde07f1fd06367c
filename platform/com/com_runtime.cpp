// The COM runtime: apartments per thread, class lookup (built-in classes first, then
// in-process servers registered under HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32), and
// the servers it keeps loaded until CoFreeUnusedLibraries finds them unused.
#include <velno/com_classes.h>
#include <velno/machine.h>
#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

// ---- apartments ----

thread_local int t_initCount = 0;
thread_local bool t_apartmentThreaded = false;
std::atomic<int> g_multithreadedThreads{0};

// A thread that never called CoInitialize(Ex) belongs to the process's multithreaded
// apartment as soon as some other thread has created it.
bool ThreadCanUseCom() { return t_initCount > 0 || g_multithreadedThreads.load() > 0; }

// ---- built-in classes ----

struct BuiltinTable {
  std::mutex mutex;
  std::vector<std::pair<CLSID, velno::com::CreateInstanceFn>> classes;
};
BuiltinTable& Builtins() {
  static BuiltinTable table;
  return table;
}
velno::com::CreateInstanceFn FindBuiltin(REFCLSID clsid) {
  BuiltinTable& table = Builtins();
  std::lock_guard<std::mutex> lock(table.mutex);
  for (const auto& [id, create] : table.classes)
    if (IsEqualGUID(id, clsid)) return create;
  return nullptr;
}

// The class factory handed out for a built-in class.
class BuiltinFactory final : public IClassFactory {
 public:
  explicit BuiltinFactory(velno::com::CreateInstanceFn create) : create_(create) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return create_(outer, riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  velno::com::CreateInstanceFn create_;
  std::atomic<ULONG> refs_{1};
};

// ---- in-process servers ----

struct Server {
  HMODULE module = nullptr;
  LPFNGETCLASSOBJECT getClassObject = nullptr;
  LPFNCANUNLOADNOW canUnloadNow = nullptr;
};
std::mutex g_serverMutex;
std::map<std::string, Server> g_servers;  // by the host path of the module file

template <class Fn>
Fn Symbol(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The file a module path names on this machine, so that the same Windows path on two
// machines is two modules.
std::string HostPath(const std::string& modulePath) {
  if (!modulePath.empty() && modulePath[0] == '/') return modulePath;
  return velno::sim::HostPathFromWindows(modulePath);
}

// Loads (or finds already loaded) the server module. Returns the HRESULT of the failure.
HRESULT LoadServer(const std::string& modulePath, Server* out) {
  std::string key = HostPath(modulePath);
  std::lock_guard<std::mutex> lock(g_serverMutex);
  auto it = g_servers.find(key);
  if (it != g_servers.end()) {
    *out = it->second;
    return S_OK;
  }
  Server server;
  server.module = LoadLibraryA(modulePath.c_str());
  if (!server.module) {
    DWORD error = GetLastError();
    return HRESULT_FROM_WIN32(error ? error : ERROR_MOD_NOT_FOUND);
  }
  server.getClassObject = Symbol<LPFNGETCLASSOBJECT>(server.module, "DllGetClassObject");
  server.canUnloadNow = Symbol<LPFNCANUNLOADNOW>(server.module, "DllCanUnloadNow");
  if (!server.getClassObject) {
    FreeLibrary(server.module);
    return CO_E_ERRORINDLL;
  }
  g_servers[key] = server;
  *out = server;
  return S_OK;
}

// The module path registered for a class, or the HRESULT saying why there is none.
HRESULT RegisteredServerPath(REFCLSID clsid, std::string* path) {
  char16_t text[40];
  StringFromGUID2(clsid, text, 40);
  std::string key = "CLSID\\";
  for (int i = 0; text[i]; ++i) key.push_back(static_cast<char>(text[i]));
  key += "\\InprocServer32";
  HKEY server = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &server) != ERROR_SUCCESS)
    return REGDB_E_CLASSNOTREG;
  char value[MAX_PATH * 4] = {};
  DWORD size = sizeof value - 1, type = 0;
  LONG rc = RegQueryValueExA(server, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(server);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return REGDB_E_CLASSNOTREG;
  value[size] = '\0';
  *path = value;
  while (!path->empty() && (path->back() == ' ' || path->back() == '"')) path->pop_back();
  if (!path->empty() && path->front() == '"') path->erase(0, 1);
  if (path->empty()) return REGDB_E_CLASSNOTREG;
  return S_OK;
}

}  // namespace

namespace velno::com {
bool RegisterBuiltinClass(REFCLSID clsid, CreateInstanceFn create) {
  BuiltinTable& table = Builtins();
  std::lock_guard<std::mutex> lock(table.mutex);
  for (auto& entry : table.classes) {
    if (IsEqualGUID(entry.first, clsid)) {
      entry.second = create;
      return true;
    }
  }
  table.classes.emplace_back(clsid, create);
  return true;
}
}  // namespace velno::com

HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD coInit) {
  if (reserved) return E_INVALIDARG;
  const bool apartment = (coInit & COINIT_APARTMENTTHREADED) != 0;
  if (t_initCount > 0) {
    if (apartment != t_apartmentThreaded) return RPC_E_CHANGED_MODE;
    ++t_initCount;
    return S_FALSE;
  }
  t_initCount = 1;
  t_apartmentThreaded = apartment;
  if (!apartment) ++g_multithreadedThreads;
  return S_OK;
}

HRESULT WINAPI CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void WINAPI CoUninitialize(void) {
  if (t_initCount == 0) return;
  if (--t_initCount == 0 && !t_apartmentThreaded) --g_multithreadedThreads;
}

HRESULT WINAPI CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID reserved, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (!ThreadCanUseCom()) return CO_E_NOTINITIALIZED;
  if (auto create = FindBuiltin(clsid)) {
    auto* factory = new BuiltinFactory(create);
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
  }
  if (!(context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER))) return REGDB_E_CLASSNOTREG;
  std::string path;
  if (HRESULT hr = RegisteredServerPath(clsid, &path); FAILED(hr)) return hr;
  Server server;
  if (HRESULT hr = LoadServer(path, &server); FAILED(hr)) return hr;
  HRESULT hr = server.getClassObject(clsid, riid, ppv);
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (!ThreadCanUseCom()) return CO_E_NOTINITIALIZED;
  if (auto create = FindBuiltin(clsid)) {
    HRESULT hr = create(outer, riid, ppv);
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
  }
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  if (!factory) return E_NOINTERFACE;
  hr = factory->CreateInstance(outer, riid, ppv);
  factory->Release();
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

void WINAPI CoFreeUnusedLibraries(void) {
  std::vector<Server> unload;
  {
    std::lock_guard<std::mutex> lock(g_serverMutex);
    for (auto it = g_servers.begin(); it != g_servers.end();) {
      if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK) {
        unload.push_back(it->second);
        it = g_servers.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const Server& server : unload) FreeLibrary(server.module);
}
