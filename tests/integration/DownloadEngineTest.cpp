// The download engine against the reference download server on loopback:
// resume, redirects, every server fault, the stall, network and CDN exits.
// Clock and network state are injected, so no test waits a minute.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Digest.h"
#include "download/CLibcurlTool.h"
#include "download/CDownloader.h"
#include "download/DownLoadImpl.h"
#include "download/DownloadEvents.h"
#include "runstate/RunState.h"
#include "platform/Network.h"
#include "platform/Platform.h"
#include "ByteRanges.h"
#include "Nginx.h"
#include "RefServices.h"
#include "unit/WaitUntil.h"

namespace {

// "METHOD target [Range]" of each request the services recorded.
std::vector<std::string> Requests(const RefServices& services) {
  std::vector<std::string> seen;
  for (const Json::Value& entry : services.Requests())
    seen.push_back(entry["method"].asString() + " " + entry["target"].asString() +
                   (entry["headers"].isMember("Range") ? " " + entry["headers"]["Range"].asString() : ""));
  return seen;
}

std::string CdnUrl(const RefServices& services, const std::string& path) {
  return "http://cdn.localhost:" + std::to_string(services.port()) + path;
}

// Real ticks plus an offset the test moves forward; the network switch.
std::atomic<uint32_t> g_tickOffset{0};
std::atomic<bool> g_networkAlive{true};
uint32_t ShiftedTicks() { return platform::SystemTickCount() + g_tickOffset.load(); }
bool SwitchedNetwork() { return g_networkAlive.load(); }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string FileMd5(const std::string& path) { return md5Hex(ReadAll(path)); }

class DownloadEngine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    curl_global_init(CURL_GLOBAL_ALL);
    files_ = std::filesystem::temp_directory_path() / ("setup_dl_files_" + std::to_string(getpid()));
    std::filesystem::create_directories(files_);
    services_ = new RefServices({{}, files_});
  }
  static void TearDownTestSuite() {
    delete services_;
    std::filesystem::remove_all(files_);
    curl_global_cleanup();
  }
  void SetUp() override {
    ASSERT_GT(services_->port(), 0);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    // The process id keeps two runs of the suite on one machine apart.
    folder_ = std::filesystem::temp_directory_path() /
              ("setup_dl_" + std::string(test->name()) + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    target_ = (folder_ / "package.bin").string();
    platform::SetTickSource(&ShiftedTicks);
    platform::SetNetworkProbe(&SwitchedNetwork);
    g_tickOffset = 0;
    g_networkAlive = true;
    RunState::Shared().SetTransferTimeout(2);
    DownloadEvents::SetSink([this](const std::string&, const std::string& category,
                                   const std::string& action, const std::string& label,
                                   const std::string&, const std::string&) {
      std::lock_guard<std::mutex> lock(eventsLock_);
      events_.push_back(category + "/" + action + (label.empty() ? "" : "/" + label));
    });
    services_->ClearRequests();
  }
  bool sawEvent(const std::string& event) {
    std::lock_guard<std::mutex> lock(eventsLock_);
    return std::find(events_.begin(), events_.end(), event) != events_.end();
  }
  void TearDown() override {
    platform::SetTickSource(nullptr);
    platform::SetNetworkProbe(nullptr);
    DownloadEvents::SetSink(nullptr);
    CDownLoadImpl::SetProgressCallback(nullptr);
    RunState::Shared().SetSliceNum(0);
    RunState::Shared().SetSliceSize(0);
    RunState::Shared().SetTransferTimeout(20);
    std::filesystem::remove_all(folder_);
  }
  int download(const std::string& url, bool mainDownload = true, const std::atomic<bool>* cancel = nullptr) {
    std::string cdnInfo;
    return CDownLoadImpl::SuperDownloadFile(platform::AnsiToWide(url).c_str(),
                                            platform::AnsiToWide(target_).c_str(), cdnInfo, mainDownload, cancel);
  }
  // Generated content of `size` bytes under a name unique to the test, so
  // that the process-wide length cache never answers for another test.
  std::string generated(int64_t size, const std::string& faults = "") const {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string resource = "gen/" + std::to_string(size) + "/" + name + ".bin";
    return faults.empty() ? "/" + resource : "/dl/" + faults + "/" + resource;
  }
  std::string source(int64_t size) const {
    std::string body;
    CLibcurlTool(curl_easy_init()).httpGet(services_->Url(generated(size)).c_str(), body, false);
    return body;
  }
  std::string sourceMd5(int64_t size) const {
    const std::string copy = target_ + ".source";
    std::ofstream(copy, std::ios::binary) << source(size);
    return FileMd5(copy);
  }
  // Every byte that the task file counts as written equals the source's.
  void expectWrittenBytesMatchSource(int64_t size) const {
    std::ifstream in(target_ + ".xml");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::ifstream file(target_, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(file)), {});
    const std::string expected = source(size);
    const std::regex task(R"(<StartPos>(\d+)</StartPos>[\s\S]*?<DownloadedPos>(\d+)</DownloadedPos>)");
    for (std::sregex_iterator it(text.begin(), text.end(), task), end; it != end; ++it) {
      const size_t from = std::stoull((*it)[1]), to = std::stoull((*it)[2]);
      if (to == from) continue;
      ASSERT_LE(to, written.size());
      EXPECT_EQ(written.compare(from, to - from, expected, from, to - from), 0) << from << "-" << to;
    }
  }
  // Waits until the task file holds bytes of every slice, as the engine
  // saves it at each tenth of the file.
  void waitForBytesOfEverySlice() {
    EXPECT_TRUE(WaitUntil([this] {
      std::ifstream in(target_ + ".xml");
      const std::string text((std::istreambuf_iterator<char>(in)), {});
      return text.find("<DownloadedPos>") != std::string::npos &&
             text.find("<DownloadedPos>0</DownloadedPos>") == std::string::npos;
    })) << "the task file never held bytes of every slice";
  }
  // Runs the attempt on another thread; moves the clock on by a minute as
  // soon as `when` holds, so the stall rule fires without waiting.
  template <class Condition>
  int downloadSkippingAMinute(const std::string& url, Condition when) {
    std::atomic<int> result{-1};
    std::thread attempt([&] { result = download(url); });
    EXPECT_TRUE(WaitUntil(when)) << "the condition for skipping the minute never held";
    g_tickOffset += 61000;
    attempt.join();
    return result;
  }

  static RefServices* services_;
  static std::filesystem::path files_;  // the server's /files/
  std::mutex eventsLock_;
  std::vector<std::string> events_;  // "category/action[/label]"
  std::filesystem::path folder_;
  std::string target_;
};

