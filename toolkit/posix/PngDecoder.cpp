#include "toolkit/posix/PngDecoder.h"

#include <png.h>
#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace toolkit {

namespace {

// Frees libpng's state on every way out, including its failures.
class PngReader {
 public:
  PngReader() { image_.version = PNG_IMAGE_VERSION; }
  ~PngReader() { png_image_free(&image_); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;
  png_image& image() { return image_; }

 private:
  png_image image_{};
};

bool WithinLimits(long long width, long long height, const char* format, std::string* error) {
  if (width > 0 && height > 0 && width <= PictureDecoder::kMaxSide && height <= PictureDecoder::kMaxSide)
    return true;
  *error = std::string(format) + " size " + std::to_string(width) + "x" + std::to_string(height) +
           " is outside 1.." + std::to_string(PictureDecoder::kMaxSide);
  return false;
}

// Only bytes that begin with the BMP signature "BM" reach stb_image, and no
// other format it knows begins so. The size is checked before any pixel.
bool DecodeBmp(const std::string& bytes, Image* image, std::string* error) {
  const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
  const int length = static_cast<int>(std::min<size_t>(bytes.size(), INT_MAX));
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_memory(data, length, &width, &height, &channels)) {
    *error = std::string("not a readable BMP file: ") + stbi_failure_reason();
    return false;
  }
  if (!WithinLimits(width, height, "BMP", error)) return false;
  std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
      stbi_load_from_memory(data, length, &width, &height, &channels, 4), stbi_image_free);
  if (!pixels) {
    *error = std::string("damaged BMP data: ") + stbi_failure_reason();
    return false;
  }
  image->width = width;
  image->height = height;
  image->rgba.assign(pixels.get(), pixels.get() + static_cast<size_t>(width) * height * 4);
  return true;
}

bool DecodePng(const std::string& bytes, Image* image, std::string* error) {
  PngReader reader;
  png_image& png = reader.image();
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
    *error = std::string("not a readable PNG file: ") + png.message;
    return false;
  }
  if (!WithinLimits(png.width, png.height, "PNG", error)) return false;
  png.format = PNG_FORMAT_RGBA;
  Image decoded;
  decoded.width = static_cast<int>(png.width);
  decoded.height = static_cast<int>(png.height);
  decoded.rgba.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, decoded.rgba.data(), 0, nullptr)) {
    *error = std::string("damaged PNG data: ") + png.message;
    return false;
  }
  *image = std::move(decoded);
  return true;
}

}  // namespace

bool PngDecoder::Decode(const std::string& bytes, Image* image, std::string* error) const {
  return bytes.compare(0, 2, "BM") == 0 ? DecodeBmp(bytes, image, error) : DecodePng(bytes, image, error);
}

}  // namespace toolkit
