# cmake --install: the module, its public headers with a pkg-config file, and
# the host program with the catalogue beside it (the module looks for the
# catalogue in the directory of the running program).
include(GNUInstallDirs)
if(NOT DEFINED ZELTO_INSTALL_PROGRAMDIR)
  set(ZELTO_INSTALL_PROGRAMDIR ${CMAKE_INSTALL_LIBEXECDIR}/ZeltoPlugIn_TIFF)
endif()
if(NOT DEFINED ZELTO_INSTALL_PLUGINDIR)
  set(ZELTO_INSTALL_PLUGINDIR ${CMAKE_INSTALL_LIBDIR}/ZeltoPlugIn_TIFF)
endif()
set(ZELTO_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/ZeltoPlugIn_TIFF)

install(TARGETS ZeltoPlugIn_TIFF LIBRARY DESTINATION ${ZELTO_INSTALL_PLUGINDIR} COMPONENT runtime)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${ZELTO_INSTALL_INCLUDEDIR} COMPONENT devel
        FILES_MATCHING PATTERN "*.h")

if(TARGET zelto-host)
  install(TARGETS zelto-host RUNTIME DESTINATION ${ZELTO_INSTALL_PROGRAMDIR} COMPONENT runtime)
  # On PATH through a link; the program starts itself again under its real
  # path, so the module finds the catalogue beside it.
  file(RELATIVE_PATH zelto_host_link_target /prefix/${CMAKE_INSTALL_BINDIR}
       /prefix/${ZELTO_INSTALL_PROGRAMDIR}/zelto-host)
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zelto-host\")
    get_filename_component(linkdir \"\${link}\" DIRECTORY)
    file(MAKE_DIRECTORY \"\${linkdir}\")
    file(CREATE_LINK \"${zelto_host_link_target}\" \"\${link}\" SYMBOLIC)
    message(STATUS \"Installing: \${link} -> ${zelto_host_link_target}\")" COMPONENT runtime)
endif()
if(DEFINED ZELTO_CATALOGUE)
  install(FILES ${ZELTO_CATALOGUE} DESTINATION ${ZELTO_INSTALL_PROGRAMDIR} COMPONENT runtime)
endif()
if(DEFINED ZELTO_SAMPLE)
  install(FILES ${ZELTO_SAMPLE} DESTINATION ${CMAKE_INSTALL_DATADIR}/ZeltoPlugIn_TIFF COMPONENT runtime)
endif()

# Hosts compile against the headers and load the module by path at run time,
# so the .pc file gives include flags and the module's location, no -l.
# Relocatable: the prefix is found from where the .pc file lies.
file(RELATIVE_PATH ZELTO_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/ZeltoPlugIn_TIFF.pc @ONLY CONTENT [=[
prefix=${pcfiledir}/@ZELTO_PC_TO_PREFIX@
includedir=${prefix}/@ZELTO_INSTALL_INCLUDEDIR@
plugindir=${prefix}/@ZELTO_INSTALL_PLUGINDIR@
module=${plugindir}/ZeltoPlugIn_TIFF.so
programdir=${prefix}/@ZELTO_INSTALL_PROGRAMDIR@
catalogue=${programdir}/WKT_IVRO.DAT

Name: ZeltoPlugIn_TIFF
Description: TIFF raster plug-in for a mapping host: public records and entry points (load the module with dlopen)
Version: @PROJECT_VERSION@
Cflags: -I${includedir}
Libs: -ldl
]=])
install(FILES ${PROJECT_BINARY_DIR}/ZeltoPlugIn_TIFF.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT devel)
