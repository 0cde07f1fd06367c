// controlPanel: brings the running control panel forward through the status block, or
// starts it from the folder the installation recorded.
#include "AsioSample.h"

#include <shellapi.h>

namespace {
const char kControlPanelTitle[] = "Velno-HD Audio Control Panel";
const char kControlPanelProgram[] = "VelnoHDACPLUI.exe";
}  // namespace

ASIOError CAsioSample::controlPanel() {
  auto requestShow = [this]() {
    if (BlockHasMagic(statusBlock)) {
      BlockSet(statusBlock, &StatusBlock::changed, 1);
      BlockSet(statusBlock, &StatusBlock::showRequest, 1);
    }
  };
  if (FindWindowA(NULL, kControlPanelTitle) != NULL) {
    requestShow();
    return ASE_OK;
  }
  HKEY key = NULL;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ASIO\\Velno-HD", 0, KEY_READ, &key) != ERROR_SUCCESS) return ASE_OK;
  char path[MAX_PATH + sizeof kControlPanelProgram];
  DWORD size = MAX_PATH;
  DWORD type = 0;
  LONG read = RegQueryValueExA(key, "ASIOCPL", NULL, &type, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) return ASE_OK;
  // The stored folder need not be terminated; the program name is appended after it.
  path[size < MAX_PATH ? size : MAX_PATH - 1] = 0;
  lstrcatA(path, kControlPanelProgram);
  ShellExecuteA(NULL, "open", path, NULL, NULL, SW_SHOWNORMAL);
  if (FindWindowA(NULL, kControlPanelTitle) != NULL) requestShow();
  return ASE_OK;
}
