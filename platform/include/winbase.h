// Kernel32 and friends: handles, synchronisation, threads, memory, files, modules.
// Implemented by platform/kernel on the simulated machine.
#pragma once
#include <windef.h>
#include <winerror.h>

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  union {
    struct { DWORD Offset; DWORD OffsetHigh; };
    PVOID Pointer;
  };
  HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;
static_assert(sizeof(OVERLAPPED) == 32, "OVERLAPPED");

// True once the request has completed (Internal leaves STATUS_PENDING).
#define HasOverlappedIoCompleted(lpOverlapped) (((DWORD)(lpOverlapped)->Internal) != 0x00000103u)

typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

// ---- errors
WINBASEAPI DWORD WINAPI GetLastError(void);
WINBASEAPI void WINAPI SetLastError(DWORD code);

// ---- handles
WINBASEAPI BOOL WINAPI CloseHandle(HANDLE h);
WINBASEAPI BOOL WINAPI DuplicateHandle(HANDLE srcProcess, HANDLE src, HANDLE dstProcess, LPHANDLE dst, DWORD access,
                                       BOOL inherit, DWORD options);
#define DUPLICATE_CLOSE_SOURCE 0x1
#define DUPLICATE_SAME_ACCESS 0x2

// ---- waits
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_IO_COMPLETION 0x000000C0u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64
#define STATUS_PENDING 0x00000103u
#define STILL_ACTIVE STATUS_PENDING
WINBASEAPI DWORD WINAPI WaitForSingleObject(HANDLE h, DWORD milliseconds);
WINBASEAPI DWORD WINAPI WaitForSingleObjectEx(HANDLE h, DWORD milliseconds, BOOL alertable);
WINBASEAPI DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
WINBASEAPI DWORD WINAPI WaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                                 BOOL alertable);

// ---- events, mutexes, semaphores
WINBASEAPI HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES sa, BOOL manualReset, BOOL initialState, LPCSTR name);
WINBASEAPI HANDLE WINAPI OpenEventA(DWORD access, BOOL inherit, LPCSTR name);
WINBASEAPI BOOL WINAPI SetEvent(HANDLE h);
WINBASEAPI BOOL WINAPI ResetEvent(HANDLE h);
WINBASEAPI BOOL WINAPI PulseEvent(HANDLE h);
WINBASEAPI HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES sa, BOOL initialOwner, LPCSTR name);
WINBASEAPI BOOL WINAPI ReleaseMutex(HANDLE h);
WINBASEAPI HANDLE WINAPI CreateSemaphoreA(LPSECURITY_ATTRIBUTES sa, LONG initial, LONG maximum, LPCSTR name);
WINBASEAPI BOOL WINAPI ReleaseSemaphore(HANDLE h, LONG release, LPLONG previous);
#define CreateEvent CreateEventA
#define CreateMutex CreateMutexA
#define EVENT_ALL_ACCESS 0x1F0003
#define EVENT_MODIFY_STATE 0x0002
#define SYNCHRONIZE 0x00100000L

// ---- waitable timers
typedef void(CALLBACK* PTIMERAPCROUTINE)(LPVOID arg, DWORD lowValue, DWORD highValue);
WINBASEAPI HANDLE WINAPI CreateWaitableTimerA(LPSECURITY_ATTRIBUTES sa, BOOL manualReset, LPCSTR name);
WINBASEAPI BOOL WINAPI SetWaitableTimer(HANDLE timer, const LARGE_INTEGER* dueTime, LONG period,
                                        PTIMERAPCROUTINE completion, LPVOID arg, BOOL resume);
WINBASEAPI BOOL WINAPI CancelWaitableTimer(HANDLE timer);

// ---- threads and processes
#define CREATE_SUSPENDED 0x00000004
#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF
WINBASEAPI HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                                      LPVOID parameter, DWORD flags, LPDWORD threadId);
WINBASEAPI DWORD WINAPI ResumeThread(HANDLE thread);
WINBASEAPI DWORD WINAPI SuspendThread(HANDLE thread);
WINBASEAPI BOOL WINAPI SetThreadPriority(HANDLE thread, int priority);
WINBASEAPI int WINAPI GetThreadPriority(HANDLE thread);
WINBASEAPI BOOL WINAPI SetThreadPriorityBoost(HANDLE thread, BOOL disablePriorityBoost);
WINBASEAPI DWORD_PTR WINAPI SetThreadAffinityMask(HANDLE thread, DWORD_PTR mask);
WINBASEAPI BOOL WINAPI GetProcessAffinityMask(HANDLE process, PDWORD_PTR processMask, PDWORD_PTR systemMask);
WINBASEAPI BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
WINBASEAPI BOOL WINAPI TerminateThread(HANDLE thread, DWORD exitCode);
WINBASEAPI void WINAPI ExitThread(DWORD exitCode);
WINBASEAPI HANDLE WINAPI GetCurrentThread(void);
WINBASEAPI DWORD WINAPI GetCurrentThreadId(void);
WINBASEAPI HANDLE WINAPI GetCurrentProcess(void);
WINBASEAPI DWORD WINAPI GetCurrentProcessId(void);
WINBASEAPI void WINAPI ExitProcess(UINT exitCode);
WINBASEAPI BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
WINBASEAPI BOOL WINAPI TerminateProcess(HANDLE process, UINT exitCode);

