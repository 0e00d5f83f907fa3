# Qwt for Qt 5 as Debian ships it (libqwt-qt5-dev): headers in <prefix>/include/qwt,
# library libqwt-qt5, and no CMake package of its own.
# Defines Qwt::Qwt, Qwt_INCLUDE_DIR, Qwt_LIBRARY and Qwt_VERSION.
find_path(Qwt_INCLUDE_DIR qwt.h PATH_SUFFIXES qwt qwt-qt5 qt5/qwt)
find_library(Qwt_LIBRARY NAMES qwt-qt5 qwt)

if(Qwt_INCLUDE_DIR AND EXISTS "${Qwt_INCLUDE_DIR}/qwt_global.h")
  file(STRINGS "${Qwt_INCLUDE_DIR}/qwt_global.h" _qwt_version_line REGEX "define[ \t]+QWT_VERSION_STR")
  string(REGEX REPLACE ".*\"([0-9.]+)\".*" "\\1" Qwt_VERSION "${_qwt_version_line}")
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Qwt
  REQUIRED_VARS Qwt_LIBRARY Qwt_INCLUDE_DIR
  VERSION_VAR Qwt_VERSION)

if(Qwt_FOUND AND NOT TARGET Qwt::Qwt)
  add_library(Qwt::Qwt UNKNOWN IMPORTED)
  set_target_properties(Qwt::Qwt PROPERTIES
    IMPORTED_LOCATION "${Qwt_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Qwt_INCLUDE_DIR}")
  # Its headers include QtWidgets.
  set_property(TARGET Qwt::Qwt PROPERTY INTERFACE_LINK_LIBRARIES Qt5::Widgets)
endif()
mark_as_advanced(Qwt_INCLUDE_DIR Qwt_LIBRARY)
