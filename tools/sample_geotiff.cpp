// Writes the bundled sample map: a shaded-relief RGB GeoTIFF in WGS 84 / UTM
// zone 31N (EPSG code in ProjectedCSTypeGeoKey, one tiepoint, a pixel scale),
// so a fresh clone has something real-looking to calibrate and preview.
//
// usage: zelto-sample-geotiff OUT.tif
#include <geotiffio.h>
#include <xtiffio.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kWidth = 400;
constexpr uint32_t kHeight = 300;
constexpr double kPixelSize = 25.0;  // metres
constexpr double kOriginEasting = 430000.0;
constexpr double kOriginNorthing = 4600000.0;
constexpr int kEpsg = 32631;

struct Hill {
  double x, y, height, radius;
};

// Elevation in metres at pixel (x, y): a few hills over a valley that runs to a lake.
double Elevation(double x, double y) {
  static const Hill kHills[] = {{70, 60, 900, 55},   {250, 50, 1300, 75}, {345, 215, 800, 60},
                                {170, 235, 500, 45}, {305, 125, 450, 35}, {30, 265, 300, 40}};
  double h = 150.0 + 0.3 * y;
  for (const Hill& hill : kHills) {
    double dx = x - hill.x, dy = y - hill.y;
    h += hill.height * std::exp(-(dx * dx + dy * dy) / (2 * hill.radius * hill.radius));
  }
  h += 25.0 * std::sin(x * 0.045) * std::cos(y * 0.05) + 12.0 * std::sin(x * 0.09 + y * 0.03);
  // The valley floor.
  double valley = y - (150 + 45 * std::sin(x / 60.0));
  h -= 120.0 * std::exp(-(valley * valley) / (2 * 18.0 * 18.0));
  // A lake in the lower left.
  double lx = x - 95, ly = y - 150;
  h -= 300.0 * std::exp(-(lx * lx + ly * ly) / (2 * 28.0 * 28.0));
  return h;
}

struct Rgb {
  double r, g, b;
};

Rgb Tint(double h) {
  static const struct { double h; Rgb c; } kStops[] = {
      {150, {112, 160, 84}}, {350, {168, 190, 110}}, {650, {200, 180, 120}},
      {950, {160, 120, 80}}, {1250, {190, 180, 170}}, {1450, {250, 250, 250}}};
  if (h <= kStops[0].h) return kStops[0].c;
  for (size_t i = 1; i < sizeof(kStops) / sizeof(kStops[0]); ++i) {
    if (h <= kStops[i].h) {
      double t = (h - kStops[i - 1].h) / (kStops[i].h - kStops[i - 1].h);
      const Rgb& a = kStops[i - 1].c;
      const Rgb& b = kStops[i].c;
      return {a.r + t * (b.r - a.r), a.g + t * (b.g - a.g), a.b + t * (b.b - a.b)};
    }
  }
  return kStops[sizeof(kStops) / sizeof(kStops[0]) - 1].c;
}

uint8_t Clamp(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); }

std::vector<uint8_t> RenderMap() {
  std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
  constexpr double kWaterLevel = 210.0;
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      double h = Elevation(x, y);
      Rgb c;
      if (h < kWaterLevel) {
        double depth = std::fmin((kWaterLevel - h) / 300.0, 1.0);
        c = {150 - 90 * depth, 195 - 70 * depth, 230 - 30 * depth};
      } else {
        c = Tint(h);
        // Light from the north-west.
        double dzdx = (Elevation(x + 1, y) - Elevation(x - 1, y)) / (2 * kPixelSize);
        double dzdy = (Elevation(x, y + 1) - Elevation(x, y - 1)) / (2 * kPixelSize);
        double shade = 0.85 + 0.6 * (-dzdx - dzdy) / std::sqrt(1 + dzdx * dzdx + dzdy * dzdy);
        shade = std::fmax(0.45, std::fmin(1.25, shade));
        c = {c.r * shade, c.g * shade, c.b * shade};
        // Contours every 100 m, index contours every 500 m.
        double below = std::floor(h / 100.0), right = std::floor(Elevation(x + 1, y) / 100.0),
               down = std::floor(Elevation(x, y + 1) / 100.0);
        if (below != right || below != down) {
          double k = std::fmod(std::fmax(below, std::fmax(right, down)), 5.0) == 0 ? 0.55 : 0.78;
          c = {c.r * k, c.g * k * 0.95, c.b * k * 0.85};
        }
      }
      // Kilometre grid of the map's own coordinates.
      double e = kOriginEasting + (x + 0.5) * kPixelSize, n = kOriginNorthing - (y + 0.5) * kPixelSize;
      if (std::fmod(e, 1000.0) < kPixelSize || std::fmod(n, 1000.0) < kPixelSize) {
        c = {c.r * 0.6 + 40, c.g * 0.6 + 40, c.b * 0.6 + 110};
      }
      uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
      p[0] = Clamp(c.r);
      p[1] = Clamp(c.g);
      p[2] = Clamp(c.b);
    }
  }
  return rgb;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(argc != 2 ? stderr : stdout, "usage: %s OUT.tif\n", argv[0]);
    return argc != 2 ? 2 : 0;
  }
  TIFF* tif = XTIFFOpen(argv[1], "w");
  if (tif == nullptr) {
    std::fprintf(stderr, "%s: cannot create %s\n", argv[0], argv[1]);
    return 1;
  }
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, "Sample relief map, WGS 84 / UTM zone 31N, 25 m pixels");

  double tiepoint[6] = {0, 0, 0, kOriginEasting, kOriginNorthing, 0};
  double scale[3] = {kPixelSize, kPixelSize, 0};
  TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, 6, tiepoint);
  TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, 3, scale);
  GTIF* gtif = GTIFNew(tif);
  if (gtif == nullptr) {
    XTIFFClose(tif);
    std::fprintf(stderr, "%s: libgeotiff refused %s\n", argv[0], argv[1]);
    return 1;
  }
  GTIFKeySet(gtif, GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeProjected);
  GTIFKeySet(gtif, GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsArea);
  GTIFKeySet(gtif, GTCitationGeoKey, TYPE_ASCII, 0, "WGS 84 / UTM zone 31N");
  GTIFKeySet(gtif, GeographicTypeGeoKey, TYPE_SHORT, 1, 4326);
  GTIFKeySet(gtif, ProjectedCSTypeGeoKey, TYPE_SHORT, 1, kEpsg);
  GTIFKeySet(gtif, ProjLinearUnitsGeoKey, TYPE_SHORT, 1, Linear_Meter);
  bool ok = GTIFWriteKeys(gtif) != 0;
  GTIFFree(gtif);

  std::vector<uint8_t> rgb = RenderMap();
  for (uint32_t y = 0; ok && y < kHeight; ++y) {
    ok = TIFFWriteScanline(tif, &rgb[size_t(y) * kWidth * 3], y, 0) >= 0;
  }
  XTIFFClose(tif);
  if (!ok) {
    std::fprintf(stderr, "%s: writing %s failed\n", argv[0], argv[1]);
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
