// The HID command channel: enumeration of the HID interfaces, the product match, and the
// mode command reports.
#include "HidChannel.h"

// The HID library is a C interface; its Windows header does not say so itself.
extern "C" {
#include <hidsdi.h>
}
#include <setupapi.h>
#include <string.h>

const DeviceCommandCode kDeviceCommandTable[4] = {
    {0xF5, 0x32, 0x2E, 0x08},  // DSD64
    {0xF6, 0x33, 0x2E, 0x08},  // DSD128
    {0xF7, 0x34, 0x2E, 0x08},  // DSD256
    {0xF8, 0x35, 0x01, 0x00},  // DoP
};

namespace {

void CloseChannelHandle(HANDLE* handle) {
  if (*handle != NULL && *handle != INVALID_HANDLE_VALUE) CloseHandle(*handle);
  *handle = INVALID_HANDLE_VALUE;
}

bool IsOpen(HANDLE handle) { return handle != NULL && handle != INVALID_HANDLE_VALUE; }

}  // namespace

int OpenHidDevice(HidChannel* channel, WORD vendorId, WORD productId, USHORT* inputLength, USHORT* outputLength) {
  if (channel == NULL || inputLength == NULL || outputLength == NULL) {
    SetLastError(ERROR_INVALID_DATA);
    return 0;
  }
  SetLastError(0);
  if (IsOpen(channel->syncHandle) && IsOpen(channel->overlappedHandle)) return 1;

  GUID hidGuid;
  HidD_GetHidGuid(&hidGuid);
  HDEVINFO set = SetupDiGetClassDevsA(&hidGuid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return 0;

  bool found = false;
  PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail = NULL;
  for (DWORD index = 0; index < 256 && !found; index++) {
    SetLastError(0);
    SP_DEVICE_INTERFACE_DATA interfaceData;
    memset(&interfaceData, 0, sizeof interfaceData);
    interfaceData.cbSize = sizeof interfaceData;
    if (!SetupDiEnumDeviceInterfaces(set, NULL, &hidGuid, index, &interfaceData)) {
      if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
      continue;
    }
    DWORD required = 0;
    if (!SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, NULL, 0, &required, NULL) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      break;
    if (detail != NULL) LocalFree(detail);
    detail = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(LocalAlloc(LPTR, required));
    if (detail == NULL) break;
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail, required, NULL, NULL)) continue;

    CloseChannelHandle(&channel->syncHandle);
    channel->syncHandle = CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (!IsOpen(channel->syncHandle)) continue;

    HIDD_ATTRIBUTES attributes;
    memset(&attributes, 0, sizeof attributes);
    attributes.Size = sizeof attributes;
    if (!HidD_GetAttributes(channel->syncHandle, &attributes) || attributes.VendorID != vendorId ||
        attributes.ProductID != productId)
      continue;
    PHIDP_PREPARSED_DATA preparsed = NULL;
    if (!HidD_GetPreparsedData(channel->syncHandle, &preparsed)) continue;
    HIDP_CAPS caps;
    memset(&caps, 0, sizeof caps);
    NTSTATUS status = HidP_GetCaps(preparsed, &caps);
    HidD_FreePreparsedData(preparsed);
    if (status != HIDP_STATUS_SUCCESS) continue;

    channel->inputReportLength = caps.InputReportByteLength;
    channel->outputReportLength = caps.OutputReportByteLength;
    CloseChannelHandle(&channel->overlappedHandle);
    channel->overlappedHandle = CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                            FILE_FLAG_OVERLAPPED, NULL);
    if (IsOpen(channel->overlappedHandle)) found = true;
  }
  SetupDiDestroyDeviceInfoList(set);
  if (detail != NULL) LocalFree(detail);

  if (!found) {
    channel->inputReportLength = 0;
    channel->outputReportLength = 0;
    CloseChannelHandle(&channel->syncHandle);
    CloseChannelHandle(&channel->overlappedHandle);
  }
  *inputLength = channel->inputReportLength;
  *outputLength = channel->outputReportLength;
  return found ? 1 : 0;
}

BOOL SendDeviceCommand(int command, BOOL on, WORD vendorId, WORD productId) {
  if (command < 0 || command > kDeviceCommandDop) return FALSE;
  HidChannel channel;
  channel.event = CreateEventA(NULL, TRUE, TRUE, "");
  channel.syncHandle = INVALID_HANDLE_VALUE;
  channel.overlappedHandle = INVALID_HANDLE_VALUE;
  channel.inputReportLength = 0;
  channel.outputReportLength = 0;

  BOOL written = FALSE;
  USHORT inputLength = 0, outputLength = 0;
  if (OpenHidDevice(&channel, vendorId, productId, &inputLength, &outputLength)) {
    // A report shorter than the command's five bytes cannot carry it: nothing is written.
    if (IsOpen(channel.syncHandle) && channel.outputReportLength >= HID_COMMAND_BYTES) {
      BYTE* report = static_cast<BYTE*>(LocalAlloc(LPTR, channel.outputReportLength));
      if (report != NULL) {
        const DeviceCommandCode& code = kDeviceCommandTable[command];
        report[0] = 0x00;
        report[1] = code.code;
        report[2] = 0x21;
        report[3] = code.selector;
        report[4] = on ? code.on : code.off;
        DWORD bytes = 0;
        written = WriteFile(channel.syncHandle, report, channel.outputReportLength, &bytes, NULL);
        LocalFree(report);
      }
    }
  }
  CloseChannelHandle(&channel.syncHandle);
  CloseChannelHandle(&channel.overlappedHandle);
  if (channel.event != NULL) CloseHandle(channel.event);
  return written;
}
