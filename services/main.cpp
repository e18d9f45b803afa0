// refservices: the reference services on one loopback server.
//
//   refservices [--https CERT KEY] [--port N] [--answers DIR] [--files DIR] [--data DIR]
//
// Binds 127.0.0.1 (port 0 by default: a free port), prints "PORT <n>" on a
// line of its own and serves until it is killed. Every answered request
// except those under /_control/ is recorded; GET /_control/requests returns the records as
// a JSON array of {method, target, headers, body}, and
// POST /_control/requests/clear forgets them.
#include <json/json.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Services.h"

namespace services {

void SleepSeconds(double seconds) {
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void FaultSwitch::Set(const httplib::Request& control) {
  Fault fault;
  if (control.has_param("mode")) fault.mode = control.get_param_value("mode");
  fault.seconds =
      control.has_param("seconds") ? std::atof(control.get_param_value("seconds").c_str()) : defaultSeconds_;
  if (control.has_param("count")) fault.remaining = std::atoi(control.get_param_value("count").c_str());
  std::lock_guard<std::mutex> lock(lock_);
  fault_ = fault;
}

Fault FaultSwitch::Take(const std::function<bool(const std::string& mode)>& concerns) {
  std::lock_guard<std::mutex> lock(lock_);
  if (fault_.mode == "none" || (concerns && !concerns(fault_.mode))) return Fault();
  const Fault current = fault_;
  if (fault_.remaining > 0 && --fault_.remaining == 0) fault_ = Fault();
  return current;
}

void JsonRecords::Append(const Json::Value& record) {
  std::lock_guard<std::mutex> lock(lock_);
  records_.append(record);
}

std::string JsonRecords::Text() {
  std::lock_guard<std::mutex> lock(lock_);
  return Json::writeString(Json::StreamWriterBuilder(), records_);
}

void JsonRecords::Clear() {
  std::lock_guard<std::mutex> lock(lock_);
  records_ = Json::Value(Json::arrayValue);
}

namespace {

// The requests seen so far, recorded after their handler has run and before
// the answer is sent, so that a test that got an answer finds its request
// (with its body) here.
// Each request as {method, target, headers, body}.
Json::Value RequestRecord(const httplib::Request& req) {
  Json::Value entry;
  entry["method"] = req.method;
  entry["target"] = req.target;
  entry["body"] = req.body;
  Json::Value headers(Json::objectValue);
  for (const auto& header : req.headers) headers[header.first] = header.second;
  entry["headers"] = headers;
  return entry;
}

bool IsControl(const httplib::Request& req) { return req.path.rfind("/_control/", 0) == 0; }

void RegisterRequestLog(httplib::Server& server, JsonRecords& log) {
  server.set_post_routing_handler([&log](const httplib::Request& req, httplib::Response&) {
    if (!IsControl(req)) log.Append(RequestRecord(req));
  });
  server.Get("/_control/requests", [&log](const httplib::Request&, httplib::Response& res) {
    res.set_content(log.Text(), "application/json");
  });
  server.Post("/_control/requests/clear", [&log](const httplib::Request&, httplib::Response& res) {
    log.Clear();
    res.set_content("ok", "text/plain");
  });
}

void RegisterAll(httplib::Server& server, const Options& options) {
  RegisterConfigServer(server, options);
  RegisterDownloadServer(server, options);
  RegisterCollector(server, options);
  RegisterAlertService(server, options);
  RegisterLogCollection(server, options);
  RegisterDataService(server, options);
}

bool ParseArgs(int argc, char** argv, Options* options, std::string* cert,
               std::string* key, int* port) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--https" && i + 2 < argc) {
      options->https = true;
      *cert = argv[++i];
      *key = argv[++i];
    } else if (arg == "--port" && hasValue) {
      *port = std::atoi(argv[++i]);
    } else if (arg == "--answers" && hasValue) {
      options->answersDir = argv[++i];
    } else if (arg == "--files" && hasValue) {
      options->filesDir = argv[++i];
    } else if (arg == "--data" && hasValue) {
      options->dataDir = argv[++i];
    } else {
      std::fprintf(stderr, "unknown or incomplete argument: %s\n", arg.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace services

int main(int argc, char** argv) {
  services::Options options;
  std::string cert, key;
  int port = 0;
  if (!services::ParseArgs(argc, argv, &options, &cert, &key, &port)) return 2;

  std::unique_ptr<httplib::Server> server;
  if (options.https) {
    server = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
  } else {
    server = std::make_unique<httplib::Server>();
  }
  if (!server->is_valid()) {
    std::fprintf(stderr, "cannot set up the server (certificate or key unusable)\n");
    return 1;
  }
  // Slow and silent answers hold a worker each; keep enough of them.
  server->new_task_queue = [] { return new httplib::ThreadPool(48); };

  services::JsonRecords log;
  services::RegisterRequestLog(*server, log);
  services::RegisterAll(*server, options);

  const bool bound = port == 0 ? (port = server->bind_to_any_port("127.0.0.1")) > 0
                               : server->bind_to_port("127.0.0.1", port);
  if (!bound) {
    std::fprintf(stderr, "cannot bind 127.0.0.1:%d\n", port);
    return 1;
  }
  std::printf("PORT %d\n", port);
  std::fflush(stdout);
  return server->listen_after_bind() ? 0 : 1;
}
