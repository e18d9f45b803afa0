// The skin the program carries: every layout parses and, laid out, gives the
// sizes the window code relies on with no control outside its parent; the
// English texts fit with room for longer translations; the pictures the
// layouts and the code name are exactly the pictures of the archive.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ShippedSkin.h"
#include "toolkit/LayoutPass.h"
#include "toolkit/TextOverflow.h"
#include "toolkit/headless/HeadlessBackend.h"

namespace {

using shipped_skin::Archive;
using shipped_skin::ParseWindow;
using toolkit::Control;
using toolkit::ControlKind;
using toolkit::Rect;
using toolkit::WindowLayout;

std::string Describe(const Control& control) {
  const Rect& r = control.rect;
  return (control.name().empty() ? std::string(toolkit::KindName(control.kind())) : control.name()) + " [" +
         std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + "]";
}

// Shown controls whose rectangle leaves their parent's. A scrolling layout's
// content may run past its bottom; combo items belong to the drop-down.
void Escapees(const Control& parent, bool scrolling, std::vector<std::string>* found) {
  if (parent.kind() == ControlKind::kCombo) return;
  for (size_t i = 0; i < parent.children().size(); ++i) {
    const Control& child = *parent.children()[i];
    const bool pageShown = parent.kind() != ControlKind::kTabLayout || static_cast<int>(i) == parent.state.selectedIndex;
    if (!child.state.visible || !pageShown) continue;
    const Rect& r = child.rect;
    const Rect& p = parent.rect;
    const bool inside = r.left >= p.left && r.right <= p.right && r.left <= r.right && r.top <= r.bottom &&
                        (scrolling || (r.top >= p.top && r.bottom <= p.bottom));
    if (!inside) found->push_back(Describe(child) + " in " + Describe(parent));
    Escapees(child, scrolling || child.layout.vscrollbar, found);
  }
}

// Arranges the window at its layout's size; false, naming them, when controls stick out.
::testing::AssertionResult Arranged(WindowLayout* layout) {
  toolkit::ArrangeWindow(&layout->root, layout->size);
  std::vector<std::string> found;
  Escapees(layout->root, false, &found);
  if (found.empty()) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure() << "outside their parent:";
  for (const std::string& line : found) failure << "\n  " << line;
  return failure;
}

Control& Named(WindowLayout& layout, const std::string& name) {
  Control* control = layout.root.Find(name);
  if (!control) {
    ADD_FAILURE() << "no control " << name;
    static Control missing(ControlKind::kControl);
    return missing;
  }
  return *control;
}

// "width x height" of a control's rectangle, for readable failures.
std::string SizeOf(WindowLayout& layout, const std::string& name) {
  const Rect& r = Named(layout, name).rect;
  return std::to_string(r.Width()) + "x" + std::to_string(r.Height());
}

// Each control has the size, "width x height", given beside its name.
void ExpectSizes(WindowLayout& layout, const std::vector<std::pair<std::string, std::string>>& expected) {
  for (const auto& [name, size] : expected) EXPECT_EQ(SizeOf(layout, name), size) << name;
}

std::string WindowSize(const WindowLayout& layout) {
  return std::to_string(layout.size.width) + "x" + std::to_string(layout.size.height);
}

bool Contains(const Rect& outer, const Rect& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

TEST(ShippedSkin, MainWindowPagesHaveTheirSizesAndStayInsideTheirParents) {
  auto layout = ParseWindow("InstallMainWnd.xml");
  ASSERT_TRUE(layout);
  EXPECT_EQ(WindowSize(*layout), "650x560");

  // Settings phase with the settings panel open.
  ASSERT_TRUE(Arranged(layout.get()));
  ExpectSizes(*layout, {{"backgroudlayout", "650x360"}, {"set_layout", "650x200"}, {"install_btn", "200x40"},
                        {"language_combox", "300x28"}, {"install_path_edit", "470x28"}, {"browser_btn", "110x28"},
                        {"minbtn", "20x20"}, {"closebtn", "20x20"}, {"logo", "72x72"}});
  const Rect install = Named(*layout, "install_btn").rect;

  // The licence panel scrolls its 1590-pixel text area.
  Named(*layout, "set_layout").SelectIndex(0);
  ASSERT_TRUE(Arranged(layout.get()));
  EXPECT_EQ(Named(*layout, "license_text_layout").rect.Height(), 1590);

  // The finished page shows Start where Install was; the failure page adds
  // its title, warning and advice, all within the collapsed window.
  Named(*layout, "page_layout").SelectIndex(1);
  ASSERT_TRUE(Arranged(layout.get()));
  EXPECT_EQ(SizeOf(*layout, "start_app"), "200x40");
  EXPECT_EQ(Named(*layout, "start_app").rect, install);
  for (const char* name : {"text_fail_retry", "img_warning", "text_fail_advice"}) Named(*layout, name).state.visible = true;
  ASSERT_TRUE(Arranged(layout.get()));
  ExpectSizes(*layout, {{"img_warning", "24x24"}});
  EXPECT_EQ(Named(*layout, "text_fail_advice").rect.Width(), 560);
  EXPECT_LE(Named(*layout, "start_app").rect.bottom, 360);

  // The running page: the carousel with its option buttons over it, the bar and Hide.
  Named(*layout, "main_tablayout").SelectIndex(1);
  ASSERT_TRUE(Arranged(layout.get()));
  EXPECT_EQ(SizeOf(*layout, "anima_layout"), "648x300");
  for (int i = 1; i <= 5; ++i) {
    const std::string option = "image_play_option" + std::to_string(i);
    EXPECT_EQ(SizeOf(*layout, option), "6x6");
    EXPECT_TRUE(Contains(Named(*layout, "anima_layout").rect, Named(*layout, option).rect)) << option;
  }
  EXPECT_EQ(Named(*layout, "install_progress").rect.Height(), 6);
  ExpectSizes(*layout, {{"install_minbtn", "110x28"}});
  EXPECT_LE(Named(*layout, "install_minbtn").rect.bottom, 360);
}

TEST(ShippedSkin, MessageBoxAndSplashLayouts) {
  auto box = ParseWindow("MessageBox.xml");
  ASSERT_TRUE(box);
  EXPECT_EQ(WindowSize(*box), "500x190");
  ASSERT_TRUE(Arranged(box.get()));
  ExpectSizes(*box, {{"btn_yes", "160x28"}, {"btn_no", "160x28"}, {"iconimage", "40x40"}, {"msg_describe", "360x90"},
                     {"closebtn", "20x20"}});

  auto down = ParseWindow("MessageBox_down.xml");
  ASSERT_TRUE(down);
  EXPECT_EQ(WindowSize(*down), "452x190");
  ASSERT_TRUE(Arranged(down.get()));
  ExpectSizes(*down, {{"btn_yes", "160x28"}});

  auto splash = ParseWindow("transWnd.xml");
  ASSERT_TRUE(splash);
  EXPECT_EQ(WindowSize(*splash), "320x320");
  ASSERT_TRUE(Arranged(splash.get()));
  ExpectSizes(*splash, {{"logo_running", "64x64"}});
  EXPECT_TRUE(Contains(Named(*splash, "foreImage").rect, Named(*splash, "logo_running").rect));
  EXPECT_NE(splash->root.Find("version"), nullptr);
}

// The combo's item index is the language number of the window code.
TEST(ShippedSkin, LanguageComboListsTheLanguagesInTheirNumberOrder) {
  auto layout = ParseWindow("InstallMainWnd.xml");
  ASSERT_TRUE(layout);
  const Control& combo = Named(*layout, "language_combox");
  std::vector<std::string> items;
  for (const auto& item : combo.children())
    items.push_back(platform::WideToUtf8(item->look.text) + (item->state.visible ? "" : " (hidden)"));
  EXPECT_EQ(items, (std::vector<std::string>{
                       " English", " 日本語", " 简体中文", " Español", " Deutsch", " Français", " Русский",
                       " Português", " العربية", " Italiano", " 繁體中文", " 한국어", " Nederlands",
                       " Bahasa Indonesia (hidden)", " Türkçe", " हिन्दी (hidden)", " ไทย", " Bahasa Melayu (hidden)",
                       " Svenska (hidden)", " Čeština (hidden)", " Tiếng Việt (hidden)"}));
}

// The font reference list is the main window's table.
TEST(ShippedSkin, FontReferenceIsTheMainWindowsTable) {
  auto main = ParseWindow("InstallMainWnd.xml");
  auto reference = ParseWindow("font.xml");
  ASSERT_TRUE(main && reference);
  const auto describe = [](const WindowLayout& layout) {
    std::vector<std::string> fonts;
    for (const toolkit::FontSpec& f : layout.fonts)
      fonts.push_back(std::to_string(f.id) + " " + f.face + " " + std::to_string(f.size) + (f.bold ? " bold" : "") +
                      (f.underline ? " underline" : "") + (f.id == layout.defaultFont ? " default" : ""));
    return fonts;
  };
  EXPECT_EQ(describe(*main).size(), 28u);
  EXPECT_EQ(describe(*main), describe(*reference));
  for (int id : {0, 1, 4, 9, 17}) EXPECT_NE(main->FindFont(id), nullptr);  // used by the language files
}

// ---- texts ---------------------------------------------------------------------------------

// The labels of one page of the English language file: name and text.
std::vector<std::pair<std::string, std::wstring>> EnglishTexts(const std::string& page) {
  Control holder(ControlKind::kVerticalLayout);
  toolkit::LayoutParser parser(Archive(), L"");
  EXPECT_TRUE(parser.ParseControls(L"language\\language_english.xml", &holder)) << parser.error();
  std::vector<std::pair<std::string, std::wstring>> texts;
  if (const Control* container = holder.Find(page))
    for (const auto& label : container->children()) texts.emplace_back(label->name(), label->look.text);
  EXPECT_FALSE(texts.empty()) << page;
  return texts;
}

// German and Russian run about 40% longer than English: the English text made
// that much longer must fit its control, on one line, or on as many lines as
// a wrapping control's height holds.
bool RoomForTranslations(const Control& control, const WindowLayout& layout, toolkit::WindowBackend& backend) {
  const toolkit::FontSpec* font = layout.FindFont(control.look.font);
  const int lineHeight = font ? static_cast<int>(backend.MeasureText(L"x", *font, layout.language).height) : 16;
  const int lines = control.look.multiline ? std::max(1, control.rect.Height() / lineHeight) : 1;
  return toolkit::TextWidth(control, layout, backend) * 7 / 5 <= control.rect.Width() * lines;
}

// Shown controls with text that lacks that room.
void Cramped(const Control& control, const WindowLayout& layout, toolkit::WindowBackend& backend,
             std::vector<std::string>* found) {
  if (!control.state.visible || control.kind() == ControlKind::kCombo) return;
  if (!control.look.text.empty() && control.rect.Width() > 0 && !RoomForTranslations(control, layout, backend))
    found->push_back(Describe(control) + ": " + platform::WideToUtf8(control.look.text));
  for (const auto& child : control.children()) Cramped(*child, layout, backend, found);
}

std::vector<std::string> CrampedTexts(WindowLayout* layout) {
  toolkit::ArrangeWindow(&layout->root, layout->size);
  toolkit::HeadlessBackend backend;
  std::vector<std::string> found;
  Cramped(layout->root, *layout, backend, &found);
  return found;
}

TEST(ShippedSkin, EnglishTextsFitWithRoomForLongerTranslations) {
  auto layout = ParseWindow("InstallMainWnd.xml");
  ASSERT_TRUE(layout);
  std::wstring retry;
  for (const auto& [name, text] : EnglishTexts("install_page")) {
    if (Control* control = layout->root.Find(name)) control->look.text = text;
    if (name == "retry_btn") retry = text;
  }
  // The licence row shows one of its two texts.
  for (const char* shown : {"license_link", "license_link_new"}) {
    for (const char* text : {"license_link", "license_link_new"}) Named(*layout, text).state.visible = text == std::string(shown);
    EXPECT_EQ(CrampedTexts(layout.get()), std::vector<std::string>{}) << "settings page with " << shown;
  }
  Named(*layout, "page_layout").SelectIndex(1);
  for (const char* name : {"text_fail_retry", "img_warning", "text_fail_advice"}) Named(*layout, name).state.visible = true;
  Named(*layout, "start_app").look.text = retry;
  EXPECT_EQ(CrampedTexts(layout.get()), std::vector<std::string>{}) << "failure page";
  Named(*layout, "main_tablayout").SelectIndex(1);
  Named(*layout, "install_label").look.text = L"{f 4}Installing, please wait...{/f} {f 0}100%{/f}{f 4} completed.{/f}";
  EXPECT_EQ(CrampedTexts(layout.get()), std::vector<std::string>{}) << "running page";

  auto box = ParseWindow("MessageBox.xml");
  ASSERT_TRUE(box);
  const std::set<std::string> captions = {"YesText", "NoText", "ReplaceText", "CancelText", "ConfirmText",
                                          "OkButtonText", "AgreeInstallText", "NotAgreeText", "AcceptText", "RejectText"};
  for (const auto& [name, text] : EnglishTexts("message_page")) {
    if (name.find("QueText") != std::string::npos) continue;  // the question label stays hidden
    Named(*box, captions.count(name) ? "btn_yes" : "msg_describe").look.text = text;
    EXPECT_EQ(CrampedTexts(box.get()), std::vector<std::string>{}) << name;
  }
}

// ---- pictures -------------------------------------------------------------------------------

TEST(ShippedSkin, TheArchiveCarriesExactlyThePicturesTheLayoutsAndTheCodeName) {
  std::set<std::string> named;
  for (const toolkit::Picture& picture : shipped_skin::LayoutPictures()) named.insert(shipped_skin::Slashed(picture.file));
  const std::set<std::string> code = shipped_skin::CodePictures();
  EXPECT_TRUE(named.count("scrollbar.bmp"));
  std::string bytes;
  for (const std::string& name : named) EXPECT_TRUE(Archive().ReadMember(platform::Utf8ToWide(name), &bytes)) << name;

  size_t pictures = 0, total = 0;
  for (const std::string& member : Archive().MemberNames()) {
    if (member.rfind("skin/", 0) != 0) continue;
    ++pictures;
    EXPECT_TRUE(named.count(member) || code.count(member)) << member << " is named by no layout and no code";
    ASSERT_TRUE(Archive().ReadMember(platform::Utf8ToWide(member), &bytes));
    total += bytes.size();
  }
  for (const std::string& name : code) EXPECT_TRUE(Archive().ReadMember(platform::Utf8ToWide(name), &bytes)) << name;
  EXPECT_EQ(pictures, 59u);
  EXPECT_LT(total, 512u * 1024) << "the pictures make the program large";
}

}  // namespace
