// CWinApp: the application object, its start-up and the main message loop.
#include "afx_internal.h"

IMPLEMENT_DYNAMIC(CWinApp, CCmdTarget)

static CWinApp* g_pApp = NULL;
static HINSTANCE g_hInstResource = NULL;

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_hInstance(NULL), m_lpCmdLine(NULL), m_nCmdShow(SW_SHOWNORMAL), m_pszAppName(lpszAppName), m_pMainWnd(NULL) {
  g_pApp = this;
}

CWinApp::~CWinApp() {
  if (g_pApp == this) g_pApp = NULL;
}

CWinApp* AfxGetApp() { return g_pApp; }

CWnd* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : NULL; }

HINSTANCE AfxGetInstanceHandle() {
  if (g_pApp && g_pApp->m_hInstance) return g_pApp->m_hInstance;
  return ::GetModuleHandleA(NULL);
}

HINSTANCE AfxGetResourceHandle() { return g_hInstResource ? g_hInstResource : AfxGetInstanceHandle(); }

void AfxSetResourceHandle(HINSTANCE hInstResource) { g_hInstResource = hInstResource; }

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow) {
  if (g_pApp) {
    g_pApp->m_hInstance = hInstance;
    g_pApp->m_lpCmdLine = lpCmdLine;
    g_pApp->m_nCmdShow = nCmdShow;
  }
  return TRUE;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
  CWinApp* pApp = AfxGetApp();
  if (pApp == NULL || !AfxWinInit(hInstance, hPrevInstance, lpCmdLine, nCmdShow)) return -1;
  int nReturnCode;
  if (!pApp->InitInstance()) {
    if (pApp->m_pMainWnd != NULL) pApp->m_pMainWnd->DestroyWindow();
    nReturnCode = pApp->ExitInstance();
  } else {
    nReturnCode = pApp->Run();
  }
  AfxDeleteTempMap();
  return nReturnCode;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

BOOL CWinApp::OnIdle(LONG) {
  AfxDeleteTempMap();
  return FALSE;
}

BOOL CWinApp::PreTranslateMessage(MSG* pMsg) {
  return AfxPreTranslateMessage(pMsg, m_pMainWnd ? m_pMainWnd->m_hWnd : NULL);
}

int CWinApp::Run() {
  MSG msg;
  for (;;) {
    if (!::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) OnIdle(0);
    BOOL bRet = ::GetMessageA(&msg, NULL, 0, 0);
    if (bRet == 0 || bRet == -1) break;
    if (!PreTranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  return ExitInstance();
}

void CWinApp::SetRegistryKey(LPCSTR lpszRegistryKey) { m_strRegistryKey = lpszRegistryKey; }

void CWinApp::OnHelp() {}
