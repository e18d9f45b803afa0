#include "toolkit/posix/PngDecoder.h"

#include <png.h>

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

}  // namespace

bool PngDecoder::Decode(const std::string& bytes, Image* image, std::string* error) const {
  PngReader reader;
  png_image& png = reader.image();
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
    *error = std::string("not a readable PNG file: ") + png.message;
    return false;
  }
  if (png.width == 0 || png.height == 0 || png.width > kMaxSide || png.height > kMaxSide) {
    *error = "PNG size " + std::to_string(png.width) + "x" + std::to_string(png.height) +
             " is outside 1.." + std::to_string(kMaxSide);
    return false;
  }
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

}  // namespace toolkit
