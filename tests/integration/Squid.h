// Debian's squid as a child process on 127.0.0.1 that asks every client for
// NTLM, as corporate proxies do, with squid's own ntlm_fake_auth helper:
// any password passes, and users whose name begins with "installer" are
// let through while any other is refused (407 again). Nothing is cached
// and every request is logged with its user.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "integration/Nginx.h"  // FreePort, Accepts

class Squid {
 public:
  explicit Squid(const std::filesystem::path& folder) : folder_(folder), port_(nginx_test::FreePort()) {
    std::filesystem::create_directories(folder);
    // squid drops its rights to the "proxy" user, who must write here.
    chmod(folder.c_str(), 0777);
    const std::string dir = folder.string();
    std::ofstream(folder / "squid.conf")
        << "http_port 127.0.0.1:" << port_ << "\npid_filename " << dir << "/squid.pid\n"
        << "access_log stdio:" << dir << "/access.log squid\ncache_log " << dir << "/cache.log\n"
        << "cache_store_log none\ncache deny all\ncoredump_dir " << dir << "\n"
        << "shutdown_lifetime 0 seconds\npinger_enable off\nstrip_query_terms off\n"
        << "auth_param ntlm program /usr/lib/squid/ntlm_fake_auth -S\nauth_param ntlm children 4\n"
        << "acl users proxy_auth_regex ^installer\nhttp_access deny !users\nhttp_access allow users\n";
    squid_.Start({"squid", "-N", "-f", dir + "/squid.conf"});
    for (int attempt = 0; attempt < 200 && !nginx_test::Accepts(port_); ++attempt)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(nginx_test::Accepts(port_)) << "squid did not start (is it installed?)";
  }
  Squid(const Squid&) = delete;
  Squid& operator=(const Squid&) = delete;

  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  // The proxy setting that authenticates as `user` (any password).
  std::string Url(const std::string& user) const { return "http://" + user + ":pw@" + Address(); }

  struct Entry {
    std::string result;  // "TCP_MISS/200", "TCP_DENIED/407", ...
    std::string method, url, user;
    // Neither refused nor a connection that ended before a request.
    bool Relayed() const { return result.rfind("TCP_DENIED", 0) != 0 && result.rfind("NONE", 0) != 0; }
  };
  // The requests squid has logged, oldest first. Squid writes its log as
  // it goes; a request is logged when it ends.
  std::vector<Entry> Log() const {
    std::vector<Entry> entries;
    std::ifstream in(folder_ / "access.log");
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      std::string time, elapsed, client, bytes;
      Entry entry;
      fields >> time >> elapsed >> client >> entry.result >> bytes >> entry.method >> entry.url >> entry.user;
      entries.push_back(entry);
    }
    return entries;
  }

 private:
  std::filesystem::path folder_;
  int port_;
  nginx_test::ChildProgram squid_;
};
