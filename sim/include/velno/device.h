// The simulated USB devices of the machine: the Velno-HD (a composite device with a kernel-
// streaming audio function and a HID function) and whatever else the profile plugs in.
//
// The profile's "usb" array describes them; every field left out takes the Velno-HD default.
// This layer knows nothing of Win32: the platform's setupapi, hid and ks modules turn these
// descriptions into device interfaces, file objects and kernel-streaming structures.
#pragma once
#include <nlohmann/json.hpp>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velno::sim::device {

// ---- description (from the profile)

struct DataRange {
  std::string major = "audio";             // audio | music | wildcard
  std::string subFormat = "pcm";           // pcm | float | analog | midi | wildcard
  std::string specifier = "waveformatex";  // waveformatex | none | wildcard
  bool audio = true;                       // a KSDATARANGE_AUDIO (88 bytes) or a plain KSDATARANGE (64)
  uint32_t maxChannels = 2;
  uint32_t minBits = 16, maxBits = 16;
  uint32_t minRate = 32000, maxRate = 384000;
};

enum DataFlow : uint32_t { kDataFlowIn = 1, kDataFlowOut = 2 };
enum Communication : uint32_t { kCommNone = 0, kCommSink = 1, kCommSource = 2, kCommBoth = 3, kCommBridge = 4 };

struct Pin {
  uint32_t id = 0;
  std::string name;
  uint32_t dataFlow = kDataFlowIn;
  uint32_t communication = kCommSink;
  std::string category = "none";  // none | speaker | microphone | audio
  uint32_t instances = 1;         // possible instances (machine-wide)
  std::vector<uint32_t> interfaces{0};  // standard interface ids (0 streaming, 1 looped)
  std::vector<uint32_t> mediums{0};     // standard medium ids (0 any instance)
  std::vector<DataRange> ranges;
  bool Streaming() const { return communication == kCommSink || communication == kCommBoth; }
};

struct Faults {
  std::string dataRangeFormatSize;  // "" | "zero" (first range says 0) | "overrun" (a range runs past the end)
  bool multipleItemOverflow = false;  // KSMULTIPLE_ITEM.Count larger than its Size holds
  std::string failProperty;           // a pin property that fails, e.g. "DATARANGES" ("" none)
  int failPropertyPin = -1;           // the pin it fails on (-1 every pin)
  bool stall = false;                 // pins accept stream requests and never complete them
  bool asyncProperties = false;       // property requests complete later, through the event
  // Capture packets come back short: each completes with the bytes of only the first half of
  // its whole frames (rounded down), and the frames after them are overwritten with 0xA5 (not
  // data, but not silence either, so a reader that copies past what came shows it). The
  // generator keeps counting frames by the device's clock: a packet of n frames that starts at
  // clock frame F carries GeneratorSample(F .. F + n/2 - 1), and frames F + n/2 .. F + n - 1
  // are lost.
  bool shortCapture = false;
};

struct AudioFunction {
  bool present = true;
  uint32_t mi = 1;
  std::string friendlyName = "Velno-HD";  // the interface key's FriendlyName ("" leaves it out)
  std::string renderAlias = "active";     // active | removed | none
  std::string captureAlias = "active";
  // What the capture pins record: false, the generator's ramp; true, what the render pins of
  // this device played in this process, in order (silence until there is some).
  bool loopback = false;
  std::vector<Pin> pins;
  std::vector<std::string> nodes;  // node types: dac adc volume mute sum mux supermix
};

struct HidFunction {
  bool present = true;
  uint32_t mi = 6;
  uint32_t inputReportLength = 65;
  uint32_t outputReportLength = 65;
  uint32_t featureReportLength = 0;
  uint16_t usagePage = 0xFF00;
  uint16_t usage = 0x0001;
  uint16_t version = 0x0100;
};

