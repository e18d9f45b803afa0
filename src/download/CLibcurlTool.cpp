#include "download/CLibcurlTool.h"

#include <easylogging++.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "download/CDownloadThread.h"
#include "download/ProxyResolver.h"
#include "download/WebUrl.h"
#include "startup/LocalSettings.h"
#include "analytics/SingleUserLog.h"
#include "platform/Platform.h"

namespace {

const char kUserAgentHeader[] =
    "User-Agent:Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/62.0.3202.75 Safari/537.36";

// ---- TLS ---------------------------------------------------------------------

struct TlsSettings {
  bool verify = true;
  std::string caBundle;  // UTF-8 path; empty: the system store only
  bool operator==(const TlsSettings& o) const { return verify == o.verify && caBundle == o.caBundle; }
};

// The settings file's TLS choices; a change against the last request's
// choices is logged (unless `quiet`), so each run's log states what was in
// force. The last choices are never destroyed: a quiet caller may come
// while the exit handlers run.
TlsSettings CurrentTls(bool quiet) {
  TlsSettings tls;
  tls.verify = !LocalSettings::IsTlsVerifyOff();
  tls.caBundle = platform::WideToUtf8(LocalSettings::CaBundle());
  static std::mutex* const lock = new std::mutex;
  static TlsSettings* const logged = new TlsSettings;
  std::lock_guard<std::mutex> guard(*lock);
  if (quiet || tls == *logged) return tls;
  *logged = tls;
  if (!tls.verify) {
    LOG(INFO) << " [Warning]: TLS certificate and host checks are off (TlsVerify=0 in the settings file)";
  } else {
    LOG(INFO) << " TLS checks on, extra CA bundle: " << (tls.caBundle.empty() ? "none" : tls.caBundle);
  }
  return tls;
}

// Peer and host are verified unless the settings file switched that off.
// A non-zero result means the request must not be made.
CURLcode ApplyTrust(CURL* handle, bool quiet) {
  const TlsSettings tls = CurrentTls(quiet);
  if (!tls.verify) {
    const CURLcode result = curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
    return result;
  }
  CURLcode result = curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  if (result == CURLE_OK) result = curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  // Schannel's revocation check fails hard when no CRL or OCSP server can be
  // reached (common behind TLS-inspecting proxies), and every request with
  // it; a certificate that is known revoked still fails. OpenSSL ignores it.
  if (result == CURLE_OK)
    result = curl_easy_setopt(handle, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
  if (result == CURLE_OK && !tls.caBundle.empty()) {
    result = curl_easy_setopt(handle, CURLOPT_CAINFO, tls.caBundle.c_str());
  }
  return result;
}

// ---- protocols -------------------------------------------------------------

// No other scheme may be asked for, nor reached through a redirect: an
// address from a server never opens a local file or another protocol. A
// redirect never leaves HTTPS, so that nobody on the way can move a request
// to plain HTTP.
CURLcode RestrictProtocols(CURL* handle, const std::string& url) {
  CURLcode result = curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  if (result == CURLE_OK)
    result = curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, WebUrl::IsHttps(url) ? "https" : "http,https");
  return result;
}

// ---- proxy -------------------------------------------------------------------

// The route's proxy, or none. libcurl's own reading of the environment is
// off either way (an empty proxy and an empty no-proxy list are set, not
// left out), so that the resolver's answer is the only one. The proxy's
// answer to a tunnel request never reaches the header callbacks: they
// judge the server's answers alone.
CURLcode ApplyProxy(CURL* handle, const ProxyRoute& route) {
  CURLcode result = curl_easy_setopt(handle, CURLOPT_PROXY, route.proxy.c_str());
  if (result == CURLE_OK) result = curl_easy_setopt(handle, CURLOPT_NOPROXY, "");
  if (result == CURLE_OK) result = curl_easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  if (result != CURLE_OK || route.user.empty()) return result;
  curl_easy_setopt(handle, CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_BASIC));
  curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, route.user.c_str());
  return curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, route.password.c_str());
}

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

// Options that the GET kinds share.
void SetGetOptions(CURL* handle, const char* url, long timeoutSeconds) {
  curl_easy_setopt(handle, CURLOPT_URL, url);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, timeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
}

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool EndsWithExe(const std::string& url) {
  return url.size() >= 4 && url.compare(url.size() - 4, 4, ".exe") == 0;
}

