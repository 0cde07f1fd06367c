// HID device functions (hid.dll): class GUID, attributes and preparsed data of an open device.
#pragma once
#include <windef.h>
#include <hidpi.h>

typedef struct _HIDD_ATTRIBUTES {
  ULONG Size;
  USHORT VendorID;
  USHORT ProductID;
  USHORT VersionNumber;
} HIDD_ATTRIBUTES, *PHIDD_ATTRIBUTES;

WINBASEAPI void WINAPI HidD_GetHidGuid(LPGUID hidGuid);
WINBASEAPI BOOLEAN WINAPI HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes);
WINBASEAPI BOOLEAN WINAPI HidD_GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* preparsedData);
WINBASEAPI BOOLEAN WINAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA preparsedData);

static_assert(sizeof(HIDD_ATTRIBUTES) == 12, "HIDD_ATTRIBUTES");
