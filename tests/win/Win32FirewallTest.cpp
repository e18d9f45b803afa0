// The firewall authorisation against a firewall of the test's own: its
// manager and its authorised-application objects are registered in this
// thread's apartment under the firewall's class ids, so that the
// installer's CoCreateInstance reaches them and the list keeps what it is
// given (Wine's firewall objects keep nothing). What the list holds is read
// back after each step of a run.
#include <gtest/gtest.h>

#include <netfw.h>
#include <objbase.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <thread>

#include "WinTestUtil.h"

namespace {

const CLSID kClsidNetFwMgr = {0x304CE942, 0x6E39, 0x40D8, {0x94, 0x3A, 0xB9, 0x13, 0xC4, 0x0C, 0x9C, 0xD4}};
const CLSID kClsidNetFwAuthorizedApplication = {
    0xEC9846B3, 0x2762, 0x4A6B, {0xA2, 0x14, 0x6A, 0xCB, 0x60, 0x34, 0x62, 0xD2}};

// IUnknown and IDispatch of the fakes: any interface asked for is the one
// the object implements (the installer asks only for that one).
template <typename Interface>
class Fake : public Interface {
 public:
  virtual ~Fake() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 private:
  ULONG references_ = 1;
};

struct Entry {
  std::wstring name, image;
  NET_FW_SCOPE scope = NET_FW_SCOPE_LOCAL_SUBNET;
  NET_FW_IP_VERSION ipVersion = NET_FW_IP_VERSION_V4;
  bool enabled = false;
};

class FakeApplication : public Fake<INetFwAuthorizedApplication> {
 public:
  Entry entry;
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override { return Give(entry.name, name); }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override { return Take(name, &entry.name); }
  HRESULT STDMETHODCALLTYPE get_ProcessImageFileName(BSTR* image) override { return Give(entry.image, image); }
  HRESULT STDMETHODCALLTYPE put_ProcessImageFileName(BSTR image) override { return Take(image, &entry.image); }
  HRESULT STDMETHODCALLTYPE get_IpVersion(NET_FW_IP_VERSION* version) override {
    *version = entry.ipVersion;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_IpVersion(NET_FW_IP_VERSION version) override {
    entry.ipVersion = version;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Scope(NET_FW_SCOPE* scope) override {
    *scope = entry.scope;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Scope(NET_FW_SCOPE scope) override {
    entry.scope = scope;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_RemoteAddresses(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_RemoteAddresses(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* enabled) override {
    *enabled = entry.enabled ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL enabled) override {
    entry.enabled = enabled != VARIANT_FALSE;
    return S_OK;
  }

 private:
  static HRESULT Give(const std::wstring& text, BSTR* out) {
    *out = SysAllocString(text.c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT Take(BSTR text, std::wstring* into) {
    *into = text ? text : L"";
    return S_OK;
  }
};

// The list, by image path (Windows compares paths without letter case).
class FakeApplications : public Fake<INetFwAuthorizedApplications> {
 public:
  std::map<std::wstring, Entry> entries;

  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    *count = static_cast<LONG>(entries.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Add(INetFwAuthorizedApplication* app) override {
    const Entry& entry = static_cast<FakeApplication*>(app)->entry;
    entries[Key(entry.image)] = entry;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Remove(BSTR image) override {
    return entries.erase(Key(image)) ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  }
  HRESULT STDMETHODCALLTYPE Item(BSTR image, INetFwAuthorizedApplication** app) override {
    const auto found = entries.find(Key(image));
    if (found == entries.end()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    auto* copy = new FakeApplication;
    copy->entry = found->second;
    *app = copy;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }

 private:
  static std::wstring Key(const std::wstring& path) {
    std::wstring key = path;
    CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
  }
};

class FakeProfile : public Fake<INetFwProfile> {
 public:
  explicit FakeProfile(FakeApplications* apps) : apps_(apps) {}
  HRESULT STDMETHODCALLTYPE get_AuthorizedApplications(INetFwAuthorizedApplications** apps) override {
    apps_->AddRef();
    *apps = apps_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Type(NET_FW_PROFILE_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FirewallEnabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_FirewallEnabled(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ExceptionsNotAllowed(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ExceptionsNotAllowed(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NotificationsDisabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_NotificationsDisabled(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_UnicastResponsesToMulticastBroadcastDisabled(VARIANT_BOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_UnicastResponsesToMulticastBroadcastDisabled(VARIANT_BOOL) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_RemoteAdminSettings(INetFwRemoteAdminSettings**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_IcmpSettings(INetFwIcmpSettings**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_GloballyOpenPorts(INetFwOpenPorts**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Services(INetFwServices**) override { return E_NOTIMPL; }

 private:
  FakeApplications* apps_;
};

class FakePolicy : public Fake<INetFwPolicy> {
 public:
  explicit FakePolicy(FakeApplications* apps) : apps_(apps) {}
  HRESULT STDMETHODCALLTYPE get_CurrentProfile(INetFwProfile** profile) override {
    *profile = new FakeProfile(apps_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetProfileByType(NET_FW_PROFILE_TYPE, INetFwProfile**) override { return E_NOTIMPL; }

 private:
  FakeApplications* apps_;
};

class FakeManager : public Fake<INetFwMgr> {
 public:
  explicit FakeManager(FakeApplications* apps) : apps_(apps) {}
  HRESULT STDMETHODCALLTYPE get_LocalPolicy(INetFwPolicy** policy) override {
    *policy = new FakePolicy(apps_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CurrentProfileType(NET_FW_PROFILE_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RestoreDefaults() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsPortAllowed(BSTR, NET_FW_IP_VERSION, LONG, BSTR, NET_FW_IP_PROTOCOL, VARIANT*,
                                          VARIANT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE IsIcmpTypeAllowed(NET_FW_IP_VERSION, BSTR, BYTE, VARIANT*, VARIANT*) override {
    return E_NOTIMPL;
  }

 private:
  FakeApplications* apps_;
};

// Makes a manager of the list, or a fresh application object.
class FakeFactory : public IClassFactory {
 public:
  FakeFactory(FakeApplications* apps, bool manager) : apps_(apps), manager_(manager) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** out) override {
    *out = manager_ ? static_cast<IUnknown*>(new FakeManager(apps_)) : new FakeApplication;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  FakeApplications* apps_;
  bool manager_;
};

// A run adds an enabled entry open to every address for its program, and
// takes it out again at its end. An entry for the same path that a crashed
// run left is removed first; entries of other programs stay as they are.
TEST(Win32Firewall, TheRunsEntryLastsAsLongAsTheRun) {
  std::thread([] {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    auto* apps = new FakeApplications;
    FakeFactory managers(apps, true), applications(apps, false);
    DWORD managerCookie = 0, applicationCookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kClsidNetFwMgr, &managers, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                    &managerCookie),
              S_OK);
    ASSERT_EQ(CoRegisterClassObject(kClsidNetFwAuthorizedApplication, &applications, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &applicationCookie),
              S_OK);
    const std::wstring setup = L"C:\\Users\\user\\Downloads\\Setup.exe";
    const std::wstring other = L"C:\\Program Files\\Other\\other.exe";
    apps->entries[L"c:\\users\\user\\downloads\\setup.exe"] = Entry{L"left by a crash", setup};
    apps->entries[L"c:\\program files\\other\\other.exe"] = Entry{L"other", other, NET_FW_SCOPE_ALL,
                                                                  NET_FW_IP_VERSION_ANY, true};

    EXPECT_EQ(platform::WindowsFirewallRevoke(setup.c_str()), 0);
    EXPECT_EQ(apps->entries.size(), 1u);
    EXPECT_EQ(platform::WindowsFirewallAuthorize(setup.c_str()), 0);
    ASSERT_EQ(apps->entries.size(), 2u);
    const Entry& added = apps->entries[L"c:\\users\\user\\downloads\\setup.exe"];
    EXPECT_EQ(added.image, setup);
    EXPECT_EQ(added.name, L"Zel_setup1.0.0.1");
    EXPECT_TRUE(added.enabled);
    EXPECT_EQ(added.scope, NET_FW_SCOPE_ALL);
    EXPECT_EQ(added.ipVersion, NET_FW_IP_VERSION_ANY);
    // Listed and enabled: a second authorisation adds nothing.
    EXPECT_EQ(platform::WindowsFirewallAuthorize(setup.c_str()), 0);
    EXPECT_EQ(apps->entries.size(), 2u);

    EXPECT_EQ(platform::WindowsFirewallRevoke(setup.c_str()), 0);
    EXPECT_EQ(apps->entries.size(), 1u);
    EXPECT_EQ(apps->entries.count(L"c:\\program files\\other\\other.exe"), 1u);
    EXPECT_EQ(platform::WindowsFirewallRevoke(setup.c_str()), 0);  // nothing left to remove
    EXPECT_EQ(apps->entries.size(), 1u);

    CoRevokeClassObject(managerCookie);
    CoRevokeClassObject(applicationCookie);
    apps->Release();
    CoUninitialize();
  }).join();
}

}  // namespace
