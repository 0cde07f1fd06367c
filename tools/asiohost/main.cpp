// asiohost: a real ASIO host for the Velno-HD drivers. It finds the driver under
// HKLM\Software\ASIO\Velno-HD, creates it with CoCreateInstance and walks the published
// calling sequence.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Commands.h"

namespace {
void Usage() {
  printf(
      "usage: asiohost COMMAND [--json] [--driver NAME]\n"
      "  info    list what the driver offers: channels, rates, buffer sizes, latencies, clocks\n"
      "  play    [--rate HZ] [--buffer FRAMES | --buffer-ms MS] [--seconds S] [--signal sine|ramp]\n"
      "          [--file F.wav|F.dsf] [--dop] [--no-output-ready] [--plain] [--duplex]\n"
      "          plays, then reports timing and whether the device received the host's data bit for bit;\n"
      "          --duplex also records the inputs (a device that loops back returns what it played)\n"
      "  record  [--rate HZ] [--buffer FRAMES] [--seconds S]  records the device's known signal and checks it\n");
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
    } else if (!strcmp(argv[i], "--rate") && i + 1 < argc) {
      options.rate = atof(argv[++i]);
    } else if (!strcmp(argv[i], "--buffer") && i + 1 < argc) {
      options.bufferFrames = atol(argv[++i]);
    } else if (!strcmp(argv[i], "--buffer-ms") && i + 1 < argc) {
      options.bufferMs = atof(argv[++i]);
    } else if (!strcmp(argv[i], "--seconds") && i + 1 < argc) {
      options.seconds = atol(argv[++i]);
    } else if (!strcmp(argv[i], "--signal") && i + 1 < argc) {
      options.signal = argv[++i];
    } else if (!strcmp(argv[i], "--file") && i + 1 < argc) {
      options.file = argv[++i];
    } else if (!strcmp(argv[i], "--dop")) {
      options.dop = true;
    } else if (!strcmp(argv[i], "--no-output-ready")) {
      options.outputReady = false;
    } else if (!strcmp(argv[i], "--plain")) {
      options.plainSwitch = true;
    } else if (!strcmp(argv[i], "--duplex")) {
      options.duplex = true;
    } else {
      fprintf(stderr, "asiohost: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (!strcmp(argv[1], "info")) return asiohost::InfoCommand(options);
  if (!strcmp(argv[1], "play")) return asiohost::StreamCommand(options, false);
  if (!strcmp(argv[1], "record")) return asiohost::StreamCommand(options, true);
  Usage();
  return 2;
}
