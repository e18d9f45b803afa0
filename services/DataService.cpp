// Data service.
//
// GET /api/v1/banners?lang_code=..&parent_pid=..&timestamp=..&type=..&verify=..
// GET /api/v1/user_privacy_info?parent_pid=..&timestamp=..&verify=..
//   `verify` must be the lower-case hex MD5 of the query before it (keys in
//   that order) followed by the salt; a request without it or with another
//   gets 403 and {"code":403,"msg":"bad signature"}. A good request gets the
//   file <data>/banners.json or <data>/privacy.json as it is (404 when there
//   is none), with every "{origin}" replaced by this server's scheme and host,
//   so that an answer can name pictures served here.
// GET /pictures/<name>
//   the file <data>/pictures/<name>, with byte ranges.
//
// POST /_control/data/fault?mode=M[&seconds=S][&count=N] makes the next N
// requests that the mode concerns (all of them when N is 0 or missing)
// misbehave; mode "none" ends it. Answers (the two GETs):
//   badsign   every signature counts as wrong (403)
//   500       status 500 with the body "internal error"
//   empty     200 with an empty body
//   invalid   200 with text that is not JSON
//   shape     200 with JSON of the wrong shape (a `sort` given as text; a
//             `urls` that is no array)
//   slow      wait S seconds (default 6), then answer normally
// Pictures:
//   nopicture 404 for every picture
//   notpng    200 with bytes that are no picture
#include <openssl/evp.h>

#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "Services.h"

namespace services {
namespace {

constexpr char kSalt[] = "pWm4Tq8ZcLd2Ke7N";

bool IsPictureMode(const std::string& mode) { return mode == "nopicture" || mode == "notpng"; }

std::string Md5Hex(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

// The signed text of a request: its keys in the order of the query, filled in.
std::string SignedText(const httplib::Request& req, const std::vector<std::string>& keys) {
  std::string text;
  for (const std::string& key : keys) text += (text.empty() ? "" : "&") + key + "=" + req.get_param_value(key);
  return text + kSalt;
}

bool ReadFile(const std::string& path, std::string* content) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  *content = bytes.str();
  return true;
}

std::string WithOrigin(std::string text, const std::string& origin) {
  static const std::string kPlaceholder = "{origin}";
  for (size_t at = text.find(kPlaceholder); at != std::string::npos; at = text.find(kPlaceholder, at)) {
    text.replace(at, kPlaceholder.size(), origin);
    at += origin.size();
  }
  return text;
}

class DataService {
 public:
  explicit DataService(const Options& options) : options_(options) {}

  void SetFault(const httplib::Request& req) { fault_.Set(req); }

  // One of the two signed requests: `keys` in the order they are signed,
  // `file` the answer, `wrongShape` the answer of the "shape" fault.
  void Answer(const httplib::Request& req, httplib::Response& res, const std::vector<std::string>& keys,
              const std::string& file, const std::string& wrongShape) {
    const Fault fault = fault_.Take([](const std::string& mode) { return !IsPictureMode(mode); });
    if (fault.mode == "slow") SleepSeconds(fault.seconds);
    if (fault.mode == "badsign" || req.get_param_value("verify") != Md5Hex(SignedText(req, keys))) {
      res.status = 403;
      res.set_content("{\"code\":403,\"msg\":\"bad signature\"}", "application/json");
    } else if (fault.mode == "500") {
      res.status = 500;
      res.set_content("internal error", "text/plain");
    } else if (fault.mode == "empty") {
      res.set_content("", "application/json");
    } else if (fault.mode == "invalid") {
      res.set_content("[{\"banner_url\": ", "application/json");
    } else if (fault.mode == "shape") {
      res.set_content(wrongShape, "application/json");
    } else {
      std::string content;
      if (!ReadFile(options_.dataDir + "/" + file, &content)) {
        res.status = 404;
        return;
      }
      res.set_content(WithOrigin(content, Origin(req)), "application/json");
    }
  }

  void Picture(const httplib::Request& req, httplib::Response& res) {
    const Fault fault = fault_.Take(IsPictureMode);
    const std::string name = req.matches[1];
    std::string content;
    if (fault.mode == "nopicture" || name.find("..") != std::string::npos ||
        !ReadFile(options_.dataDir + "/pictures/" + name, &content)) {
      res.status = 404;
    } else if (fault.mode == "notpng") {
      res.set_content("these bytes are no picture", "image/png");
    } else {
      res.set_content(content, "image/png");  // the library answers the ranges
    }
  }

 private:
  std::string Origin(const httplib::Request& req) const {
    return std::string(options_.https ? "https://" : "http://") + req.get_header_value("Host");
  }

  const Options options_;
  FaultSwitch fault_{6};
};

}  // namespace

void RegisterDataService(httplib::Server& server, const Options& options) {
  auto data = std::make_shared<DataService>(options);
  server.Get("/api/v1/banners", [data](const httplib::Request& req, httplib::Response& res) {
    data->Answer(req, res, {"lang_code", "parent_pid", "timestamp", "type"}, "banners.json",
                 "[{\"banner_url\":\"https://x/1.png\",\"sort\":\"1\"}]");
  });
  server.Get("/api/v1/user_privacy_info", [data](const httplib::Request& req, httplib::Response& res) {
    data->Answer(req, res, {"parent_pid", "timestamp"}, "privacy.json",
                 "[{\"lang_code\":\"en\",\"urls\":{\"field\":\"tc\",\"url\":\"https://x/tc\"}}]");
  });
  server.Get(R"(/pictures/(.+))", [data](const httplib::Request& req, httplib::Response& res) {
    data->Picture(req, res);
  });
  server.Post("/_control/data/fault", [data](const httplib::Request& req, httplib::Response& res) {
    data->SetFault(req);
    res.set_content("ok", "text/plain");
  });
}

}  // namespace services
