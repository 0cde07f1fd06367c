// The status block: a 340-byte named shared memory block through which a driver publishes its
// live state and the control panel hands it the user's buffer and width choices. No lock
// guards it; every field is one aligned 32-bit value read and written atomically.
#pragma once
#include <windows.h>

#include <atomic>
#include <stddef.h>

#define STATUS_BLOCK_NAME "Velno-HD_20130107"
#define STATUS_BLOCK_MAGIC 0x20130107
#define STATUS_BLOCK_SIZE 340

struct StatusBlock {
  LONG magic;
  LONG state;
  LONG settingsLoaded;
  GUID owner;
  LONG changed;
  LONG showRequest;
  LONG reqBufferSize;  // tenths of a millisecond
  LONG reqBits;
  LONG runBuffer;  // tenths of a millisecond after init; device frames after createBuffers
  LONG runRate;
  LONG runBits;
  LONG rateMask;
  LONG bitsMask;
  char deviceName[256];
  LONG dsdActive;
  LONG dsd128;
  LONG dsd256;
  LONG nativeDsd;
  LONG resetRequest;
};

static_assert(sizeof(StatusBlock) == STATUS_BLOCK_SIZE, "status block size");
static_assert(offsetof(StatusBlock, magic) == 0, "magic");
static_assert(offsetof(StatusBlock, state) == 4, "state");
static_assert(offsetof(StatusBlock, settingsLoaded) == 8, "settingsLoaded");
static_assert(offsetof(StatusBlock, owner) == 12, "owner");
static_assert(offsetof(StatusBlock, changed) == 28, "changed");
static_assert(offsetof(StatusBlock, showRequest) == 32, "showRequest");
static_assert(offsetof(StatusBlock, reqBufferSize) == 36, "reqBufferSize");
static_assert(offsetof(StatusBlock, reqBits) == 40, "reqBits");
static_assert(offsetof(StatusBlock, runBuffer) == 44, "runBuffer");
static_assert(offsetof(StatusBlock, runRate) == 48, "runRate");
static_assert(offsetof(StatusBlock, runBits) == 52, "runBits");
static_assert(offsetof(StatusBlock, rateMask) == 56, "rateMask");
static_assert(offsetof(StatusBlock, bitsMask) == 60, "bitsMask");
static_assert(offsetof(StatusBlock, deviceName) == 64, "deviceName");
static_assert(offsetof(StatusBlock, dsdActive) == 320, "dsdActive");
static_assert(offsetof(StatusBlock, dsd128) == 324, "dsd128");
static_assert(offsetof(StatusBlock, dsd256) == 328, "dsd256");
static_assert(offsetof(StatusBlock, nativeDsd) == 332, "nativeDsd");
static_assert(offsetof(StatusBlock, resetRequest) == 336, "resetRequest");

// Atomic 32-bit access to one field of a block that other threads and processes share.
inline LONG BlockGet(const StatusBlock* block, LONG StatusBlock::*field) {
  return std::atomic_ref<LONG>(const_cast<StatusBlock*>(block)->*field).load(std::memory_order_acquire);
}
inline void BlockSet(StatusBlock* block, LONG StatusBlock::*field, LONG value) {
  std::atomic_ref<LONG>(block->*field).store(value, std::memory_order_release);
}

// Opens the named block, or creates it (zeroed, with the magic value). *created tells the
// caller that it made the block and must load the settings into it. Returns null when the
// block cannot be mapped; the caller then works without publishing.
StatusBlock* MapStatusBlock(HANDLE* mapping, BOOL* created);

// True when the block is there and carries the magic value; every access tests it first.
bool BlockHasMagic(const StatusBlock* block);
// True when the block carries the magic value and belongs to the driver with this class id.
bool BlockOwnedBy(const StatusBlock* block, REFGUID classId);
// Takes an unowned block for classId, publishing state; returns whether it was taken.
bool ClaimBlock(StatusBlock* block, REFGUID classId, LONG state);
// Gives the block back (state 0, owner all zero) when it belongs to classId.
void ReleaseBlock(StatusBlock* block, REFGUID classId);