std::string WithoutLineEnd(const std::string& line) {
  return line.substr(0, line.find_last_not_of("\r\n") + 1);
}

// The header text from `from` up to the following "\r\n" (or the end).
std::string TextUpToLineEnd(const std::string& line, size_t from) {
  if (from >= line.size()) return std::string();
  const size_t end = line.find("\r\n", from);
  return line.substr(from, end == std::string::npos ? std::string::npos : end - from);
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

// A 200 carries the file from byte 0. It serves a request from byte 0 of an
// address that is not an ".exe" (the body is cut at the slice's end), and a
// one-stream task at any position: a resumed stream then starts again at 0.
bool WholeFileAccepted(CDownloadThread& thread, CTask& task) {
  if (task.coversWholeFile()) {
    if (thread.answer().firstByte > 0) {
      LOG(INFO) << " The server ignores ranges, the stream starts again at byte 0";
      thread.restartTask();
    }
    return true;
  }
  return thread.answer().firstByte == 0 && !EndsWithExe(task.RemotePath);
}

// A new answer begins. Interim answers and followed redirects deliver no
// body; an error answer is refused at once, so its body never reaches the
// target file. False aborts.
bool StatusAccepted(CDownloadThread& thread, CTask& task, int status) {
  thread.answer() = SliceAnswer{thread.answer().firstByte, status};
  if ((status >= 100 && status < 200) || (status >= 300 && status < 400) || status == 206) return true;
  if (status == 200 && WholeFileAccepted(thread, task)) return true;
  LOG(INFO) << " HeaderCallback error0: http_code is " << status;
  if (status == 200) thread.signals().rangesIgnored = true;
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

// The headers of an answer ended: only now may its body be written, and a
// partial answer only with the Content-Range asked for. False aborts.
bool HeadersComplete(SliceAnswer& answer) {
  if (answer.status == 206 && !answer.rangeSeen) {
    LOG(INFO) << " HeaderCallback error2: 206 without Content-Range";
    return false;
  }
  answer.bodyAccepted = answer.status == 200 || answer.status == 206;
  return true;
}

}  // namespace

std::string CLibcurlTool::Escape(const std::string& value) {
  char* escaped = curl_easy_escape(nullptr, value.data(), static_cast<int>(value.size()));
  if (!escaped) return std::string();
  const std::string result = escaped;
  curl_free(escaped);
  return result;
}

CURLcode CLibcurlTool::ApplyTransport(CURL* handle, const std::string& url, const std::string& proxy,
                                      TransportLog log) {
  const bool quiet = log == TransportLog::kQuiet;
  CURLcode result = RestrictProtocols(handle, url);
  if (result == CURLE_OK) result = ApplyTrust(handle, quiet);
  if (result != CURLE_OK) return result;
  return ApplyProxy(handle, proxy.empty() ? ProxyResolver::Shared().RouteFor(url, quiet) : ProxyRoute::Parse(proxy));
}

CLibcurlTool::CLibcurlTool(CURL* handle) : handle_(handle) {}

CLibcurlTool::~CLibcurlTool() {
  if (handle_) curl_easy_cleanup(handle_);
}

CURLcode CLibcurlTool::httpDownloadContent(const char* url, int64_t from, int64_t to, int64_t,
                                           CDownloadThread* thread) {
  if (!hasHandle()) return CURLE_FAILED_INIT;
  CSingleUserLog& runState = CSingleUserLog::GetInstance();
  const long connectTimeout = runState.GetConnectTimeout();
  const long transferTimeout = runState.GetTransferTimeout();
  const std::string range = std::to_string(from) + "-" + std::to_string(to);
  const CTask* task = thread->currentTask();
  thread->answer() = SliceAnswer{from};
  if (task && task->Verbose) {
    LOG(INFO) << " Request Range: (" << task->TaskId.load() << ", " << (to - from) << ") " << range
              << ", [" << connectTimeout << "," << transferTimeout << "]";
  }

  curl_easy_reset(handle_);
  curl_slist* headers = curl_slist_append(nullptr, kUserAgentHeader);
  curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers);
  // One stream holds the whole file: no time limit on the transfer but a
  // stall limit, so a long download is not cut while it makes progress.
  const bool oneStream = task && task->coversWholeFile();
  SetGetOptions(handle_, url, oneStream ? 0L : transferTimeout);
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
  CURLcode result = ApplyTransport(handle_, url);
  if (result == CURLE_OK) result = curl_easy_perform(handle_);
  curl_slist_free_all(headers);
  if (result != CURLE_OK) figureError(result);
  return result;
}

