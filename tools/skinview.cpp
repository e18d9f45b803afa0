// Shows a layout of the embedded skin in a real window, for people who draw
// or check the skin: optionally in a language's texts, with pages chosen and
// controls shown or hidden, and saves what the window draws as a PNG.
//
// usage: skinview [--layout InstallMainWnd.xml] [--lang english]
//                 [--set control=key]... [--select control=index]...
//                 [--show control]... [--hide control]... [--value control=n]
//                 [--scroll control=pixels] [--image control=picture] [--height pixels]
//                 [--msgbox kind[,kind]... [--text argument]]
//                 [--carousel picture|from,to,steps] [--banner position=file]...
//                 [--progress percent]
//                 [--splash frames] [--png file.png] [--accessibility file.txt]
//                 [--wait ms]
//   --lang also gives the window the language's faces and direction (Arabic
//   mirrored) and puts the language's licence into "license_text", in an
//   area as high as the main window makes it; texts that do not fit are
//   logged once the state is applied; --set copies the text of `key` (a
//   language entry, else a control of the layout) into `control`; --msgbox
//   opens the installer's own message box of that kind (EnumMsgType) in the
//   language instead of a layout, --text being its text argument; --image
//   gives a control another picture of the skin (as the install gives the
//   upper area its own); --carousel composes the running page's carousel
//   (with the language's captions, and the --banner pictures in place of the
//   built-in ones at their positions) and shows one picture, or the frame
//   reached after `steps` steps of the slide from one picture to another;
//   --splash shows the launch splash after its ring turned `frames` times;
//   --progress sets the running page's bar and its text, the language's
//   format filled; --wait keeps the window open (0: close at once; without it
//   the window stays until it is closed); --accessibility writes what a
//   screen reader reads of the window (oleacc's AccessibleObjectFromWindow
//   and AccessibleChildren), one line per object: role, name, states and
//   value ("%d" as for --png), and fails unless every control a click reaches
//   is there in its role, named with a text of the --lang language file, and,
//   with --progress, the bar's value follows the bar as it moves, with an
//   event.
#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "toolkit/FocusOrder.h"
#include "toolkit/HitTest.h"
#include "toolkit/LayoutParser.h"
#include "toolkit/Markup.h"
#include "toolkit/SkinWindow.h"
#include "toolkit/SteadyClock.h"
#include "toolkit/TextOverflow.h"
#include "toolkit/win32/Win32Backend.h"
#include "window/CAlientWnd.h"
#include "window/CAnima.h"
#include "window/Language.h"
#include "window/LanguageLabels.h"
#include "window/LanguageTemplate.h"
#include "window/LicensePanel.h"
#include "window/MessageBoxWnd.h"

namespace {

struct Options {
  std::wstring layout = L"InstallMainWnd.xml", lang, png, text, accessibility;
  std::vector<std::pair<std::string, std::string>> sets, selects, values, scrolls, banners, images;
  std::vector<int> carousel;  // one picture, or from, to and steps
  int splashFrames = -1, progress = -1;
  std::vector<std::string> shows, hides;
  std::vector<int> msgboxes;
  int height = 0, waitMs = -1;
};

// "2,14,15": numbers, each 0 or more.
bool ParseNumbers(const std::wstring& list, std::vector<int>* numbers) {
  for (size_t at = 0; at <= list.size();) {
    const size_t comma = std::min(list.find(L',', at), list.size());
    const int number = _wtoi(list.substr(at, comma - at).c_str());
    if (number < 0) return false;
    numbers->push_back(number);
    at = comma + 1;
  }
  return true;
}

// Message box kinds, each 0 to 15.
bool ParseKinds(const std::wstring& list, std::vector<int>* kinds) {
  return ParseNumbers(list, kinds) && std::all_of(kinds->begin(), kinds->end(), [](int kind) { return kind <= 15; });
}

bool Split(const std::string& text, std::pair<std::string, std::string>* pair) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos) return false;
  *pair = {text.substr(0, equals), text.substr(equals + 1)};
  return true;
}

