// The pictures the program carries decode with the Linux decoder, every
// source rectangle of the layouts lies within its picture, pictures drawn
// without nine-grid corners fit their controls exactly, and the pictures the
// code swaps in match the ones they replace.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "../unit/LogCapture.h"
#include "../unit/ShippedSkin.h"
#include "toolkit/LayoutPass.h"
#include "toolkit/PictureCache.h"
#include "toolkit/posix/PngDecoder.h"

namespace {

using toolkit::Control;
using toolkit::Picture;
using toolkit::PictureView;
using toolkit::Rect;

std::string Size(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

void ShowAll(Control* control, std::vector<Control*>* tabs) {
  control->state.visible = true;
  if (control->kind() == toolkit::ControlKind::kTabLayout) tabs->push_back(control);
  for (const auto& child : control->children()) ShowAll(child.get(), tabs);
}

// Calls `visit` once for every combination of the tab layouts' pages.
void ForEachPageCombination(const std::vector<Control*>& tabs, size_t first, const std::function<void()>& visit) {
  if (first == tabs.size()) return visit();
  for (size_t page = 0; page < tabs[first]->children().size(); ++page) {
    tabs[first]->SelectIndex(static_cast<int>(page));
    ForEachPageCombination(tabs, first + 1, visit);
  }
}

class ShippedPicturesTest : public ::testing::Test {
 protected:
  void SetUp() override { cache_.SetDecoder(std::make_unique<toolkit::PngDecoder>()); }
  // "width x height" of a picture of the archive, or "unreadable".
  std::string SizeOf(const std::string& file) {
    Picture picture;
    picture.file = file;
    PictureView view;
    return cache_.Resolve(picture, &view) ? Size(view.image->width, view.image->height) : "unreadable";
  }
  // Shown controls whose picture, drawn without corners, would be scaled.
  void Scaled(const Control& control, std::set<std::string>* found) {
    const Rect& r = control.rect;
    const bool shown = r.Width() > 0 && r.Height() > 0;
    for (const Picture& picture : shipped_skin::PicturesOf(control)) {
      PictureView view;
      const bool corners = picture.corner.left || picture.corner.top || picture.corner.right || picture.corner.bottom;
      if (!shown || corners || !cache_.Resolve(picture, &view)) continue;
      if (view.source.Width() != r.Width() || view.source.Height() != r.Height())
        found->insert(control.name() + " " + Size(r.Width(), r.Height()) + ": " + picture.file + " draws " +
                      Size(view.source.Width(), view.source.Height()));
    }
    for (const auto& child : control.children()) Scaled(*child, found);
  }
  toolkit::PictureCache cache_{shipped_skin::Archive()};
};

TEST_F(ShippedPicturesTest, EveryPictureDecodesAndEverySourceLiesWithinIt) {
  LogCapture log;
  for (const Picture& picture : shipped_skin::LayoutPictures()) {
    PictureView view;
    ASSERT_TRUE(cache_.Resolve(picture, &view)) << picture.file;
    if (picture.hasSource) {
      EXPECT_EQ(view.source, picture.source) << picture.file << " is cut by its image's edge";
    }
    EXPECT_LE(view.corner.left + view.corner.right, view.source.Width()) << picture.file;
    EXPECT_LE(view.corner.top + view.corner.bottom, view.source.Height()) << picture.file;
  }
  for (const std::string& name : shipped_skin::CodePictures()) EXPECT_NE(SizeOf(name), "unreadable") << name;
  EXPECT_EQ(log.Lines(), std::vector<std::string>{});
}

// Every control shown (all at once, on every combination of tab pages).
TEST_F(ShippedPicturesTest, PicturesWithoutCornersAreDrawnAtTheirControlsSize) {
  for (const std::string& file : shipped_skin::kWindowLayouts) {
    auto layout = shipped_skin::ParseWindow(file);
    ASSERT_TRUE(layout);
    std::vector<Control*> tabs;
    ShowAll(&layout->root, &tabs);
    std::set<std::string> scaled;
    ForEachPageCombination(tabs, 0, [&] {
      toolkit::ArrangeWindow(&layout->root, layout->size);
      Scaled(layout->root, &scaled);
    });
    EXPECT_EQ(scaled, std::set<std::string>{}) << file;
  }
}

TEST_F(ShippedPicturesTest, PicturesTheCodeSwapsInMatchTheOnesTheyReplace) {
  // The carousel composes its pictures at 650 by 300.
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(SizeOf("skin/anima/" + std::to_string(i) + ".png"), "650x300") << i;
  for (const std::string& name : shipped_skin::CodePictures()) {
    if (name.rfind("skin/gif/", 0) == 0) {
      EXPECT_EQ(SizeOf(name), SizeOf("skin/gif/bg00.png")) << name;
    }
  }
  EXPECT_EQ(SizeOf("skin/backgroud_complete.png"), SizeOf("skin/backgroud.png"));
  EXPECT_EQ(SizeOf("skin/message_exclamation.png"), SizeOf("skin/message_help.png"));
}

}  // namespace
