// A module for the kernel's module tests: DllMain records what it was called with, and
// refuses to attach when the environment asks it to.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {
HINSTANCE g_instance = nullptr;
int g_attaches = 0;
int g_detaches = 0;
}  // namespace

extern "C" WINAPI_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    if (getenv("VELNO_TEST_MODULE_REFUSE")) return FALSE;
    g_instance = instance;
    ++g_attaches;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    ++g_detaches;
    // Tell the test through the environment, which outlives this module.
    char text[16];
    snprintf(text, sizeof text, "%d", g_detaches);
    setenv("VELNO_TEST_MODULE_DETACHES", text, 1);
  }
  return TRUE;
}

extern "C" WINAPI_EXPORT int TestModuleAttaches() { return g_attaches; }

// The module's own path, found from the handle DllMain received.
extern "C" WINAPI_EXPORT DWORD TestModuleOwnPath(char* buffer, DWORD size) {
  return GetModuleFileNameA(g_instance, buffer, size);
}

extern "C" WINAPI_EXPORT HINSTANCE TestModuleInstance() { return g_instance; }
