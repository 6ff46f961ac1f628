# SQLite from its amalgamation (brought in by tools/deps.sh at install time), as the static C library
# vastrel_sqlite for both builds. Full-text search (FTS5) on, loadable extensions off.
set(VASTREL_SQLITE_DIR "${PROJECT_SOURCE_DIR}/build/deps/sqlite3" CACHE PATH "Folder holding sqlite3.c and sqlite3.h")
if(NOT EXISTS "${VASTREL_SQLITE_DIR}/sqlite3.c" OR NOT EXISTS "${VASTREL_SQLITE_DIR}/sqlite3.h")
  message(FATAL_ERROR "SQLite amalgamation not found in ${VASTREL_SQLITE_DIR}: run tools/testbed.sh install "
                      "(it calls tools/deps.sh, which fetches the pinned sqlite3.c and sqlite3.h)")
endif()
enable_language(C)

add_library(vastrel_sqlite STATIC "${VASTREL_SQLITE_DIR}/sqlite3.c")
# SYSTEM: our own warnings stay on for code that includes sqlite3.h.
target_include_directories(vastrel_sqlite SYSTEM PUBLIC "${VASTREL_SQLITE_DIR}")
target_compile_definitions(vastrel_sqlite PRIVATE
  SQLITE_ENABLE_FTS5 SQLITE_THREADSAFE=1 SQLITE_DQS=0 SQLITE_OMIT_LOAD_EXTENSION)
if(VASTREL_WIN)
  target_compile_definitions(vastrel_sqlite PRIVATE SQLITE_OS_WIN=1)
else()
  find_package(Threads REQUIRED)
  target_link_libraries(vastrel_sqlite PUBLIC Threads::Threads m)
endif()
if(MSVC)
  target_compile_options(vastrel_sqlite PRIVATE /w)
else()
  # The amalgamation's own warnings are not ours to fix; optimised and without debug information in
  # every build type because it is 9 MB of C and the machine is shared.
  target_compile_options(vastrel_sqlite PRIVATE -w -O2 -g0)
endif()
# Optimised twins of portable libraries (<name>_opt, for benchmarks) link the same library.
add_library(vastrel_sqlite_opt ALIAS vastrel_sqlite)
