// The application framework's core: objects with run-time class names, the framework's
// exceptions, 8-bit strings, pointer arrays and the small geometry classes.
#pragma once
#include <windows.h>

#include <stdarg.h>

class CObject;

// Run-time class information: the class name and the base class, enough for IsKindOf.
struct CRuntimeClass {
  LPCSTR m_lpszClassName;
  int m_nObjectSize;
  const CRuntimeClass* m_pBaseClass;
  BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name) \
 public:                             \
  static const CRuntimeClass class##class_name; \
  const CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                                  \
  const CRuntimeClass class_name::class##class_name = {#class_name, (int)sizeof(class_name),            \
                                                       RUNTIME_CLASS(base_class_name)};                  \
  const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

class CObject {
 public:
  static const CRuntimeClass classCObject;
  virtual const CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject() = default;
  BOOL IsKindOf(const CRuntimeClass* pClass) const;

 protected:
  CObject() = default;

 private:
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;
};

// Exceptions of the framework are thrown as pointers and deleted by the catcher (Delete()).
class CException : public CObject {
  DECLARE_DYNAMIC(CException)
 public:
  void Delete() { delete this; }
  virtual BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) const;
};

class CInvalidArgException : public CException {
  DECLARE_DYNAMIC(CInvalidArgException)
 public:
  BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) const override;
};

class CMemoryException : public CException {
  DECLARE_DYNAMIC(CMemoryException)
};

[[noreturn]] void AfxThrowInvalidArgException();
[[noreturn]] void AfxThrowMemoryException();

// ---------------------------------------------------------------------------------------------
// Geometry.

class CSize : public tagSIZE {
 public:
  CSize() { cx = cy = 0; }
  CSize(int x, int y) { cx = x; cy = y; }
  CSize(SIZE s) { cx = s.cx; cy = s.cy; }
  BOOL operator==(SIZE s) const { return cx == s.cx && cy == s.cy; }
  BOOL operator!=(SIZE s) const { return !(*this == s); }
};

class CPoint : public tagPOINT {
 public:
  CPoint() { x = y = 0; }
  CPoint(int ix, int iy) { x = ix; y = iy; }
  CPoint(POINT p) { x = p.x; y = p.y; }
  // From a mouse message's lParam: x in the low word, y in the high word, both signed.
  explicit CPoint(LPARAM dwPoint) {
    x = (short)LOWORD(dwPoint);
    y = (short)HIWORD(dwPoint);
  }
  void Offset(int dx, int dy) { x += dx; y += dy; }
  BOOL operator==(POINT p) const { return x == p.x && y == p.y; }
  BOOL operator!=(POINT p) const { return !(*this == p); }
};

class CRect : public tagRECT {
 public:
  CRect() { left = top = right = bottom = 0; }
  CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
  CRect(const RECT& r) { left = r.left; top = r.top; right = r.right; bottom = r.bottom; }
  CRect(POINT topLeft, SIZE size) {
    left = topLeft.x; top = topLeft.y; right = left + size.cx; bottom = top + size.cy;
  }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CSize Size() const { return CSize(Width(), Height()); }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint BottomRight() const { return CPoint(right, bottom); }
  CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
  BOOL IsRectEmpty() const { return left >= right || top >= bottom; }
  BOOL IsRectNull() const { return left == 0 && right == 0 && top == 0 && bottom == 0; }
  // A point is inside when left <= x < right and top <= y < bottom, as PtInRect has it.
  BOOL PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  void SetRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
  void SetRectEmpty() { left = top = right = bottom = 0; }
  void OffsetRect(int dx, int dy) { left += dx; right += dx; top += dy; bottom += dy; }
  void InflateRect(int dx, int dy) { left -= dx; right += dx; top -= dy; bottom += dy; }
  void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
  operator LPRECT() { return this; }
  operator LPCRECT() const { return this; }
  BOOL operator==(const RECT& r) const {
    return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
  }
  BOOL operator!=(const RECT& r) const { return !(*this == r); }
};

// ---------------------------------------------------------------------------------------------
// 8-bit strings with value semantics. The buffer is always zero-terminated.

class CString {
 public:
  CString();
  CString(LPCSTR psz);
  CString(LPCSTR pch, int nLength);
  CString(char ch, int nRepeat = 1);
  CString(const CString& other);
  CString(CString&& other) noexcept;
  ~CString();

