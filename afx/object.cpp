// Run-time class information and the framework's exceptions.
#include <afx.h>

#include <new>

const CRuntimeClass CObject::classCObject = {"CObject", (int)sizeof(CObject), NULL};

const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
  for (const CRuntimeClass* p = this; p != NULL; p = p->m_pBaseClass) {
    if (p == pBaseClass) return TRUE;
  }
  return FALSE;
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
  return GetRuntimeClass()->IsDerivedFrom(pClass);
}

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CInvalidArgException, CException)
IMPLEMENT_DYNAMIC(CMemoryException, CException)

static BOOL CopyMessage(LPCSTR text, LPSTR lpszError, UINT nMaxError) {
  if (lpszError == NULL || nMaxError == 0) return FALSE;
  UINT i = 0;
  for (; i + 1 < nMaxError && text[i] != 0; ++i) lpszError[i] = text[i];
  lpszError[i] = 0;
  return TRUE;
}

BOOL CException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
  if (pnHelpContext) *pnHelpContext = 0;
  return CopyMessage("Unknown error", lpszError, nMaxError);
}

BOOL CInvalidArgException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
  if (pnHelpContext) *pnHelpContext = 0;
  return CopyMessage("Invalid argument", lpszError, nMaxError);
}

void AfxThrowInvalidArgException() { throw new CInvalidArgException; }

void AfxThrowMemoryException() { throw new CMemoryException; }
