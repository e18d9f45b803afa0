// The repeat rule of the SDK's send queue: at most eleven items of one kind,
// category and action within 60 seconds of their own time stamps.
#include <gtest/gtest.h>

#include "CRepeatHistory.h"

namespace {

std::string Key(const char* kind, int64_t ms, const char* what = "Download::1.Launch") {
  return std::string(kind) + "::" + std::to_string(ms) + "::" + what;
}

// QueueSendItem's use of the history: count, then append.
int CountAndAppend(CRepeatHistory& history, const std::string& key) {
  const int n = history.LookForRepeatCount(key, 60);
  history.Append(key);
  return n;
}

TEST(SdkRepeatHistory, TwelfthKeyWithinOneSecondSeesElevenRepeats) {
  CRepeatHistory history;
  for (int i = 0; i < 11; ++i) EXPECT_EQ(CountAndAppend(history, Key("2", 1700000000000 + i * 90)), i);
  EXPECT_EQ(CountAndAppend(history, Key("2", 1700000000999)), 11);
}

TEST(SdkRepeatHistory, KeysSpreadOverSeventySecondsStayUnderTheLimit) {
  CRepeatHistory history;
  int most = 0;
  for (int i = 0; i < 12; ++i) most = std::max(most, CountAndAppend(history, Key("2", 1700000000000 + i * 6400)));
  EXPECT_LE(most, 10);
  EXPECT_LT(history.Size(), 12u);  // keys beyond the window were forgotten
}

TEST(SdkRepeatHistory, KindCategoryAndActionMustAllMatch) {
  CRepeatHistory history;
  for (int i = 0; i < 11; ++i) CountAndAppend(history, Key("1", 1700000000000));
  EXPECT_EQ(history.LookForRepeatCount(Key("2", 1700000000000), 60), 0);
  EXPECT_EQ(history.LookForRepeatCount(Key("1", 1700000000000, "Download::2.DownStart"), 60), 0);
  EXPECT_EQ(history.LookForRepeatCount(Key("1", 1700000000000), 60), 11);
}

TEST(SdkRepeatHistory, MalformedTimeStampsCountAsZero) {
  EXPECT_EQ(CRepeatHistory::TimestampOf("2::17000000001x3::a::b"), 0);
  EXPECT_EQ(CRepeatHistory::TimestampOf("2::"), 0);
  EXPECT_EQ(CRepeatHistory::TimestampOf(""), 0);
  EXPECT_EQ(CRepeatHistory::TimestampOf(Key("2", 1700000000123)), 1700000000123);
  CRepeatHistory history;
  history.Append("x");
  EXPECT_EQ(history.LookForRepeatCount("", 60), 0);
}

}  // namespace
