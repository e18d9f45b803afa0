// The skin archive linked into the program and what its layouts name, for
// the tests of the shipped layouts and pictures.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ZipBytes.h"
#include "platform/Platform.h"
#include "toolkit/LayoutParser.h"
#include "toolkit/ResourceArchive.h"

namespace shipped_skin {

// Every window layout of the archive; the page layouts are included by the main one.
inline const std::vector<std::string> kWindowLayouts = {"InstallMainWnd.xml", "MessageBox.xml", "MessageBox_down.xml",
                                                        "transWnd.xml", "scrollbar.xml", "font.xml"};

// The program's own resource archive (ZIPRES 138), opened once.
inline const toolkit::ResourceArchive& Archive() {
  static toolkit::ResourceArchive archive;
  static const bool opened = [] {
    const void* data = nullptr;
    size_t size = 0;
    return platform::LoadModuleResource(L"ZIPRES", 138, &data, &size) && archive.Open(data, size);
  }();
  EXPECT_TRUE(opened) << "the program carries no readable skin archive";
  return archive;
}

// A window layout of the archive, whose layouts sit at its root; nullptr, with
// the parser's message as a failure, when it does not parse.
inline std::unique_ptr<toolkit::WindowLayout> ParseWindow(const std::string& file,
                                                          const toolkit::ResourceArchive& archive = Archive()) {
  auto layout = std::make_unique<toolkit::WindowLayout>();
  toolkit::LayoutParser parser(archive, L"");
  if (parser.ParseWindow(platform::Utf8ToWide(file), layout.get())) return layout;
  ADD_FAILURE() << parser.error();
  return nullptr;
}

inline std::string Slashed(std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

// The pictures of one control.
inline std::vector<toolkit::Picture> PicturesOf(const toolkit::Control& control) {
  const toolkit::ControlLook& look = control.look;
  std::vector<toolkit::Picture> pictures;
  for (const toolkit::Picture* picture : {&look.bkImage, &look.foreImage, &look.thumbImage})
    if (!picture->file.empty()) pictures.push_back(*picture);
  for (const toolkit::Picture& picture : look.images)
    if (!picture.file.empty()) pictures.push_back(picture);
  return pictures;
}

inline void CollectPictures(const toolkit::Control& control, std::vector<toolkit::Picture>* pictures) {
  for (const toolkit::Picture& picture : PicturesOf(control)) pictures->push_back(picture);
  for (const auto& child : control.children()) CollectPictures(*child, pictures);
}

// Every picture attribute of the window layouts after includes and defaults.
// The scroll bar's are named only by a Default, so they are taken from a
// scroll bar of a window that includes scrollbar.xml.
inline std::vector<toolkit::Picture> LayoutPictures() {
  std::vector<toolkit::Picture> pictures;
  for (const std::string& file : kWindowLayouts)
    if (auto layout = ParseWindow(file)) CollectPictures(layout->root, &pictures);
  std::string scrollbar;
  EXPECT_TRUE(Archive().ReadMember(L"scrollbar.xml", &scrollbar));
  const std::string zip = ZipBytes(
      {{"scrollbar.xml", scrollbar},
       {"probe.xml", R"(<Window><Include source="scrollbar.xml"/><ScrollBar name="probe"/></Window>)"}});
  toolkit::ResourceArchive probeArchive;
  EXPECT_TRUE(probeArchive.Open(zip.data(), zip.size()));
  if (auto probe = ParseWindow("probe.xml", probeArchive)) CollectPictures(probe->root, &pictures);
  return pictures;
}

// The pictures the window code names itself: the carousel's later pictures,
// the splash frames and the upper image of the finished page.
inline std::set<std::string> CodePictures() {
  std::set<std::string> names = {"skin/backgroud_complete.png"};
  for (int i = 1; i <= 5; ++i) names.insert("skin/anima/" + std::to_string(i) + ".png");
  for (int i = 0; i <= 20; ++i) names.insert("skin/gif/bg" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".png");
  return names;
}

}  // namespace shipped_skin
