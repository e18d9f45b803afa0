// Files and folders of the platform layer are never reached through a
// symbolic link, and the download folder is made of folders only this
// program may change: what a local user plants under APPDATA or at a drive
// root must not redirect an elevated write, nor be used as the download
// folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/SharedFile.h"
#include "signing/SignedFiles.h"
#include "system/FuntionImpl.h"
#include "unit/FakeSystem.h"
#include "unit/TempFolder.h"

namespace fs = std::filesystem;

namespace {

class NoFollow : public ::testing::Test {
 protected:
  NoFollow() {
    fs::create_directories(elsewhere_);
    std::ofstream(victim_) << "precious";
  }
  std::string Victim() const { return signing::ReadBytes(victim_); }

  TempFolder folder_;
  const fs::path elsewhere_ = folder_.path() / "elsewhere";
  const fs::path victim_ = elsewhere_ / "victim.txt";
};

// A link in the file's place: opening fails, renaming over it and deleting
// it replace or remove the link itself; the target stays as it was.
TEST_F(NoFollow, ALinkInTheFilesPlaceIsNeverFollowed) {
  const fs::path link = folder_.path() / "galog.json";
  fs::create_symlink(victim_, link);
  uint32_t error = 0;
  EXPECT_EQ(platform::OpenFile(link.wstring(), "w", &error), nullptr);
  EXPECT_EQ(error, platform::kErrorLinkRefused);
  EXPECT_EQ(platform::OpenFile(link.string(), "rb", &error), nullptr);
  EXPECT_EQ(platform::OpenSharedFile(link.wstring(), platform::OpenMode::kTruncate), nullptr);
  EXPECT_EQ(Victim(), "precious");

  EXPECT_TRUE(platform::ReplaceFileContent(link.wstring(), "{}"));
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_EQ(signing::ReadBytes(link), "{}");
  EXPECT_EQ(Victim(), "precious");

  fs::remove(link);
  fs::create_symlink(victim_, link);
  EXPECT_TRUE(platform::RemoveFile(link.wstring()));
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_EQ(Victim(), "precious");
}

// A link among the folders of the path: nothing is created, written or
// deleted through it.
TEST_F(NoFollow, ALinkedFolderOnThePathIsRefused) {
  const fs::path via = folder_.path() / "logs";
  fs::create_directory_symlink(elsewhere_, via);
  uint32_t error = 0;
  EXPECT_EQ(platform::OpenFile((via / "new.log").wstring(), "a", &error), nullptr);
  EXPECT_EQ(error, platform::kErrorLinkRefused);
  EXPECT_EQ(platform::CreateOneDirectory((via / "sub").wstring()), platform::kErrorLinkRefused);
  EXPECT_FALSE(platform::RemoveFile((via / "victim.txt").wstring(), &error));
  std::ofstream(folder_.path() / "x") << "planted over";
  EXPECT_FALSE(platform::RenameOver((folder_.path() / "x").wstring(), (via / "victim.txt").wstring()));
  EXPECT_FALSE(fs::exists(elsewhere_ / "new.log"));
  EXPECT_FALSE(fs::exists(elsewhere_ / "sub"));
  EXPECT_EQ(Victim(), "precious");
  // The same folder by its own path is fine.
  EXPECT_EQ(platform::CreateOneDirectory((elsewhere_ / "sub").wstring()), platform::kErrorSuccess);
}

// A second name of another file is not written (nor emptied by "w"), a
// FIFO does not hang the open; reading a hard-linked file is harmless.
TEST_F(NoFollow, HardLinksAndFifosAreNotWritten) {
  const fs::path hard = folder_.path() / "tempga.wk";
  fs::create_hard_link(victim_, hard);
  uint32_t error = 0;
  EXPECT_EQ(platform::OpenFile(hard.wstring(), "w", &error), nullptr);
  EXPECT_EQ(error, 1142u);  // ERROR_TOO_MANY_LINKS
  EXPECT_EQ(platform::OpenSharedFile(hard.wstring(), platform::OpenMode::kExisting), nullptr);
  EXPECT_EQ(Victim(), "precious");
  FILE* reader = platform::OpenFile(hard.wstring(), "rb", &error);
  EXPECT_NE(reader, nullptr);
  if (reader) std::fclose(reader);

  const fs::path fifo = folder_.path() / "setup.log";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(platform::OpenFile(fifo.wstring(), "a", &error), nullptr);
}

class PrivateFolder : public ::testing::Test {
 protected:
  // The drive root of the tests: a fake drive.
  PrivateFolder() { fake_.AddDrive(root_.wstring() + L"/", 1ull << 40); }

