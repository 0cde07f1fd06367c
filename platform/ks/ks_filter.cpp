// Kernel-streaming filters of the machine's audio functions: opened by CreateFileA on an audio
// interface path (or one of its aliases), answering the pin and topology property sets.
#include <strings.h>

#include <cstring>
#include <thread>

#include "ks_internal.h"

namespace velno::ks {
namespace {

GUID MajorGuid(const std::string& name) {
  if (name == "audio") return KSDATAFORMAT_TYPE_AUDIO;
  if (name == "music") return KSDATAFORMAT_TYPE_MUSIC;
  return GUID_NULL;
}

GUID SubGuid(const std::string& name) {
  if (name == "pcm") return KSDATAFORMAT_SUBTYPE_PCM;
  if (name == "float") return KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;
  if (name == "analog") return KSDATAFORMAT_SUBTYPE_ANALOG;
  if (name == "midi") return KSDATAFORMAT_SUBTYPE_MIDI;
  return GUID_NULL;
}

GUID SpecifierGuid(const std::string& name) {
  if (name == "waveformatex") return KSDATAFORMAT_SPECIFIER_WAVEFORMATEX;
  if (name == "none") return KSDATAFORMAT_SPECIFIER_NONE;
  if (name == "dsound") return KSDATAFORMAT_SPECIFIER_DSOUND;
  return GUID_NULL;
}

GUID CategoryGuid(const std::string& name) {
  if (name == "speaker") return KSNODETYPE_SPEAKER;
  if (name == "microphone") return KSNODETYPE_MICROPHONE;
  if (name == "audio") return KSCATEGORY_AUDIO;
  return GUID_NULL;
}

GUID NodeGuid(const std::string& name) {
  if (name == "dac") return KSNODETYPE_DAC;
  if (name == "adc") return KSNODETYPE_ADC;
  if (name == "volume") return KSNODETYPE_VOLUME;
  if (name == "mute") return KSNODETYPE_MUTE;
  return GUID_NULL;
}

template <class T>
void Append(std::vector<uint8_t>* v, const T& item) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&item);
  v->insert(v->end(), p, p + sizeof(T));
}

std::vector<uint8_t> List(const std::vector<std::vector<uint8_t>>& items) {
  std::vector<uint8_t> v(sizeof(KSMULTIPLE_ITEM));
  for (auto& item : items) v.insert(v.end(), item.begin(), item.end());
  KSMULTIPLE_ITEM header{static_cast<ULONG>(v.size()), static_cast<ULONG>(items.size())};
  memcpy(v.data(), &header, sizeof header);
  return v;
}

template <class T>
std::vector<uint8_t> Bytes(const T& item) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&item);
  return std::vector<uint8_t>(p, p + sizeof(T));
}

const char* PinPropertyName(ULONG id) {
  switch (id) {
    case KSPROPERTY_PIN_CINSTANCES: return "CINSTANCES";
    case KSPROPERTY_PIN_CTYPES: return "CTYPES";
    case KSPROPERTY_PIN_DATAFLOW: return "DATAFLOW";
    case KSPROPERTY_PIN_DATARANGES: return "DATARANGES";
    case KSPROPERTY_PIN_INTERFACES: return "INTERFACES";
    case KSPROPERTY_PIN_MEDIUMS: return "MEDIUMS";
    case KSPROPERTY_PIN_COMMUNICATION: return "COMMUNICATION";
    case KSPROPERTY_PIN_GLOBALCINSTANCES: return "GLOBALCINSTANCES";
    case KSPROPERTY_PIN_CATEGORY: return "CATEGORY";
    case KSPROPERTY_PIN_NAME: return "NAME";
    default: return "";
  }
}

std::shared_ptr<kernel::FileObject> OpenFilter(const std::string& path, DWORD access, DWORD share, DWORD flags,
                                               DWORD* error) {
  dev::UsbDevice device;
  dev::Function fn;
  if (!dev::FindByPath(path, &device, &fn) || fn != dev::Function::Audio) {
    *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  // A filter can be opened any number of times; kernel streaming does not apply share modes.
  return std::make_shared<FilterFile>(device);
}

const bool g_registered = [] {
  kernel::RegisterDeviceNamespace("\\\\?\\usb#", OpenFilter);
  kernel::RegisterDeviceNamespace("\\\\.\\usb#", OpenFilter);
  return true;
}();

}  // namespace

