#include "CQueueFile.h"

#include "EventRecord.h"
#include "SdkLog.h"
#include "base/JsonText.h"
#include "platform/Platform.h"
#include "platform/SharedFile.h"

namespace {

// Closes the array and the document; an entry is added over it.
const std::string kTail = "\n   ]\n}\n";
// Digits and blanks of the count: any 32-bit count fits.
constexpr size_t kCountWidth = 10;
const std::string kCountLead = "{\n   \"send_count\" : ";
const std::string kStatusLead = "\"task_status\" : ";
// Claims lock one byte each, beyond the bytes of the change count.
constexpr int64_t kClaimBase = int64_t(1) << 32;
constexpr uint64_t kClaimSlots = uint64_t(1) << 24;

int IntOf(const Json::Value& value) {
  if (value.isInt()) return value.asInt();
  if (value.isString()) return std::atoi(value.asCString());
  return 0;
}

std::string Header(size_t count) {
  std::string field = std::to_string(count);
  field.resize(kCountWidth, ' ');
  return kCountLead + field + ",\n   \"send_item\" : [";
}

// A waiting entry in the styled layout at the depth of the array, and the
// position of its status digit (the last member, so found last).
std::string EntryText(const std::string& guid, const std::string& content, size_t* statusAt) {
  Json::Value entry(Json::objectValue);
  entry["task_content"] = content;
  entry["task_guid"] = guid;
  entry["task_status"] = CQueueFile::kStatusWaiting;
  std::string styled = JsonText::ClassicStyled(entry);
  styled.pop_back();
  std::string text = "      ";
  for (char c : styled) {
    text += c;
    if (c == '\n') text += "      ";
  }
  *statusAt = text.rfind(kStatusLead) + kStatusLead.size();
  return text;
}

// Entries that hash alike share a claim; that only delays one of them.
int64_t ClaimOffset(const std::string& guid, const std::string& content) {
  uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (const std::string* part : {&guid, &content})
    for (unsigned char c : *part) hash = (hash ^ c) * 1099511628211ull;
  return kClaimBase + static_cast<int64_t>(hash % kClaimSlots);
}

// Whether a document read from `text` has the layout that changes in place.
bool InPlaceLayout(const std::string& text, const Json::Value& document, const std::string& errors) {
  const Json::Value& items = document["send_item"];
  return errors.empty() && document.size() == 2 && items.isArray() &&
         text.compare(0, Header(items.size()).size(), Header(items.size())) == 0 && text.size() >= kTail.size() &&
         text.compare(text.size() - kTail.size(), kTail.size(), kTail) == 0;
}

}  // namespace

CQueueFile::CQueueFile(std::wstring path) : path_(std::move(path)), lockPath_(path_ + L".lock") {}

// A missing file is an empty queue.
Json::Value CQueueFile::Read() const {
  std::string bytes;
  return platform::ReadFileBytes(path_, &bytes) ? JsonText::ParseObject(bytes) : Json::Value(Json::objectValue);
}

CQueueFile::Session CQueueFile::Begin() {
  Session session;
  session.lock = platform::OpenSharedFile(lockPath_, platform::OpenMode::kAlways);
  uint64_t stamp = 0;
  if (session.lock && session.lock->LockRange(0, sizeof stamp, true))
    session.lock->ReadAt(0, &stamp, sizeof stamp);
  else
    session.lock.reset();  // alone, or reloading every time
  bool missing = false;
  session.file = platform::OpenSharedFile(path_, platform::OpenMode::kExisting, &missing);
  session.usable = session.file || missing;
  if (!session.usable) {
    if (!unusable_)
      WriteSdkLog("Queue file cannot be opened, changes kept in memory: %s", platform::WideToUtf8(path_).c_str());
    unusable_ = true;
    return session;
  }
  unusable_ = false;
  const int64_t size = session.file ? session.file->Size() : -1;
  if (!session.lock || !loaded_ || stamp != stamp_ || size != size_) {
    Load(session.file.get());
    Reapply();
  }
  stamp_ = stamp;
  if (!unwritten_.empty() && Rewrite(session)) {
    Commit(session);
    session.file = platform::OpenSharedFile(path_, platform::OpenMode::kExisting);
  }
  return session;
}

