// The desktop shell's ShellExecute, for what must not run with Setup's
// rights: Explorer runs as the user who signed in, so a browser it starts
// for a link is that user's, not an elevated one. The shell object is
// reached through the desktop's shell view: the usual way for an elevated
// program to start something as the signed-in user.
#include "platform/win32/Win32Common.h"

#include <exdisp.h>
#include <objbase.h>
#include <oleauto.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace platform {
namespace win32 {

namespace {

// Holds one COM interface and releases it.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (object_) object_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* operator->() const { return object_; }
  T* get() const { return object_; }
  T** out() { return &object_; }
  void** outVoid() { return reinterpret_cast<void**>(&object_); }

 private:
  T* object_ = nullptr;
};

// COM for one call, on whatever thread calls; a thread already in another
// apartment keeps it.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

// ShellWindows -> the desktop's window -> its top-level browser -> the
// active shell view -> the view's background object -> its Application:
// the IShellDispatch2 of the Explorer process that shows the desktop.
HRESULT DesktopShellDispatch(IShellDispatch2** shell) {
  ComPtr<IShellWindows> windows;
  HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.outVoid());
  if (FAILED(hr)) return hr;
  VARIANT desktop;
  VariantInit(&desktop);
  desktop.vt = VT_I4;
  desktop.lVal = CSIDL_DESKTOP;
  VARIANT none;
  VariantInit(&none);
  long window = 0;
  ComPtr<IDispatch> found;
  hr = windows->FindWindowSW(&desktop, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, found.out());
  if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;  // S_FALSE: no desktop window
  ComPtr<IServiceProvider> provider;
  if (FAILED(hr = found->QueryInterface(IID_IServiceProvider, provider.outVoid()))) return hr;
  ComPtr<IShellBrowser> browser;
  if (FAILED(hr = provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.outVoid()))) return hr;
  ComPtr<IShellView> view;
  if (FAILED(hr = browser->QueryActiveShellView(view.out()))) return hr;
  ComPtr<IDispatch> background;
  if (FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.outVoid()))) return hr;
  ComPtr<IShellFolderViewDual> folderView;
  if (FAILED(hr = background->QueryInterface(IID_IShellFolderViewDual, folderView.outVoid()))) return hr;
  ComPtr<IDispatch> application;
  if (FAILED(hr = folderView->get_Application(application.out()))) return hr;
  return application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(shell));
}

VARIANT TextVariant(const wchar_t* text) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(text);
  return value;
}

}  // namespace

HRESULT OpenFromDesktopShell(const std::wstring& file) {
  const ComScope com;
  if (!com.usable()) return E_FAIL;
  ComPtr<IShellDispatch2> shell;
  HRESULT hr = DesktopShellDispatch(shell.out());
  if (FAILED(hr)) return hr;
  BSTR target = SysAllocString(file.c_str());
  VARIANT parameters = TextVariant(L""), folder = TextVariant(L""), verb = TextVariant(L"open");
  VARIANT show;
  VariantInit(&show);
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  hr = target ? shell->ShellExecute(target, parameters, folder, verb, show) : E_OUTOFMEMORY;
  for (VARIANT* value : {&parameters, &folder, &verb}) VariantClear(value);
  SysFreeString(target);
  return hr;
}

}  // namespace win32
}  // namespace platform
