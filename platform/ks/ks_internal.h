// The kernel-streaming side of the machine's audio functions: filter and pin file objects.
#pragma once
#include <ks.h>
#include <ksmedia.h>
#include <velno/device.h>
#include <velno/kobject.h>
#include <windows.h>

#include <memory>
#include <mutex>
#include <vector>

namespace velno::ks {

namespace dev = velno::sim::device;

// Answers a property GET with the size protocol of kernel streaming: no output buffer asks
// for the size (ERROR_MORE_DATA with the size); a list answers its Size alone into 4 bytes or
// its KSMULTIPLE_ITEM header into 8; a buffer too small for the value is refused.
enum class ValueKind { Fixed, List, String };
DWORD AnswerProperty(const std::vector<uint8_t>& value, ValueKind kind, void* out, DWORD outSize, DWORD* transferred);

class FilterFile : public kernel::FileObject {
 public:
  explicit FilterFile(const dev::UsbDevice& device) : device_(device) {}
  const char* TypeName() const override { return "KsFilter"; }
  DWORD IoControl(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* transferred,
                  OVERLAPPED* overlapped) override;
  const dev::UsbDevice& device() const { return device_; }

 private:
  DWORD PinProperty(const KSP_PIN& request, std::vector<uint8_t>* value, ValueKind* kind);
  DWORD TopologyProperty(ULONG id, std::vector<uint8_t>* value, ValueKind* kind);
  dev::UsbDevice device_;
};

class PinFile : public kernel::FileObject {
 public:
  PinFile(const dev::UsbDevice& device, const dev::Pin& pin, std::unique_ptr<dev::InstanceSlot> slot,
          const dev::StreamFormat& format, std::vector<uint8_t> connectFormat);
  ~PinFile() override;
  const char* TypeName() const override { return "KsPin"; }
  DWORD IoControl(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* transferred,
                  OVERLAPPED* overlapped) override;
  void CancelIo() override;

 private:
  struct Request {
    PinFile* pin;
    KSSTREAM_HEADER* header;
    OVERLAPPED* overlapped;
    int next;  // free list
  };
  static void OnComplete(void* context, uint32_t status, uint32_t bytes);
  DWORD Stream(bool write, void* out, DWORD outSize, OVERLAPPED* overlapped);
  DWORD ConnectionProperty(const KSPROPERTY& p, void* out, DWORD outSize, DWORD* transferred);

  dev::UsbDevice device_;
  dev::Pin pin_;
  std::unique_ptr<dev::InstanceSlot> slot_;
  std::vector<uint8_t> format_;  // the KSDATAFORMAT the pin was connected with
  bool resetting_ = false;
  std::mutex requestsMutex_;
  static constexpr int kRequests = 256;
  Request requests_[kRequests];
  int freeList_ = 0;
  std::unique_ptr<dev::Stream> stream_;  // destroyed first: it completes what is pending
};

// Creates a pin instance on an open filter (the work of KsCreatePin). Returns a Win32 error.
DWORD CreatePin(HANDLE filter, const KSPIN_CONNECT* connect, ACCESS_MASK access, HANDLE* pinHandle);

}  // namespace velno::ks
