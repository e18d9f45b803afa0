// Shows a layout of the embedded skin in a real window, for people who draw
// or check the skin: optionally in a language's texts, with pages chosen and
// controls shown or hidden, and saves what the window draws as a PNG.
//
// usage: skinview [--layout InstallMainWnd.xml] [--lang english]
//                 [--set control=key]... [--select control=index]...
//                 [--show control]... [--hide control]... [--value control=n]
//                 [--scroll control=pixels] [--height pixels]
//                 [--msgbox kind[,kind]... [--text argument]]
//                 [--carousel picture|from,to,steps] [--banner position=file]...
//                 [--progress percent]
//                 [--splash frames] [--png file.png] [--wait ms]
//   --lang also gives the window the language's faces and direction (Arabic
//   mirrored) and puts the language's licence into "license_text", in an
//   area as high as the main window makes it; texts that do not fit are
//   logged once the state is applied; --set copies the text of `key` (a
//   language entry, else a control of the layout) into `control`; --msgbox
//   opens the installer's own message box of that kind (EnumMsgType) in the
//   language instead of a layout, --text being its text argument;
//   --carousel composes the running page's carousel (with the language's
//   captions, and the --banner pictures in place of the built-in ones at
//   their positions) and shows one picture, or the frame reached after
//   `steps` steps of the slide from one picture to another; --splash shows
//   the launch splash after its ring turned `frames` times; --progress sets
//   the running page's bar and its text, the language's format filled; --wait
//   keeps the window open (0: close at once; without it the window stays
//   until it is closed).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "toolkit/LayoutParser.h"
#include "toolkit/SkinWindow.h"
#include "toolkit/SteadyClock.h"
#include "toolkit/TextOverflow.h"
#include "toolkit/win32/Win32Backend.h"
#include "window/CAlientWnd.h"
#include "window/CAnima.h"
#include "window/Language.h"
#include "window/LanguageTemplate.h"
#include "window/LicensePanel.h"
#include "window/MessageBoxWnd.h"

namespace {

struct Options {
  std::wstring layout = L"InstallMainWnd.xml", lang, png, text;
  std::vector<std::pair<std::string, std::string>> sets, selects, values, scrolls, banners;
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
    for (const auto& [name, text] : texts)
      if (toolkit::Control* control = window.Find(name)) control->look.text = text;
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

// The installer's message box of the kind, filled and laid out by itself;
// a helper of the loop sets the state, saves the PNG and ends it.
bool ShowMessageBox(int kind, const toolkit::ResourceArchive& archive, toolkit::Win32Backend& backend,
                    toolkit::MessageLoop& loop, const Options& options) {
  MessageBoxWnd box(loop, static_cast<EnumMsgType>(kind), LanguageNamed(options.lang), options.text, archive);
  std::wstring png = options.png;
  const size_t placeholder = png.find(L"%d");
  if (placeholder != std::wstring::npos) png.replace(placeholder, 2, std::to_wstring(kind));
  bool saved = png.empty();
  enum : unsigned { kShoot = 1, kClose = 2 };
  int helper = 0;
  helper = loop.AddWindow([](unsigned, intptr_t, intptr_t) {}, [&](unsigned id) {
    loop.KillTimer(helper, id);
    if (id == kShoot) {
      ApplyState(options, box);
      saved = saved || SavePng(backend, box, png);
      if (options.waitMs >= 0) loop.SetTimer(helper, kClose, static_cast<uint64_t>(options.waitMs));
    } else {
      box.EndModal(kMsgResultNo);
    }
  });
  loop.SetTimer(helper, kShoot, 0);
  box.DoModal(0);
  loop.RemoveWindow(helper);
  if (!saved) std::fprintf(stderr, "skinview: cannot write %s\n", platform::WideToUtf8(png).c_str());
  return saved;
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
                         " [--wait ms]\n");
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
  if (options.waitMs == 0) return 0;
  window.notify().On("", "timer", [&loop](const toolkit::Notification&) { loop.Quit(0); });
  window.notify().On("closebtn", "click", [&loop](const toolkit::Notification&) { loop.Quit(0); });
  if (options.waitMs > 0) window.SetTimer(1, static_cast<uint64_t>(options.waitMs));
  return loop.Run();
}
