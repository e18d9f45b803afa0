// The SDK's queue file: entries added and removed, files of older writers
// and unreadable ones, cuts at every byte, and two writers of one file.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "CQueueFile.h"
#include "TempFolder.h"

namespace {

namespace fs = std::filesystem;

const std::string kKeyA = "2::1700000000123::Download::1.Launch";
const std::string kKeyB = "2::1700000000456::Download::2.DownStart";

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The document by a strict reader: what any other program would see.
Json::Value StrictRead(const fs::path& path) {
  Json::CharReaderBuilder strict;
  Json::CharReaderBuilder::strictMode(&strict.settings_);
  Json::Value document;
  std::string errors;
  std::istringstream in(ReadBytes(path));
  EXPECT_TRUE(Json::parseFromStream(strict, in, &document, &errors)) << errors;
  return document;
}

class SdkQueueFile : public ::testing::Test {
 protected:
  fs::path FilePath() const { return folder_.path() / "tempga.wk"; }
  CQueueFile File() const { return CQueueFile(FilePath().wstring()); }
  TempFolder folder_;
};

TEST_F(SdkQueueFile, AddThenRemoveKeepsCountAndArrayInStep) {
  CQueueFile file = File();
  ASSERT_TRUE(file.Add(kKeyA, "content A"));
  ASSERT_TRUE(file.Add(kKeyB, "content B"));
  Json::Value doc = StrictRead(FilePath());
  EXPECT_EQ(doc["send_count"].asInt(), 2);
  EXPECT_EQ(doc["send_item"][1]["task_guid"].asString(), kKeyB);
  EXPECT_EQ(doc["send_item"][1]["task_status"].asInt(), 0);
  ASSERT_TRUE(file.Remove(kKeyA, "content A"));
  doc = StrictRead(FilePath());
  EXPECT_EQ(doc["send_item"][0]["task_status"].asInt(), CQueueFile::kStatusDelivered);
  EXPECT_TRUE(file.Remove(kKeyA, "content A"));  // already gone
  const std::vector<CQueueFile::Entry> pending = File().Pending(nullptr);
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].content, "content B");
}

TEST_F(SdkQueueFile, EqualKeysWithOtherContentAreSeparateEntries) {
  CQueueFile file = File();
  file.Add(kKeyA, "first");
  file.Add(kKeyA, "second");
  file.Remove(kKeyA, "first");
  int counted = 0;
  const std::vector<CQueueFile::Entry> pending = File().Pending(&counted);
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].content, "second");
}

// A delivered entry stays in place with status 2 until half of the
// entries, and at least kMinCompaction, are delivered ones: a short queue
// is never rewritten (and synced) at each delivery.
TEST_F(SdkQueueFile, DeliveredEntriesAreMarkedInPlaceThenCompacted) {
  CQueueFile file = File();
  file.Add(kKeyA, "content");
  const std::string alone = ReadBytes(FilePath());
  file.Remove(kKeyA, "content");
  EXPECT_EQ(ReadBytes(FilePath()).size(), alone.size());
  EXPECT_EQ(StrictRead(FilePath())["send_item"][0]["task_status"].asInt(), CQueueFile::kStatusDelivered);

  const int half = static_cast<int>(CQueueFile::kMinCompaction);
  for (int i = 0; i < 2 * half; ++i) file.Add(kKeyA + std::to_string(i), "content");
  const size_t size = ReadBytes(FilePath()).size();
  for (int i = 0; i < half - 1; ++i) file.Remove(kKeyA + std::to_string(i), "content");
  EXPECT_EQ(ReadBytes(FilePath()).size(), size);  // 32 of 65 delivered: fewer than half
  file.Remove(kKeyA + std::to_string(half - 1), "content");
  const Json::Value doc = StrictRead(FilePath());
  ASSERT_EQ(doc["send_count"].asInt(), half);  // 33 of 65: compacted
  EXPECT_EQ(doc["send_item"][0]["task_guid"].asString(), kKeyA + std::to_string(half));
  std::set<std::string> names;  // no new file left behind
  for (const auto& entry : fs::directory_iterator(folder_.path())) names.insert(entry.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"tempga.wk", "tempga.wk.lock"}));
}

