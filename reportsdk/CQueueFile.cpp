#include "CQueueFile.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "EventRecord.h"
#include "analytics/JsonText.h"

namespace fs = std::filesystem;

namespace {

int IntOf(const Json::Value& value) {
  if (value.isInt()) return value.asInt();
  if (value.isString()) return std::atoi(value.asCString());
  return 0;
}

// One name per process for the text being written, so that two processes
// sharing the folder never write into each other's new file.
const std::string& TempSuffix() {
  static const std::string suffix = [] {
    std::random_device random;
    std::ostringstream text;
    text << ".new" << std::hex << random() << random();
    return text.str();
  }();
  return suffix;
}

}  // namespace

Json::Value CQueueFile::Read() const { return JsonText::ReadObjectFile(path_); }

bool CQueueFile::Write(const Json::Value& document) const {
  const fs::path target(path_);
  fs::path fresh = target;
  fresh += TempSuffix();
  {
    std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
    out << JsonText::ClassicStyled(document);
    if (!out.flush()) return false;
  }
  std::error_code error;
  fs::rename(fresh, target, error);
  if (error) fs::remove(fresh, error);
  return !error;
}

bool CQueueFile::Update(const std::string& guid, const std::string& content, int status) const {
  Json::Value document = Read();
  const Json::Value items = EventRecord::MemberOf(document, "send_item");
  const int count = IntOf(EventRecord::MemberOf(document, "send_count"));
  Json::Value kept(Json::arrayValue);
  bool removed = status != kStatusDelivered;  // only deliveries remove
  for (Json::ArrayIndex i = 0; items.isArray() && i < items.size(); ++i) {
    const Json::Value& entry = items[i];
    const bool match = !removed && static_cast<int>(i) < count && entry.isObject() &&
                       EventRecord::TextOf(entry["task_guid"]) == guid &&
                       EventRecord::TextOf(entry["task_content"]) == content;
    if (match)
      removed = true;
    else
      kept.append(entry);
  }
  if (status != kStatusDelivered) {
    Json::Value entry(Json::objectValue);
    entry["task_guid"] = guid;
    entry["task_status"] = status;
    entry["task_content"] = content;
    kept.append(entry);
  }
  document["send_item"] = kept;
  document["send_count"] = static_cast<int>(kept.size());
  return Write(document);
}

std::vector<CQueueFile::Entry> CQueueFile::Pending(int* counted) const {
  const Json::Value document = Read();
  const Json::Value& items = EventRecord::MemberOf(document, "send_item");
  const int count = IntOf(EventRecord::MemberOf(document, "send_count"));
  if (counted) *counted = count;
  std::vector<Entry> pending;
  for (int i = 0; items.isArray() && i < count && i < static_cast<int>(items.size()); ++i) {
    const Json::Value& entry = items[i];
    if (!entry.isObject() || IntOf(entry["task_status"]) == kStatusDelivered) continue;
    pending.push_back({EventRecord::TextOf(entry["task_guid"]), EventRecord::TextOf(entry["task_content"])});
  }
  return pending;
}