bool ParseOptions(int argc, wchar_t** argv, Options* options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring name = argv[i], value = argv[i + 1];
    const std::string narrow = platform::WideToUtf8(value);
    std::pair<std::string, std::string> pair;
    if (name == L"--layout") options->layout = value;
    else if (name == L"--lang") options->lang = value;
    else if (name == L"--png") options->png = value;
    else if (name == L"--accessibility") options->accessibility = value;
    else if (name == L"--height") options->height = _wtoi(value.c_str());
    else if (name == L"--wait") options->waitMs = _wtoi(value.c_str());
    else if (name == L"--msgbox" && ParseKinds(value, &options->msgboxes)) continue;
    else if (name == L"--text") options->text = value;
    else if (name == L"--show") options->shows.push_back(narrow);
    else if (name == L"--hide") options->hides.push_back(narrow);
    else if (name == L"--set" && Split(narrow, &pair)) options->sets.push_back(pair);
    else if (name == L"--select" && Split(narrow, &pair)) options->selects.push_back(pair);
    else if (name == L"--value" && Split(narrow, &pair)) options->values.push_back(pair);
    else if (name == L"--scroll" && Split(narrow, &pair)) options->scrolls.push_back(pair);
    else if (name == L"--banner" && Split(narrow, &pair)) options->banners.push_back(pair);
    else if (name == L"--image" && Split(narrow, &pair)) options->images.push_back(pair);
    else if (name == L"--carousel" && ParseNumbers(value, &options->carousel)) continue;
    else if (name == L"--splash") options->splashFrames = _wtoi(value.c_str());
    else if (name == L"--progress") options->progress = _wtoi(value.c_str());
    else return false;
  }
  return argc % 2 == 1;
}

// The language whose file is language_<name>.xml; English for none.
EnumLanguage LanguageNamed(const std::wstring& name) {
  for (int value = 0; value <= 20; ++value)
    if (GetLanguageFileName(static_cast<EnumLanguage>(value)) == L"language_" + name + L".xml")
      return static_cast<EnumLanguage>(value);
  return static_cast<EnumLanguage>(0);
}

void CollectTexts(const toolkit::Control& control, std::map<std::string, std::wstring>* texts) {
  if (!control.name().empty() && !control.look.text.empty()) (*texts)[control.name()] = control.look.text;
  for (const auto& child : control.children()) CollectTexts(*child, texts);
}

// Every text of the language file goes to the control of the same name.
bool ApplyLanguage(const toolkit::ResourceArchive& archive, const Options& options, toolkit::SkinWindow& window) {
  std::map<std::string, std::wstring> texts;
  if (!options.lang.empty()) {
    toolkit::Control holder(toolkit::ControlKind::kVerticalLayout);
    toolkit::LayoutParser parser(archive, L"");
    if (!parser.ParseControls(L"language\\language_" + options.lang + L".xml", &holder)) {
      std::fprintf(stderr, "skinview: %s\n", parser.error().c_str());
      return false;
    }
    CollectTexts(holder, &texts);
    SetWindowLanguage(&window.layout(), LanguageNamed(options.lang));
    for (const auto& [name, text] : texts) ApplyLanguageLabel(window.layout().root, name, text);
    NameCarouselOptions(window.layout().root);
    ShowLicense(window, LanguageNamed(options.lang));
  }
  for (const auto& [name, key] : options.sets) {
    toolkit::Control* control = window.Find(name);
    toolkit::Control* source = window.Find(key);
    const auto found = texts.find(key);
    if (control && found != texts.end()) control->look.text = found->second;
    else if (control && source) control->look.text = source->look.text;
  }
  return true;
}

void ApplyState(const Options& options, toolkit::SkinWindow& window) {
  toolkit::Control* bar = window.Find("install_progress");
  toolkit::Control* label = window.Find("install_label");
  if (options.progress >= 0 && bar && label) {
    bar->state.value = options.progress;
    label->look.text = FillTemplate(label->look.text, options.progress);
  }
  for (const auto& [name, index] : options.selects)
    if (toolkit::Control* control = window.Find(name)) control->SelectIndex(std::atoi(index.c_str()));
  for (const auto& [name, value] : options.values)
    if (toolkit::Control* control = window.Find(name)) control->state.value = std::atoi(value.c_str());
  for (const auto& [name, offset] : options.scrolls)
    if (toolkit::Control* control = window.Find(name)) control->state.scrollY = std::atoi(offset.c_str());
  for (const auto& [name, file] : options.images) {
    if (toolkit::Control* control = window.Find(name)) {
      control->look.bkImage = toolkit::Picture();
      control->look.bkImage.file = file;
    }
  }
  for (const std::string& name : options.shows)
    if (toolkit::Control* control = window.Find(name)) control->state.visible = true;
  for (const std::string& name : options.hides)
    if (toolkit::Control* control = window.Find(name)) control->state.visible = false;
  toolkit::Rect rect = window.WindowRect();
  if (options.height > 0) rect.bottom = rect.top + options.height;
  window.MoveWindow(rect);  // arranges the controls again
}

