// velnosim create / root / profile
#include <velno/machine.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <vector>

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

// The host path of a Windows path on drive C.
int Path(const Args& args) {
  if (args.size() != 1) {
    fprintf(stderr, "usage: velnosim path WINDOWS-PATH\n");
    return 2;
  }
  printf("%s\n", sim::HostPathFromWindows(args[0]).c_str());
  return 0;
}

// Runs a program of the machine, named by its Windows path, in this terminal.
int Run(const Args& args) {
  if (args.empty()) {
    fprintf(stderr, "usage: velnosim run WINDOWS-PATH [ARGS...]\n");
    return 2;
  }
  std::string program = sim::HostPathFromWindows(args[0]);
  if (program.empty() || access(program.c_str(), X_OK) != 0) {
    fprintf(stderr, "velnosim run: %s is not a program on this machine\n", args[0].c_str());
    return 1;
  }
  setenv("VELNO_MACHINE", sim::MachineRoot().c_str(), 1);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (size_t i = 1; i < args.size(); ++i) argv.push_back(const_cast<char*>(args[i].c_str()));
  argv.push_back(nullptr);
  fflush(stdout);
  execv(program.c_str(), argv.data());
  perror("velnosim run");
  return 1;
}

const bool registered = RegisterCommand({"path", "path WINDOWS-PATH  print where a Windows path lies on the host", Path}) &&
                        RegisterCommand({"run", "run WINDOWS-PATH [ARGS...]  run a program of the machine", Run}) && RegisterCommand({"create", "create [ROOT] [--profile FILE.json]  make a fresh machine", Create}) &&
                        RegisterCommand({"root", "root  print the machine root", Root}) &&
                        RegisterCommand({"profile", "profile  print the machine profile", Profile});
}  // namespace
}  // namespace velno::cli
