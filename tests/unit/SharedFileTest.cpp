// Files that several processes share: byte-range locks of two opens, and
// whole-file replacement.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "TempFolder.h"
#include "platform/SharedFile.h"

namespace {

using platform::OpenMode;

std::string ReadAll(platform::SharedFile& file) {
  std::string text(static_cast<size_t>(file.Size()), '\0');
  text.resize(file.ReadAt(0, &text[0], text.size()));
  return text;
}

TEST(SharedFile, RangeLocksOfTwoOpensExcludeEachOther) {
  TempFolder folder;
  const std::wstring path = (folder.path() / "shared.lock").wstring();
  std::unique_ptr<platform::SharedFile> one = platform::OpenSharedFile(path, OpenMode::kAlways);
  std::unique_ptr<platform::SharedFile> two = platform::OpenSharedFile(path, OpenMode::kExisting);
  ASSERT_TRUE(one && two);
  const int64_t far = int64_t(1) << 32;  // beyond the end of the file
  EXPECT_TRUE(one->LockRange(0, 8, false));
  EXPECT_FALSE(two->LockRange(4, 1, false));
  EXPECT_TRUE(two->LockRange(far, 1, false));
  EXPECT_FALSE(one->LockRange(far, 1, false));
  EXPECT_TRUE(one->WriteAt(0, "12345678", 8));  // the holder writes in its range
  one.reset();  // closing ends its locks
  EXPECT_TRUE(two->LockRange(0, 8, true));
  EXPECT_EQ(ReadAll(*two), "12345678");
}

// A failed replacement (here: a folder in the way) leaves nothing beside it.
TEST(SharedFile, ReplacedWholeOrNotAtAll) {
  TempFolder folder;
  const std::wstring path = (folder.path() / "queue.wk").wstring();
  EXPECT_FALSE(platform::OpenSharedFile(path, OpenMode::kExisting));
  ASSERT_TRUE(platform::ReplaceFileContent(path, "old"));
  ASSERT_TRUE(platform::ReplaceFileContent(path, "new content"));
  std::unique_ptr<platform::SharedFile> file = platform::OpenSharedFile(path, OpenMode::kExisting);
  ASSERT_TRUE(file);
  EXPECT_EQ(ReadAll(*file), "new content");
  EXPECT_TRUE(file->WriteAt(4, "CONTENT", 7) && file->Sync());
  EXPECT_EQ(ReadAll(*file), "new CONTENT");
  file.reset();
  std::filesystem::create_directory(folder.path() / "taken");
  EXPECT_FALSE(platform::ReplaceFileContent((folder.path() / "taken").wstring(), "x"));
  const std::filesystem::directory_iterator entries(folder.path()), end;
  EXPECT_EQ(std::distance(entries, end), 2);  // the file and the folder
}

}  // namespace
