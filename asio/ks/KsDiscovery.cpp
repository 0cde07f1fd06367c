// Finding the product's kernel-streaming filter, opening it for init, and building the
// per-rate format records from its pins.
#include "KsTransport.h"
#include "kslib.h"  // first: it brings the wave-format headers before ksmedia.h

#include <ctype.h>
#include <ksmedia.h>
#include <stdio.h>

#include "ProductIds.h"

namespace {

// Four (or two) hexadecimal digits right after a token of an upper-cased path.
bool ReadHexAfter(const char* text, const char* token, int digits, unsigned* value) {
  const char* at = strstr(text, token);
  if (at == NULL) return false;
  at += strlen(token);
  unsigned v = 0;
  for (int i = 0; i < digits; ++i) {
    char c = at[i];
    if (!isxdigit((unsigned char)c)) return false;  // also ends on the terminator
    v = v * 16 + (unsigned)(isdigit((unsigned char)c) ? c - '0' : c - 'A' + 10);
  }
  *value = v;
  return true;
}

bool AcceptsWidth(CKsAudRenFilter* render, CKsAudCapFilter* capture, WORD bits) {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.wBitsPerSample = bits;
  const int kBitsCheck = KS_CHECK_BITS;
  if (render->FindViablePin(&format, kBitsCheck) == NULL) return false;
  return capture == NULL || capture->FindViablePin(&format, kBitsCheck) != NULL;
}

}  // namespace

bool CKsTransport::MatchesProduct(const char* path) {
  char upper[MAX_PATH];
  size_t i = 0;
  for (; path[i] != 0 && i < MAX_PATH - 1; ++i) upper[i] = (char)toupper((unsigned char)path[i]);
  upper[i] = 0;
  unsigned vid = 0, pid = 0, mi = 0;
  if (!ReadHexAfter(upper, "VID_", 4, &vid) || !ReadHexAfter(upper, "PID_", 4, &pid) ||
      !ReadHexAfter(upper, "MI_", 2, &mi))
    return false;
  for (const ProductIdentity* entry = kProductTable; entry->vendorId != 0; ++entry) {
    if (entry->vendorId == vid && entry->productId == pid) {
      driver->productVid = (WORD)vid;
      driver->productPid = (WORD)pid;
      return true;
    }
  }
  return false;
}

HRESULT CKsTransport::ProbeDevice() {
  CKsEnumFilters* enumerator = new CKsEnumFilters();
  if (enumerator == NULL) return E_FAIL;
  GUID categories[2] = {KSCATEGORY_AUDIO, KSCATEGORY_RENDER};
  bool accepted = false;
  if (SUCCEEDED(enumerator->EnumFilters(eAudRen, categories, 2))) {
    for (CKsList<CKsFilter>::Entry* entry = enumerator->filters.GetHead(); entry != NULL; entry = entry->next) {
      CKsFilter* filter = entry->item;
      snprintf(devicePath, sizeof devicePath, "%s", filter->symbolicLink);
      if (!MatchesProduct(devicePath)) continue;
      const char* friendly = filter->friendlyName[0] != 0 ? filter->friendlyName : "Velno-HD";
      snprintf(driver->driverName, sizeof driver->driverName, "%s", friendly);

      HRESULT hr = S_OK;
      CKsAudRenFilter* render = new CKsAudRenFilter(devicePath, driver->driverName, &hr);
      if (render == NULL || FAILED(hr) || FAILED(render->Instantiate()) || FAILED(render->EnumeratePins())) {
        delete render;
        continue;
      }
      hr = S_OK;
      CKsAudCapFilter* capture = new CKsAudCapFilter(devicePath, driver->driverName, &hr);
      driver->hasCapture = 0;
      if (capture != NULL && SUCCEEDED(hr) && SUCCEEDED(capture->Instantiate()) &&
          SUCCEEDED(capture->EnumeratePins()) && !capture->captureSinkPins.IsEmpty())
        driver->hasCapture = 1;

      BYTE mask = 0;
      if (AcceptsWidth(render, driver->hasCapture ? capture : NULL, 16)) mask |= 1 << 1;
      if (AcceptsWidth(render, driver->hasCapture ? capture : NULL, 24)) mask |= 1 << 2;
      if (AcceptsWidth(render, driver->hasCapture ? capture : NULL, 32)) mask |= 1 << 3;
      if (mask != 0) {
        driver->depthMask = mask;
        accepted = true;
      }
      delete render;
      delete capture;
      if (accepted) break;
    }
  }
  delete enumerator;
  if (!accepted) {
    devicePath[0] = 0;
    return E_FAIL;
  }
  return S_OK;
}

