// CPtrArray: a growable array of pointers; indices are checked.
#include <afx.h>

#include <stdlib.h>
#include <string.h>

IMPLEMENT_DYNAMIC(CPtrArray, CObject)

CPtrArray::CPtrArray() : m_pData(NULL), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {}

CPtrArray::~CPtrArray() { free(m_pData); }

void CPtrArray::SetSize(INT_PTR nNewSize, INT_PTR nGrowBy) {
  if (nNewSize < 0) AfxThrowInvalidArgException();
  if (nGrowBy >= 0) m_nGrowBy = nGrowBy;
  if (nNewSize > m_nMaxSize) {
    INT_PTR grow = m_nGrowBy;
    if (grow == 0) {
      grow = m_nSize / 8;
      grow = grow < 4 ? 4 : (grow > 1024 ? 1024 : grow);
    }
    INT_PTR newMax = m_nMaxSize + grow;
    if (newMax < nNewSize) newMax = nNewSize;
    void** p = (void**)realloc(m_pData, (size_t)newMax * sizeof(void*));
    if (p == NULL) AfxThrowMemoryException();
    m_pData = p;
    m_nMaxSize = newMax;
  }
  if (nNewSize > m_nSize) memset(m_pData + m_nSize, 0, (size_t)(nNewSize - m_nSize) * sizeof(void*));
  m_nSize = nNewSize;
}

void CPtrArray::FreeExtra() {
  if (m_nSize == m_nMaxSize) return;
  if (m_nSize == 0) {
    free(m_pData);
    m_pData = NULL;
  } else {
    void** p = (void**)realloc(m_pData, (size_t)m_nSize * sizeof(void*));
    if (p) m_pData = p;
  }
  m_nMaxSize = m_nSize;
}

void CPtrArray::RemoveAll() {
  free(m_pData);
  m_pData = NULL;
  m_nSize = m_nMaxSize = 0;
}

void* CPtrArray::GetAt(INT_PTR nIndex) const {
  if (nIndex < 0 || nIndex >= m_nSize) AfxThrowInvalidArgException();
  return m_pData[nIndex];
}

void CPtrArray::SetAt(INT_PTR nIndex, void* newElement) {
  if (nIndex < 0 || nIndex >= m_nSize) AfxThrowInvalidArgException();
  m_pData[nIndex] = newElement;
}

void*& CPtrArray::ElementAt(INT_PTR nIndex) {
  if (nIndex < 0 || nIndex >= m_nSize) AfxThrowInvalidArgException();
  return m_pData[nIndex];
}

void CPtrArray::SetAtGrow(INT_PTR nIndex, void* newElement) {
  if (nIndex < 0) AfxThrowInvalidArgException();
  if (nIndex >= m_nSize) SetSize(nIndex + 1);
  m_pData[nIndex] = newElement;
}

INT_PTR CPtrArray::Add(void* newElement) {
  INT_PTR nIndex = m_nSize;
  SetAtGrow(nIndex, newElement);
  return nIndex;
}

INT_PTR CPtrArray::Append(const CPtrArray& src) {
  INT_PTR nOldSize = m_nSize;
  if (&src == this) {
    CPtrArray copy;
    copy.Copy(src);
    return Append(copy);
  }
  SetSize(m_nSize + src.m_nSize);
  if (src.m_nSize) memcpy(m_pData + nOldSize, src.m_pData, (size_t)src.m_nSize * sizeof(void*));
  return nOldSize;
}

void CPtrArray::Copy(const CPtrArray& src) {
  if (&src == this) return;
  SetSize(src.m_nSize);
  if (src.m_nSize) memcpy(m_pData, src.m_pData, (size_t)src.m_nSize * sizeof(void*));
}

void CPtrArray::InsertAt(INT_PTR nIndex, void* newElement, INT_PTR nCount) {
  if (nIndex < 0 || nCount <= 0) AfxThrowInvalidArgException();
  if (nIndex >= m_nSize) {
    SetSize(nIndex + nCount);
  } else {
    INT_PTR nOldSize = m_nSize;
    SetSize(m_nSize + nCount);
    memmove(m_pData + nIndex + nCount, m_pData + nIndex, (size_t)(nOldSize - nIndex) * sizeof(void*));
  }
  for (INT_PTR i = 0; i < nCount; ++i) m_pData[nIndex + i] = newElement;
}

void CPtrArray::RemoveAt(INT_PTR nIndex, INT_PTR nCount) {
  if (nIndex < 0 || nCount < 0 || nIndex + nCount > m_nSize) AfxThrowInvalidArgException();
  INT_PTR nMove = m_nSize - (nIndex + nCount);
  if (nMove) memmove(m_pData + nIndex, m_pData + nIndex + nCount, (size_t)nMove * sizeof(void*));
  m_nSize -= nCount;
}
