// The GA4 request: URL encoding, repeat key, client id.
#include <gtest/gtest.h>

#include "Ga4Request.h"

namespace {

TEST(SdkGa4Request, EncodingKeepsTheParameterStructure) {
  EXPECT_EQ(Ga4Request::UrlEncode("&ep.ov_label=a b/c"), "&ep.ov_label=a%20b%2fc");
  EXPECT_EQ(Ga4Request::UrlEncode("\xc3\xa9"), "%c3%a9");  // each UTF-8 byte, lower case
  EXPECT_EQ(Ga4Request::UrlEncode("!'()*-._~AZaz09"), "!'()*-._~AZaz09");
  EXPECT_EQ(Ga4Request::UrlEncode(std::string("a\0b", 3)), "a%00b");
  EXPECT_EQ(Ga4Request::UrlEncode("%+#?"), "%25%2b%23%3f");
  // A caller's escapes stay as they are; a lone "%" is escaped.
  EXPECT_EQ(Ga4Request::UrlEncode("&a=Q%26A&b=50% off&c=%2"), "&a=Q%26A&b=50%25%20off&c=%252");
}

TEST(SdkGa4Request, KeyTakesCategoryAndActionOfTheEncodedParameters) {
  const std::string params = Ga4Request::UrlEncode("&tid=G-ABCDEFGHIJ&ep.ov_category=Other&ep.ov_action=Down Time&en=x");
  EXPECT_EQ(Ga4Request::RepeatKey("1700000000123", params), "1::1700000000123::Other::Down%20Time");
  EXPECT_EQ(Ga4Request::RepeatKey("1700000000123", "&tid=G"), "1::1700000000123::::");
}

TEST(SdkGa4Request, ClientIdIsSerialAndMacWithoutColons) {
  EXPECT_EQ(Ga4Request::ClientId("A1B2C3D4", "00:1A:2B:3C:4D:5E"), "A1B2C3D4001A2B3C4D5E");
  EXPECT_EQ(Ga4Request::ClientId("A1B2C3D4", ""), "A1B2C3D4");
  EXPECT_EQ(Ga4Request::Url("https://h", "C", "&tid=G"), "https://h/g/collect?v=2&cid=C&tid=G");
}

}  // namespace
