// nginx on loopback for the integration tests, started with a generated
// configuration (its pid, temporary and log files in the given folder, in
// the foreground), serving the folder's "www" over HTTP/1.1 and over HTTPS
// with HTTP/2.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "integration/TestPki.h"

namespace nginx_test {

// A socket bound to a port of 127.0.0.1 that the system chose: *port.
inline int BoundSocket(int* port) {
  const int bound = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(bound, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(bound, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return bound;
}

inline int FreePort() {
  int port = 0;
  close(BoundSocket(&port));
  return port;
}

// A server that takes connections into its backlog and never answers.
inline int SilentListener(int* port) {
  const int listener = BoundSocket(port);
  listen(listener, 16);
  return listener;
}

inline bool Accepts(int port) {
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(client);
  return connected;
}

// A program run as the test's child until this goes, then stopped with
// SIGTERM and reaped. The program is looked up on PATH.
class ChildProgram {
 public:
  ChildProgram() = default;
  ~ChildProgram() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  void Start(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      execvp(args[0], args.data());
      _exit(127);
    }
  }

 private:
  pid_t pid_ = -1;
};

// nginx serving the folder `www` on an HTTP and an HTTPS (HTTP/2) port;
// `http` is added to the http block, `server` to both server blocks.
class Nginx {
 public:
  Nginx(const std::filesystem::path& folder, const TestPki::Pair& tls, const std::string& http = "",
        const std::string& server = "")
      : httpPort_(FreePort()), httpsPort_(FreePort()) {
    const std::string dir = folder.string();
    std::filesystem::create_directories(folder / "temp");
    std::ofstream(folder / "nginx.conf")
        << "daemon off;\nmaster_process off;\nuser root;\npid " << dir << "/nginx.pid;\n"
        << "error_log " << dir << "/error.log;\nevents { worker_connections 64; }\nhttp {\n"
        << "  access_log " << dir << "/access.log;\n"
        << "  client_body_temp_path " << dir << "/temp/body;\n  proxy_temp_path " << dir << "/temp/proxy;\n"
        << "  fastcgi_temp_path " << dir << "/temp/fastcgi;\n  uwsgi_temp_path " << dir << "/temp/uwsgi;\n"
        << "  scgi_temp_path " << dir << "/temp/scgi;\n" << http << "\n"
        << "  server { listen 127.0.0.1:" << httpPort_ << "; root " << dir << "/www;\n" << server << " }\n"
        << "  server { listen 127.0.0.1:" << httpsPort_ << " ssl http2; root " << dir << "/www;\n"
        << "    ssl_certificate " << tls.cert.string() << "; ssl_certificate_key " << tls.key.string()
        << ";\n" << server << " }\n}\n";
    nginx_.Start({"/usr/sbin/nginx", "-e", dir + "/error.log", "-p", dir, "-c", dir + "/nginx.conf"});
    for (int i = 0; i < 250 && !(Accepts(httpPort_) && Accepts(httpsPort_)); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  std::string Http(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(httpPort_) + path;
  }
  std::string Https(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(httpsPort_) + path;
  }

 private:
  int httpPort_, httpsPort_;
  ChildProgram nginx_;
};

}  // namespace nginx_test

using nginx_test::Nginx;
