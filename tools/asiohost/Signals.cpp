#include "Signals.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>

namespace asiohost {

int BytesPerSample(ASIOSampleType type) {
  switch (type) {
    case ASIOSTInt16LSB: return 2;
    case ASIOSTInt24LSB: return 3;
    case ASIOSTInt32LSB: return 4;
    default: return 4;
  }
}

namespace {

void StoreSample(uint8_t* out, int bytes, int32_t value32) {
  // value32 is a full-scale 32-bit sample; narrower types keep its top bytes.
  uint32_t v = (uint32_t)value32;
  for (int b = 0; b < bytes; ++b) out[b] = (uint8_t)(v >> (8 * (4 - bytes + b)));
}

class TestSignal : public Source {
 public:
  TestSignal(std::string kind, double rate) : kind_(std::move(kind)), rate_(rate) {}
  void Render(int channel, ASIOSampleType type, uint8_t* out, long frames) override {
    if (type == ASIOSTDSDInt8MSB1) {
      RenderDsd(channel, out, frames);
      return;
    }
    int bytes = BytesPerSample(type);
    for (long i = 0; i < frames; ++i) {
      uint64_t n = position_ + i;
      int32_t v;
      if (kind_ == "ramp") {
        v = (int32_t)((n * 2654435761u + (uint64_t)channel * 0x9E3779B9u) & 0xFFFFFFFFu);
      } else {
        double f = channel == 0 ? 997.0 : 1499.0;
        v = (int32_t)(std::sin(2.0 * M_PI * f * (double)n / rate_) * 1073741823.0);
      }
      StoreSample(out + i * bytes, bytes, v);
    }
  }
  void Advance(long frames) override { position_ += frames; }
  std::string Describe() const override { return kind_ + " test signal"; }

 private:
  // A first-order sigma-delta modulator of a 1 kHz sine, bits packed MSB first.
  void RenderDsd(int channel, uint8_t* out, long samples) {
    if (integrator_.size() <= (size_t)channel) integrator_.resize(channel + 1, 0.0);
    if (dsdPosition_.size() <= (size_t)channel) dsdPosition_.resize(channel + 1, 0);
    double& acc = integrator_[channel];
    uint64_t& pos = dsdPosition_[channel];
    double f = channel == 0 ? 1000.0 : 1500.0;
    for (long byte = 0; byte < samples / 8; ++byte) {
      uint8_t bits = 0;
      for (int b = 7; b >= 0; --b) {
        double x = 0.5 * std::sin(2.0 * M_PI * f * (double)pos++ / rate_);
        double y = acc >= 0 ? 1.0 : -1.0;
        acc += x - y;
        if (y > 0) bits |= (uint8_t)(1u << b);
      }
      out[byte] = bits;
    }
  }
  std::string kind_;
  double rate_;
  uint64_t position_ = 0;
  std::vector<double> integrator_;
  std::vector<uint64_t> dsdPosition_;
};

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }
uint16_t Le16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint64_t Le64(const uint8_t* p) { return Le32(p) | ((uint64_t)Le32(p + 4) << 32); }

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Interleaved PCM frames from a WAV file, converted to the host's width by keeping the top bytes.
class WavSource : public Source {
 public:
  WavSource(std::vector<uint8_t> data, int channels, int bytes, std::string path)
      : data_(std::move(data)), channels_(channels), bytes_(bytes), path_(std::move(path)) {}
  void Render(int channel, ASIOSampleType type, uint8_t* out, long frames) override {
    int outBytes = BytesPerSample(type);
    size_t total = data_.size() / (channels_ * bytes_);
    for (long i = 0; i < frames; ++i) {
      size_t frame = (position_ + i) % total;  // loops
      int32_t v = 0;
      if (channel < channels_) {
        const uint8_t* s = &data_[(frame * channels_ + channel) * bytes_];
        uint32_t u = 0;
        for (int b = 0; b < bytes_; ++b) u |= (uint32_t)s[b] << (8 * (4 - bytes_ + b));
        v = (int32_t)u;
      }
      StoreSample(out + i * outBytes, outBytes, v);
    }
  }
  void Advance(long frames) override { position_ += frames; }
  std::string Describe() const override { return "WAV file " + path_; }

