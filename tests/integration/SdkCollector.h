// The reference collector (refservices over HTTPS on loopback) and an SDK
// host set up for it: a fake program folder whose settings file trusts the
// collector's certificate, a private APPDATA, and the SDK's deliveries sent
// to the collector with short pauses.
#pragma once

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "CManagement.h"
#include "CQueueFile.h"
#include "SdkRuntime.h"
#include "unit/FakeSystem.h"

namespace sdktest {

namespace fs = std::filesystem;

// A self-signed certificate for 127.0.0.1, made once per folder.
inline bool MakeCertificate(const fs::path& folder) {
  if (fs::exists(folder / "cert.pem")) return true;
  const std::string command = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
                              " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                              (folder / "key.pem").string() + "' -out '" + (folder / "cert.pem").string() +
                              "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

inline size_t AppendText(void* data, size_t size, size_t count, void* text) {
  static_cast<std::string*>(text)->append(static_cast<const char*>(data), size * count);
  return size * count;
}

// refservices with its collector; Stop and Start keep the port.
class Collector {
 public:
  explicit Collector(fs::path certFolder) : certs_(std::move(certFolder)) {}
  ~Collector() { Stop(); }

  bool Start(int port = 0) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    const std::string program = std::string(SETUP_BIN_DIR) + "/refservices";
    const std::string cert = (certs_ / "cert.pem").string(), key = (certs_ / "key.pem").string();
    const std::string portText = std::to_string(port > 0 ? port : port_);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipeFds[1], 1);
      close(pipeFds[0]);
      execl(program.c_str(), program.c_str(), "--https", cert.c_str(), key.c_str(), "--port", portText.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeFds[1]);
    FILE* out = fdopen(pipeFds[0], "r");
    int bound = 0;
    const bool ok = out && std::fscanf(out, "PORT %d", &bound) == 1;
    if (out) std::fclose(out);
    if (ok) port_ = bound;
    return ok;
  }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  int Port() const { return port_; }
  std::string Base() const { return "https://127.0.0.1:" + std::to_string(port_); }

  // The accepted requests: [{path, target, body}].
  Json::Value Accepted() const {
    Json::Value list;
    std::istringstream(Request("/_control/collector/accepted", false)) >> list;
    return list;
  }
  void SetFault(const std::string& query) const { Request("/_control/collector/fault?" + query, true); }
  void Clear() const { Request("/_control/collector/clear", true); }

  // Waits until `count` requests were accepted (or the time is up).
  Json::Value WaitForAccepted(Json::ArrayIndex count, std::chrono::seconds limit = std::chrono::seconds(20)) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    Json::Value list = Accepted();
    while (list.size() < count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      list = Accepted();
    }
    return list;
  }

 private:
  std::string Request(const std::string& target, bool post) const {
    CURL* handle = curl_easy_init();
    std::string answer;
    const std::string url = Base() + target;
    const std::string ca = (certs_ / "cert.pem").string();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_CAINFO, ca.c_str());
    if (post) curl_easy_setopt(handle, CURLOPT_POSTFIELDS, "");
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendText);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &answer);
    curl_easy_perform(handle);
    curl_easy_cleanup(handle);
    return answer;
  }

  fs::path certs_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// A folder per process: the SDK's settings record reads its program folder
// once, so every test of one process shares it.
inline fs::path ProcessFolder() {
  static const fs::path folder = [] {
    const fs::path path = fs::temp_directory_path() / ("setup_sdk_itest_" + std::to_string(getpid()));
    fs::create_directories(path / "program");
    return path;
  }();
  return folder;
}

// Installs the fake system, writes the program folder's settings file and
// points the SDK at the collector.
class SdkHost : public ::testing::Test {
 private:
  // The sender ends with the tests, as the program's shut-down ends it:
  // before the TLS library's own clean-up at exit, which would otherwise
  // leave the thread's TLS state behind.
  struct SenderStop : ::testing::Environment {
    void TearDown() override { SdkRuntime::Get().StopSender(); }
  };
  static inline ::testing::Environment* const senderStop_ = ::testing::AddGlobalTestEnvironment(new SenderStop);

 protected:
  static constexpr const char* kProgramName = "Setup_123456789012345678.exe";  // 18-digit cross-end id

  void SetUp() override {
    ASSERT_TRUE(MakeCertificate(ProcessFolder()));
    const fs::path program = ProcessFolder() / "program";
    TrustCollector(true);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    appData_ = ProcessFolder() / (std::string(test->test_suite_name()) + "_" + test->name());
    fs::remove_all(appData_);
    fs::create_directories(appData_);
    fake_.SetModulePath((program / kProgramName).wstring());
    fake_.SetEnv(L"APPDATA", appData_.wstring());
    fake_.SetVolumeGuid(L"0f1e2d3c-aaaa-bbbb-cccc-333344445555");  // containers may have none
    guard_ = std::make_unique<FakeSystemGuard>(fake_);
    ASSERT_TRUE(collector_.Start());
    Configure(collector_.Base());
  }

  void TearDown() override {
    // Leave nothing in flight for the next test of this process.
    TrustCollector(true);
    collector_.SetFault("mode=none");
    // A sender still busy when the wait ends must not outlive the fake.
    if (!WaitUntilIdle()) SdkRuntime::Get().StopSender();
    guard_.reset();
  }

  // The settings file names the collector's certificate as an extra CA, or
  // leaves the system store alone.
  static void TrustCollector(bool trust) {
    std::ofstream settings(ProcessFolder() / "program" / "ov_downloader.cfg");
    settings << "[Settings]\n";
    if (trust) settings << "CaBundle=" << (ProcessFolder() / "cert.pem").string() << "\n";
  }

  void Configure(const std::string& base, const std::string& collectPath = "/collect") {
    DeliveryConfig config;
    config.collectorUrl = base + collectPath;
    config.testCollectorUrl = base + "/collector";
    config.ga4Base = base;
    config.connectTimeoutSeconds = 2;
    config.totalTimeoutSeconds = 3;
    SdkTiming timing;
    timing.retryPauseMs = 20;
    timing.idlePollMs = 20;
    timing.restPollMs = 50;
    SdkRuntime::Get().Configure(config, timing);
  }

  static bool WaitUntilIdle(std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!SdkRuntime::Get().Queue().Idle()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  fs::path DataFolder(int mainPid) const { return appData_ / "RIDereDideriZOZ" / std::to_string(mainPid); }
  // The queue file's document; an empty object while there is no file.
  Json::Value QueueFile(int mainPid) const {
    return CQueueFile((DataFolder(mainPid) / "backup" / "tempga.wk").wstring()).Read();
  }
  std::string SdkLogText(int mainPid) const {
    std::string text;
    for (const auto& entry : fs::directory_iterator(DataFolder(mainPid) / "logs")) {
      std::ifstream in(entry.path());
      text += std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return text;
  }

  FakeSystem fake_;
  std::unique_ptr<FakeSystemGuard> guard_;
  fs::path appData_;
  Collector collector_{ProcessFolder()};
};

}  // namespace sdktest
