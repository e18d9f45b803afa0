#include "toolkit/headless/ScriptedUser.h"

#include <easylogging++.h>

namespace toolkit {

ScriptedUser::ScriptedUser(SkinWindow& window) : window_(window) {}

bool ScriptedUser::Click(const std::string& control) {
  const Control* found = window_.Find(control);
  if (!found || found->rect.Width() <= 0 || found->rect.Height() <= 0) return Refuse("click", control);
  const Rect& rect = found->rect;
  return ClickAt(Point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}) ||
         Refuse("click", control);
}

bool ScriptedUser::ClickAt(Point point) { return window_.ClickAt(point); }

bool ScriptedUser::ChooseItem(const std::string& combo, int index) {
  return window_.ChooseItem(window_.Find(combo), index) || Refuse("item " + std::to_string(index), combo);
}

bool ScriptedUser::FollowLink(const std::string& text, int link) {
  return window_.FollowLink(window_.Find(text), link) || Refuse("link " + std::to_string(link), text);
}

bool ScriptedUser::Refuse(const std::string& action, const std::string& control) {
  LOG(WARNING) << " Scripted " << action << " on " << control << " reached no control";
  return false;
}

}  // namespace toolkit
