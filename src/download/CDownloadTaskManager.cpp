#include "download/CDownloadTaskManager.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <easylogging++.h>

#include "download/CDownloader.h"
#include "download/CLibcurlTool.h"
#include "download/DownloadEvents.h"
#include "runstate/RunState.h"
#include "platform/Process.h"

namespace {

constexpr int kProbeCalls = 10;
constexpr size_t kMaxValidator = 200;

// A decimal 64-bit number after optional blanks; 0 when there is none.
int64_t NumberAt(const std::string& text, size_t from) {
  return from < text.size() ? std::strtoll(text.c_str() + from, nullptr, 10) : 0;
}

// A 206 to the probe's range names the total in its Content-Range
// ("bytes 0-0/12345"); a 200 carries the whole file's Content-Length.
int64_t LengthFromHeaders(const std::string& headers, long status) {
  if (status == 206) {
    const std::string range = CLibcurlTool::FindHeader(headers, "Content-Range");
    const size_t slash = range.find('/');
    return slash == std::string::npos ? 0 : NumberAt(range, slash + 1);
  }
  return NumberAt(CLibcurlTool::FindHeader(headers, "Content-Length"), 0);
}

// A validator travels in a request header: printable ASCII only, of a
// sensible size. Anything else (from a server or a task file) is none.
std::string CheckedValidator(const std::string& text) {
  const bool printable = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
  return printable && text.size() <= kMaxValidator ? text : std::string();
}

// A strong ETag, else Last-Modified: If-Range takes no weak ETag.
std::string ValidatorOf(const std::string& headers) {
  const std::string etag = CheckedValidator(CLibcurlTool::FindHeader(headers, "ETag"));
  if (!etag.empty() && etag.rfind("W/", 0) != 0) return etag;
  return CheckedValidator(CLibcurlTool::FindHeader(headers, "Last-Modified"));
}

void DetectCdn(const std::string& headers, std::string& cdn) {
  const std::string status = CLibcurlTool::FindHeader(headers, "CF-Cache-Status");
  const std::string ray = CLibcurlTool::FindHeader(headers, "CF-RAY");
  const size_t dash = ray.find('-');
  if (!status.empty() && dash != std::string::npos) {
    // The status keeps the blank after the colon, as the CDN report always had it.
    const std::string statusText = " " + status;
    const std::string node = ray.substr(dash + 1);
    LOG(INFO) << " Cdn result: " << statusText << ", " << node;
    DownloadEvents::Event("Download", "3.CDNStatus", node + "/" + statusText);
    return;
  }
  const std::string cache = CLibcurlTool::FindHeader(headers, "X-Cache");
  if (cache.empty()) return;
  cdn = cache;
  LOG(INFO) << " Cdn result: " << cdn;
  DownloadEvents::Event("Download", "3.CDNStatus", cdn);
}

// Every position of a task lies within the largest file a plan accepts, so
// that no arithmetic on them can overflow.
bool PositionsInRange(const CTask& task) {
  const auto inRange = [](int64_t value) { return value >= 0 && value <= CDownloadTaskManager::kMaxContentLength; };
  return inRange(task.StartPos) && inRange(task.EndPos) && inRange(task.DownloadedPos);
}

int64_t ChildInt(const tinyxml2::XMLElement* element) {
  const char* text = element->GetText();
  return text ? std::strtoll(text, nullptr, 10) : 0;
}

std::string ChildText(const tinyxml2::XMLElement* element) {
  const char* text = element->GetText();
  return text ? text : "";
}

void AddNumber(tinyxml2::XMLElement* parent, const char* name, int64_t value) {
  parent->InsertNewChildElement(name)->SetText(value);
}

}  // namespace

CDownloadTaskManager::CDownloadTaskManager(const std::string& url, const std::string& localPath,
                                           const std::string& taskFile)
    : RemotePath(url), LocalPath(localPath), TaskFilePath(taskFile) {}

