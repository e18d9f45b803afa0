// The installer stand-in: a small program of ours in the place of the
// product's real Inno Setup installer, for tests and the demo.
//
// As an installer it takes the switches Setup gives a package
//   /VERYSILENT /SP- /NORESTART /DIR="folder\" /LANG=code /LOG="file" <extra>
// split as Inno Setup splits its command line (quotation marks group and are
// dropped, a backslash is an ordinary character), installs the demo product
// "Quenlo" into the /DIR folder - its main executable (a copy of this
// program) under the product's process name, and the uninstall record
// HKLM "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{Quenlo}_is1"
// with "Inno Setup: Language" (the file-backed store on posix; a 32-bit copy
// on 64-bit Windows lands under WOW6432Node, as Inno Setup's does) - and
// writes its own log at /LOG. The environment shapes a run:
//   STANDIN_SECONDS       how long installing takes (default 3)
//   STANDIN_MODE          ok (default), fail (exit code 1), hang (never ends),
//                         crash (aborts); the faults strike once the time is up
//   STANDIN_PROCESS_NAME  the product's process name ("Quenlo PDF Editor.exe")
//
// Started under the process name, it is the demo product: it adds a line to
// "quenlo-runs.txt" beside itself and shows that it runs (a window on
// Windows) for STANDIN_PRODUCT_SECONDS (Windows: until closed when unset).
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "tools/standin/Standin.h"

namespace {

constexpr wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Quenlo}_is1";
constexpr wchar_t kDefaultProcessName[] = L"Quenlo PDF Editor.exe";
constexpr char kRunsFile[] = "quenlo-runs.txt";

struct Switches {
  std::wstring dir, lang, log;
  std::vector<std::wstring> others;  // /VERYSILENT and the like, and the extra argument
};

std::wstring Env(const wchar_t* name, const std::wstring& fallback) {
  bool found = false;
  const std::wstring value = platform::System().GetEnv(name, &found);
  return found && !value.empty() ? value : fallback;
}

int EnvInt(const wchar_t* name, int fallback) {
  const std::wstring value = Env(name, L"");
  return value.empty() ? fallback : std::atoi(platform::WideToUtf8(value).c_str());
}

// Inno Setup's (Delphi's) splitting: blanks separate, quotation marks toggle
// a quoted run and are dropped, backslashes are kept.
std::vector<std::wstring> Tokens(const std::wstring& line) {
  std::vector<std::wstring> tokens;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] <= L' ') ++i;
    if (i == line.size()) break;
    std::wstring token;
    bool quoted = false;
    for (; i < line.size() && (quoted || line[i] > L' '); ++i) {
      if (line[i] == L'"') quoted = !quoted;
      else token += line[i];
    }
    tokens.push_back(token);
  }
  return tokens;
}

