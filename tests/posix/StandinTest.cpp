// The installer stand-in as Setup runs it on Linux: the signed package from
// the build passes the built-in signature check, takes the command line Setup
// builds (one argument, quoted folders ending in "\"), installs the demo
// product with its uninstall record, and the product then runs. Its fault
// modes end the way tests of the install flow need them to.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "platform/posix/PosixRegistry.h"
#include "posix/SetupChild.h"
#include "system/FuntionImpl.h"
#include "unit/TempFolder.h"
#include "unit/WaitUntil.h"

namespace {

const std::filesystem::path kPackages = std::filesystem::path(SETUP_BIN_DIR) / "packages";
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Quenlo}_is1";

// A downloaded package: a copy in the test's folder, made executable.
std::filesystem::path Download(const TempFolder& folder, const std::string& name) {
  const std::filesystem::path package = folder.path() / "download" / name;
  std::filesystem::create_directories(package.parent_path());
  std::filesystem::copy_file(kPackages / name, package);
  std::filesystem::permissions(package, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
  return package;
}

std::string CommandLine(const std::filesystem::path& dir, const std::filesystem::path& log) {
  return " /VERYSILENT /SP- /NORESTART /DIR=\"" + dir.string() + "\\\" /LANG=jp /LOG=\"" + log.string() +
         "\" /EXTRA=quenlo_setup.exe";
}

TEST(Standin, InstallsTheDemoProductWhichThenRuns) {
  TempFolder folder;
  const std::filesystem::path package = Download(folder, "quenlo_setup.exe");
  EXPECT_TRUE(FuntionImpl::VerifyEmbeddedSignature(package.wstring().c_str()));

  const std::filesystem::path dir = folder.path() / "Program Files" / "Quenlo";
  const std::filesystem::path log = folder.path() / "logs" / "Quenlo_Setup.log";
  std::filesystem::create_directories(log.parent_path());
  SetupChild installer(folder.path());
  installer.SetEnv("STANDIN_SECONDS", "1");
  ASSERT_TRUE(installer.Start(package.string(), {CommandLine(dir, log)}, "installer.out"));
  ASSERT_EQ(installer.Wait(), 0) << installer.Output();

  const std::string logText = SetupChild::ReadFile(log);
  EXPECT_NE(logText.find("Dest dir: " + dir.string() + "\n"), std::string::npos) << logText;
  EXPECT_NE(logText.find("Language: jp\n"), std::string::npos) << logText;
  EXPECT_NE(logText.find("Installation process succeeded."), std::string::npos) << logText;
  const platform::posix::RegistryStore registry((folder.path() / "home/data/websetup/registry.ini").string());
  std::wstring language, location;
  EXPECT_TRUE(registry.Read(kUninstallKey, L"Inno Setup: Language", &language));
  EXPECT_EQ(language, L"jp");
  EXPECT_TRUE(registry.Read(kUninstallKey, L"InstallLocation", &location));
  EXPECT_EQ(location, dir.wstring() + L"/");

  const std::filesystem::path product = dir / "Quenlo PDF Editor.exe";
  SetupChild run(folder.path());
  ASSERT_TRUE(run.Start(product.string(), {}, "product.out"));
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_EQ(run.Output(), "Quenlo PDF Editor is running.\n");
  EXPECT_EQ(SetupChild::ReadFile(dir / "quenlo-runs.txt"), "Quenlo PDF Editor started: " + product.string() + "\n");
}

TEST(Standin, FaultModesFailCrashAndHang) {
  TempFolder folder;
  const std::filesystem::path package = Download(folder, "quenlo_setup.exe");
  const std::filesystem::path dir = folder.path() / "Quenlo";
  auto start = [&](SetupChild& installer, const std::string& mode) {
    installer.SetEnv("STANDIN_SECONDS", "0");
    installer.SetEnv("STANDIN_MODE", mode);
    return installer.Start(package.string(), {CommandLine(dir, folder.path() / (mode + ".log"))}, mode);
  };
  SetupChild fail(folder.path()), crash(folder.path()), hang(folder.path());
  ASSERT_TRUE(start(fail, "fail"));
  EXPECT_EQ(fail.Wait(), 1);
  ASSERT_TRUE(start(crash, "crash"));
  EXPECT_EQ(crash.Wait(), -1);
  EXPECT_EQ(crash.Signal(), SIGABRT);
  // Still running once it reached its fault; killed with its object.
  ASSERT_TRUE(start(hang, "hang"));
  EXPECT_TRUE(WaitUntil([&] {
    return SetupChild::ReadFile(folder.path() / "hang.log").find("Fault mode hang") != std::string::npos;
  })) << "the hang never began";
  EXPECT_TRUE(hang.Running());
  EXPECT_FALSE(std::filesystem::exists(dir / "Quenlo PDF Editor.exe"));
  EXPECT_NE(SetupChild::ReadFile(folder.path() / "crash.log").find("Fault mode crash"), std::string::npos);
}

TEST(Standin, TheBrokenPackageIsValidlySignedButNoProgram) {
  TempFolder folder;
  const std::filesystem::path package = Download(folder, "quenlo_broken.exe");
  EXPECT_TRUE(FuntionImpl::VerifyEmbeddedSignature(package.wstring().c_str()));
  SetupChild installer(folder.path());
  ASSERT_TRUE(installer.Start(package.string(), {CommandLine(folder.path() / "Quenlo", folder.path() / "x.log")},
                              "broken.out"));
  EXPECT_EQ(installer.Wait(), 127);  // execve refused it
}

}  // namespace