  CString& operator=(const CString& other);
  CString& operator=(CString&& other) noexcept;
  CString& operator=(LPCSTR psz);
  CString& operator=(char ch);
  CString& operator+=(const CString& s);
  CString& operator+=(LPCSTR psz);
  CString& operator+=(char ch);

  int GetLength() const { return m_nLength; }
  BOOL IsEmpty() const { return m_nLength == 0; }
  void Empty();
  char GetAt(int nIndex) const;
  void SetAt(int nIndex, char ch);
  char operator[](int nIndex) const { return GetAt(nIndex); }
  operator LPCSTR() const { return m_pszData; }
  LPCSTR GetString() const { return m_pszData; }

  // Byte-wise comparison (strcmp), and case-insensitive comparison in the C locale.
  int Compare(LPCSTR psz) const;
  int CompareNoCase(LPCSTR psz) const;

  CString Left(int nCount) const;
  CString Right(int nCount) const;
  CString Mid(int nFirst) const;
  CString Mid(int nFirst, int nCount) const;
  int Find(char ch, int nStart = 0) const;
  int Find(LPCSTR pszSub, int nStart = 0) const;
  int ReverseFind(char ch) const;
  CString& MakeUpper();
  CString& MakeLower();
  CString& Trim();
  CString& TrimLeft();
  CString& TrimRight();
  int Replace(LPCSTR pszOld, LPCSTR pszNew);
  int Delete(int nIndex, int nCount = 1);
  int Insert(int nIndex, LPCSTR psz);

  void Format(LPCSTR pszFormat, ...);
  void FormatV(LPCSTR pszFormat, va_list args);
  void AppendFormat(LPCSTR pszFormat, ...);

  // Direct access to the buffer: at least nMinBufLength characters plus the terminator.
  LPSTR GetBuffer(int nMinBufLength = 0);
  LPSTR GetBufferSetLength(int nLength);
  // nNewLength < 0: the length is that of the zero-terminated text in the buffer.
  void ReleaseBuffer(int nNewLength = -1);

  friend CString operator+(const CString& a, const CString& b);
  friend CString operator+(const CString& a, LPCSTR b);
  friend CString operator+(LPCSTR a, const CString& b);
  friend CString operator+(const CString& a, char b);

 private:
  void Assign(LPCSTR pch, int nLength);
  void Reserve(int nCapacity);

  LPSTR m_pszData;
  int m_nLength;
  int m_nCapacity;
  static char s_empty[1];
};

inline bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
inline bool operator==(const CString& a, LPCSTR b) { return a.Compare(b) == 0; }
inline bool operator==(LPCSTR a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }
inline bool operator!=(const CString& a, LPCSTR b) { return a.Compare(b) != 0; }
inline bool operator!=(LPCSTR a, const CString& b) { return b.Compare(a) != 0; }
inline bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }

// ---------------------------------------------------------------------------------------------
// A growable array of untyped pointers. An index outside 0 .. size-1 throws
// CInvalidArgException*.

class CPtrArray : public CObject {
  DECLARE_DYNAMIC(CPtrArray)
 public:
  CPtrArray();
  ~CPtrArray() override;

  INT_PTR GetSize() const { return m_nSize; }
  INT_PTR GetCount() const { return m_nSize; }
  BOOL IsEmpty() const { return m_nSize == 0; }
  INT_PTR GetUpperBound() const { return m_nSize - 1; }
  void SetSize(INT_PTR nNewSize, INT_PTR nGrowBy = -1);
  void FreeExtra();
  void RemoveAll();

  void* GetAt(INT_PTR nIndex) const;
  void SetAt(INT_PTR nIndex, void* newElement);
  void*& ElementAt(INT_PTR nIndex);
  const void** GetData() const { return (const void**)m_pData; }
  void** GetData() { return m_pData; }
  void SetAtGrow(INT_PTR nIndex, void* newElement);
  INT_PTR Add(void* newElement);
  INT_PTR Append(const CPtrArray& src);
  void Copy(const CPtrArray& src);
  void InsertAt(INT_PTR nIndex, void* newElement, INT_PTR nCount = 1);
  void RemoveAt(INT_PTR nIndex, INT_PTR nCount = 1);

  void* operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
  void*& operator[](INT_PTR nIndex) { return ElementAt(nIndex); }

 private:
  void** m_pData;
  INT_PTR m_nSize;
  INT_PTR m_nMaxSize;
  INT_PTR m_nGrowBy;
};
