// The ASIO driver interface as published: types, callbacks, selectors, sample types and
// error codes by their published names and values. Integer types keep the published Windows
// sizes ("long" is 32 bits there), so LONG/ULONG stand for the interface's long types.
#pragma once
#include <windows.h>
#include <objbase.h>

typedef LONG ASIOError;
typedef LONG ASIOBool;
typedef LONG ASIOSampleType;
typedef double ASIOSampleRate;

enum { ASIOFalse = 0, ASIOTrue = 1 };

struct ASIOSamples {
  ULONG hi;
  ULONG lo;
};
struct ASIOTimeStamp {
  ULONG hi;
  ULONG lo;
};

enum {
  ASIOSTInt16MSB = 0,
  ASIOSTInt24MSB = 1,
  ASIOSTInt32MSB = 2,
  ASIOSTFloat32MSB = 3,
  ASIOSTFloat64MSB = 4,
  ASIOSTInt32MSB16 = 8,
  ASIOSTInt32MSB18 = 9,
  ASIOSTInt32MSB20 = 10,
  ASIOSTInt32MSB24 = 11,
  ASIOSTInt16LSB = 16,
  ASIOSTInt24LSB = 17,
  ASIOSTInt32LSB = 18,
  ASIOSTFloat32LSB = 19,
  ASIOSTFloat64LSB = 20,
  ASIOSTInt32LSB16 = 24,
  ASIOSTInt32LSB18 = 25,
  ASIOSTInt32LSB20 = 26,
  ASIOSTInt32LSB24 = 27,
  ASIOSTDSDInt8LSB1 = 32,
  ASIOSTDSDInt8MSB1 = 33,
  ASIOSTDSDInt8NER8 = 40,
  ASIOSTLastEntry
};

enum {
  ASE_OK = 0,
  ASE_SUCCESS = 0x3f4847a0,
  ASE_NotPresent = -1000,
  ASE_HWMalfunction,
  ASE_InvalidParameter,
  ASE_InvalidMode,
  ASE_SPNotAdvancing,
  ASE_NoClock,
  ASE_NoMemory
};

struct ASIOTimeCode {
  double speed;
  ASIOSamples timeCodeSamples;
  ULONG flags;
  char future[64];
};
enum ASIOTimeCodeFlags {
  kTcValid = 1,
  kTcRunning = 1 << 1,
  kTcReverse = 1 << 2,
  kTcOnspeed = 1 << 3,
  kTcStill = 1 << 4,
  kTcSpeedValid = 1 << 8
};

struct AsioTimeInfo {
  double speed;
  ASIOTimeStamp systemTime;
  ASIOSamples samplePosition;
  ASIOSampleRate sampleRate;
  ULONG flags;
  char reserved[12];
};
enum AsioTimeInfoFlags {
  kSystemTimeValid = 1,
  kSamplePositionValid = 1 << 1,
  kSampleRateValid = 1 << 2,
  kSpeedValid = 1 << 3,
  kSampleRateChanged = 1 << 4,
  kClockSourceChanged = 1 << 5
};

struct ASIOTime {
  LONG reserved[4];
  AsioTimeInfo timeInfo;
  ASIOTimeCode timeCode;
};

struct ASIOCallbacks {
  void (*bufferSwitch)(LONG doubleBufferIndex, ASIOBool directProcess);
  void (*sampleRateDidChange)(ASIOSampleRate sRate);
  LONG (*asioMessage)(LONG selector, LONG value, void* message, double* opt);
  ASIOTime* (*bufferSwitchTimeInfo)(ASIOTime* params, LONG doubleBufferIndex, ASIOBool directProcess);
};

// asioMessage selectors
enum {
  kAsioSelectorSupported = 1,
  kAsioEngineVersion,
  kAsioResetRequest,
  kAsioBufferSizeChange,
  kAsioResyncRequest,
  kAsioLatenciesChanged,
  kAsioSupportsTimeInfo,
  kAsioSupportsTimeCode,
  kAsioMMCCommand,
  kAsioSupportsInputMonitor,
  kAsioSupportsInputGain,
  kAsioSupportsInputMeter,
  kAsioSupportsOutputGain,
  kAsioSupportsOutputMeter,
  kAsioOverload,
  kAsioNumMessageSelectors
};

