// The reporting SDK's settings record: one per process, created on first use
// and alive until the process ends. Init, SetToolsInfo and SetExtraCommon
// fill it; every event reads its common fields from it.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "EventRecord.h"

class CManagement {
 public:
  static CManagement& Get();
  virtual ~CManagement();

  // The data folder of a main product id (APPDATA\RIDereDideriZOZ\<id>),
  // creating it with its "backup" and "logs" folders.
  std::wstring PrepareDataFolder(int32_t mainPid) const;
  // Closes an open log and opens the day's log of the main product id;
  // logging stays off when it cannot be opened.
  void OpenLog(int32_t mainPid);

  // Copies the JSON object's members, except the reserved identity names,
  // into the extra common. -1 for a text shorter than 2 bytes, else 0.
  int SetExtraCommon(const std::string& json);
  Json::Value ExtraCommon() const;
  // Looked up on first use and cached once it is not empty.
  std::string CrossEndId();
  // The common fields of an event built now.
  EventCommon Common();

  // Written by Init and SetToolsInfo on the main thread before events flow.
  int32_t type = 0, mainPid = 0, pid = 0, downloaderId = 0, kitType = 0;
  std::string product, productVersion, email, phone, toolsLang, toolsVersion;
  std::string sessionId, uid, os, osVersion, mac, brand, model, userId;

  // Fixed at construction.
  const std::wstring& InstallerDir() const { return installerDir_; }
  bool IsTestEnv() const { return testEnv_; }

  CManagement(const CManagement&) = delete;
  CManagement& operator=(const CManagement&) = delete;

 private:
  CManagement();

  std::wstring installerDir_;  // with a trailing separator
  bool testEnv_ = false;

  mutable std::mutex sharedLock_;  // extra common and cross-end id
  Json::Value extraCommon_;
  std::string crossEndId_;
};
