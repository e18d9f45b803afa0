// Slice plan, task file and its validation. The remote length comes from the
// run state's length cache, so no request is made.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "download/CDownloadTaskManager.h"
#include "download/CDownloader.h"
#include "download/DownloadEvents.h"
#include "runstate/RunState.h"
#include "TempFolder.h"
#include "platform/Platform.h"

namespace {

struct Range {
  int64_t start, end;
  bool operator==(const Range& o) const { return start == o.start && end == o.end; }
};

class TaskManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    url_ = "http://127.0.0.1:9/" + std::string(info()->name()) + ".bin";
    target_ = (folder_.path() / "target.bin").string();
    taskFile_ = target_ + ".xml";
    DownloadEvents::SetSink([this](const std::string&, const std::string&, const std::string& action,
                                   const std::string& label, const std::string&, const std::string&) {
      if (action == "FlowError") flowErrors_.push_back(label);
    });
  }
  void TearDown() override {
    DownloadEvents::SetSink(nullptr);
    RunState::Shared().SetSliceNum(0);
    RunState::Shared().SetSliceSize(0);
  }
  static const ::testing::TestInfo* info() {
    return ::testing::UnitTest::GetInstance()->current_test_info();
  }
  std::vector<Range> plan(int64_t length) {
    RunState::Shared().SetCachedValue(url_, length);
    CDownloadTaskManager manager(url_, target_, taskFile_);
    EXPECT_EQ(manager.generateDownloadTask(false, "", 0), DownloadOk);
    std::vector<Range> ranges;
    for (const auto& task : manager.tasks()) ranges.push_back({task->StartPos, task->EndPos});
    return ranges;
  }
  // A saved task file of a fresh plan of `length` bytes, beside a target
  // sized to that length (as a download sizes it).
  void savePlan(int64_t length) {
    RunState::Shared().SetCachedValue(url_, length);
    CDownloadTaskManager manager(url_, target_, taskFile_);
    ASSERT_EQ(manager.generateDownloadTask(false, "", 0), DownloadOk);
    manager.saveTaskToFile();
    std::ofstream(target_, std::ios::app).close();
    std::filesystem::resize_file(target_, static_cast<uintmax_t>(length));
  }
  std::string taskFileText() const {
    std::ifstream in(taskFile_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Saves the plan of a 10 MiB file with each (from, to) edit made once, in order.
  void savePlanEdited(const std::vector<std::pair<std::string, std::string>>& edits) {
    savePlan(10485760);
    std::string text = taskFileText();
    for (const auto& edit : edits) {
      const size_t at = text.find(edit.first);
      ASSERT_NE(at, std::string::npos) << edit.first;
      text.replace(at, edit.first.size(), edit.second);
    }
    std::ofstream(taskFile_, std::ios::binary) << text;
  }

  TempFolder folder_;
  std::string url_, target_, taskFile_;
  std::vector<std::string> flowErrors_;
};

}  // namespace

TEST_F(TaskManagerTest, DefaultPlanCutsFourMegabyteSlices) {
  EXPECT_EQ(plan(10485760), (std::vector<Range>{{0, 4194303}, {4194304, 10485760}}));
  EXPECT_EQ(plan(1000), (std::vector<Range>{{0, 1000}}));
}

TEST_F(TaskManagerTest, ConfiguredSliceCountAndSize) {
  const int64_t length = 3 * 1048576 + 10, third = length / 3;
  RunState::Shared().SetSliceNum(3);
  EXPECT_EQ(plan(length), (std::vector<Range>{{0, third - 1}, {third, 2 * third - 1}, {2 * third, length}}));
  RunState::Shared().SetSliceNum(0);
  RunState::Shared().SetSliceSize(1048576);
  EXPECT_EQ(plan(2097157), (std::vector<Range>{{0, 1048575}, {1048576, 2097157}}));
}

