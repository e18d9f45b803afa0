// The cost of queueing an event while the collector is down, as the queue
// file grows. Run by bench/sdk_queue.sh; skipped in a normal test run.
#include <chrono>
#include <cstdio>

#include "IWebLogNew.h"
#include "SdkCollector.h"
#include "unit/TempFolder.h"

namespace {

TEST(SdkQueueBench, QueueCost) {
  const char* count = std::getenv("SETUP_SDK_BENCH_EVENTS");
  if (!count) GTEST_SKIP() << "run by bench/sdk_queue.sh";
  const int events = std::atoi(count);
  TempFolder temp;
  std::filesystem::create_directories(temp.path() / "appdata");
  FakeSystem fake;
  fake.SetEnv(L"APPDATA", (temp.path() / "appdata").wstring());
  fake.SetVolumeGuid(L"0f1e2d3c-aaaa-bbbb-cccc-333344445555");
  FakeSystemGuard guard(fake);
  DeliveryConfig dead;  // nothing listens on port 1: every item stays queued
  dead.collectorUrl = dead.testCollectorUrl = "https://127.0.0.1:1/collect";
  dead.ga4Base = "https://127.0.0.1:1";
  SdkRuntime::Get().Configure(dead, SdkTiming());
  IWebLogNew* sdk = GetReportObj();
  sdk->Init(kSdkTypeDownloader, 8948, 8948, "", "", "Quenlo", "1.0.0.0", "");

  // Milliseconds per event over the 20 events before each mark.
  const int marks[] = {100, 1000, 2000};
  auto windowStart = std::chrono::steady_clock::now();
  for (int i = 1; i <= events; ++i) {
    if (i % 100 == 81) windowStart = std::chrono::steady_clock::now();
    const std::string json = R"({"actions":{"event_category":"Bench","event_action":"E)" + std::to_string(i) + "\"}}";
    ASSERT_EQ(sdk->AddEvent(json.c_str(), 0), 0);
    for (int mark : marks) {
      if (i != mark) continue;
      const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - windowStart;
      std::printf("per_event_ms_at_%d=%.3f\n", mark, spent.count() / 20);
      std::fflush(stdout);
    }
  }
}

}  // namespace
