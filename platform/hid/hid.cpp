// The HID class driver's side of the machine's HID interfaces: device file objects opened by
// CreateFileA on a HID interface path, and the HID library (hid.dll) over them.
#include <hidsdi.h>
#include <strings.h>
#include <velno/device.h>
#include <velno/kobject.h>
#include <windows.h>

#include <cstring>
#include <new>

namespace dev = velno::sim::device;

namespace {

class HidFile : public velno::kernel::FileObject {
 public:
  explicit HidFile(const dev::UsbDevice& device) : device_(device) {}
  const char* TypeName() const override { return "HidDevice"; }
  const dev::UsbDevice& device() const { return device_; }

  DWORD Write(const void* buffer, DWORD size, DWORD* transferred, OVERLAPPED* overlapped) override {
    if (transferred) *transferred = 0;
    if (!(access & GENERIC_WRITE)) return ERROR_ACCESS_DENIED;
    // The class driver takes exactly one report of the collection's output report length.
    if (device_.hid.outputReportLength == 0) return ERROR_INVALID_FUNCTION;
    if (!buffer || size != device_.hid.outputReportLength) return ERROR_INVALID_USER_BUFFER;
    dev::HandleHidOutputReport(device_, static_cast<const uint8_t*>(buffer), size);
    if (transferred) *transferred = size;
    return ERROR_SUCCESS;
  }

 private:
  dev::UsbDevice device_;
};

constexpr uint32_t kPreparsedMagic = 0x48494450;  // "HIDP"
}  // namespace

struct _HIDP_PREPARSED_DATA {
  uint32_t magic;
  HIDP_CAPS caps;
};

namespace {
std::shared_ptr<velno::kernel::FileObject> OpenHid(const std::string& path, DWORD access, DWORD share, DWORD flags,
                                                   DWORD* error) {
  dev::UsbDevice device;
  dev::Function fn;
  if (!dev::FindByPath(path, &device, &fn) || fn != dev::Function::Hid) {
    *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  return std::make_shared<HidFile>(device);
}

const bool g_registered = [] {
  velno::kernel::RegisterDeviceNamespace("\\\\?\\hid#", OpenHid);
  velno::kernel::RegisterDeviceNamespace("\\\\.\\hid#", OpenHid);
  return true;
}();

std::shared_ptr<HidFile> HidFrom(HANDLE h) {
  auto file = velno::kernel::Lookup<HidFile>(h);
  if (!file) SetLastError(velno::kernel::LookupHandle(h) ? ERROR_INVALID_FUNCTION : ERROR_INVALID_HANDLE);
  return file;
}
}  // namespace

void WINAPI HidD_GetHidGuid(LPGUID guid) {
  if (guid) *guid = GUID{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
}

BOOLEAN WINAPI HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
  auto file = HidFrom(device);
  if (!file) return FALSE;
  if (!attributes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  attributes->Size = sizeof(HIDD_ATTRIBUTES);
  attributes->VendorID = file->device().vid;
  attributes->ProductID = file->device().pid;
  attributes->VersionNumber = file->device().hid.version;
  return TRUE;
}

BOOLEAN WINAPI HidD_GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* preparsed) {
  auto file = HidFrom(device);
  if (!file) return FALSE;
  if (!preparsed) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto* data = new (std::nothrow) _HIDP_PREPARSED_DATA{};
  if (!data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  const dev::HidFunction& hid = file->device().hid;
  data->magic = kPreparsedMagic;
  data->caps.Usage = hid.usage;
  data->caps.UsagePage = hid.usagePage;
  data->caps.InputReportByteLength = static_cast<USHORT>(hid.inputReportLength);
  data->caps.OutputReportByteLength = static_cast<USHORT>(hid.outputReportLength);
  data->caps.FeatureReportByteLength = static_cast<USHORT>(hid.featureReportLength);
  data->caps.NumberLinkCollectionNodes = 1;
  data->caps.NumberInputValueCaps = hid.inputReportLength ? 1 : 0;
  data->caps.NumberInputDataIndices = hid.inputReportLength ? 1 : 0;
  data->caps.NumberOutputValueCaps = hid.outputReportLength ? 1 : 0;
  data->caps.NumberOutputDataIndices = hid.outputReportLength ? 1 : 0;
  *preparsed = data;
  return TRUE;
}

BOOLEAN WINAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA preparsed) {
  if (!preparsed || preparsed->magic != kPreparsedMagic) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  preparsed->magic = 0;
  delete preparsed;
  return TRUE;
}

NTSTATUS WINAPI HidP_GetCaps(PHIDP_PREPARSED_DATA preparsed, PHIDP_CAPS caps) {
  if (!preparsed || preparsed->magic != kPreparsedMagic) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  if (caps) *caps = preparsed->caps;
  return HIDP_STATUS_SUCCESS;
}
