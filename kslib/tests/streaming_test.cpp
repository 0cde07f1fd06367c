// Streaming through pin instances of the simulated device: overlapped writes and reads that
// complete in order at the device's pace, and what the device received, bit for bit.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "KsTestSupport.h"

using namespace kstest;
using velno::testing::TempMachine;

namespace {

struct Packet {
  KSSTREAM_HEADER header;
  OVERLAPPED overlapped;
  std::vector<BYTE> data;
};

void Prepare(Packet& p, size_t bytes, bool render) {
  memset(&p.header, 0, sizeof p.header);
  memset(&p.overlapped, 0, sizeof p.overlapped);
  p.data.assign(bytes, 0);
  p.header.Size = sizeof(KSSTREAM_HEADER);
  p.header.PresentationTime.Numerator = 1;
  p.header.PresentationTime.Denominator = 1;
  p.header.FrameExtent = static_cast<ULONG>(bytes);
  p.header.DataUsed = render ? static_cast<ULONG>(bytes) : 0;
  p.header.Data = p.data.data();
  p.overlapped.hEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
}

CKsAudPin* OpenPin(CKsAudFilter& f, CKsList<CKsPin>& list, const WAVEFORMATEX* format) {
  CKsAudPin* pin = static_cast<CKsAudPin*>(list.GetHead()->item);
  EXPECT_EQ(pin->SetFormat(format), S_OK);
  EXPECT_EQ(pin->Instantiate(FALSE), S_OK);
  EXPECT_EQ(pin->Reset(), S_OK);
  return pin;
}

using Clock = std::chrono::steady_clock;

}  // namespace

