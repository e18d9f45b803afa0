#include "window/MessageBoxWnd.h"

#include <easylogging++.h>

#include "settings/LocalSettings.h"
#include "toolkit/Markup.h"
#include "window/Language.h"
#include "install/InstallMessages.h"

namespace {

enum class Icon { kHelp, kWarning };

// One kind's keys of the language file's "message_page" (nullptr: empty).
struct MessageRow {
  EnumMsgType kind;
  const char* describe;
  const char* question;
  const char* yes;
  const char* no;  // read and set even where the No button is hidden
  Icon icon;
  bool noShown;
};

const MessageRow kRows[] = {
    {kMsgReplace, "ReplaceDesText", "ReplaceQueText", "ReplaceText", "CancelText", Icon::kHelp, true},
    {kMsgCancel, "CancelDesText", "CancelQueText", "YesText", "NoText", Icon::kHelp, true},
    {kMsgAppExist, "AppExistDesText", "AppExistQueText", "OkButtonText", "NoText", Icon::kHelp, false},
    {kMsgPathError, "PathErrorDesText", nullptr, "OkButtonText", nullptr, Icon::kWarning, false},
    {kMsgInstallTimeout, "InstallRunTimeOutDesText", "InstallRunTimeOutQueText", "ConfirmText", "CancelText",
     Icon::kWarning, false},
    {kMsgMd5Fail, "MD5FailDesText", "MD5FailQueText", "ConfirmText", "CancelText", Icon::kWarning, false},
    {kMsgUrlFail, "UrlFailDexText", "UrlFailQueText", "ConfirmText", "CancelText", Icon::kWarning, false},
    {kMsgInternetFail, "InternetFailDesText", "InternetFailQueText", "ConfirmText", "CancelText", Icon::kWarning,
     false},
    {kMsgInternetTimeout, "InternetTimeoutDesText", "InternetTimeoutQueText", "ConfirmText", "CancelText",
     Icon::kWarning, false},
    {kMsgNoEnoughSpace, "NoEnoughSpaceDesText", nullptr, "OkButtonText", nullptr, Icon::kWarning, false},
    {kMsgClickShortcut, "ClickShortcutToLaunchText", nullptr, "ConfirmText", nullptr, Icon::kWarning, false},
    {kMsgNotSupportSystem, "NotSupportSystemDesText", nullptr, "OkButtonText", nullptr, Icon::kWarning, false},
    {kMsgAgree, "AgreeDesText", nullptr, "AgreeInstallText", "NotAgreeText", Icon::kWarning, true},
    {kMsgSuggestSsd, "SuggestSSDText", nullptr, "AcceptText", "RejectText", Icon::kWarning, true},
};

const MessageRow* RowOf(EnumMsgType kind) {
  for (const MessageRow& row : kRows)
    if (row.kind == kind) return &row;
  return nullptr;
}

std::wstring KeyText(const LanguagePage& labels, const char* key) {
  return key ? TextOf(labels, key) : std::wstring();
}

std::wstring ReplaceAll(std::wstring text, const std::wstring& from, const std::wstring& to) {
  for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

void SetText(toolkit::Control* control, const std::wstring& text) {
  if (control) control->look.text = text;
}

bool ShowsCleanupQuestion(EnumMsgType kind) { return kind == kMsgInstallTimeout || kind == kMsgMd5Fail; }

}  // namespace

MessageBoxWnd::MessageBoxWnd(toolkit::MessageLoop& loop, EnumMsgType kind, EnumLanguage language,
                             std::wstring text, const toolkit::ResourceArchive& archive)
    : SkinWindow(loop), archive_(archive), kind_(kind), language_(language), text_(std::move(text)) {
  notify().On("", "windowinit", [this](const toolkit::Notification&) { InitWindow(); });
  notify().On("", "click", [this](const toolkit::Notification& n) { OnClick(n); });
  notify().On("", "timer", [this](const toolkit::Notification& n) { OnTimer(static_cast<unsigned>(n.index)); });
}

int MessageBoxWnd::DoModal(int owner) {
  owner_ = owner;
  toolkit::WindowSpec spec;
  spec.className = L"MESSAGEBOX_UI_Frame";
  spec.classStyle = 0x080B;  // CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS
  spec.style = 0x96C80000;   // WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU
  spec.exStyle = 0x81;       // WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW
  spec.title = L"MSGUIDemo";
  spec.owner = owner;
  spec.alert = true;
  const wchar_t* layout = kind_ == kMsgDownloadNotice ? L"MessageBox_down.xml" : L"MessageBox.xml";
  if (!Create(archive_, L"", layout, spec)) return 0;
  Center();
  return ShowModal();
}

void MessageBoxWnd::InitWindow() {
  closeBtn_ = Find("closebtn");
  btnYes_ = Find("btn_yes");
  btnNo_ = Find("btn_no");
  describe_ = Find("msg_describe");
  question_ = Find("msg_question");
  icon_ = Find("iconimage");
  SetWindowLanguage(&layout(), language_);
  if (kind_ != kMsgDownloadNotice) FillTexts();
  if (closeBtn_) closeBtn_->look.tooltip = GetLanguageText("install_page", "closebtn_tooltip", language_, archive_);
  SetPrimaryButtons({btnYes_});
  Arrange();
  if (LocalSettings::IsAutoRun() && !(btnNo_ && btnNo_->state.visible)) SetTimer(kAutoYesTimer, 1000);
}

void MessageBoxWnd::FillTexts() {
  LanguagePage labels;
  if (!LoadLanguagePage(language_, "message_page", &labels, archive_)) return;
  const MessageRow* row = RowOf(kind_);
  if (!row) {
    for (toolkit::Control* control : {btnYes_, btnNo_, describe_, question_}) SetText(control, L"");
    return;
  }
  if (icon_) {
    const char* file = row->icon == Icon::kHelp ? "skin\\message_help.png" : "skin\\message_exclamation.png";
    std::string error;
    toolkit::ParsePicture(file, &icon_->look.bkImage, &error);
  }
  std::wstring describe = KeyText(labels, row->describe);
  if (kind_ == kMsgSuggestSsd) describe = ReplaceAll(describe, L"**1**", text_);
  SetText(btnYes_, KeyText(labels, row->yes));
  SetText(btnNo_, KeyText(labels, row->no));
  SetText(describe_, describe);
  SetText(question_, KeyText(labels, row->question));
  if (btnNo_ && !row->noShown) btnNo_->state.visible = false;
}

void MessageBoxWnd::OnClick(const toolkit::Notification& notification) {
  const toolkit::Control* sender = notification.sender;
  if (!sender) return;
  if (sender == closeBtn_) {
    OnClose();
  } else if (sender == btnYes_) {
    if (kind_ == kMsgFinish || kind_ == kMsgCancel) {
      // A confirmed cancel makes the installer disappear at once.
      Show(false);
      if (owner_) loop().backend().SetWindowVisible(owner_, false);
    }
    if (ShowsCleanupQuestion(kind_)) ClearOwnersCache();
    EndModal(kMsgResultYes);
  } else if (sender == btnNo_) {
    EndModal(kMsgResultNo);
  }
}

std::wstring MessageBoxWnd::AccessibleName() {
  const std::wstring describe = describe_ ? toolkit::ParseMarkup(describe_->look.text).PlainText() : L"";
  return describe.empty() ? SkinWindow::AccessibleName() : describe;
}

bool MessageBoxWnd::OnClose() {
  if (ShowsCleanupQuestion(kind_)) ClearOwnersCache();
  EndModal(kMsgResultNo);
  return true;
}

void MessageBoxWnd::OnTimer(unsigned id) {
  if (id != kAutoYesTimer || !LocalSettings::IsAutoRun()) return;
  KillTimer(kAutoYesTimer);
  OnClick(toolkit::Notification{"click", btnYes_, -1});
}

// The failure boxes of the installer run and the MD5 check have the owner
// delete the package, so that the next try downloads it afresh.
void MessageBoxWnd::ClearOwnersCache() { loop().Post(owner_, MSG_CLEAR_CACHE); }
