# SQLite for the Windows build.  Debian's cross toolchain has no SQLite, so
# the build makes its own: scripts/sqlite-amalgamation fetches Debian's
# sqlite3 source package through apt and writes the amalgamation into the
# build folder once, and this compiles it into a static library that the
# build folder keeps as any other target (about 40 s, once).  The target is
# SQLite::SQLite3, the name the Linux build finds the system's library by.
set(KS_SQLITE_DIR ${CMAKE_BINARY_DIR}/sqlite)
execute_process(
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/sqlite-amalgamation ${KS_SQLITE_DIR}
  RESULT_VARIABLE sqlite_fetched)
if(NOT sqlite_fetched EQUAL 0)
  message(FATAL_ERROR "SQLite's amalgamation could not be made (scripts/sqlite-amalgamation)")
endif()
file(STRINGS ${KS_SQLITE_DIR}/VERSION KS_SQLITE_DEBIAN_VERSION LIMIT_COUNT 1)
message(STATUS "SQLite for Windows: Debian's sqlite3 ${KS_SQLITE_DEBIAN_VERSION}")

add_library(ks_sqlite3 STATIC ${KS_SQLITE_DIR}/sqlite3.c)
target_include_directories(ks_sqlite3 SYSTEM PUBLIC ${KS_SQLITE_DIR})
target_compile_definitions(ks_sqlite3 PRIVATE
  SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION=1 SQLITE_DEFAULT_FOREIGN_KEYS=0)
# Optimised, without debug information (which doubles the compile) and
# without our warnings: it is not our code.
set_source_files_properties(${KS_SQLITE_DIR}/sqlite3.c PROPERTIES COMPILE_OPTIONS "-O2;-g0;-w")
add_library(SQLite::SQLite3 ALIAS ks_sqlite3)
