// The main window's language: the start-up choice, the combo selection and
// applying a language's texts, licence and formats.
#include <easylogging++.h>

#include "platform/Platform.h"
#include "system/FuntionImpl.h"
#include "window/InstallUIMainWnd.h"
#include "window/Language.h"
#include "window/LanguageLabels.h"
#include "window/LanguageTemplate.h"
#include "window/LicensePanel.h"

void InstallUIMainWnd::InitLanguage() {
  SelectLanguageItem(FuntionImpl::GetLanguageByLocalSystem());
  HandOverToAnalytics(ProductVersion());
  ApplyLanguage();
  SetWindowCollapsed(true);
}

// The wanted item when it is shown; else item 0 when shown; else the first
// shown one; else 0. So a hidden language starts in English.
void InstallUIMainWnd::SelectLanguageItem(EnumLanguage language) {
  int firstShown = -1;
  bool zeroShown = false, wantedShown = false;
  if (languageCombo_) {
    const auto& items = languageCombo_->children();
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
      if (!items[i]->state.visible) continue;
      if (firstShown < 0) firstShown = i;
      zeroShown = zeroShown || i == 0;
      wantedShown = wantedShown || i == language;
    }
  }
  const int chosen = wantedShown ? language : zeroShown ? 0 : firstShown >= 0 ? firstShown : 0;
  currentLanguage_ = static_cast<EnumLanguage>(chosen);
  if (languageCombo_) languageCombo_->SelectIndex(chosen);
}

void InstallUIMainWnd::ApplyLanguage() {
  SetWindowLanguage(&layout(), currentLanguage_);
  ApplyLicense();
  LanguagePage labels;
  if (LoadLanguagePage(currentLanguage_, "install_page", &labels, archive_)) {
    for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
      const auto& [key, text] = *label;
      if (key == "install_label") progressFormat_ = CheckedTemplate(labels, key, TemplateArg::kNumber, archive_);
      if (key == "space_need") spaceNeedFormat_ = CheckedTemplate(labels, key, TemplateArg::kText, archive_);
      if (key == "space_free") spaceFreeFormat_ = CheckedTemplate(labels, key, TemplateArg::kNumber, archive_);
      ApplyLanguageLabel(layout().root, key, text);
    }
  }
  NameCarouselOptions(layout().root);
  ShowSpaceLabels();
  Arrange();
}

void InstallUIMainWnd::ApplyLicense() { ShowLicense(*this, currentLanguage_); }

void InstallUIMainWnd::HandOverToAnalytics(const std::wstring& productVersion) {
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    productVersion_ = productVersion;
  }
  analytics_.UpdateExtraCommon(GetLanguageCode(currentLanguage_), platform::WideToAnsi(productVersion));
}
