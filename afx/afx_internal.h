// State the framework keeps per user-interface thread: the objects attached to windows, the
// temporary wrappers made by FromHandle, and the message being handled.
#pragma once
#include <afxwin.h>

#include <memory>
#include <unordered_map>
#include <vector>

struct AfxThreadState {
  std::unordered_map<HWND, CWnd*> permanentWindows;
  std::unordered_map<HWND, std::unique_ptr<CWnd>> tempWindows;
  std::unordered_map<HGDIOBJ, std::unique_ptr<CGdiObject>> tempGdiObjects;
  std::unordered_map<HDC, std::unique_ptr<CDC>> tempDCs;
  // The message WindowProc is handling, for Default().
  MSG lastSentMsg = {};
  // The object whose window CreateEx is creating with the framework's own class; attached
  // when the window's first message arrives.
  CWnd* pWndInit = NULL;

  ~AfxThreadState();
};

AfxThreadState* AfxGetThreadState();
// FALSE once the thread's state is gone (objects destroyed after it, at the thread's or the
// program's end, must not reach it).
BOOL AfxThreadStateAlive();

// The framework's own window class (procedure AfxWndProc), registered on first use.
LPCSTR AfxRegisteredWndClass();