int64_t CDownloadTaskManager::planSliceSize(int64_t contentLength) {
  const int32_t count = RunState::Shared().GetSliceNum();
  const int32_t size = RunState::Shared().GetSliceSize();
  const int64_t planned = count > 0 ? contentLength / count : size > 0 ? size : kDefaultSliceSize;
  const int64_t fewestTasks = (contentLength + kMaxTasks - 1) / kMaxTasks;
  return std::max({planned, kMinSliceSize, fewestTasks});
}

int64_t CDownloadTaskManager::getContentLength(CURLcode& result, std::string& cdn, int verbose) {
  const int64_t cached = RunState::Shared().GetCachedValue(RemotePath);
  if (cached == 0) return measureContentLength(result, cdn, verbose);
  cdn.clear();
  probedValidator_.clear();
  return cached;
}

// Each hop is a request of its own, so that each address is sent through
// the proxy the system names for it.
int64_t CDownloadTaskManager::measureContentLength(CURLcode& result, std::string& cdn, int verbose) {
  result = CURLE_OK;
  probedValidator_.clear();
  CLibcurlTool probe(curl_easy_init());
  probe.setCancel(Cancel);
  for (int hop = 0;; ++hop) {
    LOG(INFO) << " before getContentLength GetHeader";
    std::string headers;
    long responseCode = 0;
    result = probe.httpProbe(RemotePath.c_str(), headers, responseCode);
    LOG(INFO) << " after getContentLength GetHeader";
    DetectCdn(headers, cdn);
    if (result == CURLE_OK && !probe.redirectUrl().empty()) {
      if (hop == CLibcurlTool::kMaxRedirects) {
        result = CURLE_TOO_MANY_REDIRECTS;
        if (verbose) LOG(INFO) << " Get Contentlength = " << 0 << ", error CURLE_TOO_MANY_REDIRECTS";
        cdn.clear();
        return 0;
      }
      RemotePath = probe.redirectUrl();
      continue;
    }
    if (responseCode != 200 && responseCode != 206) {
      cdn.clear();
      return 0;
    }
    return measuredLength(headers, responseCode, verbose);
  }
}

int64_t CDownloadTaskManager::measuredLength(const std::string& headers, long status, int verbose) {
  AcceptsRanges = status == 206;
  const int64_t length = LengthFromHeaders(headers, status);
  if (length <= 0) return 0;
  probedValidator_ = ValidatorOf(headers);
  if (verbose) LOG(INFO) << " Get Contentlength = " << length;
  RunState::Shared().SetCachedValue(RemotePath, length);
  return length;
}

