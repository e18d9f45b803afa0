// One cache for every picture a window draws, keyed by name: pictures the
// layouts name are read from the resource archive on first use, pictures from
// disk (banners) and pictures made by code are put in under a name of their
// caller's choosing. "\\" and "/" in a name are the same separator.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "toolkit/Image.h"
#include "toolkit/Picture.h"
#include "toolkit/PictureDecoder.h"
#include "toolkit/ResourceArchive.h"

namespace toolkit {

// What to draw for a Picture: its image and the part of it, within the image.
struct PictureView {
  const Image* image = nullptr;  // owned by the cache
  Rect source;
  Rect corner;
  // Differs for every image the cache ever held, so that a painter's copies
  // of an image cannot be taken for those of a later image at its address.
  uint64_t serial = 0;
};

class PictureCache {
 public:
  explicit PictureCache(const ResourceArchive& archive);

  // Without a decoder only pictures registered by code can be drawn.
  void SetDecoder(std::unique_ptr<PictureDecoder> decoder);
  void Register(const std::string& name, Image image);
  // Decodes the file at `path` (UTF-8) under `name`; false, logged, when it cannot.
  bool LoadFile(const std::string& name, const std::string& path);
  // The image of `name`, read from the archive on first use; nullptr when
  // there is none. Valid until the name is registered again or the cache cleared.
  const Image* Get(const std::string& name);
  // Whether `name` is registered or was read already (the archive is not asked).
  bool Has(const std::string& name) const { return images_.count(Key(name)) != 0; }
  // Forgets every image; pictures of the archive are read again when next used.
  void Clear();

  // False, logged once per name, when the picture cannot be found or decoded
  // or its source rectangle lies outside the image.
  bool Resolve(const Picture& picture, PictureView* view);

 private:
  static std::string Key(std::string name);
  const Image* Find(const std::string& key);
  bool Decode(const std::string& key, const std::string& bytes, const std::string& origin);
  // Logs `message` the first time `key` fails; always false.
  bool Fail(const std::string& key, const std::string& message);

  const ResourceArchive& archive_;
  std::unique_ptr<PictureDecoder> decoder_;
  std::map<std::string, Image> images_;
  std::map<std::string, uint64_t> serials_;
  uint64_t lastSerial_ = 0;
  std::set<std::string> failed_;  // names already reported, so a repaint does not log again
};

}  // namespace toolkit
