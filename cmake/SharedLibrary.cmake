# ks_shared_library_defaults(target)
#
# Settings every shared library of the suite shares:
# - POSIX: find sibling libraries next to itself (RUNPATH $ORIGIN), refuse
#   undefined symbols at link time, and keep GNU unique symbols out so that
#   dlclose of the last reference really unloads the library.
# - Windows: the DLL lands in lib/ beside the others, and links the compiler's
#   runtime (libgcc, libstdc++, winpthread) statically, member by member, so
#   it runs without the cross toolchain's DLLs and carries no resources of
#   theirs (winpthread has a version resource of its own).
#
# Clang's sanitizer and fuzzer runtimes live in the program, not in each
# library, so a build with them (DM_LIBRARIES_NEED_PROGRAM_RUNTIME, the fuzz
# preset) lets libraries leave those symbols to the program.
option(DM_LIBRARIES_NEED_PROGRAM_RUNTIME
       "Let shared libraries leave symbols to the program's runtime (clang sanitizers)" OFF)
function(ks_shared_library_defaults target)
  if(WIN32)
    set_target_properties(${target} PROPERTIES
      PREFIX ""
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
    target_link_options(${target} PRIVATE -static)
  else()
    set_target_properties(${target} PROPERTIES
      BUILD_RPATH "$ORIGIN"
      INSTALL_RPATH "$ORIGIN")
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
    target_link_options(${target} PRIVATE -Wl,--enable-new-dtags)
    if(NOT DM_LIBRARIES_NEED_PROGRAM_RUNTIME)
      target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
  endif()
endfunction()

# Programs built for Windows carry their runtime with them too.
function(ks_program_defaults target)
  if(WIN32)
    target_link_options(${target} PRIVATE -static)
  endif()
endfunction()

# ks_library_version(target [VERSION x.y.z]): on POSIX the library's file
# carries its version (libX.so.1.0.0; the project's unless VERSION names
# the library's own), its SONAME the major version (libX.so.1), and libX.so
# links to both.
function(ks_library_version target)
  cmake_parse_arguments(V "" "VERSION" "" ${ARGN})
  if(NOT V_VERSION)
    set(V_VERSION ${DataManager_VERSION})
  endif()
  string(REGEX MATCH "^[0-9]+" major "${V_VERSION}")
  if(NOT WIN32)
    set_target_properties(${target} PROPERTIES
      VERSION ${V_VERSION}
      SOVERSION ${major})
  endif()
endfunction()
