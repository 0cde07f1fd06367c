// USB identities of the Velno-HD products. Every deliverable that looks for the device uses
// this one table; device paths are matched by their "VID_", "PID_" and "MI_" tokens.
#pragma once
#include <stdint.h>

struct ProductIdentity {
  uint16_t vendorId;
  uint16_t productId;
  uint16_t interfaceNumber;  // the audio function of the composite device; matching ignores it
};

// Two products of one vendor, ended by an entry whose vendor identifier is 0.
static const ProductIdentity kProductTable[] = {
    {0x2FC6, 0xA10D, 0x0001},  // Velno-HD
    {0x2FC6, 0xA10E, 0x0001},  // Velno-HD (second hardware revision)
    {0x0000, 0x0000, 0x0000},
};

// The accessory (HID) function of the composite device.
static const uint16_t kHidInterfaceNumber = 0x06;
