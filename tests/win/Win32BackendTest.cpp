// The Win32 backend under wine64: GDI+ painting into a bitmap, the picture
// decoder on the shipped skin, text measuring and font fallback, the DPI
// arithmetic, and real windows (skipped where no display can show one)
// taking mouse and keyboard input as the system delivers it.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "platform/Platform.h"
#include "unit/ShippedSkin.h"
#include "unit/ZipBytes.h"
#include "toolkit/LayoutParser.h"
#include "toolkit/LineBreak.h"
#include "toolkit/LayoutPass.h"
#include "toolkit/SkinWindow.h"
#include "toolkit/SteadyClock.h"
#include "toolkit/win32/GdiplusDecoder.h"
#include "toolkit/win32/Win32Backend.h"

namespace {

using toolkit::Control;
using toolkit::Image;
using toolkit::Point;

// A picture of one colour (0xRRGGBBAA).
Image Solid(int width, int height, uint32_t rgba) {
  Image image{width, height, {}};
  for (int i = 0; i < width * height; ++i)
    for (int shift : {24, 16, 8, 0}) image.rgba.push_back(static_cast<uint8_t>(rgba >> shift));
  return image;
}

// 12x12: a 2-pixel red frame around blue, so that a nine-grid stretch shows
// whether the corners kept their size.
Image Framed() {
  Image image = Solid(12, 12, 0x0000FFFF);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x)
      if (x < 2 || y < 2 || x >= 10 || y >= 10) {
        uint8_t* p = &image.rgba[(y * 12 + x) * 4];
        p[0] = 255, p[1] = 0, p[2] = 0;
      }
  return image;
}

uint32_t Rgb(Gdiplus::Bitmap& bitmap, int x, int y) {
  Gdiplus::Color color;
  bitmap.GetPixel(x, y, &color);
  return color.GetValue() & 0xFFFFFF;
}

const char kPaintLayout[] = R"(<Window size="200,100">
  <VerticalLayout bkcolor="#FF336699">
    <HorizontalLayout height="20">
      <Button name="button" width="40" normalimage="code/red" hotimage="code/green"/>
      <Progress name="bar" width="100" min="0" max="200" value="50" bkimage="code/white" foreimage="code/green"/>
    </HorizontalLayout>
    <Control name="framed" height="40" width="120" bkimage="file='code/framed' corner='2,2,2,2'"/>
  </VerticalLayout>
</Window>)";

class PainterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zip_ = ZipBytes({{"main.xml", kPaintLayout}});
    ASSERT_TRUE(archive_.Open(zip_.data(), zip_.size()));
    toolkit::LayoutParser parser(archive_, L"");
    ASSERT_TRUE(parser.ParseWindow(L"main.xml", &layout_)) << parser.error();
    toolkit::ArrangeWindow(&layout_.root, layout_.size);
    backend_.Pictures().Register("code/red", Solid(4, 4, 0xFF0000FF));
    backend_.Pictures().Register("code/green", Solid(4, 4, 0x00FF00FF));
    backend_.Pictures().Register("code/white", Solid(4, 4, 0xFFFFFFFF));
    backend_.Pictures().Register("code/framed", Framed());
  }
  std::unique_ptr<Gdiplus::Bitmap> Render(const toolkit::PaintState& state, float scale = 1.0f) {
    return backend_.painter().Render(layout_, layout_.size, state, scale);
  }

  std::string zip_;
  toolkit::ResourceArchive archive_;
  toolkit::WindowLayout layout_;
  toolkit::Win32Backend backend_{archive_};
};

