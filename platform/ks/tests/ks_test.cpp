// The kernel-streaming side of the device as Windows shows it: filters opened by path, the
// property size protocol and errors, pin creation through ksuser.dll, pin properties.
#include <gtest/gtest.h>
#include <ks.h>
#include <ksmedia.h>
#include <testsupport.h>
#include <velno/device.h>
#include <windows.h>

#include <vector>

using velno::testing::TempMachine;
namespace dev = velno::sim::device;

namespace {

typedef DWORD(WINAPI* CreatePinFn)(HANDLE, PKSPIN_CONNECT, ACCESS_MASK, PHANDLE);

HANDLE OpenFilter(const char* guid = dev::kAudioGuid) {
  std::string path = dev::AudioInterfacePath(dev::Devices()[0], guid);
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
}

// A property request on an overlapped handle, completed (or failed) at once.
DWORD Property(HANDLE h, const void* request, DWORD requestSize, void* out, DWORD outSize, DWORD* bytes) {
  OVERLAPPED ov{};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD error = ERROR_SUCCESS;
  if (!DeviceIoControl(h, IOCTL_KS_PROPERTY, const_cast<void*>(request), requestSize, out, outSize, bytes, &ov))
    error = GetLastError();
  CloseHandle(ov.hEvent);
  return error;
}

KSP_PIN PinRequest(ULONG id, ULONG pin) {
  KSP_PIN p{};
  p.Property.Set = KSPROPSETID_Pin;
  p.Property.Id = id;
  p.Property.Flags = KSPROPERTY_TYPE_GET;
  p.PinId = pin;
  return p;
}

struct Connect {
  KSPIN_CONNECT connect;
  KSDATAFORMAT format;
  WAVEFORMATEXTENSIBLE wave;
};

Connect Request(ULONG pin, WORD channels, DWORD rate, WORD bits) {
  Connect c{};
  c.connect.Interface.Set = KSINTERFACESETID_Standard;
  c.connect.Medium.Set = KSMEDIUMSETID_Standard;
  c.connect.PinId = pin;
  c.connect.Priority.PriorityClass = KSPRIORITY_NORMAL;
  c.format.FormatSize = sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEXTENSIBLE);
  c.format.MajorFormat = KSDATAFORMAT_TYPE_AUDIO;
  c.format.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
  c.format.Specifier = KSDATAFORMAT_SPECIFIER_WAVEFORMATEX;
  c.wave.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  c.wave.Format.nChannels = channels;
  c.wave.Format.nSamplesPerSec = rate;
  c.wave.Format.wBitsPerSample = bits;
  c.wave.Format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  c.wave.Format.nAvgBytesPerSec = c.wave.Format.nBlockAlign * rate;
  c.wave.Format.cbSize = 22;
  c.wave.Samples.wValidBitsPerSample = bits;
  c.wave.dwChannelMask = 3;
  c.wave.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
  return c;
}

CreatePinFn KsUserCreatePin() {
  HMODULE ksuser = LoadLibraryA("ksuser.dll");
  EXPECT_NE(ksuser, nullptr);
  return ksuser ? reinterpret_cast<CreatePinFn>(reinterpret_cast<void*>(GetProcAddress(ksuser, "KsCreatePin")))
                : nullptr;
}

}  // namespace

