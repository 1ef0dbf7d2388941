#include "host_image.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "host_records.h"
#include "plugin_module.h"

namespace zhost {

namespace {

constexpr int64_t kMaxSide = 1 << 20;
constexpr uint64_t kMaxBytes = uint64_t(1) << 32;

struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

FilePtr OpenFile(const std::string& path, const char* mode) {
  FilePtr f(std::fopen(path.c_str(), mode));
  if (!f) throw HostError(path + ": " + std::strerror(errno));
  return f;
}

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return (r << 16) | (g << 8) | b; }
uint32_t Red(uint32_t c) { return (c >> 16) & 0xFF; }
uint32_t Green(uint32_t c) { return (c >> 8) & 0xFF; }
uint32_t Blue(uint32_t c) { return c & 0xFF; }

void SetIndex(HostImage& image, int32_t x, int32_t y, uint32_t index) {
  int d = image.bitsPerPixel;
  uint8_t* row = image.Row(y);
  if (d == 8) {
    row[x] = uint8_t(index);
    return;
  }
  uint64_t bit = uint64_t(x) * d;
  int shift = 8 - d - int(bit % 8);
  uint8_t mask = uint8_t(((1u << d) - 1) << shift);
  row[bit / 8] = uint8_t((row[bit / 8] & ~mask) | ((index << shift) & mask));
}

void SetColour(HostImage& image, int32_t x, int32_t y, uint32_t colour) {
  uint8_t* row = image.Row(y);
  if (image.bitsPerPixel == 16) {
    uint16_t v = uint16_t(((Red(colour) >> 3) << 10) | ((Green(colour) >> 3) << 5) | (Blue(colour) >> 3));
    row[2 * x] = uint8_t(v & 0xFF);
    row[2 * x + 1] = uint8_t(v >> 8);
    return;
  }
  int b = image.bitsPerPixel / 8;
  uint8_t* p = row + int64_t(x) * b;
  p[0] = uint8_t(Blue(colour));
  p[1] = uint8_t(Green(colour));
  p[2] = uint8_t(Red(colour));
  if (b == 4) p[3] = 0;
}

std::vector<uint32_t> GreyRamp(int depth) {
  int n = 1 << depth;
  std::vector<uint32_t> ramp(n);
  for (int i = 0; i < n; ++i) {
    uint32_t v = uint32_t(i * 255 / (n - 1));
    ramp[i] = Rgb(v, v, v);
  }
  return ramp;
}

uint32_t Luma(uint32_t c) { return (299 * Red(c) + 587 * Green(c) + 114 * Blue(c) + 500) / 1000; }

void CheckSize(const std::string& path, int64_t width, int64_t height, int depth) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
      RowBytes(width, depth) * uint64_t(height) > kMaxBytes) {
    throw HostError(path + ": unsupported image size " + std::to_string(width) + " x " + std::to_string(height));
  }
}

}  // namespace

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(),
                    [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

uint64_t HostImage::Stride() const { return RowBytes(width, bitsPerPixel); }

void HostImage::Allocate() { bits.assign(size_t(Stride() * uint64_t(height)), 0); }

uint32_t HostImage::Index(int32_t x, int32_t y) const {
  const uint8_t* row = Row(y);
  int d = bitsPerPixel;
  if (d == 8) return row[x];
  uint64_t bit = uint64_t(x) * d;
  int shift = 8 - d - int(bit % 8);
  return (row[bit / 8] >> shift) & ((1u << d) - 1);
}

uint32_t HostImage::Colour(int32_t x, int32_t y) const {
  if (bitsPerPixel <= 8) {
    uint32_t i = Index(x, y);
    if (i < palette.size()) return palette[i];
    uint32_t v = uint32_t(i * 255 / ((1u << bitsPerPixel) - 1));
    return Rgb(v, v, v);
  }
  const uint8_t* row = Row(y);
  if (bitsPerPixel == 16) {
    uint32_t v = uint32_t(row[2 * x]) | (uint32_t(row[2 * x + 1]) << 8);
    auto expand = [](uint32_t five) { return (five << 3) | (five >> 2); };
    return Rgb(expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31));
  }
  const uint8_t* p = row + int64_t(x) * (bitsPerPixel / 8);
  return Rgb(p[2], p[1], p[0]);
}

