#include "commands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host_records.h"

namespace zhost {

namespace {

constexpr char kInit[] = "_ZeltoPlugIn_Init";
constexpr char kVersion[] = "_ZeltoPlugIn_Version";
constexpr char kVersionStr[] = "_ZeltoPlugIn_VersionStr";
constexpr char kFileTypes[] = "_ZeltoPlugIn_GetTipoArchivos";
constexpr char kOpen[] = "_ZeltoPlugIn_Abre_Raster";
constexpr char kZone[] = "_ZeltoPlugIn_Abre_Zona";
constexpr char kClose[] = "_ZeltoPlugIn_Cierra_Raster";
constexpr char kSaveCreate[] = "_ZeltoPlugIn_Save_Raster_Create";
constexpr char kSaveAddLines[] = "_ZeltoPlugIn_Save_Raster_AddLines";
constexpr char kSaveClose[] = "_ZeltoPlugIn_Save_Raster_Close";
constexpr char kCalibration[] = "_ZeltoPlugIn_Lee_Calibracion";

constexpr int32_t kBandRows = 64;

void RequireReadableFile(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) throw HostError(path + ": " + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) throw HostError(path + ": is a directory");
}

// The module's message, and libtiff's reason when this call produced one.
std::string Failure(const PluginModule& module, const std::string& what, const MessageSink& errors,
                    const std::string& tiffErrorBefore) {
  std::string text = what;
  if (!errors.texts.empty()) text += ": " + errors.Joined();
  std::string tiffError = module.TiffErrorText();
  if (!tiffError.empty() && tiffError != tiffErrorBefore) text += " (libtiff: " + tiffError + ")";
  return text;
}

void CallInit(const PluginModule& module) { module.Entry<bool()>(kInit)(); }

// An open raster that is closed on every path, as the host must.
class OpenedRaster {
 public:
  OpenedRaster(const PluginModule& module, const std::string& path) : module_(module) {
    auto open = module.Entry<decltype(ZeltoPlugIn_Abre_Raster)>(kOpen);
    close_ = module.Entry<decltype(ZeltoPlugIn_Cierra_Raster)>(kClose);
    std::memset(&raster_, 0, sizeof(raster_));
    MessageSink errors;
    std::string before = module.TiffErrorText();
    if (!open(path.c_str(), &raster_, &errors)) throw HostError(Failure(module, path, errors, before));
    opened_ = true;
    int64_t rows = raster_.Height < 0 ? -int64_t(raster_.Height) : int64_t(raster_.Height);
    if (raster_.Width == 0 || raster_.Width > uint32_t(INT32_MAX) || rows == 0 || rows > INT32_MAX) {
      throw HostError(path + ": the plug-in reports an empty or oversized image (" + std::to_string(raster_.Width) +
                      " x " + std::to_string(rows) + ")");
    }
  }
  ~OpenedRaster() {
    if (opened_) close_(&raster_);
  }
  OpenedRaster(const OpenedRaster&) = delete;
  OpenedRaster& operator=(const OpenedRaster&) = delete;

  int32_t Width() const { return int32_t(raster_.Width); }
  int32_t Height() const { return raster_.Height < 0 ? -raster_.Height : raster_.Height; }
  int32_t Depth() const { return raster_.BitsPerPixel; }

  // One zone read into a host image; the palette is copied while the raster is open.
  HostImage ReadZone(const ZoneRequest& zone, int32_t width, int32_t height, const ProgressOptions& progressOptions,
                     int32_t* paletteCount) {
    auto readZone = module_.Entry<decltype(ZeltoPlugIn_Abre_Zona)>(kZone);
    ZoneBitmap bitmap;
    MessageSink errors;
    ProgressBar progress("zone", height, progressOptions);
    std::string before = module_.TiffErrorText();
    int32_t result = readZone(&raster_, zone.x0, zone.x1, zone.y0, zone.y1, &width, &height, &bitmap, &errors, &progress);
    progress.Finish();
    if (result == 0) {
      if (CancelRequested()) throw HostError("zone read cancelled", kExitCancelled);
      throw HostError(Failure(module_, "zone read failed", errors, before));
    }
    if (bitmap.Bits == nullptr || bitmap.Width != width || (bitmap.Height != -height && bitmap.Height != height)) {
      throw HostError("the plug-in delivered a bitmap of another size than requested");
    }
    std::string after = module_.TiffErrorText();
    if (!after.empty() && after != before) std::fprintf(stderr, "zelto-host: warning: libtiff reported: %s\n", after.c_str());

    HostImage image;
    image.width = bitmap.Width;
    image.height = height;
    image.bitsPerPixel = bitmap.BitsPerPixel;
    image.bits = std::move(bitmap.storage);
    if (image.bitsPerPixel < 16 && bitmap.Palette != nullptr) {
      // The module's palette array holds 256 entries.
      int32_t entries = image.bitsPerPixel <= 8 ? (1 << image.bitsPerPixel) : 256;
      for (int32_t i = 0; i < entries; ++i) {
        const TPaletteEntry& e = bitmap.Palette[i];
        image.palette.push_back((uint32_t(e.Red) << 16) | (uint32_t(e.Green) << 8) | e.Blue);
      }
    }
    if (paletteCount != nullptr) *paletteCount = image.bitsPerPixel < 16 ? bitmap.PaletteCount : -1;
    return image;
  }

