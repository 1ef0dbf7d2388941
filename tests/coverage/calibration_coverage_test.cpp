// Calibrates a one-tiepoint GeoTIFF for the codes of the generated catalogue
// and checks the Projection line against PROJ's own parameters for the code and
// the Datum line against the catalogue's datum.
//
// The test command samples every kStride-th code of each method; with
// ZELTO_COVERAGE_ALL=1 every code is calibrated (scripts/coverage-full.sh).
#include <gtest/gtest.h>
#include <proj.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "geotiff_fixture.h"
#include "plugin_host.h"
#include "tiff_fixture.h"

namespace {

constexpr int kStride = 40;

constexpr char kTm[] = "Transverse_Mercator";
constexpr char kLcc1[] = "Lambert_Conformal_Conic_1SP";
constexpr char kLcc2[] = "Lambert_Conformal_Conic_2SP";

struct Entry {
  long code;
  std::string datum;   // as the catalogue writes it
  std::string method;  // WKT projection name
  std::map<std::string, std::string> params;  // WKT parameter name to value text
};

std::string Between(const std::string& wkt, const char* tag) {
  const size_t p = wkt.find(tag);
  if (p == std::string::npos) return std::string();
  const size_t from = p + std::strlen(tag) + 1;  // past the opening quote
  return wkt.substr(from, wkt.find('"', from) - from);
}

std::vector<Entry> ReadCatalogue(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<Entry> entries;
  std::string key;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("EPSG=", 0) == 0) {
      key = line;
    } else if (!key.empty()) {
      Entry e{std::stol(key.substr(5)), Between(line, "DATUM["), Between(line, "PROJECTION["), {}};
      for (size_t at = line.find("PARAMETER["); at != std::string::npos; at = line.find("PARAMETER[", at + 1)) {
        const size_t name = at + 11, quote = line.find('"', name);
        if (quote == std::string::npos) break;
        e.params[line.substr(name, quote - name)] = line.substr(quote + 2, line.find(']', quote) - quote - 2);
      }
      entries.push_back(std::move(e));
      key.clear();
    }
  }
  return entries;
}

// The host's datum words for a catalogue datum name.
std::string CleanDatum(std::string name) {
  if (name.rfind("GCS_", 0) == 0) name.erase(0, 4);
  if (name.rfind("Datum_", 0) == 0) name.erase(0, 6);
  for (char& c : name) {
    if (c == '_') c = ' ';
  }
  return name;
}

// EPSG parameter codes and their WKT names, in the order the host's form
// lists them.
struct Form {
  const char* head;
  std::vector<std::pair<int, const char*>> params;
};
const std::map<std::string, Form>& Forms() {
  static const std::map<std::string, Form> forms = {
      // central meridian, latitude of origin, false northing, false easting, scale
      {kTm,
       {"3,Transversal Mercator",
        {{8802, "central_meridian"}, {8801, "latitude_of_origin"}, {8807, "false_northing"},
         {8806, "false_easting"}, {8805, "scale_factor"}}}},
      {kLcc1,
       {"9,Lambert 1SP",
        {{8801, "latitude_of_origin"}, {8802, "central_meridian"}, {8806, "false_easting"},
         {8807, "false_northing"}, {8805, "scale_factor"}}}},
      {kLcc2,
       {"9,Lambert 2SP",
        {{8823, "standard_parallel_1"}, {8824, "standard_parallel_2"}, {8821, "latitude_of_origin"},
         {8822, "central_meridian"}, {8826, "false_easting"}, {8827, "false_northing"}}}},
  };
  return forms;
}

// PROJ's parameters of a projected system, by EPSG parameter code, in the
// units its WKT1 definition uses: angles in the base geographic system's
// unit, lengths in the system's own linear unit.
class Reference {
 public:
  Reference() : ctx_(proj_context_create()) { proj_log_level(ctx_, PJ_LOG_NONE); }
  ~Reference() {
    proj_context_destroy(ctx_);
    proj_cleanup();
  }
  Reference(const Reference&) = delete;
  Reference& operator=(const Reference&) = delete;

