#include <velno/device.h>
#include <velno/machine.h>

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <vector>

namespace fs = std::filesystem;

namespace velno::sim {
namespace {

std::mutex g_mutex;
std::string g_root;
nlohmann::json g_profile;
bool g_profileLoaded = false;

std::string DefaultRoot() {
  const char* home = getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.velno/machine";
}

void EnsureLayout(const std::string& root) {
  for (const char* dir : {"drive_c/windows/system32", "drive_c/windows/inf", "drive_c/Program Files",
                          "drive_c/Program Files (x86)", "drive_c/users/user/Temp", "device"}) {
    fs::create_directories(fs::path(root) / dir);
  }
}

// The platform's own programs and modules that a fresh machine carries in its system32: the
// build puts them in <bin>/system32 (bin is $VELNO_BIN or the folder of the running program).
void InstallSystemFiles(const std::string& root) {
  std::string bin;
  if (const char* env = getenv("VELNO_BIN"); env && *env) {
    bin = env;
  } else {
    std::error_code ec;
    bin = fs::read_symlink("/proc/self/exe", ec).parent_path().string();
  }
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(bin) / "system32", ec)) {
    std::error_code copyError;
    if (entry.is_regular_file(copyError))
      fs::copy_file(entry.path(), fs::path(root) / "drive_c/windows/system32" / entry.path().filename(),
                    fs::copy_options::overwrite_existing, copyError);
  }
}

nlohmann::json MergePatch(nlohmann::json base, const nlohmann::json& patch) {
  base.merge_patch(patch);
  return base;
}

}  // namespace

nlohmann::json DefaultProfile() {
  return nlohmann::json{
      {"windows",
       {{"major", 10},
        {"minor", 0},
        {"build", 19045},
        {"platformId", 2},
        {"productType", 1},
        {"csdVersion", ""},
        {"servicePackMajor", 0},
        {"processorArchitecture", 9},
        {"processors", 2}}},
      {"user", {{"name", "user"}}},
      {"usb", device::DefaultUsbProfile()},
  };
}

const std::string& MachineRoot() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_root.empty()) {
    const char* env = getenv("VELNO_MACHINE");
    std::string root = env && *env ? env : DefaultRoot();
    std::error_code ec;
    root = fs::absolute(root, ec).lexically_normal().string();
    if (!root.empty() && root.back() == '/') root.pop_back();
    if (!fs::exists(fs::path(root) / "machine.json")) {
      fs::create_directories(root);
      EnsureLayout(root);
      InstallSystemFiles(root);
      std::ofstream(fs::path(root) / "machine.json") << DefaultProfile().dump(2) << "\n";
    }
    g_root = root;
  }
  return g_root;
}

void CreateMachine(const std::string& root, const nlohmann::json& overrides) {
  fs::create_directories(root);
  EnsureLayout(root);
  InstallSystemFiles(root);
  nlohmann::json profile = MergePatch(DefaultProfile(), overrides);
  std::string tmp = root + "/machine.json.tmp";
  std::ofstream(tmp) << profile.dump(2) << "\n";
  fs::rename(tmp, fs::path(root) / "machine.json");
}

const nlohmann::json& Profile() {
  const std::string root = MachineRoot();
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_profileLoaded) {
    std::ifstream in(fs::path(root) / "machine.json");
    g_profile = nlohmann::json::parse(in, nullptr, false);
    if (g_profile.is_discarded() || !g_profile.is_object()) g_profile = DefaultProfile();
    g_profileLoaded = true;
  }
  return g_profile;
}

void ReloadProfile() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_profileLoaded = false;
}

void SaveProfile(const nlohmann::json& profile) {
  const std::string root = MachineRoot();
  std::string tmp = root + "/machine.json.tmp." + std::to_string(getpid());
  std::ofstream(tmp) << profile.dump(2) << "\n";
  fs::rename(tmp, fs::path(root) / "machine.json");
  ReloadProfile();
}

std::string HostPathFromWindows(const std::string& windowsPath) {
  std::string p = windowsPath;
  for (char& c : p)
    if (c == '\\') c = '/';
  // Accept "C:/...", "c:/..." and paths relative to drive C's root.
  if (p.size() >= 2 && p[1] == ':') {
    if (p[0] != 'c' && p[0] != 'C') return "";
    p = p.substr(2);
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find('/', start);
    if (end == std::string::npos) end = p.size();
    std::string part = p.substr(start, end - start);
    if (!part.empty() && part != ".") {
      if (part == "..") {
        if (!parts.empty()) parts.pop_back();
      } else {
        parts.push_back(part);
      }
    }
    start = end + 1;
  }
  std::string host = MachineRoot() + "/drive_c";
  for (const std::string& part : parts) {
    std::string exact = host + "/" + part;
    struct stat st;
    if (lstat(exact.c_str(), &st) != 0) {
      if (DIR* dir = opendir(host.c_str())) {
        while (dirent* entry = readdir(dir)) {
          if (strcasecmp(entry->d_name, part.c_str()) == 0) {
            exact = host + "/" + entry->d_name;
            break;
          }
        }
        closedir(dir);
      }
    }
    host = exact;
  }
  return host;
}

std::string WindowsPathFromHost(const std::string& hostPath) {
  std::error_code ec;
  std::string canonical = fs::weakly_canonical(hostPath, ec).string();
  std::string drive = fs::weakly_canonical(MachineRoot() + "/drive_c", ec).string();
  if (canonical.compare(0, drive.size(), drive) != 0) return "";
  std::string rest = canonical.substr(drive.size());
  if (!rest.empty() && rest[0] != '/') return "";
  std::string win = "C:" + (rest.empty() ? std::string("\\") : rest);
  for (char& c : win)
    if (c == '/') c = '\\';
  return win;
}

void SetMachineRootForProcess(const std::string& root);

std::string MachineScope() {
  size_t h = std::hash<std::string>{}(MachineRoot());
  char buf[32];
  snprintf(buf, sizeof buf, "velno-%016zx", h);
  return buf;
}

namespace {
std::vector<void (*)()>& ChangeCallbacks() {
  static std::vector<void (*)()> callbacks;
  return callbacks;
}
}  // namespace

void OnMachineChanged(void (*callback)()) {
  std::lock_guard<std::mutex> lock(g_mutex);
  ChangeCallbacks().push_back(callback);
}

void SetMachineRootForProcess(const std::string& root) {
  setenv("VELNO_MACHINE", root.c_str(), 1);
  std::vector<void (*)()> callbacks;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_root.clear();
    g_profileLoaded = false;
    callbacks = ChangeCallbacks();
  }
  for (auto* callback : callbacks) callback();
}

}  // namespace velno::sim
