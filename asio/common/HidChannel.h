// The HID command channel to the device: finds the product's HID interface and sends the short
// vendor output reports that switch the converter into native DSD or DSD-over-PCM mode.
#pragma once
#include <windows.h>

// A short-lived context, built for each command.
struct HidChannel {
  HANDLE syncHandle;        // opened for synchronous I/O; INVALID_HANDLE_VALUE when closed
  HANDLE overlappedHandle;  // the same interface opened with FILE_FLAG_OVERLAPPED (not used for I/O)
  USHORT inputReportLength;
  USHORT outputReportLength;
  HANDLE event;  // manual-reset, initially signalled (not used for I/O)
};

// The commands, in the order of the driver's command numbers: DSD64, DSD128, DSD256, DoP.
struct DeviceCommandCode {
  BYTE code;      // report byte 1
  BYTE selector;  // report byte 3
  BYTE on;        // report byte 4 for "on"
  BYTE off;       // report byte 4 for "off"
};
enum { kDeviceCommandDsd64 = 0, kDeviceCommandDsd128 = 1, kDeviceCommandDsd256 = 2, kDeviceCommandDop = 3 };
extern const DeviceCommandCode kDeviceCommandTable[4];

// The bytes a command needs at the start of a report (report id, code, 0x21, selector, value).
#define HID_COMMAND_BYTES 5

// Opens the first HID interface (enumeration order, up to index 255) with these identifiers
// and readable capabilities. Returns 1 when found and opened, else 0; the report lengths are
// written to the output pointers either way (0 when not found).
int OpenHidDevice(HidChannel* channel, WORD vendorId, WORD productId, USHORT* inputLength, USHORT* outputLength);

// Builds the report of `command` (on or off), opens the device, writes the report and closes
// everything. A missing interface, a report length too short for a command, or a failed write
// is silently ignored; the result says whether a report was written.
BOOL SendDeviceCommand(int command, BOOL on, WORD vendorId, WORD productId);