// Sizes a server sends can neither cut slices below 256 KiB, nor make more
// than 4096 tasks, nor plan a file beyond 1 TiB.
TEST_F(TaskManagerTest, ServerControlledSizesAreBounded) {
  RunState::Shared().SetSliceSize(1);
  EXPECT_EQ(plan(1048576).size(), 4u);
  RunState::Shared().SetSliceSize(0);
  RunState::Shared().SetSliceNum(2000000000);
  EXPECT_EQ(plan(int64_t{1} << 30).size(), 4096u);
  RunState::Shared().SetSliceNum(0);
  const std::vector<Range> huge = plan(int64_t{1} << 40);
  ASSERT_EQ(huge.size(), 4096u);
  EXPECT_EQ(huge.back().end, int64_t{1} << 40);

  RunState::Shared().SetCachedValue(url_, 9000000000000000000);
  CDownloadTaskManager manager(url_, target_, taskFile_);
  EXPECT_EQ(manager.generateDownloadTask(false, "", 0), GetLengthFailed);
  EXPECT_TRUE(manager.tasks().empty());
}

// A probe that measures nothing while resuming (here: no server) is no
// change of length: the task file and the partial download stay.
TEST_F(TaskManagerTest, FailedProbeKeepsTheProgress) {
  savePlanEdited({{".bin</RemotePath>", ".old</RemotePath>"}, {".bin</RemotePath>", ".old</RemotePath>"}});
  std::ofstream(target_) << "partial";
  const std::string saved = taskFileText();
  CDownloadTaskManager manager(url_ + "?moved", target_, taskFile_);
  EXPECT_EQ(manager.loadDownloadTask(false, "", 0), GetLengthFailed);
  EXPECT_TRUE(flowErrors_.empty());
  EXPECT_TRUE(manager.tasks().empty());
  EXPECT_EQ(taskFileText(), saved);
  EXPECT_EQ(std::filesystem::file_size(target_), 7u);
}

TEST_F(TaskManagerTest, PlanOffsetsAreSixtyFourBit) {
  const int64_t length = 5LL * 1024 * 1024 * 1024 + 7;  // 5 GiB + 7
  RunState::Shared().SetSliceNum(2);
  const std::vector<Range> ranges = plan(length);
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[1], (Range{length / 2, length}));
}

TEST_F(TaskManagerTest, TaskFileLayout) {
  savePlan(10);
  const std::string expected =
      "<TaskInfo>\n"
      "    <TasksCount>1</TasksCount>\n"
      "    <ContentLength>10</ContentLength>\n"
      "    <DownloadTime>0</DownloadTime>\n"
      "    <Task>\n"
      "        <StartPos>0</StartPos>\n"
      "        <EndPos>10</EndPos>\n"
      "        <DownloadedPos>0</DownloadedPos>\n"
      "        <RemotePath>" + url_ + "</RemotePath>\n"
      "        <LocalPath>" + target_ + "</LocalPath>\n"
      "        <TaskStatus>0</TaskStatus>\n"
      "        <TaskId>1</TaskId>\n"
      "        <RequestTimes>0</RequestTimes>\n"
      "    </Task>\n"
      "</TaskInfo>\n";
  // Written in text mode ("w"): lines end with CR LF on Windows.
  std::string onDisk;
  for (char c : expected) {
    if (c == '\n' && platform::kPathSep == L'\\') onDisk += '\r';
    onDisk += c;
  }
  EXPECT_EQ(taskFileText(), onDisk);
  EXPECT_FALSE(std::filesystem::exists(taskFile_ + ".new"));
}

TEST_F(TaskManagerTest, ResumeKeepsProgressAndRestartsRequestCount) {
  savePlanEdited({{"<DownloadedPos>0</DownloadedPos>", "<DownloadedPos>4194304</DownloadedPos>"},
                  {"<TaskStatus>0</TaskStatus>", "<TaskStatus>1</TaskStatus>"},
                  {"<RequestTimes>0</RequestTimes>", "<RequestTimes>7</RequestTimes>"},
                  {"<DownloadTime>0</DownloadTime>", "<DownloadTime>1234</DownloadTime>"}});
  CDownloadTaskManager manager(url_, target_, taskFile_);
  EXPECT_EQ(manager.loadDownloadTask(false, "", 0), DownloadOk);
  ASSERT_EQ(manager.tasks().size(), 2u);
  EXPECT_EQ(manager.DownloadTime, 1234);
  EXPECT_EQ(manager.tasks()[0]->RequestTimes, 0);
  EXPECT_EQ(manager.doneTasks().size(), 1u);
  EXPECT_EQ(manager.todoTasks().size(), 1u);
  EXPECT_TRUE(flowErrors_.empty());
}

