// The signed PE installer stand-in under Wine, started as Setup starts a
// package: CreateProcessW with the package as the program and a command line
// of switches alone. It installs the demo product with its uninstall record
// in HKLM, and the product then runs; the broken package is signed but does
// not start.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "system/FuntionImpl.h"
#include "WinTestUtil.h"

namespace {

constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Quenlo}_is1";

// Runs `program` with `commandLine` as CreateProcessW gets it; the exit code,
// or -1 when it does not start or end within a minute.
int RunProgram(const std::wstring& program, std::wstring commandLine, DWORD* startError = nullptr) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                      nullptr, nullptr, &startup, &process)) {
    if (startError) *startError = GetLastError();
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

std::string ReadText(const std::wstring& path) {
  std::ifstream in(path.c_str());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Win32Standin, InstallsTheDemoProductOverAnEarlierInstallAndItRuns) {
  const std::wstring package = wintest::ProgramFolder() + L"packages\\quenlo_setup.exe";
  EXPECT_TRUE(FuntionImpl::VerifyEmbeddedSignature(package.c_str()));

  wintest::WinTempFolder folder(L"Standin");
  const std::wstring dir = folder.path() + L"\\Program Files\\Quenlo";
  const std::wstring log = folder.path() + L"\\Quenlo_Setup.log";
  SetEnvironmentVariableW(L"STANDIN_SECONDS", L"0");
  SetEnvironmentVariableW(L"STANDIN_PRODUCT_SECONDS", L"1");
  const std::wstring switches =
      L" /VERYSILENT /SP- /NORESTART /DIR=\"" + dir + L"\\\" /LANG=zhcn /LOG=\"" + log + L"\" /EXTRA=null";
  EXPECT_EQ(RunProgram(package, switches), 0);
  // A second install over the first one's files succeeds too.
  EXPECT_EQ(RunProgram(package, switches), 0);
  const std::string logText = ReadText(log);
  EXPECT_NE(logText.find("Language: zhcn"), std::string::npos) << logText;
  EXPECT_NE(logText.find("Installation process succeeded."), std::string::npos) << logText;
  EXPECT_EQ(FuntionImpl::ReadRegString(kUninstallKey, L"Inno Setup: Language"), L"zhcn");
  EXPECT_EQ(FuntionImpl::ReadRegString(kUninstallKey, L"InstallLocation"), dir + L"\\");

  const std::wstring product = dir + L"\\Quenlo PDF Editor.exe";
  EXPECT_EQ(RunProgram(product, L"\"" + product + L"\""), 0);
  EXPECT_EQ(ReadText(dir + L"\\quenlo-runs.txt"),
            "Quenlo PDF Editor started: " + platform::WideToUtf8(product) + "\n");
  SetEnvironmentVariableW(L"STANDIN_SECONDS", nullptr);
  SetEnvironmentVariableW(L"STANDIN_PRODUCT_SECONDS", nullptr);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey);
}

TEST(Win32Standin, TheBrokenPackageIsValidlySignedButDoesNotStart) {
  const std::wstring package = wintest::ProgramFolder() + L"packages\\quenlo_broken.exe";
  EXPECT_TRUE(FuntionImpl::VerifyEmbeddedSignature(package.c_str()));
  DWORD error = 0;
  EXPECT_EQ(RunProgram(package, L" /VERYSILENT", &error), -1);
  EXPECT_NE(error, 0u);
}

}  // namespace
