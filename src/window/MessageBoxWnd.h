// The installer's skinned modal message box: one kind of EnumMsgType
// decides its texts (from the language file), its icon, whether No shows and
// what Yes and the close button do besides answering.
#pragma once

#include <string>

#include "system/EnumLanguage.h"
#include "toolkit/ResourceArchive.h"
#include "toolkit/SkinWindow.h"
#include "window/EnumMsgType.h"

class MessageBoxWnd : public toolkit::SkinWindow {
 public:
  // Timer that answers Yes for unattended runs (AutoRun) when No is hidden.
  static constexpr unsigned kAutoYesTimer = 777;

  MessageBoxWnd(toolkit::MessageLoop& loop, EnumMsgType kind, EnumLanguage language, std::wstring text,
                const toolkit::ResourceArchive& archive = toolkit::ResourceArchive::Shared());

  // Creates the box over `owner` (a loop handle; 0: none), centres it and
  // runs it modally. kMsgResultYes or kMsgResultNo; 0 when it cannot be created.
  int DoModal(int owner);
  // Alt+F4 and Escape answer like the close button.
  bool OnClose() override;
  // What the box asks or tells (its title stays "MSGUIDemo").
  std::wstring AccessibleName() override;

 private:
  void InitWindow();
  void FillTexts();
  void OnClick(const toolkit::Notification& notification);
  void OnTimer(unsigned id);
  void ClearOwnersCache();

  const toolkit::ResourceArchive& archive_;
  int owner_ = 0;
  toolkit::Control* closeBtn_ = nullptr;
  toolkit::Control* btnYes_ = nullptr;
  toolkit::Control* btnNo_ = nullptr;
  toolkit::Control* describe_ = nullptr;
  toolkit::Control* question_ = nullptr;
  toolkit::Control* icon_ = nullptr;
  EnumMsgType kind_;
  EnumLanguage language_;
  std::wstring text_;
};
