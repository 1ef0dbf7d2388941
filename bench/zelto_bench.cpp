// The module's zone reads, saves, red/blue exchange and calibration against
// the cheapest plain libtiff loops that produce the same bytes. Each iteration
// runs both sides back to back (alternating which goes first) and keeps the
// fastest time of each, so that a shared, noisy machine still gives fair ratios.
//
//   zelto-bench --inputs=DIR [--tsv=FILE] [--reps=N] [benchmark flags]
//
// DIR holds what zelto-bench-inputs wrote; FILE receives one line per case:
// group, case, step, module ms, libtiff ms, MB.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ZeltoPlugIn_TIFF.h"
#include "plugin/host_rows.h"

namespace {

std::string gInputs;
int gReps = 3;

struct Result {
  std::string group;
  int step = 0;
  double moduleMs = 0;
  double plainMs = 0;
  double megabytes = 0;
};
std::map<std::string, Result> gResults;  // by case name, in name order

// ---- host side of the records -------------------------------------------

std::vector<uint8_t>& HostBuffer() {
  static std::vector<uint8_t> buffer;
  return buffer;
}

// The host's allocation is not what is measured: every zone lands in one
// buffer allocated before the clock starts.
void Allocate(TZoneBitmap* b) {
  const uint64_t need = RowBytes(uint64_t(b->Width), uint64_t(b->BitsPerPixel)) * uint64_t(std::abs(b->Height));
  b->Bits = need <= HostBuffer().size() ? HostBuffer().data() : nullptr;
}

std::string gLastMessage;
void Record(TTextCallback*, const char* text) { gLastMessage = text; }
void SetTotal(TProgress*, int32_t) {}
void Advance(TProgress*, int32_t) {}
void Unused(TProgress*) {}
unsigned char NotCancelled(TProgress*) { return 0; }
const TProgressOps kOps = {SetTotal, Advance, Unused, NotCancelled};

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Runs module and plain alternately; returns the best time of each.
void Measure(benchmark::State& state, const std::string& name, const std::string& group, int step, double megabytes,
             const std::function<void()>& module, const std::function<void()>& plain) {
  double bestModule = 1e300, bestPlain = 1e300;
  bool moduleFirst = true;
  for (auto _ : state) {
    for (int side = 0; side < 2; ++side) {
      const bool runModule = (side == 0) == moduleFirst;
      const auto t0 = std::chrono::steady_clock::now();
      (runModule ? module : plain)();
      const double ms = Ms(std::chrono::steady_clock::now() - t0);
      double& best = runModule ? bestModule : bestPlain;
      best = std::min(best, ms);
    }
    moduleFirst = !moduleFirst;
  }
  state.counters["module_ms"] = bestModule;
  state.counters["libtiff_ms"] = bestPlain;
  state.counters["ratio"] = bestPlain / bestModule;
  gResults[name] = Result{group, step, bestModule, bestPlain, megabytes};
}

// ---- the plain libtiff side -----------------------------------------------

// The straightforward exchange the plain loops do.
void PlainSwap(uint8_t* row, uint32_t pixels, uint32_t bpp) {
  for (uint32_t i = 0; i < pixels; ++i, row += bpp) {
    const uint8_t t = row[0];
    row[0] = row[2];
    row[2] = t;
  }
}

// Rows of one file, read the cheapest way libtiff allows: directly where it
// can seek (uncompressed), else forward from the strip's first row or from
// where the decoder stands; tiles a band at a time.
class PlainRows {
 public:
  explicit PlainRows(const std::string& path) : tif_(TIFFOpen(path.c_str(), "r")) {
    uint16_t compression = 1, samples = 1;
    TIFFGetField(tif_, TIFFTAG_IMAGEWIDTH, &width_);
    TIFFGetField(tif_, TIFFTAG_IMAGELENGTH, &height_);
    TIFFGetFieldDefaulted(tif_, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif_, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif_, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip_);
    rowsPerStrip_ = std::min(std::max<uint32_t>(rowsPerStrip_, 1), height_);
    bpp_ = samples;
    seek_ = compression == COMPRESSION_NONE;
    tiled_ = TIFFIsTiled(tif_) != 0;
    rowBytes_ = uint64_t(width_) * bpp_;
    if (tiled_) {
      TIFFGetField(tif_, TIFFTAG_TILEWIDTH, &tileWidth_);
      TIFFGetField(tif_, TIFFTAG_TILELENGTH, &tileLength_);
      const uint32_t across = (width_ + tileWidth_ - 1) / tileWidth_;
      bandRowBytes_ = uint64_t(across) * tileWidth_ * bpp_;
      band_.resize(bandRowBytes_ * tileLength_);
      tile_.resize(TIFFTileSize64(tif_));
    } else {
      skip_.resize(TIFFScanlineSize64(tif_));
    }
  }
  ~PlainRows() { TIFFClose(tif_); }
  PlainRows(const PlainRows&) = delete;
  PlainRows& operator=(const PlainRows&) = delete;

