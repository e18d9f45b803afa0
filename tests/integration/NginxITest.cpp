// Slices from a production web server: nginx on loopback, started by the
// test with a generated configuration (its pid, temporary and log files in the
// test's folder, in the foreground), over HTTP/1.1 and over HTTPS with HTTP/2.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "CLibcurlTool.h"
#include "integration/TestPki.h"
#include "integration/TestSettings.h"
#include "unit/LogCapture.h"
#include "unit/SliceDownload.h"
#include "unit/TempFolder.h"

namespace {

constexpr int64_t kFileSize = 3 * 1048576 + 12345;

int FreePort() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  close(probe);
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(client);
  return connected;
}

// nginx serving the folder `www` on an HTTP and an HTTPS (HTTP/2) port.
class Nginx {
 public:
  Nginx(const std::filesystem::path& folder, const TestPki::Pair& tls)
      : httpPort_(FreePort()), httpsPort_(FreePort()) {
    const std::string dir = folder.string();
    std::filesystem::create_directories(folder / "temp");
    std::ofstream(folder / "nginx.conf")
        << "daemon off;\nmaster_process off;\nuser root;\npid " << dir << "/nginx.pid;\n"
        << "error_log " << dir << "/error.log;\nevents { worker_connections 64; }\nhttp {\n"
        << "  access_log " << dir << "/access.log;\n"
        << "  client_body_temp_path " << dir << "/temp/body;\n  proxy_temp_path " << dir << "/temp/proxy;\n"
        << "  fastcgi_temp_path " << dir << "/temp/fastcgi;\n  uwsgi_temp_path " << dir << "/temp/uwsgi;\n"
        << "  scgi_temp_path " << dir << "/temp/scgi;\n"
        << "  server { listen 127.0.0.1:" << httpPort_ << "; root " << dir << "/www; }\n"
        << "  server { listen 127.0.0.1:" << httpsPort_ << " ssl http2; root " << dir << "/www;\n"
        << "    ssl_certificate " << tls.cert.string() << "; ssl_certificate_key " << tls.key.string()
        << "; }\n}\n";
    pid_ = fork();
    if (pid_ == 0) {
      execl("/usr/sbin/nginx", "nginx", "-e", (dir + "/error.log").c_str(), "-p", dir.c_str(), "-c",
            (dir + "/nginx.conf").c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 250 && !(Accepts(httpPort_) && Accepts(httpsPort_)); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~Nginx() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  std::string Http(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(httpPort_) + path;
  }
  std::string Https(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(httpsPort_) + path;
  }

 private:
  int httpPort_, httpsPort_;
  pid_t pid_ = -1;
};

class NginxITest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder_.path() / "nginx" / "www");
    std::mt19937 random(7);
    content_.resize(kFileSize);
    for (char& byte : content_) byte = static_cast<char>(random());
    std::ofstream(folder_.path() / "nginx" / "www" / "app.exe", std::ios::binary) << content_;
    settings_.Write("CaBundle=" + pki_.caBundle().string() + "\n");
    nginx_ = std::make_unique<Nginx>(folder_.path() / "nginx", pki_.Server("nginx", "IP:127.0.0.1"));
  }

  // The file in three slices as the slice plan cuts it (the last slice's
  // EndPos is the length itself), each slice on the same handle.
  void DownloadInSlices(const std::string& url) {
    const int64_t size = kFileSize / 3;
    for (int64_t i = 0; i < 3; ++i) {
      const int64_t from = i * size, to = i == 2 ? kFileSize : (i + 1) * size - 1;
      SliceDownload slice(folder_.path() / ("slice" + std::to_string(i)), url, from, to, kFileSize);
      ASSERT_EQ(slice.Run(tool_), CURLE_OK) << i;
      ASSERT_TRUE(slice.task().isComplete()) << i;
      const int64_t count = std::min(to, kFileSize - 1) - from + 1;
      EXPECT_TRUE(slice.Written(from, static_cast<size_t>(count)) == content_.substr(from, count)) << i;
    }
  }

  TempFolder folder_;
  TestSettings settings_{folder_.path()};
  TestPki pki_{folder_.path() / "pki"};
  std::string content_;
  std::unique_ptr<Nginx> nginx_;
  CLibcurlTool tool_{curl_easy_init()};
};

TEST_F(NginxITest, SlicesOverHttp11) { DownloadInSlices(nginx_->Http("/app.exe")); }

TEST_F(NginxITest, SlicesOverHttp2WithTls) {
  char headers[CLibcurlTool::kMaxHeaderText + 1];
  long code = 0;
  ASSERT_EQ(tool_.httpGet(nginx_->Https("/app.exe").c_str(), headers, code), CURLE_OK);
  EXPECT_EQ(code, 200);
  EXPECT_EQ(std::string(headers).find("HTTP/2 200"), 0u);  // the status lines really are HTTP/2
  EXPECT_NE(std::string(headers).find("content-length: " + std::to_string(kFileSize)), std::string::npos);
  DownloadInSlices(nginx_->Https("/app.exe"));
}

TEST_F(NginxITest, WrongExpectedLengthIsRefused) {
  SliceDownload slice(folder_.path() / "slice", nginx_->Https("/app.exe"), 0, 999, kFileSize + 1);
  LogCapture log;
  EXPECT_EQ(slice.Run(tool_), CURLE_WRITE_ERROR);
  EXPECT_TRUE(log.Has(" HeaderCallback error1: " + std::to_string(kFileSize + 1) +
                      " != content-range: bytes 0-999/" + std::to_string(kFileSize)));
}

}  // namespace
