#include "toolkit/win32/AccessibleObject.h"

#include <algorithm>

namespace toolkit {

namespace {

// S_FALSE and no text where there is none, as MSAA clients expect.
HRESULT Text(const std::wstring& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = text.empty() ? nullptr : SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (text.empty()) return S_FALSE;
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT Number(long number, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  out->vt = VT_I4;
  out->lVal = number;
  return S_OK;
}

HRESULT Nothing(VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  return S_FALSE;
}

bool Holds(const RECT& rect, LONG x, LONG y) { return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom; }

long long Area(const RECT& rect) {
  return static_cast<long long>(rect.right - rect.left) * (rect.bottom - rect.top);
}

}  // namespace

AccessibleObject::AccessibleObject(AccessibleSource* source) : source_(source) {}

HRESULT AccessibleObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
    *object = static_cast<IAccessible*>(this);
  } else if (riid == IID_IEnumVARIANT) {
    *object = static_cast<IEnumVARIANT*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG AccessibleObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG AccessibleObject::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT AccessibleObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT AccessibleObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT AccessibleObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT AccessibleObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  return E_NOTIMPL;
}

template <typename Answer>
HRESULT AccessibleObject::FromNode(const VARIANT& child, Answer answer) {
  AccessibleNode node;
  const HRESULT found = Node(child, &node);
  return FAILED(found) ? found : answer(node);
}

HRESULT AccessibleObject::Node(const VARIANT& child, AccessibleNode* node) {
  if (!source_) return RPC_E_DISCONNECTED;
  if (child.vt != VT_I4) return E_INVALIDARG;
  if (child.lVal == CHILDID_SELF) {
    *node = source_->Self();
    return S_OK;
  }
  return source_->Child(child.lVal, node) ? S_OK : E_INVALIDARG;
}

// The parent is the window's frame, as the window answers for it.
HRESULT AccessibleObject::get_accParent(IDispatch** parent) {
  if (!parent) return E_POINTER;
  *parent = nullptr;
  if (!source_) return RPC_E_DISCONNECTED;
  return AccessibleObjectFromWindow(source_->Window(), static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                    reinterpret_cast<void**>(parent));
}

HRESULT AccessibleObject::get_accChildCount(LONG* count) {
  if (!count) return E_POINTER;
  if (!source_) return RPC_E_DISCONNECTED;
  *count = static_cast<LONG>(source_->Children().size());
  return S_OK;
}

// Every child is a simple element, answered by this object with its id.
HRESULT AccessibleObject::get_accChild(VARIANT child, IDispatch** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  return FromNode(child, [](const AccessibleNode&) { return S_FALSE; });
}

HRESULT AccessibleObject::get_accName(VARIANT child, BSTR* name) {
  return FromNode(child, [name](const AccessibleNode& n) { return Text(n.name, name); });
}

HRESULT AccessibleObject::get_accValue(VARIANT child, BSTR* value) {
  return FromNode(child, [value](const AccessibleNode& n) { return Text(n.value, value); });
}

HRESULT AccessibleObject::get_accDescription(VARIANT child, BSTR* description) {
  return FromNode(child, [description](const AccessibleNode&) { return Text(L"", description); });
}

HRESULT AccessibleObject::get_accRole(VARIANT child, VARIANT* role) {
  return FromNode(child, [role](const AccessibleNode& n) { return Number(n.role, role); });
}

HRESULT AccessibleObject::get_accState(VARIANT child, VARIANT* state) {
  return FromNode(child, [state](const AccessibleNode& n) { return Number(n.states, state); });
}

HRESULT AccessibleObject::get_accHelp(VARIANT child, BSTR* help) {
  return FromNode(child, [help](const AccessibleNode&) { return Text(L"", help); });
}

HRESULT AccessibleObject::get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) {
  if (file) *file = nullptr;
  if (topic) *topic = 0;
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT AccessibleObject::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
  return FromNode(child, [shortcut](const AccessibleNode&) { return Text(L"", shortcut); });
}

HRESULT AccessibleObject::get_accFocus(VARIANT* child) {
  if (!source_) return RPC_E_DISCONNECTED;
  const long focused = source_->FocusedChild();
  return focused < 0 ? Nothing(child) : Number(focused, child);
}

HRESULT AccessibleObject::get_accSelection(VARIANT* children) { return Nothing(children); }

HRESULT AccessibleObject::get_accDefaultAction(VARIANT child, BSTR* action) {
  return FromNode(child, [action](const AccessibleNode& n) { return Text(n.defaultAction, action); });
}