TEST(KsFilterObject, OpensByEveryAliasPathButNotForAMissingDevice) {
  TempMachine machine(nlohmann::json::parse(R"({"usb": [{"audio": {"captureAlias": "none"}}]})"));
  for (const char* guid : {dev::kAudioGuid, dev::kRenderGuid}) {
    HANDLE h = OpenFilter(guid);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << guid;
    HANDLE again = OpenFilter(guid);  // kernel streaming takes no notice of share modes
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
    CloseHandle(h);
  }
  EXPECT_EQ(OpenFilter(dev::kCaptureGuid), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(KsFilterObject, PropertySizeProtocolAndErrors) {
  TempMachine machine;
  HANDLE h = OpenFilter();
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD bytes = 0;
  KSP_PIN ranges = PinRequest(KSPROPERTY_PIN_DATARANGES, 0);
  // No output buffer: the size, with ERROR_MORE_DATA.
  EXPECT_EQ(Property(h, &ranges, sizeof ranges, nullptr, 0, &bytes), DWORD(ERROR_MORE_DATA));
  EXPECT_EQ(bytes, 8u + 3 * 88u);
  // A list answers its size alone into a ULONG, its header into a KSMULTIPLE_ITEM.
  ULONG size = 0;
  EXPECT_EQ(Property(h, &ranges, sizeof ranges, &size, sizeof size, &bytes), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(size, 8u + 3 * 88u);
  KSMULTIPLE_ITEM header{};
  EXPECT_EQ(Property(h, &ranges, sizeof ranges, &header, sizeof header, &bytes), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(header.Count, 3u);
  std::vector<BYTE> small(100);
  EXPECT_EQ(Property(h, &ranges, sizeof ranges, small.data(), 100, &bytes), DWORD(ERROR_INSUFFICIENT_BUFFER));
  std::vector<BYTE> all(size);
  ASSERT_EQ(Property(h, &ranges, sizeof ranges, all.data(), size, &bytes), DWORD(ERROR_SUCCESS));
  auto* first = reinterpret_cast<KSDATARANGE_AUDIO*>(all.data() + 8);
  EXPECT_EQ(first->DataRange.FormatSize, sizeof(KSDATARANGE_AUDIO));
  EXPECT_EQ(first->DataRange.SubFormat, KSDATAFORMAT_SUBTYPE_PCM);
  EXPECT_EQ(first->MaximumSampleFrequency, 384000u);
  // Fixed-size values refuse a short buffer.
  KSP_PIN flow = PinRequest(KSPROPERTY_PIN_DATAFLOW, 3);
  USHORT half;
  EXPECT_EQ(Property(h, &flow, sizeof flow, &half, sizeof half, &bytes), DWORD(ERROR_INSUFFICIENT_BUFFER));
  ULONG value = 0;
  EXPECT_EQ(Property(h, &flow, sizeof flow, &value, sizeof value, &bytes), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(value, ULONG(KSPIN_DATAFLOW_OUT));
  // Errors: an unknown pin, property or set, a request too short for a pin property.
  KSP_PIN bad = PinRequest(KSPROPERTY_PIN_DATAFLOW, 9);
  EXPECT_EQ(Property(h, &bad, sizeof bad, &value, sizeof value, &bytes), DWORD(ERROR_INVALID_PARAMETER));
  bad = PinRequest(KSPROPERTY_PIN_PHYSICALCONNECTION, 0);
  EXPECT_EQ(Property(h, &bad, sizeof bad, &value, sizeof value, &bytes), DWORD(ERROR_NOT_FOUND));
  bad.Property.Set = KSPROPSETID_Connection;
  EXPECT_EQ(Property(h, &bad, sizeof bad, &value, sizeof value, &bytes), DWORD(ERROR_SET_NOT_FOUND));
  EXPECT_EQ(Property(h, &flow, sizeof(KSPROPERTY), &value, sizeof value, &bytes), DWORD(ERROR_INVALID_PARAMETER));
  CloseHandle(h);
}

TEST(KsPinObject, CreatedThroughKsUserWithFormatsTheRangesAccept) {
  TempMachine machine;
  CreatePinFn create = KsUserCreatePin();
  ASSERT_NE(create, nullptr);
  HANDLE filter = OpenFilter();
  HANDLE pin = INVALID_HANDLE_VALUE;
  struct Case {
    ULONG pinId;
    WORD channels;
    DWORD rate;
    WORD bits;
    DWORD expected;
  };
  const Case refused[] = {
      {1, 2, 48000, 16, ERROR_INVALID_FUNCTION},  // a bridge pin has no instances
      {9, 2, 48000, 16, ERROR_INVALID_PARAMETER},
      {0, 2, 8000, 16, ERROR_NO_MATCH},
      {0, 4, 48000, 16, ERROR_NO_MATCH},
      {0, 2, 48000, 20, ERROR_NO_MATCH},
  };
  for (const Case& c : refused) {
    Connect request = Request(c.pinId, c.channels, c.rate, c.bits);
    EXPECT_EQ(create(filter, &request.connect, GENERIC_READ | GENERIC_WRITE, &pin), c.expected) << c.pinId << "/" << c.rate;
    EXPECT_EQ(pin, INVALID_HANDLE_VALUE);
  }
  Connect request = Request(0, 2, 48000, 16);
  request.connect.Interface.Id = KSINTERFACE_STANDARD_LOOPED_STREAMING;  // not offered by this pin
  EXPECT_EQ(create(filter, &request.connect, GENERIC_READ | GENERIC_WRITE, &pin), DWORD(ERROR_NO_MATCH));
  request.connect.Interface.Id = KSINTERFACE_STANDARD_STREAMING;
  EXPECT_EQ(create(INVALID_HANDLE_VALUE, &request.connect, GENERIC_READ | GENERIC_WRITE, &pin), DWORD(ERROR_INVALID_HANDLE));
  ASSERT_EQ(create(filter, &request.connect, GENERIC_READ | GENERIC_WRITE, &pin), DWORD(ERROR_SUCCESS));

  // The pin instance: its connection state and data format; its instance counted on the filter.
  DWORD bytes = 0;
  KSPROPERTY state{};
  state.Set = KSPROPSETID_Connection;
  state.Id = KSPROPERTY_CONNECTION_STATE;
  state.Flags = KSPROPERTY_TYPE_GET;
  ULONG value = 9;
  EXPECT_EQ(Property(pin, &state, sizeof state, &value, sizeof value, &bytes), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(value, ULONG(KSSTATE_STOP));
  state.Flags = KSPROPERTY_TYPE_SET;
  value = 7;
  EXPECT_EQ(Property(pin, &state, sizeof state, &value, sizeof value, &bytes), DWORD(ERROR_INVALID_PARAMETER));
  KSPROPERTY format = state;
  format.Id = KSPROPERTY_CONNECTION_DATAFORMAT;
  format.Flags = KSPROPERTY_TYPE_GET;
  Connect back{};
  EXPECT_EQ(Property(pin, &format, sizeof format, &back.format, sizeof back - sizeof back.connect, &bytes),
            DWORD(ERROR_SUCCESS));
  EXPECT_EQ(bytes, sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEXTENSIBLE));
  EXPECT_EQ(back.wave.Format.nSamplesPerSec, 48000u);
  KSP_PIN instances = PinRequest(KSPROPERTY_PIN_CINSTANCES, 0);
  KSPIN_CINSTANCES counts{};
  EXPECT_EQ(Property(filter, &instances, sizeof instances, &counts, sizeof counts, &bytes), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(counts.PossibleCount, 1u);
  EXPECT_EQ(counts.CurrentCount, 1u);
  HANDLE second = INVALID_HANDLE_VALUE;
  EXPECT_EQ(create(filter, &request.connect, GENERIC_READ | GENERIC_WRITE, &second), DWORD(ERROR_NO_SYSTEM_RESOURCES));
  CloseHandle(pin);
  EXPECT_EQ(Property(filter, &instances, sizeof instances, &counts, sizeof counts, &bytes), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(counts.CurrentCount, 0u);
  CloseHandle(filter);
}

TEST(KsPinObject, StreamRequestsCheckTheirHeaderAndDirection) {
  TempMachine machine;
  CreatePinFn create = KsUserCreatePin();
  HANDLE filter = OpenFilter();
  Connect request = Request(0, 2, 48000, 16);
  HANDLE pin = INVALID_HANDLE_VALUE;
  ASSERT_EQ(create(filter, &request.connect, GENERIC_READ | GENERIC_WRITE, &pin), DWORD(ERROR_SUCCESS));
  KSPROPERTY state{};
  state.Set = KSPROPSETID_Connection;
  state.Id = KSPROPERTY_CONNECTION_STATE;
  state.Flags = KSPROPERTY_TYPE_SET;
  ULONG pause = KSSTATE_PAUSE;
  DWORD bytes = 0;
  ASSERT_EQ(Property(pin, &state, sizeof state, &pause, sizeof pause, &bytes), DWORD(ERROR_SUCCESS));
  BYTE data[64] = {};
  KSSTREAM_HEADER header{};
  header.Size = sizeof header;
  header.FrameExtent = sizeof data;
  header.DataUsed = sizeof data;
  header.Data = data;
  OVERLAPPED ov{};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(DeviceIoControl(pin, IOCTL_KS_READ_STREAM, nullptr, 0, &header, sizeof header, &bytes, &ov));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FUNCTION)) << "a render pin is not read";
  header.Size = 20;
  EXPECT_FALSE(DeviceIoControl(pin, IOCTL_KS_WRITE_STREAM, nullptr, 0, &header, sizeof header, &bytes, &ov));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  header.Size = sizeof header;
  header.DataUsed = 2 * sizeof data;
  EXPECT_FALSE(DeviceIoControl(pin, IOCTL_KS_WRITE_STREAM, nullptr, 0, &header, sizeof header, &bytes, &ov));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "more used than the frame holds";
  header.DataUsed = sizeof data;
  EXPECT_FALSE(DeviceIoControl(pin, IOCTL_KS_WRITE_STREAM, nullptr, 0, &header, sizeof header, &bytes, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "an overlapped handle needs an OVERLAPPED";
  EXPECT_FALSE(DeviceIoControl(pin, IOCTL_KS_WRITE_STREAM, nullptr, 0, &header, sizeof header, &bytes, &ov));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
  EXPECT_EQ(bytes, 0u);
  EXPECT_TRUE(CancelIo(pin));
  ASSERT_EQ(WaitForSingleObject(ov.hEvent, 1000), WAIT_OBJECT_0);
  EXPECT_FALSE(GetOverlappedResult(pin, &ov, &bytes, FALSE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_OPERATION_ABORTED));
  CloseHandle(ov.hEvent);
  CloseHandle(pin);
  CloseHandle(filter);
}
