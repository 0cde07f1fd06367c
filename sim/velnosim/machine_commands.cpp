// velnosim create / root / profile
#include <velno/machine.h>

#include <cstdio>
#include <fstream>

#include "command.h"

namespace velno::cli {
namespace {

int Create(const Args& args) {
  std::string root = args.empty() ? sim::MachineRoot() : args[0];
  nlohmann::json overrides = nlohmann::json::object();
  for (size_t i = 1; i + 1 < args.size(); i += 2) {
    if (args[i] == "--profile") {
      std::ifstream in(args[i + 1]);
      overrides = nlohmann::json::parse(in, nullptr, false);
      if (overrides.is_discarded()) {
        fprintf(stderr, "velnosim create: %s is not valid JSON\n", args[i + 1].c_str());
        return 1;
      }
    }
  }
  sim::CreateMachine(root, overrides);
  printf("created machine %s\n", root.c_str());
  return 0;
}

int Root(const Args&) {
  printf("%s\n", sim::MachineRoot().c_str());
  return 0;
}

int Profile(const Args&) {
  printf("%s\n", sim::Profile().dump(2).c_str());
  return 0;
}

const bool registered = RegisterCommand({"create", "create [ROOT] [--profile FILE.json]  make a fresh machine", Create}) &&
                        RegisterCommand({"root", "root  print the machine root", Root}) &&
                        RegisterCommand({"profile", "profile  print the machine profile", Profile});
}  // namespace
}  // namespace velno::cli