bool PngEncoder(CLSID* encoder) {
  UINT count = 0, bytes = 0;
  Gdiplus::GetImageEncodersSize(&count, &bytes);
  std::vector<BYTE> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (!bytes || Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i)
    if (std::wstring(codecs[i].MimeType) == L"image/png") return *encoder = codecs[i].Clsid, true;
  return false;
}

// What the window draws, at the screen's scale.
bool SavePng(toolkit::Win32Backend& backend, toolkit::SkinWindow& window, const std::wstring& path) {
  const toolkit::Rect rect = window.WindowRect();
  auto bitmap = backend.painter().Render(window.layout(), toolkit::Size{rect.Width(), rect.Height()},
                                         toolkit::PaintState{}, backend.scale().factor());
  CLSID encoder;
  return PngEncoder(&encoder) && bitmap->Save(path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
}


// ---- what a screen reader reads (--accessibility) ----

struct ReadObject {
  long role = 0, states = 0;
  std::wstring name, value;
  RECT location{};
  VARIANT id{};
};

std::wstring ReadText(IAccessible* object, VARIANT id, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
  BSTR text = nullptr;
  if ((object->*get)(id, &text) != S_OK || !text) return std::wstring();
  std::wstring read(text, SysStringLen(text));
  SysFreeString(text);
  return read;
}

ReadObject Read(IAccessible* object, VARIANT id) {
  ReadObject read;
  read.id = id;
  VARIANT number;
  if (object->get_accRole(id, &number) == S_OK && number.vt == VT_I4) read.role = number.lVal;
  if (object->get_accState(id, &number) == S_OK && number.vt == VT_I4) read.states = number.lVal;
  read.name = ReadText(object, id, &IAccessible::get_accName);
  read.value = ReadText(object, id, &IAccessible::get_accValue);
  LONG x = 0, y = 0, width = 0, height = 0;
  if (object->accLocation(&x, &y, &width, &height, id) == S_OK) read.location = RECT{x, y, x + width, y + height};
  return read;
}

// The window's client object and its children, as a screen reader asks.
bool ReadTree(HWND hwnd, IAccessible** client, std::vector<ReadObject>* objects) {
  if (AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                 reinterpret_cast<void**>(client)) != S_OK)
    return false;
  VARIANT self;
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  objects->assign(1, Read(*client, self));
  LONG count = 0;
  (*client)->get_accChildCount(&count);
  std::vector<VARIANT> children(static_cast<size_t>(std::max(count, 0L)));
  LONG got = 0;
  if (count > 0 && FAILED(AccessibleChildren(*client, 0, count, children.data(), &got))) return false;
  for (LONG i = 0; i < got; ++i)
    if (children[i].vt == VT_I4) objects->push_back(Read(*client, children[i]));
  return true;
}

std::wstring Describe(const ReadObject& object) {
  wchar_t text[128] = {};
  GetRoleTextW(static_cast<DWORD>(object.role), text, 128);
  std::wstring line = std::wstring(text) + L" \"" + object.name + L"\" (";
  bool first = true;
  for (int bit = 0; bit < 31; ++bit) {
    if (!(object.states & (1L << bit))) continue;
    GetStateTextW(static_cast<DWORD>(1L << bit), text, 128);
    line += (first ? L"" : L", ") + std::wstring(text);
    first = false;
  }
  line += L")";
  if (!object.value.empty()) line += L" = " + object.value;
  return line;
}

std::wstring Squeezed(std::wstring text) {
  text.erase(std::remove_if(text.begin(), text.end(), [](wchar_t c) { return std::iswspace(c) != 0; }), text.end());
  return text;
}

void CollectLanguageTexts(const toolkit::Control& control, std::vector<std::wstring>* texts) {
  if (!control.look.text.empty()) texts->push_back(Squeezed(toolkit::ParseMarkup(control.look.text).PlainText()));
  for (const auto& child : control.children()) CollectLanguageTexts(*child, texts);
}