TEST(KsStreaming, RenderAndCaptureCompleteInOrderAtTheDevicePaceAndTheDeviceGetsEveryByte) {
  TempMachine machine;
  auto ren = Open<CKsAudRenFilter>();
  auto cap = Open<CKsAudCapFilter>();
  const DWORD rate = 48000;
  const ULONG frames = 480;  // 10 ms packets
  WAVEFORMATEXTENSIBLE x = Extensible(2, rate, 24);
  CKsAudPin* render = OpenPin(*ren, ren->renderSinkPins, &x.Format);
  CKsAudPin* capture = OpenPin(*cap, cap->captureSinkPins, &x.Format);
  const size_t bytes = frames * 6;

  // Eight packets per pin, two in flight, as the engine runs them.
  const int kPackets = 8, kRounds = 24;
  Packet out[kPackets], in[kPackets];
  for (int i = 0; i < kPackets; i++) {
    Prepare(out[i], bytes, true);
    Prepare(in[i], bytes, false);
  }
  std::vector<BYTE> sent, received;
  uint32_t seed = 12345;
  auto fill = [&](Packet& p) {
    for (BYTE& b : p.data) b = static_cast<BYTE>((seed = seed * 1103515245 + 12345) >> 16);
    p.header.DataUsed = static_cast<ULONG>(bytes);
  };
  for (CKsAudPin* pin : {capture, render}) ASSERT_EQ(pin->SetState(KSSTATE_ACQUIRE), S_OK);
  for (CKsAudPin* pin : {capture, render}) ASSERT_EQ(pin->SetState(KSSTATE_PAUSE), S_OK);
  for (int k = 0; k < 2; k++) {
    fill(out[k]);
    sent.insert(sent.end(), out[k].data.begin(), out[k].data.end());
    ASSERT_EQ(capture->ReadData(&in[k].header, &in[k].overlapped), S_OK);
    ASSERT_EQ(render->WriteData(&out[k].header, &out[k].overlapped), S_OK);
  }
  EXPECT_EQ(WaitForSingleObject(out[0].overlapped.hEvent, 50), WAIT_TIMEOUT) << "nothing plays before RUN";

  // A watcher notes the order in which the render requests complete (packet numbers).
  std::atomic<int> sequenceOf[kPackets];
  for (int k = 0; k < kPackets; k++) sequenceOf[k] = k < 2 ? k : -1;
  std::atomic<bool> watching{true};
  std::vector<int> completionOrder;
  std::thread watcher([&] {
    bool pending[kPackets] = {};
    while (watching.load()) {
      // Packets that finished within one look cannot be told apart by looking: they are taken
      // in sequence order, and only the order between looks is checked.
      std::vector<int> finished;
      for (int k = 0; k < kPackets; k++) {
        bool now = __atomic_load_n(&out[k].overlapped.Internal, __ATOMIC_ACQUIRE) == STATUS_PENDING;
        if (pending[k] && !now) finished.push_back(sequenceOf[k].load());
        pending[k] = now;
      }
      std::sort(finished.begin(), finished.end());
      completionOrder.insert(completionOrder.end(), finished.begin(), finished.end());
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  Sleep(5);
  auto start = Clock::now();
  for (CKsAudPin* pin : {capture, render}) ASSERT_EQ(pin->SetState(KSSTATE_RUN), S_OK);

  for (int n = 0; n < kRounds; n++) {
    int k = n % kPackets;
    // Completions arrive in order: packet k before packet k + 1 of the same pin.
    HANDLE both[2] = {out[k].overlapped.hEvent, in[k].overlapped.hEvent};
    ASSERT_EQ(WaitForMultipleObjects(2, both, TRUE, 2000), WAIT_OBJECT_0) << "round " << n;
    DWORD done = 0;
    EXPECT_TRUE(GetOverlappedResult(render->handle, &out[k].overlapped, &done, FALSE));
    EXPECT_EQ(done, sizeof(KSSTREAM_HEADER));
    EXPECT_EQ(in[k].header.DataUsed, bytes);
    received.insert(received.end(), in[k].data.begin(), in[k].data.end());
    if (n + 2 < kRounds) {
      int next = (n + 2) % kPackets;
      fill(out[next]);
      sequenceOf[next] = n + 2;
      sent.insert(sent.end(), out[next].data.begin(), out[next].data.end());
      in[next].header.DataUsed = 0;
      ASSERT_EQ(capture->ReadData(&in[next].header, &in[next].overlapped), S_OK);
      ASSERT_EQ(render->WriteData(&out[next].header, &out[next].overlapped), S_OK);
    }
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  Sleep(5);
  watching = false;
  watcher.join();
  // Packets 0 and 1 were queued before the watcher started; every later one completed in order.
  ASSERT_GE(completionOrder.size(), size_t(kRounds - 2));
  for (size_t i = 1; i < completionOrder.size(); i++)
    EXPECT_LT(completionOrder[i - 1], completionOrder[i]) << "completion " << i;
  EXPECT_GE(seconds, kRounds * 0.010 - 0.002) << "the device cannot play faster than its rate";
  for (CKsAudPin* pin : {capture, render}) ASSERT_EQ(pin->SetState(KSSTATE_PAUSE), S_OK);
  for (CKsAudPin* pin : {capture, render}) ASSERT_EQ(pin->SetState(KSSTATE_STOP), S_OK);
  render->ClosePin();
  capture->ClosePin();
  for (int i = 0; i < kPackets; i++) {
    CloseHandle(out[i].overlapped.hEvent);
    CloseHandle(in[i].overlapped.hEvent);
  }

  // What the host wrote is what the DAC received.
  auto records = dev::StreamRecords("usb0");
  ASSERT_EQ(records.size(), 2u) << nlohmann::json(records).dump(1);
  nlohmann::json played = records[0]["direction"] == "render" ? records[0] : records[1];
  EXPECT_EQ(played["format"]["rate"], rate);
  EXPECT_EQ(played["format"]["bits"], 24);
  EXPECT_EQ(played["frames"], kRounds * frames);
  std::ifstream file(played["data"].get<std::string>(), std::ios::binary);
  std::vector<BYTE> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(data.size(), sent.size());
  EXPECT_TRUE(data == sent);
  // What the device recorded is its generator's ramp, frame after frame.
  ASSERT_EQ(received.size(), size_t(kRounds) * bytes);
  for (size_t f = 0; f < received.size() / 6; f++) {
    for (int c = 0; c < 2; c++) {
      const BYTE* s = &received[f * 6 + c * 3];
      ASSERT_EQ(uint32_t(s[0] | s[1] << 8 | s[2] << 16), dev::GeneratorSample(f, c, 24)) << "frame " << f;
    }
  }
}

TEST(KsStreaming, StopAndResetCancelPendingRequestsInOrder) {
  TempMachine machine;
  auto ren = Open<CKsAudRenFilter>();
  WAVEFORMATEX w = Pcm(2, 44100, 16);
  CKsAudPin* pin = OpenPin(*ren, ren->renderSinkPins, &w);
  Packet p[4];
  for (Packet& x : p) Prepare(x, 4410 * 4, true);  // 100 ms each
  ASSERT_EQ(pin->SetState(KSSTATE_PAUSE), S_OK);
  for (int i = 0; i < 2; i++) ASSERT_EQ(pin->WriteData(&p[i].header, &p[i].overlapped), S_OK);
  ASSERT_EQ(pin->Reset(), S_OK);
  for (int i = 0; i < 2; i++) {
    ASSERT_EQ(WaitForSingleObject(p[i].overlapped.hEvent, 1000), WAIT_OBJECT_0);
    DWORD done = 7;
    EXPECT_FALSE(GetOverlappedResult(pin->handle, &p[i].overlapped, &done, FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(done, 0u);
  }
  for (int i = 2; i < 4; i++) ASSERT_EQ(pin->WriteData(&p[i].header, &p[i].overlapped), S_OK);
  ASSERT_EQ(pin->SetState(KSSTATE_STOP), S_OK);
  for (int i = 2; i < 4; i++) {
    ASSERT_EQ(WaitForSingleObject(p[i].overlapped.hEvent, 1000), WAIT_OBJECT_0);
    DWORD done = 0;
    EXPECT_FALSE(GetOverlappedResult(pin->handle, &p[i].overlapped, &done, FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_OPERATION_ABORTED));
  }
  // A stopped pin takes no requests.
  EXPECT_EQ(pin->WriteData(&p[0].header, &p[0].overlapped), E_FAIL);
  // Closing a pin with a request in flight cancels it.
  ASSERT_EQ(pin->SetState(KSSTATE_RUN), S_OK);
  ASSERT_EQ(pin->WriteData(&p[0].header, &p[0].overlapped), S_OK);
  pin->ClosePin();
  ASSERT_EQ(WaitForSingleObject(p[0].overlapped.hEvent, 1000), WAIT_OBJECT_0);
  for (Packet& x : p) CloseHandle(x.overlapped.hEvent);
}

TEST(KsStreaming, AStarvedPinCountsUnderruns) {
  TempMachine machine;
  auto ren = Open<CKsAudRenFilter>();
  WAVEFORMATEX w = Pcm(2, 48000, 32);
  CKsAudPin* pin = OpenPin(*ren, ren->renderSinkPins, &w);
  Packet p;
  Prepare(p, 48 * 8, true);  // 1 ms
  ASSERT_EQ(pin->SetState(KSSTATE_RUN), S_OK);
  for (int i = 0; i < 2; i++) {
    ASSERT_EQ(pin->WriteData(&p.header, &p.overlapped), S_OK);
    ASSERT_EQ(WaitForSingleObject(p.overlapped.hEvent, 1000), WAIT_OBJECT_0);
    Sleep(20);  // the host is late
  }
  pin->ClosePin();
  CloseHandle(p.overlapped.hEvent);
  auto records = dev::StreamRecords("usb0");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["underruns"], 2);
}
