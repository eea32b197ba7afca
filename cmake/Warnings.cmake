# Compiler warnings for the project's own targets.
add_library(ks_warnings INTERFACE)
target_compile_options(ks_warnings INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wno-missing-field-initializers>)
