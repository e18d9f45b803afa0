// The file-backed registry store of the Linux backend.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "system/FuntionImpl.h"
#include "platform/Platform.h"
#include "platform/posix/PosixRegistry.h"
#include "unit/TempFolder.h"

namespace {

using platform::posix::RegistryStore;

std::string StoreFile(const TempFolder& temp) { return (temp.path() / "store" / "registry.ini").string(); }

TEST(PosixRegistry, RoundTripAndReopen) {
  TempFolder temp;
  const std::string file = StoreFile(temp);
  std::wstring value;
  {
    RegistryStore store(file);
    EXPECT_FALSE(store.Read(L"SOFTWARE\\Vantrel", L"Lang", &value));  // no file yet
    EXPECT_TRUE(store.Write(L"SOFTWARE\\Vantrel", L"Lang", L"es"));
    EXPECT_TRUE(store.Write(L"SOFTWARE\\Vantrel", L"Path", L"/opt/vantrel"));
    EXPECT_TRUE(store.Write(L"SOFTWARE\\Other", L"Lang", L"de"));
    EXPECT_TRUE(store.Write(L"software\\VANTREL", L"lang", L"fr"));  // same value, other case
  }
  RegistryStore reopened(file);
  ASSERT_TRUE(reopened.Read(L"SOFTWARE\\Vantrel", L"Lang", &value));
  EXPECT_EQ(L"fr", value);
  ASSERT_TRUE(reopened.Read(L"Software\\Vantrel", L"PATH", &value));
  EXPECT_EQ(L"/opt/vantrel", value);
  ASSERT_TRUE(reopened.Read(L"SOFTWARE\\Other", L"Lang", &value));
  EXPECT_EQ(L"de", value);
  EXPECT_FALSE(reopened.Read(L"SOFTWARE\\Vantrel", L"Missing", &value));
  EXPECT_FALSE(reopened.Read(L"SOFTWARE\\Missing", L"Lang", &value));
  // No temporary files are left behind.
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(temp.path() / "store")) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(2u, files);  // the store and its lock file
}

TEST(PosixRegistry, AnyTextRoundTrips) {
  TempFolder temp;
  RegistryStore store(StoreFile(temp));
  const std::wstring key = L"SOFTWARE\\We]ird [key]\\%41";
  const std::vector<std::pair<std::wstring, std::wstring>> values = {
      {L"a=b", L"x=y"},
      {L"[section-like", L"line1\nline2\r\n"},
      {L";comment-like", L"%20 %%"},
      {L"", L"default value"},
      {L" spaced ", L"  both ends  "},
      {L"\u4E2D\u6587", L"\u00FC\u00DF \U0001F600"},
      {L"empty", L""},
  };
  for (const auto& [name, text] : values) ASSERT_TRUE(store.Write(key, name, text));
  RegistryStore reopened(StoreFile(temp));
  for (const auto& [name, text] : values) {
    std::wstring value = L"unset";
    ASSERT_TRUE(reopened.Read(key, name, &value)) << platform::WideToUtf8(name);
    EXPECT_EQ(text, value) << platform::WideToUtf8(name);
  }
}

TEST(PosixRegistry, ConcurrentWritersAcrossProcessesAndThreads) {
  TempFolder temp;
  const std::string file = StoreFile(temp);
  constexpr int kProcesses = 4, kThreads = 2, kWrites = 15;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      std::vector<std::thread> threads;
      std::vector<char> results(kThreads, 1);
      for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
          RegistryStore store(file);
          for (int i = 0; i < kWrites; ++i) {
            const std::wstring name = L"p" + std::to_wstring(p) + L"t" + std::to_wstring(t) +
                                      L"i" + std::to_wstring(i);
            if (!store.Write(L"SOFTWARE\\Concurrent", name, name + L"-value")) results[t] = 0;
          }
        });
      }
      for (auto& th : threads) th.join();
      for (char r : results) ok = ok && r;
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  RegistryStore store(file);
  for (int p = 0; p < kProcesses; ++p)
    for (int t = 0; t < kThreads; ++t)
      for (int i = 0; i < kWrites; ++i) {
        const std::wstring name = L"p" + std::to_wstring(p) + L"t" + std::to_wstring(t) + L"i" +
                                  std::to_wstring(i);
        std::wstring value;
        ASSERT_TRUE(store.Read(L"SOFTWARE\\Concurrent", name, &value)) << platform::WideToUtf8(name);
        EXPECT_EQ(name + L"-value", value);
      }
}

TEST(PosixRegistry, TheSystemStoreLivesUnderTheDataFolder) {
  TempFolder temp;
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  setenv("XDG_DATA_HOME", (temp.path() / "data").c_str(), 1);
  EXPECT_EQ((temp.path() / "data" / "websetup" / "registry.ini").string(), RegistryStore::DefaultPath());
  EXPECT_TRUE(FuntionImpl::WriteRegString(L"SOFTWARE\\Vantrel", L"Lang", L"ja"));
  EXPECT_TRUE(std::filesystem::exists(temp.path() / "data" / "websetup" / "registry.ini"));
  // Another process reads what this one wrote.
  pid_t pid = fork();
  if (pid == 0) _exit(FuntionImpl::ReadRegString(L"SOFTWARE\\Vantrel", L"Lang") == L"ja" ? 0 : 1);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(L"", FuntionImpl::ReadRegString(L"SOFTWARE\\Vantrel", L"Other"));
  // A multi-string value: its strings apart by NULs, an empty one among them.
  const std::wstring renames(L"/opt/a/x.so\0\0/opt/b/y.so\0/opt/b/z.so\0\0", 38);
  EXPECT_TRUE(RegistryStore::Default().Write(L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                             L"PendingFileRenameOperations", renames));
  EXPECT_TRUE(FuntionImpl::IsPendingRename(L"/opt/b"));
  EXPECT_FALSE(FuntionImpl::IsPendingRename(L"/opt/c"));
  // A key opens when it or a key beneath it holds a value.
  platform::ISystem& system = platform::RealSystem();
  EXPECT_TRUE(system.RegKeyOpens(L"software"));
  EXPECT_TRUE(system.RegKeyOpens(L"SOFTWARE\\Vantrel"));
  EXPECT_FALSE(system.RegKeyOpens(L"SOFTWARE\\Van"));
  // The current user's store is a file of its own beside it.
  EXPECT_TRUE(system.RegWriteUserString(L"Software\\Lumetta\\Clipwright", L"kCurrentLanguage", L"Chinese"));
  std::wstring value;
  EXPECT_TRUE(RegistryStore((temp.path() / "data" / "websetup" / "user-registry.ini").string())
                  .Read(L"Software\\Lumetta\\Clipwright", L"kCurrentLanguage", &value));
  EXPECT_EQ(value, L"Chinese");
  EXPECT_FALSE(system.RegKeyOpens(L"Software\\Lumetta"));
  if (saved) setenv("XDG_DATA_HOME", saved->c_str(), 1);
  else unsetenv("XDG_DATA_HOME");
}

}  // namespace
