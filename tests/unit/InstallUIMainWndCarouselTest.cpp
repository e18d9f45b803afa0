// The carousel of the running page and the launch splash, headless: the
// composed pictures and their captions, the timed slides in both
// directions, a UI thread that stays responsive during a slide, the rebuild
// from delivered banners, and the splash's frames, product start and close.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MainWindowFixture.h"
#include "install/InstallMessages.h"
#include "platform/Platform.h"
#include "toolkit/headless/ScriptedUser.h"
#include "window/CAlientWnd.h"
#include "window/Language.h"

namespace {

// A backend on the test's clock whose waits take no time: the clock jumps
// to the next due timer. Until the product's start posts its outcome (the
// only other thread here) the clock stands still, so that the splash's
// times count from the start's end exactly.
class JumpingBackend : public toolkit::HeadlessBackend {
 public:
  explicit JumpingBackend(WindowTestBed::TestClock& clock) : clock_(clock) {}
  void Wake() override {
    posted_ = true;
    HeadlessBackend::Wake();
  }
  void Wait(int timeoutMs) override {
    if (posted_ && timeoutMs >= 0) {
      clock_.now += static_cast<uint64_t>(timeoutMs);
      return;
    }
    HeadlessBackend::Wait(kPostBoundMs);  // only a post can end this wait
    if (!posted_) {
      ADD_FAILURE() << "nothing posted in " << kPostBoundMs << " ms";
      posted_ = true;
    }
  }

