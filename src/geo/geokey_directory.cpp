#include "geo/geokey_directory.h"

#include <cstddef>

namespace {

constexpr uint32_t kGeoKeyDirectoryTag = 34735;
constexpr uint32_t kGeoDoubleParamsTag = 34736;
constexpr uint32_t kGeoAsciiParamsTag = 34737;

template <class T>
bool ReadCountedTag(TIFF* tif, uint32_t tag, std::vector<T>& out) {
  // TIFFFindField logs nothing for an unregistered tag, unlike TIFFFieldWithTag.
  const TIFFField* field = TIFFFindField(tif, tag, TIFF_ANY);
  if (field == nullptr || !TIFFFieldPassCount(field)) return false;
  void* data = nullptr;
  uint32_t n = 0;
  if (TIFFFieldSetGetCountSize(field) == 4) {
    if (!TIFFGetField(tif, tag, &n, &data)) return false;
  } else {
    uint16_t n16 = 0;
    if (!TIFFGetField(tif, tag, &n16, &data)) return false;
    n = n16;
  }
  if (data == nullptr) n = 0;
  const T* values = static_cast<const T*>(data);
  out.assign(values, values + n);
  return true;
}

bool ReadAsciiParams(TIFF* tif, std::string& out) {
  const TIFFField* field = TIFFFindField(tif, kGeoAsciiParamsTag, TIFF_ANY);
  if (field == nullptr) return false;
  char* text = nullptr;
  if (!TIFFFieldPassCount(field)) {
    // The registered form: a plain C string (libtiff cuts it at the first NUL).
    if (!TIFFGetField(tif, kGeoAsciiParamsTag, &text) || text == nullptr) return false;
    out = text;
    return true;
  }
  uint32_t n = 0;
  if (TIFFFieldSetGetCountSize(field) == 4) {
    if (!TIFFGetField(tif, kGeoAsciiParamsTag, &n, &text)) return false;
  } else {
    uint16_t n16 = 0;
    if (!TIFFGetField(tif, kGeoAsciiParamsTag, &n16, &text)) return false;
    n = n16;
  }
  if (text == nullptr) return false;
  out.assign(text, n);
  if (!out.empty() && out.back() == '\0') out.pop_back();
  return true;
}

}  // namespace

bool ReadDoubleTag(TIFF* tif, uint32_t tag, std::vector<double>& out) {
  return ReadCountedTag(tif, tag, out);
}

std::vector<RawGeoKey> ReadGeoKeyDirectory(TIFF* tif) {
  std::vector<RawGeoKey> keys;
  std::vector<uint16_t> dir;
  if (!ReadCountedTag(tif, kGeoKeyDirectoryTag, dir) || dir.size() < 4) return keys;
  std::vector<double> doubles;
  std::string ascii;
  const bool haveDoubles = ReadCountedTag(tif, kGeoDoubleParamsTag, doubles);
  const bool haveAscii = ReadAsciiParams(tif, ascii);

  std::size_t n = dir[3];
  if (4 + 4 * n > dir.size()) n = (dir.size() - 4) / 4;
  keys.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const uint16_t* e = &dir[4 + 4 * i];
    RawGeoKey k;
    k.id = e[0];
    k.location = e[1];
    k.count = e[2];
    k.offset = e[3];
    const std::size_t off = k.offset, cnt = k.count;
    if (k.location == 0) {
      if (cnt == 1) {
        k.kind = RawGeoKey::kShort;
        k.shorts.assign(1, k.offset);
      }
    } else if (k.location == kGeoKeyDirectoryTag) {
      if (off + cnt <= dir.size()) {
        k.kind = RawGeoKey::kShort;
        k.shorts.assign(dir.begin() + off, dir.begin() + off + cnt);
      }
    } else if (k.location == kGeoDoubleParamsTag) {
      if (haveDoubles && off + cnt <= doubles.size()) {
        k.kind = RawGeoKey::kDouble;
        k.doubles.assign(doubles.begin() + off, doubles.begin() + off + cnt);
      }
    } else if (k.location == kGeoAsciiParamsTag) {
      if (haveAscii && off <= ascii.size()) {
        k.kind = RawGeoKey::kAscii;
        k.asciiTail = ascii.substr(off);
      }
    }
    keys.push_back(std::move(k));
  }
  return keys;
}