long ExpectedRole(toolkit::ControlKind kind) {
  switch (kind) {
    case toolkit::ControlKind::kButton: return ROLE_SYSTEM_PUSHBUTTON;
    case toolkit::ControlKind::kCheckBox: return ROLE_SYSTEM_CHECKBUTTON;
    case toolkit::ControlKind::kOption: return ROLE_SYSTEM_RADIOBUTTON;
    case toolkit::ControlKind::kCombo: return ROLE_SYSTEM_COMBOBOX;
    case toolkit::ControlKind::kEdit: return ROLE_SYSTEM_TEXT;
    default: return 0;
  }
}

// The controls a click reaches, each with the role its child must have
// (links: ROLE_SYSTEM_LINK, once per link), at the middle of what shows.
void CollectClickable(toolkit::Control* root, toolkit::Control* control, toolkit::Size window,
                      std::vector<std::pair<toolkit::Control*, long>>* found) {
  const toolkit::Rect part = toolkit::VisiblePart(*control, window);
  if (part.Width() <= 0 || !toolkit::EnabledChain(*control)) return;
  const toolkit::Point middle{(part.left + part.right) / 2, (part.top + part.bottom) / 2};
  const long role = ExpectedRole(control->kind());
  if (role && toolkit::HitTest(root, middle) == control) found->emplace_back(control, role);
  if (control->look.markup)
    for (size_t link = 0; link < toolkit::ParseMarkup(control->look.text).links.size(); ++link)
      found->emplace_back(control, ROLE_SYSTEM_LINK);
  if (control->kind() == toolkit::ControlKind::kCombo) return;
  for (const auto& child : control->children()) CollectClickable(root, child.get(), window, found);
}

// A text's link may be drawn past the text's box when the text overflows.
bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Each control a click reaches has a child of its role on it, named
// with a text of the language file; false with a line on stderr for each
// that has not.
bool CheckClickable(toolkit::Win32Backend& backend, HWND hwnd, toolkit::SkinWindow& window,
                    const std::vector<ReadObject>& objects, const std::vector<std::wstring>& texts) {
  const toolkit::Rect frame = window.WindowRect();
  std::vector<std::pair<toolkit::Control*, long>> clickable;
  CollectClickable(&window.layout().root, &window.layout().root, toolkit::Size{frame.Width(), frame.Height()},
                   &clickable);
  std::vector<bool> used(objects.size());
  bool good = true;
  for (const auto& [control, role] : clickable) {
    const toolkit::Rect screen = backend.scale().ToScreen(control->rect);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    const RECT box{origin.x + screen.left, origin.y + screen.top, origin.x + screen.right, origin.y + screen.bottom};
    size_t at = 1;
    while (at < objects.size() && (used[at] || objects[at].role != role || !Overlap(box, objects[at].location))) ++at;
    std::string problem;
    if (at == objects.size()) {
      problem = "is missing";
    } else {
      used[at] = true;
      const std::wstring name = Squeezed(objects[at].name);
      const bool translated = std::any_of(texts.begin(), texts.end(), [&name](const std::wstring& text) {
        return text.find(name) != std::wstring::npos;
      });
      if (name.empty()) problem = "has no name";
      else if (!translated) problem = "is named \"" + platform::WideToUtf8(objects[at].name) + "\", no text of the language";
    }
    if (problem.empty()) continue;
    std::fprintf(stderr, "skinview: accessibility: %s (role %ld) %s\n", control->name().c_str(), role, problem.c_str());
    good = false;
  }
  return good;
}

int g_valueEvents = 0;
void CALLBACK CountValueEvent(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) { ++g_valueEvents; }

// The bar moved on by ten: its child's value says the new percentage, and
// an event told of it.
bool CheckProgressFollows(toolkit::Win32Backend& backend, toolkit::SkinWindow& window, IAccessible* client,
                          const std::vector<ReadObject>& objects) {
  toolkit::Control* bar = window.Find("install_progress");
  const auto read = std::find_if(objects.begin(), objects.end(),
                                 [](const ReadObject& object) { return object.role == ROLE_SYSTEM_PROGRESSBAR; });
  if (!bar || read == objects.end()) {
    std::fprintf(stderr, "skinview: accessibility: no progress bar\n");
    return false;
  }
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, &CountValueEvent,
                                       GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  g_valueEvents = 0;
  bar->state.value = (bar->state.value + 10) % (bar->state.max + 1);
  window.Invalidate();
  backend.PumpNative();
  const std::wstring moved = Read(client, read->id).value;
  if (hook) UnhookWinEvent(hook);
  const int span = std::max(bar->state.max - bar->state.min, 1);
  const std::wstring expected = std::to_wstring((bar->state.value - bar->state.min) * 100 / span) + L"%";
  if (moved != read->value && moved == expected && g_valueEvents > 0) return true;
  std::fprintf(stderr, "skinview: accessibility: the bar's value went from %s to %s (expected %s), %d event(s)\n",
               platform::WideToUtf8(read->value).c_str(), platform::WideToUtf8(moved).c_str(),
               platform::WideToUtf8(expected).c_str(), g_valueEvents);
  return false;
}

