// The driver's HID mode commands go to the device it probed.
#include "AsioSample.h"
#include "HidChannel.h"

static_assert((int)kDsd64Command == (int)kDeviceCommandDsd64 && (int)kDsd128Command == (int)kDeviceCommandDsd128 &&
                  (int)kDsd256Command == (int)kDeviceCommandDsd256 && (int)kDopCommand == (int)kDeviceCommandDop,
              "the driver's command numbers are the channel's");

void CAsioSample::SendModeCommand(ModeCommand command, BOOL on) {
  SendDeviceCommand(command, on, productVid, productPid);
}
