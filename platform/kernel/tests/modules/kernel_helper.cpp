// The second process of the kernel's tests. Usage: velno_kernel_helper COMMAND ARGS...
//   map-read NAME             opens the mapping, prints its first bytes, writes "reply" at 100
//   map-create-abandon NAME   creates the mapping, fills it with 0x77 and ends without closing
//   exit CODE                 ends with that exit code (after a short pause)
//   env NAME                  prints an environment variable as the kernel sees it
//   debug TEXT                writes TEXT to the debug output
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string command = argv[1];
  if (command == "map-read" && argc == 3) {
    HANDLE m = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, argv[2]);
    if (!m) {
      printf("open failed %u\n", GetLastError());
      return 1;
    }
    char* view = static_cast<char*>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view) return 3;
    printf("%.32s\n", view);
    strcpy(view + 100, "reply");
    UnmapViewOfFile(view);
    CloseHandle(m);
    return 0;
  }
  if (command == "map-create-abandon" && argc == 3) {
    HANDLE m = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, argv[2]);
    if (!m) return 1;
    char* view = static_cast<char*>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    memset(view, 0x77, 4096);
    _Exit(0);  // no cleanup: the mapping's bookkeeping still names this process
  }
  if (command == "exit" && argc == 3) {
    Sleep(50);
    return atoi(argv[2]);
  }
  if (command == "env" && argc == 3) {
    char value[1024];
    DWORD n = GetEnvironmentVariableA(argv[2], value, sizeof value);
    printf("%s\n", n ? value : "(unset)");
    return 0;
  }
  if (command == "debug" && argc == 3) {
    OutputDebugStringA(argv[2]);
    return 0;
  }
  return 2;
}
