// The main window's licence panel: the licence text of a language in
// "license_text", in an area ("license_text_layout") as high as that text
// needs, so that its scroll ends where the text ends. The installer's
// window and the skin viewer size it alike.
#pragma once

#include "system/EnumLanguage.h"
#include "toolkit/SkinWindow.h"

// Copies the language's licence into the panel and sizes its area to the
// height the wrapped text takes and a blank end. False when the layout has
// no licence control for the language (the panel then keeps its text). The
// window must have been arranged.
bool ShowLicense(toolkit::SkinWindow& window, EnumLanguage language);
