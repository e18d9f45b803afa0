// The proxy the system names for a request. The backends read the user's
// settings: the environment (https_proxy, http_proxy, no_proxy and their
// upper-case forms) on posix; WinHTTP's view of the Internet settings (a
// manual proxy, automatic detection, a PAC script) on win32.
#pragma once

#include <string>

namespace platform {

// The proxy for `url`, whose scheme, host and port the caller has already
// taken apart: a URL or "host:port", with "user:password@" when the setting
// carries credentials; empty when the request goes direct.
std::string SystemProxyFor(const std::string& url, const std::string& scheme, const std::string& host,
                           int port);

// True where a proxy that asks for Negotiate or NTLM can be answered with
// the logged-on user's own credentials, without a password in the setting
// (win32: SSPI). Corporate proxies ask for exactly that.
bool ProxyLogonAvailable();

// The bypass-list rules the backends share, portable so that both can be
// tested anywhere. Host names compare without case.
//
// no_proxy: entries apart by ',', "*" matches every host, an entry matches
// its own host and every host below it (a leading '.' changes nothing), an
// entry "host:port" only that port.
bool NoProxyMatches(const std::string& list, const std::string& host, int port);
// A Windows bypass list: entries apart by ';', ',' or blanks, '*' matches any
// run of characters ("*.corp.example", "10.*"), "<local>" every host name
// without a dot; an entry with a port matches "host:port".
bool WindowsBypassMatches(const std::string& list, const std::string& host, int port);
// From a WinHTTP proxy list ("proxy:8080", or "http=a:80;https=b:8443",
// entries apart by ';' or blanks) the entry for `scheme`: the first one
// named for the scheme, else the first one named for none; empty when none.
std::string ProxyForScheme(const std::string& list, const std::string& scheme);

}  // namespace platform