typedef struct _STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved, lpDesktop, lpTitle;
  DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
  WORD wShowWindow, cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput, hStdOutput, hStdError;
} STARTUPINFOA, *LPSTARTUPINFOA;
typedef struct _PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;
#define CREATE_NO_WINDOW 0x08000000
#define STARTF_USESHOWWINDOW 0x00000001
// Starts a program named by its Windows path on this machine (a program in drive_c).
WINBASEAPI BOOL WINAPI CreateProcessA(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES processSa,
                                      LPSECURITY_ATTRIBUTES threadSa, BOOL inherit, DWORD flags, LPVOID environment,
                                      LPCSTR currentDirectory, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION info);

// ---- sleeping and time
WINBASEAPI void WINAPI Sleep(DWORD milliseconds);
WINBASEAPI DWORD WINAPI SleepEx(DWORD milliseconds, BOOL alertable);
WINBASEAPI DWORD WINAPI GetTickCount(void);
WINBASEAPI ULONGLONG WINAPI GetTickCount64(void);
WINBASEAPI BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count);
WINBASEAPI BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency);
WINBASEAPI void WINAPI GetSystemTimeAsFileTime(LPFILETIME time);

// ---- interlocked operations (full barriers, as on Windows)
#ifdef __cplusplus
inline LONG InterlockedIncrement(LONG volatile* p) { return __atomic_add_fetch(p, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedDecrement(LONG volatile* p) { return __atomic_sub_fetch(p, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedExchange(LONG volatile* p, LONG v) { return __atomic_exchange_n(p, v, __ATOMIC_SEQ_CST); }
inline LONG InterlockedExchangeAdd(LONG volatile* p, LONG v) { return __atomic_fetch_add(p, v, __ATOMIC_SEQ_CST); }
inline LONG InterlockedCompareExchange(LONG volatile* p, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(p, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}
inline PVOID InterlockedExchangePointer(PVOID volatile* p, PVOID v) { return __atomic_exchange_n(p, v, __ATOMIC_SEQ_CST); }
inline PVOID InterlockedCompareExchangePointer(PVOID volatile* p, PVOID exchange, PVOID comparand) {
  __atomic_compare_exchange_n(p, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}
#endif

// ---- heaps and local/global memory
#define HEAP_NO_SERIALIZE 0x00000001
#define HEAP_GENERATE_EXCEPTIONS 0x00000004
#define HEAP_ZERO_MEMORY 0x00000008
#define HEAP_REALLOC_IN_PLACE_ONLY 0x00000010
WINBASEAPI HANDLE WINAPI HeapCreate(DWORD options, SIZE_T initialSize, SIZE_T maximumSize);
WINBASEAPI BOOL WINAPI HeapDestroy(HANDLE heap);
WINBASEAPI LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
WINBASEAPI LPVOID WINAPI HeapReAlloc(HANDLE heap, DWORD flags, LPVOID mem, SIZE_T bytes);
WINBASEAPI BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID mem);
WINBASEAPI SIZE_T WINAPI HeapSize(HANDLE heap, DWORD flags, LPCVOID mem);
WINBASEAPI HANDLE WINAPI GetProcessHeap(void);
#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
WINBASEAPI HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes);
WINBASEAPI HLOCAL WINAPI LocalFree(HLOCAL mem);
WINBASEAPI HLOCAL WINAPI LocalReAlloc(HLOCAL mem, SIZE_T bytes, UINT flags);
WINBASEAPI LPVOID WINAPI LocalLock(HLOCAL mem);
WINBASEAPI BOOL WINAPI LocalUnlock(HLOCAL mem);
WINBASEAPI SIZE_T WINAPI LocalSize(HLOCAL mem);
#define LMEM_MODIFY 0x0080
#define GMEM_MODIFY 0x0080
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
WINBASEAPI HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
WINBASEAPI HGLOBAL WINAPI GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
WINBASEAPI LPVOID WINAPI GlobalLock(HGLOBAL mem);
WINBASEAPI BOOL WINAPI GlobalUnlock(HGLOBAL mem);
WINBASEAPI SIZE_T WINAPI GlobalSize(HGLOBAL mem);
WINBASEAPI HGLOBAL WINAPI GlobalFree(HGLOBAL mem);

// ---- named file mappings (shared by every process of the machine)
#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04
#define FILE_MAP_COPY 0x0001
#define FILE_MAP_WRITE 0x0002
#define FILE_MAP_READ 0x0004
#define FILE_MAP_ALL_ACCESS 0x000F001F
WINBASEAPI HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES sa, DWORD protect, DWORD sizeHigh,
                                            DWORD sizeLow, LPCSTR name);
WINBASEAPI HANDLE WINAPI OpenFileMappingA(DWORD access, BOOL inherit, LPCSTR name);
WINBASEAPI LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);
WINBASEAPI BOOL WINAPI UnmapViewOfFile(LPCVOID view);

// ---- modules
WINBASEAPI HMODULE WINAPI LoadLibraryA(LPCSTR fileName);
WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE module);
WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
WINBASEAPI HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
WINBASEAPI DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
WINBASEAPI BOOL WINAPI DisableThreadLibraryCalls(HMODULE module);
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// ---- files (Windows paths on drive C of the machine; device paths reach the machine's devices)
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_OVERLAPPED 0x40000000
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
WINBASEAPI HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES sa,
                                     DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
WINBASEAPI BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
WINBASEAPI BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped);
WINBASEAPI BOOL WINAPI DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inSize,
                                       LPVOID outBuffer, DWORD outSize, LPDWORD bytesReturned,
                                       LPOVERLAPPED overlapped);
