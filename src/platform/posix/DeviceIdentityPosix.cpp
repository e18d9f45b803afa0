// posix backend of the device identity: the root file system stands in for
// the system volume, the first non-loopback interface for the adapter, the
// DMI board fields for the registry's BIOS values and /etc/os-release for the
// Windows version.
#include "platform/DeviceIdentity.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "platform/Platform.h"

namespace platform {
namespace identity {

namespace {

std::string FirstLine(const char* path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The value of KEY=VALUE or KEY="VALUE" in /etc/os-release.
std::string OsReleaseValue(const std::string& key) {
  std::ifstream in("/etc/os-release");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size() + 1, key + "=") != 0) continue;
    std::string value = line.substr(key.size() + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\''))
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return "";
}

}  // namespace

std::string NewSessionId() {
  std::random_device random;
  uint8_t bytes[16];
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return FormatGuid(bytes);
}

std::string VolumeUid() { return WideToUtf8(System().SystemVolumeGuid()); }

std::string MacText() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return "";
  std::string text;
  for (ifaddrs* entry = list; entry && text.empty(); entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET) continue;
    if (entry->ifa_flags & IFF_LOOPBACK) continue;
    const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
    text = FormatMac(link->sll_addr, link->sll_halen);
  }
  freeifaddrs(list);
  return text;
}

std::string OsName() {
  std::string name = System().OsVersion().linuxName;
  if (name.empty()) name = OsReleaseValue("PRETTY_NAME");
  utsname machine{};
  const bool is64 = uname(&machine) == 0 && std::string(machine.machine).find("64") != std::string::npos;
  return name + (is64 ? "-64" : "-32");
}

std::string OsVersionText() {
  utsname machine{};
  const std::string kernel = uname(&machine) == 0 ? machine.release : "";
  return OsReleaseValue("VERSION_ID") + "(" + kernel + ")";
}

std::string BoardManufacturer() { return FirstLine("/sys/class/dmi/id/board_vendor"); }
std::string BoardProduct() { return FirstLine("/sys/class/dmi/id/board_name"); }

std::string VolumeSerial() {
  struct statvfs root {};
  if (statvfs("/", &root) != 0 || root.f_fsid == 0) return "";
  char text[24];
  // A Windows volume serial has 32 bits; the low half of the id stands in.
  std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(root.f_fsid & 0xFFFFFFFFu));
  return text;
}

}  // namespace identity
}  // namespace platform
