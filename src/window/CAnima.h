// The carousel's animator: composes the pictures of the running page's
// carousel in the window backend's picture cache and slides between them.
//
// Composition (HorizontalMoveAnimaInit) makes, for the frame count's
// pictures: "FirstFrame" (picture 1, 650 by 300) and, for every pair i < j,
// "Merge%02d%02d.png" (1300 by 300, picture i on the left, j on the right).
// Built-in pictures ("skin/anima/%d.png") carry their caption, drawn by the
// backend; a banner picture replaces a built-in one and carries none. The
// frames of a slide, "Merge0102.png05" and so on (650 by 300), are cut from
// the merged image the first time a slide needs them and then reused.
//
// A slide is 25 steps on a timer of the window, 50 ms apart: between steps
// the UI thread handles its messages as usual.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "toolkit/ResourceArchive.h"
#include "toolkit/SkinWindow.h"
#include "toolkit/WindowBackend.h"

class CAnima {
 public:
  static constexpr int kWidth = 650, kHeight = 300;
  static constexpr int kSteps = 25;
  static constexpr uint64_t kStepMs = 50;

  // `area` shows the pictures; `slideTimer` is a timer id of `window` that
  // the window hands to Step. `caption` gives the captions' font face and
  // colour (its text and box are the animator's).
  CAnima(toolkit::SkinWindow& window, toolkit::Control* area, int frameCount, unsigned slideTimer,
         const toolkit::Caption& caption);

  // Composes the pictures anew, each position from `banners` (1-based
  // position -> name of a picture in the cache) or, without one there or
  // when it cannot be read, from the built-in picture with its caption.
  // Slide frames of an earlier composition are dropped with the cache's
  // other images by the caller (PictureCache::Clear).
  void HorizontalMoveAnimaInit(const std::map<int, std::string>& banners = {});
  // Shows picture `picture` at once (1-based).
  void Show(int picture);
  // Starts the slide from picture `from` to `to`; nothing when they are the
  // same or there is one picture. A slide under way gives way to it.
  void Animate(int from, int to);
  // The slide timer fired: the next step; the last one stops the timer.
  void Step();
  bool Sliding() const { return step_ < kSteps; }

  // The built-in pictures in the archive: "skin/anima/1.png", 2, ... up to the first gap.
  static int CountPictures(const toolkit::ResourceArchive& archive);
  static std::string MergedName(int left, int right);
  static std::string FrameName(const std::string& merged, int frame);

 private:
  void LoadCaptions();
  // Picture `n` as the carousel shows it: the banner, else the built-in one
  // with its caption; false when neither can be read.
  bool Prepare(int n, const std::map<int, std::string>& banners, toolkit::Image* picture);
  void DrawCaptions(int n, toolkit::Image* picture);
  // The frame's name, cutting it from the merged image on first use.
  std::string Frame(const std::string& merged, int frame);
  void ShowImage(const std::string& name);
  // Tells the backend which picture now shows, with its caption.
  void Announce(int picture);
  toolkit::PictureCache& Pictures();

  toolkit::SkinWindow& window_;
  toolkit::Control* area_;
  const int frameCount_;
  const unsigned slideTimer_;
  const toolkit::Caption caption_;
  std::vector<std::wstring> captions_, extraCaptions_;
  std::vector<bool> banner_;  // by position - 1: shows a banner
  // The slide under way: its merged image, direction and steps done.
  std::string merged_;
  bool forward_ = true;
  int step_ = kSteps;
};
