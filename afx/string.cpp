// CString: an 8-bit string with its own zero-terminated buffer.
#include <afx.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

char CString::s_empty[1] = {0};

CString::CString() : m_pszData(s_empty), m_nLength(0), m_nCapacity(0) {}

CString::CString(LPCSTR psz) : CString() {
  if (psz) Assign(psz, (int)strlen(psz));
}

CString::CString(LPCSTR pch, int nLength) : CString() {
  if (pch && nLength > 0) Assign(pch, nLength);
}

CString::CString(char ch, int nRepeat) : CString() {
  if (nRepeat > 0) {
    Reserve(nRepeat);
    memset(m_pszData, ch, (size_t)nRepeat);
    m_nLength = nRepeat;
    m_pszData[m_nLength] = 0;
  }
}

CString::CString(const CString& other) : CString() { Assign(other.m_pszData, other.m_nLength); }

CString::CString(CString&& other) noexcept
    : m_pszData(other.m_pszData), m_nLength(other.m_nLength), m_nCapacity(other.m_nCapacity) {
  other.m_pszData = s_empty;
  other.m_nLength = 0;
  other.m_nCapacity = 0;
}

CString::~CString() {
  if (m_pszData != s_empty) free(m_pszData);
}

void CString::Reserve(int nCapacity) {
  if (nCapacity <= m_nCapacity) return;
  int grow = m_nCapacity + m_nCapacity / 2;
  if (grow > nCapacity) nCapacity = grow;
  char* p = (char*)malloc((size_t)nCapacity + 1);
  if (p == NULL) AfxThrowMemoryException();
  memcpy(p, m_pszData, (size_t)m_nLength + 1);
  if (m_pszData != s_empty) free(m_pszData);
  m_pszData = p;
  m_nCapacity = nCapacity;
}

void CString::Assign(LPCSTR pch, int nLength) {
  if (nLength <= 0) {
    Empty();
    return;
  }
  if (pch >= m_pszData && pch <= m_pszData + m_nLength) {
    // Assigning a part of ourselves: go through a copy.
    CString copy(pch, nLength);
    *this = static_cast<CString&&>(copy);
    return;
  }
  Reserve(nLength);
  memcpy(m_pszData, pch, (size_t)nLength);
  m_nLength = nLength;
  m_pszData[m_nLength] = 0;
}

void CString::Empty() {
  if (m_nCapacity > 0) {
    m_nLength = 0;
    m_pszData[0] = 0;
  }
}

CString& CString::operator=(const CString& other) {
  if (this != &other) Assign(other.m_pszData, other.m_nLength);
  return *this;
}

CString& CString::operator=(CString&& other) noexcept {
  if (this != &other) {
    if (m_pszData != s_empty) free(m_pszData);
    m_pszData = other.m_pszData;
    m_nLength = other.m_nLength;
    m_nCapacity = other.m_nCapacity;
    other.m_pszData = s_empty;
    other.m_nLength = 0;
    other.m_nCapacity = 0;
  }
  return *this;
}

CString& CString::operator=(LPCSTR psz) {
  if (psz == NULL) Empty();
  else Assign(psz, (int)strlen(psz));
  return *this;
}

CString& CString::operator=(char ch) {
  Assign(&ch, 1);
  return *this;
}

CString& CString::operator+=(const CString& s) {
  CString copy(s);  // s may be *this
  Reserve(m_nLength + copy.m_nLength);
  memcpy(m_pszData + m_nLength, copy.m_pszData, (size_t)copy.m_nLength + 1);
  m_nLength += copy.m_nLength;
  return *this;
}

CString& CString::operator+=(LPCSTR psz) {
  if (psz) *this += CString(psz);
  return *this;
}

CString& CString::operator+=(char ch) {
  Reserve(m_nLength + 1);
  m_pszData[m_nLength++] = ch;
  m_pszData[m_nLength] = 0;
  return *this;
}

char CString::GetAt(int nIndex) const {
  if (nIndex < 0 || nIndex >= m_nLength) AfxThrowInvalidArgException();
  return m_pszData[nIndex];
}

void CString::SetAt(int nIndex, char ch) {
  if (nIndex < 0 || nIndex >= m_nLength) AfxThrowInvalidArgException();
  m_pszData[nIndex] = ch;
}

int CString::Compare(LPCSTR psz) const { return strcmp(m_pszData, psz ? psz : ""); }

int CString::CompareNoCase(LPCSTR psz) const {
  const unsigned char* a = (const unsigned char*)m_pszData;
  const unsigned char* b = (const unsigned char*)(psz ? psz : "");
  for (;; ++a, ++b) {
    int ca = tolower(*a), cb = tolower(*b);
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
}

CString CString::Left(int nCount) const {
  if (nCount < 0) nCount = 0;
  if (nCount > m_nLength) nCount = m_nLength;
  return CString(m_pszData, nCount);
}

CString CString::Right(int nCount) const {
  if (nCount < 0) nCount = 0;
  if (nCount > m_nLength) nCount = m_nLength;
  return CString(m_pszData + m_nLength - nCount, nCount);
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, m_nLength); }