 private:
  const PluginModule& module_;
  decltype(&ZeltoPlugIn_Cierra_Raster) close_ = nullptr;
  TOpenRaster raster_;
  bool opened_ = false;
};

void WriteWhole(const std::string& path, const std::string& text) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) throw HostError(path + ": " + std::strerror(errno));
  if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() || std::fflush(file.get()) != 0) {
    throw HostError(path + ": " + std::strerror(errno));
  }
}

}  // namespace

int RunInfo(const PluginModule& module, const std::string& path) {
  CallInit(module);
  std::printf("module:       %s\n", module.Path().c_str());
  std::printf("interface:    %d\n", module.Entry<int32_t()>(kVersion)());
  std::printf("version:      %s\n", module.Entry<const char*()>(kVersionStr)());
  std::string types = module.Entry<const char*()>(kFileTypes)();
  std::printf("file types:   %s\n", types.c_str());
  // Triples of type code, description and extension, each field ended by '|'.
  std::vector<std::string> fields;
  for (size_t start = 0, bar; (bar = types.find('|', start)) != std::string::npos; start = bar + 1) {
    fields.push_back(types.substr(start, bar - start));
  }
  for (size_t i = 0; i + 2 < fields.size(); i += 3) {
    std::printf("              %-6s %-16s *.%s\n", fields[i].c_str(), fields[i + 1].c_str(), fields[i + 2].c_str());
  }
  if (path.empty()) return 0;

  RequireReadableFile(path);
  OpenedRaster raster(module, path);
  std::printf("file:         %s\n", path.c_str());
  std::printf("width:        %d\n", raster.Width());
  std::printf("height:       %d\n", raster.Height());
  std::printf("depth:        %d bits per pixel\n", raster.Depth());
  if (raster.Depth() < 16) {
    // The palette is built by the first zone read; one pixel is enough.
    int32_t paletteCount = 0;
    raster.ReadZone(ZoneRequest{0, 1, 0, 1}, 1, 1, ProgressOptions{}, &paletteCount);
    std::printf("palette:      %d entries\n", paletteCount);
  } else {
    std::printf("palette:      none (depth %d)\n", raster.Depth());
  }
  return 0;
}

int RunCalibrate(const PluginModule& module, const std::string& path, const std::string& outPath) {
  CallInit(module);
  auto calibrate = module.Entry<decltype(ZeltoPlugIn_Lee_Calibracion)>(kCalibration);
  RequireReadableFile(path);
  MessageSink output;
  MessageSink errors;
  std::string before = module.TiffErrorText();
  if (!calibrate(path.c_str(), &output, &errors)) throw HostError(Failure(module, path, errors, before));
  std::string text;
  for (const std::string& t : output.texts) text += t;
  if (outPath.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  } else {
    WriteWhole(outPath, text);
    std::printf("%s: calibration of %s written\n", outPath.c_str(), path.c_str());
  }
  return 0;
}

int RunZone(const PluginModule& module, const std::string& path, const std::string& outPath,
            const ZoneRequest* zoneArg, const int32_t* sizeArg, const ProgressOptions& progress) {
  bool png = EndsWithNoCase(outPath, ".png");
  if (!png && !EndsWithNoCase(outPath, ".bmp")) throw HostError("zone: the output must end with .png or .bmp", kExitUsage);
  CallInit(module);
  RequireReadableFile(path);
  OpenedRaster raster(module, path);
  ZoneRequest zone = zoneArg != nullptr ? *zoneArg : ZoneRequest{0, raster.Width(), 0, raster.Height()};
  // The module trusts the host to keep zones inside the image (x1 and y1 exclusive).
  if (zone.x0 < 0 || zone.y0 < 0 || zone.x1 <= zone.x0 || zone.y1 <= zone.y0 || zone.x1 > raster.Width() ||
      zone.y1 > raster.Height()) {
    throw HostError("zone: " + std::to_string(zone.x0) + "," + std::to_string(zone.x1) + "," + std::to_string(zone.y0) +
                        "," + std::to_string(zone.y1) + " does not lie inside the " + std::to_string(raster.Width()) +
                        " x " + std::to_string(raster.Height()) + " image (x0,x1,y0,y1 with x0 < x1 <= width, y0 < y1 <= height)",
                    kExitUsage);
  }
  int32_t width = sizeArg != nullptr ? sizeArg[0] : zone.x1 - zone.x0;
  int32_t height = sizeArg != nullptr ? sizeArg[1] : zone.y1 - zone.y0;
  if (width < 1 || height < 1 || width > zone.x1 - zone.x0 || height > zone.y1 - zone.y0) {
    throw HostError("zone: the size " + std::to_string(width) + "," + std::to_string(height) +
                        " must be at least 1,1 and no larger than the zone (" + std::to_string(zone.x1 - zone.x0) + "," +
                        std::to_string(zone.y1 - zone.y0) + ")",
                    kExitUsage);
  }
  HostImage image = raster.ReadZone(zone, width, height, progress, nullptr);
  if (png) {
    WritePng(outPath, image);
  } else {
    WriteBmp(outPath, image);
  }
  std::printf("%s: %d x %d pixels at %d bits per pixel (zone %d,%d,%d,%d of %s)\n", outPath.c_str(), image.width,
              image.height, image.bitsPerPixel, zone.x0, zone.x1, zone.y0, zone.y1, path.c_str());
  return 0;
}

