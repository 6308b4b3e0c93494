# The Debian package: `cpack -G DEB` in a build folder writes quillet_VERSION_ARCH.deb there
# (scripts/package.sh builds and packs in one step). It holds what `cmake --install` puts under
# /usr: the three programs in bin/, the desktop entry and its icon (src/ui/CMakeLists.txt), the
# AppStream metainfo and the manual page (below). Its Depends line is worked out by
# dpkg-shlibdeps from the libraries the programs link, with the fonts that tables are measured in:
# Liberation for Arial, Times New Roman and Courier New, which documents name most; Carlito,
# Caladea and Noto CJK, for Calibri, Cambria and East Asian text, are recommended. LibreOffice,
# which only .doc and PDF output need, is a suggestion.

# The manual page, compressed as Debian keeps them (-n: no name or time stamp, so the same page
# gives the same bytes).
find_program(QUILLET_GZIP gzip REQUIRED)
set(QUILLET_MAN_PAGE ${CMAKE_BINARY_DIR}/packaging/quillet.1.gz)
add_custom_command(
    OUTPUT ${QUILLET_MAN_PAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND sh -c "'${QUILLET_GZIP}' -9 -n -c '${PROJECT_SOURCE_DIR}/packaging/quillet.1' > '${QUILLET_MAN_PAGE}'"
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/quillet.1
    COMMENT "Compressing the manual page quillet.1"
    VERBATIM)
add_custom_target(quillet_man ALL DEPENDS ${QUILLET_MAN_PAGE})

install(FILES ${QUILLET_MAN_PAGE} DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/io.github.quillet.metainfo.xml
        DESTINATION share/metainfo)

# Everything the install step copies, and nothing else: the tests and benchmarks are not built
# for a package. `cpack` does not build first (see below), so build this target before it.
add_custom_target(quillet_installed)
add_dependencies(quillet_installed quillet quillet-hh quillet-gui quillet_man)

# `cpack` and the install target otherwise build every target first, the test programs and
# benchmarks among them; scripts/package.sh builds quillet_installed instead. `cmake --install`
# never builds anything, so it is not affected.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "Quillet")
set(CPACK_PACKAGE_CONTACT "Quillet maintainers <maintainers@users.noreply.c-seed-6a190081.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert compiled HTML Help files (.chm) into Word documents")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/quillet/quillet")
set(CPACK_PACKAGE_INSTALL_DIRECTORY quillet)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
# The release build keeps debugging information; the package's programs go without it.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME quillet)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-crosextra-carlito, fonts-crosextra-caladea, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libreoffice-writer, python3-uno")
# The long description; CPack puts the summary above it and indents it as Debian wants.
set(CPACK_PACKAGE_DESCRIPTION
    "Quillet turns a compiled HTML Help file into one Word document: a heading
per contents entry with the distilled text of its topic under it, chapter
numbers, cross-links turned into links inside the document, cover, table of
contents, header and footer, pictures, tables and lists.

It writes .docx with its own document engine; .doc and PDF output go
through LibreOffice. The package holds the command quillet, the unpacker
quillet-hh it runs, and the desktop program quillet-gui.")

include(CPack)
