# What a Linux user finds around the programs: the manual pages, the bash completion of
# orvexctl, the user guide, and the copyright and changelog that Debian expects of a package.

set(ORVEX_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/orvex-config")
set(_orvex_doc_build "${CMAKE_BINARY_DIR}/data")

# Manual pages carry the version and release date of this build; Debian wants them compressed
# with gzip -9n (no name, no time stamp), so that the package is reproducible.
set(ORVEX_MANUAL_PAGES orvex-config orvexctl orvex-emulator)
set(_orvex_compressed_docs)
foreach(page IN LISTS ORVEX_MANUAL_PAGES)
    configure_file("data/man/${page}.1.in" "${_orvex_doc_build}/man/${page}.1" @ONLY)
    list(APPEND _orvex_compressed_docs "${_orvex_doc_build}/man/${page}.1")
endforeach()
configure_file(data/debian/changelog "${_orvex_doc_build}/debian/changelog" COPYONLY)
list(APPEND _orvex_compressed_docs "${_orvex_doc_build}/debian/changelog")

set(_orvex_gzipped)
foreach(file IN LISTS _orvex_compressed_docs)
    add_custom_command(OUTPUT "${file}.gz"
        COMMAND gzip -9nkf "${file}"
        DEPENDS "${file}"
        COMMENT "Compressing ${file}"
        VERBATIM)
    list(APPEND _orvex_gzipped "${file}.gz")
endforeach()
add_custom_target(orvex_docs ALL DEPENDS ${_orvex_gzipped})

foreach(page IN LISTS ORVEX_MANUAL_PAGES)
    install(FILES "${_orvex_doc_build}/man/${page}.1.gz"
            DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endforeach()

# bash-completion loads completions/NAME on the first Tab after NAME.
install(FILES data/bash-completion/orvexctl data/bash-completion/orvex-config
        DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")

install(FILES data/debian/copyright "${_orvex_doc_build}/debian/changelog.gz"
        DESTINATION "${ORVEX_DOC_DIR}")
install(FILES docs/user-guide.md docs/emulator-protocol.md DESTINATION "${ORVEX_DOC_DIR}")
install(DIRECTORY docs/ DESTINATION "${ORVEX_DOC_DIR}" FILES_MATCHING PATTERN "*.png")