bool CLibcurlTool::hasHandle() const {
  if (!handle_) LOG(INFO) << " curl easy init fail !!!";
  return handle_ != nullptr;
}

CURLcode CLibcurlTool::getIntoText(const char* url, bool headersOnly, std::string* received) {
  curl_easy_reset(handle_);
  SetGetOptions(handle_, url, headersOnly ? 30 : 5);
  curl_easy_setopt(handle_, CURLOPT_NOBODY, headersOnly ? 1L : 0L);
  curl_easy_setopt(handle_, CURLOPT_HEADER, headersOnly ? 1L : 0L);
  curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &AppendToText);
  curl_easy_setopt(handle_, CURLOPT_WRITEDATA, received);
  const CURLcode result = ApplyTransport(handle_, url);
  return result == CURLE_OK ? curl_easy_perform(handle_) : result;
}

CURLcode CLibcurlTool::httpGet(const char* url, int64_t, int64_t, int, char* headerText,
                               long& responseCode) {
  if (!hasHandle()) return CURLE_FAILED_INIT;
  std::string headers;
  const CURLcode result = getIntoText(url, true, &headers);
  curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &responseCode);
  long redirects = 0;
  const char* effective = nullptr;
  curl_easy_getinfo(handle_, CURLINFO_REDIRECT_COUNT, &redirects);
  curl_easy_getinfo(handle_, CURLINFO_EFFECTIVE_URL, &effective);
  redirectedUrl_ = redirects > 0 && effective ? effective : "";
  const size_t length = std::min(headers.size(), kMaxHeaderText);
  std::memcpy(headerText, headers.data(), length);
  headerText[length] = '\0';
  if (result != CURLE_OK) figureError(result);
  return result;
}

CURLcode CLibcurlTool::httpGet(const char* url, char* headerText, long& responseCode) {
  return httpGet(url, 0, 0, 0, headerText, responseCode);
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
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 8L);
  CURLcode result = ApplyTransport(handle, url);
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
  if (result == CURLE_OK) result = ApplyTransport(handle_, url);
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
  if (!thread->answer().bodyAccepted) {
    LOG(INFO) << " Thread: " << thread->currentTask()->TaskId.load()
              << " body of an answer that is not the slice's refused";
    return 0;
  }
  const size_t written = thread->writeBlock(data, size * nmemb);
  // A split slice's transfer ends by design at the helper's first byte.
  const CTask& cut = *thread->currentTask();
  if (written != size * nmemb && !(cut.SplitAt > 0 && cut.isComplete())) {
    const CTask& task = *thread->currentTask();
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
  // Header names are compared without case: HTTP/2 answers carry them in
  // lower case ("content-range"), HTTP/1.1 servers in any case.
  const std::string lower = LowerCase(line);

  if (lower.compare(0, 5, "http/") == 0) return StatusAccepted(*thread, *task, StatusOf(line)) ? length : 0;
  if (line == "\r\n" || line == "\n") return HeadersComplete(thread->answer()) ? length : 0;
  if (lower.find("cf-ray:") != std::string::npos) {
    const size_t dash = line.find('-', 7);
    if (dash != std::string::npos) AddSliceCdn(*task, TextUpToLineEnd(line, dash + 1), true);
  } else if (lower.find("cf-cache-status:") != std::string::npos) {
    AddSliceCdn(*task, TextUpToLineEnd(line, 17), false);
  } else if (lower.find("content-range") != std::string::npos &&
             !ContentRangeAccepted(*thread, *task, line)) {
    return 0;
  }
  return length;
}

int CLibcurlTool::StopCallback(void* thread, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<CDownloadThread*>(thread)->signals().stop ? 1 : 0;
}