struct ASIOClockSource {
  LONG index;
  LONG associatedChannel;
  LONG associatedGroup;
  ASIOBool isCurrentSource;
  char name[32];
};

struct ASIOChannelInfo {
  LONG channel;
  ASIOBool isInput;
  ASIOBool isActive;
  LONG channelGroup;
  ASIOSampleType type;
  char name[32];
};

struct ASIOBufferInfo {
  ASIOBool isInput;
  LONG channelNum;
  void* buffers[2];
};

// future() selectors
enum {
  kAsioEnableTimeCodeRead = 1,
  kAsioDisableTimeCodeRead,
  kAsioSetInputMonitor,
  kAsioTransport,
  kAsioSetInputGain,
  kAsioGetInputMeter,
  kAsioSetOutputGain,
  kAsioGetOutputMeter,
  kAsioCanInputMonitor,
  kAsioCanTimeInfo,
  kAsioCanTimeCode,
  kAsioCanTransport,
  kAsioCanInputGain,
  kAsioCanInputMeter,
  kAsioCanOutputGain,
  kAsioCanOutputMeter,
  kAsioOptionalOne,
  kAsioSetIoFormat = 0x23111961,
  kAsioGetIoFormat = 0x23111983,
  kAsioCanDoIoFormat = 0x23112004,
  kAsioCanReportOverload = 0x24042012,
  kAsioGetInternalBufferSamples = 0x25042012
};

typedef LONG ASIOIoFormatType;
enum { kASIOFormatInvalid = -1, kASIOPCMFormat = 0, kASIODSDFormat = 1 };
struct ASIOIoFormat {
  ASIOIoFormatType FormatType;
  char future[512 - sizeof(ASIOIoFormatType)];
};

// The driver object's interface. Hosts ask for it with the driver's class identifier.
struct IASIO : public IUnknown {
  virtual ASIOBool init(void* sysHandle) = 0;
  virtual void getDriverName(char* name) = 0;
  virtual LONG getDriverVersion() = 0;
  virtual void getErrorMessage(char* string) = 0;
  virtual ASIOError start() = 0;
  virtual ASIOError stop() = 0;
  virtual ASIOError getChannels(LONG* numInputChannels, LONG* numOutputChannels) = 0;
  virtual ASIOError getLatencies(LONG* inputLatency, LONG* outputLatency) = 0;
  virtual ASIOError getBufferSize(LONG* minSize, LONG* maxSize, LONG* preferredSize, LONG* granularity) = 0;
  virtual ASIOError canSampleRate(ASIOSampleRate sampleRate) = 0;
  virtual ASIOError getSampleRate(ASIOSampleRate* sampleRate) = 0;
  virtual ASIOError setSampleRate(ASIOSampleRate sampleRate) = 0;
  virtual ASIOError getClockSources(ASIOClockSource* clocks, LONG* numSources) = 0;
  virtual ASIOError setClockSource(LONG reference) = 0;
  virtual ASIOError getSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp) = 0;
  virtual ASIOError getChannelInfo(ASIOChannelInfo* info) = 0;
  virtual ASIOError createBuffers(ASIOBufferInfo* bufferInfos, LONG numChannels, LONG bufferSize,
                                  ASIOCallbacks* callbacks) = 0;
  virtual ASIOError disposeBuffers() = 0;
  virtual ASIOError controlPanel() = 0;
  virtual ASIOError future(LONG selector, void* opt) = 0;
  virtual ASIOError outputReady() = 0;
};

static_assert(sizeof(ASIOChannelInfo) == 52, "ASIOChannelInfo keeps the published layout");
static_assert(sizeof(ASIOClockSource) == 48, "ASIOClockSource keeps the published layout");
static_assert(sizeof(ASIOIoFormat) == 512, "ASIOIoFormat keeps the published layout");
