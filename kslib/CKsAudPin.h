// An audio pin: its audio data ranges, its wave-format connection request, format setting and
// format matching.
#pragma once
#include "CKsPin.h"

#define KS_AUDIO_CONNECT_SIZE (sizeof(KSPIN_CONNECT) + sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEX))  // 154

class CKsAudPin : public CKsPin {
 public:
  CKsAudPin(CKsFilter* pFilter, ULONG nId, HRESULT* phr);
  virtual ~CKsAudPin();

  HRESULT Init();
  HRESULT SetFormat(const WAVEFORMATEX* pwfx);
  bool IsFormatSupported(const WAVEFORMATEX* pwfx, int checks);

  CKsList<KSDATARANGE_AUDIO> audioRanges;  // owned 88-byte copies
  WAVEFORMATEX* formatCopy;                // copy of the last format given to SetFormat
  KSDATAFORMAT_WAVEFORMATEX* m_pksDataFormatWfx;  // the data format inside m_pksPinCreate
};

#define KS_CHECK_CHANNELS 2
#define KS_CHECK_BITS 4
#define KS_CHECK_RATE 8