 private:
  static constexpr int kPostBoundMs = 30000;
  WindowTestBed::TestClock& clock_;
  std::atomic<bool> posted_{false};
};

// Whether `width` columns of `a` from `ax` hold the pixels of those of `b` from `bx`.
bool SameColumns(const toolkit::Image& a, int ax, const toolkit::Image& b, int bx, int width) {
  if (a.height != b.height) return false;
  for (int y = 0; y < a.height; ++y)
    if (std::memcmp(&a.rgba[(static_cast<size_t>(y) * a.width + ax) * 4],
                    &b.rgba[(static_cast<size_t>(y) * b.width + bx) * 4], static_cast<size_t>(width) * 4) != 0)
      return false;
  return true;
}

// A 24-bit BMP file of one colour, a format every platform's decoder reads.
void WriteBmp(const std::filesystem::path& path, int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  const int row = (width * 3 + 3) / 4 * 4;
  const uint32_t size = 54 + static_cast<uint32_t>(row) * height;
  std::string bytes(size, '\0');
  const auto put = [&bytes](size_t at, uint32_t value, int length) {
    for (int i = 0; i < length; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  };
  bytes[0] = 'B', bytes[1] = 'M';
  put(2, size, 4), put(10, 54, 4), put(14, 40, 4), put(18, width, 4), put(22, height, 4), put(26, 1, 2);
  put(28, 24, 2);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) put(54 + static_cast<size_t>(y) * row + x * 3, b | g << 8 | r << 16, 3);
  std::ofstream(path, std::ios::binary) << bytes;
}

class CarouselTest : public MainWindowTest {
 protected:
  void PumpAll() { bed_.PumpAll(); }
  void StartInstall(InstallUIMainWnd& window) {
    window.Find("install_path_edit")->look.text = bed_.temp.path().wstring();
    window.Find("license_checkbox")->state.selected = true;
    ASSERT_TRUE(toolkit::ScriptedUser(window).Click("install_btn"));
    PumpAll();
    ASSERT_EQ(window.Find("main_tablayout")->state.selectedIndex, 1);
  }
  void Advance(uint64_t ms) {
    bed_.clock.now += ms;
    PumpAll();
  }
  static std::string Shown(InstallUIMainWnd& window) { return window.Find("anima_layout")->look.bkImage.file; }
  // The pictures the area shows over `steps` slide steps.
  std::vector<std::string> Slide(InstallUIMainWnd& window, int steps = CAnima::kSteps) {
    std::vector<std::string> shown;
    for (int step = 0; step < steps; ++step) {
      Advance(CAnima::kStepMs);
      shown.push_back(Shown(window));
    }
    return shown;
  }
  static std::vector<std::string> Frames(const std::string& merged, int first, int last) {
    std::vector<std::string> names;
    for (int k = first; first <= last ? k <= last : k >= last; k += first <= last ? 1 : -1)
      names.push_back(CAnima::FrameName(merged, k));
    return names;
  }
  const toolkit::Image& Picture(const std::string& name) {
    const toolkit::Image* image = bed_.backend.Pictures().Get(name);
    EXPECT_TRUE(image) << name;
    static const toolkit::Image none;
    return image ? *image : none;
  }
  std::vector<std::wstring> CaptionTexts(size_t from = 0) const {
    std::vector<std::wstring> texts;
    const auto captions = bed_.backend.Captions();
    for (size_t i = from; i < captions.size(); ++i) texts.push_back(captions[i].caption.text);
    return texts;
  }
  static std::vector<std::wstring> LanguageCaptions(EnumLanguage language, std::vector<int> numbers) {
    std::vector<std::wstring> texts;
    for (int n : numbers)
      texts.push_back(GetLanguageText("install_page", "anima_text_" + std::to_string(n), language,
                                      shipped_skin::Archive()));
    return texts;
  }
};

// Every pair of the five pictures is merged once, picture 1 stands alone as
// "FirstFrame", and each built-in picture carries its caption in the
// language's face; a software id of 10 draws the captions white.
TEST_F(CarouselTest, TheBuiltInPicturesArePairedWithTheLanguagesCaptions) {
  struct Case {
    int languageItem;
    EnumLanguage language;
    const char* face;
    int32_t softwareId;
    uint32_t color;
  };
  for (const Case& c : {Case{0, English, "Microsoft YaHei", 0, 0xFF4A4A4A}, Case{1, Japanese, "Meiryo UI", 10, 0xFFFFFFFF}}) {
    bed_.backend.Pictures().Clear();
    const size_t before = bed_.backend.Captions().size();
    auto window = Open();
    ASSERT_TRUE(toolkit::ScriptedUser(*window).ChooseItem("language_combox", c.languageItem));
    window->Configure().softwareId = c.softwareId;
    StartInstall(*window);
    std::vector<std::string> merged;
    for (int i = 1; i <= 5; ++i)
      for (int j = 1; j <= 5; ++j)
        if (bed_.backend.Pictures().Has(CAnima::MergedName(i, j))) merged.push_back(CAnima::MergedName(i, j));
    EXPECT_EQ(merged, (std::vector<std::string>{"Merge0102.png", "Merge0103.png", "Merge0104.png", "Merge0105.png",
                                                "Merge0203.png", "Merge0204.png", "Merge0205.png", "Merge0304.png",
                                                "Merge0305.png", "Merge0405.png"}));
    const toolkit::Image& pair = Picture("Merge0204.png");
    EXPECT_EQ(pair.width, 1300);
    EXPECT_EQ(pair.height, 300);
    EXPECT_TRUE(SameColumns(pair, 0, Picture("skin/anima/2.png"), 0, 650));
    EXPECT_TRUE(SameColumns(pair, 650, Picture("skin/anima/4.png"), 0, 650));
    EXPECT_TRUE(SameColumns(Picture("FirstFrame"), 0, Picture("skin/anima/1.png"), 0, 650));
    EXPECT_EQ(Shown(*window), "FirstFrame");
    EXPECT_TRUE(window->Find("image_play_option1")->state.selected);

    EXPECT_EQ(CaptionTexts(before), LanguageCaptions(c.language, {1, 2, 3, 4, 5}));
    for (size_t i = before; i < bed_.backend.Captions().size(); ++i) {
      const toolkit::HeadlessBackend::DrawnCaption drawn = bed_.backend.Captions()[i];
      EXPECT_EQ(drawn.caption.font.face, c.face);
      EXPECT_TRUE(drawn.caption.font.bold);
      EXPECT_EQ(drawn.caption.color, c.color);
      EXPECT_EQ(drawn.caption.box, (toolkit::Rect{30, 40, 620, 140}));
      EXPECT_EQ(drawn.caption.align, toolkit::kAlignCenter | toolkit::kAlignTop);
      EXPECT_EQ(drawn.picture.width, 650);
      EXPECT_EQ(drawn.picture.height, 300);
    }
  }
}

// Every seven seconds the next picture slides in over 25 steps of 50 ms;
// a jump back plays the pair's frames in reverse; selecting the picture
// already shown only restarts the seven seconds.
TEST_F(CarouselTest, SlidesStepOnATimerForwardAndBackward) {
  auto window = Open();
  StartInstall(*window);
  Advance(6999);
  EXPECT_EQ(Shown(*window), "FirstFrame");
  Advance(1);
  EXPECT_TRUE(window->Find("image_play_option2")->state.selected);
  EXPECT_EQ(Slide(*window), Frames("Merge0102.png", 1, 25));

  ASSERT_TRUE(toolkit::ScriptedUser(*window).Click("image_play_option4"));
  EXPECT_EQ(Slide(*window), Frames("Merge0204.png", 1, 25));
  ASSERT_TRUE(toolkit::ScriptedUser(*window).Click("image_play_option2"));
  EXPECT_EQ(Slide(*window), Frames("Merge0204.png", 24, 0));
  EXPECT_EQ(Slide(*window, 3), std::vector<std::string>(3, "Merge0204.png00"));  // the slide has ended

  // Frame k shows the merged pair from column 26 k.
  const toolkit::Image& frame = Picture("Merge0204.png10");
  EXPECT_EQ(frame.width, 650);
  EXPECT_TRUE(SameColumns(frame, 0, Picture("Merge0204.png"), 260, 650));
  EXPECT_TRUE(SameColumns(Picture("Merge0204.png00"), 0, Picture("skin/anima/2.png"), 0, 650));

  window->notify().Dispatch(toolkit::Notification{"selectchanged", window->Find("image_play_option2"), -1});
  EXPECT_EQ(Slide(*window, 3), std::vector<std::string>(3, "Merge0204.png00"));
  Advance(7000 - 3 * CAnima::kStepMs - 1);
  EXPECT_TRUE(window->Find("image_play_option2")->state.selected);
  Advance(1);
  EXPECT_TRUE(window->Find("image_play_option3")->state.selected);
  EXPECT_EQ(Slide(*window, 1), Frames("Merge0203.png", 1, 1));
}

// A slide leaves the UI thread to its messages between steps: messages
// posted while one runs are handled at once, while it is still under way,
// not after its 1.25 s.
TEST_F(CarouselTest, MessagesPostedDuringASlideAreHandledAtOnce) {
  auto window = Open();
  StartInstall(*window);
  std::vector<std::string> shownWhenHandled;
  const int probe = bed_.loop.AddWindow([&](unsigned, intptr_t, intptr_t) { shownWhenHandled.push_back(Shown(*window)); },
                                     nullptr);
  ASSERT_TRUE(toolkit::ScriptedUser(*window).Click("image_play_option3"));
  for (int i = 0; i < 5; ++i) {
    Advance(CAnima::kSteps * CAnima::kStepMs / 6);
    bed_.loop.Post(probe, 1, 0);
    PumpAll();  // no time passes: only what is due now runs
    ASSERT_EQ(shownWhenHandled.size(), static_cast<size_t>(i) + 1) << "message " << i << " waited";
    EXPECT_EQ(shownWhenHandled.back().rfind("Merge0103.png", 0), 0u) << shownWhenHandled.back();
    EXPECT_NE(shownWhenHandled.back(), "Merge0103.png25") << "the slide ended before message " << i;
  }
  bed_.loop.RemoveWindow(probe);
  Slide(*window);
  EXPECT_EQ(Shown(*window), "Merge0103.png25");
}

// Delivered banners replace the pictures of their positions, each read in
// its own file's format; a banner that cannot be read leaves the built-in
// picture with its caption, and positions beyond the five are not shown.
TEST_F(CarouselTest, DeliveredBannersReplaceTheirPicturesOnly) {
  auto window = Open();
  StartInstall(*window);
  ASSERT_TRUE(SameColumns(Picture("Merge0102.png"), 0, Picture("skin/anima/1.png"), 0, 650));
  Advance(7000);
  Slide(*window);  // picture 2 shows
  const std::filesystem::path folder = bed_.temp.path();
  WriteBmp(folder / "1.bmp", 650, 300, 200, 30, 40);
  std::string png;
  ASSERT_TRUE(shipped_skin::Archive().ReadMember(L"skin/anima/5.png", &png));
  std::ofstream(folder / "2.png", std::ios::binary) << png;
  WriteBmp(folder / "7.bmp", 650, 300, 0, 0, 255);
  std::map<int, BannerRecord> banners;
  for (const auto& [sort, file] : std::map<int, std::string>{{1, "1.bmp"}, {2, "2.png"}, {4, "4.bmp"}, {7, "7.bmp"}})
    banners[sort] = BannerRecord{L"https://cdn.example/" + platform::Utf8ToWide(file), L"", L"",
                                 (folder / file).wstring(), sort};
  const size_t captionsBefore = bed_.backend.Captions().size();
  std::thread([&] { window->DeliverBanners(banners); }).join();
  PumpAll();

  toolkit::PictureCache& pictures = bed_.backend.Pictures();
  EXPECT_TRUE(pictures.Has("banner/1.bmp"));
  EXPECT_TRUE(pictures.Has("banner/2.png"));
  EXPECT_FALSE(pictures.Has("banner/7.bmp"));
  const toolkit::Image& red = Picture("banner/1.bmp");
  EXPECT_EQ(std::vector<uint8_t>(red.rgba.begin(), red.rgba.begin() + 4), (std::vector<uint8_t>{200, 30, 40, 255}));
  EXPECT_TRUE(SameColumns(Picture("Merge0102.png"), 0, red, 0, 650));
  EXPECT_TRUE(SameColumns(Picture("Merge0102.png"), 650, Picture("skin/anima/5.png"), 0, 650));
  EXPECT_TRUE(SameColumns(Picture("Merge0304.png"), 650, Picture("skin/anima/4.png"), 0, 650));
  EXPECT_TRUE(SameColumns(Picture("FirstFrame"), 0, red, 0, 650));
  EXPECT_EQ(CaptionTexts(captionsBefore), LanguageCaptions(English, {3, 4, 5}));
  EXPECT_EQ(Shown(*window), "Merge0102.png25");  // picture 2, now the banner
  EXPECT_TRUE(SameColumns(Picture(Shown(*window)), 0, Picture("skin/anima/5.png"), 0, 650));
  Advance(7000);
  EXPECT_EQ(Slide(*window, 1), Frames("Merge0203.png", 1, 1));
}

class SplashTest : public MainWindowTest {
 protected:
  // The splash of `exe` for `seconds`; a helper on the loop samples its ring
  // every 10 ms and answers a message box with Yes.
  bool RunSplash(const std::filesystem::path& exe, int seconds) {
    CAlientWnd splash(loop_, 0, L"Quenlo PDF Editor", L"\"" + exe.wstring() + L"\"", seconds, English,
                      [this](const std::string& category, const std::string& action, const std::string& label) {
                        std::lock_guard<std::mutex> guard(eventsLock_);
                        events_.push_back(category + "/" + action + "/" + label);
                      },
                      shipped_skin::Archive());
    int helper = 0;
    helper = loop_.AddWindow(nullptr, [&](unsigned) {
      const toolkit::Control* ring = splash.Find("foreImage");
      if (ring && (frames_.empty() || frames_.back() != ring->look.bkImage.file))
        frames_.push_back(ring->look.bkImage.file);
      for (int window = 64; window > 0; --window) {
        const auto state = backend_.State(window);
        if (state.visible && state.spec.className == L"MESSAGEBOX_UI_Frame") ++boxes_, loop_.EndModal(window, 1);
      }
    });
    loop_.SetTimer(helper, 1, 10);
    const uint64_t start = bed_.clock.now;
    const bool ran = splash.DoModal();
    elapsedMs_ = bed_.clock.now - start;
    loop_.RemoveWindow(helper);
    spec_ = backend_.State(splash.handle()).spec;
    visibleAfter_ = backend_.IsVisible(splash.handle());
    version_ = splash.Find("version")->look.text;
    return ran;
  }

