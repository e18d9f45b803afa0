#include "download/CLibcurlTool.h"
#include "base/AsciiText.h"
#include "base/TrimmedText.h"

#include <easylogging++.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "download/CDownloadThread.h"
#include "net/HttpTransport.h"
#include "net/WebUrl.h"
#include "runstate/RunState.h"
#include "platform/Platform.h"

namespace {

const char kUserAgentHeader[] =
    "User-Agent:Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/62.0.3202.75 Safari/537.36";

// ---- append callbacks ----------------------------------------------------------

// libcurl always passes an item size of 1 to write callbacks.
size_t AppendToText(void* data, size_t, size_t nmemb, void* text) {
  static_cast<std::string*>(text)->append(static_cast<const char*>(data), nmemb);
  return nmemb;
}

size_t AppendPostAnswer(void* data, size_t size, size_t nmemb, void* response) {
  if (!data || !response) return static_cast<size_t>(-1);
  static_cast<std::string*>(response)->append(static_cast<const char*>(data), size * nmemb);
  return nmemb;
}

// Options that the GET kinds share. Redirects are followed by
// performFollowing, not by libcurl.
void SetGetOptions(CURL* handle, long timeoutSeconds) {
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, timeoutSeconds);
}

bool IsStatusLine(const char* data, size_t length) {
  return length >= 5 && AsciiLower(std::string(data, 5)) == "http/";
}

// An authentication challenge of the server (401) or of the proxy (407),
// which libcurl answers itself when it has credentials for it.
bool IsChallenge(int status) { return status == 401 || status == 407; }

// Keeps in `text`, after its first `from` characters, the body of the last
// answer only: a proxy's or server's authentication challenge, or a
// redirect, comes first with a page of its own.
struct LastAnswerBody {
  std::string* text;
  size_t from;
};

size_t RestartOnStatusLine(char* data, size_t size, size_t nitems, void* user) {
  auto* body = static_cast<LastAnswerBody*>(user);
  if (IsStatusLine(data, size * nitems)) body->text->resize(body->from);
  return size * nitems;
}

void KeepLastAnswerBody(CURL* handle, LastAnswerBody* body) {
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &RestartOnStatusLine);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, body);
}

// The status of a status line of any HTTP version ("HTTP/1.1 206 Partial
// Content", "HTTP/2 503"); 0 when the line has none.
int StatusOf(const std::string& line) {
  const size_t blank = line.find(' ');
  const size_t at = blank == std::string::npos ? blank : line.find_first_not_of(' ', blank);
  if (at == std::string::npos || line.size() < at + 3) return 0;
  int status = 0;
  for (size_t i = at; i < at + 3; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(line[i]))) return 0;
    status = status * 10 + (line[i] - '0');
  }
  return status;
}

// What the length probe collects: the header lines of the answer, cut at
// the limit. The transfer ends with the final answer's headers: its body
// is never read (`ended` tells this ending from a failure).
struct ProbeAnswer {
  std::string headers;
  bool ended = false;
};

size_t CollectHeaders(char* data, size_t size, size_t nitems, void* user) {
  auto* answer = static_cast<ProbeAnswer*>(user);
  const std::string line(data, size * nitems);
  if (IsStatusLine(data, line.size())) answer->headers.clear();  // after an interim answer or a challenge
  if (line == "\r\n" || line == "\n") {
    const int status = StatusOf(answer->headers);
    answer->ended = (status < 100 || status >= 200) && !IsChallenge(status);
    return answer->ended ? 0 : size * nitems;
  }
  const size_t room = CLibcurlTool::kMaxHeaderText - std::min(answer->headers.size(), CLibcurlTool::kMaxHeaderText);
  answer->headers.append(line, 0, room);
  return size * nitems;
}

// A redirect never leaves HTTPS: the target of a hop from an HTTPS address
// must be HTTPS too (libcurl's own rule when it follows, which it does not
// here).
CURLcode RedirectAllowed(const std::string& from, const std::string& to) {
  if (!WebUrl::IsHttps(from) || WebUrl::IsHttps(to)) return CURLE_OK;
  LOG(INFO) << " A redirect from HTTPS to " << to << " is not followed";
  return CURLE_UNSUPPORTED_PROTOCOL;
}

