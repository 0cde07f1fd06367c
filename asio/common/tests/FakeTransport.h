// A transport with format records set by the test, so the front end's answers can be checked
// without a device. Streaming calls are recorded; no stream thread exists.
#pragma once
#include <string>
#include <vector>

#include "AsioSample.h"

struct FakeDevice {
  bool present = true;
  bool openFails = false;
  std::string friendlyName = "Velno-HD";
  BYTE depthMask = 0x0E;  // 16, 24 and 32 bits
  LONG hasCapture = 1;
  LONG renderChannels[kRateCount] = {2, 2, 2, 2, 2, 2, 2, 2, 2};
  LONG captureChannels[kRateCount] = {2, 2, 2, 2, 2, 2, 2, 2, 2};
  std::vector<std::string> calls;
};

// The device the next created transport describes (reset by each test's fixture).
FakeDevice& TheFakeDevice();
