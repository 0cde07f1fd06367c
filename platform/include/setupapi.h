// SetupAPI: device information sets, device interfaces, their aliases, registry keys and
// device properties (the ANSI functions the system calls).
#pragma once
#include <windef.h>
#include <winerror.h>
#include <winbase.h>
#include <winreg.h>

typedef PVOID HDEVINFO;

typedef struct _SP_DEVINFO_DATA {
  DWORD cbSize;
  GUID ClassGuid;
  DWORD DevInst;
  ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;

typedef struct _SP_DEVICE_INTERFACE_DATA {
  DWORD cbSize;
  GUID InterfaceClassGuid;
  DWORD Flags;
  ULONG_PTR Reserved;
} SP_DEVICE_INTERFACE_DATA, *PSP_DEVICE_INTERFACE_DATA;
typedef SP_DEVICE_INTERFACE_DATA SP_INTERFACE_DEVICE_DATA, *PSP_INTERFACE_DEVICE_DATA;

typedef struct _SP_DEVICE_INTERFACE_DETAIL_DATA_A {
  DWORD cbSize;
  CHAR DevicePath[1];
} SP_DEVICE_INTERFACE_DETAIL_DATA_A, *PSP_DEVICE_INTERFACE_DETAIL_DATA_A;
typedef SP_DEVICE_INTERFACE_DETAIL_DATA_A SP_DEVICE_INTERFACE_DETAIL_DATA;
typedef PSP_DEVICE_INTERFACE_DETAIL_DATA_A PSP_DEVICE_INTERFACE_DETAIL_DATA;

#define SPINT_ACTIVE 0x00000001
#define SPINT_DEFAULT 0x00000002
#define SPINT_REMOVED 0x00000004

#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008
#define DIGCF_DEVICEINTERFACE 0x00000010
#define DIGCF_INTERFACEDEVICE DIGCF_DEVICEINTERFACE

#define DIREG_DEV 0x00000001
#define DIREG_DRV 0x00000002
#define DIREG_BOTH 0x00000004

#define SPDRP_DEVICEDESC 0x00000000
#define SPDRP_HARDWAREID 0x00000001
#define SPDRP_COMPATIBLEIDS 0x00000002
#define SPDRP_SERVICE 0x00000004
#define SPDRP_CLASS 0x00000007
#define SPDRP_CLASSGUID 0x00000008
#define SPDRP_DRIVER 0x00000009
#define SPDRP_MFG 0x0000000B
#define SPDRP_FRIENDLYNAME 0x0000000C
#define SPDRP_LOCATION_INFORMATION 0x0000000D
#define SPDRP_ENUMERATOR_NAME 0x00000016

// SetupAPI's own error codes (customer bit and error severity set).
#define APPLICATION_ERROR_MASK 0x20000000
#define ERROR_SEVERITY_ERROR 0xC0000000
#define ERROR_INVALID_REG_PROPERTY (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x209)
#define ERROR_NO_SUCH_DEVINST (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x20B)
#define ERROR_NO_SUCH_DEVICE_INTERFACE (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x225)
#define ERROR_NO_SUCH_INTERFACE_DEVICE ERROR_NO_SUCH_DEVICE_INTERFACE
#define ERROR_INVALID_HANDLE_STATE_SETUP ERROR_INVALID_HANDLE

WINBASEAPI HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags);
WINBASEAPI BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set);
WINBASEAPI BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA devInfo, const GUID* interfaceClass,
                                                   DWORD memberIndex, PSP_DEVICE_INTERFACE_DATA interfaceData);
WINBASEAPI BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO set, DWORD memberIndex, PSP_DEVINFO_DATA devInfo);
WINBASEAPI BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                                        PDWORD requiredSize, PSP_DEVINFO_DATA devInfo);
WINBASEAPI BOOL WINAPI SetupDiGetDeviceInterfaceAlias(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                      const GUID* aliasClass, PSP_DEVICE_INTERFACE_DATA aliasData);
WINBASEAPI HKEY WINAPI SetupDiOpenDeviceInterfaceRegKey(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                        DWORD reserved, REGSAM desired);
WINBASEAPI BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA devInfo, DWORD property,
                                                         PDWORD regType, PBYTE buffer, DWORD size,
                                                         PDWORD requiredSize);
#define SetupDiGetClassDevs SetupDiGetClassDevsA
#define SetupDiGetDeviceInterfaceDetail SetupDiGetDeviceInterfaceDetailA
#define SetupDiGetDeviceRegistryProperty SetupDiGetDeviceRegistryPropertyA

static_assert(sizeof(SP_DEVINFO_DATA) == 32, "SP_DEVINFO_DATA (64-bit)");
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32, "SP_DEVICE_INTERFACE_DATA (64-bit)");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8, "SP_DEVICE_INTERFACE_DETAIL_DATA_A (64-bit)");
