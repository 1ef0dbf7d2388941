// The catalogue the build generates: the record format the module reads, and
// entries whose WKT gives the module the datum and projection it expects.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "../host/run_process.h"
#include "tiff_fixture.h"

namespace {

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The module's reading of a WKT record: plain text search for DATUM[,
// PROJECTION[ and the PARAMETER[ entries after the projection name.
void Extract(const std::string& wkt, std::string* datum, std::string* projection) {
  size_t d = wkt.find("DATUM[");
  if (d != std::string::npos) *datum = wkt.substr(d + 7, wkt.find('"', d + 7) - (d + 7));
  size_t p = wkt.find("PROJECTION[");
  if (p == std::string::npos) return;
  size_t at = p + 12, end = wkt.find('"', at);
  *projection = wkt.substr(at, end - at);
  for (at = end; (at = wkt.find("PARAMETER[", at)) != std::string::npos;) {
    at += 11;
    end = wkt.find('"', at);
    std::string name = wkt.substr(at, end - at);
    at = end + 2;
    end = wkt.find(']', at);
    *projection += "," + name + "=" + wkt.substr(at, end - at);
    at = end;
  }
}

class Catalogue : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    lines_ = new std::vector<std::string>(Lines(ZELTO_CATALOGUE));
    entries_ = new std::map<long, std::string>();
    const std::vector<std::string>& lines = *lines_;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
      if (lines[i].rfind("EPSG=", 0) == 0) (*entries_)[std::stol(lines[i].substr(5))] = lines[i + 1];
    }
  }
  static void TearDownTestSuite() {
    delete lines_;
    delete entries_;
  }
  static std::vector<std::string>* lines_;
  static std::map<long, std::string>* entries_;
};
std::vector<std::string>* Catalogue::lines_ = nullptr;
std::map<long, std::string>* Catalogue::entries_ = nullptr;

TEST_F(Catalogue, Utm31nGivesTheDatumAndProjectionTheModuleExpects) {
  ASSERT_EQ(entries_->count(32631), 1u);
  std::string datum, projection;
  Extract(entries_->at(32631), &datum, &projection);
  EXPECT_EQ(datum, "WGS_1984");
  EXPECT_EQ(projection,
            "Transverse_Mercator,latitude_of_origin=0,central_meridian=3,scale_factor=0.9996,false_easting=500000,"
            "false_northing=0");
}

TEST_F(Catalogue, EveryLineIsAHeaderCommentAKeyOrTheWktAfterIt) {
  const std::vector<std::string>& lines = *lines_;
  ASSERT_GT(lines.size(), 10u);
  size_t i = 0;
  for (; i < lines.size() && lines[i].rfind(";", 0) == 0; ++i) {
  }
  std::string header;
  for (size_t k = 0; k < i; ++k) header += lines[k] + "\n";
  EXPECT_NE(header.find("Generated from PROJ "), std::string::npos) << header;
  EXPECT_NE(header.find("Skipped: "), std::string::npos) << header;
  EXPECT_NE(header.find("Entries: " + std::to_string(entries_->size()) + " of "), std::string::npos) << header;

  long previous = 0;
  for (; i < lines.size(); i += 2) {
    SCOPED_TRACE("line " + std::to_string(i + 1));
    const std::string& key = lines[i];
    ASSERT_EQ(key.rfind("EPSG=", 0), 0u) << key;
    std::string digits = key.substr(5);
    ASSERT_FALSE(digits.empty());
    ASSERT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << key;
    ASSERT_NE(digits[0], '0') << key;
    long code = std::stol(digits);
    ASSERT_GT(code, previous) << "keys are unique and in order";
    previous = code;
    ASSERT_LT(i + 1, lines.size()) << "a key is never the last record";
    const std::string& wkt = lines[i + 1];
    // The reader takes ';' as a comment and cuts records at 19,999 characters.
    ASSERT_EQ(wkt.find(';'), std::string::npos) << wkt;
    ASSERT_LE(wkt.size(), 19999u);
    ASSERT_EQ(wkt.rfind("PROJCS[", 0), 0u) << wkt;
    ASSERT_EQ(wkt.find('\r'), std::string::npos);
    ASSERT_NE(wkt, "VOID");
  }
  // The EPSG dataset of PROJ 9 has some five thousand projected systems.
  EXPECT_GT(entries_->size(), 4000u);
}

TEST_F(Catalogue, TransverseMercatorAndLambertEntriesCarryTheirParameters) {
  struct {
    long code;
    const char* datum;
    const char* projection;
  } cases[] = {
      {27700, "Ordnance_Survey_of_Great_Britain_1936",
       "Transverse_Mercator,latitude_of_origin=49,central_meridian=-2,scale_factor=0.9996012717,false_easting=400000,"
       "false_northing=-100000"},
      {2154, "Reseau_Geodesique_Francais_1993_v1",
       "Lambert_Conformal_Conic_2SP,latitude_of_origin=46.5,central_meridian=3,standard_parallel_1=49,"
       "standard_parallel_2=44,false_easting=700000,false_northing=6600000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    ASSERT_EQ(entries_->count(c.code), 1u);
    std::string datum, projection;
    Extract(entries_->at(c.code), &datum, &projection);
    EXPECT_EQ(datum, c.datum);
    EXPECT_EQ(projection, c.projection);
  }
}

TEST(CatalogueTool, FailsWithAMessageWhenItCannotWrite) {
  fixture::TempDir dir;
  runproc::Result r = runproc::Run({ZELTO_CATALOGUE_TOOL, dir.Path("no/such/dir/WKT_IVRO.DAT")}, dir.Dir());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot create"), std::string::npos) << r.err;
  runproc::Result usage = runproc::Run({ZELTO_CATALOGUE_TOOL}, dir.Dir());
  EXPECT_EQ(usage.status, 2);
}

}  // namespace
