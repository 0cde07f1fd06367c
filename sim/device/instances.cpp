// Pin instance slots shared by every process of the machine: slot n of a pin is held while a
// process keeps an exclusive lock on its lock file; the lock goes away with the process.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <velno/device.h>

namespace velno::sim::device {
namespace {
std::string SlotPath(const UsbDevice& device, uint32_t pinId, uint32_t slot) {
  return DeviceFolder(device.key) + "/pin" + std::to_string(pinId) + "-instance" + std::to_string(slot) + ".lock";
}
}  // namespace

InstanceSlot::~InstanceSlot() {
  if (fd_ >= 0) close(fd_);  // closing the description drops the lock
}

std::unique_ptr<InstanceSlot> InstanceSlot::Acquire(const UsbDevice& device, uint32_t pinId, uint32_t possible) {
  for (uint32_t slot = 0; slot < possible; slot++) {
    int fd = open(SlotPath(device, pinId, slot).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) continue;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return std::unique_ptr<InstanceSlot>(new InstanceSlot(fd));
    close(fd);
  }
  return nullptr;
}

uint32_t InstanceSlot::CurrentCount(const UsbDevice& device, uint32_t pinId, uint32_t possible) {
  uint32_t held = 0;
  for (uint32_t slot = 0; slot < possible; slot++) {
    int fd = open(SlotPath(device, pinId, slot).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) continue;
    if (flock(fd, LOCK_SH | LOCK_NB) != 0) held++;
    close(fd);
  }
  return held;
}

}  // namespace velno::sim::device