CString CString::Mid(int nFirst, int nCount) const {
  if (nFirst < 0) nFirst = 0;
  if (nFirst > m_nLength) nFirst = m_nLength;
  if (nCount < 0) nCount = 0;
  if (nCount > m_nLength - nFirst) nCount = m_nLength - nFirst;
  return CString(m_pszData + nFirst, nCount);
}

int CString::Find(char ch, int nStart) const {
  if (nStart < 0 || nStart >= m_nLength) return -1;
  const char* p = (const char*)memchr(m_pszData + nStart, ch, (size_t)(m_nLength - nStart));
  return p ? (int)(p - m_pszData) : -1;
}

int CString::Find(LPCSTR pszSub, int nStart) const {
  if (pszSub == NULL || nStart < 0 || nStart > m_nLength) return -1;
  const char* p = strstr(m_pszData + nStart, pszSub);
  return p ? (int)(p - m_pszData) : -1;
}

int CString::ReverseFind(char ch) const {
  for (int i = m_nLength - 1; i >= 0; --i)
    if (m_pszData[i] == ch) return i;
  return -1;
}

CString& CString::MakeUpper() {
  for (int i = 0; i < m_nLength; ++i) m_pszData[i] = (char)toupper((unsigned char)m_pszData[i]);
  return *this;
}

CString& CString::MakeLower() {
  for (int i = 0; i < m_nLength; ++i) m_pszData[i] = (char)tolower((unsigned char)m_pszData[i]);
  return *this;
}

CString& CString::TrimLeft() {
  int n = 0;
  while (n < m_nLength && isspace((unsigned char)m_pszData[n])) ++n;
  if (n > 0) Delete(0, n);
  return *this;
}

CString& CString::TrimRight() {
  while (m_nLength > 0 && isspace((unsigned char)m_pszData[m_nLength - 1])) m_pszData[--m_nLength] = 0;
  return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

int CString::Replace(LPCSTR pszOld, LPCSTR pszNew) {
  if (pszOld == NULL || *pszOld == 0) return 0;
  if (pszNew == NULL) pszNew = "";
  int oldLen = (int)strlen(pszOld);
  CString result;
  int count = 0;
  int i = 0;
  for (int at; (at = Find(pszOld, i)) >= 0; i = at + oldLen, ++count) {
    result += Mid(i, at - i);
    result += pszNew;
  }
  if (count) {
    result += Mid(i);
    *this = static_cast<CString&&>(result);
  }
  return count;
}

int CString::Delete(int nIndex, int nCount) {
  if (nIndex < 0) nIndex = 0;
  if (nIndex >= m_nLength || nCount <= 0) return m_nLength;
  if (nCount > m_nLength - nIndex) nCount = m_nLength - nIndex;
  memmove(m_pszData + nIndex, m_pszData + nIndex + nCount, (size_t)(m_nLength - nIndex - nCount) + 1);
  m_nLength -= nCount;
  return m_nLength;
}

int CString::Insert(int nIndex, LPCSTR psz) {
  if (nIndex < 0) nIndex = 0;
  if (nIndex > m_nLength) nIndex = m_nLength;
  *this = Left(nIndex) + psz + Mid(nIndex);
  return m_nLength;
}

void CString::FormatV(LPCSTR pszFormat, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = vsnprintf(NULL, 0, pszFormat, copy);
  va_end(copy);
  if (n <= 0) {
    Empty();
    return;
  }
  CString out;
  out.Reserve(n);
  vsnprintf(out.m_pszData, (size_t)n + 1, pszFormat, args);
  out.m_nLength = n;
  *this = static_cast<CString&&>(out);
}

void CString::Format(LPCSTR pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  FormatV(pszFormat, args);
  va_end(args);
}

void CString::AppendFormat(LPCSTR pszFormat, ...) {
  CString more;
  va_list args;
  va_start(args, pszFormat);
  more.FormatV(pszFormat, args);
  va_end(args);
  *this += more;
}

LPSTR CString::GetBuffer(int nMinBufLength) {
  Reserve(nMinBufLength > m_nLength ? nMinBufLength : (m_nLength > 0 ? m_nLength : 1));
  return m_pszData;
}

LPSTR CString::GetBufferSetLength(int nLength) {
  if (nLength < 0) nLength = 0;
  GetBuffer(nLength);
  m_nLength = nLength;
  m_pszData[m_nLength] = 0;
  return m_pszData;
}

void CString::ReleaseBuffer(int nNewLength) {
  if (m_nCapacity == 0) return;
  if (nNewLength < 0) nNewLength = (int)strnlen(m_pszData, (size_t)m_nCapacity);
  if (nNewLength > m_nCapacity) nNewLength = m_nCapacity;
  m_nLength = nNewLength;
  m_pszData[m_nLength] = 0;
}

CString operator+(const CString& a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const CString& a, LPCSTR b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(LPCSTR a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const CString& a, char b) {
  CString r(a);
  r += b;
  return r;
}
