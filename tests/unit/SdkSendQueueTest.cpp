// The send queue with a scripted delivery attempt: results of QueueSendItem,
// the queue file around deliveries, the repeat drop and ReadHistory.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "CDeliveryClient.h"
#include "CSendQueue.h"
#include "TempFolder.h"

namespace {

const std::string kEvent = "{\"source_type\":\"downloader\",\"cross_end_id\":\"\"}";

std::string Key(int64_t ms, const char* action = "1.Launch") {
  return "2::" + std::to_string(ms) + "::Download::" + action;
}

class SdkSendQueue : public ::testing::Test {
 protected:
  SdkSendQueue() : queue_([this](const SendItem& item) {
    ++attempts_;
    lastKind_ = item.kind;
    return result_.load();
  }) {
    queue_.SetRetryPause(1);
    queue_.SetQueueFile(FilePath());
  }
  std::wstring FilePath() const { return (folder_.path() / "tempga.wk").wstring(); }
  int FileCount() const { return CQueueFile(FilePath()).Read()["send_count"].asInt(); }
  size_t Waiting() const { return CQueueFile(FilePath()).Pending(nullptr).size(); }
  void DrainOnce() {
    SendItem item;
    for (size_t n = queue_.Size(); n > 0 && queue_.TakeFront(&item); --n) queue_.DeliverItem(item);
  }

