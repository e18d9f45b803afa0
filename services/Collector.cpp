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
//   400, 404, ... (any status code) answer it
//   stall      hold the request S seconds (default 60) before answering
#include <json/json.h>

#include <cstdlib>
#include <memory>
#include <mutex>

#include "Services.h"

namespace services {
namespace {

class Collector {
 public:
  void Answer(const httplib::Request& req, httplib::Response& res, int successCode) {
    const Fault fault = fault_.Take();
    const std::string& mode = fault.mode;
    if (mode == "stall") SleepSeconds(fault.seconds);
    if (mode == "fail") {
      res.status = 500;
    } else if (!mode.empty() && mode.find_first_not_of("0123456789") == std::string::npos) {
      res.status = std::atoi(mode.c_str());
    } else if (mode == "wrongcode") {
      res.status = successCode == 200 ? 204 : 200;
    } else {
      Keep(req);
      res.status = successCode;
    }
  }

  void SetFault(const httplib::Request& req) { fault_.Set(req); }
  JsonRecords& Accepted() { return accepted_; }

 private:
  void Keep(const httplib::Request& req) {
    Json::Value entry;
    entry["path"] = req.path;
    entry["target"] = req.target;
    entry["body"] = req.body;
    accepted_.Append(entry);
  }

  FaultSwitch fault_{60};
  JsonRecords accepted_;
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
    res.set_content(collector->Accepted().Text(), "application/json");
  });
  server.Post("/_control/collector/clear", [collector](const httplib::Request&, httplib::Response& res) {
    collector->Accepted().Clear();
    res.set_content("ok", "text/plain");
  });
  server.Post("/_control/collector/fault", [collector](const httplib::Request& req, httplib::Response& res) {
    collector->SetFault(req);
    res.set_content("ok", "text/plain");
  });
}

}  // namespace services
