// Debian's tinyproxy as a child process on 127.0.0.1, with a configuration
// of the test's own: clients from loopback only, no ConnectPort line (so
// CONNECT reaches any port, as the loopback services need), every request
// logged, and basic authentication when a user is given.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "integration/Nginx.h"  // FreePort, Accepts

class Tinyproxy {
 public:
  Tinyproxy(const std::filesystem::path& folder, const std::string& user = "", const std::string& password = "")
      : log_(folder / "tinyproxy.log"), port_(nginx_test::FreePort()) {
    std::filesystem::create_directories(folder);
    const std::filesystem::path config = folder / "tinyproxy.conf";
    std::ofstream(config) << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 20\nMaxClients 50\n"
                          << "Allow 127.0.0.1\nLogLevel Info\nLogFile \"" << log_.string() << "\"\n"
                          << (user.empty() ? "" : "BasicAuth " + user + " " + password + "\n");
    credentials_ = user.empty() ? "" : user + ":" + password + "@";
    tinyproxy_.Start({"tinyproxy", "-d", "-c", config.string()});
    EXPECT_TRUE(WaitForPort()) << "tinyproxy did not start (is it installed?)";
  }
  Tinyproxy(const Tinyproxy&) = delete;
  Tinyproxy& operator=(const Tinyproxy&) = delete;

  // "127.0.0.1:port".
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  // The proxy setting that reaches it: "http://[user:password@]127.0.0.1:port".
  std::string Url() const { return "http://" + credentials_ + Address(); }
  // The request lines it received, oldest first ("GET http://… HTTP/1.1",
  // "CONNECT 127.0.0.1:443 HTTP/1.1"), refused ones included.
  std::vector<std::string> Requests() const {
    static const std::string kMark = "Request (file descriptor ";
    std::vector<std::string> requests;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);) {
      const size_t at = line.find(kMark);
      if (at != std::string::npos) requests.push_back(line.substr(line.find("): ", at) + 3));
    }
    return requests;
  }

 private:
  bool WaitForPort() const {
    for (int attempt = 0; attempt < 100 && !nginx_test::Accepts(port_); ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nginx_test::Accepts(port_);
  }

  std::filesystem::path log_;
  int port_;
  std::string credentials_;
  nginx_test::ChildProgram tinyproxy_;
};
