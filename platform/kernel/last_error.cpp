// GetLastError / SetLastError: one value per thread, as on Windows.
#include <windows.h>

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD WINAPI GetLastError(void) { return t_lastError; }
void WINAPI SetLastError(DWORD code) { t_lastError = code; }
