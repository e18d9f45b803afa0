// The implementation of IWebLogNew. It holds no data of its own: the
// settings live in CManagement and the queue machinery in SdkRuntime, so
// destroying the object stops nothing.
#pragma once

#include "IWebLogNew.h"

class WebLog : public IWebLogNew {
 public:
  int32_t Init(int32_t type, int32_t mainPid, int32_t pid, const char* email, const char* phone,
               const char* product, const char* productVersion, const char* userId) override;
  int32_t SetToolsInfo(int32_t downloaderId, int32_t kitType, const char* toolsLang,
                       const char* toolsVersion) override;
  int32_t SetExtraCommon(const char* json) override;
  int32_t AddEvent(const char* json, int32_t wait) override;
  int32_t AddGa4Event(const char* params, int32_t wait) override;

  // The version the SDK reports in its log.
  static constexpr const char* kVersion = "1.0.0.13";

 private:
  // "-sendrestlogs": waits until the queue is delivered, then ends the process.
  [[noreturn]] static void SendRestLogsAndExit();
};