struct UsbDevice {
  size_t index = 0;
  std::string key;  // "usb0", "usb1", ... (folder of its files below <root>/device)
  std::string name = "Velno-HD";
  uint16_t vid = 0, pid = 0, revision = 0x0100;
  std::string instance;  // instance-id part of the paths, e.g. "7&1a2b3c4d&0"
  bool present = true;
  bool composite = true;
  std::string deviceDesc = "USB Audio Device";  // SPDRP_DEVICEDESC of the audio function
  std::string deviceFriendlyName;               // SPDRP_FRIENDLYNAME ("" when absent)
  AudioFunction audio;
  HidFunction hid;
  Faults faults;
};

// The default "usb" entry of a fresh machine (one Velno-HD, first identity of the product table).
nlohmann::json DefaultUsbProfile();
// The default pins and nodes of a Velno-HD audio function.
std::vector<Pin> DefaultPins(const std::vector<uint32_t>& bits, uint32_t minRate, uint32_t maxRate, uint32_t channels);

// Every USB device of the profile, present or not, read fresh from the machine's profile file
// (so a plug, an unplug or a fault switched by another process is seen at the next call).
std::vector<UsbDevice> Devices();
// Parses one "usb" entry (missing fields take their defaults).
UsbDevice ParseDevice(const nlohmann::json& entry, size_t index);

// ---- device interface paths (lower case, as Windows prints them)

enum class Function { None, Audio, Hid };
std::string AudioInterfacePath(const UsbDevice& device, const std::string& classGuid);  // guid "{...}" lower case
std::string HidInterfacePath(const UsbDevice& device);
std::string HardwareIds(const UsbDevice& device, Function function);  // REG_MULTI_SZ text, '\0'-separated
// The present device and function a path names (case-insensitive); false when none.
bool FindByPath(const std::string& path, UsbDevice* device, Function* function);

// Class GUIDs in text form.
constexpr const char kAudioGuid[] = "{6994ad04-93ef-11d0-a3cc-00a0c9223196}";    // KSCATEGORY_AUDIO
constexpr const char kRenderGuid[] = "{65e8773e-8f56-11d0-a3b9-00a0c9223196}";   // KSCATEGORY_RENDER
constexpr const char kCaptureGuid[] = "{65e8773d-8f56-11d0-a3b9-00a0c9223196}";  // KSCATEGORY_CAPTURE
constexpr const char kHidGuid[] = "{4d1e55b2-f16f-11cf-88cb-001111000030}";      // the HID interface class

// ---- what the device keeps: its log, its mode, its streams

// The device folder (<root>/device/<key>), created on demand.
std::string DeviceFolder(const std::string& key);
// Appends one event to the device log (<root>/device/log.jsonl) with time, process id and name.
void Log(const std::string& key, const std::string& event, nlohmann::json details = nlohmann::json::object());
std::vector<nlohmann::json> ReadLog();
// Formats one log entry as a line for people.
std::string FormatLogEntry(const nlohmann::json& entry);

// The DAC's mode: "PCM", "DSD64", "DSD128", "DSD256" or "DoP".
std::string Mode(const std::string& key);
void SetMode(const std::string& key, const std::string& mode);
// An output report arrived on the HID interface: logged, and the mode commands applied.
void HandleHidOutputReport(const UsbDevice& device, const uint8_t* data, size_t size);

// ---- pin instances (counted across every process of the machine; a slot is a lock file that
// the kernel releases when its process dies)
class InstanceSlot {
 public:
  ~InstanceSlot();
  InstanceSlot(const InstanceSlot&) = delete;
  InstanceSlot& operator=(const InstanceSlot&) = delete;
  static std::unique_ptr<InstanceSlot> Acquire(const UsbDevice& device, uint32_t pinId, uint32_t possible);
  static uint32_t CurrentCount(const UsbDevice& device, uint32_t pinId, uint32_t possible);

 private:
  explicit InstanceSlot(int fd) : fd_(fd) {}
  int fd_;
};

// ---- streaming

struct StreamFormat {
  uint16_t tag = 1;  // the wave format tag (1 PCM, 0xFFFE extensible)
  std::string subFormat = "pcm";
  uint32_t channels = 2, rate = 48000, bits = 16, validBits = 16, blockAlign = 4;
  uint32_t channelMask = 0;
  nlohmann::json ToJson() const;
};

