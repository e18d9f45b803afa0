// The reporting SDK's only interface. The slot order of the virtual
// operations is part of the contract with its users; do not reorder.
// All texts are NUL-terminated UTF-8 and never null.
#pragma once

#include <cstdint>

#include "platform/Export.h"

// What kind of program hosts the SDK.
enum SdkType : int32_t {
  kSdkTypeProduct = 1,
  kSdkTypeDownloader = 2,
};

class IWebLogNew {
 public:
  // Slot 0: settings, identity, log, sender thread and the queue file's
  // backlog. Returns 0; in "-sendrestlogs" mode it ends the process instead.
  virtual int32_t Init(int32_t type, int32_t mainPid, int32_t pid, const char* email,
                       const char* phone, const char* product, const char* productVersion,
                       const char* userId) = 0;
  // Slot 1: returns 0.
  virtual int32_t SetToolsInfo(int32_t downloaderId, int32_t kitType, const char* toolsLang,
                               const char* toolsVersion) = 0;
  // Slot 2: -1 for a text shorter than 2 bytes, else 0.
  virtual int32_t SetExtraCommon(const char* json) = 0;
  // Slot 3: 0, -1 (repeat), -2 (waited delivery failed) or -99..-90 (invalid).
  virtual int32_t AddEvent(const char* json, int32_t wait) = 0;
  // Slot 4: 0, -1 or -2.
  virtual int32_t AddGa4Event(const char* params, int32_t wait) = 0;
  // Slot 5.
  virtual ~IWebLogNew() = default;
};

// The process-wide object, created on the first call.
extern "C" SETUP_EXPORT IWebLogNew* GetReportObj();
// Destroys the object and starts a hidden copy of the program with
// "-sendrestlogs" to deliver what is still queued.
extern "C" SETUP_EXPORT void DestroyReportObj();
