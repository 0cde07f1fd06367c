// The HID device interface class.
#pragma once
#include <windef.h>

DEFINE_GUID(GUID_DEVINTERFACE_HID, 0x4D1E55B2L, 0xF16F, 0x11CF, 0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30);
#define GUID_CLASS_INPUT GUID_DEVINTERFACE_HID
