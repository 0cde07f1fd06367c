// Finding and creating the ASIO driver as a host does: the class identifier stored under
// HKLM\Software\ASIO\<name>, then CoCreateInstance with that identifier as the interface.
#pragma once
#include <windows.h>

#include <string>

#include "asio.h"

namespace asiohost {

struct DriverHandle {
  IASIO* driver = nullptr;
  CLSID classId{};
  std::string modulePath;
  HRESULT created = E_FAIL;
  std::string problem;  // empty when the driver was created
};

DriverHandle CreateDriver(const std::string& driverKeyName = "Velno-HD");
void ReleaseDriver(DriverHandle& handle);

// Words for results, for reports.
std::string HresultText(HRESULT hr);
std::string AsioErrorText(ASIOError error);
std::string SampleTypeText(ASIOSampleType type);

}  // namespace asiohost
