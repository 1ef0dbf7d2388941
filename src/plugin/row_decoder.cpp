#include "plugin/row_decoder.h"

#include <algorithm>
#include <cstring>

#include "plugin/pixel_convert.h"

RowDecoder::RowDecoder(TTiffRaster& raster, uint32_t firstColumn, uint32_t lastColumn)
    : raster_(raster), layout_(raster.layout) {
  if (layout_.separate) planeRows_.resize(layout_.planes);
  if (layout_.tiled) {
    firstTile_ = firstColumn / layout_.tileWidth;
    lastTile_ = lastColumn / layout_.tileWidth;
    tileRowBytes_ = uint64_t(TIFFTileRowSize64(raster.Tiff));
    tileSlotBytes_ = tileRowBytes_ * layout_.tileLength;
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
  const uint64_t bytes = uint64_t(lastTile_ - firstTile_ + 1) * tileSlotBytes_;
  if (b.bytes.size() != bytes) b.bytes.resize(bytes);
  const uint32_t y = band * layout_.tileLength;
  for (uint32_t tx = firstTile_; tx <= lastTile_; ++tx) {
    uint8_t* slot = b.bytes.data() + uint64_t(tx - firstTile_) * tileSlotBytes_;
    const uint32_t tileIndex = TIFFComputeTile(raster_.Tiff, tx * layout_.tileWidth, y, 0, plane);
    // The open checked that a whole tile holds at least these rows.
    const bool ok = TIFFReadEncodedTile(raster_.Tiff, tileIndex, slot, tmsize_t(tileSlotBytes_)) >= 0;
    // A tile libtiff cannot decode shows as black; its neighbours stay right.
    if (!ok) std::memset(slot, 0, tileSlotBytes_);
  }
  b.index = band;
  return true;
}

void RowDecoder::AssembleRow(const std::vector<uint8_t>& tiles, uint32_t r, uint32_t pixelBits, uint8_t* dst,
                             uint64_t dstBytes) const {
  const uint64_t tileBits = uint64_t(layout_.tileWidth) * pixelBits;
  // Byte-aligned tiles are copied whole; a nonstandard width of packed pixels
  // leaves tiles starting inside a byte; any other row size is laid out as decoded.
  const bool packedBits = tileBits % 8 != 0 && tileRowBytes_ == (tileBits + 7) / 8;
  const uint64_t tileStride = packedBits ? tileBits : tileRowBytes_ * 8;
  const uint64_t dstBits = dstBytes * 8;
  // Columns of tiles the zone does not need stay zero.
  if (packedBits) {
    std::memset(dst, 0, dstBytes);
  } else {
    const uint64_t from = std::min<uint64_t>(uint64_t(firstTile_) * tileRowBytes_, dstBytes);
    const uint64_t to = std::min<uint64_t>((uint64_t(lastTile_) + 1) * tileRowBytes_, dstBytes);
    std::memset(dst, 0, from);
    std::memset(dst + to, 0, dstBytes - to);
  }
  for (uint32_t tx = firstTile_; tx <= lastTile_; ++tx) {
    const uint64_t at = uint64_t(tx) * tileStride;
    if (at >= dstBits) break;
    const uint8_t* src = tiles.data() + uint64_t(tx - firstTile_) * tileSlotBytes_ + uint64_t(r) * tileRowBytes_;
    if (!packedBits) {
      std::memcpy(dst + at / 8, src, std::min<uint64_t>(tileRowBytes_, dstBytes - at / 8));
      continue;
    }
    CopyBits(src, 0, dst, at, std::min<uint64_t>(tileBits, dstBits - at));
  }
}

bool RowDecoder::ReadTiled(uint32_t row, uint8_t* out) {
  const uint32_t band = row / layout_.tileLength;
  const uint32_t r = row % layout_.tileLength;
  if (!layout_.separate) {
    if (!LoadBand(0, band)) return false;
    AssembleRow(bands_[0].bytes, r, raster_.conversion.SrcPixelBits(), out, layout_.nativeRowBytes);
    return true;
  }
  const uint32_t sampleBytes = raster_.conversion.srcBits / 8;
  const uint64_t planeBytes = uint64_t(raster_.width) * sampleBytes;
  for (uint16_t p = 0; p < layout_.planes; ++p) {
    if (!LoadBand(p, band)) return false;
    auto& plane = planeRows_[p];
    if (plane.size() < planeBytes) plane.resize(planeBytes);
    AssembleRow(bands_[p].bytes, r, raster_.conversion.srcBits, plane.data(), planeBytes);
    for (uint32_t x = 0; x < raster_.width; ++x)
      std::memcpy(out + (uint64_t(x) * layout_.planes + p) * sampleBytes, plane.data() + uint64_t(x) * sampleBytes,
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