RefServices* DownloadEngine::services_ = nullptr;
std::filesystem::path DownloadEngine::files_;

int CountPrefix(const std::vector<std::string>& requests, const std::string& prefix) {
  int count = 0;
  for (const std::string& request : requests) count += request.rfind(prefix, 0) == 0;
  return count;
}

}  // namespace

TEST_F(DownloadEngine, DownloadsByteIdenticalAndResumesWithoutRequests) {
  const int64_t size = 10 * 1048576 + 12345;
  const std::string url = services_->Url(generated(size));
  ASSERT_EQ(download(url), DownloadOk);
  EXPECT_EQ(FileMd5(target_), sourceMd5(size));
  // Slices plus one probe of the first byte: the length is measured once.
  EXPECT_EQ(CountPrefix(Requests(*services_), "GET " + generated(size) + " bytes=0-0"), 1);
  EXPECT_EQ(CountPrefix(Requests(*services_), "HEAD"), 0);

  services_->ClearRequests();
  std::vector<int64_t> progress;
  CDownLoadImpl::SetProgressCallback([&](int64_t done, int64_t total) {
    progress = {done, total};
  });
  EXPECT_EQ(download(url), DownloadOk);
  EXPECT_TRUE(Requests(*services_).empty());
  EXPECT_EQ(progress, (std::vector<int64_t>{size, size}));
}

// Two slices for four workers: the idle two take the rest of the running
// slices, so some ranges start inside a slice; the result is whole and the
// task file says so.
TEST_F(DownloadEngine, IdleWorkersTakeTheRestOfRunningSlices) {
  const int64_t size = 6 * 1048576;
  RunState::Shared().SetSliceNum(2);
  const std::string url = services_->Url(generated(size, "rate=3000000"));
  ASSERT_EQ(download(url), DownloadOk);
  EXPECT_EQ(FileMd5(target_), sourceMd5(size));
  int insideSlices = 0;
  for (const std::string& request : Requests(*services_))
    insideSlices += request.find(" bytes=") != std::string::npos &&
                    request.find(" bytes=0-") == std::string::npos &&
                    request.find(" bytes=3145728-") == std::string::npos;
  EXPECT_GE(insideSlices, 2);
  services_->ClearRequests();
  EXPECT_EQ(download(url), DownloadOk);
  EXPECT_TRUE(Requests(*services_).empty());
}