HRESULT AccessibleObject::accSelect(LONG flags, VARIANT child) {
  AccessibleNode node;
  const HRESULT found = Node(child, &node);
  if (FAILED(found)) return found;
  if (!(flags & SELFLAG_TAKEFOCUS)) return DISP_E_MEMBERNOTFOUND;
  source_->TakeFocus(node.id);
  return S_OK;
}

HRESULT AccessibleObject::accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) {
  if (!left || !top || !width || !height) return E_POINTER;
  AccessibleNode node;
  const HRESULT found = Node(child, &node);
  if (FAILED(found)) return found;
  *left = node.location.left;
  *top = node.location.top;
  *width = node.location.right - node.location.left;
  *height = node.location.bottom - node.location.top;
  return S_OK;
}

// Among the children only; the window's own neighbours are its frame's.
HRESULT AccessibleObject::accNavigate(LONG direction, VARIANT start, VARIANT* end) {
  if (!end) return E_POINTER;
  AccessibleNode node;
  const HRESULT found = Node(start, &node);
  if (FAILED(found)) return found;
  std::vector<long> ids;
  for (const AccessibleNode& child : source_->Children()) ids.push_back(child.id);
  const auto at = std::find(ids.begin(), ids.end(), start.lVal);
  const bool self = start.lVal == CHILDID_SELF;
  switch (direction) {
    case NAVDIR_FIRSTCHILD:
      return self && !ids.empty() ? Number(ids.front(), end) : Nothing(end);
    case NAVDIR_LASTCHILD:
      return self && !ids.empty() ? Number(ids.back(), end) : Nothing(end);
    case NAVDIR_NEXT: case NAVDIR_DOWN: case NAVDIR_RIGHT:
      return !self && at != ids.end() && at + 1 != ids.end() ? Number(*(at + 1), end) : Nothing(end);
    case NAVDIR_PREVIOUS: case NAVDIR_UP: case NAVDIR_LEFT:
      return !self && at != ids.end() && at != ids.begin() ? Number(*(at - 1), end) : Nothing(end);
    default:
      return E_INVALIDARG;
  }
}

// The smallest child under the point (a link before the text holding it).
HRESULT AccessibleObject::accHitTest(LONG x, LONG y, VARIANT* child) {
  if (!child) return E_POINTER;
  if (!source_) return RPC_E_DISCONNECTED;
  if (!Holds(source_->Self().location, x, y)) return Nothing(child);
  long hit = CHILDID_SELF;
  long long smallest = 0;
  for (const AccessibleNode& node : source_->Children()) {
    if (!Holds(node.location, x, y) || (hit != CHILDID_SELF && Area(node.location) >= smallest)) continue;
    hit = node.id;
    smallest = Area(node.location);
  }
  return Number(hit, child);
}

HRESULT AccessibleObject::accDoDefaultAction(VARIANT child) {
  AccessibleNode node;
  const HRESULT found = Node(child, &node);
  if (FAILED(found)) return found;
  if (node.defaultAction.empty()) return DISP_E_MEMBERNOTFOUND;
  source_->DoDefaultAction(node.id);
  return S_OK;
}

HRESULT AccessibleObject::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }

HRESULT AccessibleObject::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }

HRESULT AccessibleObject::Next(ULONG count, VARIANT* children, ULONG* fetched) {
  if (!children) return E_POINTER;
  if (!source_) return RPC_E_DISCONNECTED;
  if (cursor_ == 0 && enumerated_.empty()) Reset();
  ULONG given = 0;
  for (; given < count && cursor_ < enumerated_.size(); ++given) Number(enumerated_[cursor_++], &children[given]);
  if (fetched) *fetched = given;
  return given == count ? S_OK : S_FALSE;
}

HRESULT AccessibleObject::Skip(ULONG count) {
  cursor_ += count;
  return cursor_ <= enumerated_.size() ? S_OK : S_FALSE;
}

HRESULT AccessibleObject::Reset() {
  if (!source_) return RPC_E_DISCONNECTED;
  enumerated_.clear();
  for (const AccessibleNode& node : source_->Children()) enumerated_.push_back(node.id);
  cursor_ = 0;
  return S_OK;
}

HRESULT AccessibleObject::Clone(IEnumVARIANT** copy) {
  if (copy) *copy = nullptr;
  return E_NOTIMPL;
}

}  // namespace toolkit
