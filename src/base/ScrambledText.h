// Texts that belong to the deployment and must not stand in the program as
// plain strings (host names, entry names): every byte is XORed with one key
// at compile time and unscrambled only when the text is needed.
//
//   const std::string host = SCRAMBLED_TEXT("config.example.com");
//
// The literal is used only during constant evaluation, so the program holds
// the scrambled bytes alone.
#pragma once

#include <cstddef>
#include <string>

namespace scrambled {

constexpr unsigned char kKey = 0x5C;

template <size_t N>
class Text {
 public:
  constexpr explicit Text(const char (&plain)[N]) : bytes_{} {
    for (size_t i = 0; i < N; ++i) bytes_[i] = static_cast<char>(plain[i] ^ kKey);
  }
  std::string str() const {
    std::string plain(N - 1, '\0');
    for (size_t i = 0; i + 1 < N; ++i) plain[i] = static_cast<char>(bytes_[i] ^ kKey);
    return plain;
  }
  // The plain text widened character by character (the texts are ASCII).
  std::wstring wstr() const {
    const std::string plain = str();
    return std::wstring(plain.begin(), plain.end());
  }

 private:
  char bytes_[N];
};

}  // namespace scrambled

// A scrambled::Text of a string literal, held in a static of its own.
#define SCRAMBLED(literal)                                                  \
  ([]() -> const auto& {                                                    \
    static constexpr scrambled::Text<sizeof(literal)> scrambledText(literal); \
    return scrambledText;                                                   \
  }())
#define SCRAMBLED_TEXT(literal) (SCRAMBLED(literal).str())
#define SCRAMBLED_WTEXT(literal) (SCRAMBLED(literal).wstr())