  struct Params {
    std::map<int, double> values;
    std::string angularUnit, linearUnit;
    std::string error;
  };

  Params Get(long code) const {
    Params out;
    const std::string text = std::to_string(code);
    PJ* crs = proj_create_from_database(ctx_, "EPSG", text.c_str(), PJ_CATEGORY_CRS, 0, nullptr);
    PJ* op = crs ? proj_crs_get_coordoperation(ctx_, crs) : nullptr;
    PJ* geod = crs ? proj_crs_get_geodetic_crs(ctx_, crs) : nullptr;
    double angular = 0, linear = 0;
    if (op == nullptr || geod == nullptr || !AxisUnit(crs, &linear, &out.linearUnit) ||
        !AxisUnit(geod, &angular, &out.angularUnit)) {
      out.error = "PROJ has no projection for EPSG:" + text;
    } else {
      const int count = proj_coordoperation_get_param_count(ctx_, op);
      for (int i = 0; i < count; ++i) {
        const char* paramCode = nullptr;
        const char* category = nullptr;
        double value = 0, factor = 0;
        proj_coordoperation_get_param(ctx_, op, i, nullptr, nullptr, &paramCode, &value, nullptr, &factor, nullptr,
                                      nullptr, nullptr, &category);
        if (paramCode == nullptr) continue;
        double unit = 1.0;
        if (category != nullptr && std::strcmp(category, "angular") == 0) unit = angular;
        if (category != nullptr && std::strcmp(category, "linear") == 0) unit = linear;
        // The same unit: keep PROJ's value as it is, without a round trip.
        out.values[std::atoi(paramCode)] = factor == unit ? value : value * factor / unit;
      }
    }
    proj_destroy(geod);
    proj_destroy(op);
    proj_destroy(crs);
    return out;
  }

 private:
  bool AxisUnit(PJ* crs, double* factor, std::string* name) const {
    PJ* cs = proj_crs_get_coordinate_system(ctx_, crs);
    const char* unitName = nullptr;
    const bool ok = cs != nullptr && proj_cs_get_axis_info(ctx_, cs, 0, nullptr, nullptr, nullptr, factor, &unitName,
                                                           nullptr, nullptr) != 0;
    if (ok && unitName != nullptr) *name = unitName;
    proj_destroy(cs);
    return ok && *factor > 0;
  }
  PJ_CONTEXT* ctx_;
};

struct Calibration {
  bool ok = false;
  std::vector<std::string> salida, errores;
};

// The value of "Key=" in a calibration text, without its CR LF.
std::string Line(const std::string& text, const std::string& key) {
  const size_t p = text.find("\r\n" + key + "=");
  if (p == std::string::npos) return "<absent>";
  const size_t from = p + 2 + key.size() + 1;
  return text.substr(from, text.find("\r\n", from) - from);
}

// Empty when the Projection line is the form's head followed by the expected
// numbers (8 decimals each, every one followed by a comma); else the reason.
// The module reads numbers without an exponent: where the catalogue writes one,
// the expected value is the mantissa, and the code goes to `exponents`.
std::string CompareProjection(const std::string& line, const Form& form, const Entry& entry,
                              const Reference::Params& ref, std::string* exponents) {
  if (!ref.error.empty()) return ref.error;
  const std::string head = std::string(form.head) + ",";
  if (line.rfind(head, 0) != 0) return "expected the form " + head;
  std::string rest = line.substr(head.size());
  for (const auto& [param, wktName] : form.params) {
    const auto it = ref.values.find(param);
    if (it == ref.values.end()) return "PROJ gives no parameter " + std::to_string(param);
    double want = it->second;
    const auto text = entry.params.find(wktName);
    if (text != entry.params.end() && text->second.find_first_of("eE") != std::string::npos) {
      want = std::strtod(text->second.substr(0, text->second.find_first_of("eE")).c_str(), nullptr);
      char note[96];
      std::snprintf(note, sizeof note, " EPSG:%ld (%s %s, read as %.8f)", entry.code, wktName, text->second.c_str(),
                    want);
      *exponents += note;
    }
    const size_t comma = rest.find(',');
    if (comma == std::string::npos) return "too few values";
    const std::string field = rest.substr(0, comma);
    rest.erase(0, comma + 1);
    char* end = nullptr;
    const double got = std::strtod(field.c_str(), &end);
    const size_t dot = field.find('.');
    if (field.empty() || *end != '\0' || dot == std::string::npos || field.size() - dot - 1 != 8) {
      return "value " + field + " is not a number with 8 decimals";
    }
    // 8 decimals written: half a unit of the last place, and a little for
    // PROJ's 15-digit WKT text.
    if (std::fabs(got - want) > 0.5e-8 + 1e-14 * std::fabs(want)) {
      char expected[64];
      std::snprintf(expected, sizeof expected, "%.10f", want);
      return std::string(wktName) + ": " + field + ", PROJ gives " + expected;
    }
  }
  if (!rest.empty()) return "more values than the form has: " + rest;
  return std::string();
}

