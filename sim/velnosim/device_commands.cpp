// velnosim log / device / plug / unplug / fault: the simulated Velno-HD from the command line.
#include <dbt.h>
#include <hidclass.h>
#include <ksmedia.h>
#include <unistd.h>
#include <velno/device.h>
#include <velno/machine.h>
#include <velno/winstation.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "command.h"

namespace velno::cli {
namespace {
namespace dev = sim::device;
namespace fs = std::filesystem;

int Log(const Args& args) {
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--clear") {
      std::error_code ec;
      fs::remove(sim::MachineRoot() + "/device/log.jsonl", ec);
      printf("device log cleared\n");
      return 0;
    }
    if (a == "--json") json = true;
  }
  for (const auto& e : dev::ReadLog()) printf("%s\n", json ? e.dump().c_str() : dev::FormatLogEntry(e).c_str());
  return 0;
}

// Picks the device index from "--device N" (or a leading number); 0 by default.
size_t DeviceIndex(Args& args) {
  size_t index = 0;
  for (size_t i = 0; i < args.size(); i++) {
    if (args[i] == "--device" && i + 1 < args.size()) {
      index = strtoul(args[i + 1].c_str(), nullptr, 10);
      args.erase(args.begin() + i, args.begin() + i + 2);
      break;
    }
  }
  return index;
}

int Device(const Args& argsIn) {
  Args args = argsIn;
  bool one = !args.empty();
  size_t wanted = one ? DeviceIndex(args) : 0;
  if (one && !args.empty()) wanted = strtoul(args[0].c_str(), nullptr, 10);
  for (const dev::UsbDevice& d : dev::Devices()) {
    if (one && d.index != wanted) continue;
    printf("%s  %s  VID_%04X PID_%04X  %s\n", d.key.c_str(), d.name.c_str(), d.vid, d.pid,
           d.present ? "plugged in" : "unplugged");
    printf("  mode: %s\n", dev::Mode(d.key).c_str());
    if (d.audio.present)
      printf("  audio (MI_%02X): \"%s\", render alias %s, capture alias %s, %zu pins, capture records %s\n",
             d.audio.mi, d.audio.friendlyName.c_str(), d.audio.renderAlias.c_str(), d.audio.captureAlias.c_str(),
             d.audio.pins.size(), d.audio.loopback ? "what was played" : "the ramp");
    if (d.hid.present)
      printf("  hid (MI_%02X): output report %u bytes, input report %u bytes\n", d.hid.mi, d.hid.outputReportLength,
             d.hid.inputReportLength);
    else
      printf("  hid: none\n");
    const dev::Faults& f = d.faults;
    if (!f.dataRangeFormatSize.empty() || f.multipleItemOverflow || !f.failProperty.empty() || f.stall ||
        f.asyncProperties || f.shortCapture)
      printf("  faults:%s%s%s%s%s%s%s\n", f.dataRangeFormatSize.empty() ? "" : " datarange-size=",
             f.dataRangeFormatSize.c_str(), f.multipleItemOverflow ? " item-count=overflow" : "",
             f.failProperty.empty() ? "" : (" fail-property=" + f.failProperty).c_str(), f.stall ? " stall" : "",
             f.asyncProperties ? " async-properties" : "", f.shortCapture ? " short-capture" : "");
    for (const auto& s : dev::StreamRecords(d.key)) {
      const auto& fmt = s["format"];
      printf("  stream pin %d %-7s %s: %u Hz, %u bits (%u valid), %u ch, mode %s, %llu frames, %llu underruns\n",
             s.value("pin", 0), s.value("direction", "").c_str(), s.value("state", "").c_str(),
             fmt.value("rate", 0u), fmt.value("bits", 0u), fmt.value("validBits", 0u), fmt.value("channels", 0u),
             s.value("mode", "").c_str(), static_cast<unsigned long long>(s.value("frames", 0ull)),
             static_cast<unsigned long long>(s.value("underruns", 0ull)));
    }
  }
  return 0;
}

// Changes one device entry of the profile.
int EditDevice(size_t index, const std::function<void(nlohmann::json&)>& edit) {
  nlohmann::json profile = sim::Profile();
  if (!profile.contains("usb") || !profile["usb"].is_array() || index >= profile["usb"].size()) {
    fprintf(stderr, "velnosim: no USB device %zu\n", index);
    return 1;
  }
  edit(profile["usb"][index]);
  sim::SaveProfile(profile);
  return 0;
}

// Tells every window registered for device notifications about the device's interfaces.
void BroadcastInterfaces(size_t index, bool arrived) {
  auto devices = dev::Devices();
  if (index >= devices.size()) return;
  const dev::UsbDevice& d = devices[index];
  UINT event = arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
  if (d.audio.present) {
    winstation::BroadcastDeviceInterfaceChange(event, KSCATEGORY_AUDIO, dev::AudioInterfacePath(d, dev::kAudioGuid));
    if (d.audio.renderAlias == "active")
      winstation::BroadcastDeviceInterfaceChange(event, KSCATEGORY_RENDER, dev::AudioInterfacePath(d, dev::kRenderGuid));
    if (d.audio.captureAlias == "active")
      winstation::BroadcastDeviceInterfaceChange(event, KSCATEGORY_CAPTURE,
                                                 dev::AudioInterfacePath(d, dev::kCaptureGuid));
  }
  if (d.hid.present) winstation::BroadcastDeviceInterfaceChange(event, GUID_DEVINTERFACE_HID, dev::HidInterfacePath(d));
}

