// One queued delivery of the reporting SDK.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CQueueFile;

enum SendKind : int32_t {
  kSendKindUnknown = 0,  // matches neither form: never delivered
  kSendKindGa4Query = 1,  // content is the complete GA4 request URL
  kSendKindEventJson = 2,  // content is a serialised event record
};

// The result of one delivery attempt.
enum DeliveryResult : int32_t {
  kDeliveryAccepted = 0,
  kDeliveryFailed = 1,   // worth another try: no answer, a server error, a busy or slow server
  kDeliveryRefused = 2,  // never accepted: an unknown kind, a malformed or too large request
};

struct SendItem {
  std::string key;      // repeat key, "1::" or "2::" ts "::" category "::" action
  SendKind kind = kSendKindUnknown;
  std::string content;
  // The queue file that holds the item's entry; null when none does.
  std::shared_ptr<CQueueFile> entryFile{};
  int refusedRounds = 0;
};

// The kind is recognised from the content itself, so that items re-read from
// the queue file need no stored kind.
inline SendKind SendKindOf(const std::string& content) {
  auto has = [&content](const char* text) { return content.find(text) != std::string::npos; };
  if (has("source_type") && has("cross_end_id")) return kSendKindEventJson;
  if (has("&tid=") && has("&en=")) return kSendKindGa4Query;
  return kSendKindUnknown;
}
