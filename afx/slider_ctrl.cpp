// CSliderCtrl: the trackbar control.
#include <afxcmn.h>

IMPLEMENT_DYNAMIC(CSliderCtrl, CWnd)

BOOL CSliderCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  return CWnd::Create(TRACKBAR_CLASSA, NULL, dwStyle, rect, pParentWnd, nID);
}

int CSliderCtrl::GetPos() const { return (int)::SendMessageA(m_hWnd, TBM_GETPOS, 0, 0); }

void CSliderCtrl::SetPos(int nPos) { ::SendMessageA(m_hWnd, TBM_SETPOS, TRUE, nPos); }

int CSliderCtrl::GetRangeMin() const { return (int)::SendMessageA(m_hWnd, TBM_GETRANGEMIN, 0, 0); }

int CSliderCtrl::GetRangeMax() const { return (int)::SendMessageA(m_hWnd, TBM_GETRANGEMAX, 0, 0); }

void CSliderCtrl::GetRange(int& nMin, int& nMax) const {
  nMin = GetRangeMin();
  nMax = GetRangeMax();
}

void CSliderCtrl::SetRange(int nMin, int nMax, BOOL bRedraw) {
  ::SendMessageA(m_hWnd, TBM_SETRANGEMIN, FALSE, nMin);
  ::SendMessageA(m_hWnd, TBM_SETRANGEMAX, bRedraw, nMax);
}

int CSliderCtrl::GetPageSize() const { return (int)::SendMessageA(m_hWnd, TBM_GETPAGESIZE, 0, 0); }

int CSliderCtrl::SetPageSize(int nSize) { return (int)::SendMessageA(m_hWnd, TBM_SETPAGESIZE, 0, nSize); }

int CSliderCtrl::GetLineSize() const { return (int)::SendMessageA(m_hWnd, TBM_GETLINESIZE, 0, 0); }

int CSliderCtrl::SetLineSize(int nSize) { return (int)::SendMessageA(m_hWnd, TBM_SETLINESIZE, 0, nSize); }

void CSliderCtrl::GetThumbRect(LPRECT lprc) const { ::SendMessageA(m_hWnd, TBM_GETTHUMBRECT, 0, (LPARAM)lprc); }

void CSliderCtrl::GetChannelRect(LPRECT lprc) const {
  ::SendMessageA(m_hWnd, TBM_GETCHANNELRECT, 0, (LPARAM)lprc);
}