int CancelCallback(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0;
}

// "Retry-After: 120" or an HTTP date, in milliseconds from now; 0 when
// absent or unreadable. Bounded here only against overflow: the driver caps it.
uint32_t RetryAfterMs(const std::string& value) {
  constexpr long long kDay = 86400;
  long long seconds = 0;
  if (!value.empty() && std::all_of(value.begin(), value.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
    seconds = std::strtoll(value.c_str(), nullptr, 10);
  } else {
    const time_t at = curl_getdate(value.c_str(), nullptr);
    seconds = at > 0 ? static_cast<long long>(at - std::time(nullptr)) : 0;
  }
  return static_cast<uint32_t>(std::clamp<long long>(seconds, 0, kDay) * 1000);
}

bool EndsWithExe(const std::string& url) {
  return url.size() >= 4 && url.compare(url.size() - 4, 4, ".exe") == 0;
}

std::string WithoutLineEnd(const std::string& line) {
  return line.substr(0, line.find_last_not_of("\r\n") + 1);
}

// A CDN text joins the slice's CDN record; a record that now equals what the
// length probe saw is dropped, so that only differing CDN answers remain.
void AddSliceCdn(CTask& task, const std::string& text, bool textFirst) {
  if (task.SliceCdn.empty()) {
    task.SliceCdn = text;
    return;
  }
  task.SliceCdn = textFirst ? text + "/" + task.SliceCdn : task.SliceCdn + "/" + text;
  if (task.SliceCdn == task.ProbeCdn) task.SliceCdn.clear();
}


// A 200 to a request that carried the task's validator in "If-Range" says
// the file changed, unless it shows that same validator: then the server
// merely ignored the range.
bool SameFile(const SliceAnswer& answer, const CTask& task) {
  return task.Validator.empty() || answer.etag == task.Validator || answer.lastModified == task.Validator;
}

// A 200 carries the whole file from byte 0, and must be as long as the
// file. It serves a request from byte 0 of an address that is not an ".exe"
// (the body is cut at the slice's end), and a one-stream task at any
// position: a resumed stream then starts again at 0.
bool WholeFileAccepted(CDownloadThread& thread, CTask& task) {
  const SliceAnswer& answer = thread.answer();
  if (!SameFile(answer, task)) {
    LOG(INFO) << " HeaderCallback error4: the file changed on the server (If-Range " << task.Validator
              << " answered with the whole file)";
    thread.signals().fileChanged = true;
    return false;
  }
  if (task.ContentLength > 0 && answer.bodyLength >= 0 && answer.bodyLength != task.ContentLength) {
    LOG(INFO) << " HeaderCallback error5: a whole file of " << answer.bodyLength << " bytes, not "
              << task.ContentLength;
    return false;
  }
  if (task.coversWholeFile()) {
    if (answer.firstByte > 0) {
      LOG(INFO) << " The server ignores ranges, the stream starts again at byte 0";
      thread.restartTask();
    }
    return true;
  }
  if (answer.firstByte == 0 && !EndsWithExe(task.RemotePath)) return true;
  LOG(INFO) << " HeaderCallback error0: http_code is " << answer.status;
  thread.signals().rangesIgnored = true;
  return false;
}

// "Content-Range: bytes 100-199/1000": the total must be the length the
// slices were cut from (when known) and a partial answer must start at the
// byte asked for. False aborts.
bool ContentRangeAccepted(CDownloadThread& thread, const CTask& task, const std::string& line) {
  const size_t slash = line.rfind('/');
  if (slash == std::string::npos) {
    LOG(INFO) << " HeaderCallback error2: " << WithoutLineEnd(line);
    return false;
  }
  const long long total = std::strtoll(line.c_str() + slash + 1, nullptr, 10);
  if (task.ContentLength != 0 && total != task.ContentLength) {
    LOG(INFO) << " HeaderCallback error1: " << task.ContentLength << " != " << WithoutLineEnd(line);
    return false;
  }
  SliceAnswer& answer = thread.answer();
  const size_t digit = line.find_first_of("0123456789", line.find(':'));
  const long long first = digit < slash ? std::strtoll(line.c_str() + digit, nullptr, 10) : -1;
  if (answer.status == 206 && first != answer.firstByte) {
    LOG(INFO) << " HeaderCallback error3: " << WithoutLineEnd(line) << " does not start at "
              << answer.firstByte;
    return false;
  }
  answer.rangeSeen = true;
  return true;
}

// The headers of an answer ended: its status, with what the headers said,
// decides. Interim answers, redirects (which the request follows itself)
// and authentication challenges (which libcurl answers, else the slice ends
// incomplete) bring no body of the slice; only a 206 with the Content-Range asked for,
// or an acceptable 200, may write. An error answer is refused before its
// body, with the pause it asked for noted in the task. False aborts.
bool HeadersComplete(CDownloadThread& thread, CTask& task) {
  SliceAnswer& answer = thread.answer();
  const int status = answer.status;
  if (status >= 100 && status < 200) return true;
  if ((status >= 300 && status < 400) || IsChallenge(status)) {
    answer.discardBody = true;
    return true;
  }
  if (status == 206 && !answer.rangeSeen) {
    LOG(INFO) << " HeaderCallback error2: 206 without Content-Range";
    return false;
  }
  if (status == 206 || (status == 200 && WholeFileAccepted(thread, task))) {
    answer.bodyAccepted = true;
    return true;
  }
  if (status != 200) {
    LOG(INFO) << " HeaderCallback error0: http_code is " << status;
    task.RetryAfterMs = answer.retryAfterMs;
  }
  return false;
}

}  // namespace