TEST_F(DownloadEngine, HalfDoneTaskFileRequestsOnlyMissingBytes) {
  const int64_t size = 4 * 1048576;
  RunState::Shared().SetSliceNum(4);
  const std::string url = services_->Url(generated(size));
  ASSERT_EQ(download(url), DownloadOk);
  // Forget the second half of slice 2 and all of slice 4, and spoil those bytes.
  std::ifstream in(target_ + ".xml");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  auto rewind = [&text](const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
  };
  rewind("<DownloadedPos>2097152</DownloadedPos>", "<DownloadedPos>1572864</DownloadedPos>");
  rewind("<DownloadedPos>4194304</DownloadedPos>", "<DownloadedPos>3145728</DownloadedPos>");
  std::ofstream(target_ + ".xml") << text;
  {
    std::fstream file(target_, std::ios::in | std::ios::out | std::ios::binary);
    const std::string zeros(524288, '\0');
    file.seekp(1572864);
    file.write(zeros.data(), zeros.size());
    file.seekp(3145728);
    file.write(zeros.data(), zeros.size());
  }
  services_->ClearRequests();
  ASSERT_EQ(download(url), DownloadOk);
  // The ranges asked, joined, are exactly the forgotten ones.
  ByteRanges ranges;
  const std::regex range("^GET " + generated(size) + R"( bytes=(\d+)-(\d+)$)");
  std::smatch match;
  for (const std::string& request : Requests(*services_)) {
    ASSERT_TRUE(std::regex_match(request, match, range)) << request;
    ranges.emplace_back(std::stoll(match[1]), std::stoll(match[2]));
  }
  EXPECT_EQ(JoinedRanges(ranges), (ByteRanges{{1572864, 2097151}, {3145728, 4194304}}));
  EXPECT_TRUE(sawEvent("Download/ResumUpload"));
  EXPECT_EQ(FileMd5(target_), sourceMd5(size));
}

TEST_F(DownloadEngine, RedirectSwitchesTheAddressOfTheSlices) {
  const int64_t size = 2 * 1048576;
  ASSERT_EQ(download(services_->Url("/redirect/3" + generated(size))), DownloadOk);
  std::ifstream in(target_ + ".xml");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("<RemotePath>" + services_->Url(generated(size)) + "</RemotePath>"), std::string::npos);
  EXPECT_EQ(text.find("/redirect/"), std::string::npos);
  EXPECT_EQ(FileMd5(target_), sourceMd5(size));
}

TEST_F(DownloadEngine, ProbeFailuresEndWithTheirCodes) {
  EXPECT_EQ(download(services_->Url(generated(1048576, "status=503"))), GetLengthFailed);
  EXPECT_EQ(download(services_->Url("/loop/0")), TooManyRedirects);
  EXPECT_TRUE(sawEvent("Other/Download/error:47/error:47/error:47/error:47/error:47/error:47/"
                       "error:47/error:47/error:47/error:47"));
  EXPECT_FALSE(std::filesystem::exists(target_ + ".xml"));
}

TEST_F(DownloadEngine, SmallMainDownloadFailsButSmallBannerSucceeds) {
  EXPECT_EQ(download(services_->Url(generated(512000)), false), DownloadOk);
  EXPECT_EQ(FileMd5(target_), sourceMd5(512000));
  std::filesystem::remove(target_);
  std::filesystem::remove(target_ + ".xml");
  EXPECT_EQ(download(services_->Url(generated(512000)), true), FileTooSmall);
}

// Faults that every request meets end the attempt: answers that fail at
// once after the slices gave up their retries (12), a silent server after
// a minute without a byte (10). The bytes that did arrive are right and
// the task file keeps them.
TEST_F(DownloadEngine, PersistentFaultsEndTheAttemptAndKeepOnlyRightBytes) {
  const int64_t size = 2 * 1048576;
  RunState::Shared().SetSliceNum(2);
  for (const std::string faults : {"length=-7", "skip=1,total=5", "skip=1,stall=30"}) {
    std::filesystem::remove(target_);
    std::filesystem::remove(target_ + ".xml");
    const std::string url = services_->Url(generated(size, faults));
    const bool silent = faults.find("stall") != std::string::npos;
    const int result = silent ? downloadSkippingAMinute(url, [&] { return CountPrefix(Requests(*services_), "GET") >= 3; })
                              : download(url);
    EXPECT_EQ(result, silent ? NoSpeedTimeout : LengthShort) << faults;
    expectWrittenBytesMatchSource(size);
    services_->ClearRequests();
  }
}

