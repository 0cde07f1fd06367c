// Per-thread framework state and the temporary wrapper maps.
#include "afx_internal.h"

AfxThreadState* AfxGetThreadState() {
  static thread_local AfxThreadState state;
  return &state;
}

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
