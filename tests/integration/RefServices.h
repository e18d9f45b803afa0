// Runs the reference services (services/, program "refservices") as a child
// process on 127.0.0.1 and talks to their control endpoints.
#pragma once

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

class RefServices {
 public:
  struct Options {  // what is left out is not served
    std::filesystem::path answers{}, files{}, data{};
    std::filesystem::path cert{}, key{};  // both set: HTTPS
  };

  explicit RefServices(const Options& options) : https_(!options.cert.empty()) {
    std::vector<std::string> args{std::string(SETUP_BIN_DIR) + "/refservices"};
    if (!options.answers.empty()) args.insert(args.end(), {"--answers", options.answers.string()});
    if (!options.files.empty()) args.insert(args.end(), {"--files", options.files.string()});
    if (!options.data.empty()) args.insert(args.end(), {"--data", options.data.string()});
    if (https_) args.insert(args.end(), {"--https", options.cert.string(), options.key.string()});
    Start(args);
  }
  ~RefServices() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (output_) std::fclose(output_);
  }
  RefServices(const RefServices&) = delete;
  RefServices& operator=(const RefServices&) = delete;

  int port() const { return port_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string Url(const std::string& path) const {
    return std::string(https_ ? "https://" : "http://") + host() + path;
  }

  // POST to a control endpoint (certificate checks off: the fixture's own peer).
  void Control(const std::string& pathAndQuery) const { Send(Url(pathAndQuery), true); }
  // The requests recorded so far, oldest first.
  Json::Value Requests() const { return GetJson("/_control/requests"); }
  void ClearRequests() const { Control("/_control/requests/clear"); }
  // The alert service's error reports so far, oldest first: {body, form}.
  Json::Value AlertReports() const { return GetJson("/_control/alert/reports"); }
  // The log collection service's uploads so far, oldest first: {accepted,
  // problem, fileName, product_id, version, catalogue, entries}.
  Json::Value LogUploads() const { return GetJson("/_control/logupload/received"); }

 private:
  void Start(const std::vector<std::string>& args) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipeFds[1], STDOUT_FILENO);
      close(pipeFds[0]);
      close(pipeFds[1]);
      std::vector<char*> argv;
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(pipeFds[1]);
    output_ = fdopen(pipeFds[0], "r");
    ASSERT_EQ(std::fscanf(output_, "PORT %d", &port_), 1) << "refservices did not start";
  }

  Json::Value GetJson(const std::string& path) const {
    Json::Value value;
    std::istringstream text(Send(Url(path), false));
    Json::CharReaderBuilder builder;
    std::string errors;
    EXPECT_TRUE(Json::parseFromStream(builder, text, &value, &errors)) << errors;
    return value;
  }

  static size_t Collect(char* data, size_t size, size_t count, void* text) {
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
  }
  static std::string Send(const std::string& url, bool post) {
    std::string answer;
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    if (post) curl_easy_setopt(handle, CURLOPT_POSTFIELDS, "");
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(handle, CURLOPT_PROXY, "");  // the fixture talks to its services directly
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &answer);
    EXPECT_EQ(curl_easy_perform(handle), CURLE_OK) << url;
    curl_easy_cleanup(handle);
    return answer;
  }

  bool https_;
  pid_t pid_ = -1;
  FILE* output_ = nullptr;
  int port_ = 0;
};
