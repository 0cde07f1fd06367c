// asiohost: a real ASIO host for the Velno-HD drivers. It finds the driver under
// HKLM\Software\ASIO\Velno-HD, creates it with CoCreateInstance and walks the published
// calling sequence.
#include <cstdio>
#include <cstring>

#include "Commands.h"

namespace {
void Usage() {
  printf(
      "usage: asiohost COMMAND [--json] [--driver NAME]\n"
      "  info    list what the driver offers: channels, rates, buffer sizes, latencies, clocks\n");
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage();
    return 2;
  }
  asiohost::Options options;
  for (int i = 2; i < argc; ++i) {
    if (!strcmp(argv[i], "--json")) {
      options.json = true;
    } else if (!strcmp(argv[i], "--driver") && i + 1 < argc) {
      options.driverName = argv[++i];
    } else {
      fprintf(stderr, "asiohost: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (!strcmp(argv[1], "info")) return asiohost::InfoCommand(options);
  Usage();
  return 2;
}
