// One of the system's own accessible objects under another name: a box's
// frame, whose title stays "MSGUIDemo" while screen readers hear its
// question, or an edit child named by the label next to it. Every other
// call goes to the system's object.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>

namespace toolkit {

class NamedAccessible final : public IAccessible {
 public:
  // Takes over the reference to `inner`; its own name is `name`.
  NamedAccessible(IAccessible* inner, std::wstring name);
  NamedAccessible(const NamedAccessible&) = delete;
  NamedAccessible& operator=(const NamedAccessible&) = delete;
  // The system's object `objectId` of `hwnd` named `name`, as an LRESULT
  // for WM_GETOBJECT; 0 when the system has none.
  static LRESULT Answer(HWND hwnd, LONG objectId, WPARAM wparam, const std::wstring& name);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override { return inner_->GetTypeInfo(i, l, t); }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override {
    return inner_->GetIDsOfNames(r, n, c, l, d);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e,
                                   UINT* a) override {
    return inner_->Invoke(d, r, l, f, p, v, e, a);
  }
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override { return inner_->get_accParent(p); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* c) override { return inner_->get_accChildCount(c); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT v, IDispatch** c) override { return inner_->get_accChild(v, c); }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT v, BSTR* s) override { return inner_->get_accValue(v, s); }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT v, BSTR* s) override { return inner_->get_accDescription(v, s); }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT v, VARIANT* r) override { return inner_->get_accRole(v, r); }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT v, VARIANT* s) override { return inner_->get_accState(v, s); }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT v, BSTR* s) override { return inner_->get_accHelp(v, s); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* f, VARIANT v, LONG* t) override {
    return inner_->get_accHelpTopic(f, v, t);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT v, BSTR* s) override {
    return inner_->get_accKeyboardShortcut(v, s);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* v) override { return inner_->get_accFocus(v); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* v) override { return inner_->get_accSelection(v); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT v, BSTR* s) override {
    return inner_->get_accDefaultAction(v, s);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG f, VARIANT v) override { return inner_->accSelect(f, v); }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* w, LONG* h, VARIANT v) override {
    return inner_->accLocation(x, y, w, h, v);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG d, VARIANT s, VARIANT* e) override { return inner_->accNavigate(d, s, e); }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* v) override { return inner_->accHitTest(x, y, v); }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT v) override { return inner_->accDoDefaultAction(v); }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT v, BSTR s) override { return inner_->put_accName(v, s); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT v, BSTR s) override { return inner_->put_accValue(v, s); }

 private:
  ~NamedAccessible() { inner_->Release(); }

  LONG references_ = 1;
  IAccessible* inner_;
  std::wstring name_;
};

}  // namespace toolkit