  uint32_t Width() const { return width_; }
  uint32_t Height() const { return height_; }
  uint32_t Bpp() const { return bpp_; }
  // A new zone read: nothing is known of where the decoder stands.
  void Restart() { next_ = UINT32_MAX; }

  void Read(uint32_t row, uint8_t* out) {
    if (tiled_) {
      const uint32_t band = row / tileLength_;
      if (int64_t(band) != bandIndex_) LoadBand(band);
      std::memcpy(out, band_.data() + uint64_t(row % tileLength_) * bandRowBytes_, rowBytes_);
      return;
    }
    if (!seek_) {
      const uint32_t stripStart = row - row % rowsPerStrip_;
      uint32_t from = next_ != UINT32_MAX && next_ >= stripStart && next_ <= row ? next_ : stripStart;
      for (; from < row; ++from) TIFFReadScanline(tif_, skip_.data(), from, 0);
    }
    TIFFReadScanline(tif_, out, row, 0);
    next_ = row + 1;
  }

 private:
  void LoadBand(uint32_t band) {
    const uint32_t across = (width_ + tileWidth_ - 1) / tileWidth_;
    const uint64_t tileRow = uint64_t(tileWidth_) * bpp_;
    for (uint32_t tx = 0; tx < across; ++tx) {
      TIFFReadEncodedTile(tif_, TIFFComputeTile(tif_, tx * tileWidth_, band * tileLength_, 0, 0), tile_.data(),
                          tmsize_t(tile_.size()));
      for (uint32_t r = 0; r < tileLength_; ++r)
        std::memcpy(band_.data() + r * bandRowBytes_ + tx * tileRow, tile_.data() + r * tileRow, tileRow);
    }
    bandIndex_ = band;
  }

