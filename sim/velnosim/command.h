// The velnosim command line: each subcommand group registers itself from its own file.
#pragma once
#include <string>
#include <vector>

namespace velno::cli {

using Args = std::vector<std::string>;
struct Command {
  const char* name;
  const char* usage;
  int (*run)(const Args& args);  // args after the subcommand name; returns the exit code
};

// Registers a subcommand (use from a static initialiser in the command's own file).
bool RegisterCommand(const Command& command);

}  // namespace velno::cli