WINBASEAPI BOOL WINAPI GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait);
WINBASEAPI BOOL WINAPI CancelIo(HANDLE file);
WINBASEAPI DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh);
WINBASEAPI BOOL WINAPI DeleteFileA(LPCSTR fileName);
WINBASEAPI BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR newFile, BOOL failIfExists);
WINBASEAPI BOOL WINAPI MoveFileA(LPCSTR existing, LPCSTR newFile);
WINBASEAPI BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES sa);
WINBASEAPI BOOL WINAPI RemoveDirectoryA(LPCSTR path);
WINBASEAPI DWORD WINAPI GetFileAttributesA(LPCSTR fileName);
WINBASEAPI DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer);
WINBASEAPI UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size);
WINBASEAPI UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size);
WINBASEAPI DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer);
WINBASEAPI DWORD WINAPI GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);
WINBASEAPI DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR src, LPSTR dst, DWORD size);
#define DeleteFile DeleteFileA

// ---- debugger output (the machine's debug log)
WINBASEAPI void WINAPI OutputDebugStringA(LPCSTR text);
#define OutputDebugString OutputDebugStringA

// ---- text
#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
WINBASEAPI int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLength, LPWSTR dst,
                                          int dstLength);
WINBASEAPI int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLength, LPSTR dst,
                                          int dstLength, LPCSTR defaultChar, LPBOOL usedDefault);
WINBASEAPI int WINAPI lstrlenA(LPCSTR s);
WINBASEAPI int WINAPI lstrlenW(LPCWSTR s);
WINBASEAPI LPSTR WINAPI lstrcpyA(LPSTR dst, LPCSTR src);
WINBASEAPI LPSTR WINAPI lstrcpynA(LPSTR dst, LPCSTR src, int max);
WINBASEAPI LPSTR WINAPI lstrcatA(LPSTR dst, LPCSTR src);
WINBASEAPI LPWSTR WINAPI lstrcpyW(LPWSTR dst, LPCWSTR src);
WINBASEAPI LPWSTR WINAPI lstrcatW(LPWSTR dst, LPCWSTR src);
WINBASEAPI int WINAPI lstrcmpA(LPCSTR a, LPCSTR b);
WINBASEAPI int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b);
#define lstrlen lstrlenA
#define lstrcpy lstrcpyA
#define lstrcat lstrcatA
#define lstrcmpi lstrcmpiA

