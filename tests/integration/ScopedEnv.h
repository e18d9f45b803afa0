// Environment variables set for a test's lifetime, and the proxy settings
// made of them.
#pragma once

#include <stdlib.h>

#include <memory>
#include <string>

#include "net/ProxyResolver.h"

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = std::make_unique<std::string>(old);
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::unique_ptr<std::string> old_;
};

// Names `proxy` for HTTP and HTTPS and `bypass` as no_proxy. The resolver
// forgets its answers once the names are set and again once they are gone
// (the first member is destroyed last), so that no answer crosses over.
class ScopedProxy {
 public:
  explicit ScopedProxy(const std::string& proxy, const std::string& bypass = "")
      : http_("http_proxy", proxy), https_("https_proxy", proxy), bypass_("no_proxy", bypass) {
    ProxyResolver::Shared().Forget();
  }

 private:
  struct Forget {
    ~Forget() { ProxyResolver::Shared().Forget(); }
  } forget_;
  ScopedEnv http_, https_, bypass_;
};
