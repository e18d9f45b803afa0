// The posix stand-in for APPDATA: the variable itself, else the XDG folder.
#include <gtest/gtest.h>

#include "unit/FakeSystem.h"
#include "platform/Platform.h"

namespace {

TEST(AppDataFolder, PrefersAppDataThenXdgThenHome) {
  FakeSystem fake;
  FakeSystemGuard guard(fake);
  fake.SetEnv(L"APPDATA", L"/tmp/appdata");
  fake.SetEnv(L"XDG_DATA_HOME", L"/tmp/xdg");
  fake.SetEnv(L"HOME", L"/home/u");
  EXPECT_EQ(platform::AppDataFolder(), L"/tmp/appdata");
  fake.SetEnv(L"APPDATA", L"");
  EXPECT_EQ(platform::AppDataFolder(), L"");
  fake.UnsetEnv(L"APPDATA");
  EXPECT_EQ(platform::AppDataFolder(), L"/tmp/xdg");
  fake.SetEnv(L"XDG_DATA_HOME", L"");
  EXPECT_EQ(platform::AppDataFolder(), L"/home/u/.local/share");
  fake.UnsetEnv(L"XDG_DATA_HOME");
  fake.UnsetEnv(L"HOME");
  EXPECT_EQ(platform::AppDataFolder(), L"");
}

}  // namespace
