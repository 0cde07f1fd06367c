#include "FakeTransport.h"

FakeDevice& TheFakeDevice() {
  static FakeDevice device;
  return device;
}

namespace {

struct FakeRecord : RateRecordBase {};

class CFakeTransport : public CAsioTransport {
 public:
  explicit CFakeTransport(CAsioSample* driver) : driver_(driver) {}

  HRESULT ProbeDevice() override {
    FakeDevice& device = TheFakeDevice();
    if (!device.present) return E_FAIL;
    snprintf(driver_->driverName, sizeof driver_->driverName, "%s", device.friendlyName.c_str());
    driver_->depthMask = device.depthMask;
    driver_->hasCapture = device.hasCapture;
    driver_->productVid = 0x2FC6;
    driver_->productPid = 0xA10D;
    return S_OK;
  }
  BOOL OpenDevice() override { return !TheFakeDevice().openFails; }
  BOOL CreateEngineObjects() override { return TRUE; }
  void BuildRateTables() override {
    FakeDevice& device = TheFakeDevice();
    for (int k = 0; k < kRateCount; ++k) {
      render_[k] = {};
      capture_[k] = {};
      render_[k].sampleRate = capture_[k].sampleRate = kSampleRateTable[k];
      render_[k].asioChannels = device.renderChannels[k];
      render_[k].supported = device.renderChannels[k] > 0;
      if (driver_->hasCapture) {
        capture_[k].asioChannels = device.captureChannels[k];
        capture_[k].supported = device.captureChannels[k] > 0;
      } else {
        capture_[k].supported = 1;  // a device without inputs passes the capture half of rate checks
      }
    }
  }
  RateRecordBase* Record(int direction, int k) override {
    return direction == kRenderDirection ? static_cast<RateRecordBase*>(&render_[k]) : &capture_[k];
  }
  void ChannelState(RateRecordBase*, LONG channel, ASIOBool* isActive, LONG* group) override {
    *isActive = ASIOFalse;
    *group = channel / 2;
  }
  ASIOError OpenStreams(int direction, ASIOBufferInfo*, LONG, LONG, RateRecordBase*) override {
    TheFakeDevice().calls.push_back(direction == kRenderDirection ? "OpenStreams(render)" : "OpenStreams(capture)");
    return ASE_OK;
  }
  ASIOError CloseStreams(RateRecordBase* record) override {
    TheFakeDevice().calls.push_back(record == nullptr ? "CloseStreams(null)" : "CloseStreams");
    return ASE_OK;
  }
  ASIOError StartStreamThreads() override {
    TheFakeDevice().calls.push_back("StartStreamThreads");
    threads_ = true;
    return ASE_OK;
  }
  ASIOError StopStreamThreads() override {
    TheFakeDevice().calls.push_back("StopStreamThreads");
    threads_ = false;
    return ASE_OK;
  }
  bool StreamThreadExists() override { return threads_; }
  // The stream thread's acknowledgement, given at once.
  void SignalStart() override {
    TheFakeDevice().calls.push_back("SignalStart");
    SetEvent(driver_->ackEvent);
  }
  void SignalStop() override {
    TheFakeDevice().calls.push_back("SignalStop");
    SetEvent(driver_->ackEvent);
  }
  void FillOutput(RateRecordBase*, LONG packet, LONG half) override {
    TheFakeDevice().calls.push_back("FillOutput(" + std::to_string(packet) + "," + std::to_string(half) + ")");
  }
  void CloseDevice() override { TheFakeDevice().calls.push_back("CloseDevice"); }

 private:
  CAsioSample* driver_;
  FakeRecord render_[kRateCount] = {};
  FakeRecord capture_[kRateCount] = {};
  bool threads_ = false;
};

}  // namespace

CAsioTransport* CreateTransport(CAsioSample* driver) { return new CFakeTransport(driver); }
void DestroyTransport(CAsioTransport* transport) { delete transport; }
