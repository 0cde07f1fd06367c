// Multimedia timers.
#pragma once
#include <windef.h>
typedef UINT MMRESULT;
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97
WINBASEAPI DWORD WINAPI timeGetTime(void);
WINBASEAPI MMRESULT WINAPI timeBeginPeriod(UINT period);
WINBASEAPI MMRESULT WINAPI timeEndPeriod(UINT period);
