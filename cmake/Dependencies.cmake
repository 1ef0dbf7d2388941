find_package(TIFF 4.0 REQUIRED)

# Debian's libgeotiff-dev ships neither a .pc file nor a CMake package.
find_path(GEOTIFF_INCLUDE_DIR NAMES geotiff.h xtiffio.h PATH_SUFFIXES geotiff libgeotiff REQUIRED)
find_library(GEOTIFF_LIBRARY NAMES geotiff REQUIRED)
if(NOT TARGET GeoTIFF::GeoTIFF)
  add_library(GeoTIFF::GeoTIFF UNKNOWN IMPORTED)
  set_target_properties(GeoTIFF::GeoTIFF PROPERTIES
    IMPORTED_LOCATION "${GEOTIFF_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${GEOTIFF_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES TIFF::TIFF)
endif()

if(ZELTO_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
