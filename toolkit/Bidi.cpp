#include "toolkit/Bidi.h"

namespace toolkit {

// Hebrew, Arabic, Syriac, Thaana, N'Ko and their presentation forms.
bool HasRightToLeft(const std::wstring& text) {
  for (const wchar_t c : text)
    if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFE)) return true;
  return false;
}

}  // namespace toolkit
