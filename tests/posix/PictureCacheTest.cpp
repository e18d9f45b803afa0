// The picture cache with the Linux decoder: pictures from the archive, from
// disk and from code in one cache, PNG and BMP files, source rectangles
// clamped to the image, and damaged or missing files refused with one clear
// log line.
#include <gtest/gtest.h>
#include <png.h>

#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "../unit/LogCapture.h"
#include "../unit/TempFolder.h"
#include "../unit/ZipBytes.h"
#include "toolkit/PictureCache.h"
#include "toolkit/posix/PngDecoder.h"

namespace {

using toolkit::Image;
using toolkit::Picture;
using toolkit::PictureView;
using toolkit::Rect;

// A width x height RGBA PNG whose pixel (x, y) is (x, y, seed, 255).
std::string PngBytes(int width, int height, uint8_t seed) {
  std::vector<uint8_t> rgba;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) rgba.insert(rgba.end(), {uint8_t(x), uint8_t(y), seed, 255});
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr));
  std::string bytes(size, '\0');
  EXPECT_TRUE(png_image_write_to_memory(&image, &bytes[0], &size, 0, rgba.data(), 0, nullptr));
  bytes.resize(size);
  return bytes;
}

// A width x height 24-bit BMP whose pixel (x, y) is (x, y, seed): rows stored
// bottom up in blue-green-red order, each padded to four bytes.
std::string BmpBytes(int width, int height, uint8_t seed) {
  const int stride = (width * 3 + 3) / 4 * 4;
  std::string bytes(54 + stride * height, '\0');
  const auto put32 = [&bytes](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, static_cast<uint32_t>(bytes.size()));
  put32(10, 54);  // where the pixels begin
  put32(14, 40);  // the size of the info header
  put32(18, width);
  put32(22, height);
  bytes[26] = 1;   // planes
  bytes[28] = 24;  // bits per pixel
  for (int y = 0; y < height; ++y) {
    char* row = &bytes[54 + static_cast<size_t>(height - 1 - y) * stride];
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<char>(seed);
      row[3 * x + 1] = static_cast<char>(y);
      row[3 * x + 2] = static_cast<char>(x);
    }
  }
  return bytes;
}

Picture Named(const std::string& file, bool hasSource = false, Rect source = {}) {
  Picture picture;
  picture.file = file;
  picture.hasSource = hasSource;
  picture.source = source;
  picture.corner = Rect{2, 2, 2, 2};
  return picture;
}

// The pixel (x, y) of a view's image, as 0xRRGGBBAA.
uint32_t Pixel(const PictureView& view, int x, int y) {
  const uint8_t* p = &view.image->rgba[(static_cast<size_t>(y) * view.image->width + x) * 4];
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

class PictureCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string good = PngBytes(5, 3, 7);
    zip_ = ZipBytes({{"skin/btn.png", good},
                     {"skin/cut.png", good.substr(0, good.size() - 30)},
                     {"skin/text.png", "GIF89a not a png at all"},
                     {"scrollbar.bmp", BmpBytes(3, 2, 5)},
                     {"skin/junk.bmp", "BM but no bitmap header"}});
    ASSERT_TRUE(archive_.Open(zip_.data(), zip_.size()));
    folder_.emplace();  // after ZipBytes, whose own folder of the same name it removes
    cache_.SetDecoder(std::make_unique<toolkit::PngDecoder>());
  }
  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = (folder_->path() / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::optional<TempFolder> folder_;
  std::string zip_;
  toolkit::ResourceArchive archive_;
  toolkit::PictureCache cache_{archive_};
};

TEST_F(PictureCacheTest, ArchivePicturesDecodeOnceWithTheSourceClampedToTheImage) {
  PictureView view;
  ASSERT_TRUE(cache_.Resolve(Named("skin\\btn.png", true, Rect{1, -4, 40, 2}), &view));
  EXPECT_EQ(view.image->width, 5);
  EXPECT_EQ(view.image->height, 3);
  EXPECT_EQ(view.source, (Rect{1, 0, 5, 2}));
  EXPECT_EQ(view.corner, (Rect{2, 2, 2, 2}));
  EXPECT_EQ(Pixel(view, 4, 2), 0x040207FFu);
  const Image* first = view.image;

  // Later answers come from the cache, whichever separator names the file.
  archive_.Close();
  ASSERT_TRUE(cache_.Resolve(Named("skin/btn.png"), &view));
  EXPECT_EQ(view.image, first);
  EXPECT_EQ(view.source, (Rect{0, 0, 5, 3}));
}