CLibcurlTool::CLibcurlTool(CURL* handle) : handle_(handle) {}

CLibcurlTool::~CLibcurlTool() {
  if (handle_) curl_easy_cleanup(handle_);
}

CURLcode CLibcurlTool::httpDownloadContent(const char* url, int64_t from, int64_t to, int64_t,
                                           CDownloadThread* thread) {
  if (!hasHandle()) return CURLE_FAILED_INIT;
  const RunState& runState = RunState::Shared();
  const long connectTimeout = runState.GetConnectTimeout();
  const long transferTimeout = runState.GetTransferTimeout();
  const std::string range = std::to_string(from) + "-" + std::to_string(to);
  const CTask* task = thread->currentTask();
  thread->answer() = SliceAnswer(from);
  if (task && task->Verbose) {
    LOG(INFO) << " Request Range: (" << task->TaskId.load() << ", " << (to - from) << ") " << range
              << ", [" << connectTimeout << "," << transferTimeout << "]";
  }

  curl_easy_reset(handle_);
  curl_slist* headers = curl_slist_append(nullptr, kUserAgentHeader);
  // The bytes asked for must belong to the file the task's bytes came from.
  if (task && !task->Validator.empty()) headers = curl_slist_append(headers, ("If-Range: " + task->Validator).c_str());
  curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers);
  // One stream holds the whole file: no time limit on the transfer but a
  // stall limit, so a long download is not cut while it makes progress.
  const bool oneStream = task && task->coversWholeFile();
  SetGetOptions(handle_, oneStream ? 0L : transferTimeout);
  if (oneStream) {
    curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_TIME, transferTimeout);
  }
  curl_easy_setopt(handle_, CURLOPT_RANGE, range.c_str());
  curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, &CLibcurlTool::StopCallback);
  curl_easy_setopt(handle_, CURLOPT_XFERINFODATA, thread);
  curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &CLibcurlTool::downloadFunc);
  // Half a megabyte per receive: 32 times fewer locked writes into the
  // shared target file than libcurl's default 16 KB.
  curl_easy_setopt(handle_, CURLOPT_BUFFERSIZE, 524288L);
  curl_easy_setopt(handle_, CURLOPT_WRITEDATA, thread);
  curl_easy_setopt(handle_, CURLOPT_HEADERDATA, thread);
  curl_easy_setopt(handle_, CURLOPT_HEADERFUNCTION, &CLibcurlTool::HeaderCallback);
  curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT, connectTimeout);
  const CURLcode result = performFollowing(url);
  curl_slist_free_all(headers);
  if (result != CURLE_OK) figureError(result);
  return result;
}