// Writes the tree of the window to `path` and checks it.
bool DumpAccessibility(toolkit::Win32Backend& backend, const toolkit::ResourceArchive& archive,
                       toolkit::SkinWindow& window, const Options& options, const std::wstring& path) {
  HWND hwnd = backend.NativeHandle(window.handle());
  CoInitialize(nullptr);
  IAccessible* client = nullptr;
  std::vector<ReadObject> objects;
  bool good = ReadTree(hwnd, &client, &objects);
  if (good) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    for (const ReadObject& object : objects) out << platform::WideToUtf8(Describe(object)) << "\n";
    good = static_cast<bool>(out);
    toolkit::Control holder(toolkit::ControlKind::kVerticalLayout);
    toolkit::LayoutParser parser(archive, L"");
    std::vector<std::wstring> texts;
    const std::wstring file = L"language\\language_" + (options.lang.empty() ? L"english" : options.lang) + L".xml";
    if (parser.ParseControls(file, &holder)) CollectLanguageTexts(holder, &texts);
    good = CheckClickable(backend, hwnd, window, objects, texts) && good;
    if (options.progress >= 0) good = CheckProgressFollows(backend, window, client, objects) && good;
  } else {
    std::fprintf(stderr, "skinview: accessibility: the window gives no accessible tree\n");
  }
  if (client) client->Release();
  CoUninitialize();
  return good;
}

// The installer's message box of the kind, filled and laid out by itself;
// a helper of the loop sets the state, saves the PNG and ends it.
bool ShowMessageBox(int kind, const toolkit::ResourceArchive& archive, toolkit::Win32Backend& backend,
                    toolkit::MessageLoop& loop, const Options& options) {
  MessageBoxWnd box(loop, static_cast<EnumMsgType>(kind), LanguageNamed(options.lang), options.text, archive);
  const auto ofKind = [kind](std::wstring path) {
    const size_t placeholder = path.find(L"%d");
    if (placeholder != std::wstring::npos) path.replace(placeholder, 2, std::to_wstring(kind));
    return path;
  };
  const std::wstring png = ofKind(options.png);
  bool saved = png.empty(), read = true;
  enum : unsigned { kShoot = 1, kClose = 2 };
  int helper = 0;
  helper = loop.AddWindow([](unsigned, intptr_t, intptr_t) {}, [&](unsigned id) {
    loop.KillTimer(helper, id);
    if (id == kShoot) {
      ApplyState(options, box);
      saved = saved || SavePng(backend, box, png);
      if (!options.accessibility.empty())
        read = DumpAccessibility(backend, archive, box, options, ofKind(options.accessibility));
      if (options.waitMs >= 0) loop.SetTimer(helper, kClose, static_cast<uint64_t>(options.waitMs));
    } else {
      box.EndModal(kMsgResultNo);
    }
  });
  loop.SetTimer(helper, kShoot, 0);
  box.DoModal(0);
  loop.RemoveWindow(helper);
  if (!saved) std::fprintf(stderr, "skinview: cannot write %s\n", platform::WideToUtf8(png).c_str());
  return saved && read;
}

