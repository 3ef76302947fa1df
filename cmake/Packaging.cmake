# What an installation holds, and the Debian package of it: `cmake --workflow --preset package`
# writes build-package/ruvo_<version>_<arch>.deb (a Release build with Debian's hardening,
# stripped). Manual pages and the changelog are installed compressed, as Debian wants them.
include(GNUInstallDirs)
set(RUVO_MAINTAINER "The ruvo authors <ruvo@example.org>"
    CACHE STRING "Maintainer of the Debian package: name and e-mail address")
set(_ruvo_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/ruvo)

# gzip -9n: the best compression, and no name or time stamp, so the same input gives the same
# bytes.
set(_ruvo_compressed)
function(ruvo_compress source name)
  set(compressed ${PROJECT_BINARY_DIR}/compressed/${name}.gz)
  add_custom_command(OUTPUT ${compressed}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/compressed
                     COMMAND sh -c "gzip -9nc \"$0\" > \"$1\"" ${source} ${compressed}
                     DEPENDS ${source} VERBATIM)
  set(_ruvo_compressed ${_ruvo_compressed} ${compressed} PARENT_SCOPE)
endfunction()

configure_file(packaging/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
ruvo_compress(${PROJECT_SOURCE_DIR}/man/ruvo.1 ruvo.1)
ruvo_compress(${PROJECT_SOURCE_DIR}/man/ruvo-batch.1 ruvo-batch.1)
ruvo_compress(${PROJECT_SOURCE_DIR}/man/ruvo-check.1 ruvo-check.1)
ruvo_compress(${PROJECT_SOURCE_DIR}/man/ruvo-convert-batch.1 ruvo-convert-batch.1)
ruvo_compress(${PROJECT_SOURCE_DIR}/man/ruvo-preview.1 ruvo-preview.1)
ruvo_compress(${PROJECT_BINARY_DIR}/changelog changelog)
add_custom_target(ruvo_compressed_files ALL DEPENDS ${_ruvo_compressed})

install(TARGETS ruvo ruvo-batch ruvo-check ruvo-preview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS scripts/convert-batch DESTINATION ${CMAKE_INSTALL_BINDIR}
        RENAME ruvo-convert-batch)
install(FILES ${PROJECT_BINARY_DIR}/compressed/ruvo.1.gz
              ${PROJECT_BINARY_DIR}/compressed/ruvo-batch.1.gz
              ${PROJECT_BINARY_DIR}/compressed/ruvo-check.1.gz
              ${PROJECT_BINARY_DIR}/compressed/ruvo-convert-batch.1.gz
              ${PROJECT_BINARY_DIR}/compressed/ruvo-preview.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright ${PROJECT_BINARY_DIR}/compressed/changelog.gz docs/guide.md
              docs/batch.md docs/preview.png
        DESTINATION ${_ruvo_doc_dir})
install(FILES examples/invoice.xml examples/template.txt examples/Ruvo.cfg
        DESTINATION ${_ruvo_doc_dir}/examples)
# Each guide example: its input, template, configuration, arguments and expected output.
install(DIRECTORY examples/guide DESTINATION ${_ruvo_doc_dir}/examples)
# The real invoices with their templates. Their licences are in the copyright file; Debian has
# the Apache licence text in /usr/share/common-licenses.
install(DIRECTORY examples/formats DESTINATION ${_ruvo_doc_dir}/examples
        PATTERN LICENSE-Apache-2.0.txt EXCLUDE)
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
        RENAME ruvo)

set(CPACK_PACKAGE_NAME ruvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The ruvo authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "fill a plain-text template with values from an XML document")
set(CPACK_PACKAGE_DESCRIPTION
    "ruvo is a windowless batch converter. It fills a plain-text template with\n\
values taken from an XML document, typically an electronic invoice: single\n\
values, values with thousands separators, and tables written as marker lines\n\
for a rendering program. ruvo-check explains, without writing anything, what\n\
a conversion would do and why a value comes out empty. ruvo-batch converts\n\
many documents with one template in one process, each exactly as a ruvo run\n\
would, with a run log of its own; ruvo-convert-batch converts every document\n\
of a directory with several ruvo-batch processes at once. ruvo-preview draws\n\
what a conversion would write as an HTML page, each value with its origin.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${RUVO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The batch command can hand the documents to ruvo-batch under GNU parallel when asked to.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS parallel)
# The dependencies come from the libraries the binary links (libxml2, libstdc++, libc) when
# dpkg-shlibdeps is there to find them; otherwise the one library beyond the toolchain's is named.
find_program(RUVO_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(RUVO_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libxml2 (>= 2.9.14)")
endif()

include(CPack)
