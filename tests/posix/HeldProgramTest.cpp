// The held program file on Linux, where an open file can always be renamed:
// what is started is the file that was opened, whatever its path names by
// then; the running program holds its own image the same way.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/HeldProgram.h"
#include "platform/Platform.h"
#include "unit/TempFolder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadWhenThere(const fs::path& file) {
  for (int i = 0; i < 300 && !fs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(PosixHeldProgram, TheHeldFileStartsEvenAfterItsPathNamesAnother) {
  TempFolder folder;
  const fs::path program = folder.path() / "Setup";
  fs::copy_file("/bin/sh", program);
  const fs::path script = folder.path() / "job.sh";
  std::ofstream(script) << "echo held >\"$(dirname \"$0\")/ran.txt\"\n";
  std::unique_ptr<platform::HeldProgram> held = platform::HeldProgram::Open(program.wstring());
  ASSERT_TRUE(held);

  // Someone puts another file under the program's name.
  fs::rename(program, folder.path() / "Setup.old");
  std::ofstream(program) << "#!/bin/false\n";
  fs::permissions(program, fs::perms::owner_all);
  ASSERT_TRUE(held->Start(script.wstring(), false));
  EXPECT_EQ(ReadWhenThere(folder.path() / "ran.txt"), "held\n");
  EXPECT_FALSE(platform::HeldProgram::Open((folder.path() / "missing").wstring()));
}

// The running program's own image, even when its path is taken: the test
// program's image is this process's.
TEST(PosixHeldProgram, TheRunningProgramHoldsItsOwnImage) {
  ASSERT_TRUE(platform::HoldOwnProgram());
  ASSERT_NE(platform::OwnProgram(), nullptr);
  struct stat image {}, held {};
  ASSERT_EQ(stat("/proc/self/exe", &image), 0);
  ASSERT_EQ(stat(platform::WideToUtf8(platform::OwnProgram()->LaunchPath()).c_str(), &held), 0);
  EXPECT_EQ(image.st_ino, held.st_ino);
  EXPECT_EQ(image.st_dev, held.st_dev);
}

}  // namespace
