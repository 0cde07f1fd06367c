// velnosim install-system-programs: copies the platform's own programs and modules (what the
// build puts in <bin>/system32: RegSvr32.exe, ...) into the machine's C:\Windows\System32.
#include <unistd.h>
#include <velno/machine.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "command.h"

namespace fs = std::filesystem;

namespace velno::cli {
namespace {

std::string DefaultBinDir() {
  if (const char* env = getenv("VELNO_BIN"); env && *env) return env;
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  path[n] = 0;
  return fs::path(path).parent_path().string();
}

int Install(const Args& args) {
  fs::path from = fs::path(args.empty() ? DefaultBinDir() : args[0]) / "system32";
  std::error_code ec;
  if (!fs::is_directory(from, ec)) {
    fprintf(stderr, "velnosim install-system-programs: %s is not a folder\n", from.c_str());
    return 1;
  }
  fs::path to = sim::HostPathFromWindows("C:\\Windows\\System32");
  fs::create_directories(to, ec);
  int copied = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(from, ec)) {
    if (!entry.is_regular_file()) continue;
    fs::copy_file(entry.path(), to / entry.path().filename(), fs::copy_options::overwrite_existing, ec);
    if (ec) {
      fprintf(stderr, "velnosim install-system-programs: cannot copy %s: %s\n", entry.path().c_str(),
              ec.message().c_str());
      return 1;
    }
    printf("%s\n", sim::WindowsPathFromHost((to / entry.path().filename()).string()).c_str());
    ++copied;
  }
  printf("%d file(s) installed\n", copied);
  return 0;
}

const bool registered = RegisterCommand(
    {"install-system-programs",
     "install-system-programs [BIN_DIR]  copy BIN_DIR/system32/* (RegSvr32.exe, ...) into C:\\Windows\\System32",
     Install});

}  // namespace
}  // namespace velno::cli