// A file that is there but cannot be opened (here: it has a second name,
// which the installer never writes) is not a missing one: it is not
// written over, its entries are not taken for delivered elsewhere, and
// what changes meanwhile is written, merged, once it can be opened again.
TEST_F(SdkQueueFile, AFileThatCannotBeOpenedIsKeptAndChangesWaitInMemory) {
  CQueueFile one = File();
  ASSERT_TRUE(one.Add(kKeyA, "content A"));
  ASSERT_TRUE(one.Add(kKeyB, "content B"));
  const std::string bytes = ReadBytes(FilePath());
  const fs::path second = folder_.path() / "second name";
  fs::create_hard_link(FilePath(), second);

  CQueueFile two = File();  // another process
  EXPECT_FALSE(two.Add(kKeyA, "content C"));
  std::unique_ptr<platform::SharedFile> claim;
  EXPECT_EQ(one.Claim(kKeyA, "content A", &claim), CQueueFile::kClaimed);
  EXPECT_FALSE(one.Remove(kKeyA, "content A"));
  claim.reset();
  EXPECT_EQ(ReadBytes(FilePath()), bytes);
  EXPECT_EQ(one.Pending(nullptr).size(), 1u);

  fs::remove(second);
  EXPECT_EQ(one.Pending(nullptr).size(), 1u);  // the delivery is written now
  EXPECT_EQ(two.Pending(nullptr).size(), 2u);  // and the entry added meanwhile
  std::set<std::string> contents;
  for (const CQueueFile::Entry& entry : File().Pending(nullptr)) contents.insert(entry.content);
  EXPECT_EQ(contents, (std::set<std::string>{"content B", "content C"}));
}

// An earlier run's file (whole-file layout), an empty, a garbage and a
// too deeply nested file: read as far as possible, rewritten at the next change.
TEST_F(SdkQueueFile, OtherLayoutsAreReadThenRewrittenWhole) {
  const std::string earlier = "{\n   \"send_count\" : 1,\n   \"send_item\" : [\n      {\n"
                              "         \"task_content\" : \"old\",\n         \"task_guid\" : \"" + kKeyB +
                              "\",\n         \"task_status\" : 0\n      }\n   ]\n}\n";
  const std::string nested = "{\"send_count\":1,\"send_item\":" + std::string(5000, '[');
  for (const std::string& raw : {earlier, std::string(), std::string("\x01\x02garbage"), nested}) {
    WriteBytes(FilePath(), raw);
    CQueueFile file = File();
    int counted = 0;
    const size_t before = file.Pending(&counted).size();
    EXPECT_EQ(before, raw == earlier ? 1u : 0u);
    ASSERT_TRUE(file.Add(kKeyA, "content"));
    const Json::Value doc = StrictRead(FilePath());
    ASSERT_EQ(doc["send_count"].asInt(), static_cast<int>(before + 1));
    EXPECT_EQ(doc["send_item"][static_cast<int>(before)]["task_guid"].asString(), kKeyA);
    EXPECT_EQ(File().Pending(&counted).size(), before + 1);
  }
}

TEST_F(SdkQueueFile, PendingHonoursSendCountStatusAndObjects) {
  WriteBytes(FilePath(), R"({"send_count":4,"send_item":[
    {"task_guid":"g1","task_status":0,"task_content":"c1"},
    {"task_guid":"g2","task_status":2,"task_content":"c2"},
    7,
    {"task_guid":"g4","task_status":0,"task_content":"c4"},
    {"task_guid":"g5","task_status":0,"task_content":"c5"}]})");
  int counted = 0;
  const std::vector<CQueueFile::Entry> pending = File().Pending(&counted);
  EXPECT_EQ(counted, 4);
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].guid, "g1");
  EXPECT_EQ(pending[1].content, "c4");
}

TEST_F(SdkQueueFile, CountBeyondTheArrayOrOfWrongTypeIsHarmless) {
  WriteBytes(FilePath(), R"({"send_count":"9","send_item":{"a":1}})");
  int counted = 0;
  EXPECT_TRUE(File().Pending(&counted).empty());
  EXPECT_EQ(counted, 9);
  WriteBytes(FilePath(), R"({"send_count":99,"send_item":[{"task_guid":"g1","task_status":0,"task_content":"c1"}]})");
  EXPECT_EQ(File().Pending(&counted).size(), 1u);
}

