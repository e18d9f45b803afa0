// Portable rules of the device identity (formatting and the Windows name
// table); the system queries live in the backends.
#include "platform/DeviceIdentity.h"

#include <cstdio>

namespace platform {
namespace identity {

std::string FormatGuid(const uint8_t b[16]) {
  const unsigned long data1 = (static_cast<unsigned long>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
  const unsigned data2 = (b[4] << 8) | b[5];
  const unsigned data3 = (b[6] << 8) | b[7];
  char text[40];
  std::snprintf(text, sizeof text, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", data1,
                data2, data3, b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

std::string FormatMac(const uint8_t* bytes, size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    if (i) text += ':';
    text += pair;
  }
  return text;
}

std::string IdBetweenUnderscoreAndDot(const std::string& fileName) {
  const size_t underscore = fileName.rfind('_');
  const size_t dot = fileName.rfind('.');
  if (underscore == std::string::npos || dot == std::string::npos || dot < underscore) return "";
  return fileName.substr(underscore + 1, dot - underscore - 1);
}

namespace {

// Step 1: the table of GetVersionExW's major and minor numbers.
std::string TableName(const WindowsVersion& v) {
  if (!v.known) return "";
  if (v.major == 4) {
    if (v.minor == 0 && v.platformId == 2) return "Windows NT 4.0";
    if (v.minor == 0 && v.platformId == 1) return "Windows 95";
    if (v.minor == 10) return "Windows 98";
    if (v.minor == 90) return "Microsoft Windows Me";
    return "";
  }
  if (v.major == 5) {
    if (v.minor == 0) return "Windows 2000";
    if (v.minor == 1) return "Windows XP";
    if (v.minor != 2) return "";
    if (v.workstation && v.processorArchitecture == 9) return "Windows XP Professional x64 Edition";
    return v.serverR2 ? "Windows Server 2003 R2" : "Windows Server 2003";
  }
  if (v.major == 6) {
    if (v.minor == 0) return v.workstation ? "Windows Vista" : "Windows Server 2008";
    if (v.minor == 1) return v.workstation ? "Windows 7" : "Windows Server 2008 R2";
    if (v.minor == 2) return v.workstation ? "Windows 8" : "Windows Server 2012";
    return "";
  }
  return "Error";
}

}  // namespace

// Step 2: a program without a supported-OS manifest is told 6.2 by
// GetVersionExW; the real numbers name 8.1, 10 and 11.
std::string WindowsName(const WindowsVersion& version, bool ntKnown, unsigned ntMajor,
                        unsigned ntMinor) {
  if (ntKnown && ntMajor == 6 && ntMinor == 3) return "Windows 8.1";
  if (ntKnown && ntMajor == 10 && ntMinor == 0)
    return version.build >= 22000 ? "Windows 11" : "Windows 10";
  return TableName(version);
}

}  // namespace identity
}  // namespace platform
