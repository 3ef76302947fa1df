# A Debian package of the installed files: `cpack -G DEB` in a build folder writes
# ruvo_<version>_<arch>.deb with /usr/bin/ruvo and the manual page.
set(CPACK_PACKAGE_NAME ruvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ruvo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "fill a plain-text template with values from an XML document")
set(CPACK_PACKAGE_DESCRIPTION
    "ruvo is a windowless batch converter: it fills a plain-text template with values taken from\n\
an XML document, typically an electronic invoice, including thousands separators and tables\n\
written as marker lines for a rendering program.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ruvo developers")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The dependencies come from the libraries the binary links (libxml2, libstdc++, libc) when
# dpkg-shlibdeps is there to find them; otherwise the one library beyond the toolchain's is named.
find_program(RUVO_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(RUVO_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libxml2 (>= 2.9.14)")
endif()

include(CPack)