HostImage ConvertDepth(const HostImage& source, int32_t depth, std::string* note) {
  HostImage out;
  out.width = source.width;
  out.height = source.height;
  out.bitsPerPixel = depth;
  out.Allocate();
  if (depth > 8) {
    for (int32_t y = 0; y < source.height; ++y)
      for (int32_t x = 0; x < source.width; ++x) SetColour(out, x, y, source.Colour(x, y));
    return out;
  }

  const uint32_t room = 1u << depth;
  // Palette sources whose indices all fit keep their indices and palette.
  if (source.bitsPerPixel <= 8) {
    uint32_t highest = 0;
    for (int32_t y = 0; y < source.height; ++y)
      for (int32_t x = 0; x < source.width; ++x) highest = std::max(highest, source.Index(x, y));
    if (highest < room) {
      out.palette.assign(source.palette.begin(), source.palette.begin() + std::min<size_t>(room, source.palette.size()));
      if (out.palette.empty()) out.palette = GreyRamp(source.bitsPerPixel);
      out.palette.resize(std::min<size_t>(room, out.palette.size()));
      for (int32_t y = 0; y < source.height; ++y)
        for (int32_t x = 0; x < source.width; ++x) SetIndex(out, x, y, source.Index(x, y));
      return out;
    }
  }

  // Exact palette when the picture has few enough colours.
  std::map<uint32_t, uint32_t> colours;
  bool fits = true;
  for (int32_t y = 0; fits && y < source.height; ++y) {
    for (int32_t x = 0; x < source.width; ++x) {
      uint32_t c = source.Colour(x, y);
      if (colours.count(c) == 0) {
        if (colours.size() == room) {
          fits = false;
          break;
        }
        uint32_t index = uint32_t(colours.size());
        colours[c] = index;
        out.palette.push_back(c);
      }
    }
  }
  if (fits) {
    for (int32_t y = 0; y < source.height; ++y)
      for (int32_t x = 0; x < source.width; ++x) SetIndex(out, x, y, colours[source.Colour(x, y)]);
    return out;
  }

  out.palette.clear();
  if (depth == 8) {
    for (uint32_t i = 0; i < 256; ++i) out.palette.push_back(Rgb((i >> 5) * 255 / 7, ((i >> 2) & 7) * 255 / 7, (i & 3) * 255 / 3));
    for (int32_t y = 0; y < source.height; ++y) {
      for (int32_t x = 0; x < source.width; ++x) {
        uint32_t c = source.Colour(x, y);
        uint32_t r = (Red(c) * 7 + 127) / 255, g = (Green(c) * 7 + 127) / 255, b = (Blue(c) * 3 + 127) / 255;
        SetIndex(out, x, y, (r << 5) | (g << 2) | b);
      }
    }
    if (note != nullptr) *note = "more than 256 colours: reduced to a 3-3-2 palette";
  } else {
    out.palette = GreyRamp(depth);
    for (int32_t y = 0; y < source.height; ++y)
      for (int32_t x = 0; x < source.width; ++x) SetIndex(out, x, y, (Luma(source.Colour(x, y)) * (room - 1) + 127) / 255);
    if (note != nullptr) *note = "more than " + std::to_string(room) + " colours: reduced to " + std::to_string(room) + " grey levels";
  }
  return out;
}

// ---------------------------------------------------------------- PNG