  TIFF* tif_;
  uint32_t width_ = 0, height_ = 0, rowsPerStrip_ = 0, bpp_ = 1;
  bool seek_ = false, tiled_ = false;
  uint64_t rowBytes_ = 0;
  uint32_t next_ = UINT32_MAX;
  std::vector<uint8_t> skip_;
  uint32_t tileWidth_ = 0, tileLength_ = 0;
  uint64_t bandRowBytes_ = 0;
  int64_t bandIndex_ = -1;
  std::vector<uint8_t> band_, tile_;
};

// ---- zone reads -------------------------------------------------------------

struct OpenModule {
  TOpenRaster raster{};
  TTextCallback errors{Record};
  explicit OpenModule(const std::string& path) {
    if (!ZeltoPlugIn_Abre_Raster(path.c_str(), &raster, &errors)) {
      std::fprintf(stderr, "zelto-bench: the module cannot open %s: %s\n", path.c_str(), gLastMessage.c_str());
      std::exit(1);
    }
  }
  ~OpenModule() { ZeltoPlugIn_Cierra_Raster(&raster); }
};

int32_t ModuleZone(OpenModule& m, int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t w, int32_t h) {
  TZoneBitmap bitmap{};
  bitmap.Allocate = Allocate;
  TProgress progress{&kOps};
  return ZeltoPlugIn_Abre_Zona(&m.raster, x0, x1, y0, y1, &w, &h, &bitmap, &m.errors, &progress);
}

// Full-width rows y0..y0+h-1.
void BM_Rows(benchmark::State& state, std::string file, uint32_t y0, uint32_t rows, std::string name) {
  const std::string path = gInputs + "/" + file + ".tif";
  OpenModule module(path);
  PlainRows plain(path);
  const uint32_t w = plain.Width(), b = plain.Bpp();
  const uint64_t stride = RowBytes(w, 8 * b);
  rows = std::min(rows, plain.Height() - y0);
  HostBuffer().resize(std::max<uint64_t>(HostBuffer().size(), stride * rows));
  uint8_t* bits = HostBuffer().data();
  Measure(
      state, name, "rows", 1, double(w) * rows * b / 1e6,
      [&] {
        if (ModuleZone(module, 0, int32_t(w), int32_t(y0), int32_t(y0 + rows), int32_t(w), int32_t(rows)) != 1)
          state.SkipWithError("module zone read failed");
      },
      [&] {
        plain.Restart();
        for (uint32_t k = 0; k < rows; ++k) {
          uint8_t* out = bits + k * stride;
          plain.Read(y0 + k, out);
          if (b >= 3) PlainSwap(out, w, b);
        }
      });
}

// The whole image into a bitmap step times smaller each way.
void BM_Subsampled(benchmark::State& state, std::string file, uint32_t step, std::string name) {
  const std::string path = gInputs + "/" + file + ".tif";
  OpenModule module(path);
  PlainRows plain(path);
  const uint32_t width = plain.Width(), height = plain.Height(), b = plain.Bpp();
  const uint32_t w = width / step, h = height / step;
  const uint64_t stride = RowBytes(w, 8 * b);
  HostBuffer().resize(std::max<uint64_t>(HostBuffer().size(), stride * h));
  uint8_t* bits = HostBuffer().data();
  std::vector<uint8_t> row(uint64_t(width) * b + 16);
  Measure(
      state, name, "sub", int(step), double(width) * height * b / 1e6,
      [&] {
        if (ModuleZone(module, 0, int32_t(width), 0, int32_t(height), int32_t(w), int32_t(h)) != 1)
          state.SkipWithError("module zone read failed");
      },
      [&] {
        plain.Restart();
        for (uint32_t k = 0; k < h; ++k) {
          plain.Read(k * step, row.data());
          uint8_t* out = bits + k * stride;
          const uint8_t* src = row.data();
          if (b == 3) {
            for (uint32_t i = 0; i < w; ++i, out += 3, src += 3 * step) {
              out[0] = src[2];
              out[1] = src[1];
              out[2] = src[0];
            }
          } else {
            for (uint32_t i = 0; i < w; ++i, src += step) out[i] = *src;
          }
        }
      });
}

// ---- saves --------------------------------------------------------------------

void SetSaveTags(TIFF* tif, uint32_t w, uint32_t h, bool rgb, const std::vector<uint32_t>& palette) {
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, rgb ? 3 : 1);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, rgb ? PHOTOMETRIC_RGB : PHOTOMETRIC_PALETTE);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(1));
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, 72.0);
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, 72.0);
  TIFFSetField(tif, TIFFTAG_SUBFILETYPE, uint32_t(0));
  if (!rgb) {
    std::vector<uint16_t> r(256), g(256), bl(256);
    for (int j = 0; j < 256; ++j) {
      r[j] = uint16_t((palette[j] >> 16) & 0xFF);
      g[j] = uint16_t((palette[j] >> 8) & 0xFF);
      bl[j] = uint16_t(palette[j] & 0xFF);
    }
    TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), bl.data());
  }
}

