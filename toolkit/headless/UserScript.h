// A user of the headless backend who follows a script file, for the Linux
// demo and its tests. Each line is one step, done in order:
//   click <control>           press the control
//   choose <combo> <index>    pick an item of a combo
//   link <text> <index>       follow a link of a text
//   type <edit> <text>        replace the text of an edit box (the rest of the line)
//   choose-folder <path>      choose a folder in the open folder dialog (the rest of the line)
//   cancel-folder             cancel the open folder dialog
//   key <key>                 press a key ("Tab", "Shift+Tab", "Enter", "Space",
//                             "Escape", "Alt+F4", "Down", ...) in the top-most window
// A step waits until its control can be reached in a shown, enabled window
// (the top-most such window first, so that an open message box is served
// before its owner); a folder step waits for the folder dialog, and a key for
// a shown, enabled window. The file may grow while the program runs: a
// driver can append the next step once it has done its own part. Lines
// starting with "#" and empty lines are skipped.
#pragma once

#include <string>
#include <vector>

#include "toolkit/Geometry.h"

namespace toolkit {

class SkinWindow;

class UserScript {
 public:
  explicit UserScript(std::string path) : path_(std::move(path)) {}

  // Performs the next step when its control can be reached in one of
  // `windows` (given top-most first); called on the UI thread.
  void Step(const std::vector<SkinWindow*>& windows);
  // While the folder dialog is up: true, with the folder chosen (empty:
  // cancelled), when the next step answers it.
  bool AnswerFolderDialog(std::wstring* folder);

 private:
  struct Action {
    std::string verb, control, text;
    int index = 0;
  };
  bool NextAction(Action* action);
  static bool IsFolderStep(const Action& action);
  static bool Perform(SkinWindow& window, const Action& action, Point centre);
  static bool PressKey(SkinWindow& window, const std::string& key);

  std::string path_;
  // Counted before a step is performed: its handler may open a modal box,
  // whose loop takes the next step from here.
  size_t done_ = 0;
};

}  // namespace toolkit