CURLcode CLibcurlTool::performFollowing(std::string url) {
  for (int hop = 0;; ++hop) {
    curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
    CURLcode result = HttpTransport::Apply(handle_, url);
    if (result == CURLE_OK) result = curl_easy_perform(handle_);
    long status = 0;
    const char* target = nullptr;
    curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(handle_, CURLINFO_REDIRECT_URL, &target);
    if (result != CURLE_OK || status / 100 != 3 || !target) return result;
    if (hop == kMaxRedirects) return CURLE_TOO_MANY_REDIRECTS;
    result = RedirectAllowed(url, target);
    if (result != CURLE_OK) return result;
    url = target;
  }
}

void CLibcurlTool::watchCancel() {
  if (!cancel_) return;
  curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, &CancelCallback);
  curl_easy_setopt(handle_, CURLOPT_XFERINFODATA, cancel_);
}

bool CLibcurlTool::hasHandle() const {
  if (!handle_) LOG(INFO) << " curl easy init fail !!!";
  return handle_ != nullptr;
}

// The header probe keeps the headers of every answer of the redirect chain;
// the plain GET keeps the last answer's body only.
CURLcode CLibcurlTool::getIntoText(const char* url, bool headersOnly, std::string* received) {
  curl_easy_reset(handle_);
  SetGetOptions(handle_, headersOnly ? 30 : 5);
  curl_easy_setopt(handle_, CURLOPT_NOBODY, headersOnly ? 1L : 0L);
  curl_easy_setopt(handle_, CURLOPT_HEADER, headersOnly ? 1L : 0L);
  curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &AppendToText);
  curl_easy_setopt(handle_, CURLOPT_WRITEDATA, received);
  LastAnswerBody body{received, 0};
  if (!headersOnly) KeepLastAnswerBody(handle_, &body);
  watchCancel();
  return performFollowing(url);
}

CURLcode CLibcurlTool::httpGet(const char* url, int64_t, int64_t, int, char* headerText,
                               long& responseCode) {
  if (!hasHandle()) return CURLE_FAILED_INIT;
  std::string headers;
  const CURLcode result = getIntoText(url, true, &headers);
  curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &responseCode);
  const size_t length = std::min(headers.size(), kMaxHeaderText);
  std::memcpy(headerText, headers.data(), length);
  headerText[length] = '\0';
  if (result != CURLE_OK) figureError(result);
  return result;
}

CURLcode CLibcurlTool::httpGet(const char* url, char* headerText, long& responseCode) {
  return httpGet(url, 0, 0, 0, headerText, responseCode);
}

CURLcode CLibcurlTool::httpProbe(const char* url, std::string& headers, long& responseCode) {
  headers.clear();
  redirectUrl_.clear();
  responseCode = 0;
  if (!hasHandle()) return CURLE_FAILED_INIT;
  curl_easy_reset(handle_);
  SetGetOptions(handle_, 30);
  ProbeAnswer answer;
  curl_easy_setopt(handle_, CURLOPT_URL, url);
  curl_easy_setopt(handle_, CURLOPT_RANGE, "0-0");
  curl_easy_setopt(handle_, CURLOPT_HEADERFUNCTION, &CollectHeaders);
  curl_easy_setopt(handle_, CURLOPT_HEADERDATA, &answer);
  watchCancel();
  CURLcode result = HttpTransport::Apply(handle_, url);
  if (result == CURLE_OK) result = curl_easy_perform(handle_);
  if (result == CURLE_WRITE_ERROR && answer.ended) result = CURLE_OK;
  headers = answer.headers;
  curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &responseCode);
  // The transfer ended with the headers, before libcurl resolved the
  // Location itself.
  if (result == CURLE_OK && responseCode / 100 == 3) {
    redirectUrl_ = WebUrl::Resolve(url, FindHeader(headers, "Location"));
    result = RedirectAllowed(url, redirectUrl_);
    if (result != CURLE_OK) redirectUrl_.clear();
  }
  if (result != CURLE_OK) figureError(result);
  return result;
}