 private:
  std::vector<uint8_t> data_;
  int channels_, bytes_;
  std::string path_;
  uint64_t position_ = 0;
};

uint8_t ReverseBits(uint8_t b) {
  b = (uint8_t)((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = (uint8_t)((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return (uint8_t)((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// DSD bytes per channel from a DSF file's block-interleaved data.
class DsfSource : public Source {
 public:
  DsfSource(std::vector<std::vector<uint8_t>> channels, std::string path)
      : channels_(std::move(channels)), path_(std::move(path)) {}
  void Render(int channel, ASIOSampleType, uint8_t* out, long samples) override {
    long bytes = samples / 8;
    const std::vector<uint8_t>* ch = channel < (int)channels_.size() ? &channels_[channel] : nullptr;
    for (long i = 0; i < bytes; ++i) out[i] = ch && !ch->empty() ? (*ch)[(position_ + i) % ch->size()] : 0x69;
  }
  void Advance(long samples) override { position_ += samples / 8; }
  std::string Describe() const override { return "DSF file " + path_; }

 private:
  std::vector<std::vector<uint8_t>> channels_;
  std::string path_;
  uint64_t position_ = 0;  // in bytes
};

class DopPacker : public Source {
 public:
  explicit DopPacker(std::unique_ptr<Source> dsd) : dsd_(std::move(dsd)) {}
  void Render(int channel, ASIOSampleType type, uint8_t* out, long frames) override {
    int bytes = BytesPerSample(type);
    scratch_.resize((size_t)frames * 2);
    dsd_->Render(channel, ASIOSTDSDInt8MSB1, scratch_.data(), frames * 16);
    for (long i = 0; i < frames; ++i) {
      uint8_t marker = ((position_ + i) & 1) ? 0xFA : 0x05;
      uint8_t* s = out + i * bytes;
      memset(s, 0, bytes);
      s[bytes - 1] = marker;
      s[bytes - 2] = scratch_[2 * i];      // the earlier DSD byte in the higher position
      s[bytes - 3] = scratch_[2 * i + 1];
    }
  }
  void Advance(long frames) override {
    position_ += frames;
    dsd_->Advance(frames * 16);
  }
  std::string Describe() const override { return "DoP packing of " + dsd_->Describe(); }

 private:
  std::unique_ptr<Source> dsd_;
  std::vector<uint8_t> scratch_;
  uint64_t position_ = 0;
};

}  // namespace

std::unique_ptr<Source> MakeTestSignal(const std::string& kind, double rate) {
  return std::make_unique<TestSignal>(kind, rate);
}

std::unique_ptr<Source> PackAsDop(std::unique_ptr<Source> dsd) { return std::make_unique<DopPacker>(std::move(dsd)); }

std::unique_ptr<Source> OpenWav(const std::string& path, std::string* error, double* fileRate) {
  std::vector<uint8_t> file = ReadFile(path);
  if (file.size() < 12 || memcmp(file.data(), "RIFF", 4) || memcmp(file.data() + 8, "WAVE", 4)) {
    *error = path + " is not a WAV file";
    return nullptr;
  }
  int channels = 0, bits = 0, tag = 0;
  size_t offset = 12;
  while (offset + 8 <= file.size()) {
    uint32_t size = Le32(&file[offset + 4]);
    const uint8_t* body = &file[offset + 8];
    if (offset + 8 + (uint64_t)size > file.size()) size = (uint32_t)(file.size() - offset - 8);
    if (!memcmp(&file[offset], "fmt ", 4) && size >= 16) {
      tag = Le16(body);
      channels = Le16(body + 2);
      *fileRate = Le32(body + 4);
      bits = Le16(body + 14);
      if (tag == 0xFFFE && size >= 26) tag = Le16(body + 24);  // the sub-format's tag
    } else if (!memcmp(&file[offset], "data", 4)) {
      if (tag != 1 || channels <= 0 || (bits != 16 && bits != 24 && bits != 32)) {
        *error = path + ": only PCM WAV files of 16, 24 or 32 bits are played";
        return nullptr;
      }
      std::vector<uint8_t> data(body, body + size);
      if (data.size() < (size_t)channels * bits / 8) {
        *error = path + " holds no audio";
        return nullptr;
      }
      return std::make_unique<WavSource>(std::move(data), channels, bits / 8, path);
    }
    offset += 8 + size + (size & 1);
  }
  *error = path + " has no data chunk";
  return nullptr;
}

std::unique_ptr<Source> OpenDsf(const std::string& path, std::string* error, double* dsdRate) {
  std::vector<uint8_t> file = ReadFile(path);
  if (file.size() < 28 + 52 + 12 || memcmp(file.data(), "DSD ", 4) || memcmp(file.data() + 28, "fmt ", 4)) {
    *error = path + " is not a DSF file";
    return nullptr;
  }
  const uint8_t* fmt = file.data() + 28;
  uint32_t channels = Le32(fmt + 24);
  *dsdRate = Le32(fmt + 28);
  uint32_t bitsPerSample = Le32(fmt + 32);
  uint64_t sampleCount = Le64(fmt + 36);
  uint32_t blockSize = Le32(fmt + 44);
  size_t dataOffset = 28 + (size_t)Le64(fmt + 4);
  if (channels == 0 || channels > 6 || blockSize == 0 || dataOffset + 12 > file.size() ||
      memcmp(&file[dataOffset], "data", 4)) {
    *error = path + ": malformed DSF header";
    return nullptr;
  }
  uint64_t dataSize = Le64(&file[dataOffset + 4]) - 12;
  const uint8_t* data = &file[dataOffset + 12];
  if (dataOffset + 12 + dataSize > file.size()) dataSize = file.size() - dataOffset - 12;
  std::vector<std::vector<uint8_t>> perChannel(channels);
  uint64_t bytesPerChannel = sampleCount / 8;
  for (uint64_t block = 0; (block + 1) * blockSize * channels <= dataSize; ++block) {
    for (uint32_t c = 0; c < channels; ++c) {
      const uint8_t* b = data + (block * channels + c) * blockSize;
      for (uint32_t i = 0; i < blockSize && perChannel[c].size() < bytesPerChannel; ++i)
        perChannel[c].push_back(bitsPerSample == 1 ? ReverseBits(b[i]) : b[i]);
    }
  }
  if (perChannel[0].empty()) {
    *error = path + " holds no DSD data";
    return nullptr;
  }
  return std::make_unique<DsfSource>(std::move(perChannel), path);
}

}  // namespace asiohost
