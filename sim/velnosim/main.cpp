// velnosim: the machine's command line (create a machine, read and write its registry,
// drive its device and windows). Works on $VELNO_MACHINE, or the default machine.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "command.h"

namespace velno::cli {
namespace {
std::map<std::string, Command>& Commands() {
  static std::map<std::string, Command> commands;
  return commands;
}
}  // namespace

bool RegisterCommand(const Command& command) {
  Commands()[command.name] = command;
  return true;
}
}  // namespace velno::cli

int main(int argc, char** argv) {
  using namespace velno::cli;
  if (argc < 2 || !strcmp(argv[1], "help") || !strcmp(argv[1], "--help")) {
    printf("usage: velnosim COMMAND [ARGS]   (machine: $VELNO_MACHINE)\n\n");
    for (const auto& [name, command] : Commands()) printf("  %s\n", command.usage);
    return argc < 2 ? 2 : 0;
  }
  auto it = Commands().find(argv[1]);
  if (it == Commands().end()) {
    fprintf(stderr, "velnosim: unknown command '%s' (try velnosim help)\n", argv[1]);
    return 2;
  }
  Args args(argv + 2, argv + argc);
  return it->second.run(args);
}
