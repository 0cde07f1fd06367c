// Per-thread framework state and the temporary wrapper maps.
#include "afx_internal.h"

namespace {
thread_local bool t_stateGone = false;
}

AfxThreadState::~AfxThreadState() {
  for (auto& [h, wnd] : tempWindows) wnd->m_hWnd = NULL;
  for (auto& [h, obj] : tempGdiObjects) obj->m_hObject = NULL;
  for (auto& [h, dc] : tempDCs) dc->m_hDC = dc->m_hAttribDC = NULL;
  t_stateGone = true;
}

AfxThreadState* AfxGetThreadState() {
  static thread_local AfxThreadState state;
  return &state;
}

BOOL AfxThreadStateAlive() { return !t_stateGone; }

void AfxDeleteTempMap() {
  AfxThreadState* s = AfxGetThreadState();
  // Temporary wrappers never own their handles.
  for (auto& [h, wnd] : s->tempWindows) wnd->m_hWnd = NULL;
  s->tempWindows.clear();
  for (auto& [h, obj] : s->tempGdiObjects) obj->m_hObject = NULL;
  s->tempGdiObjects.clear();
  for (auto& [h, dc] : s->tempDCs) dc->m_hDC = dc->m_hAttribDC = NULL;
  s->tempDCs.clear();
}
