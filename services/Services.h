// The reference services: small stand-ins for the installer's network peers,
// run on loopback by the integration tests. main.cpp creates one HTTP(S)
// server and hands it to each service's registration function.
#pragma once

#include <httplib.h>
#include <json/json.h>

#include <functional>
#include <mutex>
#include <string>

namespace services {

// What the command line tells the services.
struct Options {
  bool https = false;
  std::string answersDir;  // configuration answers: <SoftWareID>.xml
  std::string filesDir;    // static files of the download server
  std::string dataDir;     // the data service's answers and pictures
};

// Configuration server: GET /queryDownloaderV2 (ConfigServer.cpp).
void RegisterConfigServer(httplib::Server& server, const Options& options);
// Download server: static files, ranges, CDN headers, redirects and faults
// (DownloadServer.cpp).
void RegisterDownloadServer(httplib::Server& server, const Options& options);
// Analytics collector and GA4 endpoint: POST /collect, /collector and
// /g/collect (Collector.cpp).
void RegisterCollector(httplib::Server& server, const Options& options);
// Alert service: POST /api/exception/send, the error reports as URL-encoded
// forms (AlertService.cpp).
void RegisterAlertService(httplib::Server& server, const Options& options);
// Log collection service: POST /v1/productLogUpload, the log and crash-dump
// uploads as multipart forms with a ZIP archive (LogCollection.cpp).
void RegisterLogCollection(httplib::Server& server, const Options& options);
// Data service: the signed GETs /api/v1/banners and /api/v1/user_privacy_info
// and the banner pictures (DataService.cpp).
void RegisterDataService(httplib::Server& server, const Options& options);

// A misbehaviour a test switches on through a control endpoint:
// ?mode=M[&seconds=S][&count=N]; mode "none" (or none given) ends it.
struct Fault {
  std::string mode = "none";
  double seconds = 0;
  int remaining = 0;  // requests still affected; 0 = every one
};

// The fault in force for a service; any thread.
class FaultSwitch {
 public:
  // `defaultSeconds`: the fault's duration when the control request names none.
  explicit FaultSwitch(double defaultSeconds) : defaultSeconds_(defaultSeconds) {}
  void Set(const httplib::Request& control);
  // The fault for one request, counting a counted fault down; none when no
  // fault is on or `concerns` says the fault's mode is not for this request.
  Fault Take(const std::function<bool(const std::string& mode)>& concerns = nullptr);

 private:
  const double defaultSeconds_;
  std::mutex lock_;
  Fault fault_;
};

// What a service keeps for tests to read: records appended by any thread,
// read back as one JSON array.
class JsonRecords {
 public:
  void Append(const Json::Value& record);
  std::string Text();
  void Clear();

 private:
  std::mutex lock_;
  Json::Value records_{Json::arrayValue};
};

// Sleeps in short steps so that a stopping server is not held up for long.
void SleepSeconds(double seconds);

}  // namespace services
