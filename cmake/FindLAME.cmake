# Finds the LAME MP3 encoder library; defines LAME::LAME.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(PC_LAME QUIET lame)
endif()
find_path(LAME_INCLUDE_DIR lame.h HINTS ${PC_LAME_INCLUDE_DIRS} PATH_SUFFIXES lame)
find_library(LAME_LIBRARY NAMES mp3lame HINTS ${PC_LAME_LIBRARY_DIRS})
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(LAME REQUIRED_VARS LAME_LIBRARY LAME_INCLUDE_DIR)
if(LAME_FOUND AND NOT TARGET LAME::LAME)
  add_library(LAME::LAME UNKNOWN IMPORTED)
  set_target_properties(LAME::LAME PROPERTIES
    IMPORTED_LOCATION "${LAME_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${LAME_INCLUDE_DIR}")
endif()
mark_as_advanced(LAME_INCLUDE_DIR LAME_LIBRARY)
