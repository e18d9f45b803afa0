#include "WebLog.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "CManagement.h"
#include "EventRecord.h"
#include "Ga4Request.h"
#include "SdkLog.h"
#include "SdkRuntime.h"
#include "platform/DeviceIdentity.h"
#include "platform/HostProcess.h"
#include "platform/Platform.h"

namespace {

WebLog* g_instance = nullptr;

std::string TextOrEmpty(const char* text) { return text ? text : ""; }

}  // namespace

int32_t WebLog::Init(int32_t type, int32_t mainPid, int32_t pid, const char* email, const char* phone,
                     const char* product, const char* productVersion, const char* userId) {
  namespace identity = platform::identity;
  CManagement& settings = CManagement::Get();
  settings.type = type;
  settings.mainPid = mainPid;
  settings.OpenLog(mainPid);
  settings.pid = pid;
  settings.email = TextOrEmpty(email);
  settings.phone = TextOrEmpty(phone);
  settings.product = TextOrEmpty(product);
  settings.productVersion = TextOrEmpty(productVersion);
  settings.userId = TextOrEmpty(userId);
  settings.sessionId = identity::NewSessionId();
  settings.uid = identity::VolumeUid();
  settings.os = identity::OsName();
  settings.osVersion = identity::OsVersionText();
  settings.mac = identity::MacText();
  settings.brand = identity::BoardManufacturer();
  settings.model = identity::BoardProduct();
  WriteSdkLog("SDK init ok, version %s, type %d, main_pid %d, %s %s, with curl %s", kVersion, type, mainPid,
              settings.product.c_str(), settings.productVersion.c_str(), curl_version_info(CURLVERSION_NOW)->version);

  SdkRuntime& runtime = SdkRuntime::Get();
  runtime.EnsureSenderRunning();
  const wchar_t sep = platform::kPathSep;
  runtime.Queue().SetQueueFile(settings.PrepareDataFolder(mainPid) + sep + L"backup" + sep + L"tempga.wk");
  int counted = 0;
  const int pending = runtime.Queue().ReadHistory(&counted);
  WriteSdkLog("Read history: %d/%d", pending, counted);

  if (platform::host::CommandLine().find(L"-sendrestlogs") != std::wstring::npos) SendRestLogsAndExit();
  return 0;
}

// Waits for the item in flight too, so that the queue file is empty when the
// backlog could be delivered. While the collector stays away the wait ends
// after a time limit; what is left stays in the queue file for the next run.
void WebLog::SendRestLogsAndExit() {
  using Clock = std::chrono::steady_clock;
  WriteSdkLog("Send rest logs, wait begin");
  SdkRuntime& runtime = SdkRuntime::Get();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(runtime.RestLimitMs());
  for (;;) {
    runtime.EnsureSenderRunning();
    if (runtime.Queue().Idle()) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      WriteSdkLog("Send rest logs, time is up, %d items stay queued", static_cast<int>(runtime.Queue().Size()));
      break;
    }
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(runtime.RestPollMs())));
  }
  WriteSdkLog("Send rest logs, wait end");
  runtime.StopSender();
  platform::host::EndProcess(0);
}

int32_t WebLog::SetToolsInfo(int32_t downloaderId, int32_t kitType, const char* toolsLang,
                             const char* toolsVersion) {
  CManagement& settings = CManagement::Get();
  settings.downloaderId = downloaderId;
  settings.kitType = kitType;
  settings.toolsLang = TextOrEmpty(toolsLang);
  settings.toolsVersion = TextOrEmpty(toolsVersion);
  return 0;
}

int32_t WebLog::SetExtraCommon(const char* json) { return CManagement::Get().SetExtraCommon(TextOrEmpty(json)); }

int32_t WebLog::AddEvent(const char* json, int32_t wait) {
  const int64_t ts = EventRecord::LocalTimestampMs();
  const Json::Value record = EventRecord::Build(TextOrEmpty(json), CManagement::Get().Common(), ts);
  const int32_t code = EventRecord::Validate(record);
  if (code != EventRecord::kValid) return code;
  SdkRuntime& runtime = SdkRuntime::Get();
  runtime.EnsureSenderRunning();
  return runtime.Queue().QueueSendItem(EventRecord::RepeatKey(record), record.toStyledString(), true, wait != 0);
}

int32_t WebLog::AddGa4Event(const char* params, int32_t wait) {
  const std::string ts = std::to_string(EventRecord::LocalTimestampMs());
  const std::string clientId =
      Ga4Request::ClientId(platform::identity::VolumeSerial(), platform::identity::MacText());
  const std::string encoded = Ga4Request::UrlEncode(TextOrEmpty(params));
  SdkRuntime& runtime = SdkRuntime::Get();
  const std::string url = Ga4Request::Url(runtime.Delivery().ga4Base, clientId, encoded);
  runtime.EnsureSenderRunning();
  return runtime.Queue().QueueSendItem(Ga4Request::RepeatKey(ts, encoded), url, true, wait != 0);
}

extern "C" IWebLogNew* GetReportObj() {
  if (!g_instance) g_instance = new WebLog();
  return g_instance;
}

extern "C" void DestroyReportObj() {
  delete g_instance;
  g_instance = nullptr;
  const std::wstring program = platform::System().ModulePath();
  if (!program.empty() && platform::FileExists(program)) platform::host::StartHidden(program, L"-sendrestlogs");
}
