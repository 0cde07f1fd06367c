// OutputDebugStringA: the machine's debug output, a file in the machine root that every
// process appends to and `velnosim debug-output` shows. One line per line of text:
//   HH:MM:SS.mmm <TAB> process id <TAB> process name <TAB> text
#include <fcntl.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>
#include <velno/machine.h>

#include <cstring>
#include <string>

#include "kernel_internal.h"

namespace velno::kernel {

std::string DebugOutputPath() { return sim::MachineRoot() + "/debug_output.log"; }

std::string ProcessName() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "?";
  path[n] = 0;
  const char* slash = strrchr(path, '/');
  return slash ? slash + 1 : path;
}

}  // namespace velno::kernel

using namespace velno::kernel;

void WINAPI OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  timeval tv;
  gettimeofday(&tv, nullptr);
  tm local;
  localtime_r(&tv.tv_sec, &local);
  char stamp[64];
  snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d\t%d\t", local.tm_hour, local.tm_min, local.tm_sec,
           int(tv.tv_usec / 1000), int(getpid()));
  static const std::string name = ProcessName();
  std::string out;
  const char* p = text;
  do {
    const char* end = p + strcspn(p, "\r\n");
    out += stamp + name + "\t" + std::string(p, end) + "\n";
    p = end;
    if (*p == '\r') ++p;
    if (*p == '\n') ++p;
  } while (*p);
  int fd = open(DebugOutputPath().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  // One write per call: lines of concurrent writers never interleave.
  ssize_t written = write(fd, out.data(), out.size());
  (void)written;
  close(fd);
}
