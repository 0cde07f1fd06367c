// Construction, destruction and the small answers of the kernel-streaming transport.
#include "KsTransport.h"

#include "KsConversion.h"
#include "kslib.h"

CAsioTransport* CreateTransport(CAsioSample* driver) { return new CKsTransport(driver); }

void DestroyTransport(CAsioTransport* transport) { delete static_cast<CKsTransport*>(transport); }

CKsTransport::CKsTransport(CAsioSample* owner) : driver(owner) {
  devicePath[0] = 0;
  renderFilter = NULL;
  captureFilter = NULL;
  memset(renderRecords, 0, sizeof renderRecords);
  memset(captureRecords, 0, sizeof captureRecords);
  for (HANDLE& event : controlEvents) event = NULL;
  watchdogQuitEvent = NULL;
  watchdogTimer = NULL;
  streamThread = NULL;
  watchdogThread = NULL;
  runningSamples = runningTimestamp = bufferSwitchCount = 0;
}

CKsTransport::~CKsTransport() { CloseDevice(); }

RateRecordBase* CKsTransport::Record(int direction, int rateIndex) {
  if (rateIndex < 0 || rateIndex >= kRateCount) return NULL;
  return direction == kRenderDirection ? &renderRecords[rateIndex] : &captureRecords[rateIndex];
}

void CKsTransport::ChannelState(RateRecordBase* base, LONG channel, ASIOBool* isActive, LONG* group) {
  RateRecord* record = static_cast<RateRecord*>(base);
  *isActive = ASIOFalse;
  *group = 0;
  if (channel < 0 || (ULONG)channel >= record->channelCount) return;
  const ChannelSlot& slot = record->channels[channel];
  *isActive = slot.active && slot.pinSlot != NULL && slot.pinSlot->opened ? ASIOTrue : ASIOFalse;
  if (slot.pinSlot != NULL && slot.pinSlot->pin != NULL) *group = (LONG)slot.pinSlot->pin->GetId();
}

BOOL CKsTransport::CreateEngineObjects() {
  for (HANDLE& event : controlEvents) {
    if (event == NULL) event = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (event == NULL) return FALSE;
  }
  if (watchdogQuitEvent == NULL) watchdogQuitEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
  if (watchdogTimer == NULL) watchdogTimer = CreateWaitableTimerA(NULL, FALSE, NULL);
  if (watchdogQuitEvent == NULL || watchdogTimer == NULL) return FALSE;
  // One completion event per packet of every pin slot of every record, so that streaming never
  // creates an event.
  for (RateRecord* records : {renderRecords, captureRecords}) {
    for (int k = 0; k < kRateCount; ++k) {
      for (PinSlot& pin : records[k].pins) {
        for (PacketRecord& packet : pin.packets) {
          if (packet.overlapped.hEvent == NULL) packet.overlapped.hEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
          if (packet.overlapped.hEvent == NULL) return FALSE;
        }
      }
    }
  }
  return TRUE;
}

void CKsTransport::CloseDevice() {
  StopStreamThreads();
  for (HANDLE& event : controlEvents) {
    if (event != NULL) CloseHandle(event);
    event = NULL;
  }
  if (watchdogQuitEvent != NULL) CloseHandle(watchdogQuitEvent);
  watchdogQuitEvent = NULL;
  if (watchdogTimer != NULL) CloseHandle(watchdogTimer);
  watchdogTimer = NULL;
  for (RateRecord* records : {renderRecords, captureRecords}) {
    for (int k = 0; k < kRateCount; ++k) {
      for (PinSlot& pin : records[k].pins) {
        for (PacketRecord& packet : pin.packets) {
          if (packet.overlapped.hEvent != NULL) CloseHandle(packet.overlapped.hEvent);
          packet.overlapped.hEvent = NULL;
        }
      }
    }
  }
  delete renderFilter;
  renderFilter = NULL;
  delete captureFilter;
  captureFilter = NULL;
}

void CKsTransport::FillOutput(RateRecordBase* record, LONG packet, LONG half) {
  FillRenderPackets(driver, static_cast<RateRecord*>(record), packet, half);
}