// The carousel of the running page, as the main window composes it.
std::unique_ptr<CAnima> ShowCarousel(toolkit::SkinWindow& window, const toolkit::ResourceArchive& archive,
                                     toolkit::Win32Backend& backend, const Options& options) {
  constexpr unsigned kSlideTimer = 2;
  toolkit::Caption style;
  style.font.face = GetLicenseFontName(LanguageNamed(options.lang));
  style.color = 0xFF4A4A4A;
  auto anima = std::make_unique<CAnima>(window, window.Find("anima_layout"), CAnima::CountPictures(archive),
                                        kSlideTimer, style);
  std::map<int, std::string> banners;
  for (const auto& [position, file] : options.banners) {
    const std::string name = "banner/" + position + file.substr(std::min(file.rfind('.'), file.size()));
    if (backend.Pictures().LoadFile(name, file)) banners[std::atoi(position.c_str())] = name;
  }
  anima->HorizontalMoveAnimaInit(banners);
  const std::vector<int>& shown = options.carousel;
  anima->Show(shown[0]);
  const int target = shown.size() == 3 ? shown[1] : shown[0];
  if (toolkit::Control* option = window.Find("image_play_option" + std::to_string(target))) option->SetSelected(true);
  if (shown.size() == 3) {
    anima->Animate(shown[0], shown[1]);
    for (int step = 0; step < shown[2]; ++step) anima->Step();
    window.KillTimer(kSlideTimer);
  }
  return anima;
}

// The launch splash after its ring turned `frames` times, saved as it
// shows; the product it starts is a command that ends at once.
bool ShowSplash(const toolkit::ResourceArchive& archive, toolkit::Win32Backend& backend, toolkit::MessageLoop& loop,
                const Options& options) {
  CAlientWnd splash(loop, 1, L"Quenlo PDF Editor", L"\"C:\\Windows\\System32\\hostname.exe\"", 3600,
                    LanguageNamed(options.lang),
                    [](const std::string&, const std::string&, const std::string&) {}, archive);
  int turns = 0;
  bool saved = false;
  const int helper = loop.AddWindow(nullptr, [&](unsigned) {
    if (++turns < options.splashFrames) return;
    saved = SavePng(backend, splash, options.png);
    splash.EndModal(0);
  });
  loop.SetTimer(helper, 1, CAlientWnd::kFrameMs);
  splash.DoModal();
  loop.RemoveWindow(helper);
  if (!saved) std::fprintf(stderr, "skinview: cannot write %s\n", platform::WideToUtf8(options.png).c_str());
  return saved;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "usage: skinview [--layout file] [--lang name] [--set c=key] [--select c=n] [--show c]"
                         " [--hide c] [--value c=n] [--scroll c=n] [--height n] [--msgbox k,k.. [--text t]]"
                         " [--carousel n|a,b,steps] [--banner n=file].. [--progress n] [--splash frames] [--png file]"
                         " [--accessibility file] [--wait ms]\n");
    return 2;
  }
  const void* data = nullptr;
  size_t size = 0;
  toolkit::ResourceArchive archive;
  if (!platform::LoadModuleResource(L"ZIPRES", 138, &data, &size) || !archive.Open(data, size)) {
    std::fprintf(stderr, "skinview: no skin archive in the program\n");
    return 1;
  }
  toolkit::Win32Backend backend(archive);
  toolkit::SteadyClock clock;
  toolkit::MessageLoop loop(backend, clock);
  if (!options.msgboxes.empty()) {
    bool saved = true;
    for (int kind : options.msgboxes) saved = ShowMessageBox(kind, archive, backend, loop, options) && saved;
    return saved ? 0 : 1;
  }
  if (options.splashFrames >= 0) return ShowSplash(archive, backend, loop, options) ? 0 : 1;
  toolkit::SkinWindow window(loop);
  toolkit::WindowSpec spec;
  spec.className = L"SkinView";
  spec.title = L"skinview - " + options.layout;
  if (!window.Create(archive, L"", options.layout, spec) || !ApplyLanguage(archive, options, window)) return 1;
  ApplyState(options, window);
  toolkit::LogTextOverflows(window.layout(), backend);  // in the language's texts, as arranged
  std::unique_ptr<CAnima> carousel;
  if (!options.carousel.empty()) carousel = ShowCarousel(window, archive, backend, options);
  window.Center();
  window.Show(true);
  backend.PumpNative();
  if (!options.png.empty() && !SavePng(backend, window, options.png)) {
    std::fprintf(stderr, "skinview: cannot write %s\n", platform::WideToUtf8(options.png).c_str());
    return 1;
  }
  if (!options.accessibility.empty() && !DumpAccessibility(backend, archive, window, options, options.accessibility))
    return 1;
  if (options.waitMs == 0) return 0;
  window.notify().On("", "timer", [&loop](const toolkit::Notification&) { loop.Quit(0); });
  window.notify().On("closebtn", "click", [&loop](const toolkit::Notification&) { loop.Quit(0); });
  if (options.waitMs > 0) window.SetTimer(1, static_cast<uint64_t>(options.waitMs));
  return loop.Run();
}
