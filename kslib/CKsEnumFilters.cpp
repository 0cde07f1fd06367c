// Filter enumeration by device interface class and aliases.
#include "CKsEnumFilters.h"

#include "CKsAudRenFilter.h"

#define KS_DETAIL_SIZE 528

CKsEnumFilters::CKsEnumFilters() {
  KS_ENTER("CKsEnumFilters::CKsEnumFilters");
  KS_LEAVE("CKsEnumFilters::CKsEnumFilters");
}

CKsEnumFilters::~CKsEnumFilters() {
  KS_ENTER("CKsEnumFilters::~CKsEnumFilters");
  DestroyLists();
  KS_LEAVE("CKsEnumFilters::~CKsEnumFilters");
}

HRESULT CKsEnumFilters::DestroyLists() {
  KS_ENTER("CKsEnumFilters::DestroyLists");
  for (CKsList<CKsFilter>::Entry* e = filters.GetHead(); e != NULL; e = e->next) delete e->item;
  filters.RemoveAll();
  KS_LEAVE_HR("CKsEnumFilters::DestroyLists", S_OK);
  return S_OK;
}

void CKsEnumFilters::ReadFriendlyName(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* interfaceData,
                                      SP_DEVINFO_DATA* deviceInfo, char* name, DWORD nameSize) {
  name[0] = '\0';
  HKEY key = SetupDiOpenDeviceInterfaceRegKey(set, interfaceData, 0, KEY_ALL_ACCESS);
  if (key == NULL || key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) return;
  // The name is read whatever its length and cut to fit the buffer.
  DWORD type = 0;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExA(key, "FriendlyName", NULL, &type, NULL, &size);
  bool haveName = false;
  if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && size != 0) {
    char* text = static_cast<char*>(KsHeapAlloc(size + 1));
    if (text != NULL) {
      DWORD read = size;
      if (RegQueryValueExA(key, "FriendlyName", NULL, &type, reinterpret_cast<BYTE*>(text), &read) == ERROR_SUCCESS) {
        text[read < size ? read : size] = '\0';
        KsCopyText(name, nameSize, text);
        haveName = true;
      }
      KsHeapFree(text);
    }
  }
  if (!haveName) {
    DWORD required = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, deviceInfo, SPDRP_FRIENDLYNAME, &type, reinterpret_cast<BYTE*>(name),
                                           nameSize - 1, &required) &&
        !SetupDiGetDeviceRegistryPropertyA(set, deviceInfo, SPDRP_DEVICEDESC, &type, reinterpret_cast<BYTE*>(name),
                                           nameSize - 1, &required))
      name[0] = '\0';
    name[nameSize - 1] = '\0';
  }
  RegCloseKey(key);
}

HRESULT CKsEnumFilters::EnumFilters(ETypeFilter filterType, const GUID* categories, ULONG categoryCount) {
  KS_ENTER("CKsEnumFilters::EnumFilters");
  DestroyLists();
  HRESULT hr = S_OK;
  HDEVINFO set = INVALID_HANDLE_VALUE;
  if (categories != NULL && categoryCount != 0 && !IsEqualGUID(categories[0], GUID_NULL)) {
    set = SetupDiGetClassDevsA(&categories[0], NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
      LogMessage(KS_LOG_WARNING, "No devices found");
      hr = E_FAIL;
    } else {
      for (DWORD index = 0;; index++) {
        SP_DEVICE_INTERFACE_DATA interfaceData;
        memset(&interfaceData, 0, sizeof interfaceData);
        interfaceData.cbSize = sizeof interfaceData;
        if (!SetupDiEnumDeviceInterfaces(set, NULL, &categories[0], index, &interfaceData)) break;

        PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail =
            static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(KsHeapAlloc(KS_DETAIL_SIZE));
        if (detail == NULL) {
          LogMessage(KS_LOG_WARNING, "Failed to allocate SP_DEVICE_INTERFACE_DETAIL_DATA structure");
          hr = E_OUTOFMEMORY;
          break;
        }
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        SP_DEVINFO_DATA deviceInfo;
        memset(&deviceInfo, 0, sizeof deviceInfo);
        deviceInfo.cbSize = sizeof deviceInfo;
        if (!SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail, KS_DETAIL_SIZE, NULL, &deviceInfo)) {
          KsHeapFree(detail);
          continue;
        }
        bool accepted = true;
        for (ULONG c = 1; c < categoryCount && accepted; c++) {
          SP_DEVICE_INTERFACE_DATA alias;
          memset(&alias, 0, sizeof alias);
          alias.cbSize = sizeof alias;
          if (!SetupDiGetDeviceInterfaceAlias(set, &interfaceData, &categories[c], &alias)) {
            LogMessage(KS_LOG_INFO, "Failed to get requested DeviceInterfaceAlias");
            accepted = false;
          } else if (alias.Flags == 0 || (alias.Flags & SPINT_REMOVED)) {
            LogMessage(KS_LOG_INFO, "DeviceInterfaceAlias disabled.");
            accepted = false;
          }
        }
        if (accepted) {
          char name[MAX_PATH];
          ReadFriendlyName(set, &interfaceData, &deviceInfo, name, sizeof name);
          HRESULT filterHr = S_OK;
          CKsAudRenFilter* filter = new CKsAudRenFilter(detail->DevicePath, name, &filterHr);
          bool kept = false;
          if (filter != NULL && SUCCEEDED(filterHr) && SUCCEEDED(filter->Instantiate()) &&
              SUCCEEDED(filter->EnumeratePins()))
            kept = filters.AddTail(filter);
          if (!kept) {
            delete filter;
            LogMessage(KS_LOG_ERROR, "Failed to create filter for %s", detail->DevicePath);
          }
        }
        KsHeapFree(detail);
      }
    }
  }
  if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
  if (SUCCEEDED(hr) && filters.IsEmpty()) hr = E_FAIL;
  KS_LEAVE_HR("CKsEnumFilters::EnumFilters", hr);
  return hr;
}
