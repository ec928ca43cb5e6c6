# The Debian package, built by CPack from the install rules (scripts/package.sh):
# build/harvex_<version>-<release>_<arch>.deb, its dependencies found by
# dpkg-shlibdeps.

set(HARVEX_MAINTAINER "Harvex developers <harvex@corvane.example>")
set(HARVEX_DEBIAN_RELEASE 1)
set(HARVEX_DEBIAN_VERSION "${PROJECT_VERSION}-${HARVEX_DEBIAN_RELEASE}")
set(HARVEX_CHANGELOG_DATE "Tue, 08 Dec 2026 12:00:00 +0000")

# What Debian wants beside every package: the copyright and the package's own
# changelog, compressed without name or time.
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.Debian.in
               ${CMAKE_BINARY_DIR}/debian/changelog.Debian @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz
  COMMAND ${GZIP_PROGRAM} -9nkf ${CMAKE_BINARY_DIR}/debian/changelog.Debian
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.Debian
  COMMENT "Compressing the Debian changelog")
add_custom_target(harvex_debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME harvex)
set(CPACK_PACKAGE_VENDOR Corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${HARVEX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "copy a web site to your disk")
set(CPACK_PACKAGE_DESCRIPTION
    "Harvex copies a web site to the local disk. A six-page wizard asks for a
start address, a target folder, the kinds of files to fetch and the limits;
the download engine then crawls the site, follows the links it finds in the
pages, rebuilds the site's directory tree under the target folder and logs
every step.

harvex-cli runs the same engine without a window, for scripts and servers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${HARVEX_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.corvane.example/gizmorama/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# File-type icons come from this theme where the desktop offers none.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS adwaita-icon-theme)
include(CPack)
