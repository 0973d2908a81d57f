# The Debian package velmor-ape, made by CPack from the install of a build
# configured for the prefix /usr (the system layout of cmake/Suite.cmake):
#
#   cmake -S . -B build-package -DCMAKE_INSTALL_PREFIX=/usr -DSUITE_TESTS=OFF
#   cmake --build build-package -j"$(nproc)" --target package
#
# gives build-package/velmor-ape_<version>_<arch>.deb. Its version is the
# project's; its dependencies are what dpkg-shlibdeps finds the binaries
# link. No maintainer scripts: Debian's triggers refresh the MIME, desktop,
# icon and manual page caches, and GStreamer notices its folder changed.
set(SUITE_PACKAGE_NAME velmor-ape)
set(SUITE_PACKAGE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${SUITE_PACKAGE_NAME})

configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog
  DESTINATION ${SUITE_PACKAGE_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${SUITE_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "VELMOR <velmor@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lossless APE audio: encoder, decoder, verifier, tagger, player")
set(CPACK_PACKAGE_DESCRIPTION "The VELMOR suite for lossless audio files in its own APE format, which
shares the .ape extension and the APEv2 tag with Monkey's Audio but not the
bitstream (files of other APE encoders are recognised and refused):
Fennick encodes WAVE files at four levels, Dovrell decodes them, Tarvin
verifies them, Lumbrel edits their tags (UTF-8, Shift-JIS or JIS), and
ApePlayer plays them through the decoder add-on Orvane. A GStreamer
plug-in lets every GStreamer player play them, and the desktop knows
them by their first bytes. Texts and manual pages in English and
Japanese.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fonts the windows are drawn in, and GStreamer's playbin and
# decodebin, which players wrap around the plug-in. gst-play-1.0 and
# gst-discoverer-1.0 (with gst-launch-1.0 and gst-inspect-1.0) come with
# the base apps; autoaudiosink, which playbin sends sound to, with the
# good plug-ins: every desktop player depends on them already, and on a
# bare system they bring some seventy packages, so only suggested.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-ipafont-gothic, gstreamer1.0-plugins-base")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gstreamer1.0-plugins-base-apps, gstreamer1.0-plugins-good")
# The kits library the player, the add-on and the plug-in share is the
# suite's own, found through their run paths.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_PREFIX}/${SUITE_INSTALL_APP_DIR})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# Staged with DESTDIR, so that the install leaves the caches to the
# triggers (desktop/CMakeLists.txt).
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
# Manual pages and the changelog compressed as Debian has them.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/SuitePackageStage.cmake)
set(CPACK_SUITE_DOC_DIR ${CMAKE_INSTALL_PREFIX}/${SUITE_PACKAGE_DOC_DIR})
include(CPack)