// The capture side's signal: a ramp per channel. Sample n of channel c, in a container of
// `bits` bits (little endian, the low `bits` of the value): (n * 2^(bits-16) ... ) — see
// GeneratorSample; the sidecar of a capture stream names it ("generator": "ramp").
uint32_t GeneratorSample(uint64_t frame, uint32_t channel, uint32_t bits);

enum StreamStatus : uint32_t { kStreamOk = 0, kStreamCancelled = 1 };
using CompletionFn = void (*)(void* context, uint32_t status, uint32_t bytes);

// One pin instance's stream: packets are queued by the host and completed by the device's
// clock thread after their frames have been played (render) or recorded (capture) at the
// stream's rate. Render data is appended to a file per stream with a JSON sidecar; capture
// packets are filled with the generator's signal. Nothing is allocated per packet.
class Stream {
 public:
  enum State { kStop = 0, kAcquire = 1, kPause = 2, kRun = 3 };
  Stream(const UsbDevice& device, uint32_t pinId, bool render, const StreamFormat& format);
  ~Stream();  // cancels whatever is pending and closes the files
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  void SetState(State state);
  State state() const { return state_.load(); }
  // Queues a packet: render plays `size` bytes from data; capture fills up to `size` bytes
  // (whole frames). Returns false when the device's queue is full.
  bool Submit(uint8_t* data, uint32_t size, CompletionFn done, void* context);
  // Completes every pending packet with kStreamCancelled (in queue order).
  void CancelAll();
  uint64_t underruns() const { return underruns_.load(); }
  const std::string& dataPath() const { return dataPath_; }
  const std::string& sidecarPath() const { return sidecarPath_; }

 private:
  struct Packet {
    uint8_t* data;
    uint32_t size;
    CompletionFn done;
    void* context;
  };
  static constexpr size_t kQueueSize = 256;
  void ClockThread();
  void WriteSidecar(const char* state);
  int64_t PacketFrames(const Packet& p) const;

  std::string key_;
  std::string mode_;  // the DAC's mode when the stream last started or left running
  uint32_t pinId_;
  bool render_;
  StreamFormat format_;
  bool stall_;
  bool shortCapture_;
  bool loopback_;
  std::string dataPath_, sidecarPath_;
  int dataFd_ = -1;
  int64_t startWallMs_ = 0;

  std::mutex completionMutex_;  // held while a packet is completed, so completions stay in order
  std::mutex mutex_;
  std::condition_variable cv_;
  Packet queue_[kQueueSize];
  size_t head_ = 0, count_ = 0;
  std::atomic<State> state_{kStop};
  bool quit_ = false;
  int64_t baseNs_ = 0;       // monotonic time of frame 0 of the current run
  int64_t framesDone_ = 0;   // frames consumed since baseNs_
  bool dry_ = true;          // the queue ran out while running
  bool playedSinceRun_ = false;
  // The device's clock as a host can compare it with its own: frame f of the stream played
  // (or was recorded) at firstRunNs_ + f / rate, for every f below steadyFrames_ (until the
  // first underrun or the end of the first run; -1 while that first run lasts).
  int64_t firstRunNs_ = 0;
  int64_t steadyFrames_ = -1;
  int64_t completionLateMaxNs_ = 0;  // the clock thread's worst delay in completing a packet
  std::atomic<uint64_t> underruns_{0};
  std::atomic<uint64_t> totalFrames_{0}, totalBytes_{0};  // written by the clock thread
  std::thread thread_;
};

// The sidecars of every stream the device has kept (oldest first), each with "data" (the path
// of its raw file), "direction", "pin", "format", "mode", "start", "frames", "bytes", "underruns",
// and "clock" (monotonic "firstRunNs" and "steadyFrames", see Stream; "lateMaxUs", how late
// the device itself was at worst in completing a packet).
std::vector<nlohmann::json> StreamRecords(const std::string& key);

}  // namespace velno::sim::device
