// What the portable model needs of a window system: creating, placing,
// enabling, showing and drawing windows, waiting for work, measuring text,
// the cache of the pictures the windows draw and captions drawn onto them. The Win32 backend waits on the thread's message queue; the headless
// backend on a condition variable. Windows are named by their loop handles.
#pragma once

#include <string>

#include "toolkit/Geometry.h"
#include "toolkit/Image.h"
#include "toolkit/PictureCache.h"
#include "toolkit/TextLayout.h"
#include "toolkit/WindowLayout.h"
#include "toolkit/WindowSpec.h"

namespace toolkit {

class MessageLoop;
class SkinWindow;

// A text that code draws onto a picture (the carousel's captions), in the
// picture's pixels: wrapped within `box` and aligned there by kAlign flags.
struct Caption {
  std::wstring text;  // a line feed starts a new line
  FontSpec font;      // a face the system lacks, or that lacks the text's script, falls back
  uint32_t color = 0; // ARGB
  Rect box;
  unsigned align = kAlignCenter | kAlignTop;
  std::string language;      // as WindowLayout's
  bool rightToLeft = false;  // as WindowLayout's
};

class WindowBackend {
 public:
  virtual ~WindowBackend() = default;
  virtual void SetWindowEnabled(int window, bool enabled) = 0;
  virtual void SetWindowVisible(int window, bool visible) = 0;
  // Blocks the loop's thread until Wake or at most `timeoutMs` (-1: no limit).
  virtual void Wait(int timeoutMs) = 0;
  // Any thread: ends the current or the next Wait.
  virtual void Wake() = 0;
  // The extent of one line of text drawn in `font` in a window of
  // `language` (WindowLayout::language); TextLayout lays texts out with it.
  virtual TextExtent MeasureText(const std::wstring& text, const FontSpec& font, const std::string& language) = 0;

  // Creates the screen window of `window` (already in the loop), hidden and
  // at the layout's size; user input on it reaches `window`. False when the
  // system refuses.
  virtual bool CreateNativeWindow(SkinWindow& window, const WindowSpec& spec) = 0;
  virtual void DestroyNativeWindow(int window) = 0;
  // The window's rectangle on the screen, in layout pixels.
  virtual Rect WindowRect(int window) = 0;
  virtual void MoveWindow(int window, const Rect& rect) = 0;
  // Centres the window over its owner, or over the work area without one.
  virtual void CenterWindow(int window, int owner) = 0;
  virtual void MinimizeWindow(int window) = 0;
  // The window's controls changed: draw them again.
  virtual void Invalidate(int window) = 0;
  virtual void SetTaskbarProgress(int window, int percent, TaskbarState state) = 0;
  // The cache of every picture the windows draw: pictures made by code and
  // files from disk are registered here by name, the layouts' pictures come
  // from the archive.
  virtual PictureCache& Pictures() = 0;
  virtual void DrawCaption(Image& image, const Caption& caption) = 0;

  // Optional operations; a backend without them keeps these bodies.
  // The window's icon (large and small): icon resource `resourceId` of the program.
  virtual void SetWindowIcon(int window, int resourceId) { (void)window, (void)resourceId; }
  // Whether a person can act on the windows. Where nobody can (the headless
  // backend), the program itself ends the windows it shows.
  virtual bool HasUser() const { return true; }
  // What changed on the window that no control's text says (the carousel's
  // picture), for whoever follows the window without seeing it.
  virtual void Announce(int window, const std::wstring& text) { (void)window, (void)text; }
  // The system's folder dialog, modal over `owner` while `loop` goes on
  // delivering: the folder the user chose, or false when the dialog was
  // cancelled or nobody can answer it.
  virtual bool BrowseForFolder(MessageLoop& loop, int owner, std::wstring* folder) {
    (void)loop, (void)owner, (void)folder;
    return false;
  }
};

}  // namespace toolkit
