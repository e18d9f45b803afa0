#include "window/CAnima.h"

#include <easylogging++.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Platform.h"
#include "toolkit/TextOverflow.h"

namespace {

constexpr int kCaptionPixels = 15;  // 11 points at 96 DPI
// The carousel area is 648 pixels wide: it shows the pictures' middle columns.
constexpr toolkit::Rect kShownPart{1, 0, CAnima::kWidth - 1, CAnima::kHeight};

toolkit::Image White(int width, int height) {
  toolkit::Image image;
  image.width = width;
  image.height = height;
  image.rgba.assign(static_cast<size_t>(width) * height * 4, 0xFF);
  return image;
}

// Copies `width` columns from column `fromX` of `from` to column `toX` of
// `to`, over the rows both have.
void CopyColumns(const toolkit::Image& from, int fromX, toolkit::Image* to, int toX, int width) {
  width = std::min({width, from.width - fromX, to->width - toX});
  if (width <= 0) return;
  for (int y = 0; y < std::min(from.height, to->height); ++y)
    std::memcpy(&to->rgba[(static_cast<size_t>(y) * to->width + toX) * 4],
                &from.rgba[(static_cast<size_t>(y) * from.width + fromX) * 4], static_cast<size_t>(width) * 4);
}

// The picture at the carousel's size (nearest pixels for another size).
toolkit::Image Fitted(const toolkit::Image& picture) {
  if (picture.width == CAnima::kWidth && picture.height == CAnima::kHeight) return picture;
  toolkit::Image fitted = White(CAnima::kWidth, CAnima::kHeight);
  for (int y = 0; y < CAnima::kHeight; ++y)
    for (int x = 0; x < CAnima::kWidth; ++x)
      std::memcpy(&fitted.rgba[(static_cast<size_t>(y) * CAnima::kWidth + x) * 4],
                  &picture.rgba[(static_cast<size_t>(y * picture.height / CAnima::kHeight) * picture.width +
                                 x * picture.width / CAnima::kWidth) * 4],
                  4);
  return fitted;
}

std::string BuiltInName(int n) { return "skin/anima/" + std::to_string(n) + ".png"; }

// The caption's first "{n}" is its line break.
std::wstring CaptionText(std::wstring text) {
  const size_t mark = text.find(L"{n}");
  if (mark != std::wstring::npos) text.replace(mark, 3, L"\n");
  return text;
}

}  // namespace

CAnima::CAnima(toolkit::SkinWindow& window, toolkit::Control* area, int frameCount, unsigned slideTimer,
               const toolkit::Caption& caption)
    : window_(window), area_(area), frameCount_(frameCount), slideTimer_(slideTimer), caption_(caption) {}

int CAnima::CountPictures(const toolkit::ResourceArchive& archive) {
  int count = 0;
  std::string picture;
  while (archive.ReadMember(platform::Utf8ToWide(BuiltInName(count + 1)), &picture)) ++count;
  return count;
}

std::string CAnima::MergedName(int left, int right) {
  char name[32];
  std::snprintf(name, sizeof name, "Merge%02d%02d.png", left, right);
  return name;
}

std::string CAnima::FrameName(const std::string& merged, int frame) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "%02d", frame);
  return merged + suffix;
}

toolkit::PictureCache& CAnima::Pictures() { return window_.loop().backend().Pictures(); }

void CAnima::HorizontalMoveAnimaInit(const std::map<int, std::string>& banners) {
  LOG(INFO) << " AnimaInit: " << banners.size() << " banner(s)";
  if (captions_.empty()) LoadCaptions();
  std::vector<toolkit::Image> pictures(frameCount_ + 1);
  std::vector<bool> present(frameCount_ + 1, false);
  banner_.assign(frameCount_, false);
  for (int n = 1; n <= frameCount_; ++n) present[n] = Prepare(n, banners, &pictures[n]);
  int pairs = 0;
  for (int i = 1; i <= frameCount_; ++i) {
    if (!present[i]) continue;
    if (i == 1) Pictures().Register("FirstFrame", pictures[1]);
    for (int j = i + 1; j <= frameCount_; ++j) {
      if (!present[j]) continue;
      toolkit::Image merged = White(2 * kWidth, kHeight);
      CopyColumns(pictures[i], 0, &merged, 0, kWidth);
      CopyColumns(pictures[j], 0, &merged, kWidth, kWidth);
      Pictures().Register(MergedName(i, j), std::move(merged));
      ++pairs;
    }
  }
  LOG(INFO) << " AnimaInit ok: " << frameCount_ << ", " << pairs;
}

