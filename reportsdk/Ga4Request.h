// The GA4 request of AddGa4Event: the URL-encoded parameter string behind
// the collection endpoint, its repeat key and the client id.
#pragma once

#include <string>

namespace Ga4Request {

// Keeps 0-9, A-Z, a-z and ! & ' ( ) * - . = _ ~ (so "&" and "=" keep the
// parameter structure) and a "%" that begins an escape (a caller's value
// escaped already, such as an "&" of a label as %26); every other byte
// becomes "%" and two lower-case hex digits.
std::string UrlEncode(const std::string& text);
// The value after "&<name>=" up to the next "&"; empty when absent.
std::string ParamValue(const std::string& params, const std::string& name);
// "1::" ts "::" ep.ov_category "::" ep.ov_action of the encoded parameters.
std::string RepeatKey(const std::string& ts, const std::string& encodedParams);
// Volume serial followed by the MAC text without its ":".
std::string ClientId(const std::string& volumeSerial, const std::string& mac);
// endpoint "/g/collect?v=2&cid=" client id, then the encoded parameters.
std::string Url(const std::string& endpoint, const std::string& clientId,
                const std::string& encodedParams);

}  // namespace Ga4Request