struct Tally {
  size_t catalogue = 0;   // codes of the method in the catalogue
  size_t calibrated = 0;  // calibrations run
  size_t matched = 0;     // text sent, lines as expected
  std::map<std::string, size_t> units;  // calibrated codes by angular and linear unit
  std::string exponents;                // values the catalogue writes with an exponent
};

class CalibrationCoverage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    entries_ = new std::vector<Entry>(ReadCatalogue(ZELTO_CATALOGUE));
    const char* all = std::getenv("ZELTO_COVERAGE_ALL");
    stride_ = (all != nullptr && std::strcmp(all, "1") == 0) ? 1 : kStride;
    tallies_ = new std::map<std::string, Tally>();
    reference_ = new Reference();
  }
  static void TearDownTestSuite() {
    PrintReport();
    delete reference_;
    delete entries_;
    delete tallies_;
  }

  // Calibrates the sampled codes of the methods that `group` names (the
  // stride runs within each method, so every method has its first code
  // tried) and checks each with `check`, which returns empty or the reason.
  template <class Group, class Check>
  void Run(const std::string& name, Group group, Check check) {
    ASSERT_FALSE(entries_->empty()) << "no entries in " << ZELTO_CATALOGUE;
    Tally& tally = (*tallies_)[name];
    tally = Tally();
    fixture::TempDir dir;
    const std::string path = dir.Path("map.tif");
    std::map<std::string, size_t> seen;
    size_t failures = 0;
    for (const Entry& e : *entries_) {
      if (!group(e.method)) continue;
      ++tally.catalogue;
      if (seen[e.method]++ % stride_ != 0) continue;
      // ProjectedCSTypeGeoKey is one SHORT.
      if (e.code > 65535) continue;
      ++tally.calibrated;
      const auto keys = {geofixture::Short(1024, 1), geofixture::Short(3072, static_cast<int>(e.code))};
      ASSERT_TRUE(geofixture::WriteGeoTiff(path, geofixture::OneTiePoint(8, 6, 430000, 4600000, 2, keys)));
      host::Messages salida, errores;
      const bool ok = host::Plugin::Get().LeeCalibracion(path.c_str(), &salida, &errores);
      std::string why;
      if (!ok || salida.texts.size() != 1 || !errores.texts.empty()) {
        why = "calibration not sent" + (errores.texts.empty() ? std::string() : ": " + errores.texts[0]);
      } else {
        const std::string& text = salida.texts[0];
        const std::string datum = Line(text, "Datum"), want = CleanDatum(e.datum);
        why = check(e, Line(text, "Projection"), &tally);
        if (why.empty() && datum != want) why = "Datum=" + datum + ", expected " + want;
      }
      if (why.empty()) {
        ++tally.matched;
      } else if (++failures <= 10) {
        ADD_FAILURE() << "EPSG:" << e.code << " (" << e.method << "): " << why;
      }
    }
    EXPECT_EQ(failures, 0u) << name << ": " << failures << " of " << tally.calibrated << " codes wrong";
  }

  void RunForm(const std::string& method) {
    const Form& form = Forms().at(method);
    Run(method, [&](const std::string& m) { return m == method; }, [&](const Entry& e, const std::string& projection, Tally* tally) {
      const Reference::Params ref = reference_->Get(e.code);
      ++tally->units[ref.angularUnit + " and " + ref.linearUnit];
      const std::string why = CompareProjection(projection, form, e, ref, &tally->exponents);
      return why.empty() ? why : why + " in Projection=" + projection;
    });
  }

  static void PrintReport() {
    std::map<std::string, size_t> others;
    size_t total = 0, translated = 0;
    for (const Entry& e : *entries_) {
      ++total;
      if (Forms().count(e.method) != 0) {
        ++translated;
      } else {
        ++others[e.method.empty() ? "(no PROJECTION)" : e.method];
      }
    }
    std::printf("\nCalibration coverage over %s\n", ZELTO_CATALOGUE);
    std::printf("%zu catalogue codes; %s\n", total,
                stride_ == 1 ? "every code calibrated" : ("every " + std::to_string(stride_) +
                                                          "th code of each method calibrated").c_str());
    std::printf("  %-45s %9s %10s %8s\n", "method", "catalogue", "calibrated", "matched");
    for (const char* method : {kTm, kLcc2, kLcc1}) {
      const auto it = tallies_->find(method);
      if (it == tallies_->end()) continue;
      const Tally& t = it->second;
      std::printf("  %-45s %9zu %10zu %8zu\n", method, t.catalogue, t.calibrated, t.matched);
      for (const auto& [units, n] : t.units) {
        if (units != "degree and metre") std::printf("    %-43s %9s %10zu\n", ("in " + units).c_str(), "", n);
      }
      if (!t.exponents.empty()) std::printf("    catalogue value with an exponent:%s\n", t.exponents.c_str());
    }
    std::printf("  with a host form: %zu of %zu codes (%.1f%%)\n", translated, total,
                total ? 100.0 * translated / total : 0.0);
    std::printf("Remaining methods, calibration sent with an empty Projection line:\n");
    std::vector<std::pair<size_t, std::string>> sorted;
    for (const auto& [name, n] : others) sorted.push_back({n, name});
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
      return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    size_t rest = 0;
    for (const auto& [n, name] : sorted) {
      std::printf("  %-45s %9zu\n", name.c_str(), n);
      rest += n;
    }
    const auto it = tallies_->find("");
    if (it != tallies_->end()) {
      std::printf("  %zu codes in all; %zu calibrated, %zu sent as expected\n", rest, it->second.calibrated,
                  it->second.matched);
    }
    std::fflush(stdout);
  }

  static std::vector<Entry>* entries_;
  static std::map<std::string, Tally>* tallies_;
  static Reference* reference_;
  static size_t stride_;
};
std::vector<Entry>* CalibrationCoverage::entries_ = nullptr;
std::map<std::string, Tally>* CalibrationCoverage::tallies_ = nullptr;
Reference* CalibrationCoverage::reference_ = nullptr;
size_t CalibrationCoverage::stride_ = kStride;

TEST_F(CalibrationCoverage, TransverseMercatorCarriesProjParameters) { RunForm(kTm); }

TEST_F(CalibrationCoverage, LambertConformalConic1spCarriesProjParameters) { RunForm(kLcc1); }

TEST_F(CalibrationCoverage, LambertConformalConic2spCarriesProjParameters) { RunForm(kLcc2); }

// No host form: the calibration is still sent, with the points and datum and
// an empty Projection line.
TEST_F(CalibrationCoverage, OtherMethodsStillSendTheCalibration) {
  Run(
      "", [](const std::string& m) { return Forms().count(m) == 0; },
      [](const Entry&, const std::string& projection, Tally*) {
        return projection.empty() ? std::string() : "Projection=" + projection + ", expected empty";
      });
}

}  // namespace
