#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "export_alias.h"
#include "plugin/host_rows.h"
#include "plugin/palette.h"
#include "plugin/row_decoder.h"
#include "plugin/tiff_raster.h"
#include "tifferror/tiff_error_capture.h"

namespace {

// Plug-in buffers (scratch rows, tile bands) beyond this are refused at open:
// a header cannot make the host's process allocate without bound.
constexpr uint64_t kMaxBuffer = uint64_t(1) << 30;

void Send(TTextCallback* errors, const char* text) {
  if (errors != nullptr && errors->Send != nullptr) errors->Send(errors, text);
}

int32_t DeliveredDepth(uint16_t compression, uint16_t photometric, uint16_t bitsPerSample, uint16_t samples) {
  const bool grey = photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
  if ((photometric == PHOTOMETRIC_RGB && bitsPerSample >= 8) || photometric == PHOTOMETRIC_SEPARATED ||
      photometric == PHOTOMETRIC_YCBCR || photometric == PHOTOMETRIC_LOGLUV)
    return samples == 4 ? 32 : 24;
  if (grey && bitsPerSample == 0 && (compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4))
    return 1;
  if (grey && bitsPerSample == 1) return 1;
  if (grey) return 8;
  return bitsPerSample;
}

// Our own refusals go through the capture like libtiff's, so the host's
// Get_TIFF_Error tells why.
void Refuse(const char* path, const char* why) { TIFFErrorExt(nullptr, path, "%s", why); }

// Fills the raster's decoding plan; false (with the reason recorded) when the
// file cannot be delivered without reading past a row.
bool PlanDecoding(const char* path, TTiffRaster& r, uint16_t photometric, uint16_t compression) {
  TIFF* tif = r.Tiff;
  // libtiff decodes JPEG YCbCr to RGB itself; SGILog data to 8-bit RGB and 16-bit luminance.
  if (compression == COMPRESSION_JPEG && photometric == PHOTOMETRIC_YCBCR)
    TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  if (compression == COMPRESSION_SGILOG || compression == COMPRESSION_SGILOG24) {
    if (photometric == PHOTOMETRIC_LOGLUV) TIFFSetField(tif, TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_8BIT);
    if (photometric == PHOTOMETRIC_LOGL) TIFFSetField(tif, TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_16BIT);
  }
  uint16_t bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG, format = SAMPLEFORMAT_UINT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);

  DecodeLayout& l = r.layout;
  l.tiled = TIFFIsTiled(tif) != 0;
  l.separate = planar == PLANARCONFIG_SEPARATE && samples > 1;
  l.canSeek = compression == COMPRESSION_NONE;

  PixelConversion plan;
  if (!PlanConversion(uint32_t(r.depth), photometric, bits, samples, format, &plan)) {
    Refuse(path, "no conversion of these samples to the delivered depth");
    return false;
  }
  if (l.separate) {
    if (bits % 8 != 0) {
      Refuse(path, "separate planes of samples smaller than a byte");
      return false;
    }
    // Only the planes the delivered pixel uses are read.
    l.planes = plan.kind == PixelConversion::Kind::kSelect ? uint16_t(plan.outSamples) : samples;
    if (!PlanConversion(uint32_t(r.depth), photometric, bits, l.planes, format, &plan)) {
      Refuse(path, "no conversion of these planes to the delivered depth");
      return false;
    }
  }
  const uint64_t pixelBits = uint64_t(bits) * (l.separate ? l.planes : samples);
  l.nativeRowBytes = (uint64_t(r.width) * pixelBits + 7) / 8;
  if (l.tiled) {
    uint32_t tw = 0, tl = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tl);
    const uint64_t tileBytes = uint64_t(TIFFTileSize64(tif));
    const uint64_t tileRow = uint64_t(TIFFTileRowSize64(tif));
    if (tw == 0 || tl == 0 || tileBytes == 0 || tileRow == 0 || tileBytes < tileRow * tl) {
      Refuse(path, "unusable tile size");
      return false;
    }
    const uint64_t band = (uint64_t(r.width) + tw - 1) / tw * tileRow * tl;
    const uint64_t planeRow = l.separate ? (uint64_t(r.width) * bits + 7) / 8 : l.nativeRowBytes;
    if (band > kMaxBuffer || tileBytes > kMaxBuffer || band / tl < planeRow) {
      Refuse(path, "tiles too large");
      return false;
    }
    l.tileWidth = tw;
    l.tileLength = tl;
  } else {
    uint32_t rps = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rps);
    l.rowsPerStrip = rps == 0 || rps > r.height ? std::max<uint32_t>(r.height, 1) : rps;
    l.scanlineBytes = uint64_t(TIFFScanlineSize64(tif));
    // Separate planes are interleaved from libtiff's rows: each must hold the whole plane row.
    if (l.scanlineBytes == 0 || (l.separate && l.scanlineBytes < (uint64_t(r.width) * bits + 7) / 8)) {
      Refuse(path, "unusable scanline size");
      return false;
    }
    // Contiguous rows are converted from libtiff's own scanline.
    if (!l.separate) l.nativeRowBytes = std::max(l.nativeRowBytes, l.scanlineBytes);
  }
  if (l.nativeRowBytes > kMaxBuffer || l.scanlineBytes > kMaxBuffer) {
    Refuse(path, "rows too large");
    return false;
  }
  plan.srcRowBytes = l.separate || l.tiled ? l.nativeRowBytes : l.scanlineBytes;
  r.conversion = plan;

  r.cursors.assign(1, ScanlineCursor{});
  if (l.separate && !l.tiled) {
    // One decoder per plane: each keeps its own place in its strips.
    for (uint16_t p = 1; p < l.planes; ++p) {
      TiffHandle plane(TIFFOpen(path, "r"));
      if (!plane) return false;
      r.planeHandles.push_back(std::move(plane));
      r.cursors.emplace_back();
    }
  }
  return true;
}

