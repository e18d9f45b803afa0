// win32 backend of the device identity: GUIDs, the system volume, network
// adapters, the version functions and the registry's BIOS values.
#include "platform/DeviceIdentity.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <objbase.h>

#include <cstdio>
#include <vector>

#include "platform/Platform.h"

namespace platform {
namespace identity {

namespace {

// Method 1: only the first adapter of the list, all of its address bytes.
std::string FirstAdapterAddress() {
  ULONG size = 0;
  GetAdaptersInfo(nullptr, &size);
  if (size == 0) return "";
  std::vector<unsigned char> buffer(size);
  auto* info = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
  if (GetAdaptersInfo(info, &size) != ERROR_SUCCESS) return "";
  return FormatMac(info->Address, info->AddressLength);
}

// Method 2: the first adapter with a six-byte address.
std::string FirstSixByteAdapterInfo() {
  ULONG size = 648;
  std::vector<unsigned char> buffer(size);
  ULONG result = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  if (result == ERROR_BUFFER_OVERFLOW) {
    buffer.resize(size);
    result = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  }
  if (result != ERROR_SUCCESS) return "";
  for (auto* a = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()); a; a = a->Next)
    if (a->AddressLength == 6) return FormatMac(a->Address, 6);
  return "";
}

// Method 3: the same over GetAdaptersAddresses.
std::string FirstSixByteAdapterAddress() {
  ULONG size = 376;
  std::vector<unsigned char> buffer(size);
  ULONG result = GetAdaptersAddresses(AF_UNSPEC, 0, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  if (result == ERROR_BUFFER_OVERFLOW) {
    buffer.resize(size);
    result = GetAdaptersAddresses(AF_UNSPEC, 0, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (result != ERROR_SUCCESS) return "";
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next)
    if (a->PhysicalAddressLength == 6) return FormatMac(a->PhysicalAddress, 6);
  return "";
}

// A string value of an open key: size first, then the text in one piece.
std::string QueryStringA(HKEY key, const char* name) {
  char text[129] = {};
  DWORD size = 128;
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
    return "";
  return text;
}

std::string BiosValue(const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\BIOS", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return "";
  std::wstring value;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size > 0) {
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS)
      value = buffer.data();
  }
  RegCloseKey(key);
  return WideToUtf8(value);
}

}  // namespace

std::string NewSessionId() {
  GUID guid;
  if (CoCreateGuid(&guid) != S_OK) return "";
  char text[40];
  std::snprintf(text, sizeof text, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

std::string VolumeUid() { return WideToUtf8(System().SystemVolumeGuid()); }

std::string MacText() {
  std::string text = FirstAdapterAddress();
  if (text.empty()) text = FirstSixByteAdapterInfo();
  if (text.empty()) text = FirstSixByteAdapterAddress();
  return text;
}

std::string OsName() {
  WindowsVersion version;
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) {
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    version.known = true;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    version.platformId = info.dwPlatformId;
    version.workstation = info.wProductType == VER_NT_WORKSTATION;
    version.processorArchitecture = system.wProcessorArchitecture;
    version.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
  }
  DWORD ntMajor = 0, ntMinor = 0, ntBuild = 0;
  using NtNumbers = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
  HMODULE ntdll = LoadLibraryW(L"ntdll.dll");
  auto numbers = ntdll ? reinterpret_cast<NtNumbers>(
                             reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers")))
                       : nullptr;
  if (numbers) numbers(&ntMajor, &ntMinor, &ntBuild);
  SYSTEM_INFO native = {};
  GetNativeSystemInfo(&native);
  const bool is64 = native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                    native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
  return WindowsName(version, numbers != nullptr, ntMajor, ntMinor) + (is64 ? "-64" : "-32");
}

std::string OsVersionText() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, KEY_READ,
                    &key) != ERROR_SUCCESS)
    return "";
  const std::string build = QueryStringA(key, "CurrentBuildNumber");
  const std::string display = QueryStringA(key, "DisplayVersion");
  RegCloseKey(key);
  return display + "(" + build + ")";
}

std::string BoardManufacturer() { return BiosValue(L"BaseBoardManufacturer"); }
std::string BoardProduct() { return BiosValue(L"BaseBoardProduct"); }

std::string VolumeSerial() {
  char folder[MAX_PATH + 1] = {};
  if (GetSystemDirectoryA(folder, MAX_PATH) < 3) return "";
  const std::string root(folder, 3);
  DWORD serial = 0;
  if (!GetVolumeInformationA(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) return "";
  char text[16];
  std::snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(serial));
  return text;
}

}  // namespace identity
}  // namespace platform