int RunSave(const PluginModule& module, const std::string& inPath, const std::string& outPath, int32_t depth,
            const ProgressOptions& progressOptions) {
  CallInit(module);
  auto create = module.Entry<decltype(ZeltoPlugIn_Save_Raster_Create)>(kSaveCreate);
  auto addLines = module.Entry<decltype(ZeltoPlugIn_Save_Raster_AddLines)>(kSaveAddLines);
  auto closeSave = module.Entry<decltype(ZeltoPlugIn_Save_Raster_Close)>(kSaveClose);

  RequireReadableFile(inPath);
  HostImage source;
  if (EndsWithNoCase(inPath, ".png")) {
    source = ReadPng(inPath);
  } else if (EndsWithNoCase(inPath, ".bmp")) {
    source = ReadBmp(inPath);
  } else if (EndsWithNoCase(inPath, ".tif") || EndsWithNoCase(inPath, ".tiff")) {
    OpenedRaster raster(module, inPath);
    source = raster.ReadZone(ZoneRequest{0, raster.Width(), 0, raster.Height()}, raster.Width(), raster.Height(),
                             ProgressOptions{progressOptions.draw, -1}, nullptr);
  } else {
    throw HostError("save: the input must be a .png, .bmp or .tif file", kExitUsage);
  }
  if (source.bitsPerPixel != 1 && source.bitsPerPixel != 2 && source.bitsPerPixel != 4 && source.bitsPerPixel != 8 &&
      source.bitsPerPixel != 16 && source.bitsPerPixel != 24 && source.bitsPerPixel != 32) {
    throw HostError(inPath + ": depth " + std::to_string(source.bitsPerPixel) + " cannot be saved");
  }
  HostImage image = source;
  if (depth != 0 && depth != source.bitsPerPixel) {
    std::string note;
    image = ConvertDepth(source, depth, &note);
    if (!note.empty()) std::fprintf(stderr, "zelto-host: %s\n", note.c_str());
  }

  TSaveRaster save;
  std::memset(&save, 0, sizeof(save));
  save.Width = image.width;
  save.Height = -image.height;  // top-down
  save.BitsPerPixel = image.bitsPerPixel;
  save.PaletteCount = image.bitsPerPixel <= 8 ? int32_t(image.palette.size()) : 0;
  save.Palette = save.PaletteCount > 0 ? image.palette.data() : nullptr;
  save.Calibration = nullptr;
  MessageSink errors;
  std::string before = module.TiffErrorText();
  if (!create(outPath.c_str(), &save, &errors)) throw HostError(Failure(module, outPath, errors, before));

  // The module says in which depth it takes the lines.
  if (save.LineBitsPerPixel != image.bitsPerPixel) {
    int32_t lineDepth = save.LineBitsPerPixel;
    if (lineDepth != 1 && lineDepth != 2 && lineDepth != 4 && lineDepth != 8 && lineDepth != 16 && lineDepth != 24 &&
        lineDepth != 32) {
      closeSave(&save);
      std::remove(outPath.c_str());
      throw HostError("the plug-in asks for lines of depth " + std::to_string(lineDepth) + ", which the host cannot give");
    }
    image = ConvertDepth(image, lineDepth, nullptr);
  }

  // Bands of lines as a host hands them over; the module may touch the lines
  // in place, so they come straight from the host's own buffer.
  ProgressBar progress("save", image.height, progressOptions);
  uint64_t stride = image.Stride();
  bool written = true;
  for (int32_t y = 0; written && y < image.height; y += kBandRows) {
    TSaveLines lines;
    std::memset(&lines, 0, sizeof(lines));
    lines.LineCount = std::min(kBandRows, image.height - y);
    lines.Bits = image.bits.data() + stride * uint64_t(y);
    written = addLines(&save, &lines, &progress, &errors);
  }
  progress.Finish();
  closeSave(&save);
  if (!written) {
    // A half-written map is worse than none.
    std::remove(outPath.c_str());
    if (CancelRequested()) throw HostError("save cancelled; " + outPath + " removed", kExitCancelled);
    throw HostError(Failure(module, "save to " + outPath + " failed", errors, before));
  }
  std::printf("%s: %d x %d pixels saved at %d bits per pixel\n", outPath.c_str(), image.width, image.height,
              image.bitsPerPixel);
  return 0;
}

}  // namespace zhost
