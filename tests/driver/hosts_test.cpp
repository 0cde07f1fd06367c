// The driver as several hosts and the control panel meet it: the shared status block across
// processes, controlPanel, and the reference host's report.
#include <nlohmann/json.hpp>

#include <fstream>
#include <thread>

#include "DriverMachine.h"
#include "StatusBlock.h"

namespace drivertest {
namespace {

nlohmann::json Asiohost(const std::vector<std::string>& args, int* exitCode = nullptr) {
  auto result = velno::testing::RunProcess(velno::testing::BinDir() + "/asiohost", args, 120);
  if (exitCode) *exitCode = result.exitCode;
  nlohmann::json report = nlohmann::json::parse(result.out, nullptr, false);
  EXPECT_FALSE(report.is_discarded()) << result.out << result.err;
  return report;
}

class HostsTest : public DriverMachineTest {};

TEST_F(HostsTest, ASecondHostUnderAnotherClassLeavesTheBlockToTheFirst) {
  StartMachine();
  CLSID first = RegisteredClass();
  void* object = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(first, nullptr, CLSCTX_INPROC_SERVER, first, &object));
  IASIO* driver = static_cast<IASIO*>(object);
  ASSERT_EQ(ASIOTrue, driver->init(nullptr));
  ASSERT_EQ(ASE_OK, driver->setSampleRate(96000));

  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, STATUS_BLOCK_NAME);
  ASSERT_NE(nullptr, mapping);
  StatusBlock* block = static_cast<StatusBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(0, memcmp(&block->owner, &first, sizeof first));
  EXPECT_EQ(2, BlockGet(block, &StatusBlock::state));
  EXPECT_EQ(96000, BlockGet(block, &StatusBlock::runRate));

  // Registered again: the next host gets a driver object under a new class identifier.
  InstallDrivers();
  int code = -1;
  nlohmann::json report = Asiohost({"info", "--json"}, &code);
  EXPECT_EQ(0, code);
  EXPECT_EQ(true, report["created"]);
  EXPECT_EQ(0, memcmp(&block->owner, &first, sizeof first));
  EXPECT_EQ(2, BlockGet(block, &StatusBlock::state));
  EXPECT_STREQ("Velno-HD", block->deviceName);
  EXPECT_NE(96000, BlockGet(block, &StatusBlock::runRate));  // the other host's rate changes still show

  driver->Release();
  GUID nobody{};
  EXPECT_EQ(0, memcmp(&block->owner, &nobody, sizeof nobody));
  EXPECT_EQ(0, BlockGet(block, &StatusBlock::state));
  UnmapViewOfFile(block);
  CloseHandle(mapping);
}

TEST_F(HostsTest, ControlPanelStartsTheProgramTheInstallationRecorded) {
  StartMachine();
  const std::string started = machine_->root() + "/program-starts.txt";
  IASIO* driver = CreateRegisteredDriver();
  ASSERT_NE(nullptr, driver);
  ASSERT_EQ(ASIOTrue, driver->init(nullptr));
  // Without "ASIOCPL" nothing is started.
  EXPECT_EQ(ASE_OK, driver->controlPanel());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(std::filesystem::exists(started));

  std::string folder = std::string(kProductFolder) + "\\";
  std::filesystem::copy_file(velno::testing::BinDir() + "/record_start",
                             velno::sim::HostPathFromWindows(folder + "VelnoHDACPLUI.exe"));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\ASIO\\Velno-HD", 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  RegSetValueExA(key, "ASIOCPL", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()), (DWORD)folder.size() + 1);
  RegCloseKey(key);
  EXPECT_EQ(ASE_OK, driver->controlPanel());
  for (int i = 0; i < 100 && !std::filesystem::exists(started); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::ifstream in(started);
  std::string line;
  ASSERT_TRUE(std::getline(in, line)) << "the control panel program was not started";
  EXPECT_NE(std::string::npos, line.find("VelnoHDACPLUI.exe")) << line;
  driver->Release();
}

TEST_F(HostsTest, TheReferenceHostReportsTheDriverAndARefusedCreation) {
  StartMachine();
  int code = -1;
  nlohmann::json report = Asiohost({"info", "--json"}, &code);
  EXPECT_EQ(0, code);
  EXPECT_EQ("Velno-HD", report["name"]);
  EXPECT_EQ(2, report["inputs"]);
  EXPECT_EQ(2, report["outputs"]);
  ASSERT_EQ(12u, report["rates"].size());
  for (const auto& rate : report["rates"]) EXPECT_EQ("ASE_OK", rate["canSampleRate"]) << rate.dump();
  EXPECT_EQ(440, report["rates"][1]["latency"]["input"]);     // 44.1 kHz, 10 ms
  EXPECT_EQ(28224, report["rates"][9]["bufferSize"]["min"]);  // DSD64
  EXPECT_EQ("ASE_SUCCESS", report["future"]["kAsioCanTimeInfo"]);
  TearDown();

  StartMachine({{"usb", nlohmann::json::array()}});
  report = Asiohost({"info", "--json"}, &code);
  EXPECT_NE(0, code);
  EXPECT_EQ(false, report["created"]);
  EXPECT_NE(std::string::npos, report["problem"].get<std::string>().find("no supported device")) << report.dump();
}

}  // namespace
}  // namespace drivertest