// Faults that let some bytes through: retries within the attempt finish it.
TEST_F(DownloadEngine, TransientFaultsSucceedByteIdentical) {
  const int64_t size = 1048576 + 4096;
  RunState::Shared().SetSliceSize(262144);
  for (const std::string faults : {"drop=150000", "rate=4000000", "cfray=1a2b-FRA,cfcache=HIT"}) {
    std::filesystem::remove(target_);
    std::filesystem::remove(target_ + ".xml");
    EXPECT_EQ(download(services_->Url(generated(size, faults))), DownloadOk) << faults;
    EXPECT_EQ(FileMd5(target_), sourceMd5(size)) << faults;
  }
}

TEST_F(DownloadEngine, CdnSummaryListsSlicesServedUnlikeTheProbe) {
  RunState::Shared().SetSliceNum(2);
  std::string cdnInfo;
  const std::wstring target = platform::AnsiToWide(target_);
  const std::string cf = services_->Url(generated(1048576, "cfray=1a2b-FRA,cfcache=HIT"));
  ASSERT_EQ(CDownLoadImpl::SuperDownloadFile(platform::AnsiToWide(cf).c_str(), target.c_str(), cdnInfo, true),
            DownloadOk);
  EXPECT_EQ(cdnInfo, "T();C(FRA/HIT;FRA/HIT;)");
  std::filesystem::remove(target_);
  std::filesystem::remove(target_ + ".xml");
  const std::string plain = services_->Url(generated(1048576, "xcache=HIT"));
  ASSERT_EQ(CDownLoadImpl::SuperDownloadFile(platform::AnsiToWide(plain).c_str(), target.c_str(), cdnInfo, true),
            DownloadOk);
  EXPECT_EQ(cdnInfo, "");
}

TEST_F(DownloadEngine, CdnAddressEndsAtTheThirteenthFailureWithFourSlices) {
  RunState::Shared().SetSliceNum(4);
  const std::string path = generated(2 * 1048576, "skip=1,total=5");
  // Its own code: neither the slices' retries (LengthShort) nor the stall
  // rule (NoSpeedTimeout, which the untouched clock cannot reach) ended it.
  EXPECT_EQ(download(CdnUrl(*services_, path)), CdnRequestFailed);
  int failures = CountPrefix(Requests(*services_), "GET");
  EXPECT_GE(failures, 13);
  // The same failures on an address that is not a CDN's: the slices give
  // up after six requests each.
  services_->ClearRequests();
  const std::string other = generated(2 * 1048576, "skip=1,total=6");
  EXPECT_EQ(download(services_->Url(other)), LengthShort);
  EXPECT_GT(CountPrefix(Requests(*services_), "GET"), 13);
}

TEST_F(DownloadEngine, NetworkLossStopsAndTheNextAttemptResumes) {
  const std::string url = services_->Url(generated(4 * 1048576, "rate=2000000"));
  std::atomic<int> result{-1};
  std::thread attempt([&] { result = download(url); });
  waitForBytesOfEverySlice();
  g_networkAlive = false;
  attempt.join();
  EXPECT_EQ(result, NetworkDown);
  // The task file holds what arrived before the loss.
  std::ifstream in(target_ + ".xml");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("<TaskStatus>"), std::string::npos);
  EXPECT_EQ(text.find("<DownloadedPos>0</DownloadedPos>"), std::string::npos);

  g_networkAlive = true;
  EXPECT_EQ(download(url), DownloadOk);
  EXPECT_EQ(FileMd5(target_), sourceMd5(4 * 1048576));
}

