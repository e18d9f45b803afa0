#include "toolkit/Markup.h"

#include "platform/Platform.h"
#include "toolkit/AttributeValues.h"

namespace toolkit {

namespace {

struct OpenTag {
  wchar_t name;
  TextStyle outer;  // the style to restore when the tag closes
};

std::string Quote(const std::wstring& tag) { return "\"{" + platform::WideToUtf8(tag) + "}\""; }

bool ParseFontIndex(const std::wstring& argument, int* font) {
  return !argument.empty() && argument[0] != L' ' && argument[0] != L'-' &&
         ParseInteger(platform::WideToUtf8(argument), font);
}

class MarkupBuilder {
 public:
  explicit MarkupBuilder(MarkupResult* result) : result_(result) {}

  void AddText(const std::wstring& text) {
    if (text.empty()) return;
    auto& runs = result_->runs;
    if (!runs.empty() && runs.back().kind == TextRun::Kind::kText && SameStyle(runs.back().style))
      runs.back().text += text;
    else
      runs.push_back({TextRun::Kind::kText, text, style_});
  }

  // Applies one tag (the text between the braces); false when it is malformed,
  // so that the caller draws it as literal text.
  bool ApplyTag(const std::wstring& tag) {
    if (tag.empty()) return false;
    if (tag[0] == L'/') return Close(tag);
    const wchar_t name = tag[0];
    const std::wstring argument = tag.size() > 2 && tag[1] == L' ' ? tag.substr(2) : L"";
    if (tag.size() > 1 && tag[1] != L' ') return false;
    TextStyle next = style_;
    switch (name) {
      case L'f': if (!ParseFontIndex(argument, &next.font)) return false; break;
      case L'c':
        if (!ParseColor(platform::WideToUtf8(argument), &next.color)) return false;
        next.hasColor = true;
        break;
      case L'a':
        next.link = static_cast<int>(result_->links.size());
        result_->links.push_back(argument);
        break;
      case L'u': if (!argument.empty()) return false; next.underline = true; break;
      case L'n': if (!argument.empty()) return false; AddBreak(TextRun::Kind::kLineBreak); return true;
      case L'p': if (!argument.empty()) return false; AddBreak(TextRun::Kind::kParagraph); break;
      default: return false;
    }
    open_.push_back({name, style_});
    style_ = next;
    return true;
  }

  void Finish() {
    for (const OpenTag& tag : open_)
      result_->errors.push_back("\"{" + std::string(1, static_cast<char>(tag.name)) + "}\" is never closed");
  }

 private:
  bool SameStyle(const TextStyle& style) const {
    return style.font == style_.font && style.hasColor == style_.hasColor &&
           style.color == style_.color && style.underline == style_.underline &&
           style.link == style_.link;
  }

  void AddBreak(TextRun::Kind kind) { result_->runs.push_back({kind, L"", style_}); }

  // A closer pops back to its tag; tags left open inside it are an error. A
  // closer with no open tag of its name is tolerated and only noted.
  bool Close(const std::wstring& tag) {
    if (tag.size() != 2) return false;
    const wchar_t name = tag[1];
    if (std::wstring(L"fcaunp").find(name) == std::wstring::npos) return false;
    if (name == L'n') return true;  // "{n}" opens no scope
    size_t depth = open_.size();
    while (depth > 0 && open_[depth - 1].name != name) --depth;
    if (depth == 0) {
      result_->warnings.push_back(Quote(tag) + " closes nothing");
      return true;
    }
    if (depth != open_.size())
      result_->errors.push_back(Quote(tag) + " closes over open \"{" +
                                std::string(1, static_cast<char>(open_.back().name)) + "}\"");
    style_ = open_[depth - 1].outer;
    open_.resize(depth - 1);
    return true;
  }

  MarkupResult* result_;
  TextStyle style_;
  std::vector<OpenTag> open_;
};

}  // namespace

std::wstring MarkupResult::PlainText() const {
  std::wstring text;
  for (const TextRun& run : runs) text += run.kind == TextRun::Kind::kText ? run.text : L"\n";
  return text;
}

MarkupResult ParseMarkup(const std::wstring& text) {
  MarkupResult result;
  MarkupBuilder builder(&result);
  size_t position = 0;
  while (position < text.size()) {
    const size_t open = text.find(L'{', position);
    builder.AddText(text.substr(position, open == std::wstring::npos ? open : open - position));
    if (open == std::wstring::npos) break;
    const size_t close = text.find_first_of(L"{}", open + 1);
    if (close == std::wstring::npos || text[close] == L'{') {
      result.errors.push_back("\"{\" without \"}\" at offset " + std::to_string(open));
      builder.AddText(text.substr(open, close == std::wstring::npos ? close : close - open));
      position = close;
      continue;
    }
    const std::wstring tag = text.substr(open + 1, close - open - 1);
    if (!builder.ApplyTag(tag)) {
      result.errors.push_back("malformed tag " + Quote(tag));
      builder.AddText(text.substr(open, close - open + 1));
    }
    position = close + 1;
  }
  builder.Finish();
  return result;
}

}  // namespace toolkit
