// Configuration server.
//
// GET /queryDownloaderV2?LanguageId=..&SoftWareID=..&SiteID=..[&package_type=5]
// answers with the file <answers>/<SoftWareID>.xml as it is (404 when there
// is none). Every query is recorded by the request log of main.cpp.
//
// POST /_control/config/fault?mode=M[&seconds=S][&count=N] makes the next N
// queries (all of them when N is 0 or missing) misbehave; mode "none" ends it:
//   404           answer 404
//   nodownloader  200 with an XML body that has no <Downloader> element
//   garbage       200 with binary bytes
//   slow          wait S seconds, then answer normally
//   silent        send nothing for S seconds (default 60), then an empty body
#include <fstream>
#include <mutex>
#include <sstream>

#include "Services.h"

namespace services {
namespace {

class ConfigServer {
 public:
  explicit ConfigServer(std::string answersDir) : answersDir_(std::move(answersDir)) {}

  void SetFault(const httplib::Request& req) { fault_.Set(req); }

  void Answer(const httplib::Request& req, httplib::Response& res) {
    const Fault fault = fault_.Take();
    if (fault.mode == "404") {
      res.status = 404;
    } else if (fault.mode == "nodownloader") {
      res.set_content("<?xml version=\"1.0\"?><Other><Md5>x</Md5></Other>", "text/xml");
    } else if (fault.mode == "garbage") {
      res.set_content(Garbage(), "application/octet-stream");
    } else if (fault.mode == "silent") {
      SleepSeconds(fault.seconds > 0 ? fault.seconds : 60);
      res.set_content("", "text/xml");
    } else {
      if (fault.mode == "slow") SleepSeconds(fault.seconds);
      AnswerFromFile(req, res);
    }
  }

 private:
  void AnswerFromFile(const httplib::Request& req, httplib::Response& res) {
    const std::string id = req.get_param_value("SoftWareID");
    std::ifstream file;
    if (!id.empty() && id.find_first_not_of("0123456789") == std::string::npos) {
      file.open(answersDir_ + "/" + id + ".xml", std::ios::binary);
    }
    if (!file) {
      res.status = 404;
      return;
    }
    std::ostringstream content;
    content << file.rdbuf();
    res.set_content(content.str(), "text/xml");
  }

  static std::string Garbage() {
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>((i * 7919 + 13) & 0xff));
    return bytes;
  }

  const std::string answersDir_;
  FaultSwitch fault_{0};
};

}  // namespace

void RegisterConfigServer(httplib::Server& server, const Options& options) {
  auto config = std::make_shared<ConfigServer>(options.answersDir);
  server.Get("/queryDownloaderV2", [config](const httplib::Request& req, httplib::Response& res) {
    config->Answer(req, res);
  });
  server.Post("/_control/config/fault", [config](const httplib::Request& req, httplib::Response& res) {
    config->SetFault(req);
    res.set_content("ok", "text/plain");
  });
}

}  // namespace services
