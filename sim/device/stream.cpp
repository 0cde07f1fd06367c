// The device's streams: a clock thread per pin instance consumes (render) or produces (capture)
// the queued packets at the stream's rate, on CLOCK_MONOTONIC deadlines computed from the
// start of the run (no drift accumulates), and completes them in order.
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>
#include <velno/device.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>

namespace velno::sim::device {
namespace {

int64_t NowNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::atomic<uint32_t> g_streamSeq{0};

// What the render pins of each device played, waiting to be recorded by its capture pins when
// the device loops back; at most a few seconds are kept.
struct LoopbackBuffer {
  StreamFormat format;
  std::deque<uint8_t> bytes;
};
std::mutex g_loopbackMutex;
std::map<std::string, LoopbackBuffer> g_loopback;
const size_t kLoopbackLimit = 16 << 20;

void LoopbackPlayed(const std::string& key, const StreamFormat& format, const uint8_t* data, size_t size) {
  std::lock_guard<std::mutex> lock(g_loopbackMutex);
  LoopbackBuffer& buffer = g_loopback[key];
  if (buffer.format.blockAlign != format.blockAlign || buffer.format.rate != format.rate) buffer.bytes.clear();
  buffer.format = format;
  buffer.bytes.insert(buffer.bytes.end(), data, data + size);
  if (buffer.bytes.size() > kLoopbackLimit) buffer.bytes.erase(buffer.bytes.begin(), buffer.bytes.end() - kLoopbackLimit);
}

// Fills a capture packet with what was played in the same format, silence for the rest.
void LoopbackRecord(const std::string& key, const StreamFormat& format, uint8_t* data, size_t size) {
  std::lock_guard<std::mutex> lock(g_loopbackMutex);
  size_t taken = 0;
  auto it = g_loopback.find(key);
  if (it != g_loopback.end() && it->second.format.blockAlign == format.blockAlign &&
      it->second.format.rate == format.rate && it->second.format.bits == format.bits) {
    std::deque<uint8_t>& bytes = it->second.bytes;
    taken = std::min(size, bytes.size() / format.blockAlign * format.blockAlign);
    std::copy(bytes.begin(), bytes.begin() + taken, data);
    bytes.erase(bytes.begin(), bytes.begin() + taken);
  }
  memset(data + taken, 0, size - taken);
}

const char* StateName(int s) {
  static const char* const names[] = {"STOP", "ACQUIRE", "PAUSE", "RUN"};
  return s >= 0 && s <= 3 ? names[s] : "?";
}

}  // namespace

uint32_t GeneratorSample(uint64_t frame, uint32_t channel, uint32_t bits) {
  uint32_t v = static_cast<uint32_t>(frame * 65539u + channel * 40503u + 122u);
  return bits >= 32 ? v : (v & ((1u << bits) - 1));
}

nlohmann::json StreamFormat::ToJson() const {
  return {{"tag", tag},       {"subFormat", subFormat}, {"channels", channels},    {"rate", rate},
          {"bits", bits},     {"validBits", validBits}, {"blockAlign", blockAlign}, {"channelMask", channelMask}};
}

Stream::Stream(const UsbDevice& device, uint32_t pinId, bool render, const StreamFormat& format)
    : key_(device.key), pinId_(pinId), render_(render), format_(format), stall_(device.faults.stall),
      shortCapture_(device.faults.shortCapture), loopback_(device.audio.loopback) {
  if (format_.blockAlign == 0) format_.blockAlign = 1;
  if (format_.rate == 0) format_.rate = 1;
  std::string dir = DeviceFolder(key_);
  using namespace std::chrono;
  startWallMs_ = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  char name[96];
  snprintf(name, sizeof name, "/stream-%013lld-%07d-%06u-pin%u-%s", static_cast<long long>(startWallMs_),
           static_cast<int>(getpid()), g_streamSeq.fetch_add(1), pinId, render ? "render" : "capture");
  dataPath_ = dir + name + ".raw";
  sidecarPath_ = dir + name + ".json";
  if (render_) dataFd_ = open(dataPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  mode_ = Mode(key_);
  WriteSidecar("open");
  Log(key_, "pin-open", {{"pin", pinId_}, {"direction", render ? "render" : "capture"}, {"format", format_.ToJson()}});
  thread_ = std::thread([this] { ClockThread(); });
}

Stream::~Stream() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
  CancelAll();
  if (dataFd_ >= 0) close(dataFd_);
  WriteSidecar("closed");
  Log(key_, "pin-close", {{"pin", pinId_}, {"frames", totalFrames_.load()}, {"underruns", underruns_.load()}});
}

int64_t Stream::PacketFrames(const Packet& p) const { return p.size / format_.blockAlign; }

void Stream::SetState(State state) {
  State previous;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    previous = state_.load();
    if (previous == state) return;
    state_.store(state);
    if (previous == kRun && steadyFrames_ < 0) steadyFrames_ = static_cast<int64_t>(totalFrames_.load());
    if (state == kRun) {
      baseNs_ = NowNs();
      if (firstRunNs_ == 0) firstRunNs_ = baseNs_;
      framesDone_ = 0;
      dry_ = count_ == 0;
      playedSinceRun_ = false;
      if (previous != kRun) mode_ = Mode(key_);
    }
  }
  // The DAC may switch while the stream runs (DoP is recognised in the stream itself): the
  // stream shows the mode it was played in last.
  if (previous == kRun) {
    std::string now = Mode(key_);
    std::lock_guard<std::mutex> lock(mutex_);
    mode_ = now;
  }
  cv_.notify_all();
  Log(key_, "pin-state", {{"pin", pinId_}, {"from", StateName(previous)}, {"to", StateName(state)}});
  WriteSidecar(StateName(state));
}

