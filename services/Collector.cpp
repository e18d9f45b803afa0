// Analytics collector and GA4 collection endpoint.
//
//   POST /collect       production collector: an event record as JSON; 200
//   POST /collector     test collector: the same; 200
//   POST /g/collect?... GA4 request, everything in the query; 204
//
// Every request that is answered with its success code is kept:
// GET /_control/collector/accepted returns them as a JSON array of
// {path, target, body}; POST /_control/collector/clear forgets them.
//
// POST /_control/collector/fault?mode=M[&count=N][&seconds=S] makes the next
// N requests (all when N is 0 or missing) misbehave; mode "none" ends it:
//   fail       answer 500
//   wrongcode  answer the other success code (204 for events, 200 for GA4)
//   stall      hold the request S seconds (default 60) before answering
#include <json/json.h>

#include <memory>
#include <mutex>

#include "Services.h"

namespace services {
namespace {

class Collector {
 public:
  void Answer(const httplib::Request& req, httplib::Response& res, int successCode) {
    std::string mode;
    double seconds = 0;
    NextFault(&mode, &seconds);
    if (mode == "stall") SleepSeconds(seconds > 0 ? seconds : 60);
    if (mode == "fail") {
      res.status = 500;
    } else if (mode == "wrongcode") {
      res.status = successCode == 200 ? 204 : 200;
    } else {
      Keep(req);
      res.status = successCode;
    }
  }

  void SetFault(const httplib::Request& req) {
    std::lock_guard<std::mutex> lock(lock_);
    mode_ = req.has_param("mode") ? req.get_param_value("mode") : "none";
    seconds_ = req.has_param("seconds") ? std::atof(req.get_param_value("seconds").c_str()) : 0;
    left_ = req.has_param("count") ? std::atoi(req.get_param_value("count").c_str()) : 0;
  }

  std::string Accepted() {
    std::lock_guard<std::mutex> lock(lock_);
    return Json::writeString(Json::StreamWriterBuilder(), accepted_);
  }

  void Clear() {
    std::lock_guard<std::mutex> lock(lock_);
    accepted_ = Json::Value(Json::arrayValue);
  }

 private:
  // The fault in force for one request; a counted fault runs out.
  void NextFault(std::string* mode, double* seconds) {
    std::lock_guard<std::mutex> lock(lock_);
    *mode = mode_;
    *seconds = seconds_;
    if (left_ > 0 && --left_ == 0) mode_ = "none";
  }

  void Keep(const httplib::Request& req) {
    Json::Value entry;
    entry["path"] = req.path;
    entry["target"] = req.target;
    entry["body"] = req.body;
    std::lock_guard<std::mutex> lock(lock_);
    accepted_.append(entry);
  }

  std::mutex lock_;
  std::string mode_ = "none";
  double seconds_ = 0;
  int left_ = 0;
  Json::Value accepted_{Json::arrayValue};
};

}  // namespace

void RegisterCollector(httplib::Server& server, const Options&) {
  auto collector = std::make_shared<Collector>();
  for (const char* path : {"/collect", "/collector"}) {
    server.Post(path, [collector](const httplib::Request& req, httplib::Response& res) {
      collector->Answer(req, res, 200);
    });
  }
  server.Post("/g/collect", [collector](const httplib::Request& req, httplib::Response& res) {
    collector->Answer(req, res, 204);
  });
  server.Get("/_control/collector/accepted", [collector](const httplib::Request&, httplib::Response& res) {
    res.set_content(collector->Accepted(), "application/json");
  });
  server.Post("/_control/collector/clear", [collector](const httplib::Request&, httplib::Response& res) {
    collector->Clear();
    res.set_content("ok", "text/plain");
  });
  server.Post("/_control/collector/fault", [collector](const httplib::Request& req, httplib::Response& res) {
    collector->SetFault(req);
    res.set_content("ok", "text/plain");
  });
}

}  // namespace services
