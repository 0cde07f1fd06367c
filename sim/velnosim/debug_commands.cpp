// velnosim debug-output [--follow] [--clear]: the machine's debug output, shown as a debug
// viewer shows it (a running number, the time, the process and its text).
#include <unistd.h>
#include <velno/kobject.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>

#include "command.h"

namespace velno::cli {
namespace {

volatile std::sig_atomic_t g_stop = 0;

void PrintLine(const std::string& line, unsigned index) {
  // time TAB pid TAB process TAB text
  size_t a = line.find('\t');
  size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
  size_t c = b == std::string::npos ? b : line.find('\t', b + 1);
  if (c == std::string::npos) {
    printf("%-6u %s\n", index, line.c_str());
    return;
  }
  std::string time = line.substr(0, a), pid = line.substr(a + 1, b - a - 1), name = line.substr(b + 1, c - b - 1);
  printf("%-6u %-12s [%s] %s: %s\n", index, time.c_str(), pid.c_str(), name.c_str(), line.c_str() + c + 1);
}

int DebugOutput(const Args& args) {
  bool follow = false, clear = false;
  for (const std::string& a : args) {
    if (a == "--follow" || a == "-f") {
      follow = true;
    } else if (a == "--clear") {
      clear = true;
    } else {
      fprintf(stderr, "velnosim debug-output: unknown option '%s'\n", a.c_str());
      return 2;
    }
  }
  const std::string path = kernel::DebugOutputPath();
  if (clear) {
    std::ofstream(path, std::ios::trunc);
    if (!follow) return 0;
  }
  std::ifstream in(path);
  unsigned index = 0;
  std::string line, partial;
  signal(SIGINT, [](int) { g_stop = 1; });
  signal(SIGTERM, [](int) { g_stop = 1; });
  for (;;) {
    if (in.is_open()) {
      while (std::getline(in, line)) {
        if (in.eof()) {  // a line still being written: keep it for the next round
          partial += line;
          break;
        }
        PrintLine(partial + line, index++);
        partial.clear();
      }
      in.clear();
    }
    fflush(stdout);
    if (!follow || g_stop) break;
    usleep(100000);
    if (!in.is_open()) in.open(path);
  }
  return 0;
}

const bool registered = RegisterCommand(
    {"debug-output", "debug-output [--follow] [--clear]  show the machine's debug output (OutputDebugString)",
     DebugOutput});
}  // namespace
}  // namespace velno::cli
