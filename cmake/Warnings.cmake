# Compiler warnings for the project's own targets.  CI builds with
# DM_WARNINGS_AS_ERRORS on (every preset but the developer's own), so that a
# new warning fails the build instead of piling up.
option(DM_WARNINGS_AS_ERRORS "Treat compiler warnings in the project's own code as errors" OFF)

add_library(ks_warnings INTERFACE)
target_compile_options(ks_warnings INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wno-missing-field-initializers>
  $<$<AND:$<BOOL:${DM_WARNINGS_AS_ERRORS}>,$<CXX_COMPILER_ID:GNU,Clang>>:-Werror>)
