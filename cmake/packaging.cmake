# Man pages, the bash completion of laserctl, and the Debian package:
#   cpack -G DEB   (in the build folder) -> laserpanel_<version>_<arch>.deb
# holding laserpanel and laserctl, the desktop entry, the icon, the man pages
# and the completion. Its dependencies come from dpkg-shlibdeps (dpkg-dev).
include(GNUInstallDirs)

# Man pages, configured for this build's version and variant, and compressed
# as Debian's policy wants them (gzip -9n: no name or time inside). Both at
# configure time, so that installing needs no build target of its own; an edit
# to a page configures again.
find_program(LASERPANEL_GZIP gzip)
# laserpanel_gzip(VAR): compresses the file VAR names, keeping it, and makes
# VAR name the .gz; without gzip the file ships as it is.
function(laserpanel_gzip var)
  if(LASERPANEL_GZIP)
    execute_process(COMMAND "${LASERPANEL_GZIP}" -9nfk "${${var}}" RESULT_VARIABLE gzipped)
    if(NOT gzipped EQUAL 0)
      message(FATAL_ERROR "gzip ${${var}} failed: ${gzipped}")
    endif()
    set(${var} "${${var}}.gz" PARENT_SCOPE)
  endif()
endfunction()
set(man_pages "")
foreach(page laserpanel.1 laserctl.1)
  set(man "${CMAKE_CURRENT_BINARY_DIR}/man/${page}")
  configure_file(docs/man/${page} "${man}" @ONLY)
  laserpanel_gzip(man)
  list(APPEND man_pages "${man}")
endforeach()
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES laserctl/laserctl.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME laserctl)

# Debian's tools take the maintainer from DEBFULLNAME and DEBEMAIL; without
# them, a placeholder that says it is one (example.org).
if(DEFINED ENV{DEBEMAIL})
  set(maintainer "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
  string(STRIP "${maintainer}" maintainer)
else()
  set(maintainer "laserpanel maintainers <laserpanel@example.org>")
endif()
# A build folder may still hold the old default, which lintian refuses.
if(LASERPANEL_PACKAGE_MAINTAINER STREQUAL "laserpanel maintainers <laserpanel@localhost>")
  unset(LASERPANEL_PACKAGE_MAINTAINER CACHE)
endif()
set(LASERPANEL_PACKAGE_MAINTAINER "${maintainer}" CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME laserpanel)
set(CPACK_PACKAGE_VENDOR laserpanel)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
# The firmware variant is the build's choice; a package for the other one says so.
if(NOT LASERPANEL_VARIANT STREQUAL "v1.3")
  set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}+fw${LASERPANEL_VARIANT}")
endif()
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for a pulsed single-mode fibre laser on a serial port")
set(CPACK_PACKAGE_DESCRIPTION "laserpanel sets the pump current, seed pulse width, seed frequency and
trigger mode of the laser and shows its status, with a trend, a CSV
recording and a link log; laserctl does the same from a shell.
Built for firmware ${LASERPANEL_VARIANT} (frequency steps of ${LASERPANEL_FREQ_STEP_KHZ} kHz).")
# What Debian wants of every package: its copyright, and (a native package)
# changelog.gz, compressed like the man pages. The entry's date honours
# SOURCE_DATE_EPOCH.
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(changelog "${CMAKE_CURRENT_BINARY_DIR}/doc/changelog")
configure_file(cmake/changelog.in "${changelog}" @ONLY)
laserpanel_gzip(changelog)
install(FILES cmake/copyright "${changelog}" DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LASERPANEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The original texts are Chinese; without a CJK font they show as boxes. Qt
# loads its SQLite driver, which keeps the working points, as a plugin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, libqt5sql5-sqlite")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
include(CPack)