namespace {

struct PngFailure {
  char text[200] = "";
};

void PngError(png_structp png, png_const_charp message) {
  auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
  std::snprintf(failure->text, sizeof(failure->text), "%s", message);
  png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

}  // namespace

HostImage ReadPng(const std::string& path) {
  FilePtr file = OpenFile(path, "rb");
  PngFailure failure;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, PngError, PngWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    throw HostError(path + ": out of memory");
  }
  HostImage image;
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw HostError(path + ": not a readable PNG file (" + failure.text + ")");
  }
  png_init_io(png, file.get());
  png_read_info(png, info);
  png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  int colourType = png_get_color_type(png, info), bitDepth = png_get_bit_depth(png, info);
  if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
  if (bitDepth == 16) png_set_strip_16(png);
  switch (colourType) {
    case PNG_COLOR_TYPE_PALETTE: {
      image.bitsPerPixel = bitDepth;
      png_colorp plte = nullptr;
      int count = 0;
      if (png_get_PLTE(png, info, &plte, &count) != 0) {
        for (int i = 0; i < count; ++i) image.palette.push_back(Rgb(plte[i].red, plte[i].green, plte[i].blue));
      }
      break;
    }
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      if (bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
      if (colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_strip_alpha(png);
      image.bitsPerPixel = 8;
      image.palette = GreyRamp(8);
      break;
    case PNG_COLOR_TYPE_RGB:
      png_set_bgr(png);
      image.bitsPerPixel = 24;
      break;
    default:  // RGBA
      png_set_bgr(png);
      image.bitsPerPixel = 32;
      break;
  }
  png_read_update_info(png, info);
  CheckSize(path, width, height, image.bitsPerPixel);
  image.width = int32_t(width);
  image.height = int32_t(height);
  image.Allocate();
  if (png_get_rowbytes(png, info) > image.Stride()) png_error(png, "unexpected row size");
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = image.Row(int32_t(y));
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return image;
}

void WritePng(const std::string& path, const HostImage& image) {
  const int d = image.bitsPerPixel;
  if (d != 1 && d != 2 && d != 4 && d != 8 && d != 16 && d != 24 && d != 32) {
    throw HostError("a PNG preview of depth " + std::to_string(d) + " is not supported");
  }
  // Built before the file is opened, so a failure leaves no file behind.
  std::vector<std::vector<uint8_t>> converted;
  std::vector<png_color> plte;
  if (d <= 8) {
    std::vector<uint32_t> palette = image.palette.empty() ? GreyRamp(d) : image.palette;
    // Entries past the count are the trailing black that the module trims.
    palette.resize(size_t(1) << d, 0);
    for (uint32_t c : palette) plte.push_back(png_color{png_byte(Red(c)), png_byte(Green(c)), png_byte(Blue(c))});
  } else {
    converted.resize(image.height);
    for (int32_t y = 0; y < image.height; ++y) {
      const uint8_t* src = image.Row(y);
      std::vector<uint8_t>& row = converted[y];
      if (d == 16) {
        // Samples as decoded, shown as 16-bit grey (PNG is big-endian).
        row.resize(size_t(image.width) * 2);
        for (int32_t x = 0; x < image.width; ++x) {
          row[2 * x] = src[2 * x + 1];
          row[2 * x + 1] = src[2 * x];
        }
      } else {
        // The host shows 32-bit pixels without their fourth byte.
        int b = d / 8;
        row.resize(size_t(image.width) * 3);
        for (int32_t x = 0; x < image.width; ++x) {
          row[3 * x] = src[b * x + 2];
          row[3 * x + 1] = src[b * x + 1];
          row[3 * x + 2] = src[b * x];
        }
      }
    }
  }

  FilePtr file = OpenFile(path, "wb");
  PngFailure failure;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, PngError, PngWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    throw HostError(path + ": out of memory");
  }
  std::vector<png_bytep> rows(image.height);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    file.reset();
    std::remove(path.c_str());
    throw HostError(path + ": cannot write PNG (" + failure.text + ")");
  }
  png_init_io(png, file.get());
  if (d <= 8) {
    png_set_IHDR(png, info, image.width, image.height, d, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, plte.data(), int(plte.size()));
    for (int32_t y = 0; y < image.height; ++y) rows[y] = const_cast<png_bytep>(image.Row(y));
  } else {
    png_set_IHDR(png, info, image.width, image.height, d == 16 ? 16 : 8,
                 d == 16 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    for (int32_t y = 0; y < image.height; ++y) rows[y] = converted[y].data();
  }
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0 || std::ferror(file.get())) {
    file.reset();
    std::remove(path.c_str());
    throw HostError(path + ": " + std::strerror(errno));
  }
}

// ---------------------------------------------------------------- BMP

namespace {

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

}  // namespace