  TempFolder folder_;
  std::atomic<int> result_{kDeliveryAccepted};
  std::atomic<int> attempts_{0};
  std::atomic<int> lastKind_{0};
  CSendQueue queue_;
};

TEST_F(SdkSendQueue, WaitedDeliveryRemovesItsEntry) {
  EXPECT_EQ(queue_.QueueSendItem(Key(1700000000000), kEvent, true, true), 0);
  EXPECT_EQ(attempts_, 1);
  EXPECT_EQ(lastKind_, kSendKindEventJson);
  EXPECT_EQ(FileCount(), 0);
  EXPECT_TRUE(queue_.Idle());
}

TEST_F(SdkSendQueue, FailedWaitTriesThreeTimesAndLeavesTheItemQueuedAndStored) {
  result_ = kDeliveryFailed;
  EXPECT_EQ(queue_.QueueSendItem(Key(1700000000000), kEvent, true, true), -2);
  EXPECT_EQ(attempts_, 3);
  EXPECT_EQ(queue_.Size(), 1u);
  EXPECT_EQ(FileCount(), 1);
  result_ = kDeliveryAccepted;
  SendItem item;
  ASSERT_TRUE(queue_.TakeFront(&item));
  EXPECT_FALSE(queue_.Idle());  // in flight
  EXPECT_TRUE(queue_.DeliverItem(item));
  EXPECT_EQ(FileCount(), 0);
  EXPECT_TRUE(queue_.Idle());
}

TEST_F(SdkSendQueue, TwelfthRepeatIsDroppedAndNotStored) {
  for (int i = 0; i < 11; ++i) EXPECT_EQ(queue_.QueueSendItem(Key(1700000000000 + i), kEvent, true, false), 0);
  EXPECT_EQ(queue_.QueueSendItem(Key(1700000000900), kEvent, true, false), -1);
  EXPECT_EQ(queue_.Size(), 11u);
  EXPECT_EQ(FileCount(), 11);
  EXPECT_EQ(attempts_, 0);  // nothing is sent on the caller's thread
}

TEST(SdkSendKind, RecognisedFromTheContent) {
  EXPECT_EQ(SendKindOf(kEvent), kSendKindEventJson);
  EXPECT_EQ(SendKindOf("https://h/g/collect?v=2&cid=1&tid=G-X&en=a"), kSendKindGa4Query);
  EXPECT_EQ(SendKindOf("https://h/g/collect?v=2&cid=1&tid=G-X"), kSendKindUnknown);
  // An unknown kind fails without any request, and so does a GA4 request
  // (read from the queue file, which any user may write) for any address
  // but the built-in endpoint's: asked, these would only fail for now.
  const DeliveryConfig config = DeliveryConfig::BuiltIn();
  const CDeliveryClient client(config, L"", false);
  EXPECT_EQ(client.Attempt(SendItem{Key(1700000000000), kSendKindUnknown, "plain text"}), kDeliveryRefused);
  const std::string query = "/g/collect?v=2&cid=1&tid=G-X&en=a";
  for (const std::string& elsewhere : {"https://attacker.example" + query, config.ga4Base + "0" + query,
                                       config.ga4Base + ".attacker.example" + query, "file:///etc/passwd?" + query})
    EXPECT_EQ(client.Attempt(SendItem{Key(1700000000000), kSendKindGa4Query, elsewhere}), kDeliveryRefused)
        << elsewhere;
}

TEST_F(SdkSendQueue, ReadHistoryRequeuesLongEntriesWithoutRewritingThem) {
  CQueueFile file(FilePath());
  file.Add(Key(1700000000000), kEvent);
  file.Add(Key(1700000000001), kEvent);
  file.Add("2::short", kEvent);  // pending, but too short to send
  int counted = 0;
  EXPECT_EQ(queue_.ReadHistory(&counted), 3);
  EXPECT_EQ(counted, 3);
  EXPECT_EQ(queue_.Size(), 2u);
  EXPECT_EQ(FileCount(), 3);
  DrainOnce();
  EXPECT_EQ(FileCount(), 1);  // the short entry stays
}

// Refused for good, an item is dropped after a few rounds; failed for now,
// it stays as long as the process runs.
TEST_F(SdkSendQueue, RefusedItemsAreDroppedAfterBoundedRoundsFailedOnesStay) {
  result_ = kDeliveryRefused;
  ASSERT_EQ(queue_.QueueSendItem(Key(1700000000000), kEvent, true, false), 0);
  for (int round = 0; round < CSendQueue::kRefusedRounds + 2; ++round) DrainOnce();
  EXPECT_EQ(attempts_, CSendQueue::kRefusedRounds);  // a refusal ends its round
  EXPECT_TRUE(queue_.Idle());
  EXPECT_EQ(Waiting(), 0u);

  result_ = kDeliveryFailed;
  attempts_ = 0;
  ASSERT_EQ(queue_.QueueSendItem(Key(1700000000001), kEvent, true, false), 0);
  for (int round = 0; round < CSendQueue::kRefusedRounds + 2; ++round) DrainOnce();
  EXPECT_EQ(attempts_, CSendQueue::kAttempts * (CSendQueue::kRefusedRounds + 2));
  EXPECT_EQ(queue_.Size(), 1u);
  EXPECT_EQ(Waiting(), 1u);
}

// Another process holding the same backlog: an entry it delivered is not
// sent again, and one it is sending right now waits its turn.
TEST_F(SdkSendQueue, EntriesOfAnotherProcessAreNeverSentTwice) {
  CQueueFile other(FilePath());
  other.Add(Key(1700000000000), kEvent);
  other.Add(Key(1700000000001), kEvent);
  int counted = 0;
  ASSERT_EQ(queue_.ReadHistory(&counted), 2);
  std::unique_ptr<platform::SharedFile> claim;
  ASSERT_EQ(other.Claim(Key(1700000000001), kEvent, &claim), CQueueFile::kClaimed);
  ASSERT_TRUE(other.Remove(Key(1700000000000), kEvent));
  DrainOnce();
  EXPECT_EQ(attempts_, 0);
  EXPECT_EQ(queue_.Size(), 1u);  // the claimed one
  claim.reset();
  DrainOnce();
  EXPECT_EQ(attempts_, 1);
  EXPECT_TRUE(queue_.Idle());
  EXPECT_EQ(Waiting(), 0u);
}

TEST(SdkDeliveryClient, ProxyIsTheFirstWordOfProxyTxt) {
  TempFolder folder;
  const std::wstring dir = folder.path().wstring() + std::wstring(1, std::filesystem::path::preferred_separator);
  const CDeliveryClient client(DeliveryConfig::BuiltIn(), dir, false);
  EXPECT_EQ(client.Proxy(), "");
  std::ofstream(folder.path() / "proxy.txt") << "  http://127.0.0.1:3128\nignored text\n";
  EXPECT_EQ(client.Proxy(), "http://127.0.0.1:3128");
}

}  // namespace
