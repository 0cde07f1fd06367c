// What the device keeps between processes: its event log and its mode.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <velno/device.h>
#include <velno/machine.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace velno::sim::device {
namespace {

std::string ProcessName() {
  std::ifstream in("/proc/self/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

std::string LogPath() { return MachineRoot() + "/device/log.jsonl"; }

std::string Hex(const uint8_t* data, size_t size) {
  std::string out;
  char b[4];
  for (size_t i = 0; i < size; i++) {
    snprintf(b, sizeof b, i ? " %02x" : "%02x", data[i]);
    out += b;
  }
  return out;
}

}  // namespace

std::string DeviceFolder(const std::string& key) {
  std::string dir = MachineRoot() + "/device/" + key;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

void Log(const std::string& key, const std::string& event, nlohmann::json details) {
  using namespace std::chrono;
  int64_t ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  details["time"] = ms;
  details["pid"] = static_cast<int>(getpid());
  details["process"] = ProcessName();
  details["device"] = key;
  details["event"] = event;
  std::string line = details.dump() + "\n";
  std::error_code ec;
  std::filesystem::create_directories(MachineRoot() + "/device", ec);
  int fd = open(LogPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  flock(fd, LOCK_EX);
  ssize_t written = write(fd, line.data(), line.size());
  (void)written;
  flock(fd, LOCK_UN);
  close(fd);
}

std::vector<nlohmann::json> ReadLog() {
  std::vector<nlohmann::json> out;
  std::ifstream in(LogPath());
  std::string line;
  while (std::getline(in, line)) {
    auto j = nlohmann::json::parse(line, nullptr, false);
    if (!j.is_discarded()) out.push_back(j);
  }
  return out;
}

std::string FormatLogEntry(const nlohmann::json& e) {
  int64_t ms = e.value("time", int64_t{0});
  time_t secs = static_cast<time_t>(ms / 1000);
  struct tm tm;
  localtime_r(&secs, &tm);
  char when[64];
  snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
           tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms % 1000));
  std::string line = std::string(when) + "  " + e.value("device", "") + "  pid " +
                     std::to_string(e.value("pid", 0)) + " (" + e.value("process", "") + ")  " + e.value("event", "");
  for (auto& [k, v] : e.items()) {
    if (k == "time" || k == "pid" || k == "process" || k == "device" || k == "event") continue;
    line += "  " + k + "=" + (v.is_string() ? v.get<std::string>() : v.dump());
  }
  return line;
}

std::string Mode(const std::string& key) {
  std::ifstream in(MachineRoot() + "/device/" + key + "/mode");
  std::string mode;
  std::getline(in, mode);
  return mode.empty() ? "PCM" : mode;
}

void SetMode(const std::string& key, const std::string& mode) {
  std::string dir = DeviceFolder(key);
  std::string tmp = dir + "/mode.tmp." + std::to_string(getpid());
  {
    std::ofstream out(tmp);
    out << mode << "\n";
  }
  std::rename(tmp.c_str(), (dir + "/mode").c_str());
}

void HandleHidOutputReport(const UsbDevice& device, const uint8_t* data, size_t size) {
  // The mode commands: report id 0, command code, 0x21, selector, on/off value.
  struct Command {
    uint8_t code, selector, on, off;
    const char* mode;
  };
  static const Command kCommands[] = {{0xF5, 0x32, 0x2E, 0x08, "DSD64"},
                                      {0xF6, 0x33, 0x2E, 0x08, "DSD128"},
                                      {0xF7, 0x34, 0x2E, 0x08, "DSD256"},
                                      {0xF8, 0x35, 0x01, 0x00, "DoP"}};
  std::string before = Mode(device.key);
  std::string after = before;
  std::string command;
  if (size >= 5 && data[0] == 0x00 && data[2] == 0x21) {
    for (const Command& c : kCommands) {
      if (data[1] != c.code || data[3] != c.selector) continue;
      if (data[4] == c.on) {
        after = c.mode;
        command = std::string(c.mode) + " on";
      } else if (data[4] == c.off) {
        if (before == c.mode) after = "PCM";
        command = std::string(c.mode) + " off";
      }
    }
  }
  if (after != before) SetMode(device.key, after);
  nlohmann::json details{{"length", size}, {"bytes", Hex(data, size)}, {"mode", after}};
  if (!command.empty()) details["command"] = command;
  Log(device.key, "hid-output", details);
}

}  // namespace velno::sim::device
