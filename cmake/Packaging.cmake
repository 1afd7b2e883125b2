# cpack -G DEB builds a Debian package whose dependencies dpkg-shlibdeps computes.
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VENDOR "Nimbrel developers")
set(CPACK_PACKAGE_CONTACT "Nimbrel developers <nimbrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Speaks the local weather at the times you choose")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The package installs where the build was configured to (-DCMAKE_INSTALL_PREFIX=/usr for a
# system package), so that the paths written into the desktop entries and the unit agree.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not libraries, so shlibdeps cannot see them: the voices and the sound server client.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "espeak-ng-data")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, fonts-liberation2")
include(CPack)