bool OpenRaster(const char* path, TOpenRaster* raster, TTextCallback* errors) {
  TiffHandle tif(path != nullptr ? TIFFOpen(path, "r") : nullptr);
  if (!tif) {
    Send(errors, "Error openning TIF file");
    return false;
  }
  uint16_t compression = 0, photometric = 0, samples = 1, bitsPerSample = 0;
  uint32_t width = 0, height = 0;
  TIFFGetField(tif.get(), TIFFTAG_COMPRESSION, &compression);
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
  if (!TIFFGetField(tif.get(), TIFFTAG_BITSPERSAMPLE, &bitsPerSample)) bitsPerSample = 0;
  if (!TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric)) photometric = 0;
  if (!TIFFGetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples)) samples = 1;

  auto r = std::make_unique<TTiffRaster>();
  r->width = width;
  r->height = height;
  r->depth = DeliveredDepth(compression, photometric, bitsPerSample, samples);
  r->Tiff = tif.get();
  r->handle = std::move(tif);

  bool ok = true;
  if (height > uint32_t(INT32_MAX) || RowBytes(width, uint64_t(r->depth)) > uint64_t(INT32_MAX)) {
    Refuse(path, "image rows too large for the host");
    ok = false;
  }
  ok = ok && PlanDecoding(path, *r, photometric, compression);
  if (!ok) {
    Send(errors, "Error openning TIF file");
    return false;
  }
  raster->Width = width;
  raster->Height = -int32_t(height);
  raster->BitsPerPixel = r->depth;
  raster->Reader = r.release();
  raster->Opened = 1;
  return true;
}

struct ProgressCalls {
  TProgress* p;
  void SetTotal(int32_t n) const {
    if (p != nullptr && p->Ops != nullptr && p->Ops->SetTotal != nullptr) p->Ops->SetTotal(p, n);
  }
  // Advances one line; true when the host asks to stop.
  bool AdvanceAndCheck() const {
    if (p == nullptr || p->Ops == nullptr) return false;
    if (p->Ops->Advance != nullptr) p->Ops->Advance(p, 1);
    return p->Ops->IsCancelled != nullptr && p->Ops->IsCancelled(p) != 0;
  }
};