DWORD AnswerProperty(const std::vector<uint8_t>& value, ValueKind kind, void* out, DWORD outSize, DWORD* transferred) {
  DWORD size = static_cast<DWORD>(value.size());
  *transferred = 0;
  if (outSize == 0) {
    *transferred = size;
    return ERROR_MORE_DATA;
  }
  if (!out) return ERROR_INVALID_PARAMETER;
  if (outSize < size) {
    if (kind == ValueKind::List && (outSize == sizeof(ULONG) || outSize == sizeof(KSMULTIPLE_ITEM))) {
      memcpy(out, value.data(), outSize);
      *transferred = outSize;
      return ERROR_SUCCESS;
    }
    if (kind == ValueKind::String) {
      *transferred = size;
      return ERROR_MORE_DATA;
    }
    return ERROR_INSUFFICIENT_BUFFER;
  }
  memcpy(out, value.data(), size);
  *transferred = size;
  return ERROR_SUCCESS;
}

DWORD FilterFile::PinProperty(const KSP_PIN& request, std::vector<uint8_t>* value, ValueKind* kind) {
  const auto& pins = device_.audio.pins;
  ULONG id = request.Property.Id;
  *kind = ValueKind::Fixed;
  if (id == KSPROPERTY_PIN_CTYPES) {
    *value = Bytes(static_cast<ULONG>(pins.size()));
    return ERROR_SUCCESS;
  }
  if (request.PinId >= pins.size()) return ERROR_INVALID_PARAMETER;
  const dev::Pin& pin = pins[request.PinId];
  switch (id) {
    case KSPROPERTY_PIN_DATAFLOW:
      *value = Bytes(static_cast<ULONG>(pin.dataFlow));
      return ERROR_SUCCESS;
    case KSPROPERTY_PIN_COMMUNICATION:
      *value = Bytes(static_cast<ULONG>(pin.communication));
      return ERROR_SUCCESS;
    case KSPROPERTY_PIN_CINSTANCES:
    case KSPROPERTY_PIN_GLOBALCINSTANCES: {
      KSPIN_CINSTANCES c{pin.instances, dev::InstanceSlot::CurrentCount(device_, pin.id, pin.instances)};
      *value = Bytes(c);
      return ERROR_SUCCESS;
    }
    case KSPROPERTY_PIN_CATEGORY:
      *value = Bytes(CategoryGuid(pin.category));
      return ERROR_SUCCESS;
    case KSPROPERTY_PIN_NAME: {
      *kind = ValueKind::String;
      value->clear();
      for (char c : pin.name) Append(value, static_cast<uint16_t>(static_cast<unsigned char>(c)));
      Append(value, uint16_t{0});
      return ERROR_SUCCESS;
    }
    case KSPROPERTY_PIN_INTERFACES:
    case KSPROPERTY_PIN_MEDIUMS: {
      *kind = ValueKind::List;
      bool interfaces = id == KSPROPERTY_PIN_INTERFACES;
      std::vector<std::vector<uint8_t>> items;
      for (uint32_t n : interfaces ? pin.interfaces : pin.mediums) {
        KSIDENTIFIER k{};
        k.Set = interfaces ? KSINTERFACESETID_Standard : KSMEDIUMSETID_Standard;
        k.Id = n;
        items.push_back(Bytes(k));
      }
      *value = List(items);
      return ERROR_SUCCESS;
    }
    case KSPROPERTY_PIN_DATARANGES: {
      *kind = ValueKind::List;
      std::vector<std::vector<uint8_t>> items;
      for (const dev::DataRange& r : pin.ranges) {
        KSDATARANGE_AUDIO a{};
        a.DataRange.FormatSize = r.audio ? sizeof(KSDATARANGE_AUDIO) : sizeof(KSDATARANGE);
        a.DataRange.MajorFormat = MajorGuid(r.major);
        a.DataRange.SubFormat = SubGuid(r.subFormat);
        a.DataRange.Specifier = SpecifierGuid(r.specifier);
        a.MaximumChannels = r.maxChannels;
        a.MinimumBitsPerSample = r.minBits;
        a.MaximumBitsPerSample = r.maxBits;
        a.MinimumSampleFrequency = r.minRate;
        a.MaximumSampleFrequency = r.maxRate;
        std::vector<uint8_t> bytes = Bytes(a);
        bytes.resize(a.DataRange.FormatSize);
        items.push_back(bytes);
      }
      // The malformed devices a profile can ask for.
      const std::string& f = device_.faults.dataRangeFormatSize;
      if (!items.empty() && f == "zero") reinterpret_cast<KSDATARANGE*>(items.front().data())->FormatSize = 0;
      if (!items.empty() && f == "overrun") reinterpret_cast<KSDATARANGE*>(items.back().data())->FormatSize = 0x10000;
      *value = List(items);
      if (device_.faults.multipleItemOverflow) reinterpret_cast<KSMULTIPLE_ITEM*>(value->data())->Count += 3;
      return ERROR_SUCCESS;
    }
    default:
      return ERROR_NOT_FOUND;
  }
}