  static mode_t ModeOf(const fs::path& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
  }
  static uid_t OwnerOf(const fs::path& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? info.st_uid : static_cast<uid_t>(-1);
  }
  std::wstring Prepare(std::vector<std::string>* notes) {
    return FuntionImpl::PreparePrivateFolder((root_ / "RIVovaravizu" / "quenlo").wstring(), notes);
  }

  TempFolder folder_;
  const fs::path root_ = folder_.path();
  FakeSystem fake_;
  FakeSystemGuard guard_{fake_};
};

// Fresh folders are ours with mode 0700; on a later run they are used as
// they are, with what they hold.
TEST_F(PrivateFolder, EveryLevelIsCreatedPrivateAndReused) {
  std::vector<std::string> notes;
  const fs::path folder = Prepare(&notes);
  EXPECT_EQ(folder, root_ / "RIVovaravizu" / "quenlo");
  EXPECT_TRUE(notes.empty());
  for (const fs::path& level : {root_ / "RIVovaravizu", folder}) {
    EXPECT_EQ(ModeOf(level), 0700u) << level;
    EXPECT_EQ(OwnerOf(level), geteuid()) << level;
    EXPECT_EQ(platform::CheckPrivateFolder(level.wstring()), platform::FolderState::kPrivate);
  }
  std::ofstream(folder / "setup_1.0.exe") << "half a package";
  EXPECT_EQ(Prepare(&notes), folder);
  EXPECT_TRUE(notes.empty());
  EXPECT_TRUE(fs::exists(folder / "setup_1.0.exe"));
}

// Planted levels: a link is removed (its target left alone) and the folder
// made anew; an empty folder others may write is made anew; a folder of
// somebody else's that cannot be removed gives way to a fresh one beside
// it. Each is logged.
TEST_F(PrivateFolder, APlantedLevelIsNeverUsed) {
  const fs::path target = root_ / "target";
  fs::create_directories(target / "quenlo");
  fs::create_directory_symlink(target, root_ / "RIVovaravizu");
  std::vector<std::string> notes;
  const fs::path folder = Prepare(&notes);
  EXPECT_EQ(folder, root_ / "RIVovaravizu" / "quenlo");
  EXPECT_FALSE(fs::is_symlink(root_ / "RIVovaravizu"));
  EXPECT_EQ(ModeOf(root_ / "RIVovaravizu"), 0700u);
  EXPECT_TRUE(fs::exists(target / "quenlo"));
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("is a link, not used: removed and created anew"), std::string::npos) << notes[0];

  fs::remove(folder);
  fs::create_directory(folder);
  fs::permissions(folder, fs::perms::all);
  notes.clear();
  EXPECT_EQ(Prepare(&notes), folder);
  EXPECT_EQ(ModeOf(folder), 0700u);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("writable by somebody else"), std::string::npos) << notes[0];

  if (geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
  std::ofstream(folder / "setup_1.0.exe") << "planted";
  ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
  notes.clear();
  const fs::path fresh = Prepare(&notes);
  EXPECT_EQ(fresh, root_ / "RIVovaravizu" / "quenlo_1");
  EXPECT_EQ(OwnerOf(fresh), geteuid());
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("owned by somebody else, not used: a fresh folder beside it is tried"), std::string::npos)
      << notes[0];
}

}  // namespace
