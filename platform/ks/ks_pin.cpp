// Pin instances: created on an open filter from a connection request whose format one of the
// pin's data ranges accepts, moved through the connection states, reset, and streamed through
// by the device's clock (IOCTL_KS_WRITE_STREAM / IOCTL_KS_READ_STREAM complete through the
// request's OVERLAPPED once the device has played or recorded their frames).
#include <cstring>

#include "ks_internal.h"

namespace velno::ks {
namespace {

bool GuidMatches(const GUID& rangeGuid, const GUID& formatGuid) {
  return rangeGuid == GUID_NULL || rangeGuid == formatGuid;
}

GUID RangeGuid(const std::string& name, int which) {
  // which: 0 major, 1 sub-format, 2 specifier
  if (which == 0) return name == "audio" ? KSDATAFORMAT_TYPE_AUDIO : name == "music" ? KSDATAFORMAT_TYPE_MUSIC : GUID_NULL;
  if (which == 1) {
    if (name == "pcm") return KSDATAFORMAT_SUBTYPE_PCM;
    if (name == "float") return KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;
    if (name == "analog") return KSDATAFORMAT_SUBTYPE_ANALOG;
    if (name == "midi") return KSDATAFORMAT_SUBTYPE_MIDI;
    return GUID_NULL;
  }
  return name == "waveformatex" ? KSDATAFORMAT_SPECIFIER_WAVEFORMATEX : name == "none" ? KSDATAFORMAT_SPECIFIER_NONE : GUID_NULL;
}

// Checks the data format that follows the connection request against the pin's ranges.
DWORD MatchFormat(const dev::Pin& pin, const KSPIN_CONNECT* connect, dev::StreamFormat* format,
                  std::vector<uint8_t>* bytes) {
  const auto* df = reinterpret_cast<const KSDATAFORMAT*>(connect + 1);
  KSDATAFORMAT header;
  memcpy(&header, df, sizeof header);
  if (header.FormatSize < sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEX) || header.FormatSize > 0x1000) return ERROR_NO_MATCH;
  if (header.MajorFormat != KSDATAFORMAT_TYPE_AUDIO || header.Specifier != KSDATAFORMAT_SPECIFIER_WAVEFORMATEX)
    return ERROR_NO_MATCH;
  WAVEFORMATEX wfx;
  memcpy(&wfx, reinterpret_cast<const uint8_t*>(df) + sizeof(KSDATAFORMAT), sizeof wfx);
  GUID sub;
  uint32_t validBits = wfx.wBitsPerSample;
  uint32_t mask = 0;
  if (wfx.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
    if (wfx.cbSize < 22 || header.FormatSize < sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEXTENSIBLE)) return ERROR_NO_MATCH;
    WAVEFORMATEXTENSIBLE ext;
    memcpy(&ext, reinterpret_cast<const uint8_t*>(df) + sizeof(KSDATAFORMAT), sizeof ext);
    sub = ext.SubFormat;
    validBits = ext.Samples.wValidBitsPerSample;
    mask = ext.dwChannelMask;
  } else {
    sub = KSDATAFORMAT_SUBTYPE_WAVEFORMATEX;
    sub.Data1 = wfx.wFormatTag;
  }
  if (sub != header.SubFormat && header.SubFormat != GUID_NULL) return ERROR_NO_MATCH;
  if (wfx.nChannels == 0 || wfx.wBitsPerSample == 0 || wfx.wBitsPerSample % 8 || validBits > wfx.wBitsPerSample ||
      wfx.nBlockAlign != wfx.nChannels * wfx.wBitsPerSample / 8 || wfx.nSamplesPerSec == 0 ||
      wfx.nAvgBytesPerSec != wfx.nBlockAlign * wfx.nSamplesPerSec)
    return ERROR_NO_MATCH;
  bool matched = false;
  for (const dev::DataRange& r : pin.ranges) {
    if (!GuidMatches(RangeGuid(r.major, 0), KSDATAFORMAT_TYPE_AUDIO) || !GuidMatches(RangeGuid(r.subFormat, 1), sub) ||
        !GuidMatches(RangeGuid(r.specifier, 2), KSDATAFORMAT_SPECIFIER_WAVEFORMATEX) || !r.audio)
      continue;
    if (wfx.nChannels <= r.maxChannels && wfx.wBitsPerSample >= r.minBits && wfx.wBitsPerSample <= r.maxBits &&
        wfx.nSamplesPerSec >= r.minRate && wfx.nSamplesPerSec <= r.maxRate) {
      matched = true;
      break;
    }
  }
  if (!matched) return ERROR_NO_MATCH;
  format->tag = wfx.wFormatTag;
  format->subFormat = sub == KSDATAFORMAT_SUBTYPE_PCM ? "pcm" : sub == KSDATAFORMAT_SUBTYPE_IEEE_FLOAT ? "float" : "other";
  format->channels = wfx.nChannels;
  format->rate = wfx.nSamplesPerSec;
  format->bits = wfx.wBitsPerSample;
  format->validBits = validBits;
  format->blockAlign = wfx.nBlockAlign;
  format->channelMask = mask;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(df);
  bytes->assign(p, p + header.FormatSize);
  return ERROR_SUCCESS;
}

}  // namespace

