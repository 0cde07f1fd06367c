// Sample copies of the kernel-streaming transport, over its records' packet rings.
#pragma once
#include "AsioSample.h"
#include "KsRecords.h"

// Host output half `half` of every channel of the record into packet `packet` of its pin
// (with the DSD-over-PCM scan where the format calls for it).
void FillRenderPackets(CAsioSample* driver, RateRecord* record, LONG packet, LONG half);
// Packet `packet` of every pin into host input half `half` of its channels.
void CopyCapturePackets(CAsioSample* driver, RateRecord* record, LONG packet, LONG half);
// Packet `packet` of every opened pin filled with the silence of the selected rate.
void FillWithSilence(CAsioSample* driver, RateRecord* record, LONG packet);
