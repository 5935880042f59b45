# Installation layout (GNU directories: programs in bin, desktop entry and icons under share) and the Debian
# package that `cpack -G DEB` builds from it. Included at the end of the top-level CMakeLists.txt, after the
# targets exist.
include(GNUInstallDirs)

set(KESTREL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

set(KESTREL_PROGRAMS kestrel-cli)
if(KESTREL_BUILD_GUI)
    list(APPEND KESTREL_PROGRAMS kestrel)
endif()
# qt_standard_project_setup() gives installed programs an $ORIGIN run path for libraries shipped beside them;
# Kestrel ships none and uses the system's Qt.
set_target_properties(${KESTREL_PROGRAMS} PROPERTIES INSTALL_RPATH "")
install(TARGETS ${KESTREL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(KESTREL_BUILD_GUI)
    install(FILES ${KESTREL_PACKAGING_DIR}/kestrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${KESTREL_PACKAGING_DIR}/icons/kestrel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size 48 256)
        install(FILES ${KESTREL_PACKAGING_DIR}/icons/kestrel-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kestrel.png)
    endforeach()
endif()

set(CPACK_PACKAGE_NAME kestrel)
set(CPACK_PACKAGE_VENDOR "Kestrel developers")
set(CPACK_PACKAGE_CONTACT "Kestrel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZX Spectrum and SAM Coupe floppy image tool")
# Line breaks kept under 80 columns, as Debian control files want them.
set(CPACK_PACKAGE_DESCRIPTION [[
Kestrel lists, checks and converts +D / DISCiPLE / SAM Coupe floppy images
(.mgt, .dsk, .img of 819,200 bytes): it shows an image's directory, scans it
for damage, writes its ZX files to a .tap tape file and shows 6,912-byte
screens. The package holds the window, kestrel, and the command-line
companion, kestrel-cli.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/out/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kestrel developers")
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
# The Qt 6 runtime libraries (and libc, libstdc++) are found by dpkg-shlibdeps from the installed programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
