// Alert service: the error reports of the install worker.
//
//   POST /api/exception/send   an URL-encoded form (pid, type,
//                              exception_code, other); answers 200 with JSON
//
// Every report is kept as parsed: GET /_control/alert/reports returns them as
// a JSON array of {body, form}, where form maps each field name to its
// decoded value (to an array of values when a name repeats, so that a split
// field shows); POST /_control/alert/clear forgets them.
#include <json/json.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "Services.h"

namespace services {
namespace {

// The fields of an URL-encoded form in their order: split at "&", each name
// ending at its first "=" (httplib's own parser keeps only the text after the
// last "=", which would hide a value's unencoded "=").
std::vector<std::pair<std::string, std::string>> FormFields(const std::string& body) {
  std::vector<std::pair<std::string, std::string>> fields;
  size_t start = 0;
  while (start <= body.size()) {
    size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    const std::string field = body.substr(start, end - start);
    const size_t equals = field.find('=');
    if (!field.empty())
      fields.emplace_back(httplib::detail::decode_url(field.substr(0, equals), true),
                          equals == std::string::npos
                              ? std::string()
                              : httplib::detail::decode_url(field.substr(equals + 1), true));
    start = end + 1;
  }
  return fields;
}

// A report as {body, form}: the form's fields, a repeated one as an array.
Json::Value AlertRecord(const httplib::Request& req) {
  Json::Value form(Json::objectValue);
  for (const auto& [name, value] : FormFields(req.body)) {
    if (!form.isMember(name)) {
      form[name] = value;
      continue;
    }
    if (!form[name].isArray()) {
      Json::Value values(Json::arrayValue);
      values.append(form[name]);
      form[name] = values;
    }
    form[name].append(value);
  }
  Json::Value entry;
  entry["body"] = req.body;
  entry["form"] = form;
  return entry;
}

}  // namespace

void RegisterAlertService(httplib::Server& server, const Options&) {
  auto alerts = std::make_shared<JsonRecords>();
  server.Post("/api/exception/send", [alerts](const httplib::Request& req, httplib::Response& res) {
    alerts->Append(AlertRecord(req));
    res.set_content("{\"code\":0,\"msg\":\"received\"}", "application/json");
  });
  server.Get("/_control/alert/reports", [alerts](const httplib::Request&, httplib::Response& res) {
    res.set_content(alerts->Text(), "application/json");
  });
  server.Post("/_control/alert/clear", [alerts](const httplib::Request&, httplib::Response& res) {
    alerts->Clear();
    res.set_content("ok", "text/plain");
  });
}

}  // namespace services
