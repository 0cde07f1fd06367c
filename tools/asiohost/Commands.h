// asiohost's commands and their shared options.
#pragma once
#include <objbase.h>

#include <nlohmann/json.hpp>
#include <string>

namespace asiohost {

struct Options {
  std::string driverName = "Velno-HD";
  bool json = false;
  // play / record
  double rate = 0;            // 0: the file's rate, or 48000 (176400 with --dop)
  long bufferFrames = 0;      // 0: the driver's preferred size
  double bufferMs = 0;        // a buffer length in milliseconds instead of frames
  long seconds = 2;
  std::string signal = "sine";
  std::string file;
  bool dop = false;
  bool outputReady = true;
  bool plainSwitch = false;   // a host without time info: the plain bufferSwitch
  bool duplex = false;        // play also records every input
  int maxResets = 3;
};

// COM for the calling thread, as every host initialises it.
struct ComScope {
  ComScope() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComScope() { CoUninitialize(); }
};

int InfoCommand(const Options& options);
int StreamCommand(const Options& options, bool recording);

}  // namespace asiohost