// A closing window cancels a slow attempt at once: the slices' transfers
// are ended, not waited for (each had seconds of its slow first answer to
// go, with no time limit); the next attempt, served at full speed, resumes.
// A slice for every worker, so that no idle worker takes a faster part.
TEST_F(DownloadEngine, ACancelledAttemptEndsItsTransfersAndResumesLater) {
  const int slices = CDownLoadImpl::workerCount();
  RunState::Shared().SetTransferTimeout(3600);
  RunState::Shared().SetSliceNum(slices);
  const std::string faults = "skip=1,times=" + std::to_string(slices) + ",rate=50000";
  const std::string url = services_->Url(generated(2 * 1048576, faults));
  std::atomic<bool> cancel{false};
  std::atomic<int> result{-1};
  std::thread attempt([&] { result = download(url, true, &cancel); });
  waitForBytesOfEverySlice();
  cancel = true;
  attempt.join();
  EXPECT_EQ(result, Cancelled);
  const std::string text = ReadAll(target_ + ".xml");
  EXPECT_EQ(text.find("<DownloadedPos>0</DownloadedPos>"), std::string::npos);
  EXPECT_EQ(text.find("<TaskStatus>1</TaskStatus>"), std::string::npos) << "a slice was waited for to its end";
  services_->ClearRequests();
  EXPECT_EQ(download(url), DownloadOk);
  EXPECT_GE(CountPrefix(Requests(*services_), "GET"), slices);  // the rest of each slice
  EXPECT_EQ(FileMd5(target_), sourceMd5(2 * 1048576));
}

TEST_F(DownloadEngine, NoNetworkAtTheStart) {
  g_networkAlive = false;
  EXPECT_EQ(download(services_->Url(generated(1048576))), NetworkDown);
}

// Part of the ranged requests answered with an error page, a wrong total or
// the whole file: the attempt ends byte-identical, for ".exe" addresses and
// others alike.
TEST_F(DownloadEngine, SomeWrongAnswersNeverLeaveWrongBytes) {
  const int64_t size = 1048576 + 4096;
  RunState::Shared().SetSliceSize(262144);
  for (const std::string faults :
       {"every=2,status=503", "every=3,status=404", "skip=1,every=2,range=lie", "skip=1,every=2,total=5"}) {
    for (const std::string name : {"pkg.exe", "pkg.bin"}) {
      std::filesystem::remove(target_);
      std::filesystem::remove(target_ + ".xml");
      const std::string path = "/dl/" + faults + "/gen/" + std::to_string(size) + "/" + name;
      EXPECT_EQ(download(services_->Url(path)), DownloadOk) << path;
      EXPECT_EQ(FileMd5(target_), sourceMd5(size)) << path;
    }
  }
}

// A server without range support (the whole file in every answer, also to
// the probe's range) is read in one stream, and a resumed stream that it
// answers with the whole file starts again at byte 0. A server that serves
// the probe's range but ignores the slices' is read in one stream too, from
// its first such answer on.
TEST_F(DownloadEngine, ServerIgnoringRangesIsReadInOneStream) {
  const int64_t size = 3 * 1048576 + 7;
  const std::string url = services_->Url(generated(size, "range=ignore,rate=6000000"));
  CDownLoadImpl::SetProgressCallback([](int64_t done, int64_t) {
    if (done > 0) g_networkAlive = false;
  });
  EXPECT_EQ(download(url), NetworkDown);
  EXPECT_TRUE(sawEvent("Download/OneStream/NoRanges"));
  CDownLoadImpl::SetProgressCallback(nullptr);
  g_networkAlive = true;
  services_->ClearRequests();
  EXPECT_EQ(download(url), DownloadOk);
  EXPECT_EQ(CountPrefix(Requests(*services_), "GET"), 1);
  EXPECT_EQ(FileMd5(target_), sourceMd5(size));

  std::filesystem::remove(target_);
  std::filesystem::remove(target_ + ".xml");
  RunState::Shared().SetSliceSize(1048576);
  EXPECT_EQ(download(services_->Url(generated(size, "skip=1,range=lie"))), DownloadOk);
  EXPECT_TRUE(sawEvent("Download/OneStream/RangeIgnored"));
  EXPECT_EQ(FileMd5(target_), sourceMd5(size));
}

// A Location relative to the answering address is resolved against it; a
// Content-Location on a 200 moves nothing.
TEST_F(DownloadEngine, RelativeRedirectsResolveAndContentLocationIsNone) {
  const int64_t size = 1048576 + 1;
  const std::string resource = "gen/" + std::to_string(size) + "/relative.bin";
  const auto remotePath = [this] {
    std::ifstream in(target_ + ".xml");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const size_t from = text.find("<RemotePath>") + 12;
    return text.substr(from, text.find("</RemotePath>") - from);
  };
  for (const std::string& path : {"/pub/" + resource, "/gen/" + std::to_string(size) + "/was-relative.bin",
                                 "/dl/cloc=elsewhere.bin/" + resource}) {
    std::filesystem::remove(target_);
    std::filesystem::remove(target_ + ".xml");
    ASSERT_EQ(download(services_->Url(path)), DownloadOk) << path;
    EXPECT_EQ(FileMd5(target_), sourceMd5(size)) << path;
    EXPECT_EQ(remotePath(), services_->Url(path.rfind("/dl/", 0) == 0 ? path : "/" + resource));
  }
}

