#include "download/CDownloadTaskManager.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <easylogging++.h>

#include "download/CLibcurlTool.h"
#include "download/DownloadEvents.h"
#include "analytics/SingleUserLog.h"
#include "platform/Process.h"

namespace {

constexpr int kProbeCalls = 10;
constexpr int kMaxProbesPerCall = 10;  // bounds a server that answers 200 with Location
constexpr size_t kHeaderTextSize = 2000;

CSingleUserLog& RunState() { return CSingleUserLog::GetInstance(); }

// The text after `from` up to the next "\r\n" (or the end).
std::string LineRest(const std::string& text, size_t from) {
  size_t end = text.find("\r\n", from);
  return text.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// Header names in any letter case: HTTP/2 answers carry them in lower case.
size_t FindHeader(const std::string& headers, const std::string& name) {
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  auto found = std::search(headers.begin(), headers.end(), name.begin(), name.end(), same);
  return found == headers.end() ? std::string::npos : static_cast<size_t>(found - headers.begin());
}

// A decimal 64-bit number after optional blanks; 0 when there is none.
int64_t NumberAt(const std::string& text, size_t from) {
  return from < text.size() ? std::strtoll(text.c_str() + from, nullptr, 10) : 0;
}

int64_t LengthFromHeaders(const std::string& headers) {
  size_t range = FindHeader(headers, "Content-Range:");
  if (range != std::string::npos) {
    size_t slash = headers.find('/', range);
    return slash == std::string::npos ? 0 : NumberAt(headers, slash + 1);
  }
  size_t length = FindHeader(headers, "Content-Length:");
  if (length != std::string::npos) return NumberAt(headers, headers.find(':', length) + 1);
  return 0;
}

void DetectCdn(const std::string& headers, std::string& cdn) {
  const size_t status = FindHeader(headers, "CF-Cache-Status:");
  const size_t ray = FindHeader(headers, "CF-RAY:");
  const size_t dash = ray == std::string::npos ? std::string::npos : headers.find('-', ray + 7);
  if (status != std::string::npos && dash != std::string::npos) {
    const std::string statusText = LineRest(headers, status + 16);
    const std::string node = LineRest(headers, dash + 1);
    LOG(INFO) << " Cdn result: " << statusText << ", " << node;
    DownloadEvents::Event("Download", "3.CDNStatus", node + "/" + statusText);
    return;
  }
  const size_t cache = FindHeader(headers, "X-Cache: ");
  if (cache == std::string::npos) return;
  cdn = LineRest(headers, cache + 9);
  LOG(INFO) << " Cdn result: " << cdn;
  DownloadEvents::Event("Download", "3.CDNStatus", cdn);
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
  const int32_t count = RunState().GetSliceNum();
  const int32_t size = RunState().GetSliceSize();
  const int64_t planned = count > 0 ? contentLength / count : size > 0 ? size : kDefaultSliceSize;
  const int64_t fewestTasks = (contentLength + kMaxTasks - 1) / kMaxTasks;
  return std::max({planned, kMinSliceSize, fewestTasks});
}

int64_t CDownloadTaskManager::getContentLength(CURLcode& result, std::string& cdn, int verbose) {
  const int64_t cached = RunState().GetCachedValue(RemotePath);
  if (cached != 0) {
    cdn.clear();
    return cached;
  }
  result = CURLE_OK;
  CLibcurlTool probe(curl_easy_init());
  for (int probes = 1;; ++probes) {
    LOG(INFO) << " before getContentLength GetHeader";
    char headerText[kHeaderTextSize + 1] = "";
    long responseCode = 0;
    result = probe.httpGet(RemotePath.c_str(), headerText, responseCode);
    LOG(INFO) << " after getContentLength GetHeader";
    const std::string headers(headerText);
    DetectCdn(headers, cdn);
    if (responseCode != 200) {
      cdn.clear();
      return 0;
    }
    if (probe.redirectedUrl().empty()) return measuredLength(headers, verbose);
    // Probed again at the redirect's target, so that the headers read are
    // the target's alone and its address is what the slices ask.
    RemotePath = probe.redirectedUrl();
    if (probes >= kMaxProbesPerCall) {
      if (verbose) LOG(INFO) << " Get Contentlength = " << 0 << ", error CURLE_TOO_MANY_REDIRECTS";
      cdn.clear();
      return 0;
    }
  }
}

int64_t CDownloadTaskManager::measuredLength(const std::string& headers, int verbose) {
  const size_t ranges = FindHeader(headers, "Accept-Ranges:");
  AcceptsRanges = ranges != std::string::npos && LineRest(headers, ranges).find("bytes") != std::string::npos;
  const int64_t length = LengthFromHeaders(headers);
  if (length <= 0) return 0;
  if (verbose) LOG(INFO) << " Get Contentlength = " << length;
  RunState().SetCachedValue(RemotePath, length);
  return length;
}

int64_t CDownloadTaskManager::probeLength(CURLcode& result, std::string& cdn,
                                          const std::string& eventText, int verbose) {
  std::vector<std::string> record;
  int64_t length = 0;
  while (record.size() < kProbeCalls) {
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
  if (length <= 0) {
    LOG(INFO) << " [Error]: " << "Get ContentLength Fail, tried 5 times";
    return result == CURLE_TOO_MANY_REDIRECTS ? 13 : 6;
  }
  ContentLength = length;
  SliceSize = planSliceSize(length);
  const int64_t count = SliceSize > 0 ? length / SliceSize : 0;
  if (count < 2) SliceSize = count == 1 ? SliceSize : length;
  makeTasks(count < 1 ? 1 : count, cdn, verbose);
  if (!AcceptsRanges) useOneStream("NoAcceptRanges");
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
  if (FILE* file = platform::OpenFile(TaskFilePath, "rb", &error)) {
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
    if (name != "Task") continue;
    auto task = std::make_unique<CTask>();
    for (const tinyxml2::XMLElement* field = child->FirstChildElement(); field;
         field = field->NextSiblingElement()) {
      const std::string key = field->Name();
      if (key == "StartPos") task->StartPos = ChildInt(field);
      else if (key == "EndPos") task->EndPos = ChildInt(field);
      else if (key == "DownloadedPos") task->DownloadedPos = ChildInt(field);
      else if (key == "RemotePath") task->RemotePath = ChildText(field);
      else if (key == "LocalPath") task->LocalPath = ChildText(field);
      else if (key == "TaskId") task->TaskId = static_cast<int32_t>(ChildInt(field));
      else if (key == "TaskStatus") {
        task->TaskStatus = static_cast<int32_t>(ChildInt(field));
        withoutStatus = false;
      }
    }
    if (ContentLength != 0) RunState().SetCachedValue(task->RemotePath, ContentLength);
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
  // A probe that measured nothing (no network, an error answer) says
  // nothing about the file: the progress is kept for a later attempt.
  if (measured <= 0) {
    LOG(INFO) << " [Error]: the remote length is unknown, the task file is kept";
    return result == CURLE_TOO_MANY_REDIRECTS ? 13 : 6;
  }
  if (measured != ContentLength) {
    DownloadEvents::Event("Other", "FlowError", "DL025");
    return 2;
  }
  SliceSize = planSliceSize(ContentLength);
  bool valid = !tasks().empty() && ContentLength > 0;
  int64_t expected = 0;
  for (const auto& task : tasks()) {
    valid = valid && task->StartPos == expected && task->EndPos >= task->StartPos &&
            (task->TaskId == 1 || task->StartPos == (task->TaskId - 1) * SliceSize) &&
            task->DownloadedPos >= task->StartPos && task->DownloadedPos <= task->endOfData();
    expected = task->EndPos + 1;
  }
  if (!valid || expected != ContentLength + 1) {
    DownloadEvents::Event("Other", "FlowError", "DL026");
    return 3;
  }
  return 1;
}

int CDownloadTaskManager::loadDownloadTask(bool, std::string eventText, int verbose) {
  if (taskFileExists()) {
    const bool withoutStatus = loadTaskFromFile(verbose);
    const int checked = checkTaskFile(verbose);
    if (checked == 1) {
      LOG(INFO) << " Load tasks from file success!";
      if (!withoutStatus) DownloadEvents::FunnelPair("Download", "ResumUpload", "", "");
      return 1;
    }
    if (checked != 2 && checked != 3) {
      clearTasks();
      return checked;
    }
    LOG(INFO) << " taskinfo file error";
    clearTasks();
    platform::RemoveFile(LocalPath);
    platform::RemoveFile(TaskFilePath);
    DownloadTime = 0;
    ContentLength = 0;
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

int CDownloadTaskManager::saveTaskToFile() {
  const std::string text = taskFileText();
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
