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
# The disc image types for the desktop's "Open with" (the window) and the file managers' thumbnails (kestrel-cli).
install(FILES ${KESTREL_PACKAGING_DIR}/kestrel-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
    RENAME kestrel.xml)
install(FILES ${KESTREL_PACKAGING_DIR}/kestrel.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
install(FILES ${KESTREL_PACKAGING_DIR}/kestrel-cli.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kestrel-cli)

# The manual pages carry the version; they, the changelog and the copyright go where Debian wants them, the first
# two compressed as dpkg's tools compress them (gzip -9n: no name, no time, the same bytes every build).
set(KESTREL_DOC_BUILD ${PROJECT_BINARY_DIR}/packaging)
set(VERSION ${PROJECT_VERSION})
set(packed_docs)
configure_file(${KESTREL_PACKAGING_DIR}/man/kestrel.1 ${KESTREL_DOC_BUILD}/man/kestrel.1 @ONLY)
# kestrel-cli's page: the hand-written parts of its template, the commands and options from their declarations.
add_custom_command(OUTPUT ${KESTREL_DOC_BUILD}/man/kestrel-cli.1
    COMMAND kestrel-cli-manual ${KESTREL_PACKAGING_DIR}/man/kestrel-cli.1.in ${KESTREL_DOC_BUILD}/man/kestrel-cli.1
    DEPENDS kestrel-cli-manual ${KESTREL_PACKAGING_DIR}/man/kestrel-cli.1.in VERBATIM)
list(APPEND packed_docs man/kestrel.1 man/kestrel-cli.1)
configure_file(${KESTREL_PACKAGING_DIR}/changelog.in ${KESTREL_DOC_BUILD}/changelog @ONLY)
list(APPEND packed_docs changelog)
set(packed_outputs)
foreach(doc ${packed_docs})
    add_custom_command(OUTPUT ${KESTREL_DOC_BUILD}/${doc}.gz
        COMMAND gzip -9nc ${KESTREL_DOC_BUILD}/${doc} > ${KESTREL_DOC_BUILD}/${doc}.gz
        DEPENDS ${KESTREL_DOC_BUILD}/${doc} VERBATIM)
    list(APPEND packed_outputs ${KESTREL_DOC_BUILD}/${doc}.gz)
endforeach()
add_custom_target(packed_docs ALL DEPENDS ${packed_outputs})
set(KESTREL_MAN_PAGES kestrel-cli)
if(KESTREL_BUILD_GUI)
    list(APPEND KESTREL_MAN_PAGES kestrel)
endif()
foreach(page ${KESTREL_MAN_PAGES})
    install(FILES ${KESTREL_DOC_BUILD}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# The README is the manual: the window's About box names it there.
install(FILES ${KESTREL_DOC_BUILD}/changelog.gz ${KESTREL_PACKAGING_DIR}/copyright ${PROJECT_SOURCE_DIR}/README.md
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrel)
# The static kestrel-cli holds its libraries by design: the overrides say why.
if(static_cli)
    install(FILES ${KESTREL_PACKAGING_DIR}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME kestrel)
endif()

set(CPACK_PACKAGE_NAME kestrel)
set(CPACK_PACKAGE_VENDOR "Kestrel developers")
set(CPACK_PACKAGE_CONTACT "Kestrel developers <maintainers@users.noreply.c-seed-c5f34678.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZX Spectrum and SAM Coupe floppy image tool")
# Line breaks kept under 80 columns, as Debian control files want them.
set(CPACK_PACKAGE_DESCRIPTION [[
Kestrel lists, checks, converts and edits +D / DISCiPLE / SAM Coupe floppy
images (.mgt, .dsk, .img of 819,200 bytes, also gzipped, in zip archives,
Extended DSK and SAD). It lists an image's directory and checks it for
damage, writes its ZX files to .tap tapes (making BASIC loaders work from
tape), shows ZX and SAM screens and BASIC listings, saves +D snapshots as
emulator snapshots (z80, sna), makes new discs from tapes, and adds, removes
and renames files and sets their flags, with undo in the window. It turns
ZX and SAM BASIC written as text into programs on discs and tapes, copies
real floppies to images and back, walks folders and zip archives, finds
files across them, and answers in JSON for scripts.
.
The package holds the window, kestrel, which the desktop offers to open disc
images with, and the command-line companion, kestrel-cli, with manual pages,
bash completion and a thumbnailer that shows a disc's first screen in file
managers. The same core also builds as a web page (not in this package).]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/out/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
# The Qt 6 runtime libraries (and libc, libstdc++) are found by dpkg-shlibdeps from the installed programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