bool Stream::Submit(uint8_t* data, uint32_t size, CompletionFn done, void* context) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count_ == kQueueSize) return false;
    queue_[(head_ + count_) % kQueueSize] = Packet{data, size, done, context};
    count_++;
    if (dry_ && state_.load() == kRun) {
      // The device ran out while running; the stream goes on from now.
      if (steadyFrames_ < 0) steadyFrames_ = static_cast<int64_t>(totalFrames_.load());
      baseNs_ = NowNs();
      framesDone_ = 0;
      dry_ = false;
    }
  }
  cv_.notify_all();
  return true;
}

void Stream::CancelAll() {
  std::lock_guard<std::mutex> order(completionMutex_);
  for (;;) {
    Packet p;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (count_ == 0) break;
      p = queue_[head_];
      head_ = (head_ + 1) % kQueueSize;
      count_--;
      if (count_ == 0) dry_ = true;
    }
    if (p.done) p.done(p.context, kStreamCancelled, 0);
  }
}

void Stream::ClockThread() {
  sched_param param{};
  param.sched_priority = 10;
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);  // best effort: needs the privilege
  std::unique_lock<std::mutex> lock(mutex_);
  while (!quit_) {
    if (state_.load() != kRun || stall_) {
      cv_.wait(lock);
      continue;
    }
    int64_t endNs = baseNs_ + static_cast<int64_t>(static_cast<__int128>(framesDone_) * 1000000000 / format_.rate);
    if (count_ == 0) {
      if (!dry_ && playedSinceRun_) {
        // Wait for the end of what was played; a packet that is not queued by then is an underrun.
        if (NowNs() < endNs) {
          cv_.wait_until(lock, std::chrono::steady_clock::time_point(std::chrono::nanoseconds(endNs)));
          continue;
        }
        dry_ = true;
        uint64_t n = ++underruns_;
        lock.unlock();
        Log(key_, "underrun", {{"pin", pinId_}, {"count", n}, {"frame", totalFrames_.load()}});
        lock.lock();
        continue;
      }
      dry_ = true;
      cv_.wait(lock);
      continue;
    }
    const Packet& head = queue_[head_];
    int64_t frames = PacketFrames(head);
    int64_t deadline =
        baseNs_ + static_cast<int64_t>(static_cast<__int128>(framesDone_ + frames) * 1000000000 / format_.rate);
    if (NowNs() < deadline) {
      cv_.wait_until(lock, std::chrono::steady_clock::time_point(std::chrono::nanoseconds(deadline)));
      continue;
    }
    // The packet's frames have been played or recorded: take it and complete it, in order.
    lock.unlock();
    std::unique_lock<std::mutex> order(completionMutex_);
    lock.lock();
    if (count_ == 0 || state_.load() != kRun) continue;  // cancelled or stopped meanwhile
    Packet p = queue_[head_];
    head_ = (head_ + 1) % kQueueSize;
    count_--;
    framesDone_ += frames;
    int64_t late = NowNs() - deadline;
    if (late > completionLateMaxNs_) completionLateMaxNs_ = late;
    playedSinceRun_ = true;
    lock.unlock();
    uint32_t bytes = p.size;
    if (render_) {
      if (loopback_ && p.data && p.size) LoopbackPlayed(key_, format_, p.data, p.size);
      if (dataFd_ >= 0 && p.data && p.size) {
        size_t off = 0;
        while (off < p.size) {
          ssize_t w = write(dataFd_, p.data + off, p.size - off);
          if (w <= 0) break;
          off += static_cast<size_t>(w);
        }
      }
    } else {
      // Whole frames of the generator's ramp, little endian in containers of `bits` bits; a
      // short capture delivers the first half of them and leaves junk in the rest.
      uint32_t sampleBytes = format_.bits / 8;
      const int64_t delivered = shortCapture_ ? frames / 2 : frames;
      bytes = static_cast<uint32_t>(delivered) * format_.blockAlign;
      uint64_t first = totalFrames_;
      if (loopback_ && p.data) LoopbackRecord(key_, format_, p.data, bytes);
      if (shortCapture_ && p.data)
        memset(p.data + bytes, 0xA5, static_cast<size_t>(frames - delivered) * format_.blockAlign);
      for (int64_t f = 0; f < delivered && p.data && !loopback_; f++) {
        uint8_t* frame = p.data + f * format_.blockAlign;
        for (uint32_t c = 0; c < format_.channels && (c + 1) * sampleBytes <= format_.blockAlign; c++) {
          uint32_t v = GeneratorSample(first + f, c, format_.bits);
          for (uint32_t b = 0; b < sampleBytes; b++) frame[c * sampleBytes + b] = static_cast<uint8_t>(v >> (8 * b));
        }
      }
    }
    totalFrames_ += frames;
    totalBytes_ += bytes;
    if (p.done) p.done(p.context, kStreamOk, bytes);
    order.unlock();
    lock.lock();
  }
}