BOOL CKsTransport::OpenDevice() {
  // A second init opens the filters again from the path.
  delete renderFilter;
  renderFilter = NULL;
  delete captureFilter;
  captureFilter = NULL;
  HRESULT hr = S_OK;
  renderFilter = new CKsAudRenFilter(devicePath, driver->driverName, &hr);
  if (renderFilter == NULL || FAILED(hr) || FAILED(renderFilter->Instantiate()) ||
      FAILED(renderFilter->EnumerateNodes()) || FAILED(renderFilter->EnumeratePins()))
    return FALSE;
  if (driver->hasCapture) {
    hr = S_OK;
    captureFilter = new CKsAudCapFilter(devicePath, driver->driverName, &hr);
    if (captureFilter == NULL || FAILED(hr) || FAILED(captureFilter->Instantiate()) ||
        FAILED(captureFilter->EnumerateNodes()) || FAILED(captureFilter->EnumeratePins()))
      return FALSE;
  }
  return TRUE;
}

void CKsTransport::BuildRateTables() {
  BuildRateTable(kRenderDirection, renderRecords);
  BuildRateTable(kCaptureDirection, captureRecords);
}

void CKsTransport::BuildRateTable(int direction, RateRecord* records) {
  if (direction == kCaptureDirection && captureFilter == NULL) {
    // No inputs: every rate passes the capture half of the checks that need both directions.
    for (int k = 0; k < kRateCount; ++k) {
      records[k].supported = 1;
      records[k].sampleRate = kSampleRateTable[k];
      records[k].asioChannels = 0;
      records[k].pinCount = 0;
      records[k].channelCount = 0;
    }
    return;
  }
  CKsAudFilter* filter = direction == kRenderDirection ? static_cast<CKsAudFilter*>(renderFilter) : captureFilter;
  const LONG bits = driver->bitsPerSample;
  for (int k = 0; k < kRateCount; ++k) {
    RateRecord& record = records[k];
    const LONG rate = kSampleRateTable[k];
    record.supported = 0;
    record.sampleRate = rate;
    record.asioChannels = 0;
    record.pinCount = 0;
    record.channelCount = 0;
    record.openedPins = 0;
    if (filter == NULL) continue;
    CKsList<CKsPin>& candidates = direction == kRenderDirection ? filter->renderSinkPins : filter->captureSinkPins;
    for (CKsList<CKsPin>::Entry* entry = candidates.GetHead(); entry != NULL; entry = entry->next) {
      CKsPin* candidate = entry->item;
      // A record holds three pins and 64 channels; a filter that offers more has its surplus
      // ignored (later pins, and channels past the 64th).
      if (record.pinCount >= kMaxPinSlots || record.channelCount >= kMaxChannelSlots) break;
      CKsAudPin* pin = static_cast<CKsAudPin*>(candidate);
      ULONG capacity = 0;
      bool matches = false;
      for (CKsList<KSDATARANGE_AUDIO>::Entry* r = pin->audioRanges.GetHead(); r != NULL; r = r->next) {
        const KSDATARANGE_AUDIO* range = r->item;
        if (!IsEqualGUID(range->DataRange.SubFormat, KSDATAFORMAT_SUBTYPE_PCM)) continue;
        if ((LONG)range->MinimumBitsPerSample > bits || bits > (LONG)range->MaximumBitsPerSample) continue;
        if ((LONG)range->MinimumSampleFrequency > rate || rate > (LONG)range->MaximumSampleFrequency) continue;
        matches = true;
        if (range->MaximumChannels > capacity) capacity = range->MaximumChannels;
      }
      if (!matches || capacity == 0) continue;
      if (capacity > kMaxChannelSlots - record.channelCount) capacity = kMaxChannelSlots - record.channelCount;
      PinSlot& slot = record.pins[record.pinCount];
      slot.present = 1;
      slot.pin = pin;
      slot.channelCapacity = capacity;
      slot.inUse = slot.opened = 0;
      slot.channelsUsed = slot.framesPerPacket = 0;
      for (PacketRecord& packet : slot.packets) {
        HANDLE event = packet.overlapped.hEvent;  // the events stay as created
        memset(&packet, 0, sizeof packet);
        packet.overlapped.hEvent = event;
        packet.header.Size = sizeof(KSSTREAM_HEADER);
        packet.header.PresentationTime.Numerator = 1;
        packet.header.PresentationTime.Denominator = 1;
      }
      for (ULONG c = 0; c < capacity; ++c) {
        ChannelSlot& channel = record.channels[record.channelCount + c];
        channel.present = 1;
        channel.active = 0;
        channel.indexInPin = c;
        channel.pinSlot = &slot;
        channel.frames = 0;
        channel.buffers[0] = channel.buffers[1] = NULL;
      }
      record.supported = 1;
      record.pinCount += 1;
      record.asioChannels += (LONG)capacity;
      record.channelCount += capacity;
    }
  }
}
