// Every language file the installer ships, held against the English one: a
// key that is missing reads as an empty text, broken markup draws braces, a
// lost link leaves a licence unreachable, and a changed placeholder breaks
// the format call that fills it.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "toolkit/Markup.h"

namespace {

const char* const kLanguages[] = {
    "english", "japanese", "chinese", "spanish", "german", "french", "russian",
    "portuguese", "arabic", "italiano", "chinesetrad", "korean", "nederland", "indonesian",
    "turkish", "hindi", "thai", "malay", "swedish", "czech", "vietnamese"};
const char* const kPages[] = {"install_page", "message_page"};

using Page = std::vector<std::pair<std::string, std::string>>;  // key and text, in file order

struct LanguageFile {
  std::string name;     // "language_<language>.xml"
  std::string problem;  // why the file cannot be read; empty when it can
  std::map<std::string, Page> pages;
};

const tinyxml2::XMLElement* FindNamed(const tinyxml2::XMLElement* element, const char* name) {
  if (element == nullptr || element->Attribute("name", name)) return element;
  for (auto* child = element->FirstChildElement(); child; child = child->NextSiblingElement())
    if (const auto* found = FindNamed(child, name)) return found;
  return nullptr;
}

LanguageFile Load(const std::string& language) {
  LanguageFile file{"language_" + language + ".xml", "", {}};
  std::ifstream in(std::string(SETUP_SOURCE_DIR) + "/skin/language/" + file.name, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  tinyxml2::XMLDocument document;
  if (!in.is_open())
    file.problem = "is missing";
  else if (document.Parse(bytes.data(), bytes.size()) != tinyxml2::XML_SUCCESS)
    file.problem = std::string("is not well-formed: ") + document.ErrorStr();
  else if (bytes.rfind("\xEF\xBB\xBF", 0) != 0)
    file.problem = "has no UTF-8 byte-order mark";
  for (const char* name : kPages) {
    const auto* page = FindNamed(document.RootElement(), name);
    if (page == nullptr) continue;
    Page& labels = file.pages[name];
    for (auto* label = page->FirstChildElement("Label"); label; label = label->NextSiblingElement("Label"))
      labels.emplace_back(label->Attribute("name") ? label->Attribute("name") : "",
                          label->Attribute("text") ? label->Attribute("text") : "");
  }
  return file;
}

// The printf conversions and drive placeholders of a text, in order; a "%"
// that starts no conversion stands alone.
std::vector<std::string> Placeholders(const std::string& text) {
  static const std::regex placeholder(
      R"(\*\*1\*\*|%(%|[-+ #0]*[0-9]*(\.[0-9]*)?(hh|h|ll|l|L|z|j|t)?[diouxXfFeEgGaAcspn])?)");
  std::vector<std::string> found;
  for (std::sregex_iterator it(text.begin(), text.end(), placeholder), end; it != end; ++it)
    found.push_back(it->str());
  return found;
}

// The font and colour of each run that shows more than blanks.
std::set<std::tuple<int, bool, uint32_t>> Styles(const toolkit::MarkupResult& markup) {
  std::set<std::tuple<int, bool, uint32_t>> styles;
  for (const auto& run : markup.runs)
    if (run.text.find_first_not_of(L' ') != std::wstring::npos)
      styles.insert({run.style.font, run.style.hasColor, run.style.color});
  return styles;
}

std::string Join(const std::vector<std::string>& items) {
  std::string joined;
  for (const auto& item : items) joined += (joined.empty() ? "" : ", ") + item;
  return "[" + joined + "]";
}

class SkinLanguageFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(english_.problem, "");
    ASSERT_EQ(english_.pages.size(), 2u);
  }

  // The English text of a key, or null when English has no such key.
  const std::string* EnglishText(const std::string& page, const std::string& key) const {
    for (const auto& [englishKey, text] : english_.pages.at(page))
      if (englishKey == key) return &text;
    return nullptr;
  }

  const LanguageFile english_ = Load("english");
};

TEST_F(SkinLanguageFilesTest, EveryFileHasTheEnglishKeysWithTexts) {
  for (const char* language : kLanguages) {
    const LanguageFile file = Load(language);
    if (!file.problem.empty()) {
      ADD_FAILURE() << file.name << " " << file.problem;
      continue;
    }
    for (const char* page : kPages) {
      if (!file.pages.count(page)) {
        ADD_FAILURE() << file.name << " has no page " << page;
        continue;
      }
      std::map<std::string, int> counts;
      for (const auto& [key, text] : file.pages.at(page)) {
        if (++counts[key] == 2) ADD_FAILURE() << file.name << " " << page << "/" << key << " appears twice";
        if (text.empty()) ADD_FAILURE() << file.name << " " << page << "/" << key << " has no text";
        if (!EnglishText(page, key)) ADD_FAILURE() << file.name << " " << page << "/" << key << " is not an English key";
      }
      for (const auto& [key, text] : english_.pages.at(page))
        if (!counts.count(key)) ADD_FAILURE() << file.name << " " << page << "/" << key << " is missing";
    }
  }
}

TEST_F(SkinLanguageFilesTest, EveryTextKeepsTheEnglishMarkupAndPlaceholders) {
  for (const char* language : kLanguages) {
    const LanguageFile file = Load(language);  // unreadable files fail the key test
    for (const auto& [page, labels] : file.pages) {
      for (const auto& [key, text] : labels) {
        const std::string* englishText = EnglishText(page, key);
        if (englishText == nullptr) continue;
        const std::string where = file.name + " " + page + "/" + key + ": ";
        const auto ours = toolkit::ParseMarkup(platform::Utf8ToWide(text));
        const auto theirs = toolkit::ParseMarkup(platform::Utf8ToWide(*englishText));
        EXPECT_TRUE(ours.errors.empty()) << where << "markup errors " << Join(ours.errors);
        auto warnings = ours.warnings, allowed = theirs.warnings;
        std::sort(warnings.begin(), warnings.end());
        std::sort(allowed.begin(), allowed.end());
        EXPECT_TRUE(std::includes(allowed.begin(), allowed.end(), warnings.begin(), warnings.end()))
            << where << "markup warnings " << Join(ours.warnings) << " beyond English " << Join(theirs.warnings);
        EXPECT_EQ(ours.links.size(), theirs.links.size()) << where << "link count";
        EXPECT_EQ(Styles(ours), Styles(theirs)) << where << "fonts and colours differ from English";
        EXPECT_EQ(Join(Placeholders(text)), Join(Placeholders(*englishText))) << where << "placeholders";
      }
    }
  }
}

}  // namespace
