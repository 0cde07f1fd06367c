// RegSvr32.exe: loads a module and calls its self-registration entry point.
//
//   RegSvr32.exe [/s] [/u] DLLPATH
//
// /u calls DllUnregisterServer instead of DllRegisterServer; /s prints nothing. The result is
// printed to standard output (where Windows shows a message box) and given as the exit code:
// 0 success, 1 bad arguments, 2 COM could not be initialised, 3 the module failed to load,
// 4 the entry point is missing, 5 the entry point failed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

enum ExitCode { kOk = 0, kFailArgs = 1, kFailOle = 2, kFailLoad = 3, kFailEntry = 4, kFailReg = 5 };

bool IsOption(const char* arg, char letter) {
  return (arg[0] == '/' || arg[0] == '-') && (arg[1] == letter || arg[1] == (letter - 'a' + 'A')) && arg[2] == '\0';
}

void Usage() {
  printf(
      "Usage: RegSvr32.exe [/u] [/s] dllname\n"
      "/u - Unregister server\n"
      "/s - Silent; display no message boxes\n");
}

}  // namespace

int main(int argc, char** argv) {
  bool silent = false, unregister = false;
  const char* module = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (IsOption(argv[i], 's')) {
      silent = true;
    } else if (IsOption(argv[i], 'u')) {
      unregister = true;
    } else if (argv[i][0] == '/' && argv[i][1] != '\0' && strchr(argv[i] + 1, '/') == nullptr &&
               strchr(argv[i] + 1, '\\') == nullptr) {
      if (!silent) printf("Unrecognized flag: %s\n", argv[i]);
      return kFailArgs;
    } else if (!module) {
      module = argv[i];
    } else {
      if (!silent) Usage();
      return kFailArgs;
    }
  }
  if (!module) {
    if (!silent) Usage();
    return kFailArgs;
  }
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";

  if (FAILED(CoInitialize(nullptr))) {
    if (!silent) printf("OleInitialize failed.\n");
    return kFailOle;
  }
  int result = kOk;
  HMODULE library = LoadLibraryA(module);
  if (!library) {
    DWORD error = GetLastError();
    if (!silent)
      printf("The module \"%s\" failed to load.\n\nMake sure the binary is stored at the specified path.\n\n"
             "Error code 0x%08X.\n",
             module, static_cast<unsigned>(HRESULT_FROM_WIN32(error)));
    result = kFailLoad;
  } else {
    auto call = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(library, entry)));
    if (!call) {
      if (!silent)
        printf("The module \"%s\" was loaded but the entry-point %s was not found.\n\n"
               "Make sure that \"%s\" is a valid DLL or OCX file and then try again.\n",
               module, entry, module);
      result = kFailEntry;
    } else {
      HRESULT hr = call();
      if (FAILED(hr)) {
        if (!silent)
          printf("The module \"%s\" was loaded but the call to %s failed with error code 0x%08X.\n", module, entry,
                 static_cast<unsigned>(hr));
        result = kFailReg;
      } else if (!silent) {
        printf("%s in %s succeeded.\n", entry, module);
      }
    }
    FreeLibrary(library);
  }
  CoUninitialize();
  return result;
}