// Tells the other processes that the file changed.
void CQueueFile::Commit(Session& session) {
  ++stamp_;
  if (session.lock) session.lock->WriteAt(0, &stamp_, sizeof stamp_);
}

void CQueueFile::Forget() { loaded_ = false; }

void CQueueFile::Load(platform::SharedFile* file) {
  std::string text;
  const int64_t size = file ? file->Size() : -1;
  if (size > 0) {
    text.resize(static_cast<size_t>(size));
    text.resize(file->ReadAt(0, &text[0], text.size()));
  }
  size_ = file ? static_cast<int64_t>(text.size()) : -1;
  std::string errors;
  const Json::Value document = JsonText::ParseObject(text, &errors);
  if (!text.empty() && !errors.empty())
    WriteSdkLog("Queue file read as far as it could be: %s", errors.c_str());
  const Json::Value& items = EventRecord::MemberOf(document, "send_item");
  count_ = IntOf(EventRecord::MemberOf(document, "send_count"));
  inPlace_ = InPlaceLayout(text, document, errors);
  slots_.clear();
  byGuid_.clear();
  delivered_ = 0;
  for (int i = 0; items.isArray() && i < count_ && i < static_cast<int>(items.size()); ++i) {
    const Json::Value& entry = items[i];
    if (!entry.isObject()) {
      inPlace_ = false;
      continue;
    }
    const Json::Value& status = entry["task_status"];
    inPlace_ = inPlace_ && status.isInt() && status.getOffsetLimit() - status.getOffsetStart() == 1;
    const bool waiting = IntOf(status) != kStatusDelivered;
    slots_.push_back({EventRecord::TextOf(entry["task_guid"]), EventRecord::TextOf(entry["task_content"]),
                      static_cast<int64_t>(status.getOffsetStart()), waiting});
    if (waiting)
      byGuid_.emplace(slots_.back().guid, slots_.size() - 1);
    else
      ++delivered_;
  }
  tail_ = static_cast<int64_t>(text.size() - (inPlace_ ? kTail.size() : 0));
  loaded_ = true;
}

CQueueFile::Index::iterator CQueueFile::FindWaiting(const std::string& guid, const std::string& content) {
  const auto range = byGuid_.equal_range(guid);
  for (auto it = range.first; it != range.second; ++it)
    if (slots_[it->second].content == content) return it;
  return byGuid_.end();
}

void CQueueFile::AddSlot(const std::string& guid, const std::string& content, int64_t statusOffset) {
  slots_.push_back({guid, content, statusOffset, true});
  byGuid_.emplace(guid, slots_.size() - 1);
}

void CQueueFile::MarkDelivered(Index::iterator found) {
  slots_[found->second].waiting = false;
  byGuid_.erase(found);
  ++delivered_;
}

// The slots these changes touch have no place in the file yet: the next
// change rewrites it whole.
void CQueueFile::Reapply() {
  for (const Unwritten& change : unwritten_) {
    const auto found = FindWaiting(change.guid, change.content);
    if (change.added && found == byGuid_.end()) AddSlot(change.guid, change.content, 0);
    if (!change.added && found != byGuid_.end()) MarkDelivered(found);
    inPlace_ = false;
  }
}

void CQueueFile::KeepUnwritten(const std::string& guid, const std::string& content, bool added) {
  unwritten_.push_back({guid, content, added});
  inPlace_ = false;
  Forget();
}

bool CQueueFile::AppendInPlace(platform::SharedFile& file, const std::string& guid, const std::string& content) {
  const std::string lead = slots_.empty() ? "\n" : ",\n";
  size_t statusAt = 0;
  const std::string piece = lead + EntryText(guid, content, &statusAt) + kTail;
  const std::string count = Header(slots_.size() + 1).substr(kCountLead.size(), kCountWidth);
  // The entry first: until the count covers it, a cut entry is not counted.
  if (!file.WriteAt(tail_, piece.data(), piece.size()) ||
      !file.WriteAt(static_cast<int64_t>(kCountLead.size()), count.data(), count.size()))
    return false;
  AddSlot(guid, content, tail_ + static_cast<int64_t>(lead.size() + statusAt));
  tail_ += static_cast<int64_t>(piece.size() - kTail.size());
  size_ = tail_ + static_cast<int64_t>(kTail.size());
  count_ = static_cast<int>(slots_.size());
  return true;
}

