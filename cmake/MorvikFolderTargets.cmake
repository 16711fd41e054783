# Each library sees only its own folder and the folders of the libraries it names. A library
# gets an include directory of its own in the build tree that holds nothing but a link named
# after each folder it owns, so "protocol/UdpEndpoint.h" resolves for morvik_protocol and for
# whoever links it, and "controls/..." or <QWidget> does not resolve for a core library at all.

# morvik_expose_folders(<target> <folder>...): the target's users (and the target itself) include
# its headers as "<folder>/<header>".
function(morvik_expose_folders target)
    set(dir ${PROJECT_BINARY_DIR}/include/${target})
    file(MAKE_DIRECTORY ${dir})
    foreach(folder IN LISTS ARGN)
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
    endforeach()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${dir})
    else()
        target_include_directories(${target} PUBLIC ${dir})
    endif()
endfunction()

# morvik_core_library(<target> FOLDER <folder> SOURCES <file>... [PUBLIC <lib>...] [PRIVATE <lib>...])
# One Qt-free library per core folder: plain C++ with the standard library and POSIX, and the
# core libraries it names. It never links Qt, so a Qt or GUI include in it does not compile.
function(morvik_core_library target)
    cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
    add_library(${target} STATIC ${ARG_SOURCES})
    morvik_expose_folders(${target} ${ARG_FOLDER})
    target_link_libraries(${target} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE} morvik_warnings)
    set_property(GLOBAL APPEND PROPERTY MORVIK_CORE_LIBRARIES ${target})
endfunction()

# morvik_gui_library(<target> FOLDER <folder> SOURCES <file>... [PUBLIC <lib>...] [PRIVATE <lib>...])
# One Qt library per GUI folder, seeing only its own folder and what it names: the Qt modules,
# the core libraries and the GUI libraries below it. A header of a GUI folder that the library
# does not name does not resolve, so the GUI libraries depend on each other one way only.
function(morvik_gui_library target)
    cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
    add_library(${target} STATIC ${ARG_SOURCES})
    set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON)
    morvik_expose_folders(${target} ${ARG_FOLDER})
    target_link_libraries(${target} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE} morvik_warnings)
    target_compile_definitions(${target} PRIVATE MORVIK_VERSION="${PROJECT_VERSION}")
    set_property(GLOBAL APPEND PROPERTY MORVIK_GUI_LIBRARIES ${target})
endfunction()