// ---- version and system information (answered from the machine profile)
typedef struct _OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformId;
  CHAR szCSDVersion[128];
} OSVERSIONINFOA, *LPOSVERSIONINFOA;
typedef struct _OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformId;
  CHAR szCSDVersion[128];
  WORD wServicePackMajor, wServicePackMinor, wSuiteMask;
  BYTE wProductType, wReserved;
} OSVERSIONINFOEXA, *POSVERSIONINFOEXA, *LPOSVERSIONINFOEXA;
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "OSVERSIONINFOEXA");
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
#define VER_NT_WORKSTATION 0x0000001
#define VER_NT_DOMAIN_CONTROLLER 0x0000002
#define VER_NT_SERVER 0x0000003
WINBASEAPI BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info);
typedef struct _SYSTEM_INFO {
  union {
    DWORD dwOemId;
    struct { WORD wProcessorArchitecture; WORD wReserved; };
  };
  DWORD dwPageSize;
  LPVOID lpMinimumApplicationAddress, lpMaximumApplicationAddress;
  DWORD_PTR dwActiveProcessorMask;
  DWORD dwNumberOfProcessors, dwProcessorType, dwAllocationGranularity;
  WORD wProcessorLevel, wProcessorRevision;
} SYSTEM_INFO, *LPSYSTEM_INFO;
#define PROCESSOR_ARCHITECTURE_INTEL 0
#define PROCESSOR_ARCHITECTURE_ARM 5
#define PROCESSOR_ARCHITECTURE_IA64 6
#define PROCESSOR_ARCHITECTURE_AMD64 9
#define PROCESSOR_ARCHITECTURE_ARM64 12
#define PROCESSOR_ARCHITECTURE_UNKNOWN 0xFFFF
WINBASEAPI void WINAPI GetSystemInfo(LPSYSTEM_INFO info);
WINBASEAPI void WINAPI GetNativeSystemInfo(LPSYSTEM_INFO info);
WINBASEAPI BOOL WINAPI IsWow64Process(HANDLE process, PBOOL wow64);

// ---- resources of modules (implemented with the window system's resource tables)
WINBASEAPI HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
WINBASEAPI HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource);
WINBASEAPI LPVOID WINAPI LockResource(HGLOBAL resourceData);
WINBASEAPI DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource);
WINBASEAPI BOOL WINAPI FreeResource(HGLOBAL resourceData);
#define FindResource FindResourceA

// ---- access tokens and privileges (answered from the machine profile)
typedef struct _LUID {
  DWORD LowPart;
  LONG HighPart;
} LUID, *PLUID;
typedef struct _LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes;
} LUID_AND_ATTRIBUTES, *PLUID_AND_ATTRIBUTES;
typedef struct _TOKEN_PRIVILEGES {
  DWORD PrivilegeCount;
  LUID_AND_ATTRIBUTES Privileges[1];
} TOKEN_PRIVILEGES, *PTOKEN_PRIVILEGES;
static_assert(sizeof(LUID_AND_ATTRIBUTES) == 12 && sizeof(TOKEN_PRIVILEGES) == 16, "TOKEN_PRIVILEGES");
#define TOKEN_ASSIGN_PRIMARY 0x0001
#define TOKEN_DUPLICATE 0x0002
#define TOKEN_IMPERSONATE 0x0004
#define TOKEN_QUERY 0x0008
#define TOKEN_QUERY_SOURCE 0x0010
#define TOKEN_ADJUST_PRIVILEGES 0x0020
#define TOKEN_ADJUST_GROUPS 0x0040
#define TOKEN_ADJUST_DEFAULT 0x0080
#define TOKEN_ALL_ACCESS 0xF01FF
#define SE_PRIVILEGE_ENABLED_BY_DEFAULT 0x00000001L
#define SE_PRIVILEGE_ENABLED 0x00000002L
#define SE_PRIVILEGE_REMOVED 0x00000004L
#define SE_SHUTDOWN_NAME "SeShutdownPrivilege"
#define SE_DEBUG_NAME "SeDebugPrivilege"
#define SE_BACKUP_NAME "SeBackupPrivilege"
#define SE_RESTORE_NAME "SeRestorePrivilege"
#define SE_CHANGE_NOTIFY_NAME "SeChangeNotifyPrivilege"
#define SE_LOAD_DRIVER_NAME "SeLoadDriverPrivilege"
#define SE_SECURITY_NAME "SeSecurityPrivilege"
#define SE_TAKE_OWNERSHIP_NAME "SeTakeOwnershipPrivilege"
#define SE_SYSTEM_ENVIRONMENT_NAME "SeSystemEnvironmentPrivilege"
#define SE_REMOTE_SHUTDOWN_NAME "SeRemoteShutdownPrivilege"
#define SE_UNDOCK_NAME "SeUndockPrivilege"
#define SE_INC_WORKING_SET_NAME "SeIncreaseWorkingSetPrivilege"
#define SE_TIME_ZONE_NAME "SeTimeZonePrivilege"
WINBASEAPI BOOL WINAPI OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token);
WINBASEAPI BOOL WINAPI LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid);
WINBASEAPI BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                                             DWORD bufferLength, PTOKEN_PRIVILEGES previousState,
                                             PDWORD returnLength);
#define LookupPrivilegeValue LookupPrivilegeValueA
