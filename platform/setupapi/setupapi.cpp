// SetupAPI over the machine's USB devices: device information sets of device interfaces by
// class, their aliases, interface registry keys and device registry properties.
#include <setupapi.h>
#include <strings.h>
#include <velno/device.h>
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace dev = velno::sim::device;

namespace {

constexpr GUID kAudio = {0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr GUID kRender = {0x65E8773E, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr GUID kCapture = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr GUID kHid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
constexpr GUID kMediaClass = {0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr GUID kHidClass = {0x745a17a0, 0x74d3, 0x11d0, {0xb6, 0xfe, 0x00, 0xa0, 0xc9, 0x0f, 0x57, 0xda}};
constexpr DWORD kSetMagic = 0x56534554;  // "VSET"

struct Interface {
  dev::UsbDevice device;
  dev::Function function;
  GUID classGuid;
  std::string path;
  DWORD flags;
};

struct DeviceInfoSet {
  DWORD magic = kSetMagic;
  GUID classGuid;
  std::vector<Interface> members;  // what the enumeration returns
  std::vector<Interface> aliases;  // aliases handed out later (indices follow the members)
};

std::mutex g_setsMutex;
std::set<DeviceInfoSet*>& LiveSets() {
  static std::set<DeviceInfoSet*> sets;
  return sets;
}

DeviceInfoSet* SetFrom(HDEVINFO handle) {
  std::lock_guard<std::mutex> lock(g_setsMutex);
  auto* set = static_cast<DeviceInfoSet*>(handle);
  return LiveSets().count(set) ? set : nullptr;
}

std::string GuidText(const GUID& g) {
  char buf[40];
  snprintf(buf, sizeof buf, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.Data1, g.Data2, g.Data3, g.Data4[0],
           g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

// An alias's state: "active", "removed" or "none".
std::string AliasState(const dev::UsbDevice& d, const GUID& g) {
  if (g == kAudio) return "active";
  if (g == kRender) return d.audio.renderAlias;
  if (g == kCapture) return d.audio.captureAlias;
  return "none";
}

bool MakeInterface(const dev::UsbDevice& d, dev::Function fn, const GUID& g, Interface* out) {
  out->device = d;
  out->function = fn;
  out->classGuid = g;
  if (fn == dev::Function::Audio) {
    std::string state = AliasState(d, g);
    if (state == "none") return false;
    out->path = dev::AudioInterfacePath(d, GuidText(g));
    out->flags = d.present && state == "active" ? SPINT_ACTIVE : (state == "removed" ? SPINT_REMOVED : 0);
  } else {
    out->path = dev::HidInterfacePath(d);
    out->flags = d.present ? SPINT_ACTIVE : 0;
  }
  return true;
}

const Interface* InterfaceFrom(DeviceInfoSet* set, const SP_DEVICE_INTERFACE_DATA* data) {
  if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return nullptr;
  size_t index = data->Reserved;
  if (index == 0) return nullptr;
  index--;
  if (index < set->members.size()) return &set->members[index];
  index -= set->members.size();
  return index < set->aliases.size() ? &set->aliases[index] : nullptr;
}

void FillInterfaceData(const Interface& i, size_t index, SP_DEVICE_INTERFACE_DATA* data) {
  data->InterfaceClassGuid = i.classGuid;
  data->Flags = i.flags;
  data->Reserved = index + 1;
}

void FillDevInfo(const Interface& i, SP_DEVINFO_DATA* info) {
  info->ClassGuid = i.function == dev::Function::Hid ? kHidClass : kMediaClass;
  info->DevInst = static_cast<DWORD>(i.device.index * 16 + (i.function == dev::Function::Hid ? 2 : 1));
  info->Reserved = info->DevInst;
}

// The interface's key below DeviceClasses, as Windows names it.
std::string InterfaceKeyPath(const Interface& i) {
  std::string path = i.path;
  std::string reference;
  size_t guidEnd = path.find('}');
  if (guidEnd != std::string::npos && guidEnd + 1 < path.size()) {
    reference = path.substr(guidEnd + 2);
    path = path.substr(0, guidEnd + 1);
  }
  for (char& c : path)
    if (c == '\\') c = '#';
  return "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" + GuidText(i.classGuid) + "\\" + path + "\\#" +
         reference + "\\Device Parameters";
}

const dev::UsbDevice* DeviceFromInfo(DeviceInfoSet* set, const SP_DEVINFO_DATA* info, dev::Function* fn) {
  for (auto* list : {&set->members, &set->aliases}) {
    for (const Interface& i : *list) {
      SP_DEVINFO_DATA probe{};
      FillDevInfo(i, &probe);
      if (probe.DevInst == info->DevInst) {
        *fn = i.function;
        return &i.device;
      }
    }
  }
  return nullptr;
}

}  // namespace

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags) {
  if (!(flags & DIGCF_DEVICEINTERFACE) || (!classGuid && !(flags & DIGCF_ALLCLASSES))) {
    // Device setup classes are not what this machine enumerates.
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto* set = new DeviceInfoSet;
  set->classGuid = classGuid ? *classGuid : GUID_NULL;
  for (const dev::UsbDevice& d : dev::Devices()) {
    if ((flags & DIGCF_PRESENT) && !d.present) continue;
    std::vector<std::pair<dev::Function, GUID>> candidates;
    if (d.audio.present)
      for (const GUID& g : {kAudio, kRender, kCapture}) candidates.emplace_back(dev::Function::Audio, g);
    if (d.hid.present) candidates.emplace_back(dev::Function::Hid, kHid);
    for (auto& [fn, g] : candidates) {
      if (classGuid && !(flags & DIGCF_ALLCLASSES) && g != *classGuid) continue;
      Interface i;
      if (!MakeInterface(d, fn, g, &i)) continue;
      if ((flags & DIGCF_PRESENT) && !(i.flags & SPINT_ACTIVE)) continue;
      set->members.push_back(i);
    }
  }
  {
    std::lock_guard<std::mutex> lock(g_setsMutex);
    LiveSets().insert(set);
  }
  SetLastError(ERROR_SUCCESS);
  return set;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
  std::lock_guard<std::mutex> lock(g_setsMutex);
  auto* set = static_cast<DeviceInfoSet*>(handle);
  if (!LiveSets().erase(set)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete set;
  return TRUE;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO handle, PSP_DEVINFO_DATA devInfo, const GUID* interfaceClass,
                                        DWORD memberIndex, PSP_DEVICE_INTERFACE_DATA data) {
  DeviceInfoSet* set = SetFrom(handle);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!interfaceClass) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  DWORD seen = 0;
  for (size_t k = 0; k < set->members.size(); k++) {
    const Interface& i = set->members[k];
    if (i.classGuid != *interfaceClass) continue;
    if (devInfo) {
      SP_DEVINFO_DATA probe{};
      FillDevInfo(i, &probe);
      if (probe.DevInst != devInfo->DevInst) continue;
    }
    if (seen++ == memberIndex) {
      FillInterfaceData(i, k, data);
      SetLastError(ERROR_SUCCESS);
      return TRUE;
    }
  }
  SetLastError(ERROR_NO_MORE_ITEMS);
  return FALSE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                             PDWORD requiredSize, PSP_DEVINFO_DATA devInfo) {
  DeviceInfoSet* set = SetFrom(handle);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const Interface* i = InterfaceFrom(set, data);
  if (!i) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if ((detail == nullptr) != (detailSize == 0)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (detail && detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (devInfo && devInfo->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + i->path.size() + 1);
  if (requiredSize) *requiredSize = needed;
  if (devInfo) FillDevInfo(*i, devInfo);
  if (!detail || detailSize < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(detail->DevicePath, i->path.c_str(), i->path.size() + 1);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceAlias(HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA data, const GUID* aliasClass,
                                           PSP_DEVICE_INTERFACE_DATA aliasData) {
  DeviceInfoSet* set = SetFrom(handle);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const Interface* i = InterfaceFrom(set, data);
  if (!i || !aliasClass) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!aliasData || aliasData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  Interface alias;
  if (i->function != dev::Function::Audio || !MakeInterface(i->device, i->function, *aliasClass, &alias)) {
    SetLastError(ERROR_NO_SUCH_DEVICE_INTERFACE);
    return FALSE;
  }
  for (size_t k = 0; k < set->members.size(); k++) {
    if (set->members[k].path == alias.path) {
      FillInterfaceData(set->members[k], k, aliasData);
      SetLastError(ERROR_SUCCESS);
      return TRUE;
    }
  }
  set->aliases.push_back(alias);
  FillInterfaceData(alias, set->members.size() + set->aliases.size() - 1, aliasData);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

HKEY WINAPI SetupDiOpenDeviceInterfaceRegKey(HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA data, DWORD reserved,
                                             REGSAM desired) {
  DeviceInfoSet* set = SetFrom(handle);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
  }
  const Interface* i = InterfaceFrom(set, data);
  if (!i) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
  }
  // The device's driver keeps the interface's friendly name in its key; the key is brought up
  // to date with the device's description whenever it is opened.
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, InterfaceKeyPath(*i).c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, desired | KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key,
                                   nullptr);
  if (status != ERROR_SUCCESS) {
    SetLastError(status);
    return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
  }
  const std::string& name = i->function == dev::Function::Audio ? i->device.audio.friendlyName : std::string();
  if (!name.empty())
    RegSetValueExA(key, "FriendlyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                   static_cast<DWORD>(name.size() + 1));
  else
    RegDeleteValueA(key, "FriendlyName");
  SetLastError(ERROR_SUCCESS);
  return key;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO handle, PSP_DEVINFO_DATA devInfo, DWORD property,
                                              PDWORD regType, PBYTE buffer, DWORD size, PDWORD requiredSize) {
  DeviceInfoSet* set = SetFrom(handle);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!devInfo || devInfo->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  dev::Function fn = dev::Function::None;
  const dev::UsbDevice* d = DeviceFromInfo(set, devInfo, &fn);
  if (!d) {
    SetLastError(ERROR_NO_SUCH_DEVINST);
    return FALSE;
  }
  std::string value;
  DWORD type = REG_SZ;
  switch (property) {
    case SPDRP_DEVICEDESC:
      value = fn == dev::Function::Hid ? "HID-compliant vendor-defined device" : d->deviceDesc;
      value.push_back('\0');
      break;
    case SPDRP_FRIENDLYNAME:
      if (fn == dev::Function::Hid || d->deviceFriendlyName.empty()) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
      }
      value = d->deviceFriendlyName;
      value.push_back('\0');
      break;
    case SPDRP_HARDWAREID:
      type = REG_MULTI_SZ;
      value = dev::HardwareIds(*d, fn);
      break;
    default:
      SetLastError(property > SPDRP_ENUMERATOR_NAME + 0x20 ? ERROR_INVALID_REG_PROPERTY : ERROR_INVALID_DATA);
      return FALSE;
  }
  if (regType) *regType = type;
  if (requiredSize) *requiredSize = static_cast<DWORD>(value.size());
  if (!buffer || size < value.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(buffer, value.data(), value.size());
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
