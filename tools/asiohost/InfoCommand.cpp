// asiohost info: what the driver offers, as a host sees it.
#include <cstdio>

#include "Commands.h"
#include "Driver.h"

namespace asiohost {
namespace {

const LONG kTableRates[] = {32000, 44100, 48000, 88200, 96000, 176400, 192000, 352800, 384000};
const LONG kDsdRates[] = {2822400, 5644800, 11289600};

struct FutureQuery {
  const char* name;
  LONG selector;
};
const FutureQuery kFutureQueries[] = {
    {"kAsioCanInputMonitor", kAsioCanInputMonitor}, {"kAsioCanTimeInfo", kAsioCanTimeInfo},
    {"kAsioCanTimeCode", kAsioCanTimeCode},         {"kAsioCanTransport", kAsioCanTransport},
    {"kAsioCanInputGain", kAsioCanInputGain},       {"kAsioCanInputMeter", kAsioCanInputMeter},
    {"kAsioCanOutputGain", kAsioCanOutputGain},     {"kAsioCanOutputMeter", kAsioCanOutputMeter},
    {"kAsioCanDoIoFormat", kAsioCanDoIoFormat},
};

nlohmann::json Channels(IASIO* driver, bool input, LONG count) {
  nlohmann::json list = nlohmann::json::array();
  for (LONG c = 0; c < count; ++c) {
    ASIOChannelInfo info{};
    info.channel = c;
    info.isInput = input ? ASIOTrue : ASIOFalse;
    ASIOError result = driver->getChannelInfo(&info);
    nlohmann::json entry{{"channel", c}, {"result", AsioErrorText(result)}};
    if (result == ASE_OK) {
      info.name[sizeof info.name - 1] = 0;
      entry["name"] = info.name;
      entry["group"] = info.channelGroup;
      entry["type"] = SampleTypeText(info.type);
      entry["active"] = info.isActive != 0;
    }
    list.push_back(entry);
  }
  return list;
}

nlohmann::json RateEntry(IASIO* driver, LONG rate) {
  nlohmann::json entry{{"rate", rate}};
  ASIOError can = driver->canSampleRate(rate);
  entry["canSampleRate"] = AsioErrorText(can);
  if (can != ASE_OK) return entry;
  ASIOError set = driver->setSampleRate(rate);
  entry["setSampleRate"] = AsioErrorText(set);
  if (set != ASE_OK) return entry;
  LONG minSize = 0, maxSize = 0, preferred = 0, granularity = 0;
  if (driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity) == ASE_OK)
    entry["bufferSize"] = {{"min", minSize}, {"max", maxSize}, {"preferred", preferred}, {"granularity", granularity}};
  LONG in = 0, out = 0;
  if (driver->getLatencies(&in, &out) == ASE_OK) entry["latency"] = {{"input", in}, {"output", out}};
  ASIOSampleRate current = 0;
  driver->getSampleRate(&current);
  entry["getSampleRate"] = current;
  return entry;
}

void PrintText(const nlohmann::json& report) {
  printf("Driver: %s (version %d)\n", report["name"].get<std::string>().c_str(), report["version"].get<int>());
  printf("Module: %s\n", report["module"].get<std::string>().c_str());
  printf("Inputs: %d   Outputs: %d\n", report["inputs"].get<int>(), report["outputs"].get<int>());
  for (const char* side : {"inputChannels", "outputChannels"}) {
    for (const auto& c : report[side]) {
      if (c.contains("name"))
        printf("  %-6s %2d  %-28s group %d  %s\n", side[0] == 'i' ? "in" : "out", c["channel"].get<int>(),
               c["name"].get<std::string>().c_str(), c["group"].get<int>(), c["type"].get<std::string>().c_str());
    }
  }
  printf("Sample rates:\n");
  for (const auto& r : report["rates"]) {
    printf("  %9d  %-16s", r["rate"].get<int>(), r["canSampleRate"].get<std::string>().c_str());
    if (r.contains("bufferSize")) {
      const auto& b = r["bufferSize"];
      printf(" buffers min %d max %d preferred %d granularity %d", b["min"].get<int>(), b["max"].get<int>(),
             b["preferred"].get<int>(), b["granularity"].get<int>());
    }
    if (r.contains("latency"))
      printf("  latency in %d out %d", r["latency"]["input"].get<int>(), r["latency"]["output"].get<int>());
    printf("\n");
  }
  printf("Clock sources:\n");
  for (const auto& c : report["clocks"])
    printf("  %d %s%s\n", c["index"].get<int>(), c["name"].get<std::string>().c_str(),
           c["current"].get<bool>() ? " (current)" : "");
  printf("Capabilities (future):\n");
  for (const auto& [name, answer] : report["future"].items())
    printf("  %-22s %s\n", name.c_str(), answer.get<std::string>().c_str());
}

}  // namespace

int InfoCommand(const Options& options) {
  ComScope com;
  DriverHandle handle = CreateDriver(options.driverName);
  if (handle.driver == nullptr) {
    if (options.json) {
      printf("%s\n", nlohmann::json{{"created", false}, {"problem", handle.problem}}.dump(2).c_str());
    } else {
      printf("asiohost: %s\n", handle.problem.c_str());
    }
    return 1;
  }
  IASIO* driver = handle.driver;
  nlohmann::json report{{"created", true}, {"module", handle.modulePath}};
  if (!driver->init(nullptr)) {
    char message[128] = "";
    driver->getErrorMessage(message);
    report["init"] = false;
    report["problem"] = "the driver's init failed (the device could not be opened)";
    if (options.json) {
      printf("%s\n", report.dump(2).c_str());
    } else {
      printf("asiohost: %s\n", report["problem"].get<std::string>().c_str());
    }
    ReleaseDriver(handle);
    return 1;
  }
  report["init"] = true;
  char name[32] = "";
  driver->getDriverName(name);
  name[31] = 0;
  report["name"] = name;
  report["version"] = driver->getDriverVersion();
  LONG inputs = 0, outputs = 0;
  report["getChannels"] = AsioErrorText(driver->getChannels(&inputs, &outputs));
  report["inputs"] = inputs;
  report["outputs"] = outputs;
  report["inputChannels"] = Channels(driver, true, inputs);
  report["outputChannels"] = Channels(driver, false, outputs);

  ASIOSampleRate initialRate = 0;
  driver->getSampleRate(&initialRate);
  report["initialRate"] = initialRate;
  report["rates"] = nlohmann::json::array();
  for (LONG rate : kTableRates) report["rates"].push_back(RateEntry(driver, rate));
  for (LONG rate : kDsdRates) report["rates"].push_back(RateEntry(driver, rate));
  if (initialRate > 0) driver->setSampleRate(initialRate);

  ASIOClockSource clocks[4] = {};
  LONG count = 4;
  report["clocks"] = nlohmann::json::array();
  if (driver->getClockSources(clocks, &count) == ASE_OK) {
    for (LONG i = 0; i < count && i < 4; ++i) {
      clocks[i].name[31] = 0;
      report["clocks"].push_back(
          {{"index", clocks[i].index}, {"name", clocks[i].name}, {"current", clocks[i].isCurrentSource != 0}});
    }
  }
  report["future"] = nlohmann::json::object();
  for (const FutureQuery& query : kFutureQueries)
    report["future"][query.name] = AsioErrorText(driver->future(query.selector, nullptr));

  if (options.json) {
    printf("%s\n", report.dump(2).c_str());
  } else {
    PrintText(report);
  }
  ReleaseDriver(handle);
  return 0;
}

}  // namespace asiohost
