// The SDK's queue file: entries added and removed, unreadable files, equal
// keys kept apart, and the whole-file replacement.
#include <gtest/gtest.h>

#include <fstream>

#include "CQueueFile.h"
#include "TempFolder.h"

namespace {

const std::string kKeyA = "2::1700000000123::Download::1.Launch";
const std::string kKeyB = "2::1700000000456::Download::2.DownStart";

class SdkQueueFile : public ::testing::Test {
 protected:
  CQueueFile File() const { return CQueueFile((folder_.path() / "tempga.wk").wstring()); }
  void WriteRaw(const std::string& text) const {
    std::ofstream(folder_.path() / "tempga.wk", std::ios::binary) << text;
  }
  TempFolder folder_;
};

TEST_F(SdkQueueFile, AddThenRemoveKeepsCountAndArrayInStep) {
  const CQueueFile file = File();
  file.Update(kKeyA, "content A", CQueueFile::kStatusWaiting);
  file.Update(kKeyB, "content B", CQueueFile::kStatusWaiting);
  Json::Value doc = file.Read();
  EXPECT_EQ(doc["send_count"].asInt(), 2);
  EXPECT_EQ(doc["send_item"][1]["task_guid"].asString(), kKeyB);
  EXPECT_EQ(doc["send_item"][1]["task_status"].asInt(), 0);
  file.Update(kKeyA, "content A", CQueueFile::kStatusDelivered);
  doc = file.Read();
  ASSERT_EQ(doc["send_count"].asInt(), 1);
  EXPECT_EQ(doc["send_item"][0]["task_content"].asString(), "content B");
  file.Update(kKeyA, "content A", CQueueFile::kStatusDelivered);  // already gone
  EXPECT_EQ(file.Read()["send_count"].asInt(), 1);
}

TEST_F(SdkQueueFile, EqualKeysWithOtherContentAreSeparateEntries) {
  const CQueueFile file = File();
  file.Update(kKeyA, "first", CQueueFile::kStatusWaiting);
  file.Update(kKeyA, "second", CQueueFile::kStatusWaiting);
  file.Update(kKeyA, "first", CQueueFile::kStatusDelivered);
  const Json::Value doc = file.Read();
  ASSERT_EQ(doc["send_count"].asInt(), 1);
  EXPECT_EQ(doc["send_item"][0]["task_content"].asString(), "second");
}

TEST_F(SdkQueueFile, ZeroByteOrGarbageFileIsReplacedByTheNewEntry) {
  for (const std::string& raw : {std::string(), std::string("\x01\x02garbage")}) {
    WriteRaw(raw);
    File().Update(kKeyA, "content", CQueueFile::kStatusWaiting);
    const Json::Value doc = File().Read();
    EXPECT_EQ(doc["send_count"].asInt(), 1);
    EXPECT_EQ(doc["send_item"][0]["task_guid"].asString(), kKeyA);
  }
}

TEST_F(SdkQueueFile, RewriteLeavesNoSideFile) {
  File().Update(kKeyA, "content", CQueueFile::kStatusWaiting);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
    ++files;
    EXPECT_EQ(entry.path().filename(), "tempga.wk");
  }
  EXPECT_EQ(files, 1);
}

TEST_F(SdkQueueFile, PendingHonoursSendCountStatusAndObjects) {
  WriteRaw(R"({"send_count":4,"send_item":[
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
  WriteRaw(R"({"send_count":"9","send_item":{"a":1}})");
  int counted = 0;
  EXPECT_TRUE(File().Pending(&counted).empty());
  EXPECT_EQ(counted, 9);
  WriteRaw(R"({"send_count":99,"send_item":[{"task_guid":"g1","task_status":0,"task_content":"c1"}]})");
  EXPECT_EQ(File().Pending(&counted).size(), 1u);
}

}  // namespace