DWORD FilterFile::TopologyProperty(ULONG id, std::vector<uint8_t>* value, ValueKind* kind) {
  *kind = ValueKind::List;
  std::vector<std::vector<uint8_t>> items;
  if (id == KSPROPERTY_TOPOLOGY_NODES) {
    for (const std::string& n : device_.audio.nodes) items.push_back(Bytes(NodeGuid(n)));
  } else if (id == KSPROPERTY_TOPOLOGY_CATEGORIES) {
    items.push_back(Bytes(KSCATEGORY_AUDIO));
    if (device_.audio.renderAlias != "none") items.push_back(Bytes(KSCATEGORY_RENDER));
    if (device_.audio.captureAlias != "none") items.push_back(Bytes(KSCATEGORY_CAPTURE));
  } else {
    return ERROR_NOT_FOUND;
  }
  *value = List(items);
  return ERROR_SUCCESS;
}

DWORD FilterFile::IoControl(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* transferred,
                            OVERLAPPED* overlapped) {
  *transferred = 0;
  if (code != IOCTL_KS_PROPERTY) return ERROR_INVALID_FUNCTION;
  if (!in || inSize < sizeof(KSPROPERTY)) return ERROR_INVALID_PARAMETER;
  KSPROPERTY property;
  memcpy(&property, in, sizeof property);
  std::vector<uint8_t> value;
  ValueKind kind = ValueKind::Fixed;
  DWORD error;
  const char* name = "";
  int pinId = -1;
  if (property.Set == KSPROPSETID_Pin) {
    if (inSize < sizeof(KSP_PIN)) return ERROR_INVALID_PARAMETER;
    KSP_PIN request;
    memcpy(&request, in, sizeof request);
    name = PinPropertyName(property.Id);
    pinId = static_cast<int>(request.PinId);
    error = PinProperty(request, &value, &kind);
  } else if (property.Set == KSPROPSETID_Topology) {
    name = property.Id == KSPROPERTY_TOPOLOGY_NODES ? "NODES" : "";
    error = TopologyProperty(property.Id, &value, &kind);
  } else {
    return ERROR_SET_NOT_FOUND;
  }
  if (error != ERROR_SUCCESS) return error;
  if (!(property.Flags & KSPROPERTY_TYPE_GET)) return ERROR_NOT_FOUND;  // these properties are read-only
  const dev::Faults& faults = device_.faults;
  if (!faults.failProperty.empty() && strcasecmp(faults.failProperty.c_str(), name) == 0 &&
      (faults.failPropertyPin < 0 || faults.failPropertyPin == pinId))
    return ERROR_GEN_FAILURE;
  error = AnswerProperty(value, kind, out, outSize, transferred);
  if (error == ERROR_SUCCESS && faults.asyncProperties && outSize != 0) {
    // This device finishes its property requests later, on a thread of its own.
    DWORD count = *transferred;
    *transferred = 0;
    std::thread([overlapped, count] {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      kernel::CompleteOverlapped(overlapped, ERROR_SUCCESS, count);
    }).detach();
    return ERROR_IO_PENDING;
  }
  return error;
}

}  // namespace velno::ks