  JumpingBackend backend_{bed_.clock};
  toolkit::MessageLoop loop_{backend_, bed_.clock};
  std::mutex eventsLock_;
  std::vector<std::string> events_;
  std::vector<std::string> frames_;
  int boxes_ = 0;
  uint64_t elapsedMs_ = 0;
  toolkit::WindowSpec spec_;
  bool visibleAfter_ = true;
  std::wstring version_;
};

// The ring turns through bg00 to bg20 every 50 ms, and the splash closes
// itself once the product runs and its second passed, not later.
TEST_F(SplashTest, TheRingTurnsAndTheSplashClosesAfterItsDuration) {
  const std::filesystem::path exe = bed_.temp.path() / "Quenlo PDF Editor.exe";
  std::ofstream(exe) << "program";
  ASSERT_TRUE(RunSplash(exe, 1));
  EXPECT_EQ(elapsedMs_, 1000u);
  EXPECT_FALSE(visibleAfter_);
  EXPECT_EQ(spec_.className, L"CALIENTWND_UI_Frame");
  EXPECT_EQ(spec_.owner, 0);
  EXPECT_EQ(version_, L"Quenlo PDF Editor");
  const auto opens = bed_.fake.ShellOpens();
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].parameters, L"/e, \"" + exe.wstring() + L"\"");
  EXPECT_EQ(boxes_, 0);
  EXPECT_TRUE(events_.empty());
  ASSERT_GE(frames_.size(), 12u);  // about 20 in a second
  // From the first frame the timer set (the layout shows bg00 before it).
  for (size_t i = 2; i < frames_.size(); ++i) {
    const int before = std::stoi(frames_[i - 1].substr(11, 2)), now = std::stoi(frames_[i].substr(11, 2));
    EXPECT_EQ(frames_[i].substr(0, 11), "skin/gif/bg");
    EXPECT_LE((now - before + CAlientWnd::kFrameCount) % CAlientWnd::kFrameCount, 2) << frames_[i];
  }
}

// A product that cannot start is reported as DL019 and the user is told to
// use its shortcut; the splash then closes without waiting.
TEST_F(SplashTest, AFailedStartReportsDL019AndPointsToTheShortcut) {
  ASSERT_TRUE(RunSplash(bed_.temp.path() / "missing.exe", 30));
  EXPECT_LT(elapsedMs_, 1000u);
  EXPECT_EQ(boxes_, 1);
  EXPECT_NE(std::find(events_.begin(), events_.end(), "Other/FlowError/DL019"), events_.end());
  EXPECT_TRUE(bed_.fake.ShellOpens().empty());
}

}  // namespace
