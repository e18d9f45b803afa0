// Log collection service: the installer's log and crash-dump uploads.
//
//   POST /v1/productLogUpload   a multipart form: "file" (a ZIP archive with
//                               its upload name), "product_id", "version",
//                               "catalogue"; 200 with JSON when the archive
//                               holds exactly one dated deflate entry named
//                               after the upload, else 400 naming the problem
//
// Every upload is kept, accepted or not: GET /_control/logupload/received
// returns them as a JSON array of {accepted, problem, fileName, product_id,
// version, catalogue, entries: [{name, method, size, dated}]}, where size is
// the entry's inflated length and dated whether it carries a real date;
// POST /_control/logupload/clear forgets them.
//
// POST /_control/logupload/fault?mode=M[&seconds=S] makes every following
// upload misbehave; mode "none" ends it:
//   fail  answer 500 (the upload is still kept)
//   hang  say nothing for S seconds (default 600), then answer 500
// A certificate the client does not trust is the test's choice of --https.
#include <json/json.h>
#include <minizip/unzip.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "Services.h"

namespace services {
namespace {

// The text of a form part; empty when the form has none.
std::string FormValue(const httplib::Request& req, const std::string& name) {
  return req.has_file(name) ? req.get_file_value(name).content : std::string();
}

// "Setup_20240101123000123.log" and "Setup_20240102...zip" are named after
// the same source: the same text before the last "_".
std::string Stem(const std::string& name) {
  const size_t underscore = name.rfind('_');
  return underscore == std::string::npos ? name : name.substr(0, underscore);
}

// The archive's entries with their inflated sizes; reading each entry to its
// end makes minizip check its CRC. False when the bytes are no ZIP archive
// or an entry does not inflate.
bool ReadEntries(const std::string& zipBytes, Json::Value* entries) {
  char path[] = "/tmp/logupload-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return false;
  const bool written = write(fd, zipBytes.data(), zipBytes.size()) == static_cast<ssize_t>(zipBytes.size());
  close(fd);
  unzFile zip = written ? unzOpen64(path) : nullptr;
  bool readable = zip != nullptr;
  for (int at = readable ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE; at == UNZ_OK;
       at = unzGoToNextFile(zip)) {
    unz_file_info64 info;
    char name[512];
    readable = unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) == UNZ_OK &&
               unzOpenCurrentFile(zip) == UNZ_OK;
    if (!readable) break;
    Json::UInt64 size = 0;
    char buffer[16384];
    int count;
    while ((count = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) size += static_cast<Json::UInt64>(count);
    readable = unzCloseCurrentFile(zip) == UNZ_OK && count == 0;
    Json::Value entry;
    entry["name"] = name;
    entry["method"] = static_cast<Json::UInt>(info.compression_method);
    entry["size"] = size;
    entry["dated"] = info.tmu_date.tm_mday != 0;  // minizip gives day 0 for 1980-00-00
    entries->append(entry);
    if (!readable) break;
  }
  if (zip) unzClose(zip);
  std::remove(path);
  return readable;
}

// Empty when the upload is what the installer sends, else the problem.
std::string Problem(const httplib::Request& req, const Json::Value& upload, bool readable) {
  if (!req.is_multipart_form_data() || !req.has_file("file")) return "no file part";
  if (req.get_file_value("file").filename.empty()) return "the file part has no file name";
  if (!readable) return "not a readable ZIP archive";
  const Json::Value& entries = upload["entries"];
  if (entries.size() != 1) return "the archive holds " + std::to_string(entries.size()) + " entries";
  if (entries[0]["method"].asUInt() != Z_DEFLATED) return "the entry is not deflated";
  if (!entries[0]["dated"].asBool()) return "the entry has no valid date";
  const std::string entryName = entries[0]["name"].asString();
  if (entryName.find_first_of("/\\:") != std::string::npos) return "the entry name has a folder";
  const std::string fileName = upload["fileName"].asString();
  if (fileName.rfind("NoName_", 0) != 0 && Stem(fileName) != Stem(entryName))
    return "the entry " + entryName + " is not named after " + fileName;
  return std::string();
}

class LogCollection {
 public:
  void Receive(const httplib::Request& req, httplib::Response& res) {
    const Fault fault = fault_.Take();
    const std::string& mode = fault.mode;
    if (mode == "hang") SleepSeconds(fault.seconds);
    Json::Value upload;
    upload["fileName"] = req.has_file("file") ? req.get_file_value("file").filename : "";
    for (const char* field : {"product_id", "version", "catalogue"}) upload[field] = FormValue(req, field);
    upload["entries"] = Json::Value(Json::arrayValue);
    const bool readable = ReadEntries(FormValue(req, "file"), &upload["entries"]);
    const std::string problem = Problem(req, upload, readable);
    upload["accepted"] = problem.empty();
    upload["problem"] = problem;
    received_.Append(upload);
    if (mode == "fail" || mode == "hang") {
      res.status = 500;
    } else if (!problem.empty()) {
      res.status = 400;
      res.set_content(problem, "text/plain");
    } else {
      res.set_content("{\"code\":0,\"msg\":\"success\"}", "application/json");
    }
  }

  void SetFault(const httplib::Request& req) { fault_.Set(req); }

  JsonRecords& Received() { return received_; }

 private:
  FaultSwitch fault_{600};
  JsonRecords received_;
};

}  // namespace

void RegisterLogCollection(httplib::Server& server, const Options&) {
  auto service = std::make_shared<LogCollection>();
  server.Post("/v1/productLogUpload", [service](const httplib::Request& req, httplib::Response& res) {
    service->Receive(req, res);
  });
  server.Get("/_control/logupload/received", [service](const httplib::Request&, httplib::Response& res) {
    res.set_content(service->Received().Text(), "application/json");
  });
  server.Post("/_control/logupload/clear", [service](const httplib::Request&, httplib::Response& res) {
    service->Received().Clear();
    res.set_content("ok", "text/plain");
  });
  server.Post("/_control/logupload/fault", [service](const httplib::Request& req, httplib::Response& res) {
    service->SetFault(req);
    res.set_content("ok", "text/plain");
  });
}

}  // namespace services
