# The program is built in layers, each a library of its own:
#
#   base < fs < shell < settings < engine < history < ui < app
#
# A layer may use the layers below it, never one above. The build enforces
# that through include paths: each library's include root is a folder of the
# build tree that shows only its own source folder (a link to it), and a
# layer sees the headers of exactly the layers it links. A header of a
# higher layer is simply not found when a lower one names it.
#
# tidyfold_layer(<target> <folder> SOURCES <files...> [LAYERS <lower layers...>])
function(tidyfold_layer target folder)
    cmake_parse_arguments(PARSE_ARGV 2 LAYER "" "" "SOURCES;LAYERS")
    add_library(${target} STATIC ${LAYER_SOURCES})
    tidyfold_layer_root(${target} ${folder})
    # PRIVATE: a layer above must name each layer it uses itself, so what it
    # may include is written in its own CMakeLists, not inherited.
    target_link_libraries(${target} PRIVATE ${LAYER_LAYERS})
    tidyfold_warnings(${target})
    tidyfold_sanitize(${target})
endfunction()

# Gives target an include root in the build tree that shows only folder.
function(tidyfold_layer_root target folder)
    set(root ${CMAKE_BINARY_DIR}/layers/${target})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${root})
endfunction()
