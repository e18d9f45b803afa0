// The IAccessible (MSAA) face of a window that draws its own controls, as
// screen readers ask for it with WM_GETOBJECT: the window's client area is
// the object and each control it shows a simple child, named by a child id
// that stays the same while the window lives. Windows' UI Automation
// bridges it for Narrator. The window behind it is an AccessibleSource; the
// object outlives it when a client holds on (every call then fails).
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

namespace toolkit {

// One object of the tree in MSAA's terms.
struct AccessibleNode {
  long id = CHILDID_SELF;
  long role = ROLE_SYSTEM_CLIENT;
  std::wstring name, value, defaultAction;
  long states = 0;
  RECT location{};  // screen pixels
};

class AccessibleSource {
 public:
  virtual ~AccessibleSource() = default;
  virtual AccessibleNode Self() = 0;
  // The children that show now, in reading order.
  virtual std::vector<AccessibleNode> Children() = 0;
  // A child by its id, also one that no longer shows (invisible then);
  // false for an id never given out.
  virtual bool Child(long id, AccessibleNode* node) = 0;
  // The focused child, CHILDID_SELF for the window itself, -1 when the
  // keyboard is elsewhere.
  virtual long FocusedChild() = 0;
  // Both asynchronous to the caller: what a click does, and taking the focus.
  virtual void DoDefaultAction(long id) = 0;
  virtual void TakeFocus(long id) = 0;
  virtual HWND Window() = 0;
};

class AccessibleObject final : public IAccessible, public IEnumVARIANT {
 public:
  // Holds one reference for its maker, who Releases it after Detach.
  explicit AccessibleObject(AccessibleSource* source);
  AccessibleObject(const AccessibleObject&) = delete;
  AccessibleObject& operator=(const AccessibleObject&) = delete;
  // The source is gone: from now on every call fails.
  void Detach() { source_ = nullptr; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch: screen readers call IAccessible directly; no type information.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override;
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override;
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;
  // IEnumVARIANT: the children's ids, as AccessibleChildren asks for them.
  HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* children, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override;

 private:
  ~AccessibleObject() = default;
  // S_OK with the node of `child`; an error for a gone source or an unknown id.
  HRESULT Node(const VARIANT& child, AccessibleNode* node);
  // What `answer` makes of the node of `child`, or the error of finding it.
  template <typename Answer>
  HRESULT FromNode(const VARIANT& child, Answer answer);

  LONG references_ = 1;
  AccessibleSource* source_;
  std::vector<long> enumerated_;  // the children's ids when Reset last ran
  size_t cursor_ = 0;
};

}  // namespace toolkit