TEST_F(PictureCacheTest, BmpPicturesDecodeBesidePngOnes) {
  PictureView view;
  ASSERT_TRUE(cache_.Resolve(Named("scrollbar.bmp", true, Rect{1, 0, 3, 2}), &view));
  EXPECT_EQ(view.image->width, 3);
  EXPECT_EQ(view.image->height, 2);
  EXPECT_EQ(Pixel(view, 0, 0), 0x000005FFu);
  EXPECT_EQ(Pixel(view, 2, 1), 0x020105FFu);
  EXPECT_EQ(view.source, (Rect{1, 0, 3, 2}));
  ASSERT_TRUE(cache_.Resolve(Named("skin\\btn.png"), &view));
  EXPECT_EQ(Pixel(view, 4, 2), 0x040207FFu);
  LogCapture log;
  EXPECT_FALSE(cache_.Resolve(Named("skin/junk.bmp"), &view));
  EXPECT_TRUE(log.Contains("Picture skin/junk.bmp: not a readable BMP file")) << log.Lines().size();
}

TEST_F(PictureCacheTest, DiskAndCodePicturesShareTheCacheByName) {
  ASSERT_TRUE(cache_.LoadFile("banner", WriteFile("banner.png", PngBytes(2, 2, 9))));
  Image made;
  made.width = made.height = 1;
  made.rgba = {10, 20, 30, 40};
  cache_.Register("skin\\btn.png", made);  // code's picture stands in for the archive's
  PictureView view;
  ASSERT_TRUE(cache_.Resolve(Named("banner"), &view));
  EXPECT_EQ(Pixel(view, 1, 1), 0x010109FFu);
  ASSERT_TRUE(cache_.Resolve(Named("skin/btn.png"), &view));
  EXPECT_EQ(Pixel(view, 0, 0), 0x0A141E28u);
}

TEST_F(PictureCacheTest, DamagedOrMissingPicturesAreRefusedWithOneLogLineEach) {
  LogCapture log;
  PictureView view;
  for (int repaint = 0; repaint < 2; ++repaint) {
    EXPECT_FALSE(cache_.Resolve(Named("skin/cut.png"), &view));
    EXPECT_FALSE(cache_.Resolve(Named("skin/text.png"), &view));
    EXPECT_FALSE(cache_.Resolve(Named("skin/none.png"), &view));
    EXPECT_FALSE(cache_.Resolve(Named("skin/btn.png", true, Rect{5, 0, 9, 3}), &view));
  }
  EXPECT_FALSE(cache_.LoadFile("banner", WriteFile("banner.png", "\x89PNG\r\n\x1a\n")));
  EXPECT_FALSE(cache_.LoadFile("gone", (folder_->path() / "gone.png").string()));
  EXPECT_EQ(log.Count("Picture skin/cut.png: damaged PNG data"), 1u);
  EXPECT_EQ(log.Count("Picture skin/text.png: not a readable PNG file"), 1u);
  EXPECT_EQ(log.Count("Picture skin/none.png: not in the resource archive"), 1u);
  EXPECT_EQ(log.Count("Picture skin/btn.png: source rectangle lies outside its 5x3 image"), 1u);
  EXPECT_EQ(log.Count("Picture banner: not a readable PNG file"), 1u);
  EXPECT_EQ(log.Count("Picture gone: cannot open"), 1u);
}

TEST_F(PictureCacheTest, WithoutADecoderOnlyCodePicturesDraw) {
  LogCapture log;
  toolkit::PictureCache bare(archive_);
  Image made;
  made.width = made.height = 1;
  made.rgba = {1, 2, 3, 4};
  bare.Register("dot", made);
  PictureView view;
  EXPECT_TRUE(bare.Resolve(Named("dot"), &view));
  EXPECT_FALSE(bare.Resolve(Named("skin/btn.png"), &view));
  EXPECT_TRUE(log.Contains("Picture skin/btn.png: no picture decoder in this build"));
}

}  // namespace
