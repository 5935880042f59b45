# Installs the build into a fresh folder and checks that the programs, the desktop entry and the icons land where
# desktops look for them: each PNG in the hicolor folder named after its own size, the entry naming the installed
# program and icon and the disc image types the installed MIME file declares; the thumbnailer, the manual pages,
# the completion and the package's documents where their tools look. Run by CTest as
#   cmake -DBUILD_DIR=... -DPREFIX=... -DBINDIR=... -DDATADIR=... -P install_layout_test.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed:\n${output}")
endif()

set(icons ${PREFIX}/${DATADIR}/icons/hicolor)
foreach(program kestrel kestrel-cli)
    if(NOT EXISTS ${PREFIX}/${BINDIR}/${program} OR IS_DIRECTORY ${PREFIX}/${BINDIR}/${program})
        message(FATAL_ERROR "${BINDIR}/${program} is not installed")
    endif()
endforeach()
foreach(file ${DATADIR}/applications/kestrel.desktop ${DATADIR}/icons/hicolor/scalable/apps/kestrel.svg
        ${DATADIR}/mime/packages/kestrel.xml ${DATADIR}/thumbnailers/kestrel.thumbnailer
        ${DATADIR}/bash-completion/completions/kestrel-cli ${MANDIR}/man1/kestrel.1.gz ${MANDIR}/man1/kestrel-cli.1.gz
        ${DATADIR}/doc/kestrel/copyright ${DATADIR}/doc/kestrel/changelog.gz ${DATADIR}/doc/kestrel/README.md)
    if(NOT EXISTS ${PREFIX}/${file})
        message(FATAL_ERROR "${file} is not installed")
    endif()
endforeach()

# A PNG's width and height are the big-endian words at offsets 16 and 20 (in its IHDR chunk).
file(GLOB png_folders LIST_DIRECTORIES true RELATIVE ${icons} ${icons}/*x*)
if(NOT png_folders)
    message(FATAL_ERROR "no PNG icon below ${icons}")
endif()
foreach(folder ${png_folders})
    set(png ${icons}/${folder}/apps/kestrel.png)
    if(NOT EXISTS ${png})
        message(FATAL_ERROR "${folder}/apps/kestrel.png is not installed")
    endif()
    file(READ ${png} signature LIMIT 8 HEX)
    file(READ ${png} size_words OFFSET 16 LIMIT 8 HEX)
    string(SUBSTRING ${size_words} 0 8 width)
    string(SUBSTRING ${size_words} 8 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT folder STREQUAL "${width}x${height}")
        message(FATAL_ERROR "${folder}/apps/kestrel.png is not a ${folder} PNG (read ${width}x${height})")
    endif()
endforeach()

file(STRINGS ${PREFIX}/${DATADIR}/applications/kestrel.desktop entry)
foreach(line "[Desktop Entry]" "Type=Application" "Name=Kestrel" "Exec=kestrel %f" "Icon=kestrel")
    if(NOT line IN_LIST entry)
        message(FATAL_ERROR "kestrel.desktop lacks the line '${line}'")
    endif()
endforeach()
# The window and the thumbnailer take every type the MIME file declares, and no other.
file(READ ${PREFIX}/${DATADIR}/mime/packages/kestrel.xml mime)
string(REGEX MATCHALL "mime-type type=\"[^\"]+\"" declared "${mime}")
string(REGEX REPLACE "mime-type type=\"([^\"]+)\"" "\\1" declared "${declared}")
list(SORT declared)
file(STRINGS ${PREFIX}/${DATADIR}/thumbnailers/kestrel.thumbnailer thumbnailer)
foreach(lines entry thumbnailer)
    list(FILTER ${lines} INCLUDE REGEX "^MimeType=")
    string(REGEX REPLACE "^MimeType=" "" listed "${${lines}}")
    list(SORT listed)
    list(REMOVE_ITEM listed "")
    if(NOT declared OR NOT listed STREQUAL declared)
        message(FATAL_ERROR "the ${lines}'s MimeType (${listed}) is not the MIME file's types (${declared})")
    endif()
endforeach()
# File managers make the output file before they run the thumbnailer: it is replaced with --force.
file(STRINGS ${PREFIX}/${DATADIR}/thumbnailers/kestrel.thumbnailer exec
    REGEX "^Exec=kestrel-cli thumbnail %i %o --size %s --force$")
if(NOT exec)
    message(FATAL_ERROR "the thumbnailer does not run kestrel-cli thumbnail %i %o --size %s --force")
endif()