DWORD CreatePin(HANDLE filterHandle, const KSPIN_CONNECT* connect, ACCESS_MASK access, HANDLE* pinHandle) {
  if (pinHandle) *pinHandle = INVALID_HANDLE_VALUE;
  auto filter = kernel::Lookup<FilterFile>(filterHandle);
  if (!filter) return ERROR_INVALID_HANDLE;
  if (!connect || !pinHandle) return ERROR_INVALID_PARAMETER;
  const dev::UsbDevice& device = filter->device();
  if (!dev::FindByPath(dev::AudioInterfacePath(device, dev::kAudioGuid), nullptr, nullptr)) return ERROR_DEVICE_REMOVED;
  KSPIN_CONNECT request;
  memcpy(&request, connect, sizeof request);
  if (request.PinId >= device.audio.pins.size()) return ERROR_INVALID_PARAMETER;
  const dev::Pin& pin = device.audio.pins[request.PinId];
  if (!pin.Streaming() || pin.instances == 0) return ERROR_INVALID_FUNCTION;
  bool interfaceOk = request.Interface.Set == KSINTERFACESETID_Standard;
  bool found = false;
  for (uint32_t id : pin.interfaces) found |= id == request.Interface.Id;
  if (!interfaceOk || !found) return ERROR_NO_MATCH;
  found = false;
  for (uint32_t id : pin.mediums) found |= id == request.Medium.Id;
  if (request.Medium.Set != KSMEDIUMSETID_Standard || !found) return ERROR_NO_MATCH;
  dev::StreamFormat format;
  std::vector<uint8_t> formatBytes;
  DWORD error = MatchFormat(pin, connect, &format, &formatBytes);
  if (error != ERROR_SUCCESS) return error;
  auto slot = dev::InstanceSlot::Acquire(device, pin.id, pin.instances);
  if (!slot) return ERROR_NO_SYSTEM_RESOURCES;
  auto file = std::make_shared<PinFile>(device, pin, std::move(slot), format, std::move(formatBytes));
  file->openFlags = FILE_FLAG_OVERLAPPED;
  file->access = access;
  *pinHandle = kernel::InsertHandle(file);
  return ERROR_SUCCESS;
}

PinFile::PinFile(const dev::UsbDevice& device, const dev::Pin& pin, std::unique_ptr<dev::InstanceSlot> slot,
                 const dev::StreamFormat& format, std::vector<uint8_t> connectFormat)
    : device_(device), pin_(pin), slot_(std::move(slot)), format_(std::move(connectFormat)) {
  for (int i = 0; i < kRequests; i++) requests_[i] = Request{this, nullptr, nullptr, i + 1 < kRequests ? i + 1 : -1};
  stream_ = std::make_unique<dev::Stream>(device, pin.id, pin.dataFlow == dev::kDataFlowIn, format);
}

PinFile::~PinFile() {
  // Closing the pin cancels what is still queued (the stream completes it) and stops it.
  if (stream_) stream_->SetState(dev::Stream::kStop);
  stream_.reset();
}

void PinFile::CancelIo() {
  if (stream_) stream_->CancelAll();
}

void PinFile::OnComplete(void* context, uint32_t status, uint32_t bytes) {
  auto* r = static_cast<Request*>(context);
  PinFile* self = r->pin;
  OVERLAPPED* overlapped = r->overlapped;
  DWORD headerSize = r->header->Size;
  if (status == dev::kStreamOk && self->pin_.dataFlow == dev::kDataFlowOut) r->header->DataUsed = bytes;
  {
    std::lock_guard<std::mutex> lock(self->requestsMutex_);
    r->header = nullptr;
    r->overlapped = nullptr;
    r->next = self->freeList_;
    self->freeList_ = static_cast<int>(r - self->requests_);
  }
  kernel::CompleteOverlapped(overlapped, status == dev::kStreamOk ? ERROR_SUCCESS : ERROR_OPERATION_ABORTED,
                             status == dev::kStreamOk ? headerSize : 0);
}

