// The installer's 21 interface languages. A value is at the same time the
// index of its item in the main window's language combo, so the combo's
// items in "InstallSetting.xml" keep this order.
#pragma once

enum EnumLanguage : int {
  English,
  Japanese,
  Chinese,
  Spanish,
  German,
  French,
  Russian,
  Portuguese,
  Arabic,
  Italiano,
  ChineseTrad,
  Korean,
  Nederlands,
  Indonesian,
  Turkish,
  Hindi,
  Thai,
  Malay,
  Swedish,
  Czech,
  Vietnamese,
};

constexpr int kLanguageCount = 21;