// A stop ends a transfer at once, whatever time limit the server configured:
// the first slice, silent for 20 s after its headers, ends without a byte
// and with the stop's code, which counts as no failure of the server.
TEST_F(DownloadEngine, StopEndsStalledTransfersAtOnce) {
  RunState::Shared().SetTransferTimeout(3600);
  const std::string path = generated(1048576, "stall=20");
  CDownloader downloader(services_->Url(path).c_str(), target_.c_str(), (target_ + ".xml").c_str(), 4);
  ASSERT_EQ(downloader.downloadInit(false, "", 0), DownloadOk);
  const CTask& first = *downloader.taskManager().tasks().front();
  ASSERT_EQ(first.StartPos, 0);
  downloader.setRunState(CDownloader::kRunning);
  const auto requested = [&] {
    const std::vector<std::string> requests = Requests(*services_);
    return std::any_of(requests.begin(), requests.end(), [&](const std::string& request) {
      return request.rfind("GET " + path + " bytes=0-", 0) == 0 && request != "GET " + path + " bytes=0-0";
    });
  };
  EXPECT_TRUE(WaitUntil(requested)) << "the first slice was never requested";
  downloader.joinDriver();
  EXPECT_EQ(first.DownloadedPos.load(), 0);
  EXPECT_FALSE(first.isComplete());
  EXPECT_EQ(first.RequestTimes.load(), 0);
}