// A host raster of the rows of an input file, saved in bands of 64 lines.
void BM_Save(benchmark::State& state, std::string file, std::string name) {
  const std::string path = gInputs + "/" + file + ".tif";
  PlainRows source(path);
  const uint32_t w = source.Width(), h = source.Height(), b = source.Bpp();
  const bool rgb = b == 3;
  const uint64_t stride = RowBytes(w, 8 * b);
  std::vector<uint8_t> image(stride * h);
  for (uint32_t y = 0; y < h; ++y) {
    source.Read(y, image.data() + y * stride);
    if (rgb) PlainSwap(image.data() + y * stride, w, 3);  // the host's blue, green, red
  }
  std::vector<uint32_t> palette(256);
  for (uint32_t j = 0; j < 256; ++j) palette[j] = (j << 16) | ((255 - j) << 8) | ((j * 7) & 255);
  const std::string moduleOut = gInputs + "/save_module.tif", plainOut = gInputs + "/save_plain.tif";
  std::vector<uint8_t> row(stride);
  Measure(
      state, name, "save", 1, double(w) * h * b / 1e6,
      [&] {
        TSaveRaster save{};
        save.Width = int32_t(w);
        save.Height = -int32_t(h);
        save.BitsPerPixel = int32_t(8 * b);
        save.PaletteCount = rgb ? 0 : 256;
        save.Palette = rgb ? nullptr : palette.data();
        TTextCallback errors{Record};
        TProgress progress{&kOps};
        bool ok = ZeltoPlugIn_Save_Raster_Create(moduleOut.c_str(), &save, &errors);
        for (uint32_t y = 0; ok && y < h; y += 64) {
          TSaveLines lines{};
          lines.LineCount = int32_t(std::min<uint32_t>(64, h - y));
          lines.Bits = image.data() + y * stride;
          ok = ZeltoPlugIn_Save_Raster_AddLines(&save, &lines, &progress, &errors);
        }
        ZeltoPlugIn_Save_Raster_Close(&save);
        if (!ok) state.SkipWithError("module save failed");
      },
      [&] {
        TIFF* tif = TIFFOpen(plainOut.c_str(), "w");
        SetSaveTags(tif, w, h, rgb, palette);
        for (uint32_t y = 0; y < h; ++y) {
          const uint8_t* line = image.data() + y * stride;
          if (rgb) {
            for (uint32_t i = 0; i < 3 * w; i += 3) {
              row[i] = line[i + 2];
              row[i + 1] = line[i + 1];
              row[i + 2] = line[i];
            }
            TIFFWriteScanline(tif, row.data(), y, 0);
          } else {
            TIFFWriteScanline(tif, const_cast<uint8_t*>(line), y, 0);
          }
        }
        TIFFClose(tif);
      });
}

// ---- the red/blue exchange on its own ------------------------------------------

// Rows of an image of size x size pixels, exchanged row by row as the reader does.
void BM_Swap(benchmark::State& state, uint32_t size, uint32_t bpp, std::string name) {
  const uint64_t stride = RowBytes(size, 8 * bpp);
  std::vector<uint8_t> image(stride * size);
  for (uint64_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 131);
  Measure(
      state, name, "swap", int(bpp), double(stride) * size / 1e6,
      [&] {
        for (uint32_t y = 0; y < size; ++y) SwapRedBlue(image.data() + y * stride, size, bpp);
        benchmark::DoNotOptimize(image.data());
      },
      [&] {
        for (uint32_t y = 0; y < size; ++y) PlainSwap(image.data() + y * stride, size, bpp);
        benchmark::DoNotOptimize(image.data());
      });
}

// memcpy over the same bytes: the ceiling for any pass over the rows.
void BM_Memcpy(benchmark::State& state, uint32_t size, std::string name) {
  const uint64_t bytes = uint64_t(size) * size * 3;
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  Measure(
      state, name, "swap", 0, double(bytes) / 1e6,
      [&] {
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::DoNotOptimize(b.data());
      },
      [&] {
        std::memcpy(a.data(), b.data(), bytes);
        benchmark::DoNotOptimize(a.data());
      });
}

// ---- calibration ------------------------------------------------------------------

std::string gCalibration;
void KeepText(TTextCallback*, const char* text) { gCalibration = text; }

void BM_Calibration(benchmark::State& state, std::string file, std::string name) {
  const std::string path = gInputs + "/" + file;
  TTextCallback output{KeepText}, errors{Record};
  gLastMessage.clear();
  if (!ZeltoPlugIn_Lee_Calibracion(path.c_str(), &output, &errors)) {
    state.SkipWithError(("calibration failed: " + gLastMessage).c_str());
    return;
  }
  Measure(
      state, name, "cal", 0, 0,
      [&] { ZeltoPlugIn_Lee_Calibracion(path.c_str(), &output, &errors); },
      [&] {
        // Reading the file once: open, decode every row, close.
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        std::vector<uint8_t> row(TIFFScanlineSize64(tif));
        uint32_t h = 0;
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        for (uint32_t y = 0; y < h; ++y) TIFFReadScanline(tif, row.data(), y, 0);
        TIFFClose(tif);
      });
}