TEST_F(PainterTest, DrawsColoursStateImagesProgressAndNineGrids) {
  auto bitmap = Render({});
  EXPECT_EQ(Rgb(*bitmap, 150, 90), 0x336699u);  // the layout's colour where no control draws
  EXPECT_EQ(Rgb(*bitmap, 20, 10), 0xFF0000u);   // the button's normal picture, stretched
  // 50 of 0..200: the first quarter of the 100-pixel bar is done.
  EXPECT_EQ(Rgb(*bitmap, 41, 10), 0x00FF00u);
  EXPECT_EQ(Rgb(*bitmap, 63, 10), 0x00FF00u);
  EXPECT_EQ(Rgb(*bitmap, 66, 10), 0xFFFFFFu);
  EXPECT_EQ(Rgb(*bitmap, 139, 10), 0xFFFFFFu);
  // 12x12 stretched to 120x40: the corners stay 2 pixels, the middle is blue.
  EXPECT_EQ(Rgb(*bitmap, 0, 20), 0xFF0000u);
  EXPECT_EQ(Rgb(*bitmap, 1, 21), 0xFF0000u);
  EXPECT_EQ(Rgb(*bitmap, 119, 59), 0xFF0000u);
  EXPECT_EQ(Rgb(*bitmap, 2, 22), 0x0000FFu);
  EXPECT_EQ(Rgb(*bitmap, 117, 57), 0x0000FFu);
  EXPECT_EQ(Rgb(*bitmap, 60, 40), 0x0000FFu);

  toolkit::PaintState hot;
  hot.hot = layout_.root.Find("button");
  EXPECT_EQ(Rgb(*Render(hot), 20, 10), 0x00FF00u);
  toolkit::PaintState pushed;  // no pushed picture: the hot one stands in
  pushed.pushed = hot.hot;
  EXPECT_EQ(Rgb(*Render(pushed), 20, 10), 0x00FF00u);

  // At 150 % the same picture, one and a half times larger and as sharp.
  auto large = Render({}, 1.5f);
  EXPECT_EQ(large->GetWidth(), 300u);
  EXPECT_EQ(Rgb(*large, 2, 31), 0xFF0000u);
  EXPECT_EQ(Rgb(*large, 4, 34), 0x0000FFu);
  EXPECT_EQ(Rgb(*large, 95, 15), 0x00FF00u);
  EXPECT_EQ(Rgb(*large, 99, 15), 0xFFFFFFu);
}

// A picture registered again under its name is drawn anew, although the
// painter keeps copies of what it drew; a caption inks its box only.
TEST_F(PainterTest, ReplacedPicturesAreDrawnAnewAndCaptionsInkTheirBoxOnly) {
  EXPECT_EQ(Rgb(*Render({}), 20, 10), 0xFF0000u);
  backend_.Pictures().Register("code/red", Solid(4, 4, 0x0000FFFF));
  EXPECT_EQ(Rgb(*Render({}), 20, 10), 0x0000FFu);

  Image picture = Solid(200, 100, 0xFFFFFFFF);
  toolkit::Caption caption;
  caption.text = L"Edit any PDF";
  caption.font.face = "Tahoma";
  caption.font.size = 15;
  caption.font.bold = true;
  caption.color = 0xFF4A4A4A;
  caption.box = toolkit::Rect{20, 10, 180, 50};
  backend_.DrawCaption(picture, caption);
  int inside = 0, outside = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      const bool inked = picture.rgba[(y * 200 + x) * 4] < 0xC0;
      const bool inBox = x >= 20 && x < 180 && y >= 10 && y < 50;
      (inBox ? inside : outside) += inked;
    }
  EXPECT_GT(inside, 40);
  EXPECT_EQ(outside, 0);
}

TEST(Win32DpiTest, LayoutPixelsScaleToTheScreenAndBack) {
  const toolkit::DpiScale normal, large(144), odd(120);
  EXPECT_EQ(normal.ToScreen(650), 650);
  EXPECT_EQ(large.ToScreen(650), 975);
  EXPECT_EQ(odd.ToScreen(3), 4);  // 3.75 rounds up
  EXPECT_EQ((large.ToScreen(toolkit::Rect{10, 20, 30, 40})), (toolkit::Rect{15, 30, 45, 60}));
  // Every screen pixel maps into the layout pixel it lies in.
  EXPECT_EQ(large.ToLayout(974), 649);
  EXPECT_EQ(large.ToLayout(975), 650);
  EXPECT_EQ(large.ToLayout(-1), -1);
  for (int layout = 0; layout < 300; ++layout) {
    EXPECT_EQ(large.ToLayout(large.ToScreen(layout)), layout);
    EXPECT_LE(std::abs(odd.ToLayout(odd.ToScreen(layout)) - layout), 1);
  }
}

