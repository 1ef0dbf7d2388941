#include "plugin/row_decoder.h"

#include <algorithm>
#include <cstring>

RowDecoder::RowDecoder(TTiffRaster& raster, uint32_t firstColumn, uint32_t lastColumn)
    : raster_(raster), layout_(raster.layout) {
  if (layout_.separate) planeRows_.resize(layout_.planes);
  if (layout_.tiled) {
    firstTile_ = firstColumn / layout_.tileWidth;
    lastTile_ = lastColumn / layout_.tileWidth;
    tileRowBytes_ = uint64_t(TIFFTileRowSize64(raster.Tiff));
    const uint64_t tilesAcross = (uint64_t(raster.width) + layout_.tileWidth - 1) / layout_.tileWidth;
    bandRowBytes_ = tilesAcross * tileRowBytes_;
    bands_.resize(layout_.separate ? layout_.planes : 1);
  }
}

bool RowDecoder::CanDecodeInPlace(uint64_t rowRoom) const {
  return !layout_.tiled && !layout_.separate &&
         raster_.conversion.kind == PixelConversion::Kind::kIdentity && layout_.scanlineBytes <= rowRoom;
}

bool RowDecoder::ReadScanline(std::size_t handleIndex, uint32_t row, uint16_t sample, uint8_t* out) {
  TIFF* tif = handleIndex == 0 ? raster_.Tiff : raster_.planeHandles[handleIndex - 1].get();
  ScanlineCursor& cursor = raster_.cursors[handleIndex];
  if (!layout_.canSeek) {
    // Compressed strips decode only forward from their first row: start where
    // the decoder stands when it is behind us in the same strip, else at the
    // strip's first row, and throw away the rows in between.
    const uint32_t stripStart = row - row % layout_.rowsPerStrip;
    const bool ahead = cursor.nextRow != ScanlineCursor::kUnknown && cursor.nextRow >= stripStart &&
                       cursor.nextRow <= row;
    const uint32_t from = ahead ? cursor.nextRow : stripStart;
    if (from < row && skip_.size() < layout_.scanlineBytes) skip_.resize(layout_.scanlineBytes);
    for (uint32_t r = from; r < row; ++r) {
      if (TIFFReadScanline(tif, skip_.data(), r, sample) < 0) {
        cursor.nextRow = ScanlineCursor::kUnknown;
        return false;
      }
      cursor.nextRow = r + 1;
    }
  }
  const bool ok = TIFFReadScanline(tif, out, row, sample) >= 0;
  cursor.nextRow = ok ? row + 1 : ScanlineCursor::kUnknown;
  return ok;
}

bool RowDecoder::LoadBand(uint16_t plane, uint32_t band) {
  Band& b = bands_[plane];
  if (b.index == int64_t(band)) return true;
  const uint64_t bandBytes = bandRowBytes_ * layout_.tileLength;
  if (b.bytes.size() != bandBytes) b.bytes.assign(bandBytes, 0);
  const uint64_t tileBytes = uint64_t(TIFFTileSize64(raster_.Tiff));
  if (tile_.size() < tileBytes) tile_.resize(tileBytes);
  const uint32_t y = band * layout_.tileLength;
  for (uint32_t tx = firstTile_; tx <= lastTile_; ++tx) {
    const uint32_t tileIndex = TIFFComputeTile(raster_.Tiff, tx * layout_.tileWidth, y, 0, plane);
    const bool ok = TIFFReadEncodedTile(raster_.Tiff, tileIndex, tile_.data(), tmsize_t(tileBytes)) >= 0;
    // A tile libtiff cannot decode shows as black; its neighbours stay right.
    if (!ok) std::memset(tile_.data(), 0, tileBytes);
    for (uint32_t r = 0; r < layout_.tileLength; ++r)
      std::memcpy(b.bytes.data() + r * bandRowBytes_ + tx * tileRowBytes_, tile_.data() + r * tileRowBytes_,
                  tileRowBytes_);
  }
  b.index = band;
  return true;
}

bool RowDecoder::ReadTiled(uint32_t row, uint8_t* out) {
  const uint32_t band = row / layout_.tileLength;
  const uint64_t offset = uint64_t(row % layout_.tileLength) * bandRowBytes_;
  if (!layout_.separate) {
    if (!LoadBand(0, band)) return false;
    std::memcpy(out, bands_[0].bytes.data() + offset, layout_.nativeRowBytes);
    return true;
  }
  const uint32_t sampleBytes = raster_.conversion.srcBits / 8;
  for (uint16_t p = 0; p < layout_.planes; ++p) {
    if (!LoadBand(p, band)) return false;
    const uint8_t* plane = bands_[p].bytes.data() + offset;
    for (uint32_t x = 0; x < raster_.width; ++x)
      std::memcpy(out + (uint64_t(x) * layout_.planes + p) * sampleBytes, plane + uint64_t(x) * sampleBytes,
                  sampleBytes);
  }
  return true;
}

bool RowDecoder::Read(uint32_t row, uint8_t* out) {
  if (layout_.tiled) return ReadTiled(row, out);
  if (!layout_.separate) return ReadScanline(0, row, 0, out);
  const uint32_t sampleBytes = raster_.conversion.srcBits / 8;
  for (uint16_t p = 0; p < layout_.planes; ++p) {
    auto& planeRow = planeRows_[p];
    if (planeRow.size() < layout_.scanlineBytes) planeRow.resize(layout_.scanlineBytes);
    if (!ReadScanline(p, row, p, planeRow.data())) return false;
    for (uint32_t x = 0; x < raster_.width; ++x)
      std::memcpy(out + (uint64_t(x) * layout_.planes + p) * sampleBytes, planeRow.data() + uint64_t(x) * sampleBytes,
                  sampleBytes);
  }
  return true;
}
