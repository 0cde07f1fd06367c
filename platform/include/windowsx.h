// Message-cracking helpers.
#pragma once
#include <windows.h>

#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#define GET_WM_COMMAND_ID(wp, lp) LOWORD(wp)
#define GET_WM_COMMAND_HWND(wp, lp) ((HWND)(lp))
#define GET_WM_COMMAND_CMD(wp, lp) HIWORD(wp)
#define SubclassWindow(hwnd, proc) ((WNDPROC)SetWindowLongPtrA((hwnd), GWLP_WNDPROC, (LONG_PTR)(WNDPROC)(proc)))
#define SetWindowFont(hwnd, font, redraw) \
  ((void)SendMessageA((hwnd), WM_SETFONT, (WPARAM)(HFONT)(font), (LPARAM)(BOOL)(redraw)))
#define GetWindowFont(hwnd) ((HFONT)SendMessageA((hwnd), WM_GETFONT, 0, 0))
#define Button_GetCheck(hwnd) ((int)SendMessageA((hwnd), BM_GETCHECK, 0, 0))
#define Button_SetCheck(hwnd, check) ((void)SendMessageA((hwnd), BM_SETCHECK, (WPARAM)(int)(check), 0))
#define ComboBox_AddString(hwnd, text) ((int)SendMessageA((hwnd), CB_ADDSTRING, 0, (LPARAM)(LPCSTR)(text)))
#define ComboBox_GetCurSel(hwnd) ((int)SendMessageA((hwnd), CB_GETCURSEL, 0, 0))
#define ComboBox_SetCurSel(hwnd, index) ((int)SendMessageA((hwnd), CB_SETCURSEL, (WPARAM)(int)(index), 0))
#define ComboBox_GetCount(hwnd) ((int)SendMessageA((hwnd), CB_GETCOUNT, 0, 0))
#define DeleteFont(font) DeleteObject((HGDIOBJ)(HFONT)(font))
#define DeleteBrush(brush) DeleteObject((HGDIOBJ)(HBRUSH)(brush))
#define DeleteBitmap(bitmap) DeleteObject((HGDIOBJ)(HBITMAP)(bitmap))
#define DeleteRgn(rgn) DeleteObject((HGDIOBJ)(HRGN)(rgn))
#define SelectFont(hdc, font) ((HFONT)SelectObject((hdc), (HGDIOBJ)(HFONT)(font)))
#define SelectBitmap(hdc, bitmap) ((HBITMAP)SelectObject((hdc), (HGDIOBJ)(HBITMAP)(bitmap)))
