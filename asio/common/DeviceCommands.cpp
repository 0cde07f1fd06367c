// The driver's HID mode commands go to the device it probed.
#include "AsioSample.h"
#include "HidChannel.h"

static_assert(kDsd64Command == kDeviceCommandDsd64 && kDsd128Command == kDeviceCommandDsd128 &&
                  kDsd256Command == kDeviceCommandDsd256 && kDopCommand == kDeviceCommandDop,
              "the driver's command numbers are the channel's");

void CAsioSample::SendModeCommand(ModeCommand command, BOOL on) {
  SendDeviceCommand(command, on, productVid, productPid);
}
