// The download-configuration record: what to download and how. Filled from
// the configuration server's XML answer or, as the fallback, from the
// embedded product configuration. The main window owns it; the asynchronous
// fetch and the install worker fill it (fetchAsync, completeForInstall).
//
// One lock over the record keeps the two parses apart: the server answer is
// parsed and the embedded values are loaded under it, and the asynchronous
// fetch checks its abandon flag and parses in one step under it, so that once
// the install worker has abandoned the fetch nothing else writes the record.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "config/IConfigEntryReader.h"

class CConfigure {
 public:
  enum LoadState : int32_t { kNotLoaded = 1, kLoaded = 2 };
  enum Source : int32_t { kFromNothing = 0, kFromXml = 1, kFromFile = 2 };
  enum FetchResult : int { kNoNewAnswer = 0, kAnswerStored = 1 };
  enum ParseResult : int { kParseFailed = 0, kParsed = 1 };

  CConfigure(int32_t downloaderId, int32_t languageId, int32_t siteId);

  // The embedded values (the window's control reader). Resets the load
  // state and the download URL list; with `fillList` the record counts as
  // loaded from the file and the list is filled.
  void loadFromEmbedded(IConfigEntryReader& reader, bool fillList);
  // Queries the configuration server; kAnswerStored when an answer was
  // received and stored, kNoNewAnswer otherwise (also when one was stored
  // before).
  int getDownloadInfoXml(bool sync, bool cn);
  // Keeps the <Downloader>...</Downloader> part of a server body as the
  // answer; false when the body has none or an answer is already stored.
  bool storeAnswer(const std::string& body);
  // Parses the stored answer into the record: kParsed or kParseFailed.
  int readDownloadInfoFromXml();
  void printContent();

  // The asynchronous fetch started by the window. `handOver` runs after a
  // parse (it gives the product version and language to analytics).
  void fetchAsync(const std::function<void()>& handOver);
  // The install worker's start: abandons the asynchronous fetch, completes
  // the query and parse unless the record is loaded, falls back to the
  // embedded configuration, and logs the record.
  void completeForInstall(IConfigEntryReader& reader, const std::function<void()>& handOver);
  // The answer named no usable address: the record is unloaded, and the
  // next completeForInstall loads the embedded configuration rather than
  // the same answer again.
  void refuseAnswer();

  // Link table (language code -> privacy and licence URL) and its fallbacks.
  void setLinks(const std::string& code, const std::wstring& privacyUrl,
                const std::wstring& licenseUrl);
  void setFallbackLinks(const std::wstring& licenseUrl, const std::wstring& privacyUrl);
  std::wstring getLicenseUrl(const std::string& code);
  std::wstring getPrivacyUrl(const std::string& code);

  std::string getQueryUrl();

  // Read under the record's lock: the window asks while the asynchronous
  // fetch may still parse. The package size, only when the record holds
  // the server's answer (loaded, from the XML); the product's process name;
  // the software id.
  bool getServerFileSize(int64_t* size);
  std::wstring getProcessName();
  int32_t getSoftwareId();

  // Configuration hosts: the build's (scrambled in the program), or in builds
  // for tests the settings file's "ServiceHost", unless a test sets others
  // ("host" or "host:port"). The main host is asked first; a second query
  // (`cn`) tries the others in their order until one answers.
  struct Hosts {
    std::string main;
    std::vector<std::string> secondary;  // the main one again when the build names no other
  };
  static Hosts builtInHosts();
  // "main,other,..." as Hosts.
  static Hosts hostsOf(const std::string& list);
  void setHosts(const Hosts& hosts);

  // ---- the record ----
  std::atomic<int32_t> loadState{kNotLoaded};
  int32_t source = kFromNothing;
  int64_t fileSize = 0;
  int32_t downloaderId;
  int32_t softwareId = 0;
  int32_t siteId;
  int32_t languageId;
  int32_t downloaderType = 0;
  int32_t downloaderConfig = 0;
  int32_t sliceNum = 0;
  int32_t sliceSize = 0;
  int32_t additionalTime = 0;
  int32_t backRunning = 0;
  int32_t installTimeout = 240;
  int32_t connectTimeout = 3;
  int32_t transferTimeout = 20;
  std::wstring productName;
  std::wstring productVersion;
  std::wstring downloadUrl;
  std::wstring md5;
  std::wstring processName;
  std::wstring installUrl;
  std::wstring bannerUrl;
  std::wstring licenseFileUrl;
  std::wstring extraDownloadUrl;
  std::vector<std::wstring> downloadUrlList;  // no CDN addresses
  std::wstring md5Extra;
  std::wstring mirrorUrl;
  // "Sha256" of the answer: the package's SHA-256 (64 lower-case hex
  // digits), checked beside the MD5 when present. Optional: an answer
  // without it is checked by its MD5s alone; the embedded configuration
  // names none.
  std::wstring sha256;

 private:
  int readLocked();
  void fillDownloadUrlList();
  bool hasAnswer();
  bool queryHost(const std::string& host, bool sync, const char* label);

  std::mutex recordLock_;  // the parse, the embedded load, the answer, the abandon flag
  bool abandoned_ = false;  // set by the install worker for the asynchronous fetch
  bool answerRefused_ = false;  // refuseAnswer: the embedded configuration from now on
  std::string answer_;      // <Downloader>...</Downloader> of the last usable answer
  std::string queryUrl_;
  Hosts hosts_;

  std::mutex linkLock_;
  std::map<std::string, std::pair<std::wstring, std::wstring>> links_;  // privacy, licence
  std::wstring licenseUrl_;
  std::wstring privacyUrl_;
};