void Stream::WriteSidecar(const char* state) {
  std::string mode;
  nlohmann::json clock;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    mode = mode_;
    clock = {{"firstRunNs", firstRunNs_}, {"steadyFrames", steadyFrames_}, {"lateMaxUs", completionLateMaxNs_ / 1000}};
  }
  nlohmann::json j{{"direction", render_ ? "render" : "capture"},
                   {"device", key_},
                   {"pin", pinId_},
                   {"process", static_cast<int>(getpid())},
                   {"format", format_.ToJson()},
                   {"mode", mode},
                   {"start", startWallMs_},
                   {"state", state},
                   {"frames", totalFrames_.load()},
                   {"bytes", totalBytes_.load()},
                   {"underruns", underruns_.load()},
                   {"clock", clock}};
  if (render_) j["data"] = dataPath_;
  else if (loopback_) j["generator"] = {{"kind", "loopback"}, {"source", "what this device's render pins played, in order"}};
  else j["generator"] = {{"kind", "ramp"}, {"formula", "low bits of (frame * 65539 + channel * 40503 + 122)"}};
  std::string tmp = sidecarPath_ + ".tmp";
  {
    std::ofstream out(tmp);
    out << j.dump(2) << "\n";
  }
  std::rename(tmp.c_str(), sidecarPath_.c_str());
}

std::vector<nlohmann::json> StreamRecords(const std::string& key) {
  std::vector<std::pair<std::string, nlohmann::json>> found;
  std::error_code ec;
  for (auto& entry : std::filesystem::directory_iterator(DeviceFolder(key), ec)) {
    std::string name = entry.path().filename().string();
    if (name.rfind("stream-", 0) != 0 || entry.path().extension() != ".json") continue;
    std::ifstream in(entry.path());
    auto j = nlohmann::json::parse(in, nullptr, false);
    if (!j.is_discarded()) found.emplace_back(name, j);
  }
  std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.first < b.first; });
  std::vector<nlohmann::json> out;
  for (auto& f : found) out.push_back(f.second);
  return out;
}

}  // namespace velno::sim::device
