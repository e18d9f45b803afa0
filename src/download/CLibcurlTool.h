// The installer's HTTP component: one libcurl easy handle, reused for every
// request made through the object (each request starts with curl_easy_reset,
// so options never carry over while connections and DNS answers do).
//
// Every request is set up by HttpTransport (protocols, TLS trust, proxy). Redirects
// are followed hop by hop (at most five), so that each address gets the
// proxy the system names for it.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CDownloadThread;

class CLibcurlTool {
 public:
  // Characters of header text the header probe hands back; its buffer must
  // hold one more for the terminating zero.
  static constexpr size_t kMaxHeaderText = 2000;
  static constexpr int kMaxRedirects = 5;

  // Takes ownership of `handle` (from curl_easy_init; may be null, then every
  // request fails with CURLE_FAILED_INIT).
  explicit CLibcurlTool(CURL* handle);
  ~CLibcurlTool();
  CLibcurlTool(const CLibcurlTool&) = delete;
  CLibcurlTool& operator=(const CLibcurlTool&) = delete;

  // Every later request of this object ends (CURLE_ABORTED_BY_CALLBACK)
  // within a second once *cancel turns true. Null: none.
  void setCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }

  // Ranged GET of bytes from..to (inclusive) into the thread's target file
  // at the position of its current task, with "If-Range" when the task has
  // a validator. The fourth argument is not used.
  CURLcode httpDownloadContent(const char* url, int64_t from, int64_t to, int64_t,
                               CDownloadThread* thread);
  // Header probe: the headers of every response of the redirect chain, cut
  // to kMaxHeaderText characters, and the status of the last response. The
  // two 64-bit and the int arguments are not used.
  CURLcode httpGet(const char* url, int64_t, int64_t, int, char* headerText, long& responseCode);
  CURLcode httpGet(const char* url, char* headerText, long& responseCode);
  // Length probe: a GET of the first byte ("Range: bytes=0-0") that follows
  // no redirect: a redirect's target is then redirectUrl(). `headers`
  // receives the answer's header lines, cut to kMaxHeaderText characters. A
  // 206 answer tells the length and that ranges are served, a 200 the
  // length alone; the body is never read.
  CURLcode httpProbe(const char* url, std::string& headers, long& responseCode);
  // Plain GET: the whole body (also what arrived before a failure).
  CURLcode httpGet(const char* url, std::string& body, bool);
  // POST of `body` on a handle of its own; the answer is appended to
  // `response`. The last argument is not used.
  int HttpPost(const std::string& url, const std::string& body, std::string& response,
               const char*);

  // Multipart upload on this object's handle: the file `filePath` (a narrow
  // path) as the part `fileField` named `fileName`, then the text fields in
  // their order; headers "content-type:multipart/form-data" and
  // "Accept:*/*". The connect and total time limits (seconds) bound a
  // silent server. The answer's body goes to `response`, its status to
  // `responseCode`.
  struct MultipartPost {
    std::vector<std::pair<std::string, std::string>> fields;
    std::string fileField, filePath, fileName;
    long connectSeconds = 0, totalSeconds = 0;
  };
  CURLcode httpPostMultipart(const std::string& url, const MultipartPost& post, std::string& response,
                             long& responseCode);

  // The absolute target of the redirect that the last httpProbe answer
  // named (libcurl resolves a relative Location); empty when it named none.
  const std::string& redirectUrl() const { return redirectUrl_; }

  // The value of a header line when the line's field name (up to the colon)
  // is `name` in any letter case, without surrounding blanks and line end.
  static bool HeaderValue(const std::string& line, const char* name, std::string* value);
  // The value of the first line of a header block named `name`; empty when
  // there is none.
  static std::string FindHeader(const std::string& headers, const char* name);

  // Logs the line for a failed request; returns 1.
  int figureError(CURLcode code);

  // libcurl callbacks of slice transfers; user data: the CDownloadThread.
  static size_t downloadFunc(void* data, size_t size, size_t nmemb, void* thread);
  static size_t HeaderCallback(char* line, size_t size, size_t nitems, void* thread);
  // Progress callback of slice transfers: non-zero ends the transfer when
  // the pool stops, whatever the timeouts.
  static int StopCallback(void* thread, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

 private:
  // Logs the missing handle.
  bool hasHandle() const;
  // The header probe (headersOnly) or the plain GET, collecting into `received`.
  CURLcode getIntoText(const char* url, bool headersOnly, std::string* received);
  // Performs the request set up on the handle at `url`, then at each
  // redirect's target (up to kMaxRedirects), each with its own transport.
  CURLcode performFollowing(std::string url);
  // The progress callback that watches cancel_, when it is set.
  void watchCancel();

  CURL* handle_;
  const std::atomic<bool>* cancel_ = nullptr;
  std::string redirectUrl_;
};