TEST(Win32TextTest, WidthsGrowWithTextAndSizeAndMissingFacesFallBack) {
  toolkit::ResourceArchive archive;
  toolkit::Win32Backend backend(archive);
  const toolkit::FontSpec small{0, "Tahoma", 12}, large{1, "Tahoma", 20};
  const toolkit::TextExtent one = backend.MeasureText(L"Install", small, "en");
  const toolkit::TextExtent two = backend.MeasureText(L"Install location", small, "en");
  const toolkit::TextExtent big = backend.MeasureText(L"Install", large, "en");
  EXPECT_GT(one.width, 20);
  EXPECT_GT(two.width, one.width * 3 / 2);
  EXPECT_GT(big.width, one.width * 3 / 2);
  EXPECT_GE(big.height, 20);
  EXPECT_LT(big.height, 40);
  EXPECT_GT(big.ascent, 0);
  EXPECT_LT(big.ascent, big.height);
  // A face the system lacks draws in one that covers the text's script.
  toolkit::TextPainter text;
  for (const std::wstring sample : {L"Quenlo", L"\u65E5\u672C\u8A9E", L"\u0E44\u0E17\u0E22", L"\uD55C\uAD6D\uC5B4"}) {
    const std::wstring face = text.ResolveFace("No Such Face Anywhere", sample, "en");
    EXPECT_FALSE(face.empty());
    EXPECT_NE(face, L"No Such Face Anywhere");
    EXPECT_GT(backend.MeasureText(sample, toolkit::FontSpec{0, "No Such Face Anywhere", 12}, "en").width, 10)
        << platform::WideToUtf8(face);
  }
  // Han characters take the glyph forms of the window's language: Japanese
  // and Traditional Chinese in faces of their own, whatever the layout names.
  const std::wstring han = L"\u9AA8\u76F4\u9055";
  const std::wstring japanese = text.ResolveFace("Microsoft YaHei", han, "ja");
  const std::wstring traditional = text.ResolveFace("Microsoft YaHei", han, "zh-tw");
  EXPECT_NE(japanese, traditional);
  EXPECT_EQ(text.ResolveFace("Microsoft YaHei", L"Quenlo", "ja"), text.ResolveFace("Microsoft YaHei", L"Quenlo", "en"));
}

// Uniscribe's breaks: between Japanese characters but never before "、" or
// "。", after a word and its space.
TEST(Win32TextTest, LinesBreakWhereUniscribeLetsThem) {
  const std::vector<bool> japanese = toolkit::LineBreaks(L"\u3053\u308C\u3001\u65E5\u672C\u3002");
  EXPECT_EQ(japanese, (std::vector<bool>{false, true, false, true, true, false}));
  const std::vector<bool> words = toolkit::LineBreaks(L"Read it");
  EXPECT_EQ(words, (std::vector<bool>{false, false, false, false, false, true, false}));
}

TEST(Win32DecoderTest, ReadsTheShippedPicturesAndRefusesOthers) {
  toolkit::GdiplusDecoder decoder;
  const std::vector<std::tuple<std::wstring, int, int>> pictures = {
      {L"skin/btn_install.png", 200, 40}, {L"skin/combo.png", 40, 84}, {L"scrollbar.bmp", 16, 32}};
  for (const auto& [name, width, height] : pictures) {
    std::string bytes, error;
    ASSERT_TRUE(shipped_skin::Archive().ReadMember(name, &bytes));
    Image image;
    ASSERT_TRUE(decoder.Decode(bytes, &image, &error)) << error;
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    EXPECT_EQ(image.rgba.size(), static_cast<size_t>(width * height * 4));
    bool opaque = false;
    for (size_t i = 3; i < image.rgba.size(); i += 4) opaque |= image.rgba[i] == 255;
    EXPECT_TRUE(opaque) << platform::WideToUtf8(name);
  }
  // Every picture the layouts name decodes.
  toolkit::PictureCache cache(shipped_skin::Archive());
  cache.SetDecoder(std::make_unique<toolkit::GdiplusDecoder>());
  for (toolkit::Picture picture : shipped_skin::LayoutPictures()) {
    toolkit::PictureView view;
    EXPECT_TRUE(cache.Resolve(picture, &view)) << picture.file;
  }
  Image image;
  std::string error;
  EXPECT_FALSE(decoder.Decode("\x89PNG\r\n\x1a\n broken", &image, &error));
  EXPECT_FALSE(error.empty());
}

