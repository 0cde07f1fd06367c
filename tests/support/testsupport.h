// Helpers for tests: temporary machines, child processes, the build's program folder.
#pragma once
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace velno::testing {

// A fresh machine in a temporary folder, made the current machine of this process for the
// object's lifetime (and removed afterwards unless VELNO_KEEP_MACHINES is set).
class TempMachine {
 public:
  explicit TempMachine(const nlohmann::json& profileOverrides = nlohmann::json::object());
  ~TempMachine();
  TempMachine(const TempMachine&) = delete;
  TempMachine& operator=(const TempMachine&) = delete;
  const std::string& root() const { return root_; }

 private:
  std::string root_;
  std::string previous_;
};

// The folder where the build puts modules and programs ($VELNO_BIN, set by CTest).
std::string BinDir();

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
// Runs a program with arguments on the current machine and waits for it (time-out in
// seconds; a program still running then is killed and reported with exit code -9).
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, int timeoutSeconds = 120);

}  // namespace velno::testing