TEST_F(TaskManagerTest, SliceMissingItsLastByteIsNotComplete) {
  savePlanEdited({{"<DownloadedPos>0</DownloadedPos>", "<DownloadedPos>4194303</DownloadedPos>"},
                  {"<TaskStatus>0</TaskStatus>", "<TaskStatus>1</TaskStatus>"}});
  CDownloadTaskManager manager(url_, target_, taskFile_);
  ASSERT_EQ(manager.loadDownloadTask(false, "", 0), DownloadOk);
  EXPECT_EQ(manager.todoTasks().size(), 2u);
  EXPECT_EQ(manager.tasks()[0]->remainingBytes(), 1);
}

TEST_F(TaskManagerTest, ChangedLengthIsRejectedWithDl025) {
  // The slices were fetched from another address; the manager's own
  // address now measures a different length.
  savePlanEdited({{".bin</RemotePath>", ".old</RemotePath>"}, {".bin</RemotePath>", ".old</RemotePath>"}});
  RunState::Shared().SetCachedValue(url_, 10485761);
  CDownloadTaskManager manager(url_, target_, taskFile_);
  std::ofstream(target_) << "partial";
  ASSERT_TRUE(manager.taskFileExists());
  EXPECT_EQ(manager.loadDownloadTask(false, "", 0), DownloadOk);
  EXPECT_EQ(flowErrors_, std::vector<std::string>{"DL025"});
  EXPECT_FALSE(std::filesystem::exists(target_));
  EXPECT_EQ(manager.ContentLength, 10485761);
  EXPECT_EQ(manager.tasks().back()->EndPos, 10485761);
}

TEST_F(TaskManagerTest, WrongLayoutIsRejectedWithDl026) {
  const std::vector<std::pair<std::string, std::string>> damages = {
      {"<StartPos>4194304</StartPos>", "<StartPos>4194305</StartPos>"},  // gap
      {"<TaskId>1</TaskId>", "<TaskId>2</TaskId>"},                      // order
      {"<EndPos>10485760</EndPos>", "<EndPos>10485759</EndPos>"},        // short end
      {"<DownloadedPos>0</DownloadedPos>", "<DownloadedPos>9999999</DownloadedPos>"},
  };
  for (const auto& damage : damages) {
    flowErrors_.clear();
    savePlanEdited({damage});
    CDownloadTaskManager manager(url_, target_, taskFile_);
    EXPECT_EQ(manager.loadDownloadTask(false, "", 0), DownloadOk);
    EXPECT_EQ(flowErrors_, std::vector<std::string>{"DL026"}) << damage.second;
  }
}

TEST_F(TaskManagerTest, OtherSliceSizeStartsOver) {
  savePlan(10485760);
  RunState::Shared().SetSliceSize(1048576);
  CDownloadTaskManager manager(url_, target_, taskFile_);
  EXPECT_EQ(manager.loadDownloadTask(false, "", 0), DownloadOk);
  EXPECT_EQ(flowErrors_, std::vector<std::string>{"DL026"});
  EXPECT_EQ(manager.tasks().size(), 10u);
}

// A torn or empty file carries no length, which the probe then contradicts.
TEST_F(TaskManagerTest, UnreadableFilesStartOver) {
  for (const std::string& text : {std::string("<TaskInfo><Task><StartPos>0"), std::string("")}) {
    flowErrors_.clear();
    savePlanEdited({});
    std::ofstream(taskFile_, std::ios::binary) << text;
    CDownloadTaskManager manager(url_, target_, taskFile_);
    EXPECT_EQ(manager.loadDownloadTask(false, "", 0), DownloadOk);
    EXPECT_EQ(flowErrors_, std::vector<std::string>{"DL025"});
    EXPECT_EQ(manager.tasks().size(), 2u);
  }
}

