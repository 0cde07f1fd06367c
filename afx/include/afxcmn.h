// Framework classes of the common controls: trackbar and tooltip.
#pragma once
#include <afxwin.h>
#include <commctrl.h>

// A trackbar ("msctls_trackbar32"). Its range is 0..100 unless set otherwise.
class CSliderCtrl : public CWnd {
  DECLARE_DYNAMIC(CSliderCtrl)
 public:
  virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  int GetPos() const;
  // Moves the thumb, redrawing the control.
  void SetPos(int nPos);
  int GetRangeMin() const;
  int GetRangeMax() const;
  void GetRange(int& nMin, int& nMax) const;
  void SetRange(int nMin, int nMax, BOOL bRedraw = FALSE);
  int GetPageSize() const;
  int SetPageSize(int nSize);
  int GetLineSize() const;
  int SetLineSize(int nSize);
  void GetThumbRect(LPRECT lprc) const;
  void GetChannelRect(LPRECT lprc) const;
};

// A tooltip control for tools of one window; the owner relays mouse messages to it.
class CToolTipCtrl : public CWnd {
  DECLARE_DYNAMIC(CToolTipCtrl)
 public:
  virtual BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
  void Activate(BOOL bActivate);
  // nIDTool 0: the tool is the window itself; otherwise a tool of pWnd with that id and
  // rectangle (client coordinates of pWnd).
  BOOL AddTool(CWnd* pWnd, LPCSTR lpszText, LPCRECT lpRectTool = NULL, UINT_PTR nIDTool = 0);
  void DelTool(CWnd* pWnd, UINT_PTR nIDTool = 0);
  int GetToolCount() const;
  void UpdateTipText(LPCSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool = 0);
  void GetText(CString& str, CWnd* pWnd, UINT_PTR nIDTool = 0) const;
  void RelayEvent(LPMSG lpMsg);

 private:
  void FillInToolInfo(TOOLINFOA& ti, CWnd* pWnd, UINT_PTR nIDTool) const;
};