namespace {

void WriteAll(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string RandomBytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  std::minstd_rand random(seed);
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

}  // namespace

// A file the publisher replaced at the same address (same length, new
// modification time, so a new ETag) while half of the old one was on disk:
// the resumed slices carry the old ETag in If-Range, the server answers
// with the whole new file, and the download starts again within the same
// attempt (DL025) and ends with the new file. A server whose ETag differs
// in every answer restarts it once; the second run sends no If-Range.
TEST_F(DownloadEngine, ReplacedFileIsDetectedAndDownloadedAgain) {
  const size_t size = 3 * 1048576 + 5;
  const std::filesystem::path served = files_ / "replaced.bin";
  WriteAll(served, RandomBytes(size, 1));
  std::filesystem::last_write_time(served, std::filesystem::file_time_type::clock::now() - std::chrono::hours(48));
  RunState::Shared().SetSliceNum(3);
  const std::string url = services_->Url("/dl/rate=600000/files/replaced.bin");
  std::atomic<bool> cancel{false};
  CDownLoadImpl::SetProgressCallback([&cancel, size](int64_t done, int64_t) {
    if (done > static_cast<int64_t>(size / 4)) cancel = true;
  });
  ASSERT_EQ(download(url, true, &cancel), Cancelled);
  CDownLoadImpl::SetProgressCallback(nullptr);
  ASSERT_NE(ReadAll(target_ + ".xml").find("<Validator>"), std::string::npos);

  const std::string replacement = RandomBytes(size, 2);
  WriteAll(served, replacement);
  services_->ClearRequests();
  ASSERT_EQ(download(url), DownloadOk);
  EXPECT_TRUE(ReadAll(target_) == replacement);
  EXPECT_TRUE(sawEvent("Other/FlowError/DL025"));
  bool askedIfRange = false;
  for (const Json::Value& request : services_->Requests()) askedIfRange |= request["headers"].isMember("If-Range");
  EXPECT_TRUE(askedIfRange);

  std::filesystem::remove(target_);
  std::filesystem::remove(target_ + ".xml");
  {
    std::lock_guard<std::mutex> lock(eventsLock_);
    events_.clear();
  }
  services_->ClearRequests();
  ASSERT_EQ(download(services_->Url(generated(size, "etag=flaky"))), DownloadOk);
  EXPECT_EQ(FileMd5(target_), sourceMd5(size));
  int restarts = 0;
  {
    std::lock_guard<std::mutex> lock(eventsLock_);
    restarts = static_cast<int>(std::count(events_.begin(), events_.end(), "Other/FlowError/DL025"));
  }
  EXPECT_EQ(restarts, 1);
  const Json::Value requests = services_->Requests();
  ASSERT_GT(requests.size(), 2u);
  EXPECT_FALSE(requests[requests.size() - 1]["headers"].isMember("If-Range"));
}

// A resumed download asks the address this run's probe was redirected to
// (a signed CDN address that expires), never the one the task file names.
TEST_F(DownloadEngine, ResumedSlicesAskThisRunsRedirectTarget) {
  const int64_t size = 2 * 1048576;
  RunState::Shared().SetSliceNum(4);
  const std::string url = services_->Url("/redirect/1" + generated(size));
  ASSERT_EQ(download(url), DownloadOk);
  std::string text = ReadAll(target_ + ".xml");
  const std::string fresh = services_->Url(generated(size));
  for (size_t at; (at = text.find(fresh)) != std::string::npos;) text.replace(at, fresh.size(), "http://127.0.0.1:9/expired");
  const std::string half = "<DownloadedPos>" + std::to_string(size) + "</DownloadedPos>";
  text.replace(text.find(half), half.size(), "<DownloadedPos>" + std::to_string(size - 4096) + "</DownloadedPos>");
  WriteAll(target_ + ".xml", text);
  services_->ClearRequests();
  ASSERT_EQ(download(url), DownloadOk);
  EXPECT_EQ(Requests(*services_).back(), "GET " + generated(size) + " bytes=" + std::to_string(size - 4096) + "-" +
                                             std::to_string(size));
  EXPECT_EQ(FileMd5(target_), sourceMd5(size));
}

// A target that lost what its task file counts (deleted, cut short) is
// downloaded again; a stale longer target without a task file is cut to
// the remote length.
TEST_F(DownloadEngine, TargetThatLostItsBytesStartsOver) {
  const int64_t size = 2 * 1048576 + 3;
  const std::string url = services_->Url(generated(size));
  ASSERT_EQ(download(url), DownloadOk);
  for (const int64_t left : {int64_t{-1}, size / 2}) {
    if (left < 0) std::filesystem::remove(target_);
    else std::filesystem::resize_file(target_, static_cast<uintmax_t>(left));
    services_->ClearRequests();
    EXPECT_EQ(download(url), DownloadOk) << left;
    EXPECT_GT(CountPrefix(Requests(*services_), "GET"), 0) << left;
    EXPECT_EQ(FileMd5(target_), sourceMd5(size)) << left;
  }
  std::filesystem::remove(target_ + ".xml");
  WriteAll(target_, RandomBytes(static_cast<size_t>(size) + 1048576, 3));
  EXPECT_EQ(download(url), DownloadOk);
  EXPECT_EQ(std::filesystem::file_size(target_), static_cast<uintmax_t>(size));
  EXPECT_EQ(FileMd5(target_), sourceMd5(size));
}

// A target that cannot take the package (here: beyond the process's file
// size limit, as on a disk without room) ends the attempt at once with its
// own code: the length probe is the only request.
TEST_F(DownloadEngine, TargetWithoutRoomFailsAtOnce) {
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1048576;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int result = download(services_->Url(generated(8 * 1048576)));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, handler);
  EXPECT_EQ(result, WriteFailed);
  EXPECT_EQ(Requests(*services_), std::vector<std::string>{"GET " + generated(8 * 1048576) + " bytes=0-0"});
}

// Slices that keep failing are given up after six requests each, so the
// attempt ends (12) instead of pressing the server until the stall rule.
// A CDN download that completes after more failures than the CDN rule
// allows is a success: completion is judged first.
TEST_F(DownloadEngine, RetriesAreBoundedAndCompletionComesBeforeTheCdnRule) {
  RunState::Shared().SetSliceNum(1);
  const std::string refusing = generated(1048576, "skip=1,status=503,retry=0");
  EXPECT_EQ(download(services_->Url(refusing)), LengthShort);
  EXPECT_EQ(CountPrefix(Requests(*services_), "GET " + refusing + " bytes=0-"), 7);  // the probe and six slices

  std::filesystem::remove(target_);
  std::filesystem::remove(target_ + ".xml");
  services_->ClearRequests();
  const std::string path = generated(1048576, "skip=1,times=4,status=503");
  // The watch is held in its first report until the slice is complete, so
  // that completion and the fourth failure meet in one pass.
  bool held = false;
  CDownLoadImpl::SetProgressCallback([&](int64_t, int64_t) {
    const auto complete = [this] {
      return ReadAll(target_ + ".xml").find("<TaskStatus>1</TaskStatus>") != std::string::npos;
    };
    EXPECT_TRUE(held || WaitUntil(complete)) << "the slice was never complete";
    held = true;
  });
  EXPECT_EQ(download(CdnUrl(*services_, path)), DownloadOk);
  EXPECT_EQ(CountPrefix(Requests(*services_), "GET"), 6);  // the probe, four refusals, the slice
  EXPECT_EQ(FileMd5(target_), sourceMd5(1048576));
}

