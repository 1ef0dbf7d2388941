# zelto_unit(<name> SOURCES...): one subsystem's OBJECT library.
function(zelto_unit name)
  add_library(zelto_${name} OBJECT ${ARGN})
  target_include_directories(zelto_${name} PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(zelto_${name} PUBLIC TIFF::TIFF GeoTIFF::GeoTIFF)
endfunction()