// The rest of a running slice goes to helpers; the task file keeps the
// planned layout and counts the slice complete only when every part is.
TEST_F(TaskManagerTest, SplitSlicesKeepThePlannedLayoutInTheTaskFile) {
  RunState::Shared().SetCachedValue(url_, 10485760);
  CDownloadTaskManager manager(url_, target_, taskFile_);
  ASSERT_EQ(manager.generateDownloadTask(false, "", 0), DownloadOk);
  std::ofstream(target_).close();
  std::filesystem::resize_file(target_, 10485760);
  CTask* slice = manager.getOneTaskTodo();
  slice->DownloadedPos = 1048576;
  CTask* farSlice = manager.splitTask(slice);
  CTask* nearSlice = manager.splitTask(slice);
  ASSERT_TRUE(farSlice && nearSlice);
  EXPECT_EQ(farSlice->StartPos, 2621440);
  EXPECT_EQ(farSlice->lastByte(), 4194303);
  EXPECT_EQ(nearSlice->StartPos, 1835008);
  EXPECT_EQ(nearSlice->lastByte(), 2621439);
  EXPECT_EQ(slice->remainingBytes(), 786432);
  EXPECT_EQ(manager.todoTasks().front(), nearSlice);
  nearSlice->DownloadedPos = 2359296;  // now too close to its end to split
  EXPECT_EQ(manager.splitTask(nearSlice), nullptr);

  auto reload = [&] {
    manager.saveTaskToFile();
    CDownloadTaskManager loaded(url_, target_, taskFile_);
    EXPECT_EQ(loaded.loadDownloadTask(false, "", 0), DownloadOk);
    return std::make_pair(loaded.tasks()[0]->DownloadedPos.load(), loaded.doneTasks().size());
  };
  EXPECT_EQ(reload(), std::make_pair(int64_t{1048576}, size_t{0}));
  slice->DownloadedPos = 1835008;
  slice->TaskStatus = CTask::kComplete;
  nearSlice->DownloadedPos = 2621440;
  EXPECT_EQ(reload(), std::make_pair(int64_t{1835008}, size_t{0}));  // farSlice still runs
  farSlice->DownloadedPos = 4194304;
  EXPECT_EQ(reload(), std::make_pair(int64_t{4194304}, size_t{1}));
  EXPECT_TRUE(flowErrors_.empty());
}

// Task files a user or another program may have written: more tasks than a
// plan makes, positions near INT64_MAX, thousands of one-byte tasks that
// all claim to be the first, a file too big to read. None is loaded beyond
// the bounds, each starts over with a fresh plan.
TEST_F(TaskManagerTest, HostileTaskFilesStartOver) {
  const auto oneByteTasks = [](int count) {
    std::string tasks;
    for (int i = 0; i < count; ++i)
      tasks += "<Task><StartPos>" + std::to_string(i) + "</StartPos><EndPos>" + std::to_string(i) +
               "</EndPos><DownloadedPos>" + std::to_string(i) + "</DownloadedPos><TaskId>1</TaskId></Task>";
    return tasks;
  };
  // Slices that cover the file without a gap, each with TaskId 1.
  const auto firstTasks = [](int count) {
    const int64_t size = 10485760 / count;
    std::string tasks;
    for (int64_t i = 0; i < count; ++i)
      tasks += "<Task><StartPos>" + std::to_string(i * size) + "</StartPos><EndPos>" +
               std::to_string(i + 1 == count ? 10485760 : (i + 1) * size - 1) + "</EndPos><DownloadedPos>" +
               std::to_string(i * size) + "</DownloadedPos><TaskId>1</TaskId></Task>";
    return tasks;
  };
  const std::string head = "<TaskInfo><TasksCount>2</TasksCount><ContentLength>10485760</ContentLength>";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"5000 tasks", head + oneByteTasks(5000) + "</TaskInfo>"},
      {"4000 tasks that all claim to be the first", head + firstTasks(4000) + "</TaskInfo>"},
      {"INT64_MAX", head + "<Task><StartPos>0</StartPos><EndPos>9223372036854775807</EndPos>"
                           "<DownloadedPos>9223372036854775807</DownloadedPos><TaskStatus>1</TaskStatus>"
                           "<TaskId>1</TaskId></Task></TaskInfo>"},
      {"negative", head + "<Task><StartPos>-4194304</StartPos><EndPos>-1</EndPos><TaskId>1</TaskId></Task>"
                          "<Task><StartPos>0</StartPos><EndPos>10485760</EndPos><TaskId>2</TaskId></Task></TaskInfo>"},
      {"9 MiB", head + std::string(9 << 20, ' ') + "</TaskInfo>"},
  };
  for (const auto& [what, text] : files) {
    flowErrors_.clear();
    savePlan(10485760);
    std::ofstream(taskFile_, std::ios::binary) << text;
    CDownloadTaskManager manager(url_, target_, taskFile_);
    ASSERT_EQ(manager.loadDownloadTask(false, "", 0), DownloadOk) << what;
    ASSERT_EQ(flowErrors_.size(), 1u) << what;
    EXPECT_TRUE(flowErrors_[0] == "DL025" || flowErrors_[0] == "DL026") << what << " " << flowErrors_[0];
    ASSERT_EQ(manager.tasks().size(), 2u) << what;
    EXPECT_EQ(manager.tasks()[1]->EndPos, 10485760) << what;
    EXPECT_EQ(manager.tasks()[0]->DownloadedPos.load(), 0) << what;
  }
}

