// posix backend: text conversions with iconv.
//
// wchar_t is UTF-32 on Linux (iconv's "WCHAR_T"). Every conversion converts
// exactly the given length (embedded NULs included). Invalid input never
// fails the call: an unconvertible or malformed unit is replaced (U+FFFD in
// wide and UTF-8 output, '?' in a legacy "ANSI" codeset) and the conversion
// goes on with the next unit, so the result is always a best effort.
//
// "ANSI" is the codeset of the environment's locale (nl_langinfo(CODESET) of
// newlocale(LC_CTYPE, "")), read without touching the process's own locale.
// UTF-8 in practice; the 7-bit codeset of the "C"/"POSIX" locale is treated
// as UTF-8 too (a superset), so that paths with non-ASCII names survive.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Platform.h"

namespace platform {

namespace {

const std::string& AnsiCodeset() {
  static const std::string codeset = [] {
    std::string result = "UTF-8";
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (loc != static_cast<locale_t>(0)) {
      const char* name = nl_langinfo_l(CODESET, loc);
      if (name && *name) result = name;
      freelocale(loc);
    }
    if (result == "ANSI_X3.4-1968" || result == "ASCII" || result == "US-ASCII")
      result = "UTF-8";
    // iconv must know it; otherwise fall back to UTF-8.
    iconv_t probe = iconv_open("WCHAR_T", result.c_str());
    if (probe == reinterpret_cast<iconv_t>(-1)) return std::string("UTF-8");
    iconv_close(probe);
    return result;
  }();
  return codeset;
}

// One conversion descriptor per thread and direction (iconv_t is not
// thread-safe); closed when the thread ends.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `size` bytes; `unit` is the size of one input unit (skipped on
  // a malformed sequence) and `replacement` the bytes written instead.
  // *replaced (when given) counts the units replaced.
  std::string Run(const char* data, size_t size, size_t unit, const std::string& replacement,
                  size_t* replaced = nullptr) {
    std::string out;
    if (!ok() || size == 0) return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
    char* in = const_cast<char*>(data);
    size_t inLeft = size;
    char buffer[4096];
    while (inLeft > 0) {
      char* outPtr = buffer;
      size_t outLeft = sizeof buffer;
      size_t rc = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
      out.append(buffer, static_cast<size_t>(outPtr - buffer));
      if (rc != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;  // flushed the buffer, go on
      // EILSEQ (malformed or unconvertible) or EINVAL (truncated at the end):
      // replace one unit and go on.
      out += replacement;
      if (replaced) ++*replaced;
      size_t skip = unit < inLeft ? unit : inLeft;
      in += skip;
      inLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush any shift sequence of stateful encodings.
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    return out;
  }

 private:
  iconv_t cd_;
};

Converter& WideToUtf8Converter() {
  thread_local Converter c("UTF-8", "WCHAR_T");
  return c;
}
Converter& Utf8ToWideConverter() {
  thread_local Converter c("WCHAR_T", "UTF-8");
  return c;
}
Converter& WideToAnsiConverter() {
  thread_local Converter c(AnsiCodeset(), "WCHAR_T");
  return c;
}
Converter& AnsiToWideConverter() {
  thread_local Converter c("WCHAR_T", AnsiCodeset());
  return c;
}

std::string Bytes(const std::wstring& s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size() * sizeof(wchar_t));
}
std::wstring Wide(const std::string& bytes) {
  std::wstring out(bytes.size() / sizeof(wchar_t), L'\0');
  if (!out.empty()) std::memcpy(&out[0], bytes.data(), out.size() * sizeof(wchar_t));
  return out;
}

const std::string& Utf8Replacement() {
  static const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  return r;
}
const std::string& WideReplacement() {
  static const std::string r = Bytes(std::wstring(1, static_cast<wchar_t>(0xFFFD)));
  return r;
}

// glibc's iconv accepts surrogates and values above U+10FFFF in UCS-4 input
// and writes invalid UTF-8 for them: replace them with U+FFFD first.
std::wstring ValidCodePoints(const std::wstring& text) {
  std::wstring out = text;
  for (wchar_t& c : out) {
    const uint32_t u = static_cast<uint32_t>(c);
    if ((u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF) c = static_cast<wchar_t>(0xFFFD);
  }
  return out;
}

}  // namespace

std::string WideToUtf8(const std::wstring& input) {
  const std::wstring text = ValidCodePoints(input);
  return WideToUtf8Converter().Run(reinterpret_cast<const char*>(text.data()),
                                   text.size() * sizeof(wchar_t), sizeof(wchar_t),
                                   Utf8Replacement());
}

std::wstring Utf8ToWide(const std::string& text) {
  return Wide(Utf8ToWideConverter().Run(text.data(), text.size(), 1, WideReplacement()));
}

std::string WideToAnsi(const std::wstring& input) {
  const std::wstring text = ValidCodePoints(input);
  Converter& c = WideToAnsiConverter();
  if (!c.ok()) return WideToUtf8(text);
  const bool utf8 = AnsiCodeset() == "UTF-8" || AnsiCodeset() == "utf8";
  return c.Run(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t),
               sizeof(wchar_t), utf8 ? Utf8Replacement() : std::string("?"));
}

bool WideToAnsiExact(const std::wstring& text, std::string* ansi) {
  if (ValidCodePoints(text) != text) return false;
  Converter& c = WideToAnsiConverter();
  if (!c.ok()) {
    *ansi = WideToUtf8(text);
    return true;
  }
  size_t replaced = 0;
  *ansi = c.Run(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t), sizeof(wchar_t), "?",
                &replaced);
  return replaced == 0;
}

std::wstring AnsiToWide(const std::string& text) {
  Converter& c = AnsiToWideConverter();
  if (!c.ok()) return Utf8ToWide(text);
  return Wide(c.Run(text.data(), text.size(), 1, WideReplacement()));
}

}  // namespace platform
