// asiohost's commands and their shared options.
#pragma once
#include <objbase.h>

#include <nlohmann/json.hpp>
#include <string>

namespace asiohost {

struct Options {
  std::string driverName = "Velno-HD";
  bool json = false;
};

// COM for the calling thread, as every host initialises it.
struct ComScope {
  ComScope() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComScope() { CoUninitialize(); }
};

int InfoCommand(const Options& options);

}  // namespace asiohost