// The waiting entries alone, in a new file renamed over the old one.
bool CQueueFile::Rewrite(Session& session) {
  std::vector<Slot> kept;
  std::string text;
  for (const Slot& slot : slots_) {
    if (!slot.waiting) continue;
    size_t statusAt = 0;
    const std::string entry = EntryText(slot.guid, slot.content, &statusAt);
    text += kept.empty() ? "\n" : ",\n";
    kept.push_back({slot.guid, slot.content, static_cast<int64_t>(text.size() + statusAt), true});
    text += entry;
  }
  const std::string header = Header(kept.size());
  text = header + text + kTail;
  session.file.reset();  // no open handle of ours in the way of the rename
  if (!platform::ReplaceFileContent(path_, text)) {
    WriteSdkLog("Queue file not written: %s", platform::WideToUtf8(path_).c_str());
    return false;
  }
  unwritten_.clear();
  slots_.clear();
  byGuid_.clear();
  for (Slot& slot : kept) {
    slot.statusOffset += static_cast<int64_t>(header.size());
    byGuid_.emplace(slot.guid, slots_.size());
    slots_.push_back(std::move(slot));
  }
  count_ = static_cast<int>(slots_.size());
  delivered_ = 0;
  inPlace_ = true;
  size_ = static_cast<int64_t>(text.size());
  tail_ = size_ - static_cast<int64_t>(kTail.size());
  return true;
}

bool CQueueFile::Add(const std::string& guid, const std::string& content) {
  Session session = Begin();
  bool stored = session.usable && inPlace_ && session.file && AppendInPlace(*session.file, guid, content);
  if (!stored) {
    AddSlot(guid, content, 0);
    stored = session.usable && Rewrite(session);
    if (!stored) KeepUnwritten(guid, content, true);
  }
  Commit(session);
  return stored;
}

bool CQueueFile::Remove(const std::string& guid, const std::string& content) {
  Session session = Begin();
  const auto found = FindWaiting(guid, content);
  if (found == byGuid_.end()) return true;
  const int64_t statusOffset = slots_[found->second].statusOffset;
  MarkDelivered(found);
  const char delivered = '0' + kStatusDelivered;
  const bool marked =
      session.usable && inPlace_ && session.file && session.file->WriteAt(statusOffset, &delivered, 1);
  const bool compact = delivered_ >= kMinCompaction && delivered_ * 2 >= slots_.size();
  const bool written = (marked && !compact) || (session.usable && Rewrite(session)) || marked;
  if (!written) KeepUnwritten(guid, content, false);
  Commit(session);
  return written;
}

std::vector<CQueueFile::Entry> CQueueFile::Pending(int* counted) {
  const Session session = Begin();
  if (counted) *counted = count_;
  std::vector<Entry> pending;
  for (const Slot& slot : slots_)
    if (slot.waiting) pending.push_back({slot.guid, slot.content});
  return pending;
}

CQueueFile::ClaimResult CQueueFile::Claim(const std::string& guid, const std::string& content,
                                          std::unique_ptr<platform::SharedFile>* claim) {
  const Session session = Begin();
  if (FindWaiting(guid, content) == byGuid_.end()) return kGone;
  // Taken under the change lock: an entry is marked delivered before its
  // claim ends, so a claim on a waiting entry is never one that just ended.
  std::unique_ptr<platform::SharedFile> holder = platform::OpenSharedFile(lockPath_, platform::OpenMode::kAlways);
  if (holder && !holder->LockRange(ClaimOffset(guid, content), 1, false)) return kBusy;
  *claim = std::move(holder);
  return kClaimed;
}
