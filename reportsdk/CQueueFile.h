// The persistent queue file "tempga.wk": a JSON object with `send_count` and
// the array `send_item` of entries {task_content, task_guid, task_status}.
//
// The entries are kept in memory, and a change writes only a few bytes:
//  - `send_count` is a fixed-width field (digits padded with blanks), so it
//    can be rewritten in place;
//  - an entry is added by writing it, followed by the closing text of the
//    document, over that closing text, and only then the new count;
//  - a delivered entry keeps its place: its one-digit status becomes 2,
//    which every reader skips;
//  - once half of the entries, and at least kMinCompaction, are delivered
//    ones, the waiting entries are written to a new file, synced and
//    renamed over the old one (so a short queue is not rewritten and synced
//    at every delivery).
// A file cut at any byte keeps every entry that was complete before the cut
// readable; a file in any other layout (an older writer's, a cut or an
// unreadable one) is rewritten whole at its next change.
//
// A file that is there but cannot be opened (locked, refused, out of
// descriptors) is never taken for a missing one: nothing is written over
// it and no entry counts as delivered elsewhere. Changes meanwhile are kept
// in memory and written, merged with what the file holds then, at the
// first look or change that can open it.
//
// Processes share the file. Each change holds an exclusive lock of
// "tempga.wk.lock", whose first bytes count the changes, so that a process
// reloads the file when another one has changed it. A delivery claims its
// entry through a lock of its own, so that two processes holding the same
// entry never both send it. Within a process, callers serialise access
// (the SDK's queue lock).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <json/json.h>

#include "platform/SharedFile.h"

class CQueueFile {
 public:
  // Entry status: waiting, or delivered (skipped by every reader).
  static constexpr int kStatusWaiting = 0;
  static constexpr int kStatusDelivered = 2;
  // Delivered entries needed before a compaction.
  static constexpr size_t kMinCompaction = 32;

  struct Entry {
    std::string guid, content;
  };

  enum ClaimResult {
    kClaimed,  // the caller delivers the entry
    kGone,     // another process delivered it already
    kBusy,     // another process is delivering it right now
  };

  explicit CQueueFile(std::wstring path);

  const std::wstring& Path() const { return path_; }
  // The document as far as it could be read; a missing file is an empty one.
  Json::Value Read() const;
  // Adds a waiting entry; false when the file could not take it now (the
  // entry is kept in memory and written later).
  bool Add(const std::string& guid, const std::string& content);
  // Marks a waiting entry with this guid and content delivered (equal
  // guids, events of one millisecond, are told apart by their content).
  // False when the file could not take the change now (kept as Add's).
  bool Remove(const std::string& guid, const std::string& content);
  // The waiting entries among the first `send_count`, in file order;
  // *counted receives `send_count`.
  std::vector<Entry> Pending(int* counted);
  // Before a delivery of an entry: on kClaimed, *claim holds the entry
  // until it is released, after the entry's Remove.
  ClaimResult Claim(const std::string& guid, const std::string& content,
                    std::unique_ptr<platform::SharedFile>* claim);

 private:
  struct Slot {
    std::string guid, content;
    int64_t statusOffset;  // of the status digit
    bool waiting;
  };
  // One change or look: the change lock and the open queue file (either
  // may be null when it cannot be opened). A usable session knows what the
  // file holds: it is open, or there is none.
  struct Session {
    std::unique_ptr<platform::SharedFile> lock, file;
    bool usable = false;
  };
  // A change made in memory that the file did not take yet.
  struct Unwritten {
    std::string guid, content;
    bool added;  // else delivered
  };

  Session Begin();
  void Commit(Session& session);
  void Load(platform::SharedFile* file);
  bool AppendInPlace(platform::SharedFile& file, const std::string& guid, const std::string& content);
  bool Rewrite(Session& session);
  void Forget();  // the next session reloads
  using Index = std::unordered_multimap<std::string, size_t>;  // guid -> slot
  Index::iterator FindWaiting(const std::string& guid, const std::string& content);
  void AddSlot(const std::string& guid, const std::string& content, int64_t statusOffset);
  void MarkDelivered(Index::iterator found);
  // Applies the unwritten changes to what was just loaded.
  void Reapply();
  // A change the file did not take: kept, and the next session reloads.
  void KeepUnwritten(const std::string& guid, const std::string& content, bool added);

  std::wstring path_, lockPath_;
  std::vector<Slot> slots_;  // every entry of the file, delivered ones too
  Index byGuid_;             // the waiting slots
  std::vector<Unwritten> unwritten_;
  bool unusable_ = false;    // the last session could not open the file
  int count_ = 0;          // send_count as the file says
  size_t delivered_ = 0;   // slots with status 2
  bool loaded_ = false;
  bool inPlace_ = false;   // the file has the layout that changes in place
  int64_t size_ = -1;      // of the file as loaded or written; -1 missing
  int64_t tail_ = 0;       // offset of the closing text
  uint64_t stamp_ = 0;     // change count of the lock file as last seen
};
