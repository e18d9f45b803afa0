// The carousel of the running page: its start, the option buttons, the
// seven-second advance and the rebuild from delivered banners.
#include <easylogging++.h>

#include <algorithm>
#include <map>
#include <string>

#include "install/InstallMessages.h"
#include "platform/Platform.h"
#include "window/InstallUIMainWnd.h"
#include "window/Language.h"

namespace {

// Only the first ten option buttons stand for pictures.
constexpr size_t kMaxOptions = 10;

// The extension of a file's name, from its last "."; empty without one.
std::string ExtensionOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  const size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return std::string();
  return platform::WideToUtf8(path.substr(dot));
}

}  // namespace

void InstallUIMainWnd::StartCarousel() {
  if (!carouselArea_) return;
  if (!anima_) {
    anima_ = std::make_unique<CAnima>(*this, carouselArea_, carouselFrameCount_, TIMER_CAROUSELSLIDE_ID,
                                      CaptionStyle());
    anima_->HorizontalMoveAnimaInit();
  }
  currentFrame_ = 1;
  if (!carouselOptions_.empty()) carouselOptions_.front()->SetSelected(true);
  anima_->Show(1);
  if (carouselFrameCount_ >= 2) SetTimer(TIMER_CAROUSEL_ID, carouselIntervalMs_);
}

void InstallUIMainWnd::AdvanceCarousel() {
  if (carouselOptions_.empty()) return;
  const size_t next = static_cast<size_t>(currentFrame_);
  toolkit::Control* option = next < carouselOptions_.size() ? carouselOptions_[next] : carouselOptions_.front();
  option->SetSelected(true);
  Send("selectchanged", option);
}

// The picture already shown only restarts the interval.
void InstallUIMainWnd::OnSelectChanged(const toolkit::Notification& notification) {
  const auto end = carouselOptions_.begin() + std::min(carouselOptions_.size(), kMaxOptions);
  const auto found = std::find(carouselOptions_.begin(), end, notification.sender);
  if (found == end || !anima_) return;
  const int number = static_cast<int>(found - carouselOptions_.begin()) + 1;
  SetTimer(TIMER_CAROUSEL_ID, carouselIntervalMs_);
  anima_->Animate(currentFrame_, number);
  currentFrame_ = number;
}

void InstallUIMainWnd::DeliverBanners(std::map<int, BannerRecord> banners) {
  {
    std::lock_guard<std::mutex> guard(bannerLock_);
    banners_ = std::move(banners);
  }
  SkinWindow::Post(MSG_BANNER_READY);
}

// Each banner picture is read from its own file, in its own format; the
// positions beyond the built-in pictures' count are not shown. The cache
// drops every earlier image, the old slides' frames with them.
void InstallUIMainWnd::OnBannerReady() {
  bannerDelivered_ = true;
  std::map<int, BannerRecord> banners;
  {
    std::lock_guard<std::mutex> guard(bannerLock_);
    banners = banners_;
  }
  LOG(INFO) << " Banners ready: " << banners.size();
  if (!anima_) return;
  toolkit::PictureCache& pictures = loop().backend().Pictures();
  pictures.Clear();
  std::map<int, std::string> names;
  for (const auto& [sort, banner] : banners) {
    if (sort < 1 || sort > carouselFrameCount_) continue;
    const std::string name = "banner/" + std::to_string(sort) + ExtensionOf(banner.localFile);
    if (pictures.LoadFile(name, platform::WideToUtf8(banner.localFile))) names[sort] = name;
  }
  anima_->HorizontalMoveAnimaInit(names);
  anima_->Show(currentFrame_);
}

toolkit::Caption InstallUIMainWnd::CaptionStyle() const {
  toolkit::Caption caption;
  caption.font.face = GetLicenseFontName(currentLanguage_);
  caption.language = GetLanguageCode(currentLanguage_);
  caption.rightToLeft = IsRightToLeft(currentLanguage_);
  caption.color = configure_ && configure_->getSoftwareId() == 10 ? 0xFFFFFFFF : 0xFF4A4A4A;
  return caption;
}
