// The toolkit's in-memory archive: member look-up with either separator and
// no crash or hang on damaged or hostile bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "ZipBytes.h"
#include "toolkit/ResourceArchive.h"
#include "toolkit/XmlLoader.h"

namespace {

std::string Read(const toolkit::ResourceArchive& archive, const std::wstring& path) {
  std::string content;
  return archive.ReadMember(path, &content) ? content : "<missing>";
}

class ResourceArchiveTest : public ::testing::Test {
 protected:
  const std::string layout_ = "<Window><Label name=\"a\" text=\"b\"/></Window>";
  const std::string zip_ = ZipBytes({{"configure/configure.xml", layout_},
                                    {"skin\\stored\\back.png", std::string(5000, 'x')},
                                    {"plain.txt", "not xml <"}});
};

TEST_F(ResourceArchiveTest, EitherSeparatorFindsAMember) {
  toolkit::ResourceArchive archive;
  ASSERT_TRUE(archive.Open(zip_.data(), zip_.size()));
  EXPECT_EQ(Read(archive, L"configure\\configure.xml"), layout_);
  EXPECT_EQ(Read(archive, L"configure/configure.xml"), layout_);
  // A member written with backslashes is found with forward slashes too.
  EXPECT_EQ(Read(archive, L"skin/stored/back.png"), std::string(5000, 'x'));
  EXPECT_EQ(Read(archive, L"skin\\stored/back.png"), std::string(5000, 'x'));
  EXPECT_EQ(archive.MemberNames(),
            (std::vector<std::string>{"configure/configure.xml", "plain.txt", "skin/stored/back.png"}));
}

TEST_F(ResourceArchiveTest, MissingMembersAndClosedArchivesReadNothing) {
  toolkit::ResourceArchive archive;
  EXPECT_EQ(Read(archive, L"plain.txt"), "<missing>");
  ASSERT_TRUE(archive.Open(zip_.data(), zip_.size()));
  EXPECT_EQ(Read(archive, L"Plain.txt"), "<missing>");
  EXPECT_EQ(Read(archive, L"configure"), "<missing>");
  EXPECT_EQ(Read(archive, L""), "<missing>");
  archive.Close();
  EXPECT_FALSE(archive.IsOpen());
  EXPECT_EQ(Read(archive, L"plain.txt"), "<missing>");
}

TEST_F(ResourceArchiveTest, XmlLoaderParsesOnlyWellFormedMembers) {
  toolkit::ResourceArchive archive;
  ASSERT_TRUE(archive.Open(zip_.data(), zip_.size()));
  tinyxml2::XMLDocument document;
  ASSERT_TRUE(toolkit::LoadXml(archive, L"configure\\configure.xml", &document));
  EXPECT_STREQ(document.RootElement()->Name(), "Window");
  EXPECT_FALSE(toolkit::LoadXml(archive, L"plain.txt", &document));
  EXPECT_FALSE(toolkit::LoadXml(archive, L"absent.xml", &document));
}

TEST_F(ResourceArchiveTest, GarbageIsRefused) {
  toolkit::ResourceArchive archive;
  EXPECT_FALSE(archive.Open(nullptr, 10));
  EXPECT_FALSE(archive.Open("", 0));
  const std::string garbage(4096, '\x50');
  EXPECT_FALSE(archive.Open(garbage.data(), garbage.size()));
  EXPECT_FALSE(archive.IsOpen());
}

// Every cut of a valid archive, and single damaged bytes all over it, give
// a refusal, a failed read or the true content, never a crash or a hang.
TEST_F(ResourceArchiveTest, TruncatedOrDamagedArchivesNeverCrash) {
  toolkit::ResourceArchive archive;
  std::string content;
  for (size_t size = 0; size < zip_.size(); ++size) {
    ASSERT_FALSE(archive.Open(zip_.data(), size) &&
                 archive.ReadMember(L"skin/stored/back.png", &content) &&
                 content != std::string(5000, 'x'))
        << "a cut at " << size << " read wrong content";
  }
  for (size_t at = 0; at < zip_.size(); at += 3) {
    std::string damaged = zip_;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    // The CRC check keeps damaged data from being handed out as content.
    if (archive.Open(damaged.data(), damaged.size())) {
      if (archive.ReadMember(L"configure/configure.xml", &content)) {
        EXPECT_EQ(content, layout_) << "damage at " << at;
      }
      if (archive.ReadMember(L"skin/stored/back.png", &content)) {
        EXPECT_EQ(content, std::string(5000, 'x')) << "damage at " << at;
      }
    }
  }
}

}  // namespace
