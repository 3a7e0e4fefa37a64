# The Debian package: `cpack -G DEB` in the build directory (or `cpack`, DEB is the default)
# makes tavrel_<version>_<arch>.deb of what `cmake --install` lays out under /usr.

# The version the program reports (main/src/versioninfo.h): "0.2.3 beta" becomes 0.2.3~beta,
# which sorts before the release 0.2.3.
file(STRINGS "${CMAKE_SOURCE_DIR}/main/src/versioninfo.h" version_lines
  REGEX "^constexpr (int|const char\\*) Version(Major|Minor|Build|Marker) = ")
foreach(line IN LISTS version_lines)
  if(line MATCHES "Version(Major|Minor|Build) = ([0-9]+);")
    set(tavrel_version_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  elseif(line MATCHES "VersionMarker = \" *([^\"]*)\";")
    set(tavrel_version_Marker "${CMAKE_MATCH_1}")
  endif()
endforeach()
set(TAVREL_PACKAGE_VERSION "${tavrel_version_Major}.${tavrel_version_Minor}.${tavrel_version_Build}")
if(NOT TAVREL_PACKAGE_VERSION STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "versioninfo.h says ${TAVREL_PACKAGE_VERSION}, the project ${PROJECT_VERSION}")
endif()
if(tavrel_version_Marker)
  string(APPEND TAVREL_PACKAGE_VERSION "~${tavrel_version_Marker}")
endif()

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tavrel")
set(CPACK_PACKAGE_VERSION "${TAVREL_PACKAGE_VERSION}")
set(CPACK_PACKAGE_VENDOR "Zoriv")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "input and processing of signals from acoustic sensors")
set(CPACK_PACKAGE_DESCRIPTION
  "Tavrel drives the ZORIV-K4 acquisition unit (four 8-bit channels behind a
32-input multiplexer) over a serial port, shows each record as channel
traces, processes and transforms them (FFT, inverse FFT), finds
acoustic-emission hits, stores raw record files, prints and exports them.
The rawtool command converts raw records (header, CSV, WAV, hits) without a
display. The interface is in Russian.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tavrel developers <tavrel@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
# Staged with DESTDIR: the install rules leave the desktop's caches to the triggers of
# shared-mime-info, desktop-file-utils and the icon theme.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
# The Qt libraries from what the executables link (dpkg-shlibdeps); Qt's own translations give
# the standard dialogs their Russian texts, shared-mime-info makes raw records known by content.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, shared-mime-info, desktop-file-utils")
include(CPack)