int32_t ReadZone(TTiffRaster& tr, int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t w, int32_t h,
                 TZoneBitmap* bitmap, TTextCallback* errors, TProgress* progress) {
  const int32_t d = tr.depth;
  const uint64_t stride = RowBytes(uint64_t(w), uint64_t(d));
  if (w < 1 || h < 1 || stride > uint64_t(INT32_MAX) || stride * uint64_t(h) > uint64_t(PTRDIFF_MAX)) return 0;
  if (d < 16) {
    if (tr.PaletteCount == 0) ReadPalette(tr.Tiff, tr.Palette, &tr.PaletteCount, d);
    bitmap->PaletteCount = tr.PaletteCount;
    bitmap->Palette = tr.Palette;
  }
  bitmap->Width = w;
  bitmap->Height = -h;
  bitmap->BitsPerPixel = d;
  bitmap->Bits = nullptr;
  if (bitmap->Allocate != nullptr) bitmap->Allocate(bitmap);
  if (bitmap->Bits == nullptr) {
    Send(errors, "Out of memory reading TIF");
    return 0;
  }
  uint8_t* bits = static_cast<uint8_t*>(bitmap->Bits);
  const uint32_t b = uint32_t(d) / 8;
  const ProgressCalls calls{progress};
  const bool rowForRow = int64_t(w) == int64_t(tr.width);

  int64_t step = 0;
  int64_t rowStep = 1;
  uint32_t firstColumn = 0, lastColumn = tr.width == 0 ? 0 : tr.width - 1;
  if (!rowForRow) {
    step = (int64_t(x1) - x0) / w;
    rowStep = (int64_t(y1) - y0) / h;
    const int64_t a = x0, z = int64_t(x0) + step * (w - 1);
    const int64_t lo = std::clamp<int64_t>(std::min(a, z), 0, lastColumn);
    const int64_t hi = std::clamp<int64_t>(std::max(a, z), 0, lastColumn);
    firstColumn = uint32_t(lo);
    lastColumn = uint32_t(hi);
  }

  std::vector<uint8_t> native;
  RowDecoder decoder(tr, firstColumn, lastColumn);
  const bool inPlace = rowForRow && decoder.CanDecodeInPlace(stride);
  try {
    if (!inPlace) native.resize(tr.layout.nativeRowBytes);
  } catch (const std::bad_alloc&) {
    Send(errors, "Out of memory reading TIF");
    return 0;
  }

  if (rowForRow) calls.SetTotal(h);
  int64_t fileRow = y0;
  // A step of 0 rows repeats one row: decode it once, not once per output row.
  int64_t heldRow = -1;
  bool heldOk = false;
  for (int32_t k = 0; k < h; ++k) {
    uint8_t* out = bits + uint64_t(k) * stride;
    const int64_t r = rowForRow ? int64_t(y0) + k : fileRow;
    const bool inside = r >= 0 && r < int64_t(tr.height);
    if (rowForRow) {
      if (inPlace) {
        // Straight into the host's row: no copy when the layouts agree.
        if (!inside || !decoder.Read(uint32_t(r), out)) std::memset(out, 0, stride);
      } else if (inside && decoder.Read(uint32_t(r), native.data())) {
        ConvertPixels(tr.conversion, native.data(), tr.width, out, 0, 1, uint32_t(w));
      } else {
        std::memset(out, 0, stride);
      }
      if (b >= 3) SwapRedBlue(out, uint32_t(w), b);
      if (calls.AdvanceAndCheck()) return 0;
    } else {
      if (r != heldRow || !inside) {
        heldOk = inside && decoder.Read(uint32_t(r), native.data());
        heldRow = r;
      }
      const bool ok = heldOk;
      fileRow += rowStep;
      if (calls.AdvanceAndCheck()) return 0;
      if (ok)
        ConvertPixels(tr.conversion, native.data(), tr.width, out, x0, step, uint32_t(w));
      else
        std::memset(out, 0, stride);
      if (b >= 3) SwapRedBlue(out, uint32_t(w), b);
    }
  }
  return 1;
}

}  // namespace

extern "C" {

bool ZeltoPlugIn_Abre_Raster(const char* path, TOpenRaster* raster, TTextCallback* errors) {
  InstallTiffErrorCapture();
  if (raster == nullptr) return false;
  try {
    return OpenRaster(path, raster, errors);
  } catch (...) {
    Send(errors, "Error openning TIF file");
    return false;
  }
}

int32_t ZeltoPlugIn_Abre_Zona(TOpenRaster* raster, int32_t x0, int32_t x1, int32_t y0, int32_t y1,
                              const int32_t* zoneWidth, const int32_t* zoneHeight, TZoneBitmap* bitmap,
                              TTextCallback* errors, TProgress* progress) {
  if (raster == nullptr || raster->Reader == nullptr || zoneWidth == nullptr || zoneHeight == nullptr ||
      bitmap == nullptr)
    return 0;
  try {
    return ReadZone(*static_cast<TTiffRaster*>(raster->Reader), x0, x1, y0, y1, *zoneWidth, *zoneHeight, bitmap,
                    errors, progress);
  } catch (const std::bad_alloc&) {
    Send(errors, "Out of memory reading TIF");
    return 0;
  } catch (...) {
    return 0;
  }
}

void ZeltoPlugIn_Cierra_Raster(TOpenRaster* raster) {
  if (raster == nullptr || raster->Reader == nullptr) return;
  delete static_cast<TTiffRaster*>(raster->Reader);
  raster->Reader = nullptr;
}

}  // extern "C"

ZELTO_UNDERSCORE_ALIAS(ZeltoPlugIn_Abre_Raster)
ZELTO_UNDERSCORE_ALIAS(ZeltoPlugIn_Abre_Zona)
ZELTO_UNDERSCORE_ALIAS(ZeltoPlugIn_Cierra_Raster)
