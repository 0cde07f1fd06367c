// A host that calls the driver out of order, with bad sizes, or lets it go while running: no
// call hangs, nothing leaks (the sanitizer build checks), every pin the driver opened is closed
// again, and the next host plays bit for bit.
#include <velno/device.h>

#include <cstdlib>
#include <future>
#include <nlohmann/json.hpp>
#include <thread>

#include "DriverMachine.h"

namespace drivertest {
namespace {

LONG Message(LONG selector, LONG, void*, double*) { return selector == kAsioEngineVersion ? 2 : 0; }

class HostMisuseTest : public DriverMachineTest {};

// The calls of a careless host, each checked where the driver has an answer to give.
void Misuse(ASIOCallbacks& callbacks) {
  IASIO* driver = CreateRegisteredDriver();
  ASSERT_NE(nullptr, driver);
  ASIOBufferInfo infos[2] = {{ASIOFalse, 0, {}}, {ASIOFalse, 1, {}}};
  // Before init.
  EXPECT_NE(ASE_OK, driver->createBuffers(infos, 2, 480, &callbacks));
  driver->start();
  driver->stop();
  driver->disposeBuffers();
  ASSERT_EQ(ASIOTrue, driver->init(nullptr));
  ASSERT_EQ(ASE_OK, driver->setSampleRate(48000));
  // Initialised, without buffers.
  driver->stop();
  driver->start();
  driver->disposeBuffers();
  for (LONG size : {0L, -480L, 1L << 30}) EXPECT_NE(ASE_OK, driver->createBuffers(infos, 2, size, &callbacks)) << size;
  infos[1].channelNum = 7;
  EXPECT_NE(ASE_OK, driver->createBuffers(infos, 2, 480, &callbacks));
  infos[1].channelNum = 1;
  // An odd size, twice, then start and stop repeated and out of order.
  ASSERT_EQ(ASE_OK, driver->createBuffers(infos, 2, 97, &callbacks));
  EXPECT_NE(ASE_OK, driver->createBuffers(infos, 2, 97, &callbacks));
  EXPECT_EQ(ASE_OK, driver->stop());
  EXPECT_EQ(ASE_OK, driver->start());
  EXPECT_EQ(ASE_OK, driver->start());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(ASE_OK, driver->stop());
  EXPECT_EQ(ASE_OK, driver->stop());
  EXPECT_EQ(ASE_OK, driver->start());
  // Buffers taken away while running, twice; new ones; then the driver let go while running.
  EXPECT_EQ(ASE_OK, driver->disposeBuffers());
  driver->disposeBuffers();
  ASSERT_EQ(ASE_OK, driver->createBuffers(infos, 2, 480, &callbacks));
  EXPECT_EQ(ASE_OK, driver->start());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  driver->Release();
}

TEST_F(HostMisuseTest, CallsOutOfOrderNeverHangAndLeaveTheDriverUsable) {
  StartMachine();
  ASIOCallbacks callbacks = {[](LONG, ASIOBool) {}, [](ASIOSampleRate) {}, Message, nullptr};
  std::promise<void> done;
  std::thread host([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Misuse(callbacks);
    CoUninitialize();
    done.set_value();
  });
  if (done.get_future().wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    ADD_FAILURE() << "a driver call hangs";
    std::abort();  // the host thread cannot be taken back
  }
  host.join();

  int opened = 0, closed = 0;
  for (const auto& entry : velno::sim::device::ReadLog()) {
    if (entry.value("event", "") == "pin-open") ++opened;
    if (entry.value("event", "") == "pin-close") ++closed;
  }
  EXPECT_GT(opened, 0);
  EXPECT_EQ(opened, closed);

  // The next host finds the device free and the driver whole, at that odd size too.
  auto result = velno::testing::RunProcess(velno::testing::BinDir() + "/asiohost",
                                           {"play", "--json", "--rate", "48000", "--buffer", "97", "--seconds", "1",
                                            "--signal", "ramp"},
                                           60);
  nlohmann::json report = nlohmann::json::parse(result.out, nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << result.out << result.err;
  EXPECT_EQ(true, report["device"]["bitExact"]) << report.dump(2);
  EXPECT_EQ(97, report["bufferSize"]);
}

}  // namespace
}  // namespace drivertest
