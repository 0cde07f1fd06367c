// Cutting an element's look out of a full-window skin image.
#pragma once
#include <afxwin.h>

// Makes pDest a bitmap compatible with pRefDC of the rectangle's size, holding a 1:1 copy of
// that rectangle of pSource. Does nothing if pSource holds no bitmap.
void CopySkinSlice(CBitmap& dest, CDC* pRefDC, CBitmap* pSource, const CRect& rect);