int64_t CDownloadTaskManager::probeLength(CURLcode& result, std::string& cdn,
                                          const std::string& eventText, int verbose) {
  std::vector<std::string> record;
  int64_t length = 0;
  while (record.size() < kProbeCalls && !cancelled()) {
    length = getContentLength(result, cdn, verbose);
    if (length > kMaxContentLength) {
      LOG(INFO) << " [Error]: remote length " << length << " is beyond the limit of " << kMaxContentLength;
      length = 0;
    }
    record.push_back(length > 0 ? "Success" : "error:" + std::to_string(result));
    if (length > 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!eventText.empty()) {
    std::string text;
    for (size_t i = 0; i < kProbeCalls; ++i)
      text += (i ? "/" : "") + (i < record.size() ? record[i] : std::string("Null"));
    DownloadEvents::Event("Other", "Download", text);
    LOG(INFO) << " GetSize: " << eventText << ", " << text;
  }
  return length;
}

int CDownloadTaskManager::generateDownloadTask(bool, std::string eventText, int verbose) {
  CURLcode result = CURLE_OK;
  std::string cdn;
  const int64_t length = probeLength(result, cdn, eventText, verbose);
  if (cancelled()) return Cancelled;
  if (length <= 0) {
    LOG(INFO) << " [Error]: " << "Get ContentLength Fail, tried 5 times";
    return result == CURLE_TOO_MANY_REDIRECTS ? TooManyRedirects : GetLengthFailed;
  }
  ContentLength = length;
  Validator = UseValidators ? probedValidator_ : std::string();
  SliceSize = planSliceSize(length);
  const int64_t count = SliceSize > 0 ? length / SliceSize : 0;
  if (count < 2) SliceSize = count == 1 ? SliceSize : length;
  makeTasks(count < 1 ? 1 : count, cdn, verbose);
  if (!AcceptsRanges) useOneStream("NoRanges");
  if (verbose) logListSizes("generate ok");
  return 1;
}

void CDownloadTaskManager::useOneStream(const char* reason) {
  const std::string cdn = tasks().empty() ? std::string() : tasks().front()->ProbeCdn;
  const int verbose = tasks().empty() ? 0 : tasks().front()->Verbose;
  clearTasks();
  SliceSize = ContentLength;
  makeTasks(1, cdn, verbose);
  LOG(INFO) << " The server takes no ranges (" << reason << "): one stream for the whole file";
  DownloadEvents::Event("Download", "OneStream", reason);
}

CTask* CDownloadTaskManager::splitTask(CTask* task) {
  const int64_t rest = task->remainingBytes();
  if (task->coversWholeFile() || rest < kMinSplitBytes) return nullptr;
  auto helper = std::make_unique<CTask>();
  const int64_t at = task->DownloadedPos + rest / 2;
  helper->StartPos = at;
  helper->DownloadedPos = at;
  helper->EndPos = task->lastByte();
  helper->RemotePath = task->RemotePath;
  helper->LocalPath = task->LocalPath;
  helper->TaskId = task->TaskId.load();
  helper->ContentLength = task->ContentLength;
  helper->ProbeCdn = task->ProbeCdn;
  helper->Validator = task->Validator;
  helper->Verbose = task->Verbose;
  helper->Rest = task->Rest;
  task->SplitAt = at;
  task->Rest = helper.get();
  if (task->Verbose)
    LOG(INFO) << " Tasks info, slice " << task->TaskId << " split at " << at << " for an idle worker";
  return addHelper(std::move(helper));
}

void CDownloadTaskManager::makeTasks(int64_t count, const std::string& cdn, int verbose) {
  TasksCount = count;
  for (int64_t i = 1; i <= count; ++i) {
    auto task = std::make_unique<CTask>();
    task->StartPos = (i - 1) * SliceSize;
    task->DownloadedPos = task->StartPos;
    // The last slice also takes the remainder; its EndPos is the length itself.
    task->EndPos = i == count ? ContentLength : i * SliceSize - 1;
    task->RemotePath = RemotePath;
    task->LocalPath = LocalPath;
    task->TaskId = static_cast<int32_t>(i);
    task->ContentLength = ContentLength;
    task->ProbeCdn = cdn;
    task->Validator = Validator;
    task->Verbose = verbose;
    addTask(std::move(task));
  }
}

void CDownloadTaskManager::logListSizes(const char* what) const {
  LOG(INFO) << " Tasks info, " << what << ", total " << tasks().size() << ", todo "
            << todoTasks().size() << ", complete " << doneTasks().size();
}

bool CDownloadTaskManager::taskFileExists() const {
  uint32_t error = 0;
  FILE* file = platform::OpenFile(TaskFilePath, "rb", &error);
  if (file) std::fclose(file);
  return file != nullptr;
}

bool CDownloadTaskManager::loadTaskFromFile(int verbose) {
  tinyxml2::XMLDocument document;
  uint32_t error = 0;
  const int64_t size = platform::FileSize(TaskFilePath);
  if (size > kMaxTaskFileBytes) {
    LOG(INFO) << " [Error]: the task file has " << size << " bytes, it is not read";
  } else if (FILE* file = platform::OpenFile(TaskFilePath, "rb", &error)) {
    document.LoadFile(file);
    std::fclose(file);
  }
  bool withoutStatus = true;
  const tinyxml2::XMLElement* root = document.FirstChildElement();
  for (const tinyxml2::XMLElement* child = root ? root->FirstChildElement() : nullptr; child;
       child = child->NextSiblingElement()) {
    const std::string name = child->Name();
    if (name == "TasksCount") TasksCount = ChildInt(child);
    else if (name == "ContentLength") ContentLength = ChildInt(child);
    else if (name == "DownloadTime") DownloadTime = ChildInt(child);
    else if (name == "Validator" && UseValidators) Validator = CheckedValidator(ChildText(child));
    if (name != "Task") continue;
    auto task = std::make_unique<CTask>();
    for (const tinyxml2::XMLElement* field = child->FirstChildElement(); field;
         field = field->NextSiblingElement()) {
      const std::string key = field->Name();
      if (key == "StartPos") task->StartPos = ChildInt(field);
      else if (key == "EndPos") task->EndPos = ChildInt(field);
      else if (key == "DownloadedPos") task->DownloadedPos = ChildInt(field);
      else if (key == "TaskId") task->TaskId = static_cast<int32_t>(ChildInt(field));
      else if (key == "TaskStatus") {
        task->TaskStatus = static_cast<int32_t>(ChildInt(field));
        withoutStatus = false;
      }
    }
    if (static_cast<int64_t>(tasks().size()) == kMaxTasks || !PositionsInRange(*task) || ContentLength < 0 ||
        ContentLength > kMaxContentLength) {
      LOG(INFO) << " [Error]: the task file holds too many tasks or a position out of range";
      clearTasks();
      break;
    }
    if (task->ContentLength == 0) task->ContentLength = ContentLength;
    // Status 1 is trusted only when every byte of the slice is there.
    if (task->TaskStatus == CTask::kComplete && !task->isComplete()) task->TaskStatus = CTask::kNew;
    task->Verbose = verbose;
    addTask(std::move(task));
  }
  if (verbose) logListSizes("load ok");
  return withoutStatus;
}

int CDownloadTaskManager::checkTaskFile(int verbose) {
  CURLcode result = CURLE_OK;
  std::string cdn;
  const int64_t measured = probeLength(result, cdn, std::string(), verbose);
  if (cancelled()) return Cancelled;
  // A probe that measured nothing (no network, an error answer) says
  // nothing about the file: the progress is kept for a later attempt.
  if (measured <= 0) {
    LOG(INFO) << " [Error]: the remote length is unknown, the task file is kept";
    return result == CURLE_TOO_MANY_REDIRECTS ? TooManyRedirects : GetLengthFailed;
  }
  const bool otherFile = !Validator.empty() && !probedValidator_.empty() && probedValidator_ != Validator;
  if (measured != ContentLength || otherFile) {
    LOG(INFO) << " [Error]: the file changed on the server: " << measured << " bytes"
              << (otherFile ? ", validator " + probedValidator_ + " instead of " + Validator : std::string());
    DownloadEvents::Event("Other", "FlowError", "DL025");
    return 2;
  }
  if (!layoutValid() || !targetHoldsProgress()) {
    DownloadEvents::Event("Other", "FlowError", "DL026");
    return 3;
  }
  return 1;
}

// Slice i (from 0) is task i + 1 over bytes i x SliceSize to the next
// slice's start - 1, the last one up to ContentLength; one task over the
// whole file is the one stream. So the file has as many tasks as a fresh
// plan (or one), never more than kMaxTasks.
bool CDownloadTaskManager::layoutValid() {
  SliceSize = planSliceSize(ContentLength);
  const int64_t planned = std::max<int64_t>(1, ContentLength / SliceSize);
  const auto& all = tasks();
  const int64_t count = static_cast<int64_t>(all.size());
  if (count == 0 || (count != 1 && count != planned)) return false;
  for (int64_t i = 0; i < count; ++i) {
    const CTask& task = *all[static_cast<size_t>(i)];
    const int64_t end = i + 1 == count ? ContentLength : (i + 1) * SliceSize - 1;
    if (task.TaskId != i + 1 || task.StartPos != i * SliceSize || task.EndPos != end ||
        task.DownloadedPos < task.StartPos || task.DownloadedPos > task.endOfData())
      return false;
  }
  return true;
}

// A target that was deleted or cut (antivirus, a clean-up) no longer holds
// what the task file counts as written.
bool CDownloadTaskManager::targetHoldsProgress() const {
  int64_t claimed = 0;
  for (const auto& task : tasks())
    if (task->DownloadedPos > task->StartPos) claimed = std::max<int64_t>(claimed, task->DownloadedPos);
  const int64_t size = platform::FileSize(LocalPath);
  if (claimed == 0 || size >= claimed) return true;
  LOG(INFO) << " [Error]: the target file holds " << size << " bytes, the task file claims " << claimed;
  return false;
}

void CDownloadTaskManager::discardDownload() {
  clearTasks();
  platform::RemoveFile(LocalPath);
  platform::RemoveFile(TaskFilePath);
  DownloadTime = 0;
  ContentLength = 0;
  Validator.clear();
}

int CDownloadTaskManager::loadDownloadTask(bool, std::string eventText, int verbose) {
  if (taskFileExists()) {
    const bool withoutStatus = loadTaskFromFile(verbose);
    const int checked = checkTaskFile(verbose);
    if (checked == 1) {
      LOG(INFO) << " Load tasks from file success!";
      // This run's address (a redirect's fresh target) and the file's validator.
      for (const auto& task : tasks()) {
        task->RemotePath = RemotePath;
        task->LocalPath = LocalPath;
        task->Validator = Validator;
        task->ContentLength = ContentLength;
      }
      if (!withoutStatus) DownloadEvents::FunnelPair("Download", "ResumUpload", "", "");
      return 1;
    }
    if (checked != 2 && checked != 3) {
      clearTasks();
      return checked;
    }
    LOG(INFO) << " taskinfo file error";
    discardDownload();
  }
  return generateDownloadTask(false, eventText, verbose);
}

std::string CDownloadTaskManager::taskFileText() const {
  tinyxml2::XMLDocument document;
  tinyxml2::XMLElement* root = document.NewElement("TaskInfo");
  document.InsertEndChild(root);
  AddNumber(root, "TasksCount", TasksCount);
  AddNumber(root, "ContentLength", ContentLength);
  AddNumber(root, "DownloadTime", DownloadTime);
  if (!Validator.empty()) root->InsertNewChildElement("Validator")->SetText(Validator.c_str());
  for (const auto& task : tasks()) {
    tinyxml2::XMLElement* element = root->InsertNewChildElement("Task");
    AddNumber(element, "StartPos", task->StartPos);
    AddNumber(element, "EndPos", task->EndPos);
    AddNumber(element, "DownloadedPos", task->savedDownloadedPos());
    element->InsertNewChildElement("RemotePath")->SetText(task->RemotePath.c_str());
    element->InsertNewChildElement("LocalPath")->SetText(task->LocalPath.c_str());
    AddNumber(element, "TaskStatus", task->TaskStatus);
    AddNumber(element, "TaskId", task->TaskId);
    AddNumber(element, "RequestTimes", task->RequestTimes);
  }
  tinyxml2::XMLPrinter printer;
  document.Print(&printer);
  return printer.CStr();
}

int CDownloadTaskManager::saveTaskToFile(const std::function<bool()>& flushTarget) {
  const std::string text = taskFileText();
  if (flushTarget && !flushTarget()) {
    LOG(INFO) << " [Error]: the target file cannot be flushed, the task file is not saved";
    return 1;
  }
  const std::string fresh = TaskFilePath + ".new";
  uint32_t error = 0;
  FILE* file = platform::OpenFile(fresh, "w", &error);
  if (!file) {
    LOG(INFO) << " [Error]: task file not writable, error code = " << error;
    return 1;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                       platform::SyncFile(file);
  std::fclose(file);
  if (!written || !platform::ReplaceFile(fresh, TaskFilePath)) {
    LOG(INFO) << " [Error]: task file not saved";
    platform::RemoveFile(fresh);
  }
  return 1;
}