// The value of a switch such as /DIR= (the name in any letter case).
bool TakeValue(const std::wstring& token, const std::wstring& name, std::wstring* value) {
  if (token.size() < name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (static_cast<wchar_t>(std::towupper(token[i])) != name[i]) return false;
  *value = token.substr(name.size());
  return true;
}

Switches ParseSwitches(const std::vector<std::wstring>& tokens) {
  Switches switches;
  for (const std::wstring& token : tokens) {
    if (!TakeValue(token, L"/DIR=", &switches.dir) && !TakeValue(token, L"/LANG=", &switches.lang) &&
        !TakeValue(token, L"/LOG=", &switches.log))
      switches.others.push_back(token);
  }
  return switches;
}

// A path given with either separator, as the platform writes it, without
// trailing separators (a drive root keeps its own).
std::filesystem::path NativeFolder(std::wstring folder) {
  for (wchar_t& c : folder)
    if (c == L'\\' || c == L'/') c = platform::kPathSep;
  while (folder.size() > 3 && folder.back() == platform::kPathSep) folder.pop_back();
  return std::filesystem::path(folder);
}

class SetupLog {
 public:
  explicit SetupLog(const std::wstring& file) {
    if (!file.empty()) out_.open(NativeFolder(file), std::ios::app);
  }
  void Line(const std::wstring& text) {
    const platform::LocalTime t = platform::System().Now();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d   ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    out_ << stamp << platform::WideToUtf8(text) << std::endl;
  }

 private:
  std::ofstream out_;
};

void Sleep(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// The product's files and its uninstall record; false when a file cannot be written.
bool Install(const std::filesystem::path& dir, const std::wstring& self, const std::wstring& processName,
             const std::wstring& lang, SetupLog& log) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  const std::filesystem::path target = dir / processName;
  // An earlier install's copy goes first: on Windows, libstdc++'s copy_file
  // takes any existing target for the source itself (no inode numbers) and
  // refuses to overwrite it ("File exists").
  std::filesystem::remove(target, error);
  std::filesystem::copy_file(std::filesystem::path(self), target, error);
  if (error) {
    log.Line(L"Error copying " + target.wstring() + L": " + platform::Utf8ToWide(error.message()));
    return false;
  }
  log.Line(L"Installed " + target.wstring());
  platform::ISystem& system = platform::System();
  const std::wstring folder = dir.wstring();
  system.RegWriteString(kUninstallKey, L"DisplayName", L"Quenlo PDF Editor");
  system.RegWriteString(kUninstallKey, L"DisplayVersion", L"1.0");
  system.RegWriteString(kUninstallKey, L"InstallLocation", folder + platform::kPathSep);
  system.RegWriteString(kUninstallKey, L"Inno Setup: App Path", folder);
  system.RegWriteString(kUninstallKey, L"Inno Setup: Language", lang);
  return true;
}

int RunInstaller(const std::wstring& commandLine, const std::wstring& self, const std::wstring& processName) {
  const Switches switches = ParseSwitches(Tokens(commandLine));
  SetupLog log(switches.log);
  log.Line(L"Setup version: Quenlo installer stand-in");
  log.Line(L"Original Setup EXE: " + self);
  log.Line(L"Setup command line: " + commandLine);
  for (const std::wstring& other : switches.others) log.Line(L"Switch: " + other);
  if (switches.dir.empty()) {
    log.Line(L"No /DIR= given: nothing to install into.");
    return 2;
  }
  const std::filesystem::path dir = NativeFolder(switches.dir);
  log.Line(L"Dest dir: " + dir.wstring());
  log.Line(L"Language: " + switches.lang);
  const int seconds = EnvInt(L"STANDIN_SECONDS", 3);
  for (int second = 0; second < seconds; ++second) {
    log.Line(L"Installing: " + std::to_wstring(second * 100 / seconds) + L"%");
    Sleep(1000);
  }
  const std::wstring mode = Env(L"STANDIN_MODE", L"ok");
  if (mode == L"hang") {
    log.Line(L"Fault mode hang: never ending.");
    for (;;) Sleep(1000);
  }
  if (mode == L"crash") {
    log.Line(L"Fault mode crash: aborting.");
    std::abort();
  }
  if (mode == L"fail" || !Install(dir, self, processName, switches.lang, log)) {
    log.Line(L"Installation process failed.");
    return 1;
  }
  log.Line(L"Installation process succeeded.");
  return 0;
}

int RunProduct(const std::filesystem::path& self) {
  const std::wstring line = L"Quenlo PDF Editor started: " + self.wstring();
  std::ofstream(self.parent_path() / kRunsFile, std::ios::app) << platform::WideToUtf8(line) << std::endl;
  standin::ShowProductRunning(L"Quenlo PDF Editor is running.", EnvInt(L"STANDIN_PRODUCT_SECONDS", -1));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_CTYPE, "");
  const std::wstring self = platform::RealSystem().ModulePath();
  const std::wstring processName = Env(L"STANDIN_PROCESS_NAME", kDefaultProcessName);
  if (std::filesystem::path(self).filename().wstring() == processName) return RunProduct(self);
  return RunInstaller(standin::RawCommandLine(argc, argv), self, processName);
}