// A target that lost bytes the task file counts (deleted by a clean-up,
// cut by another program) makes the download start over: the task file
// would otherwise call missing bytes done.
TEST_F(TaskManagerTest, TargetWithoutTheClaimedBytesStartsOver) {
  const std::vector<std::pair<std::string, std::string>> done = {
      {"<DownloadedPos>0</DownloadedPos>", "<DownloadedPos>4194304</DownloadedPos>"},
      {"<TaskStatus>0</TaskStatus>", "<TaskStatus>1</TaskStatus>"}};
  for (const int64_t size : {int64_t{-1}, int64_t{4194303}, int64_t{4194304}}) {
    flowErrors_.clear();
    savePlanEdited(done);
    if (size < 0) std::filesystem::remove(target_);
    else std::filesystem::resize_file(target_, static_cast<uintmax_t>(size));
    CDownloadTaskManager manager(url_, target_, taskFile_);
    ASSERT_EQ(manager.loadDownloadTask(false, "", 0), DownloadOk);
    const bool kept = size == 4194304;
    EXPECT_EQ(flowErrors_, kept ? std::vector<std::string>{} : std::vector<std::string>{"DL026"}) << size;
    EXPECT_EQ(manager.doneTasks().size(), kept ? 1u : 0u) << size;
  }
}

// A resumed task asks this run's address (the probe's redirect target),
// never the one the file names, and carries the file's validator; a
// validator that could not travel in a header is none.
TEST_F(TaskManagerTest, ResumedTasksTakeThisRunsAddressAndTheFilesValidator) {
  for (const std::string& validator : {std::string("\"5f1-a00000\""), std::string(201, 'v'), std::string("a\tb")}) {
    savePlanEdited({{".bin</RemotePath>", ".bin?old</RemotePath>"},
                    {"<DownloadTime>0</DownloadTime>", "<DownloadTime>0</DownloadTime><Validator>" + validator + "</Validator>"}});
    CDownloadTaskManager manager(url_, target_, taskFile_);
    ASSERT_EQ(manager.loadDownloadTask(false, "", 0), DownloadOk);
    const std::string kept = validator.size() < 20 && validator.find('\t') == std::string::npos ? validator : "";
    EXPECT_EQ(manager.Validator, kept);
    for (const auto& task : manager.tasks()) {
      EXPECT_EQ(task->RemotePath, url_);
      EXPECT_EQ(task->Validator, kept);
    }
    manager.saveTaskToFile();
    EXPECT_EQ(taskFileText().find("?old"), std::string::npos);
    EXPECT_EQ(taskFileText().find("<Validator>") != std::string::npos, !kept.empty());
  }
  EXPECT_TRUE(flowErrors_.empty());
}

// The target's bytes reach the device before the task file claims them:
// the flush comes after the progress is read (a block written meanwhile is
// not claimed), and a failed flush leaves the old task file.
TEST_F(TaskManagerTest, SaveFlushesTheTargetBeforeClaimingItsBytes) {
  savePlan(10485760);
  const std::string before = taskFileText();
  CDownloadTaskManager manager(url_, target_, taskFile_);
  ASSERT_EQ(manager.loadDownloadTask(false, "", 0), DownloadOk);
  CTask& first = *manager.tasks()[0];
  first.DownloadedPos = 1000;
  manager.saveTaskToFile([&first] {
    first.DownloadedPos = 2000;  // written after the progress was read
    return true;
  });
  EXPECT_NE(taskFileText().find("<DownloadedPos>1000</DownloadedPos>"), std::string::npos);
  const std::string saved = taskFileText();
  manager.saveTaskToFile([] { return false; });
  EXPECT_EQ(taskFileText(), saved);
  EXPECT_NE(saved, before);
}