HostImage ReadBmp(const std::string& path) {
  FilePtr file = OpenFile(path, "rb");
  std::vector<uint8_t> data;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), file.get())) > 0) {
    data.insert(data.end(), chunk, chunk + n);
    if (data.size() > kMaxBytes) throw HostError(path + ": file too large");
  }
  auto bad = [&](const std::string& why) { return HostError(path + ": not a supported BMP file (" + why + ")"); };
  if (data.size() < 54 || data[0] != 'B' || data[1] != 'M') throw bad("no BM header");
  uint32_t offBits = Le32(&data[10]);
  uint32_t headerSize = Le32(&data[14]);
  if (headerSize < 40 || 14 + uint64_t(headerSize) > data.size()) throw bad("short info header");
  int32_t width = int32_t(Le32(&data[18]));
  int32_t rawHeight = int32_t(Le32(&data[22]));
  uint16_t bitCount = Le16(&data[28]);
  uint32_t compression = Le32(&data[30]);
  uint32_t coloursUsed = Le32(&data[46]);
  if (compression != 0) throw bad("compressed pixels");
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    throw bad("bit count " + std::to_string(bitCount));
  bool topDown = rawHeight < 0;
  int64_t height = topDown ? -int64_t(rawHeight) : rawHeight;
  CheckSize(path, width, height, bitCount);

  HostImage image;
  image.width = width;
  image.height = int32_t(height);
  image.bitsPerPixel = bitCount;
  if (bitCount <= 8) {
    uint64_t entries = coloursUsed != 0 ? coloursUsed : (uint64_t(1) << bitCount);
    if (entries > 256) throw bad("palette of " + std::to_string(entries) + " entries");
    uint64_t at = 14 + uint64_t(headerSize);
    if (at + entries * 4 > data.size()) throw bad("palette past the end of the file");
    for (uint64_t i = 0; i < entries; ++i) image.palette.push_back(Le32(&data[at + 4 * i]) & 0xFFFFFF);
  }
  image.Allocate();
  uint64_t stride = image.Stride();
  if (uint64_t(offBits) + stride * uint64_t(height) > data.size()) throw bad("pixels past the end of the file");
  for (int64_t y = 0; y < height; ++y) {
    int64_t fileRow = topDown ? y : height - 1 - y;
    std::memcpy(image.Row(int32_t(y)), &data[offBits + stride * uint64_t(fileRow)], size_t(stride));
  }
  return image;
}

void WriteBmp(const std::string& path, const HostImage& image) {
  const int d = image.bitsPerPixel;
  if (d != 1 && d != 4 && d != 8 && d != 16 && d != 24 && d != 32) {
    throw HostError("BMP has no depth " + std::to_string(d) + "; write a .png preview instead");
  }
  std::vector<uint32_t> palette;
  if (d <= 8) {
    palette = image.palette.empty() ? GreyRamp(d) : image.palette;
    palette.resize(size_t(1) << d, 0);
  }
  uint64_t pixels = image.Stride() * uint64_t(image.height);
  uint32_t offBits = uint32_t(14 + 40 + 4 * palette.size());
  std::vector<uint8_t> head;
  head.push_back('B');
  head.push_back('M');
  Put32(head, uint32_t(offBits + pixels));
  Put32(head, 0);
  Put32(head, offBits);
  Put32(head, 40);
  Put32(head, uint32_t(image.width));
  Put32(head, uint32_t(-image.height));  // top-down, as the host's bitmaps are
  Put16(head, 1);
  Put16(head, uint16_t(d));
  Put32(head, 0);  // BI_RGB
  Put32(head, uint32_t(pixels));
  Put32(head, 2835);  // 72 dpi
  Put32(head, 2835);
  Put32(head, uint32_t(palette.size()));
  Put32(head, 0);
  for (uint32_t c : palette) Put32(head, c);  // blue, green, red, 0: TPaletteEntry's own bytes

  FilePtr file = OpenFile(path, "wb");
  bool ok = std::fwrite(head.data(), 1, head.size(), file.get()) == head.size() &&
            std::fwrite(image.bits.data(), 1, size_t(pixels), file.get()) == size_t(pixels) &&
            std::fflush(file.get()) == 0;
  if (!ok) {
    int err = errno;
    file.reset();
    std::remove(path.c_str());
    throw HostError(path + ": " + std::strerror(err));
  }
}

}  // namespace zhost
