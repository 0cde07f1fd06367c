// Audio pins.
#include "CKsAudPin.h"

namespace {

// {0000xxxx-0000-0010-8000-00AA00389B71}: the sub-format of a wave format tag.
bool IsWaveFormatTagGuid(const GUID& g) {
  static const BYTE tail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  return (g.Data1 & 0xFFFF0000u) == 0 && g.Data2 == 0x0000 && g.Data3 == 0x0010 && memcmp(g.Data4, tail, 8) == 0;
}

GUID WaveFormatTagGuid(WORD tag) {
  GUID g = KSDATAFORMAT_SUBTYPE_PCM;
  g.Data1 = tag;
  return g;
}

}  // namespace

CKsAudPin::CKsAudPin(CKsFilter* pFilter, ULONG nId, HRESULT* phr)
    : CKsPin(pFilter, nId, phr), formatCopy(NULL), m_pksDataFormatWfx(NULL) {
  KS_ENTER("CKsAudPin::CKsAudPin");
  HRESULT hr = phr != NULL ? *phr : S_OK;
  if (SUCCEEDED(hr)) {
    m_pksPinCreate = static_cast<PKSPIN_CONNECT>(KsHeapAlloc(KS_AUDIO_CONNECT_SIZE));
    if (m_pksPinCreate == NULL) {
      LogMessage(KS_LOG_ERROR, "Failed to allocate m_pksPinCreate");
      hr = E_OUTOFMEMORY;
    } else {
      m_cbPinCreate = KS_AUDIO_CONNECT_SIZE;
      m_pksPinCreate->Interface.Set = KSINTERFACESETID_Standard;
      m_pksPinCreate->Interface.Id = KSINTERFACE_STANDARD_STREAMING;
      m_pksPinCreate->Interface.Flags = 0;
      m_pksPinCreate->Medium.Set = KSMEDIUMSETID_Standard;
      m_pksPinCreate->Medium.Id = KSMEDIUM_TYPE_ANYINSTANCE;
      m_pksPinCreate->Medium.Flags = 0;
      m_pksPinCreate->PinId = pinId;
      m_pksPinCreate->PinToHandle = NULL;
      m_pksPinCreate->Priority.PriorityClass = KSPRIORITY_NORMAL;
      m_pksPinCreate->Priority.PrioritySubClass = 1;
      m_pksDataFormatWfx = reinterpret_cast<KSDATAFORMAT_WAVEFORMATEX*>(m_pksPinCreate + 1);
      KSDATAFORMAT& format = m_pksDataFormatWfx->DataFormat;
      format.FormatSize = sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEX);
      format.Flags = 0;
      format.SampleSize = 0;
      format.Reserved = 0;
      format.MajorFormat = KSDATAFORMAT_TYPE_AUDIO;
      format.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
      format.Specifier = KSDATAFORMAT_SPECIFIER_WAVEFORMATEX;
      hr = Init();
    }
  }
  if (phr != NULL) *phr = hr;
  KS_LEAVE_HR("CKsAudPin::CKsAudPin", hr);
}

CKsAudPin::~CKsAudPin() {
  KS_ENTER("CKsAudPin::~CKsAudPin");
  for (CKsList<KSDATARANGE_AUDIO>::Entry* e = audioRanges.GetHead(); e != NULL; e = e->next) KsHeapFree(e->item);
  audioRanges.RemoveAll();
  KsHeapFree(formatCopy);
  formatCopy = NULL;
  KS_LEAVE("CKsAudPin::~CKsAudPin");
}

HRESULT CKsAudPin::Init() {
  KS_ENTER("CKsAudPin::Init");
  bool standardInterface = false;
  const KSIDENTIFIER* ids = static_cast<const KSIDENTIFIER*>(interfaces.First());
  for (ULONG i = 0; i < interfaces.count && !standardInterface; i++)
    standardInterface = IsEqualGUID(ids[i].Set, KSINTERFACESETID_Standard) && ids[i].Id == KSINTERFACE_STANDARD_STREAMING;
  if (!standardInterface) {
    LogMessage(KS_LOG_ERROR, "No standard streaming interfaces on the pin");
    KS_LEAVE_HR("CKsAudPin::Init", E_FAIL);
    return E_FAIL;
  }
  bool standardMedium = false;
  const KSPIN_MEDIUM* media = static_cast<const KSPIN_MEDIUM*>(mediums.First());
  for (ULONG i = 0; i < mediums.count && !standardMedium; i++)
    standardMedium = IsEqualGUID(media[i].Set, KSMEDIUMSETID_Standard) && media[i].Id == KSMEDIUM_TYPE_ANYINSTANCE;
  if (!standardMedium) {
    LogMessage(KS_LOG_ERROR, "No standard streaming mediums on the pin");
    KS_LEAVE_HR("CKsAudPin::Init", E_FAIL);
    return E_FAIL;
  }

  // The walk stays inside the bytes the device returned: a range whose size is smaller than a
  // data range (it would never advance) or runs past the end stops it.
  HRESULT hr = S_OK;
  bool passed = false;
  const BYTE* at = static_cast<const BYTE*>(dataRanges.First());
  ULONG left = dataRanges.size;
  for (ULONG i = 0; i < dataRanges.count && at != NULL; i++) {
    if (left < sizeof(KSDATARANGE)) break;
    KSDATARANGE range;
    memcpy(&range, at, sizeof range);
    if (range.FormatSize < sizeof(KSDATARANGE) || range.FormatSize > left) break;
    if (!passed) passed = IsWaveFormatTagGuid(range.SubFormat) || IsEqualGUID(range.SubFormat, GUID_NULL);
    if (passed && IsEqualGUID(range.MajorFormat, KSDATAFORMAT_TYPE_AUDIO)) {
      KSDATARANGE_AUDIO* copy = static_cast<KSDATARANGE_AUDIO*>(KsHeapAlloc(sizeof(KSDATARANGE_AUDIO)));
      if (copy == NULL) {
        LogMessage(KS_LOG_ERROR, "Unable to allocate memory to save datarange in");
        hr = E_OUTOFMEMORY;
      } else {
        // A plain data range is shorter than an audio range: only its own bytes are copied.
        ULONG take = range.FormatSize < sizeof(KSDATARANGE_AUDIO) ? range.FormatSize : sizeof(KSDATARANGE_AUDIO);
        memcpy(copy, at, take);
        if (!audioRanges.AddTail(copy)) {
          KsHeapFree(copy);
          LogMessage(KS_LOG_ERROR, "Unable to allocate list entry to save datarange in");
          hr = E_OUTOFMEMORY;
        }
      }
    }
    at += range.FormatSize;
    left -= range.FormatSize;
  }
  if (!passed) {
    LogMessage(KS_LOG_ERROR, "No audio dataranges on the pin");
    hr = E_FAIL;
  }
  KS_LEAVE_HR("CKsAudPin::Init", hr);
  return hr;
}

