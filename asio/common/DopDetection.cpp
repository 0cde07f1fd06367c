// What the driver does with the DoP scan of one channel's render half: the first marked half
// switches the device to DoP once per start; the status block shows DSD while halves are marked.
#include "AsioSample.h"

void CAsioSample::NoteDopScan(bool marked) {
  if (marked && !dopActive) {
    dopActive = 1;
    SendModeCommand(kDopCommand, TRUE);
  }
  if (!OwnsBlock()) return;
  bool changed = false;
  if (marked) {
    if (BlockGet(statusBlock, &StatusBlock::dsdActive) == 0) {
      BlockSet(statusBlock, &StatusBlock::dsdActive, 1);
      changed = true;
    }
    // DoP at 176.4 kHz carries DSD64, at 352.8 kHz DSD128: this driver's own rate (the block's
    // runRate is written by every driver object that sets a rate, owner or not).
    LONG dsd128 = deviceRate == 352800 ? 1 : 0;
    if (BlockGet(statusBlock, &StatusBlock::dsd128) != dsd128) {
      BlockSet(statusBlock, &StatusBlock::dsd128, dsd128);
      changed = true;
    }
  } else if (BlockGet(statusBlock, &StatusBlock::dsdActive) == 1) {
    BlockSet(statusBlock, &StatusBlock::dsdActive, 0);
    BlockSet(statusBlock, &StatusBlock::dsd128, 0);
    changed = true;
  }
  if (changed) BlockSet(statusBlock, &StatusBlock::changed, 1);
}

bool CAsioSample::ScansForDop() const {
  if (deviceRate != 176400 && deviceRate != 352800) return false;
  if (bitsPerSample == 24) return true;
  // 32-bit halves at these rates are DSD themselves while a native DSD rate is prepared.
  bool nativeDsd = IsDsdRate(clockRate) || (BlockHasMagic(statusBlock) && BlockGet(statusBlock, &StatusBlock::nativeDsd));
  return bitsPerSample == 32 && !nativeDsd;
}
