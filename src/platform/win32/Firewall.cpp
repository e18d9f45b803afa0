// Firewall authorisation through the Windows Firewall COM objects
// (INetFwMgr). Everything is reported on standard output only.
// The wide path is printed with "%lS" in MSVC terms; "%ls" is the portable form
// of the same conversion and prints the same text.
#include "platform/Platform.h"
#include "platform/win32/Win32Common.h"

#include <netfw.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>

namespace platform {

namespace {

// The identifiers (defined here: not every libuuid has them).
const CLSID kClsidNetFwMgr = {0x304CE942, 0x6E39, 0x40D8, {0x94, 0x3A, 0xB9, 0x13, 0xC4, 0x0C, 0x9C, 0xD4}};
const IID kIidINetFwMgr = {0xF7898AF5, 0xCAC4, 0x4632, {0xA2, 0xEC, 0xDA, 0x06, 0xE5, 0x11, 0x1A, 0xF2}};
const CLSID kClsidNetFwAuthorizedApplication = {
    0xEC9846B3, 0x2762, 0x4A6B, {0xA2, 0x14, 0x6A, 0xCB, 0x60, 0x34, 0x62, 0xD2}};
const IID kIidINetFwAuthorizedApplication = {
    0xB5E64FFA, 0xC2C5, 0x444E, {0xA3, 0x01, 0xFB, 0x5E, 0x00, 0x01, 0x80, 0x50}};

const wchar_t kRuleName[] = L"Zel_setup1.0.0.1";

template <typename T>
void SafeRelease(T*& object) {
  if (object) {
    object->Release();
    object = nullptr;
  }
}

}  // namespace

// Reaches the current profile of the local firewall policy.
HRESULT WindowsFirewallInitialize(INetFwProfile** fwProfile) {
  HRESULT hr = S_OK;
  INetFwMgr* fwMgr = nullptr;
  INetFwPolicy* fwPolicy = nullptr;
  *fwProfile = nullptr;

  hr = CoCreateInstance(kClsidNetFwMgr, nullptr, CLSCTX_INPROC_SERVER, kIidINetFwMgr,
                        reinterpret_cast<void**>(&fwMgr));
  if (FAILED(hr)) {
    std::printf("CoCreateInstance failed: 0x%08lx\n", static_cast<unsigned long>(hr));
    goto error;
  }
  hr = fwMgr->get_LocalPolicy(&fwPolicy);
  if (FAILED(hr)) {
    std::printf("get_LocalPolicy failed: 0x%08lx\n", static_cast<unsigned long>(hr));
    goto error;
  }
  hr = fwPolicy->get_CurrentProfile(fwProfile);
  if (FAILED(hr)) {
    std::printf("get_CurrentProfile failed: 0x%08lx\n", static_cast<unsigned long>(hr));
    goto error;
  }

error:
  SafeRelease(fwPolicy);
  SafeRelease(fwMgr);
  return hr;
}

// The authorised applications and the image path as a BSTR; a failure is
// printed.
HRESULT AuthorizedApplicationsAndPath(INetFwProfile* fwProfile, const wchar_t* fwProcessImageFileName,
                                      INetFwAuthorizedApplications** fwApps, BSTR* fwBstrProcessImageFileName) {
  HRESULT hr = fwProfile->get_AuthorizedApplications(fwApps);
  if (FAILED(hr)) {
    std::printf("get_AuthorizedApplications failed: 0x%08lx\n", static_cast<unsigned long>(hr));
    return hr;
  }
  *fwBstrProcessImageFileName = SysAllocString(fwProcessImageFileName);
  if (*fwBstrProcessImageFileName == nullptr) {
    hr = E_OUTOFMEMORY;
    std::printf("SysAllocString failed: 0x%08lx\n", static_cast<unsigned long>(hr));
  }
  return hr;
}

// Is the image listed among the authorised applications and enabled?
HRESULT WindowsFirewallAppIsEnabled(INetFwProfile* fwProfile, const wchar_t* fwProcessImageFileName,
                                    BOOL* fwAppEnabled) {
  HRESULT hr = S_OK;
  BSTR fwBstrProcessImageFileName = nullptr;
  VARIANT_BOOL fwEnabled = VARIANT_FALSE;
  INetFwAuthorizedApplication* fwApp = nullptr;
  INetFwAuthorizedApplications* fwApps = nullptr;

  *fwAppEnabled = FALSE;
  hr = AuthorizedApplicationsAndPath(fwProfile, fwProcessImageFileName, &fwApps, &fwBstrProcessImageFileName);
  if (FAILED(hr)) goto error;
  hr = fwApps->Item(fwBstrProcessImageFileName, &fwApp);
  if (SUCCEEDED(hr) && fwApp) {
    hr = fwApp->get_Enabled(&fwEnabled);
    if (FAILED(hr)) {
      std::printf("get_Enabled failed: 0x%08lx\n", static_cast<unsigned long>(hr));
      goto error;
    }
    if (fwEnabled != VARIANT_FALSE) {
      *fwAppEnabled = TRUE;
      std::printf("Authorized application %ls is enabled in the firewall.\n", fwProcessImageFileName);
    } else {
      std::printf("Authorized application %ls is disabled in the firewall.\n", fwProcessImageFileName);
    }
  } else {
    // Not listed: the same as disabled.
    hr = S_OK;
    std::printf("Authorized application %ls is disabled in the firewall.\n", fwProcessImageFileName);
  }

error:
  SysFreeString(fwBstrProcessImageFileName);
  SafeRelease(fwApp);
  SafeRelease(fwApps);
  return hr;
}

// Adds the image, enabled for every scope and IP version, unless it is
// already listed and enabled.
HRESULT WindowsFirewallAddApp(INetFwProfile* fwProfile, const wchar_t* fwProcessImageFileName) {
  HRESULT hr = S_OK;
  BOOL fwAppEnabled = FALSE;
  BSTR fwBstrName = nullptr;
  BSTR fwBstrProcessImageFileName = nullptr;
  INetFwAuthorizedApplication* fwApp = nullptr;
  INetFwAuthorizedApplications* fwApps = nullptr;

  hr = WindowsFirewallAppIsEnabled(fwProfile, fwProcessImageFileName, &fwAppEnabled);
  if (FAILED(hr)) {
    std::printf("WindowsFirewallAppIsEnabled failed: 0x%08lx\n", static_cast<unsigned long>(hr));
    goto error;
  }
  if (!fwAppEnabled) {
    hr = fwProfile->get_AuthorizedApplications(&fwApps);
    if (FAILED(hr)) {
      std::printf("get_AuthorizedApplications failed: 0x%08lx\n", static_cast<unsigned long>(hr));
      goto error;
    }
    hr = CoCreateInstance(kClsidNetFwAuthorizedApplication, nullptr, CLSCTX_INPROC_SERVER,
                          kIidINetFwAuthorizedApplication, reinterpret_cast<void**>(&fwApp));
    if (FAILED(hr)) {
      std::printf("CoCreateInstance failed: 0x%08lx\n", static_cast<unsigned long>(hr));
      goto error;
    }
    fwBstrProcessImageFileName = SysAllocString(fwProcessImageFileName);
    if (fwBstrProcessImageFileName == nullptr) {
      hr = E_OUTOFMEMORY;
      std::printf("SysAllocString failed: 0x%08lx\n", static_cast<unsigned long>(hr));
      goto error;
    }
    hr = fwApp->put_ProcessImageFileName(fwBstrProcessImageFileName);
    fwApp->put_Scope(NET_FW_SCOPE_ALL);
    fwApp->put_IpVersion(NET_FW_IP_VERSION_ANY);
    fwApp->put_Enabled(VARIANT_TRUE);
    if (FAILED(hr)) {
      std::printf("put_ProcessImageFileName failed: 0x%08lx\n", static_cast<unsigned long>(hr));
      goto error;
    }
    fwBstrName = SysAllocString(kRuleName);
    if (SysStringLen(fwBstrName) == 0) {
      hr = E_OUTOFMEMORY;
      std::printf("SysAllocString failed: 0x%08lx\n", static_cast<unsigned long>(hr));
      goto error;
    }
    hr = fwApp->put_Name(fwBstrName);
    if (FAILED(hr)) {
      std::printf("put_Name failed: 0x%08lx\n", static_cast<unsigned long>(hr));
      goto error;
    }
    hr = fwApps->Add(fwApp);
    if (FAILED(hr)) {
      std::printf("Add failed: 0x%08lx\n", static_cast<unsigned long>(hr));
      goto error;
    }
    std::printf("Authorized application %ls is now enabled in the firewall.\n", fwProcessImageFileName);
  }

error:
  SysFreeString(fwBstrName);
  SysFreeString(fwBstrProcessImageFileName);
  SafeRelease(fwApp);
  SafeRelease(fwApps);
  return hr;
}

// Takes the image's entry out of the authorised applications, when listed.
HRESULT WindowsFirewallRemoveApp(INetFwProfile* fwProfile, const wchar_t* fwProcessImageFileName) {
  HRESULT hr = S_OK;
  BSTR fwBstrProcessImageFileName = nullptr;
  INetFwAuthorizedApplication* fwApp = nullptr;
  INetFwAuthorizedApplications* fwApps = nullptr;

  hr = AuthorizedApplicationsAndPath(fwProfile, fwProcessImageFileName, &fwApps, &fwBstrProcessImageFileName);
  if (FAILED(hr)) goto error;
  if (FAILED(fwApps->Item(fwBstrProcessImageFileName, &fwApp)) || !fwApp) {
    std::printf("Authorized application %ls is not in the firewall.\n", fwProcessImageFileName);
    goto error;
  }
  hr = fwApps->Remove(fwBstrProcessImageFileName);
  if (FAILED(hr)) {
    std::printf("Remove failed: 0x%08lx\n", static_cast<unsigned long>(hr));
    goto error;
  }
  std::printf("Authorized application %ls is removed from the firewall.\n", fwProcessImageFileName);

error:
  SysFreeString(fwBstrProcessImageFileName);
  SafeRelease(fwApp);
  SafeRelease(fwApps);
  return hr;
}

namespace {

// Runs one step on the current profile within a COM initialisation of its
// own: 0 when the profile was reached (whatever the step did), -1 otherwise.
int OnCurrentProfile(HRESULT (*step)(INetFwProfile*, const wchar_t*), const wchar_t* imagePath) {
  const HRESULT comInit = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (comInit != RPC_E_CHANGED_MODE && FAILED(comInit)) {
    std::printf("CoInitializeEx failed: 0x%08lx\n", static_cast<unsigned long>(comInit));
    return -1;
  }
  int result = 0;
  INetFwProfile* fwProfile = nullptr;
  const HRESULT hr = WindowsFirewallInitialize(&fwProfile);
  if (FAILED(hr)) {
    std::printf("WindowsFirewallInitialize failed: 0x%08lx\n", static_cast<unsigned long>(hr));
    result = -1;
  } else {
    step(fwProfile, imagePath ? imagePath : L"");
  }
  SafeRelease(fwProfile);
  std::fflush(stdout);
  if (SUCCEEDED(comInit)) CoUninitialize();
  return result;
}

}  // namespace

int WindowsFirewallAuthorize(const wchar_t* imagePath) { return OnCurrentProfile(&WindowsFirewallAddApp, imagePath); }

int WindowsFirewallRevoke(const wchar_t* imagePath) { return OnCurrentProfile(&WindowsFirewallRemoveApp, imagePath); }

}  // namespace platform
