// Helpers for the library's tests: the simulated device's paths and opened filters.
#pragma once
#include <gtest/gtest.h>
#include <testsupport.h>
#include <velno/device.h>

#include <memory>
#include <string>

#include "kslib.h"

namespace kstest {
namespace dev = velno::sim::device;

inline std::string AudioPath(size_t device = 0) {
  return dev::AudioInterfacePath(dev::Devices()[device], dev::kAudioGuid);
}

template <class Filter>
std::unique_ptr<Filter> Open(size_t device = 0, bool pins = true) {
  HRESULT hr = E_FAIL;
  std::unique_ptr<Filter> f(new Filter(AudioPath(device).c_str(), "Velno-HD", &hr));
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(f->Instantiate(), S_OK);
  if (pins) EXPECT_EQ(f->EnumeratePins(), S_OK);
  return f;
}

inline WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits) {
  WAVEFORMATEX w{};
  w.wFormatTag = WAVE_FORMAT_PCM;
  w.nChannels = channels;
  w.nSamplesPerSec = rate;
  w.wBitsPerSample = bits;
  w.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  w.nAvgBytesPerSec = w.nBlockAlign * rate;
  return w;
}

inline WAVEFORMATEXTENSIBLE Extensible(WORD channels, DWORD rate, WORD bits) {
  WAVEFORMATEXTENSIBLE x{};
  x.Format = Pcm(channels, rate, bits);
  x.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  x.Format.cbSize = 22;
  x.Samples.wValidBitsPerSample = bits;
  x.dwChannelMask = 0x3;
  x.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
  return x;
}

template <class T>
size_t Count(const CKsList<T>& list) {
  return list.GetCount();
}

}  // namespace kstest