DWORD PinFile::Stream(bool write, void* out, DWORD outSize, OVERLAPPED* overlapped) {
  bool render = pin_.dataFlow == dev::kDataFlowIn;
  if (write != render) return ERROR_INVALID_FUNCTION;
  if (write ? !(access & GENERIC_WRITE) : !(access & GENERIC_READ)) return ERROR_ACCESS_DENIED;
  if (!out || outSize < sizeof(KSSTREAM_HEADER)) return ERROR_INVALID_PARAMETER;
  auto* header = static_cast<KSSTREAM_HEADER*>(out);
  if (header->Size < sizeof(KSSTREAM_HEADER) || header->Size > outSize) return ERROR_INVALID_PARAMETER;
  uint32_t bytes = write ? header->DataUsed : header->FrameExtent;
  if (write && header->DataUsed > header->FrameExtent) return ERROR_INVALID_PARAMETER;
  if (bytes && !header->Data) return ERROR_INVALID_PARAMETER;
  if (resetting_) return ERROR_OPERATION_ABORTED;
  if (stream_->state() == dev::Stream::kStop) return ERROR_INVALID_DEVICE_STATE;
  if (!write) header->DataUsed = 0;
  Request* r;
  {
    std::lock_guard<std::mutex> lock(requestsMutex_);
    if (freeList_ < 0) return ERROR_NO_SYSTEM_RESOURCES;
    r = &requests_[freeList_];
    freeList_ = r->next;
    r->header = header;
    r->overlapped = overlapped;
  }
  if (!stream_->Submit(static_cast<uint8_t*>(header->Data), bytes, OnComplete, r)) {
    std::lock_guard<std::mutex> lock(requestsMutex_);
    r->next = freeList_;
    freeList_ = static_cast<int>(r - requests_);
    return ERROR_NO_SYSTEM_RESOURCES;
  }
  return ERROR_IO_PENDING;
}

DWORD PinFile::ConnectionProperty(const KSPROPERTY& p, void* out, DWORD outSize, DWORD* transferred) {
  if (p.Id == KSPROPERTY_CONNECTION_STATE) {
    if (p.Flags & KSPROPERTY_TYPE_SET) {
      if (outSize < sizeof(ULONG) || !out) return ERROR_INSUFFICIENT_BUFFER;
      ULONG state;
      memcpy(&state, out, sizeof state);
      if (state > KSSTATE_RUN) return ERROR_INVALID_PARAMETER;
      stream_->SetState(static_cast<dev::Stream::State>(state));
      if (state == KSSTATE_STOP) stream_->CancelAll();
      *transferred = 0;
      return ERROR_SUCCESS;
    }
    ULONG state = stream_->state();
    std::vector<uint8_t> value(sizeof state);
    memcpy(value.data(), &state, sizeof state);
    return AnswerProperty(value, ValueKind::Fixed, out, outSize, transferred);
  }
  if (p.Id == KSPROPERTY_CONNECTION_DATAFORMAT && (p.Flags & KSPROPERTY_TYPE_GET))
    return AnswerProperty(format_, ValueKind::Fixed, out, outSize, transferred);
  return ERROR_NOT_FOUND;
}

DWORD PinFile::IoControl(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* transferred,
                         OVERLAPPED* overlapped) {
  *transferred = 0;
  switch (code) {
    case IOCTL_KS_PROPERTY: {
      if (!in || inSize < sizeof(KSPROPERTY)) return ERROR_INVALID_PARAMETER;
      KSPROPERTY p;
      memcpy(&p, in, sizeof p);
      if (p.Set != KSPROPSETID_Connection) return ERROR_SET_NOT_FOUND;
      return ConnectionProperty(p, out, outSize, transferred);
    }
    case IOCTL_KS_RESET_STATE: {
      if (!in || inSize < sizeof(ULONG)) return ERROR_INVALID_PARAMETER;
      ULONG how;
      memcpy(&how, in, sizeof how);
      if (how == KSRESET_BEGIN) {
        resetting_ = true;
        stream_->CancelAll();
        dev::Log(device_.key, "pin-reset", {{"pin", pin_.id}, {"phase", "begin"}});
      } else if (how == KSRESET_END) {
        resetting_ = false;
        dev::Log(device_.key, "pin-reset", {{"pin", pin_.id}, {"phase", "end"}});
      } else {
        return ERROR_INVALID_PARAMETER;
      }
      return ERROR_SUCCESS;
    }
    case IOCTL_KS_WRITE_STREAM:
      return Stream(true, out, outSize, overlapped);
    case IOCTL_KS_READ_STREAM:
      return Stream(false, out, outSize, overlapped);
    default:
      return ERROR_INVALID_FUNCTION;
  }
}

}  // namespace velno::ks
