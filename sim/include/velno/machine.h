// The simulated machine: a directory (the machine root) that every process started with the
// same VELNO_MACHINE sees. It holds drive C, the registry store, the profile and the device's
// files. No background service runs; processes meet through the files and shared memory here.
#pragma once
#include <nlohmann/json.hpp>

#include <string>

namespace velno::sim {

// The root of the machine this process runs on: $VELNO_MACHINE, or a default below $HOME.
// A root that does not exist yet is created as a fresh machine on first use.
const std::string& MachineRoot();

// Creates a fresh machine at root (its folders, drive C with system32, and the default
// profile, merged with overrides when given). An existing machine's profile is replaced.
void CreateMachine(const std::string& root, const nlohmann::json& profileOverrides = nlohmann::json::object());

// The default profile of a fresh machine (Windows 10 22H2 x64 workstation, one Velno-HD).
nlohmann::json DefaultProfile();

// The machine's profile (machine.json), read once per process and cached; Reload re-reads it.
const nlohmann::json& Profile();
void ReloadProfile();
void SaveProfile(const nlohmann::json& profile);

// Windows paths on drive C map onto <root>/drive_c. Components are matched
// case-insensitively against what exists, as on Windows; the rest keep their spelling.
std::string HostPathFromWindows(const std::string& windowsPath);
// The Windows path of a host path below drive_c ("" when it lies elsewhere).
std::string WindowsPathFromHost(const std::string& hostPath);

// A machine-scoped name for host objects (POSIX shared memory, sockets): the same machine
// gives the same prefix in every process, two machines never collide.
std::string MachineScope();

}  // namespace velno::sim

namespace velno::sim {

// Moves this process onto another machine root (tests use it to give each case a fresh
// machine). Sets VELNO_MACHINE for child processes and tells every module that caches machine
// state to drop it. Only safe while the process holds no handles of the old machine.
void SetMachineRootForProcess(const std::string& root);

// Registers a callback that drops a module's cached machine state (registry connection,
// profile-derived tables, ...). Called by SetMachineRootForProcess.
void OnMachineChanged(void (*callback)());

}  // namespace velno::sim
