# cpack -G DEB builds a Debian package whose dependencies dpkg-shlibdeps computes.
include(GNUInstallDirs)
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VENDOR "Nimbrel developers")
set(CPACK_PACKAGE_CONTACT "${NIMBREL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Speaks the local weather at the times you choose")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The Debian revision: the packaging changed, the program's version did not.
set(NIMBREL_DEBIAN_REVISION 2)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${NIMBREL_DEBIAN_REVISION})
# The package installs where the build was configured to (-DCMAKE_INSTALL_PREFIX=/usr for a
# system package), so that the paths written into the desktop entries and the unit agree.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${NIMBREL_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not libraries, so shlibdeps cannot see them: the voices and the sound server client.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "espeak-ng-data")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, fonts-liberation2, qt6-wayland")
# The extended description, below the summary; paragraphs are separated by an empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Nimbrel reads the local weather aloud at the times of day you pick. For a US
ZIP code it fetches the current conditions and today's forecast, shows a few
English sentences in its window, plays a chime and speaks them with CMU
Flite's or espeak-ng's voices. It lives in the notification area, starts at
login and keeps every setting as a one-line text file in ~/Documents/Nimbrel.

The package also holds nimbrel-feed, the loopback service that answers the
program's feed requests from Open-Meteo data, run for the whole machine by
systemd when its socket on 127.0.0.1 is first used.")

# Debian's documents: the copyright file, and the changelog compressed without a time stamp (named
# changelog.Debian, as the version has a Debian revision).
set(NIMBREL_DEBIAN_DIR ${PROJECT_BINARY_DIR}/debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${NIMBREL_DEBIAN_DIR}/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${NIMBREL_DEBIAN_DIR}/changelog @ONLY)
add_custom_command(OUTPUT ${NIMBREL_DEBIAN_DIR}/changelog.Debian.gz
  COMMAND gzip -9nc ${NIMBREL_DEBIAN_DIR}/changelog > ${NIMBREL_DEBIAN_DIR}/changelog.Debian.gz
  DEPENDS ${NIMBREL_DEBIAN_DIR}/changelog)
add_custom_target(nimbrel_debian_docs ALL DEPENDS ${NIMBREL_DEBIAN_DIR}/changelog.Debian.gz)
install(FILES ${NIMBREL_DEBIAN_DIR}/copyright ${NIMBREL_DEBIAN_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nimbrel)
# Files under /etc are the administrator's: dpkg keeps their changes on upgrades. The maintainer
# scripts enable and start the feed's socket, and stop it on removal.
if(CMAKE_INSTALL_PREFIX MATCHES "^/usr(/local)?$|^/opt/")
  file(WRITE ${NIMBREL_DEBIAN_DIR}/conffiles "/etc/xdg/autostart/nimbrel.desktop\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${NIMBREL_DEBIAN_DIR}/conffiles
      ${CMAKE_CURRENT_LIST_DIR}/debian/postinst ${CMAKE_CURRENT_LIST_DIR}/debian/prerm
      ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
include(CPack)
