# Settings shared by every target of our own code.
add_library(twinfold_common INTERFACE)
target_compile_features(twinfold_common INTERFACE cxx_std_20)
target_compile_options(twinfold_common INTERFACE
    -Wall -Wextra -Wpedantic -Werror
    -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    -Wshadow -Wcast-qual -Wformat=2)
target_compile_definitions(twinfold_common INTERFACE
    _FILE_OFFSET_BITS=64
    $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)
target_include_directories(twinfold_common INTERFACE ${PROJECT_SOURCE_DIR}/src)

# Adds a static library of our code in the current folder.
function(twinfold_library name)
    add_library(${name} STATIC ${ARGN})
    target_link_libraries(${name} PUBLIC twinfold_common)
endfunction()