// 300x200: a caption over the top 60 pixels holding a button, two buttons
// and an edit below.
const char kWindowLayout[] = R"(<Window size="300,200" caption="0,0,0,60" roundcorner="4,4">
  <Font id="0" name="Tahoma" size="12" default="true"/>
  <VerticalLayout bkcolor="#FFFFFFFF">
    <HorizontalLayout height="60"><Control/><Button name="close" width="20" height="20" tooltip="Close"/></HorizontalLayout>
    <HorizontalLayout height="40">
      <Button name="first" width="100" text="First"/>
      <Button name="second" width="100" text="Second"/>
    </HorizontalLayout>
    <Edit name="path" height="28" inset="4,0,4,0" text="C:\Program Files"/>
  </VerticalLayout>
</Window>)";

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zip_ = ZipBytes({{"main.xml", kWindowLayout}});
    ASSERT_TRUE(archive_.Open(zip_.data(), zip_.size()));
    window_.notify().On("", "click", [this](const toolkit::Notification& n) { clicks_.push_back(n.sender->name()); });
    if (!window_.Create(archive_, L"", L"main.xml")) GTEST_SKIP() << "no display to create a window on";
    hwnd_ = backend_.NativeHandle(window_.handle());
    ASSERT_NE(hwnd_, nullptr);
    window_.Show(true);
    backend_.PumpNative();
  }
  LPARAM At(int x, int y) const {
    const toolkit::DpiScale& scale = backend_.scale();
    return MAKELPARAM(scale.ToScreen(x), scale.ToScreen(y));
  }
  LRESULT HitTestAt(int x, int y) {
    POINT screen{backend_.scale().ToScreen(x), backend_.scale().ToScreen(y)};
    ClientToScreen(hwnd_, &screen);
    return SendMessageW(hwnd_, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
  }
  void Key(WPARAM key) { SendMessageW(hwnd_, WM_KEYDOWN, key, 0); }

  std::string zip_;
  toolkit::ResourceArchive archive_;
  toolkit::Win32Backend backend_{archive_};
  toolkit::SteadyClock clock_;
  toolkit::MessageLoop loop_{backend_, clock_};
  class Window : public toolkit::SkinWindow {
   public:
    Window(toolkit::MessageLoop& loop, int* cancels) : SkinWindow(loop), cancels_(cancels) {}
    void OnCancel() override { ++*cancels_; }

   private:
    int* cancels_;
  };
  int cancels_ = 0;
  Window window_{loop_, &cancels_};
  HWND hwnd_ = nullptr;
  std::vector<std::string> clicks_;
};

TEST_F(Win32WindowTest, CaptionDragsExceptOverButtonsAndClicksNeedDownAndUpOnOneButton) {
  EXPECT_EQ(HitTestAt(100, 30), HTCAPTION);
  EXPECT_EQ(HitTestAt(290, 10), HTCLIENT);  // the close button
  EXPECT_EQ(HitTestAt(150, 80), HTCLIENT);  // below the caption

  SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, At(50, 80));
  SendMessageW(hwnd_, WM_LBUTTONUP, 0, At(50, 80));
  EXPECT_EQ(clicks_, (std::vector<std::string>{"first"}));
  SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, At(50, 80));  // pressed on one, released on another
  SendMessageW(hwnd_, WM_LBUTTONUP, 0, At(150, 80));
  EXPECT_EQ(clicks_.size(), 1u);
}

