// The kernel-streaming driver's format records: per direction and table rate, the viable pins
// (pin slots with their packet rings) and the ASIO channels they carry.
#pragma once
#include <windows.h>
#include <ks.h>
#include <stddef.h>

#include "AsioTransport.h"

class CKsAudPin;

enum { kMaxPinSlots = 3, kMaxChannelSlots = 64, kPacketsPerPin = 8 };

// A kernel-streaming packet: the stream header the pin reads or writes, and the OVERLAPPED
// whose event signals its completion.
struct PacketRecord {
  KSSTREAM_HEADER header;
  OVERLAPPED overlapped;
};

struct PinSlot {
  LONG present;
  LONG inUse;
  LONG opened;
  CKsAudPin* pin;
  ULONG channelCapacity;
  ULONG channelsUsed;
  ULONG framesPerPacket;
  PacketRecord packets[kPacketsPerPin];
};

struct ChannelSlot {
  LONG present;
  LONG active;
  ULONG indexInPin;
  PinSlot* pinSlot;
  ULONG frames;
  void* buffers[2];
};

struct RateRecord : RateRecordBase {
  ULONG pinCount;
  PinSlot pins[kMaxPinSlots];
  ULONG openedPins;
  ULONG channelCount;
  ChannelSlot channels[kMaxChannelSlots];
};

static_assert(offsetof(PacketRecord, overlapped) == sizeof(KSSTREAM_HEADER), "the OVERLAPPED follows the header");
