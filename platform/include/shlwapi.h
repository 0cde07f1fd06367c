// Shell light-weight helpers: the version structure that shell libraries report through their
// exported DllGetVersion (Shell32.dll's is implemented by platform/shell).
#pragma once
#include <windows.h>

typedef struct _DLLVERSIONINFO {
  DWORD cbSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformID;
} DLLVERSIONINFO;
static_assert(sizeof(DLLVERSIONINFO) == 20, "DLLVERSIONINFO");
#define DLLVER_PLATFORM_WINDOWS 0x00000001
#define DLLVER_PLATFORM_NT 0x00000002
typedef HRESULT(CALLBACK* DLLGETVERSIONPROC)(DLLVERSIONINFO*);