HRESULT CKsAudPin::SetFormat(const WAVEFORMATEX* pwfx) {
  KS_ENTER("CKsAudPin::SetFormat");
  if (pwfx == NULL || m_pksDataFormatWfx == NULL) {
    LogMessage(KS_LOG_ERROR, "pwfx or m_pksDataFormatWfx are NULL");
    KS_LEAVE_HR("CKsAudPin::SetFormat", E_FAIL);
    return E_FAIL;
  }
  ULONG formatSize = pwfx->wFormatTag == WAVE_FORMAT_PCM ? sizeof(WAVEFORMATEX) : sizeof(WAVEFORMATEX) + pwfx->cbSize;
  ULONG requestSize = sizeof(KSPIN_CONNECT) + sizeof(KSDATAFORMAT) + formatSize;
  if (m_cbPinCreate != requestSize) {
    PKSPIN_CONNECT grown = static_cast<PKSPIN_CONNECT>(KsHeapAlloc(requestSize));
    if (grown == NULL) {
      LogMessage(KS_LOG_ERROR, "Unable to allocate KSPIN_CONNECT structure");
      KS_LEAVE_HR("CKsAudPin::SetFormat", E_OUTOFMEMORY);
      return E_OUTOFMEMORY;
    }
    memcpy(grown, m_pksPinCreate, m_cbPinCreate < requestSize ? m_cbPinCreate : requestSize);
    KsHeapFree(m_pksPinCreate);
    m_pksPinCreate = grown;
    m_cbPinCreate = requestSize;
    m_pksDataFormatWfx = reinterpret_cast<KSDATAFORMAT_WAVEFORMATEX*>(m_pksPinCreate + 1);
    m_pksDataFormatWfx->DataFormat.FormatSize = sizeof(KSDATAFORMAT) + formatSize;
  }
  memcpy(&m_pksDataFormatWfx->WaveFormatEx, pwfx, formatSize);
  m_pksDataFormatWfx->DataFormat.SampleSize = static_cast<USHORT>(pwfx->nChannels * pwfx->wBitsPerSample / 8);

  WAVEFORMATEX* copy = static_cast<WAVEFORMATEX*>(KsHeapAlloc(formatSize));
  if (copy != NULL) memcpy(copy, pwfx, formatSize);
  KsHeapFree(formatCopy);
  formatCopy = copy;
  KS_LEAVE_HR("CKsAudPin::SetFormat", S_OK);
  return S_OK;
}

bool CKsAudPin::IsFormatSupported(const WAVEFORMATEX* pwfx, int checks) {
  KS_ENTER("CKsAudPin::IsFormatSupported");
  bool supported = false;
  if (pwfx != NULL) {
    GUID subType = pwfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE
                       ? reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(pwfx)->SubFormat
                       : WaveFormatTagGuid(pwfx->wFormatTag);
    for (CKsList<KSDATARANGE_AUDIO>::Entry* e = audioRanges.GetHead(); e != NULL && !supported; e = e->next) {
      const KSDATARANGE_AUDIO* r = e->item;
      if (!IsEqualGUID(r->DataRange.MajorFormat, KSDATAFORMAT_TYPE_AUDIO) &&
          !IsEqualGUID(r->DataRange.MajorFormat, GUID_NULL))
        continue;
      if (!IsEqualGUID(r->DataRange.SubFormat, GUID_NULL) && !IsEqualGUID(r->DataRange.SubFormat, subType)) continue;
      if (!IsEqualGUID(r->DataRange.Specifier, KSDATAFORMAT_SPECIFIER_WAVEFORMATEX) &&
          !IsEqualGUID(r->DataRange.Specifier, GUID_NULL))
        continue;
      if ((checks & KS_CHECK_CHANNELS) && r->MaximumChannels < pwfx->nChannels) continue;
      if ((checks & KS_CHECK_BITS) &&
          (pwfx->wBitsPerSample < r->MinimumBitsPerSample || pwfx->wBitsPerSample > r->MaximumBitsPerSample))
        continue;
      if ((checks & KS_CHECK_RATE) &&
          (pwfx->nSamplesPerSec < r->MinimumSampleFrequency || pwfx->nSamplesPerSec > r->MaximumSampleFrequency))
        continue;
      supported = true;
    }
  }
  KS_LEAVE("CKsAudPin::IsFormatSupported");
  return supported;
}
