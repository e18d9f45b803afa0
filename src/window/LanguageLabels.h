// Where the labels of a language page go in a window's controls, as the
// main window and skinview put them there.
#pragma once

#include <string>

#include "toolkit/Control.h"

// `key` names the control whose text the label is, or, ending in
// "_tooltip", the control whose tooltip it is (a picture button, which
// screen readers name by it).
void ApplyLanguageLabel(toolkit::Control& root, const std::string& key, const std::wstring& text);
// Names each carousel option "image_play_option<n>" by the caption of the
// picture it shows ("anima_text_<n>"), for screen readers.
void NameCarouselOptions(toolkit::Control& root);