int Plug(bool present, const Args& argsIn) {
  Args args = argsIn;
  size_t index = DeviceIndex(args);
  if (!args.empty()) index = strtoul(args[0].c_str(), nullptr, 10);
  int rc = EditDevice(index, [&](nlohmann::json& d) { d["present"] = present; });
  if (rc == 0) {
    dev::Log("usb" + std::to_string(index), present ? "plug" : "unplug");
    BroadcastInterfaces(index, present);
    printf("usb%zu %s\n", index, present ? "plugged in" : "unplugged");
  }
  return rc;
}

int PlugIn(const Args& args) { return Plug(true, args); }
int Unplug(const Args& args) { return Plug(false, args); }

std::string BinFolder() {
  if (const char* env = getenv("VELNO_BIN"); env && *env) return env;
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

int Fault(const Args& argsIn) {
  Args args = argsIn;
  size_t index = DeviceIndex(args);
  if (args.size() < 2) {
    fprintf(stderr,
            "usage: velnosim fault [--device N] NAME VALUE\n"
            "  datarange-size zero|overrun|off   item-count overflow|off   fail-property PROPERTY|off [PIN]\n"
            "  stall on|off   async-properties on|off   short-capture on|off   hid-length BYTES   hid on|off\n"
            "  render-alias active|removed|none   capture-alias active|removed|none   ksuser absent|present\n"
            "  loopback on|off (the capture pins record what the render pins played)\n");
    return 2;
  }
  const std::string& name = args[0];
  const std::string& value = args[1];
  bool off = value == "off";
  if (name == "ksuser") {
    std::string target = sim::HostPathFromWindows("C:\\windows\\system32\\ksuser.dll");
    std::error_code ec;
    if (value == "absent") fs::remove(target, ec);
    else fs::copy_file(BinFolder() + "/system32/ksuser.dll", target, fs::copy_options::overwrite_existing, ec);
    if (ec) {
      fprintf(stderr, "velnosim fault ksuser: %s\n", ec.message().c_str());
      return 1;
    }
    printf("ksuser.dll %s\n", value == "absent" ? "removed" : "installed");
    return 0;
  }
  int rc = EditDevice(index, [&](nlohmann::json& d) {
    nlohmann::json& faults = d["faults"];
    if (!faults.is_object()) faults = nlohmann::json::object();
    if (name == "datarange-size") faults["dataRangeFormatSize"] = off ? "" : value;
    else if (name == "item-count") faults["multipleItemOverflow"] = !off;
    else if (name == "fail-property") {
      faults["failProperty"] = off ? "" : value;
      faults["failPropertyPin"] = args.size() > 2 ? atoi(args[2].c_str()) : -1;
    } else if (name == "stall") faults["stall"] = value == "on";
    else if (name == "async-properties") faults["asyncProperties"] = value == "on";
    else if (name == "short-capture") faults["shortCapture"] = value == "on";
    else if (name == "hid-length") {
      if (!d["hid"].is_object()) d["hid"] = nlohmann::json::object();
      d["hid"]["outputReportLength"] = atoi(value.c_str());
    } else if (name == "hid") {
      if (value == "off") d["hid"] = false;
      else d.erase("hid");
    } else if (name == "loopback") {
      if (!d["audio"].is_object()) d["audio"] = nlohmann::json::object();
      d["audio"]["loopback"] = value == "on";
    } else if (name == "render-alias" || name == "capture-alias") {
      if (!d["audio"].is_object()) d["audio"] = nlohmann::json::object();
      d["audio"][name == "render-alias" ? "renderAlias" : "captureAlias"] = value;
    } else {
      fprintf(stderr, "velnosim fault: unknown fault '%s'\n", name.c_str());
      exit(2);
    }
  });
  if (rc == 0) printf("usb%zu: %s %s\n", index, name.c_str(), value.c_str());
  return rc;
}

const bool registered =
    RegisterCommand({"log", "log [--json] [--clear]  the device log: HID reports, pin states, underruns", Log}) &&
    RegisterCommand({"device", "device [N]  the USB devices: mode, interfaces, faults, streams and underruns", Device}) &&
    RegisterCommand({"plug", "plug [N]  plug USB device N (default 0) in", PlugIn}) &&
    RegisterCommand({"unplug", "unplug [N]  unplug USB device N (default 0)", Unplug}) &&
    RegisterCommand({"fault", "fault [--device N] NAME VALUE  switch a device fault (velnosim fault for the list)", Fault});
}  // namespace
}  // namespace velno::cli
