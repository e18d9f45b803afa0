#include "toolkit/PictureCache.h"

#include <easylogging++.h>

#include <algorithm>

#include "platform/Platform.h"
#include "platform/SharedFile.h"

namespace toolkit {

namespace {

Rect ClampTo(const Rect& rect, const Image& image) {
  const auto clamp = [](int value, int limit) { return std::min(std::max(value, 0), limit); };
  return Rect{clamp(rect.left, image.width), clamp(rect.top, image.height), clamp(rect.right, image.width),
              clamp(rect.bottom, image.height)};
}

std::string Says(const std::string& name, const std::string& what) { return "Picture " + name + ": " + what; }

}  // namespace

std::string PictureCache::Key(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

PictureCache::PictureCache(const ResourceArchive& archive) : archive_(archive) {}

void PictureCache::SetDecoder(std::unique_ptr<PictureDecoder> decoder) { decoder_ = std::move(decoder); }

void PictureCache::Register(const std::string& name, Image image) {
  const std::string key = Key(name);
  images_[key] = std::move(image);
  serials_[key] = ++lastSerial_;
  failed_.erase(key);
}

bool PictureCache::LoadFile(const std::string& name, const std::string& path) {
  std::string bytes;
  if (!platform::ReadFileBytes(platform::Utf8ToWide(path), &bytes))
    return Fail(Key(name), Says(name, "cannot open " + path));
  return Decode(Key(name), bytes, path);
}

const Image* PictureCache::Get(const std::string& name) { return Find(Key(name)); }

void PictureCache::Clear() {
  images_.clear();
  serials_.clear();
  failed_.clear();
}

bool PictureCache::Resolve(const Picture& picture, PictureView* view) {
  const Image* image = Find(Key(picture.file));
  if (!image) return false;
  const Rect whole{0, 0, image->width, image->height};
  const Rect source = ClampTo(picture.hasSource ? picture.source : whole, *image);
  if (source.Width() <= 0 || source.Height() <= 0)
    return Fail(Key(picture.file) + "#source", "Picture " + picture.file + ": source rectangle lies outside its " +
                                                   std::to_string(image->width) + "x" +
                                                   std::to_string(image->height) + " image");
  *view = PictureView{image, source, picture.corner, serials_[Key(picture.file)]};
  return true;
}

const Image* PictureCache::Find(const std::string& key) {
  auto found = images_.find(key);
  if (found != images_.end()) return &found->second;
  if (failed_.count(key)) return nullptr;
  std::string bytes;
  if (!archive_.ReadMember(platform::Utf8ToWide(key), &bytes)) {
    Fail(key, Says(key, "not in the resource archive"));
    return nullptr;
  }
  return Decode(key, bytes, "the resource archive") ? &images_[key] : nullptr;
}

bool PictureCache::Decode(const std::string& key, const std::string& bytes, const std::string& origin) {
  if (!decoder_) return Fail(key, Says(key, "no picture decoder in this build"));
  Image image;
  std::string error;
  if (!decoder_->Decode(bytes, &image, &error)) return Fail(key, Says(key, error + " (from " + origin + ")"));
  Register(key, std::move(image));
  return true;
}

bool PictureCache::Fail(const std::string& key, const std::string& message) {
  if (failed_.insert(key).second) LOG(ERROR) << " " << message;
  return false;
}

}  // namespace toolkit
