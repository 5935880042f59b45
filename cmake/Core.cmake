# What the desktop build and the web page's build share: the warnings, the version header and the core, one
# library per folder of src/.
#
# The folders are layers: a folder may include the folders below it and never one above. The build holds this: each
# folder's library compiles with one include root of its own, a folder in the build tree holding symbolic links to
# its own folder of src/ and to the folders below it, and nothing else, so that `#include "files/x.h"` in a lower
# folder names no file. Includes keep their "folder/x.h" form; only the programs and tests above the core see all
# of src/ (through the `core` target).

# Every target of ours compiles with these warnings.
add_library(project_options INTERFACE)
target_compile_options(project_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
    -Wnon-virtual-dtor -Woverloaded-virtual
    $<$<BOOL:${KESTREL_WERROR}>:-Werror>)

set(kestrel_src ${CMAKE_CURRENT_LIST_DIR}/../src)
cmake_path(NORMAL_PATH kestrel_src)

# The version the programs show, from the project's version (cmake/Version.cmake).
configure_file(${kestrel_src}/common/version.h.in ${CMAKE_BINARY_DIR}/generated/common/version.h @ONLY)

# kestrel_layer(folder [folders below it...]): the library `folder` from src/<folder>/, which sees and links the
# folders listed after it. List every folder below, not only the next: the root holds exactly these.
function(kestrel_layer folder)
    set(root ${CMAKE_BINARY_DIR}/layers/${folder})
    file(GLOB old_links LIST_DIRECTORIES true ${root}/*)
    if(old_links)
        file(REMOVE ${old_links})
    endif()
    file(MAKE_DIRECTORY ${root})
    foreach(seen ${folder} ${ARGN})
        file(CREATE_LINK ${kestrel_src}/${seen} ${root}/${seen} SYMBOLIC)
    endforeach()
    add_library(${folder} STATIC)
    set_target_properties(${folder} PROPERTIES AUTOMOC OFF)
    target_include_directories(${folder} PRIVATE ${root})
    target_link_libraries(${folder} PUBLIC ${ARGN} PRIVATE project_options)
    add_subdirectory(${kestrel_src}/${folder} ${CMAKE_BINARY_DIR}/core/${folder})
endfunction()

# The core, lowest first. image reads discs and their files; tape and snapshot write what a disc holds in other
# forms; basic lists and tokenises programs, inspect checks discs and draws screens; files makes and edits discs;
# session holds the disc a front end lists and the use cases on it.
set(KESTREL_CORE_LAYERS common image tape snapshot basic inspect files session)
kestrel_layer(common)
kestrel_layer(image common)
kestrel_layer(tape image common)
kestrel_layer(snapshot image common)
kestrel_layer(basic tape image common)
kestrel_layer(inspect tape image common)
kestrel_layer(files basic inspect snapshot tape image common)
kestrel_layer(session files basic inspect snapshot tape image common)

# The programs, tests and tools above the core link `core` and see all of src/.
add_library(core INTERFACE)
target_include_directories(core INTERFACE ${kestrel_src} ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(core INTERFACE session)
