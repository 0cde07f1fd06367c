// What the host plays: test signals, WAV files (PCM) and DSF files (DSD), and their packing
// into the sample type the driver asked for (including DSD-over-PCM).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "asio.h"

namespace asiohost {

// A source of samples for each channel, produced buffer by buffer.
class Source {
 public:
  virtual ~Source() = default;
  // Writes `frames` host samples of channel `channel` in `type` into `out` (frames counts
  // DSD samples for the DSD type: frames / 8 bytes).
  virtual void Render(int channel, ASIOSampleType type, uint8_t* out, long frames) = 0;
  virtual void Advance(long frames) = 0;
  virtual std::string Describe() const = 0;
};

// kind: "sine" (997 Hz on the left, 1499 Hz on the right, -6 dBFS), "ramp" (a counter that
// differs per channel), "dsd" (a 1 kHz sine through a sigma-delta modulator, DSD rates).
std::unique_ptr<Source> MakeTestSignal(const std::string& kind, double rate);

// A WAV file (PCM 16, 24 or 32 bits, plain or extensible). Empty with an error on failure.
std::unique_ptr<Source> OpenWav(const std::string& path, std::string* error, double* fileRate);
// A DSF file (DSD, LSB-first bits as the format stores them; handed out MSB first).
std::unique_ptr<Source> OpenDsf(const std::string& path, std::string* error, double* dsdRate);

// DSD-over-PCM: packs a DSD source (at 16 times the PCM rate) into 24-bit samples in the top
// three bytes of the PCM sample type, with the 0x05/0xFA markers alternating frame by frame.
std::unique_ptr<Source> PackAsDop(std::unique_ptr<Source> dsd);

int BytesPerSample(ASIOSampleType type);

}  // namespace asiohost