std::vector<std::string> ReadInputs() {
  std::vector<std::string> names;
  std::ifstream in(gInputs + "/inputs.txt");
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) names.push_back(line);
  return names;
}

uint32_t ImageSize(const std::string& file) {
  TIFF* tif = TIFFOpen((gInputs + "/" + file + ".tif").c_str(), "r");
  uint32_t h = 0;
  if (tif != nullptr) {
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFClose(tif);
  }
  return h;
}

void Register(const std::string& name, std::function<void(benchmark::State&)> fn) {
  benchmark::RegisterBenchmark(name.c_str(), [fn](benchmark::State& s) { fn(s); })
      ->Iterations(gReps)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
  std::string tsv;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--inputs=", 0) == 0) gInputs = a.substr(9);
    else if (a.rfind("--tsv=", 0) == 0) tsv = a.substr(6);
    else if (a.rfind("--reps=", 0) == 0) gReps = std::max(1, std::atoi(a.c_str() + 7));
    else rest.push_back(argv[i]);
  }
  if (gInputs.empty()) {
    std::fprintf(stderr, "usage: %s --inputs=DIR [--tsv=FILE] [--reps=N] [benchmark flags]\n", argv[0]);
    return 2;
  }
  TIFFSetWarningHandler(nullptr);
  const std::vector<std::string> inputs = ReadInputs();
  if (inputs.empty()) {
    std::fprintf(stderr, "zelto-bench: no inputs listed in %s/inputs.txt\n", gInputs.c_str());
    return 1;
  }
  uint32_t size = 0;
  for (const std::string& f : inputs) {
    const uint32_t n = ImageSize(f);
    size = std::max(size, n);
    const uint32_t inside = std::min<uint32_t>(37, n - 1);  // inside the first strip of 64 rows
    Register(f + "/rows_top", [f, n](benchmark::State& s) { BM_Rows(s, f, 0, n, f + "/rows_top"); });
    Register(f + "/rows_inside", [f, n, inside](benchmark::State& s) {
      BM_Rows(s, f, inside, n / 2, f + "/rows_inside");
    });
    for (uint32_t step : {2u, 4u, 8u, 16u}) {
      const std::string name = f + "/sub" + std::to_string(step);
      Register(name, [f, step, name](benchmark::State& s) { BM_Subsampled(s, f, step, name); });
    }
  }
  for (const char* f : {"rgb_none_r64", "pal_none_r64"}) {
    const std::string file = f, name = "save_" + std::string(f).substr(0, 3) + "_packbits";
    if (std::find(inputs.begin(), inputs.end(), file) == inputs.end()) continue;
    Register(name, [file, name](benchmark::State& s) { BM_Save(s, file, name); });
  }
  for (uint32_t bpp : {3u, 4u}) {
    const std::string name = "swap_" + std::to_string(8 * bpp);
    Register(name, [size, bpp, name](benchmark::State& s) { BM_Swap(s, size, bpp, name); });
  }
  Register("memcpy_24", [size](benchmark::State& s) { BM_Memcpy(s, size, "memcpy_24"); });
  Register("calibration_epsg32766",
           [](benchmark::State& s) { BM_Calibration(s, "geo_epsg32766.tif", "calibration_epsg32766"); });

  int n = int(rest.size());
  benchmark::Initialize(&n, rest.data());
  if (benchmark::ReportUnrecognizedArguments(n, rest.data())) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!tsv.empty()) {
    std::FILE* out = std::fopen(tsv.c_str(), "a");
    if (out == nullptr) return 1;
    for (const auto& [name, r] : gResults)
      std::fprintf(out, "%s\t%s\t%d\t%.3f\t%.3f\t%.3f\n", r.group.c_str(), name.c_str(), r.step, r.moduleMs,
                   r.plainMs, r.megabytes);
    std::fclose(out);
  }
  return 0;
}
