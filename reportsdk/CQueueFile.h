// The persistent queue file "tempga.wk": a JSON object with `send_count` and
// the array `send_item` of entries {task_guid, task_status, task_content}.
// Every change rewrites the whole file; the new text is written beside it and
// renamed over it, so that a crash leaves either the old or the new file.
// Callers serialise access (the SDK's queue lock).
#pragma once

#include <json/json.h>

#include <string>
#include <vector>

class CQueueFile {
 public:
  // An entry status: waiting. Delivered entries are removed instead.
  static constexpr int kStatusWaiting = 0;
  static constexpr int kStatusDelivered = 2;

  struct Entry {
    std::string guid, content;
  };

  explicit CQueueFile(std::wstring path) : path_(std::move(path)) {}

  const std::wstring& Path() const { return path_; }
  // The document as far as it could be read; a missing file is an empty one.
  Json::Value Read() const;
  // Status 0 adds an entry; status 2 removes the first entry with this guid
  // and content. Entries with an equal guid (events of the same millisecond)
  // are kept apart by their content.
  // False when the new file could not be written (the old one stays).
  bool Update(const std::string& guid, const std::string& content, int status) const;
  // The entries among the first `send_count` that are objects with a status
  // other than 2, in file order; *counted receives `send_count`.
  std::vector<Entry> Pending(int* counted) const;

 private:
  bool Write(const Json::Value& document) const;

  std::wstring path_;
};
