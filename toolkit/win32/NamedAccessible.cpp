#include "toolkit/win32/NamedAccessible.h"

namespace toolkit {

NamedAccessible::NamedAccessible(IAccessible* inner, std::wstring name) : inner_(inner), name_(std::move(name)) {}

LRESULT NamedAccessible::Answer(HWND hwnd, LONG objectId, WPARAM wparam, const std::wstring& name) {
  IAccessible* system = nullptr;
  if (FAILED(CreateStdAccessibleObject(hwnd, objectId, __uuidof(IAccessible), reinterpret_cast<void**>(&system))) ||
      !system)
    return 0;
  auto* named = new NamedAccessible(system, name);
  const LRESULT answer = LresultFromObject(__uuidof(IAccessible), wparam, static_cast<IAccessible*>(named));
  named->Release();  // the answer holds its own reference
  return answer;
}

HRESULT NamedAccessible::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
    *object = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  // Anything else the system's object offers (its children's enumeration) is its own.
  return inner_->QueryInterface(riid, object);
}

ULONG NamedAccessible::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG NamedAccessible::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT NamedAccessible::get_accName(VARIANT child, BSTR* name) {
  if (child.vt != VT_I4 || child.lVal != CHILDID_SELF) return inner_->get_accName(child, name);
  if (!name) return E_POINTER;
  *name = SysAllocStringLen(name_.data(), static_cast<UINT>(name_.size()));
  return *name ? S_OK : E_OUTOFMEMORY;
}

}  // namespace toolkit
