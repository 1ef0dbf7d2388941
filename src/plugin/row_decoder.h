// Decodes whole image rows into the interleaved layout the converter reads,
// whatever the file's organisation: strips (with forward decoding where
// libtiff cannot seek), separate planes, or tiles.
#ifndef ZELTO_ROW_DECODER_H
#define ZELTO_ROW_DECODER_H

#include <cstdint>
#include <vector>

#include "plugin/tiff_raster.h"

// Lives for one zone read: tiles decoded for it are not kept afterwards.
class RowDecoder {
 public:
  // Only columns firstColumn..lastColumn are needed (tiles outside are skipped).
  RowDecoder(TTiffRaster& raster, uint32_t firstColumn, uint32_t lastColumn);

  // True when a row can be decoded straight into a host row of rowRoom bytes.
  bool CanDecodeInPlace(uint64_t rowRoom) const;

  // Decodes row into out (nativeRowBytes, or scanline bytes in place). False
  // when libtiff failed; libtiff's reason is then in the last error text.
  bool Read(uint32_t row, uint8_t* out);

 private:
  bool ReadScanline(std::size_t handleIndex, uint32_t row, uint16_t sample, uint8_t* out);
  bool ReadTiled(uint32_t row, uint8_t* out);
  bool LoadBand(uint16_t plane, uint32_t band);
  // Puts row r of the band's tiles side by side into dst (dstBytes long).
  void AssembleRow(const std::vector<uint8_t>& tiles, uint32_t r, uint32_t pixelBits, uint8_t* dst,
                   uint64_t dstBytes) const;

  TTiffRaster& raster_;
  const DecodeLayout& layout_;
  uint32_t firstTile_ = 0;
  uint32_t lastTile_ = 0;
  std::vector<uint8_t> skip_;                  // rows decoded only to move forward
  std::vector<std::vector<uint8_t>> planeRows_;
  // Tiles: the decoded tiles of one band per plane, tile after tile. Rows are
  // put together only when asked for, so a zone of a few rows does not pay
  // for copying whole bands of tall tiles.
  struct Band {
    int64_t index = -1;
    std::vector<uint8_t> bytes;
  };
  std::vector<Band> bands_;
  uint64_t tileRowBytes_ = 0;
  uint64_t tileSlotBytes_ = 0;  // the tile rows a band keeps of each tile
};

#endif
