// The one interface through which the driver front end reaches its device. Each driver
// module supplies its transport (kernel streaming, WASAPI) through CreateTransport.
#pragma once
#include "asio.h"

class CAsioSample;

enum { kRenderDirection = 0, kCaptureDirection = 1 };
enum { kRateCount = 9 };

// The start of every transport's per-direction, per-rate format record; the front end reads
// only these fields, the transport keeps its pins or streams and channel slots after them.
struct RateRecordBase {
  LONG supported;
  LONG sampleRate;
  LONG asioChannels;
};

class CAsioTransport {
 public:
  virtual ~CAsioTransport() {}

  // Finds the device at creation: sets the driver's driverName, productVid/productPid,
  // depthMask and hasCapture. E_FAIL when no supported device is present.
  virtual HRESULT ProbeDevice() = 0;
  // init: opens the device for this driver object (filters or endpoints). FALSE on failure.
  virtual BOOL OpenDevice() = 0;
  // init: creates the engine's events and timer (once per object; later calls keep them).
  virtual BOOL CreateEngineObjects() = 0;
  // init: rebuilds the nine records of each direction for the driver's bitsPerSample.
  virtual void BuildRateTables() = 0;
  virtual RateRecordBase* Record(int direction, int rateIndex) = 0;
  // What getChannelInfo reports for one channel of a record: host buffers exist and its pin or
  // stream is open; the group is the pin (or stream) the channel belongs to.
  virtual void ChannelState(RateRecordBase* record, LONG channel, ASIOBool* isActive, LONG* group) = 0;

  // createBuffers / disposeBuffers
  virtual ASIOError OpenStreams(int direction, ASIOBufferInfo* infos, LONG count, LONG bufferFrames,
                                RateRecordBase* record) = 0;
  virtual ASIOError CloseStreams(RateRecordBase* record) = 0;
  virtual ASIOError StartStreamThreads() = 0;
  virtual ASIOError StopStreamThreads() = 0;
  // True while the stream thread exists and can acknowledge a start or stop.
  virtual bool StreamThreadExists() = 0;

  // start / stop hand-over: the stream thread acknowledges through the driver's ackEvent.
  virtual void SignalStart() = 0;
  virtual void SignalStop() = 0;

  // outputReady: copies the host's output half into the device packet it belongs to.
  virtual void FillOutput(RateRecordBase* record, LONG packet, LONG half) = 0;

  // Destruction: closes the engine's events and timer and releases the device.
  virtual void CloseDevice() = 0;
};

// Supplied by each driver module.
CAsioTransport* CreateTransport(CAsioSample* driver);
void DestroyTransport(CAsioTransport* transport);