// The texts of the hidden labels "anima_text_%d" and "anima_text_extra_%d",
// up to the first number that has neither.
void CAnima::LoadCaptions() {
  for (int n = 1;; ++n) {
    const toolkit::Control* caption = window_.Find("anima_text_" + std::to_string(n));
    const toolkit::Control* extra = window_.Find("anima_text_extra_" + std::to_string(n));
    if (!caption && !extra) break;
    if (caption) captions_.push_back(caption->look.text);
    if (extra) extraCaptions_.push_back(extra->look.text);
  }
}

bool CAnima::Prepare(int n, const std::map<int, std::string>& banners, toolkit::Image* picture) {
  const auto banner = banners.find(n);
  if (banner != banners.end()) {
    if (const toolkit::Image* image = Pictures().Get(banner->second)) {
      *picture = Fitted(*image);
      banner_[n - 1] = true;
      return true;
    }
    LOG(INFO) << " AnimaInit, use default: " << n;
  }
  const toolkit::Image* image = Pictures().Get(BuiltInName(n));
  if (!image) return false;
  *picture = Fitted(*image);
  DrawCaptions(n, picture);
  return true;
}

void CAnima::DrawCaptions(int n, toolkit::Image* picture) {
  toolkit::WindowBackend& backend = window_.loop().backend();
  const size_t k = static_cast<size_t>(n - 1);
  if (k < captions_.size() && !captions_[k].empty()) {
    toolkit::Caption caption = caption_;
    caption.text = CaptionText(captions_[k]);
    caption.font.size = kCaptionPixels;
    caption.font.bold = true;
    caption.box = toolkit::Rect{30, 40, kWidth - 30, 140};
    caption.align = toolkit::kAlignCenter | toolkit::kAlignTop;
    toolkit::CaptionFits(caption, "anima_text_" + std::to_string(n), backend);
    backend.DrawCaption(*picture, caption);
  }
  if (k < extraCaptions_.size() && !extraCaptions_[k].empty()) {
    toolkit::Caption extra = caption_;
    extra.text = extraCaptions_[k];
    extra.font.size = kCaptionPixels;
    extra.font.bold = false;
    extra.box = toolkit::Rect{194, 40, 194 + 178, 40 + 65};
    extra.align = toolkit::kAlignCenter | toolkit::kAlignVCenter;
    toolkit::CaptionFits(extra, "anima_text_extra_" + std::to_string(n), backend);
    backend.DrawCaption(*picture, extra);
  }
}

void CAnima::Show(int picture) {
  step_ = kSteps;
  window_.KillTimer(slideTimer_);
  ShowImage(picture == 1 ? "FirstFrame" : Frame(MergedName(1, picture), kSteps));
  Announce(picture);
}

void CAnima::Animate(int from, int to) {
  if (frameCount_ == 1 || from == to || from < 1 || to < 1 || from > frameCount_ || to > frameCount_) return;
  forward_ = from < to;
  merged_ = MergedName(std::min(from, to), std::max(from, to));
  step_ = 0;
  window_.SetTimer(slideTimer_, kStepMs);
  Announce(to);
}

// Forward, the view moves right over the merged image, 26 pixels a step;
// backward it moves left, from the right picture to the left one.
void CAnima::Step() {
  if (step_ >= kSteps) {
    window_.KillTimer(slideTimer_);
    return;
  }
  ++step_;
  const int frame = forward_ ? step_ : kSteps - step_;
  ShowImage(Frame(merged_, frame));
  if (step_ == kSteps) window_.KillTimer(slideTimer_);
}

// A merged image that is missing (a built-in picture was) gives white frames.
std::string CAnima::Frame(const std::string& merged, int frame) {
  const std::string name = FrameName(merged, frame);
  if (Pictures().Has(name)) return name;
  toolkit::Image image = White(kWidth, kHeight);
  if (Pictures().Has(merged)) CopyColumns(*Pictures().Get(merged), kWidth / kSteps * frame, &image, 0, kWidth);
  Pictures().Register(name, std::move(image));
  return name;
}

void CAnima::ShowImage(const std::string& name) {
  if (!area_) return;
  toolkit::Picture shown;
  shown.file = name;
  shown.hasSource = true;
  shown.source = kShownPart;
  area_->look.bkImage = shown;
}

void CAnima::Announce(int picture) {
  const size_t k = static_cast<size_t>(picture - 1);
  const std::wstring caption = k < banner_.size() && banner_[k] ? L"banner"
                               : k < captions_.size()            ? captions_[k]
                                                                 : L"";
  window_.loop().backend().Announce(window_.handle(), L"carousel " + std::to_wstring(picture) + L"/" +
                                                          std::to_wstring(frameCount_) + L": " + caption);
}