TEST_F(Win32WindowTest, TabWalksTheStopsAndEnterActivates) {
  Key(VK_TAB);  // from the first stop, close, to first
  Key(VK_TAB);  // second
  Key(VK_RETURN);
  EXPECT_EQ(clicks_, (std::vector<std::string>{"second"}));
  Key(VK_TAB);  // the edit takes the keyboard
  HWND edit = FindWindowExW(hwnd_, nullptr, L"EDIT", nullptr);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(GetFocus(), edit);
  // Shift+Tab from the edit comes back to "second", through the pump.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  PostMessageW(edit, WM_KEYDOWN, VK_TAB, 0);
  backend_.PumpNative();
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
  Key(VK_SPACE);
  EXPECT_EQ(clicks_, (std::vector<std::string>{"second", "second"}));
  // Alt+F4 reaches the window as the system's close command: the page's close.
  SendMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(cancels_, 1);
}

// As a screen reader asks (oleacc's AccessibleObjectFromWindow and
// AccessibleChildren): a child per control with its role, name, state and
// value, and a default action that clicks.
TEST_F(Win32WindowTest, ScreenReadersSeeEachControlAndCanPressIt) {
  CoInitialize(nullptr);
  IAccessible* client = nullptr;
  ASSERT_EQ(AccessibleObjectFromWindow(hwnd_, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&client)),
            S_OK);
  LONG count = 0;
  ASSERT_EQ(client->get_accChildCount(&count), S_OK);
  std::vector<VARIANT> children(static_cast<size_t>(count));
  LONG got = 0;
  ASSERT_TRUE(SUCCEEDED(AccessibleChildren(client, 0, count, children.data(), &got)));
  std::vector<std::string> seen;
  VARIANT second{};
  for (LONG i = 0; i < got; ++i) {
    ASSERT_EQ(children[i].vt, VT_I4);
    BSTR name = nullptr, value = nullptr;
    VARIANT role, state;
    client->get_accName(children[i], &name);
    client->get_accValue(children[i], &value);
    client->get_accRole(children[i], &role);
    client->get_accState(children[i], &state);
    std::wstring line = std::to_wstring(role.lVal) + L" " + (name ? name : L"") + L" = " + (value ? value : L"");
    if (state.lVal & STATE_SYSTEM_FOCUSABLE) line += L" focusable";
    seen.push_back(platform::WideToUtf8(line));
    if (name && std::wstring(name) == L"Second") second = children[i];
    SysFreeString(name);
    SysFreeString(value);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{
                      std::to_string(ROLE_SYSTEM_PUSHBUTTON) + " Close =  focusable",
                      std::to_string(ROLE_SYSTEM_PUSHBUTTON) + " First =  focusable",
                      std::to_string(ROLE_SYSTEM_PUSHBUTTON) + " Second =  focusable",
                      std::to_string(ROLE_SYSTEM_TEXT) + "  = C:\\Program Files focusable",
                  }));
  ASSERT_EQ(second.vt, VT_I4);
  EXPECT_EQ(client->accDoDefaultAction(second), S_OK);
  backend_.PumpNative();  // done once the reader's call returned
  EXPECT_EQ(clicks_, (std::vector<std::string>{"second"}));
  client->Release();
  CoUninitialize();
}

TEST_F(Win32WindowTest, TheEditFollowsTheControlAndTheControlTheEdit) {
  HWND edit = FindWindowExW(hwnd_, nullptr, L"EDIT", nullptr);
  ASSERT_NE(edit, nullptr);
  wchar_t text[64] = {};
  GetWindowTextW(edit, text, 64);
  EXPECT_STREQ(text, L"C:\\Program Files");
  SetWindowTextW(edit, L"D:\\Apps");
  Control* path = window_.Find("path");
  EXPECT_EQ(path->look.text, L"D:\\Apps");
  path->look.text = L"E:\\Quenlo";
  window_.Invalidate();
  GetWindowTextW(edit, text, 64);
  EXPECT_STREQ(text, L"E:\\Quenlo");
  // It sits inside the control's inset, scaled like the window.
  RECT box;
  GetWindowRect(edit, &box);
  MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&box), 2);
  EXPECT_EQ(box.left, backend_.scale().ToScreen(path->rect.left + 4));
  EXPECT_GE(box.top, backend_.scale().ToScreen(path->rect.top));
  EXPECT_LE(box.bottom, backend_.scale().ToScreen(path->rect.bottom));
}

}  // namespace