// A crash may stop a change at any byte. Each change is replayed as cut
// after every byte, both as a shorter file and with the old bytes beyond
// the cut still in place: the reader finds every entry that was waiting
// and complete before the cut, never a made-up one, a delivered one only
// when the cut took its status, and the next change leaves a whole document.
TEST_F(SdkQueueFile, EveryCutKeepsTheEntriesCompleteBeforeIt) {
  std::map<std::string, std::string> contents;  // guid -> content
  std::set<std::string> waiting;
  CQueueFile file = File();
  const fs::path cut = folder_.path() / "cut.wk";
  // A change by renaming is cut only as a shorter file: the old bytes never
  // mix with the new.
  auto check = [&](const std::string& before, const std::string& after, const std::set<std::string>& waitingAfter,
                   bool renamed) {
    for (size_t at = 0; at <= after.size(); ++at) {
      const bool truncated = renamed || at % 2 == 0 || at >= before.size();
      WriteBytes(cut, after.substr(0, at) + (truncated ? "" : before.substr(at)));
      int counted = 0;
      CQueueFile reader(cut.wstring());
      std::set<std::string> found;
      const std::vector<CQueueFile::Entry> pending = reader.Pending(&counted);
      auto complete = [&](const std::string& guid) {
        return !truncated || after.find('}', after.find("\"" + guid + "\"")) < at;
      };
      for (const CQueueFile::Entry& entry : pending) {
        if (entry.guid.empty() || entry.content.empty()) continue;  // a cut entry's remains
        ASSERT_EQ(contents.count(entry.guid), 1u) << "made up at " << at;
        EXPECT_EQ(entry.content, contents[entry.guid]);
        const bool delivered = !waitingAfter.count(entry.guid) && !waiting.count(entry.guid);
        EXPECT_FALSE(delivered && complete(entry.guid)) << entry.guid << " back at " << at;
        found.insert(entry.guid);
      }
      for (const std::string& guid : waiting) {
        if (!waitingAfter.count(guid)) continue;  // delivered by this change: either is right
        if (complete(guid)) {
          EXPECT_TRUE(found.count(guid)) << guid << " lost at " << at << " of " << after.size();
        }
      }
      if (at % 37 == 0) {
        ASSERT_TRUE(reader.Add("2::1700000009999::Cut::Repair", "repair content"));
        const Json::Value doc = StrictRead(cut);
        int repaired = 0;
        for (const Json::Value& entry : doc["send_item"])
          repaired += entry["task_status"].asInt() != CQueueFile::kStatusDelivered;
        EXPECT_EQ(repaired, static_cast<int>(pending.size()) + 1) << at;
      }
    }
  };
  // Adds or delivers entry i and checks every cut of that change.
  auto change = [&](int i, bool add, bool renamed, bool checked = true) {
    const std::string guid = "2::170000000" + std::to_string(1000 + i) + "::Download::Step" + std::to_string(i);
    contents.emplace(guid, "{\"source_type\":\"downloader\",\"cross_end_id\":\"" + std::to_string(i) + "\",\"x\":\"\xc3\xa9\"}");
    const std::string before = ReadBytes(FilePath());
    std::set<std::string> after = waiting;
    if (add) {
      ASSERT_TRUE(file.Add(guid, contents[guid]));
      after.insert(guid);
    } else {
      ASSERT_TRUE(file.Remove(guid, contents[guid]));
      after.erase(guid);
    }
    if (checked) check(before, ReadBytes(FilePath()), after, renamed);
    waiting = after;
  };
  for (int i = 0; i < 5; ++i) change(i, true, i == 0);  // the first one creates the file
  change(1, false, false);
  change(5, true, false);
  change(3, false, false);
  change(6, true, false);
  change(0, false, false);
  // Delivered entries up to one short of a compaction, then the one that compacts.
  const int more = static_cast<int>(CQueueFile::kMinCompaction);
  for (int i = 7; i < 7 + more; ++i) change(i, true, false, false);
  for (int i = 7; i < 7 + more - 4; ++i) change(i, false, false, false);
  change(2, false, true);
  EXPECT_EQ(StrictRead(FilePath())["send_count"].asInt(), static_cast<int>(waiting.size()));
  EXPECT_EQ(File().Pending(nullptr).size(), waiting.size());
}

// Two writers of one file, as two processes: each sees the other's changes,
// and a claimed entry cannot be claimed again until it is delivered.
TEST_F(SdkQueueFile, TwoWritersShareTheFileAndItsClaims) {
  CQueueFile one = File(), two = File();
  ASSERT_TRUE(one.Add(kKeyA, "content A"));
  ASSERT_TRUE(two.Add(kKeyB, "content B"));
  ASSERT_TRUE(one.Add(kKeyA, "content C"));
  EXPECT_EQ(two.Pending(nullptr).size(), 3u);
  std::unique_ptr<platform::SharedFile> claim, other;
  ASSERT_EQ(one.Claim(kKeyB, "content B", &claim), CQueueFile::kClaimed);
  EXPECT_EQ(two.Claim(kKeyB, "content B", &other), CQueueFile::kBusy);
  ASSERT_TRUE(one.Remove(kKeyB, "content B"));
  claim.reset();
  EXPECT_EQ(two.Claim(kKeyB, "content B", &other), CQueueFile::kGone);
  ASSERT_TRUE(two.Remove(kKeyA, "content A"));
  const std::vector<CQueueFile::Entry> pending = one.Pending(nullptr);
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].content, "content C");
  EXPECT_EQ(File().Pending(nullptr).size(), 1u);
}

}  // namespace
