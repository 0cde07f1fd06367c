// Finds the kernel-streaming filters of the device interface classes asked for, through
// SetupAPI, and keeps those that open with viable pins.
#pragma once
#include "CKsFilter.h"

class CKsEnumFilters : public CKsHeapObject {
 public:
  CKsEnumFilters();
  virtual ~CKsEnumFilters();
  virtual HRESULT DestroyLists();

  // Interfaces of categories[0] that also carry an active alias of every further category.
  HRESULT EnumFilters(ETypeFilter filterType, const GUID* categories, ULONG categoryCount);

  CKsList<CKsFilter> filters;

 private:
  void ReadFriendlyName(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* interfaceData, SP_DEVINFO_DATA* deviceInfo,
                        char* name, DWORD nameSize);
};
