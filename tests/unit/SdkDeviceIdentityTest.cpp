// Portable rules of the device identity and the values of this machine.
#include <gtest/gtest.h>

#include <regex>

#include "platform/DeviceIdentity.h"

namespace id = platform::identity;

namespace {

TEST(SdkDeviceIdentity, FormatsGuidAndMacInUpperCase) {
  const uint8_t bytes[16] = {0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0,
                             0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
  EXPECT_EQ(id::FormatGuid(bytes), "12345678-9ABC-DEF0-0123-456789ABCDEF");
  EXPECT_EQ(id::FormatMac(bytes, 6), "12:34:56:78:9A:BC");
  EXPECT_EQ(id::FormatMac(bytes, 0), "");
}

TEST(SdkDeviceIdentity, IdBetweenLastUnderscoreAndLastDot) {
  EXPECT_EQ(id::IdBetweenUnderscoreAndDot("Setup_a_123456789012345678.exe"), "123456789012345678");
  EXPECT_EQ(id::IdBetweenUnderscoreAndDot("my.setup_exe"), "");  // "." before the "_"
  EXPECT_EQ(id::IdBetweenUnderscoreAndDot("Setup.exe"), "");
  EXPECT_EQ(id::IdBetweenUnderscoreAndDot("Setup_123"), "");
}

TEST(SdkDeviceIdentity, WindowsNameTable) {
  id::WindowsVersion v;
  v.known = true;
  v.major = 6, v.minor = 1;
  EXPECT_EQ(id::WindowsName(v, false, 0, 0), "Windows 7");
  v.workstation = false;
  EXPECT_EQ(id::WindowsName(v, false, 0, 0), "Windows Server 2008 R2");
  v.major = 5, v.minor = 2, v.workstation = true, v.processorArchitecture = 9;
  EXPECT_EQ(id::WindowsName(v, false, 0, 0), "Windows XP Professional x64 Edition");
  v.workstation = false, v.serverR2 = true;
  EXPECT_EQ(id::WindowsName(v, false, 0, 0), "Windows Server 2003 R2");
  v.major = 4, v.minor = 0, v.platformId = 1;
  EXPECT_EQ(id::WindowsName(v, false, 0, 0), "Windows 95");
  v.major = 6, v.minor = 4;
  EXPECT_EQ(id::WindowsName(v, false, 0, 0), "");
  v.major = 7;
  EXPECT_EQ(id::WindowsName(v, false, 0, 0), "Error");
  EXPECT_EQ(id::WindowsName(id::WindowsVersion(), false, 0, 0), "");  // GetVersionExW failed
}

TEST(SdkDeviceIdentity, RealNumbersNameLaterSystems) {
  id::WindowsVersion v;
  v.known = true, v.major = 6, v.minor = 2, v.build = 9200;
  EXPECT_EQ(id::WindowsName(v, true, 6, 3), "Windows 8.1");
  EXPECT_EQ(id::WindowsName(v, true, 10, 0), "Windows 10");
  v.build = 22000;
  EXPECT_EQ(id::WindowsName(v, true, 10, 0), "Windows 11");
}

TEST(SdkDeviceIdentity, ThisMachinesValuesHaveTheirForms) {
  const std::regex guid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
  EXPECT_TRUE(std::regex_match(id::NewSessionId(), guid));
  EXPECT_NE(id::NewSessionId(), id::NewSessionId());
  const std::string mac = id::MacText();
  EXPECT_TRUE(mac.empty() || std::regex_match(mac, std::regex("[0-9A-F]{2}(:[0-9A-F]{2})*")));
  EXPECT_TRUE(std::regex_match(id::VolumeSerial(), std::regex("[0-9A-F]{0,8}")));
  const std::string os = id::OsName();
  EXPECT_TRUE(os.size() >= 3 && (os.substr(os.size() - 3) == "-64" || os.substr(os.size() - 3) == "-32"));
}

}  // namespace
