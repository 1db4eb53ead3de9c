option(TWINFOLD_WERROR "Treat compiler warnings as errors (on in the developer and CI presets)" OFF)
option(TWINFOLD_HARDENING
       "Harden optimised builds: fortified calls, stack protector, library assertions, full RELRO"
       ON)

# Settings shared by every target of our own code.
add_library(twinfold_common INTERFACE)
target_compile_features(twinfold_common INTERFACE cxx_std_20)
target_compile_options(twinfold_common INTERFACE
    -Wall -Wextra -Wpedantic
    -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    -Wshadow -Wcast-qual -Wformat=2)
# Off by default: a newer compiler on a user's machine may warn about code
# that builds cleanly here, and must not fail the build for it.
if(TWINFOLD_WERROR)
    target_compile_options(twinfold_common INTERFACE -Werror)
endif()
target_compile_definitions(twinfold_common INTERFACE
    _FILE_OFFSET_BITS=64
    $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)
target_include_directories(twinfold_common INTERFACE ${PROJECT_SOURCE_DIR}/src)

# Optimised builds (fortification needs the optimiser) check buffer sizes in
# the C library's calls and bounds in the standard library's containers,
# guard the stack, and get read-only relocations bound at start-up.
# scripts/check-hardening verifies the result. Sanitizer builds turn it off.
if(TWINFOLD_HARDENING)
    set(optimised "$<NOT:$<CONFIG:Debug>>")
    target_compile_options(twinfold_common INTERFACE
        "$<${optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=3;-fstack-protector-strong>")
    target_compile_definitions(twinfold_common INTERFACE $<${optimised}:_GLIBCXX_ASSERTIONS>)
    target_link_options(twinfold_common INTERFACE "$<${optimised}:LINKER:-z,relro,-z,now>")
endif()

# Adds a static library of our code in the current folder.
function(twinfold_library name)
    add_library(${name} STATIC ${ARGN})
    target_link_libraries(${name} PUBLIC twinfold_common)
endfunction()