CURLcode CLibcurlTool::httpGet(const char* url, std::string& body, bool) {
  if (!hasHandle()) return CURLE_FAILED_INIT;
  std::string received;
  const CURLcode result = getIntoText(url, false, &received);
  body = received;
  return result;
}

int CLibcurlTool::HttpPost(const std::string& url, const std::string& body, std::string& response,
                           const char*) {
  CURL* handle = curl_easy_init();
  if (!handle) {
    LOG(INFO) << " curl easy init fail !!!";
    return CURLE_FAILED_INIT;
  }
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_POST, 1L);
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(handle, CURLOPT_READFUNCTION, nullptr);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, 10L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &AppendPostAnswer);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &response);
  LastAnswerBody answer{&response, response.size()};
  KeepLastAnswerBody(handle, &answer);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 8L);
  CURLcode result = HttpTransport::Apply(handle, url);
  if (result == CURLE_OK) result = curl_easy_perform(handle);
  curl_easy_cleanup(handle);
  return result;
}

// The mime structure and the header list live until the transfer has ended.
CURLcode CLibcurlTool::httpPostMultipart(const std::string& url, const MultipartPost& post,
                                         std::string& response, long& responseCode) {
  responseCode = 0;
  if (!hasHandle()) return CURLE_FAILED_INIT;
  curl_easy_reset(handle_);
  curl_mime* form = curl_mime_init(handle_);
  curl_mimepart* file = curl_mime_addpart(form);
  curl_mime_name(file, post.fileField.c_str());
  CURLcode result = curl_mime_filedata(file, post.filePath.c_str());
  curl_mime_filename(file, post.fileName.c_str());
  for (const auto& [name, value] : post.fields) {
    curl_mimepart* part = curl_mime_addpart(form);
    curl_mime_name(part, name.c_str());
    curl_mime_data(part, value.c_str(), value.size());
  }
  curl_slist* headers = curl_slist_append(nullptr, "content-type:multipart/form-data");
  headers = curl_slist_append(headers, "Accept:*/*");
  curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(handle_, CURLOPT_MIMEPOST, form);
  curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 1L);
  curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT, post.connectSeconds);
  curl_easy_setopt(handle_, CURLOPT_TIMEOUT, post.totalSeconds);
  curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &AppendToText);
  curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &response);
  LastAnswerBody answer{&response, response.size()};
  KeepLastAnswerBody(handle_, &answer);
  if (result == CURLE_OK) result = HttpTransport::Apply(handle_, url);
  if (result == CURLE_OK) result = curl_easy_perform(handle_);
  curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &responseCode);
  if (result != CURLE_OK) figureError(result);
  curl_easy_reset(handle_);
  curl_mime_free(form);
  curl_slist_free_all(headers);
  return result;
}

int CLibcurlTool::figureError(CURLcode code) {
  const char* text = nullptr;
  switch (static_cast<int>(code)) {
    case 1: text = " ProtoControl Unsupport!"; break;
    case 2: text = " Init Failed!"; break;
    case 3: text = " Curl RemotePath Error"; break;
    case 4: text = " libcurl InitFailed，Please Try again!"; break;
    case 5: text = " Cannt resovlve proxy!"; break;
    case 6: text = " cannt resovlve server!"; break;
    case 7: text = " Curl Connect Server Error"; break;
    case 8: text = " FTP服务器非法回复"; break;
    case 9: text = " Acess Denied!"; break;
    case 10: text = " FTP连接失败"; break;
    case 11: text = " FTP服务器未知回复"; break;
    case 12: text = " FTP连接超时"; break;
    case 13:
    case 14: text = " Curl unknow error!"; break;
    case 15: text = " 内部故障"; break;
    case 16: text = " HTTP2错误"; break;
    case 17: text = " FTP获取传输类型失败"; break;
    case 18: text = " 服务器返回文件大小非法"; break;
    case 22: text = " HTTP请求错误"; break;
    case 23: text = " 接收数据错误"; break;
    case 25: text = " 上传数据错误"; break;
    case 26: text = " 本地文件读取错误"; break;
    case 27: text = " 内存不足"; break;
    case 28: text = " Curl Time out"; break;
    case 30: text = " FTP端口失败"; break;
    case 33: text = " 请求的数据范围错误"; break;
    default: break;
  }
  if (text) {
    LOG(INFO) << text;
  } else {
    LOG(INFO) << " Curl Else Error: " << static_cast<int>(code);
  }
  return 1;
}

