// Registry API: the machine's registry, persistent and shared by all of its processes.
#pragma once
#include <windef.h>
#include <winerror.h>

typedef LONG LSTATUS;
typedef DWORD REGSAM;
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_OPTION_VOLATILE 0x00000001
#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_EXECUTE 0x20019
#define KEY_ALL_ACCESS 0xF003F
#ifndef DELETE
#define DELETE 0x00010000L
#endif
#ifndef MAXIMUM_ALLOWED
#define MAXIMUM_ALLOWED 0x02000000L
#endif

WINBASEAPI LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
WINBASEAPI LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
WINBASEAPI LSTATUS WINAPI RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result);
WINBASEAPI LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options,
                                          REGSAM access, LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition);
WINBASEAPI LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                                          REGSAM access, LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition);
WINBASEAPI LSTATUS WINAPI RegCloseKey(HKEY key);
WINBASEAPI LSTATUS WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey);
WINBASEAPI LSTATUS WINAPI RegDeleteKeyW(HKEY key, LPCWSTR subKey);
WINBASEAPI LSTATUS WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName);
WINBASEAPI LSTATUS WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName);
WINBASEAPI LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                           LPDWORD dataSize);
WINBASEAPI LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                           LPDWORD dataSize);
WINBASEAPI LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                                         DWORD dataSize);
WINBASEAPI LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                                         DWORD dataSize);
WINBASEAPI LSTATUS WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                                        LPSTR className, LPDWORD classSize, LPFILETIME lastWrite);
WINBASEAPI LSTATUS WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                                        LPDWORD type, LPBYTE data, LPDWORD dataSize);
WINBASEAPI LSTATUS WINAPI RegQueryInfoKeyA(HKEY key, LPSTR className, LPDWORD classSize, LPDWORD reserved,
                                           LPDWORD subKeys, LPDWORD maxSubKeyLen, LPDWORD maxClassLen, LPDWORD values,
                                           LPDWORD maxValueNameLen, LPDWORD maxValueLen, LPDWORD securityDescriptor,
                                           LPFILETIME lastWrite);
WINBASEAPI LSTATUS WINAPI RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result);
WINBASEAPI LSTATUS WINAPI RegDeleteTreeA(HKEY key, LPCSTR subKey);
WINBASEAPI LSTATUS WINAPI RegDeleteTreeW(HKEY key, LPCWSTR subKey);
WINBASEAPI LSTATUS WINAPI RegFlushKey(HKEY key);

// System shutdown (advapi32). On the simulated machine a request is recorded, never performed.
#define SHTDN_REASON_FLAG_PLANNED 0x80000000
#define SHTDN_REASON_MAJOR_OTHER 0x00000000
#define SHTDN_REASON_MAJOR_APPLICATION 0x00040000
#define SHTDN_REASON_MAJOR_SOFTWARE 0x00030000
#define SHTDN_REASON_MINOR_OTHER 0x00000000
#define SHTDN_REASON_MINOR_INSTALLATION 0x00000002
WINBASEAPI BOOL WINAPI InitiateSystemShutdownA(LPSTR machineName, LPSTR message, DWORD timeout, BOOL forceAppsClosed,
                                               BOOL rebootAfterShutdown);
WINBASEAPI BOOL WINAPI InitiateSystemShutdownExA(LPSTR machineName, LPSTR message, DWORD timeout,
                                                 BOOL forceAppsClosed, BOOL rebootAfterShutdown, DWORD reason);
WINBASEAPI BOOL WINAPI AbortSystemShutdownA(LPSTR machineName);
#define InitiateSystemShutdown InitiateSystemShutdownA
#define InitiateSystemShutdownEx InitiateSystemShutdownExA

#define RegOpenKeyEx RegOpenKeyExA
#define RegCreateKeyEx RegCreateKeyExA
#define RegQueryValueEx RegQueryValueExA
#define RegSetValueEx RegSetValueExA
#define RegDeleteKey RegDeleteKeyA
#define RegDeleteValue RegDeleteValueA
#define RegDeleteTree RegDeleteTreeA
#define RegCreateKey RegCreateKeyA
#define RegOpenKey RegOpenKeyA
#define RegEnumKeyEx RegEnumKeyExA
#define RegEnumValue RegEnumValueA
#define RegQueryInfoKey RegQueryInfoKeyA
