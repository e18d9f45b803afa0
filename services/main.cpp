// refservices: the reference services on one loopback server, for tests.
//
//   refservices [--https CERT KEY] [--bind ADDRESS [--allow-non-loopback]] [--port N]
//               [--answers DIR] [--files DIR] [--data DIR]
//
// Binds 127.0.0.1 (port 0 by default: a free port), prints "PORT <n>" on a
// line of its own and serves until it is killed. Every answered request
// except those under /_control/ is recorded; GET /_control/requests returns the records as
// a JSON array of {method, target, headers, body}, and
// POST /_control/requests/clear forgets them. The control routes answer
// anyone who asks, with everything the services received (uploaded logs and
// crash dumps too), so an address other than loopback needs
// --allow-non-loopback.
#include <arpa/inet.h>
#include <json/json.h>
#include <netinet/in.h>

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

const char kUsage[] =
    "refservices: the reference services (configuration, download, analytics collector, alert, log\n"
    "collection and data services) for tests, never for deployments. Their /_control/ routes give\n"
    "anyone who asks everything they received, uploaded logs and crash dumps too: they listen on\n"
    "loopback only, unless --allow-non-loopback says otherwise.\n"
    "\n"
    "usage: refservices [--https CERT KEY] [--bind ADDRESS [--allow-non-loopback]] [--port N]\n"
    "                   [--answers DIR] [--files DIR] [--data DIR]\n"
    "  --https CERT KEY       serve HTTPS with this PEM certificate and key (else HTTP)\n"
    "  --bind ADDRESS         the address to listen on, 127.0.0.1 by default; a loopback address\n"
    "                         (127.0.0.0/8, ::1, localhost) unless --allow-non-loopback is given\n"
    "  --allow-non-loopback   let --bind name any address: the control routes are then open to the network\n"
    "  --port N               the port, 0 (a free one) by default; \"PORT <n>\" names it\n"
    "  --answers DIR          configuration answers, <SoftWareID>.xml\n"
    "  --files DIR            the download server's files\n"
    "  --data DIR             the data service's answers and pictures\n";

// Where the services may listen without --allow-non-loopback.
bool IsLoopback(const std::string& address) {
  in_addr v4;
  in6_addr v6;
  if (address == "localhost") return true;
  if (inet_pton(AF_INET, address.c_str(), &v4) == 1) return ntohl(v4.s_addr) >> 24 == 127;
  return inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

struct Listening {
  std::string address = "127.0.0.1";
  bool anyAddress = false;  // --allow-non-loopback
  int port = 0;
};

constexpr int kServe = -1;

// kServe, or the program's exit code when it ends here (0 after --help).
int ParseArgs(int argc, char** argv, Options* options, std::string* cert, std::string* key, Listening* listening) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--bind" && hasValue) {
      listening->address = argv[++i];
    } else if (arg == "--allow-non-loopback") {
      listening->anyAddress = true;
    } else if (arg == "--https" && i + 2 < argc) {
      options->https = true;
      *cert = argv[++i];
      *key = argv[++i];
    } else if (arg == "--port" && hasValue) {
      listening->port = std::atoi(argv[++i]);
    } else if (arg == "--answers" && hasValue) {
      options->answersDir = argv[++i];
    } else if (arg == "--files" && hasValue) {
      options->filesDir = argv[++i];
    } else if (arg == "--data" && hasValue) {
      options->dataDir = argv[++i];
    } else {
      std::fprintf(stderr, "unknown or incomplete argument: %s\n\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  if (!listening->anyAddress && !IsLoopback(listening->address)) {
    std::fprintf(stderr,
                 "refusing to listen on %s: the reference services are for tests, and their /_control/ routes\n"
                 "would give the network everything they receive; give --allow-non-loopback if you mean it\n",
                 listening->address.c_str());
    return 2;
  }
  return kServe;
}

}  // namespace
}  // namespace services

int main(int argc, char** argv) {
  services::Options options;
  std::string cert, key;
  services::Listening listening;
  const int exitCode = services::ParseArgs(argc, argv, &options, &cert, &key, &listening);
  if (exitCode != services::kServe) return exitCode;

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

  int port = listening.port;
  const std::string& address = listening.address;
  const bool bound = port == 0 ? (port = server->bind_to_any_port(address)) > 0 : server->bind_to_port(address, port);
  if (!bound) {
    std::fprintf(stderr, "cannot bind %s port %d\n", address.c_str(), port);
    return 1;
  }
  std::printf("PORT %d\n", port);
  std::fflush(stdout);
  return server->listen_after_bind() ? 0 : 1;
}
