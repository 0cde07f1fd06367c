// The USB devices of the profile: defaults, parsing and the device interface paths.
#include <strings.h>
#include <velno/device.h>
#include <velno/machine.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "../../product/ProductIds.h"

namespace velno::sim::device {

nlohmann::json DefaultUsbProfile() {
  return nlohmann::json::array({nlohmann::json{{"name", "Velno-HD"},
                                               {"vid", kProductTable[0].vendorId},
                                               {"pid", kProductTable[0].productId},
                                               {"instance", "7&1a2b3c4d&0"}}});
}

std::vector<Pin> DefaultPins(const std::vector<uint32_t>& bits, uint32_t minRate, uint32_t maxRate, uint32_t channels) {
  std::vector<DataRange> pcm;
  for (uint32_t b : bits) {
    DataRange r;
    r.maxChannels = channels;
    r.minBits = r.maxBits = b;
    r.minRate = minRate;
    r.maxRate = maxRate;
    pcm.push_back(r);
  }
  DataRange analog;
  analog.subFormat = "analog";
  analog.specifier = "none";
  analog.audio = false;

  std::vector<Pin> pins(4);
  pins[0].name = "Playback";
  pins[0].dataFlow = kDataFlowIn;
  pins[0].communication = kCommSink;
  pins[0].ranges = pcm;
  pins[1].name = "Speakers";
  pins[1].dataFlow = kDataFlowOut;
  pins[1].communication = kCommBridge;
  pins[1].category = "speaker";
  pins[1].instances = 0;
  pins[1].ranges = {analog};
  pins[2].name = "Line In";
  pins[2].dataFlow = kDataFlowIn;
  pins[2].communication = kCommBridge;
  pins[2].category = "microphone";
  pins[2].instances = 0;
  pins[2].ranges = {analog};
  pins[3].name = "Recording";
  pins[3].dataFlow = kDataFlowOut;
  pins[3].communication = kCommSink;
  pins[3].ranges = pcm;
  for (uint32_t i = 0; i < pins.size(); i++) pins[i].id = i;
  return pins;
}

namespace {

uint32_t Number(const nlohmann::json& j, const char* name, uint32_t fallback) {
  auto it = j.find(name);
  if (it == j.end()) return fallback;
  if (it->is_number()) return it->get<uint32_t>();
  if (it->is_string()) return static_cast<uint32_t>(strtoul(it->get<std::string>().c_str(), nullptr, 16));
  return fallback;
}

std::string Text(const nlohmann::json& j, const char* name, const std::string& fallback) {
  auto it = j.find(name);
  return it != j.end() && it->is_string() ? it->get<std::string>() : fallback;
}

bool Flag(const nlohmann::json& j, const char* name, bool fallback) {
  auto it = j.find(name);
  return it != j.end() && it->is_boolean() ? it->get<bool>() : fallback;
}

uint32_t Enum(const nlohmann::json& j, const char* name, uint32_t fallback,
              std::initializer_list<std::pair<const char*, uint32_t>> names) {
  auto it = j.find(name);
  if (it == j.end()) return fallback;
  if (it->is_number()) return it->get<uint32_t>();
  if (it->is_string())
    for (auto& [n, v] : names)
      if (strcasecmp(n, it->get<std::string>().c_str()) == 0) return v;
  return fallback;
}

DataRange ParseRange(const nlohmann::json& j) {
  DataRange r;
  r.major = Text(j, "major", r.major);
  r.subFormat = Text(j, "subFormat", r.subFormat);
  r.specifier = Text(j, "specifier", r.specifier);
  r.audio = Flag(j, "audio", r.specifier == "waveformatex");
  r.maxChannels = Number(j, "maxChannels", r.maxChannels);
  r.minBits = Number(j, "minBits", r.minBits);
  r.maxBits = Number(j, "maxBits", std::max(r.minBits, r.maxBits));
  r.minRate = Number(j, "minRate", r.minRate);
  r.maxRate = Number(j, "maxRate", r.maxRate);
  return r;
}

std::vector<uint32_t> NumberList(const nlohmann::json& j, const char* name, std::vector<uint32_t> fallback) {
  auto it = j.find(name);
  if (it == j.end() || !it->is_array()) return fallback;
  std::vector<uint32_t> out;
  for (auto& v : *it)
    if (v.is_number()) out.push_back(v.get<uint32_t>());
  return out;
}

Pin ParsePin(const nlohmann::json& j, uint32_t id, const Pin& base) {
  Pin p = base;
  p.id = id;
  p.name = Text(j, "name", p.name);
  p.dataFlow = Enum(j, "dataFlow", p.dataFlow, {{"in", kDataFlowIn}, {"out", kDataFlowOut}});
  p.communication = Enum(j, "communication", p.communication,
                         {{"none", kCommNone}, {"sink", kCommSink}, {"source", kCommSource}, {"both", kCommBoth},
                          {"bridge", kCommBridge}});
  p.category = Text(j, "category", p.category);
  p.instances = Number(j, "instances", p.instances);
  p.interfaces = NumberList(j, "interfaces", p.interfaces);
  p.mediums = NumberList(j, "mediums", p.mediums);
  if (auto it = j.find("ranges"); it != j.end() && it->is_array()) {
    p.ranges.clear();
    for (auto& r : *it) p.ranges.push_back(ParseRange(r));
  }
  return p;
}

}  // namespace

UsbDevice ParseDevice(const nlohmann::json& j, size_t index) {
  UsbDevice d;
  d.index = index;
  d.key = "usb" + std::to_string(index);
  d.name = Text(j, "name", d.name);
  d.vid = static_cast<uint16_t>(Number(j, "vid", kProductTable[0].vendorId));
  d.pid = static_cast<uint16_t>(Number(j, "pid", kProductTable[0].productId));
  d.revision = static_cast<uint16_t>(Number(j, "revision", d.revision));
  char inst[32];
  snprintf(inst, sizeof inst, "7&%08x&0", 0x1a2b3c4du + static_cast<unsigned>(index));
  d.instance = Text(j, "instance", inst);
  d.present = Flag(j, "present", true);
  d.composite = Flag(j, "composite", true);
  d.deviceDesc = Text(j, "deviceDesc", d.deviceDesc);
  d.deviceFriendlyName = Text(j, "deviceFriendlyName", "");

  auto audio = j.find("audio");
  if (audio != j.end() && (audio->is_boolean() && !audio->get<bool>())) {
    d.audio.present = false;
  } else {
    nlohmann::json a = audio != j.end() && audio->is_object() ? *audio : nlohmann::json::object();
    d.audio.mi = Number(a, "mi", d.audio.mi);
    d.audio.friendlyName = Text(a, "friendlyName", d.name);
    d.audio.renderAlias = Text(a, "renderAlias", d.audio.renderAlias);
    d.audio.captureAlias = Text(a, "captureAlias", d.audio.captureAlias);
    d.audio.loopback = Flag(a, "loopback", d.audio.loopback);
    std::vector<Pin> defaults = DefaultPins(NumberList(a, "bits", {16, 24, 32}), Number(a, "minRate", 32000),
                                            Number(a, "maxRate", 384000), Number(a, "channels", 2));
    if (auto pins = a.find("pins"); pins != a.end() && pins->is_array()) {
      uint32_t id = 0;
      for (auto& p : *pins) {
        d.audio.pins.push_back(ParsePin(p, id, id < defaults.size() ? defaults[id] : defaults[0]));
        id++;
      }
    } else {
      d.audio.pins = defaults;
    }
    d.audio.nodes = {"volume", "mute", "dac", "adc", "volume", "mute"};
    if (auto nodes = a.find("nodes"); nodes != a.end() && nodes->is_array()) {
      d.audio.nodes.clear();
      for (auto& n : *nodes)
        if (n.is_string()) d.audio.nodes.push_back(n.get<std::string>());
    }
  }

  auto hid = j.find("hid");
  if (hid != j.end() && hid->is_boolean() && !hid->get<bool>()) {
    d.hid.present = false;
  } else {
    nlohmann::json h = hid != j.end() && hid->is_object() ? *hid : nlohmann::json::object();
    d.hid.mi = Number(h, "mi", d.hid.mi);
    d.hid.inputReportLength = Number(h, "inputReportLength", d.hid.inputReportLength);
    d.hid.outputReportLength = Number(h, "outputReportLength", d.hid.outputReportLength);
    d.hid.featureReportLength = Number(h, "featureReportLength", d.hid.featureReportLength);
    d.hid.usagePage = static_cast<uint16_t>(Number(h, "usagePage", d.hid.usagePage));
    d.hid.usage = static_cast<uint16_t>(Number(h, "usage", d.hid.usage));
    d.hid.version = static_cast<uint16_t>(Number(h, "version", d.revision));
  }

  if (auto f = j.find("faults"); f != j.end() && f->is_object()) {
    d.faults.dataRangeFormatSize = Text(*f, "dataRangeFormatSize", "");
    d.faults.multipleItemOverflow = Flag(*f, "multipleItemOverflow", false);
    d.faults.failProperty = Text(*f, "failProperty", "");
    d.faults.failPropertyPin = f->contains("failPropertyPin") && (*f)["failPropertyPin"].is_number()
                                   ? (*f)["failPropertyPin"].get<int>()
                                   : -1;
    d.faults.stall = Flag(*f, "stall", false);
    d.faults.asyncProperties = Flag(*f, "asyncProperties", false);
    d.faults.shortCapture = Flag(*f, "shortCapture", false);
  }
  return d;
}

std::vector<UsbDevice> Devices() {
  // Read the profile file itself: another process may have plugged, unplugged or changed a
  // device since this process cached its profile.
  nlohmann::json profile;
  {
    std::ifstream in(MachineRoot() + "/machine.json");
    profile = nlohmann::json::parse(in, nullptr, false);
  }
  if (profile.is_discarded() || !profile.is_object()) profile = Profile();
  std::vector<UsbDevice> out;
  auto usb = profile.find("usb");
  if (usb == profile.end() || !usb->is_array()) return out;
  for (size_t i = 0; i < usb->size(); i++)
    if ((*usb)[i].is_object()) out.push_back(ParseDevice((*usb)[i], i));
  return out;
}

namespace {
std::string UsbPrefix(const UsbDevice& d, const char* bus, uint32_t mi) {
  char buf[96];
  if (d.composite)
    snprintf(buf, sizeof buf, "\\\\?\\%s#vid_%04x&pid_%04x&mi_%02x#", bus, d.vid, d.pid, mi);
  else
    snprintf(buf, sizeof buf, "\\\\?\\%s#vid_%04x&pid_%04x#", bus, d.vid, d.pid);
  return buf;
}
}  // namespace

std::string AudioInterfacePath(const UsbDevice& d, const std::string& classGuid) {
  return UsbPrefix(d, "usb", d.audio.mi) + d.instance + "&0001#" + classGuid + "\\global";
}

std::string HidInterfacePath(const UsbDevice& d) {
  std::string instance = d.instance;
  if (!instance.empty()) instance[0] = '8';
  return UsbPrefix(d, "hid", d.hid.mi) + instance + "&0000#" + kHidGuid;
}

std::string HardwareIds(const UsbDevice& d, Function function) {
  uint32_t mi = function == Function::Hid ? d.hid.mi : d.audio.mi;
  const char* bus = function == Function::Hid ? "HID" : "USB";
  char a[96], b[96];
  if (d.composite) {
    snprintf(a, sizeof a, "%s\\VID_%04X&PID_%04X&REV_%04X&MI_%02X", bus, d.vid, d.pid, d.revision, mi);
    snprintf(b, sizeof b, "%s\\VID_%04X&PID_%04X&MI_%02X", bus, d.vid, d.pid, mi);
  } else {
    snprintf(a, sizeof a, "%s\\VID_%04X&PID_%04X&REV_%04X", bus, d.vid, d.pid, d.revision);
    snprintf(b, sizeof b, "%s\\VID_%04X&PID_%04X", bus, d.vid, d.pid);
  }
  std::string ids = a;
  ids.push_back('\0');
  ids += b;
  ids.push_back('\0');
  ids.push_back('\0');
  return ids;
}

bool FindByPath(const std::string& path, UsbDevice* device, Function* function) {
  // "\\.\" names the same device as "\\?\".
  std::string p = path;
  if (p.compare(0, 4, "\\\\.\\") == 0) p[2] = '?';
  for (const UsbDevice& d : Devices()) {
    if (!d.present) continue;
    if (d.audio.present) {
      for (const char* guid : {kAudioGuid, kRenderGuid, kCaptureGuid}) {
        if ((guid == kRenderGuid && d.audio.renderAlias == "none") ||
            (guid == kCaptureGuid && d.audio.captureAlias == "none"))
          continue;
        if (strcasecmp(AudioInterfacePath(d, guid).c_str(), p.c_str()) == 0) {
          if (device) *device = d;
          if (function) *function = Function::Audio;
          return true;
        }
      }
    }
    if (d.hid.present && strcasecmp(HidInterfacePath(d).c_str(), p.c_str()) == 0) {
      if (device) *device = d;
      if (function) *function = Function::Hid;
      return true;
    }
  }
  return false;
}

}  // namespace velno::sim::device
