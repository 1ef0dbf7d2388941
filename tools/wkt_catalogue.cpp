// Writes the WKT catalogue (WKT_IVRO.DAT) from PROJ's EPSG database: for every
// projected coordinate system a key record "EPSG=<code>" and the next record
// holding its WKT1 (GDAL flavour) on one line.
//
// Lines end with LF alone: the reader on POSIX would keep a CR as part of the record.
//
// usage: zelto-wkt-catalogue OUT [--quiet]
#include <proj.h>

#include <iconv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The catalogue reader cuts records at this length and treats ';' as the start
// of a comment, so longer or ';'-bearing definitions would be read back wrong.
constexpr size_t kMaxRecord = 19999;

struct Entry {
  long code;
  std::string wkt;
};

struct Skipped {
  int noWkt = 0;
  int semicolon = 0;
  int tooLong = 0;
  int notCp1252 = 0;
  int Total() const { return noWkt + semicolon + tooLong + notCp1252; }
};

// The module reads its texts as Windows-1252; PROJ gives UTF-8.
bool ToCp1252(const std::string& utf8, std::string* out) {
  bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; });
  if (ascii) {
    *out = utf8;
    return true;
  }
  iconv_t cd = iconv_open("WINDOWS-1252", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = utf8;
  std::vector<char> buffer(in.size() + 1);
  char* src = in.data();
  size_t srcLeft = in.size();
  char* dst = buffer.data();
  size_t dstLeft = buffer.size();
  size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || srcLeft != 0) return false;
  out->assign(buffer.data(), dst);
  return true;
}

bool IsBlank(const std::string& s) {
  return s.find_first_not_of(" \t\n") == std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(argc < 2 ? stderr : stdout, "usage: %s OUT [--quiet]\n", argv[0]);
    return argc < 2 ? 2 : 0;
  }
  const char* outPath = argv[1];
  bool quiet = argc > 2 && std::strcmp(argv[2], "--quiet") == 0;
  auto start = std::chrono::steady_clock::now();

  PJ_CONTEXT* ctx = proj_context_create();
  // Export failures are expected for a few systems and counted below.
  proj_log_level(ctx, PJ_LOG_NONE);

  // Deprecated codes stay in: older GeoTIFFs still carry them.
  PROJ_STRING_LIST codes = proj_get_codes_from_database(ctx, "EPSG", PJ_TYPE_PROJECTED_CRS, 1);
  if (codes == nullptr) {
    std::fprintf(stderr, "%s: PROJ lists no EPSG projected systems (is proj.db installed?)\n", argv[0]);
    proj_context_destroy(ctx);
    return 1;
  }

  std::vector<Entry> entries;
  Skipped skipped;
  int listed = 0;
  const char* const wktOptions[] = {"MULTILINE=NO", nullptr};
  for (PROJ_STRING_LIST c = codes; *c != nullptr; ++c) {
    ++listed;
    char* end = nullptr;
    long code = std::strtol(*c, &end, 10);
    PJ* crs = (end != *c && *end == '\0') ? proj_create_from_database(ctx, "EPSG", *c, PJ_CATEGORY_CRS, 0, nullptr)
                                          : nullptr;
    const char* wkt = crs != nullptr ? proj_as_wkt(ctx, crs, PJ_WKT1_GDAL, wktOptions) : nullptr;
    std::string text = wkt != nullptr ? wkt : "";
    if (crs != nullptr) proj_destroy(crs);
    std::string cp1252;
    if (IsBlank(text) || text.find_first_of("\n") != std::string::npos) {
      ++skipped.noWkt;
    } else if (text.find(';') != std::string::npos) {
      ++skipped.semicolon;
    } else if (text.size() > kMaxRecord) {
      ++skipped.tooLong;
    } else if (!ToCp1252(text, &cp1252)) {
      ++skipped.notCp1252;
    } else {
      entries.push_back({code, std::move(cp1252)});
    }
  }
  proj_string_list_destroy(codes);

  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.code < b.code; });
  PJ_INFO info = proj_info();
  const char* epsgVersion = proj_context_get_database_metadata(ctx, "EPSG.VERSION");
  std::string epsg = epsgVersion != nullptr ? epsgVersion : "unknown";
  proj_context_destroy(ctx);

  std::string tmpPath = std::string(outPath) + ".tmp";
  FILE* out = std::fopen(tmpPath.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "%s: cannot create %s: %s\n", argv[0], tmpPath.c_str(), std::strerror(errno));
    return 1;
  }
  std::fprintf(out,
               "; WKT_IVRO.DAT: WKT catalogue of the TIFF raster plug-in.\n"
               "; Each entry is a key line EPSG=<code> and the next line, the WKT1 definition of that\n"
               "; projected coordinate system on one line. Lines starting with ';' are comments.\n"
               "; Generated from PROJ %s, EPSG dataset %s (deprecated codes included).\n"
               "; Entries: %zu of %d projected systems. Skipped: %d (no WKT1 export %d, ';' in WKT %d,\n"
               "; longer than %zu characters %d, not representable in Windows-1252 %d).\n",
               info.release, epsg.c_str(), entries.size(), listed, skipped.Total(), skipped.noWkt, skipped.semicolon,
               kMaxRecord, skipped.tooLong, skipped.notCp1252);
  for (const Entry& e : entries) std::fprintf(out, "EPSG=%ld\n%s\n", e.code, e.wkt.c_str());
  bool ok = std::fflush(out) == 0 && !std::ferror(out);
  ok = std::fclose(out) == 0 && ok;
  if (!ok || std::rename(tmpPath.c_str(), outPath) != 0) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], outPath);
    std::remove(tmpPath.c_str());
    return 1;
  }

  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!quiet) {
    std::printf("%s: %zu EPSG codes (%d skipped) from PROJ %s in %.1f s\n", outPath, entries.size(), skipped.Total(),
                info.release, seconds);
  }
  return 0;
}