size_t CLibcurlTool::downloadFunc(void* data, size_t size, size_t nmemb, void* user) {
  auto* thread = static_cast<CDownloadThread*>(user);
  SliceAnswer& answer = thread->answer();
  const size_t bytes = size * nmemb;
  if (answer.discardBody) return bytes;
  const CTask& task = *thread->currentTask();
  if (!answer.bodyAccepted) {
    LOG(INFO) << " Thread: " << task.TaskId.load() << " body of an answer that is not the slice's refused";
    return 0;
  }
  // A whole file that runs past the length (its headers named none) is
  // another file: what it wrote does not count.
  answer.received += static_cast<int64_t>(bytes);
  if (answer.status == 200 && task.ContentLength > 0 && answer.received > task.ContentLength) {
    LOG(INFO) << " Thread: " << task.TaskId.load() << " the whole file is longer than " << task.ContentLength;
    thread->restartTask();
    return 0;
  }
  const size_t written = thread->writeBlock(data, bytes);
  // A split slice's transfer ends by design at the helper's first byte.
  if (written != bytes && !(task.SplitAt > 0 && task.isComplete())) {
    LOG(INFO) << " Thread: " << task.TaskId.load() << " Write Error. Task id：" << task.TaskId.load()
              << " Download to:" << task.DownloadedPos.load() << " Receive:" << nmemb
              << " Write:" << written << " Task EndPos:" << task.lastByte();
  }
  return written;
}

size_t CLibcurlTool::HeaderCallback(char* data, size_t size, size_t nitems, void* user) {
  const size_t length = size * nitems;
  auto* thread = static_cast<CDownloadThread*>(user);
  CTask* task = thread->currentTask();
  if (!data || !task) return length;
  const std::string line(data, length);  // libcurl's header line has no terminating zero
  SliceAnswer& answer = thread->answer();
  if (IsStatusLine(data, length)) {
    answer = SliceAnswer(answer.firstByte, StatusOf(line));
    return length;
  }
  if (line == "\r\n" || line == "\n") return HeadersComplete(*thread, *task) ? length : 0;
  // Fields by name, in any letter case (HTTP/2 names them in lower case).
  std::string value;
  if (HeaderValue(line, "cf-ray", &value)) {
    const size_t dash = value.find('-');
    if (dash != std::string::npos) AddSliceCdn(*task, value.substr(dash + 1), true);
  } else if (HeaderValue(line, "cf-cache-status", &value)) {
    AddSliceCdn(*task, value, false);
  } else if (HeaderValue(line, "content-range", &value)) {
    if (!ContentRangeAccepted(*thread, *task, line)) return 0;
  } else if (HeaderValue(line, "content-length", &value)) {
    answer.bodyLength = std::strtoll(value.c_str(), nullptr, 10);
  } else if (HeaderValue(line, "etag", &value)) {
    answer.etag = value;
  } else if (HeaderValue(line, "last-modified", &value)) {
    answer.lastModified = value;
  } else if (HeaderValue(line, "retry-after", &value)) {
    answer.retryAfterMs = RetryAfterMs(value);
  }
  return length;
}

bool CLibcurlTool::HeaderValue(const std::string& line, const char* name, std::string* value) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos || AsciiLower(line.substr(0, colon)) != AsciiLower(name)) return false;
  *value = TrimBlanks(line.substr(colon + 1));
  return true;
}

std::string CLibcurlTool::FindHeader(const std::string& headers, const char* name) {
  std::string value;
  for (size_t at = 0; at < headers.size();) {
    const size_t end = headers.find('\n', at);
    const std::string line = headers.substr(at, end == std::string::npos ? end : end - at + 1);
    if (HeaderValue(line, name, &value)) return value;
    at = end == std::string::npos ? headers.size() : end + 1;
  }
  return std::string();
}

int CLibcurlTool::StopCallback(void* thread, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<CDownloadThread*>(thread)->signals().stop ? 1 : 0;
}
