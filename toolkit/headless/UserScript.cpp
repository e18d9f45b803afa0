#include "toolkit/headless/UserScript.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/Platform.h"
#include "toolkit/HitTest.h"
#include "toolkit/SkinWindow.h"

namespace toolkit {

namespace {

Point Centre(const Rect& rect) { return Point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

// Shown with all its ancestors and enabled, and what a press at its centre
// lands on: covered, hidden or disabled controls wait.
bool Reachable(SkinWindow& window, Control* control) {
  if (!control || control->rect.Width() <= 0 || control->rect.Height() <= 0) return false;
  for (const Control* c = control; c; c = c->parent())
    if (!c->state.visible || !c->state.enabled) return false;
  return HitTest(&window.layout().root, Centre(control->rect)) == control ||
         control->kind() != ControlKind::kButton;
}

}  // namespace

bool UserScript::IsFolderStep(const Action& action) {
  return action.verb == "choose-folder" || action.verb == "cancel-folder";
}

// Reads the file afresh: the driver may have appended since the last call.
bool UserScript::NextAction(Action* action) {
  std::ifstream in(path_);
  size_t steps = 0;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    Action parsed;
    if (!(words >> parsed.verb) || parsed.verb[0] == '#') continue;
    if (IsFolderStep(parsed)) {
      std::getline(words >> std::ws, parsed.text);
    } else {
      words >> parsed.control;
      if (parsed.verb == "type") std::getline(words >> std::ws, parsed.text);
      else words >> parsed.index;
    }
    if (steps++ == done_) {
      *action = parsed;
      return true;
    }
  }
  return false;
}

void UserScript::Step(const std::vector<SkinWindow*>& windows) {
  Action action;
  if (!NextAction(&action) || IsFolderStep(action)) return;
  if (action.verb == "key") {
    if (windows.empty()) return;
    ++done_;
    if (!PressKey(*windows.front(), action.control)) std::printf("setup-ui: key %s did nothing\n", action.control.c_str());
    std::fflush(stdout);
    return;
  }
  for (SkinWindow* window : windows) {
    if (!Reachable(*window, window->Find(action.control))) continue;
    ++done_;
    const Point centre = Centre(window->Find(action.control)->rect);
    std::printf("setup-ui: %s %s at %d,%d\n", action.verb.c_str(), action.control.c_str(), centre.x, centre.y);
    std::fflush(stdout);
    if (!Perform(*window, action, centre)) std::printf("setup-ui: %s %s failed\n", action.verb.c_str(), action.control.c_str());
    std::fflush(stdout);
    return;
  }
}

bool UserScript::AnswerFolderDialog(std::wstring* folder) {
  Action action;
  if (!NextAction(&action) || !IsFolderStep(action)) return false;
  ++done_;
  std::printf("setup-ui: %s%s%s\n", action.verb.c_str(), action.text.empty() ? "" : " ", action.text.c_str());
  std::fflush(stdout);
  *folder = platform::Utf8ToWide(action.text);
  return true;
}

// Reports where the focus is when the key goes down, as "name" or "name#link".
bool UserScript::PressKey(SkinWindow& window, const std::string& key) {
  KeyPress press;
  if (!ParseKeyPress(key, &press)) return false;
  const FocusTarget focus = window.Focus();
  std::string name = focus.control ? focus.control->name() : "nothing";
  if (focus.link >= 0) name += "#" + std::to_string(focus.link);
  std::printf("setup-ui: key %s on %s\n", key.c_str(), name.c_str());
  std::fflush(stdout);
  return window.PressKey(press);
}

bool UserScript::Perform(SkinWindow& window, const Action& action, Point centre) {
  Control* control = window.Find(action.control);
  if (action.verb == "click") return window.ClickAt(centre);
  if (action.verb == "choose") return window.ChooseItem(control, action.index);
  if (action.verb == "link") return window.FollowLink(control, action.index);
  if (action.verb != "type" || control->kind() != ControlKind::kEdit) return false;
  control->look.text = platform::Utf8ToWide(action.text);
  window.Invalidate();
  return true;
}

}  // namespace toolkit
