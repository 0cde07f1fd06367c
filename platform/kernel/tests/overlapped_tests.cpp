// Overlapped completion through an event, synchronous handles waiting inside the call, and
// device namespaces reached through CreateFileA.
#include <gtest/gtest.h>
#include <velno/kobject.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

using namespace velno::kernel;

// A device whose requests always pend and complete from another thread after a short delay.
class LateDevice : public FileObject {
 public:
  ~LateDevice() override {
    if (worker_.joinable()) worker_.join();
  }
  DWORD IoControl(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* transferred,
                  OVERLAPPED* overlapped) override {
    if (code == 1) {  // completes at once
      *transferred = 3;
      return ERROR_SUCCESS;
    }
    if (code == 2) return ERROR_INSUFFICIENT_BUFFER;
    if (worker_.joinable()) worker_.join();
    worker_ = std::thread([=, this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      if (out != nullptr) memset(out, 0xAB, outSize);
      CompleteOverlapped(overlapped, cancelled_ ? ERROR_OPERATION_ABORTED : ERROR_SUCCESS, outSize);
    });
    return ERROR_IO_PENDING;
  }
  void CancelIo() override { cancelled_ = true; }
  std::thread worker_;
  bool cancelled_ = false;
};

HANDLE OpenLate(DWORD flags) {
  auto device = std::make_shared<LateDevice>();
  device->openFlags = flags;
  return InsertHandle(device);
}

TEST(Overlapped, CompletionSignalsTheTaggedEvent) {
  HANDLE dev = OpenLate(FILE_FLAG_OVERLAPPED);
  HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);  // starts signalled: the request must reset it
  OVERLAPPED ov = {};
  ov.hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<uintptr_t>(event) | 1);
  char out[16] = {};
  DWORD n = 99;
  EXPECT_FALSE(DeviceIoControl(dev, 5, nullptr, 0, out, sizeof out, &n, &ov));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
  EXPECT_FALSE(HasOverlappedIoCompleted(&ov));
  EXPECT_FALSE(GetOverlappedResult(dev, &ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_INCOMPLETE));
  EXPECT_EQ(WaitForSingleObject(ov.hEvent, 2000), WAIT_OBJECT_0);
  EXPECT_TRUE(HasOverlappedIoCompleted(&ov));
  EXPECT_TRUE(GetOverlappedResult(dev, &ov, &n, FALSE));
  EXPECT_EQ(n, sizeof out);
  EXPECT_EQ(static_cast<unsigned char>(out[15]), 0xAB);

  // Completes at once: TRUE, the count, and the event set as well.
  EXPECT_TRUE(DeviceIoControl(dev, 1, nullptr, 0, nullptr, 0, &n, &ov));
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  // Fails at once: the error and the completion code in the OVERLAPPED.
  EXPECT_FALSE(DeviceIoControl(dev, 2, nullptr, 0, nullptr, 0, &n, &ov));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_FALSE(GetOverlappedResult(dev, &ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  // An overlapped handle needs an OVERLAPPED.
  EXPECT_FALSE(DeviceIoControl(dev, 1, nullptr, 0, nullptr, 0, &n, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  CloseHandle(event);
  CloseHandle(dev);
}

TEST(Overlapped, WaitingResultWithoutEventAndCancel) {
  HANDLE dev = OpenLate(FILE_FLAG_OVERLAPPED);
  OVERLAPPED ov = {};
  char out[4];
  DWORD n = 0;
  EXPECT_FALSE(DeviceIoControl(dev, 5, nullptr, 0, out, sizeof out, nullptr, &ov));
  EXPECT_TRUE(GetOverlappedResult(dev, &ov, &n, TRUE));
  EXPECT_EQ(n, 4u);
  EXPECT_FALSE(DeviceIoControl(dev, 5, nullptr, 0, out, sizeof out, nullptr, &ov));
  EXPECT_TRUE(CancelIo(dev));
  EXPECT_FALSE(GetOverlappedResult(dev, &ov, &n, TRUE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_OPERATION_ABORTED));
  CloseHandle(dev);
}

TEST(Overlapped, SynchronousHandleWaitsInsideTheCall) {
  HANDLE dev = OpenLate(0);
  char out[8] = {};
  DWORD n = 0;
  EXPECT_TRUE(DeviceIoControl(dev, 5, nullptr, 0, out, sizeof out, &n, nullptr));
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(static_cast<unsigned char>(out[0]), 0xAB);
  CloseHandle(dev);
}

TEST(Overlapped, DeviceNamespaceReachedThroughCreateFile) {
  std::string seen;
  RegisterDeviceNamespace("\\\\?\\velnotest#", [&](const std::string& path, DWORD, DWORD, DWORD flags, DWORD* error) {
    seen = path;
    if (path.find("missing") != std::string::npos) {
      *error = ERROR_FILE_NOT_FOUND;
      return std::shared_ptr<FileObject>();
    }
    return std::static_pointer_cast<FileObject>(std::make_shared<LateDevice>());
  });
  HANDLE h = CreateFileA("\\\\?\\VELNOTEST#one", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(seen, "\\\\?\\VELNOTEST#one");
  OVERLAPPED ov = {};
  DWORD n = 0;
  EXPECT_FALSE(DeviceIoControl(h, 5, nullptr, 0, nullptr, 0, &n, &ov));  // opened overlapped: pends
  EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
  EXPECT_TRUE(GetOverlappedResult(h, &ov, &n, TRUE));
  CloseHandle(h);
  EXPECT_EQ(CreateFileA("\\\\?\\velnotest#missing", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

}  // namespace
