#include "CManagement.h"

#include <algorithm>
#include <cctype>
#include <cwchar>
#include <sstream>
#include <set>

#include "IWebLogNew.h"
#include "SdkLog.h"
#include "base/AsciiText.h"
#include "base/JsonText.h"
#include "platform/DeviceIdentity.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/SharedFile.h"

namespace {

const wchar_t kDataFolderName[] = L"RIDereDideriZOZ";

// Drive and directory of a path, with the trailing separator.
std::wstring FolderOf(const std::wstring& path) {
  const size_t last = path.find_last_of(L"\\/");
  return last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
}

std::wstring FileNameOf(const std::wstring& path) { return path.substr(FolderOf(path).size()); }

// "test.wk" beside the program: [Configs] TestEnv as a non-zero number. Only
// builds made for tests read it: the shipped program runs from a folder any
// user can write, and always reports to the production collector.
#ifdef SETUP_TRUST_SWITCHES
bool ReadTestEnv(const std::wstring& installerDir) {
  const std::wstring file = installerDir + L"test.wk";
  if (!platform::FileExists(file)) return false;
  const std::wstring text = platform::IniReadString(file, L"Configs", L"TestEnv", L"");
  return std::wcstol(text.c_str(), nullptr, 10) != 0;
}
#else
bool ReadTestEnv(const std::wstring&) { return false; }
#endif

bool IsReservedName(const std::string& name) {
  static const std::set<std::string> reserved = {"session_id", "uid", "os", "os_version", "mac",
                                                 "brand", "model", "cross_end_id", "rnclid",
                                                 "source_type"};
  return reserved.count(AsciiLower(name)) != 0;
}

// A product names its cross-end id in "SP.dat" beside it: the first line of
// more than 4 characters with a "_" before its last ".".
std::string CrossEndIdFromSpFile(const std::wstring& installerDir) {
  std::string bytes, line;
  platform::ReadFileBytes(installerDir + L"SP.dat", &bytes);
  std::istringstream in(bytes);
  while (std::getline(in, line)) {
    line = line.substr(0, 255);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t underscore = line.rfind('_'), dot = line.rfind('.');
    if (line.size() <= 4 || underscore == std::string::npos || dot == std::string::npos || dot < underscore)
      continue;
    return platform::identity::IdBetweenUnderscoreAndDot(line);
  }
  return "";
}

}  // namespace

// Constructed before the runtime whose sender reads it, so destroyed after it.
CManagement& CManagement::Get() {
  static CManagement record;
  return record;
}

CManagement::CManagement()
    : installerDir_(FolderOf(platform::System().ModulePath())), testEnv_(ReadTestEnv(installerDir_)) {}

CManagement::~CManagement() = default;

std::wstring CManagement::PrepareDataFolder(int32_t id) const {
  const wchar_t sep = platform::kPathSep;
  const std::wstring root = platform::AppDataFolder() + sep + kDataFolderName;
  const std::wstring folder = root + sep + std::to_wstring(id);
  for (const std::wstring& path : {root, folder, folder + sep + L"backup", folder + sep + L"logs"})
    platform::CreateOneDirectory(path);
  return folder;
}

void CManagement::OpenLog(int32_t id) {
  const platform::LocalTime today = platform::System().Now();
  wchar_t name[32];
  std::swprintf(name, 32, L"%4d%02d%02d.log", today.year, today.month, today.day);
  const std::wstring path = PrepareDataFolder(id) + platform::kPathSep + L"logs" + platform::kPathSep + name;
  OpenSdkLog(path);
}

int CManagement::SetExtraCommon(const std::string& json) {
  if (json.size() < 2) return -1;
  std::string errors;
  const Json::Value parsed = JsonText::ParseObject(json, &errors);
  if (!errors.empty()) {
    WriteSdkLog("Extra common parse failed: %s", errors.c_str());
    return 0;
  }
  std::lock_guard<std::mutex> hold(sharedLock_);
  Json::Value merged = extraCommon_.isObject() ? extraCommon_ : Json::Value(Json::objectValue);
  bool copied = false;
  for (const std::string& name : parsed.getMemberNames()) {
    if (IsReservedName(name)) continue;
    merged[name] = parsed[name];
    copied = true;
  }
  if (copied) extraCommon_ = merged;
  return 0;
}

Json::Value CManagement::ExtraCommon() const {
  std::lock_guard<std::mutex> hold(sharedLock_);
  return extraCommon_;
}

std::string CManagement::CrossEndId() {
  std::lock_guard<std::mutex> hold(sharedLock_);
  if (!crossEndId_.empty()) return crossEndId_;
  if (type == kSdkTypeDownloader)
    crossEndId_ = platform::identity::IdBetweenUnderscoreAndDot(
        platform::WideToUtf8(FileNameOf(platform::System().ModulePath())));
  else if (type == kSdkTypeProduct)
    crossEndId_ = CrossEndIdFromSpFile(installerDir_);
  return crossEndId_;
}

EventCommon CManagement::Common() {
  EventCommon c;
  c.uid = uid;
  c.userId = userId;
  c.sessionId = sessionId;
  c.pid = type == kSdkTypeDownloader ? mainPid : pid;
  c.brand = brand;
  c.model = model;
  c.mac = mac;
  c.os = os;
  c.osVersion = osVersion;
  c.product = product;
  c.productVersion = productVersion;
  c.email = email;
  c.phone = phone;
  c.crossEndId = CrossEndId();
  c.sourceType = type == kSdkTypeProduct ? "product" : type == kSdkTypeDownloader ? "downloader" : "";
  c.toolsVersion = toolsVersion;
  c.toolsLang = toolsLang;
  c.kitType = kitType;
  c.downloaderId = downloaderId;
  c.extraCommon = ExtraCommon();
  return c;
}
