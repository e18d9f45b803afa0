// Device identity of the reporting SDK: the values that name the run and the
// machine in every analytics record. Each value is UTF-8 text; a value that
// cannot be worked out is the empty text (no error is reported).
//
// The backends (win32/DeviceIdentityWin32.cpp, posix/DeviceIdentityPosix.cpp)
// ask the system; the helpers at the end are portable rules shared by both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {
namespace identity {

// A fresh GUID, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X".
std::string NewSessionId();
// The GUID of the system volume, lower case, without braces.
std::string VolumeUid();
// Address of the network adapter: two upper-case hex digits per byte, ":"
// between bytes.
std::string MacText();
// Operating-system name followed by "-64" or "-32".
std::string OsName();
// Release name and build: DisplayVersion "(" CurrentBuildNumber ")".
std::string OsVersionText();
std::string BoardManufacturer();
std::string BoardProduct();
// Serial number of the system volume, upper-case hex without leading zeros.
std::string VolumeSerial();

// ---- portable rules ----

// GUID text of 16 bytes in the layout of a Windows GUID (Data1..Data3 are
// read as big-endian numbers from the first 8 bytes).
std::string FormatGuid(const uint8_t bytes[16]);
// "AA:BB:..." of `length` bytes.
std::string FormatMac(const uint8_t* bytes, size_t length);
// The text between the last "_" and the last "." of a file name; empty when
// either is missing or the "." comes first.
std::string IdBetweenUnderscoreAndDot(const std::string& fileName);

// What the Windows name table needs from GetVersionExW and GetSystemInfo.
struct WindowsVersion {
  bool known = false;                // GetVersionExW answered
  unsigned major = 0, minor = 0, build = 0;
  unsigned platformId = 2;           // VER_PLATFORM_WIN32_NT
  bool workstation = true;           // VER_NT_WORKSTATION
  unsigned processorArchitecture = 0;  // of GetSystemInfo
  bool serverR2 = false;             // GetSystemMetrics(SM_SERVERR2) != 0
};
// The name of the version table ("Windows 7", ...; "" for unknown 4.x to 6.x
// or when GetVersionExW failed, "Error" for any other major), corrected by the real NT version numbers
// (6.3 is "Windows 8.1"; 10.0 is "Windows 11" from build 22000 on).
std::string WindowsName(const WindowsVersion& version, bool ntKnown,
                        unsigned ntMajor, unsigned ntMinor);

}  // namespace identity
}  // namespace platform