// A server that serves ranges without announcing them (Accept-Ranges: none)
// is read in slices: the probe's own range decides.
TEST_F(DownloadEngine, RangesServedWithoutAcceptRangesAreUsed) {
  const int64_t size = 3 * 1048576;
  RunState::Shared().SetSliceNum(3);
  ASSERT_EQ(download(services_->Url(generated(size, "accept=none"))), DownloadOk);
  int insideTheFile = 0;
  for (const std::string& request : Requests(*services_))
    insideTheFile += request.find(" bytes=") != std::string::npos && request.find(" bytes=0-") == std::string::npos;
  EXPECT_GE(insideTheFile, 2);
  EXPECT_FALSE(sawEvent("Download/OneStream/NoRanges"));
  EXPECT_EQ(FileMd5(target_), sourceMd5(size));
}

// While the slices wait for a slow first slice before they become one
// stream, the bytes it brings count as progress: the watch sees them grow
// (a minute of that is no stall).
TEST_F(DownloadEngine, ProgressCountsWhileSlicesBecomeOneStream) {
  const int64_t size = 3 * 1048576;
  RunState::Shared().SetSliceNum(3);
  std::vector<int64_t> beforeSwitch;
  CDownLoadImpl::SetProgressCallback([&](int64_t done, int64_t) {
    if (!sawEvent("Download/OneStream/RangeIgnored")) beforeSwitch.push_back(done);
  });
  ASSERT_EQ(download(services_->Url(generated(size, "skip=1,range=lie,rate=1000000"))), DownloadOk);
  EXPECT_TRUE(sawEvent("Download/OneStream/RangeIgnored"));
  std::sort(beforeSwitch.begin(), beforeSwitch.end());
  beforeSwitch.erase(std::unique(beforeSwitch.begin(), beforeSwitch.end()), beforeSwitch.end());
  EXPECT_GE(beforeSwitch.size(), 3u);  // 0 and at least two steps of the first slice
  EXPECT_EQ(FileMd5(target_), sourceMd5(size));
}

// Only new bytes keep an attempt alive: a resumed stream that the server
// answers with the whole file starts again at 0, and neither that drop nor
// the bytes that bring the count back towards where it was are progress.
// Here the server also cuts every answer after 600000 bytes, so the stream
// never gets past the resumed bytes; once it is bringing them back, the
// clock moves a minute on: a stall (were they progress, the cuts would use
// up the stream's retries instead: code 12).
TEST_F(DownloadEngine, BytesSentAgainAreNoProgress) {
  const int64_t size = 2 * 1048576;
  std::atomic<bool> cancel{false};
  CDownLoadImpl::SetProgressCallback([&](int64_t done, int64_t) {
    if (done > size / 2) cancel = true;
  });
  ASSERT_EQ(download(services_->Url(generated(size, "range=ignore,rate=1000000")), true, &cancel), Cancelled);
  // The first run ended with more than half of the file: any count below
  // that comes from the whole file sent again.
  bool movedOn = false;
  CDownLoadImpl::SetProgressCallback([&](int64_t done, int64_t) {
    if (!movedOn && done > 0 && done < size / 2) {
      movedOn = true;
      g_tickOffset += 61000;
    }
  });
  EXPECT_EQ(download(services_->Url(generated(size, "range=ignore,drop=600000,rate=1000000"))), NoSpeedTimeout);
  EXPECT_TRUE(movedOn);
}

// Closing the window reaches the length probes too: a server that accepts
// the connection and never answers holds the attempt only until the cancel
// (one connection, not ten probes of 30 s).
TEST_F(DownloadEngine, CancelEndsTheLengthProbes) {
  int port = 0;
  const int listener = nginx_test::SilentListener(&port);
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/silent.exe";
  std::atomic<bool> cancel{false};
  std::atomic<int> result{-1};
  std::thread attempt([&] { result = download(url, true, &cancel); });
  const int first = accept(listener, nullptr, nullptr);
  cancel = true;
  attempt.join();
  EXPECT_EQ(result, Cancelled);
  // No second connection waits: the probes ended with the cancel.
  pollfd waiting{listener, POLLIN, 0};
  EXPECT_EQ(poll(&waiting, 1, 0), 0);
  close(first);
  close(listener);
  EXPECT_FALSE(std::filesystem::exists(target_));
}
