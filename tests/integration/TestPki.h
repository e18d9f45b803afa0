// Certificates for TLS tests, made with the openssl command line: a test CA,
// server certificates it signs (for 127.0.0.1 and localhost, or for another
// host name), and a second CA that nothing trusts.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TestPki {
 public:
  struct Pair {
    std::filesystem::path cert, key;
  };

  explicit TestPki(const std::filesystem::path& folder) : folder_(folder) {
    std::filesystem::create_directories(folder_);
    MakeCa("ca");
    MakeCa("otherca");
  }

  std::filesystem::path caBundle() const { return folder_ / "ca.pem"; }

  // A server certificate of `ca` for the names in `altNames` (OpenSSL
  // subjectAltName syntax, e.g. "IP:127.0.0.1,DNS:localhost").
  Pair Server(const std::string& name, const std::string& altNames, const std::string& ca = "ca") const {
    const Pair pair{folder_ / (name + ".pem"), folder_ / (name + ".key")};
    std::ofstream(folder_ / (name + ".ext")) << "subjectAltName=" << altNames << "\n";
    Run("openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=" + name +
        " -keyout " + Q(pair.key) + " -out " + Q(folder_ / (name + ".csr")));
    Run("openssl x509 -req -days 2 -in " + Q(folder_ / (name + ".csr")) + " -CA " +
        Q(folder_ / (ca + ".pem")) + " -CAkey " + Q(folder_ / (ca + ".key")) +
        " -CAcreateserial -extfile " + Q(folder_ / (name + ".ext")) + " -out " + Q(pair.cert));
    return pair;
  }

 private:
  void MakeCa(const std::string& name) const {
    Run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=" +
        name + " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign"
        " -keyout " + Q(folder_ / (name + ".key")) + " -out " + Q(folder_ / (name + ".pem")));
  }
  static std::string Q(const std::filesystem::path& path) { return "'" + path.string() + "'"; }
  static void Run(const std::string& command) {
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
  }

  std::filesystem::path folder_;
};
