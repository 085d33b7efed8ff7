# What `cmake --install` puts where a Linux desktop looks for it, and the
# Debian package `cpack -G DEB` builds from the same rules.
# The documentation folder is named after the package, as Debian expects.
# (a plain variable: it wins over a cached name of an older build folder).
set(CMAKE_INSTALL_DOCDIR share/doc/kestrify)
include(GNUInstallDirs)

install(TARGETS kestrify-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Manual pages are installed compressed (gzip -n: the same bytes every build).
set(KESTRIFY_MAN_PAGES kestrify-cli)
if(KESTRIFY_BUILD_GUI)
    list(APPEND KESTRIFY_MAN_PAGES kestrify)
endif()
set(KESTRIFY_MAN_GZ)
foreach(page ${KESTRIFY_MAN_PAGES})
    set(gz ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${gz}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/docs/${page}.1 > ${gz}
        DEPENDS ${PROJECT_SOURCE_DIR}/docs/${page}.1
        VERBATIM)
    list(APPEND KESTRIFY_MAN_GZ ${gz})
endforeach()
# The package's change log, compressed as Debian keeps it.
set(KESTRIFY_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${KESTRIFY_CHANGELOG_GZ}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${KESTRIFY_CHANGELOG_GZ}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
    VERBATIM)
add_custom_target(man_pages ALL DEPENDS ${KESTRIFY_MAN_GZ} ${KESTRIFY_CHANGELOG_GZ})
install(FILES ${KESTRIFY_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES packaging/copyright ${KESTRIFY_CHANGELOG_GZ} DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/project-format.md)
    install(FILES docs/project-format.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

if(KESTRIFY_BUILD_GUI)
    install(TARGETS kestrify RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES gui/desktop/kestrify.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES gui/desktop/kestrify.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
    install(FILES gui/desktop/kestrify.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    # The project files' icon, under the name the MIME type gives it.
    install(FILES gui/desktop/kestrify.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes
            RENAME application-x-kestrify-project.svg)
    # Software centres list the program from its AppStream entry.
    install(FILES packaging/kestrify.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
            RENAME org.example.kestrify.metainfo.xml)
endif()

set(CPACK_PACKAGE_NAME kestrify)
set(CPACK_PACKAGE_VENDOR "Kestrify")
set(CPACK_PACKAGE_CONTACT "Kestrify developers <kestrify@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turns stored e-mail into a CSV table")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads a folder of .eml files, an Outlook Express 5 DBX file, a Unix mbox, a Shuriken \
file, a Eudora .mbx file or a folder of text files, decodes every mail to Japanese text and \
extracts one value per parameter (header names or key lines of the body) into a CSV file. \
Includes the desktop application kestrify and the headless command kestrify-cli.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY kestrify)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package's own revision: its change log is then changelog.Debian.gz.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
# The shared libraries the programs link come from dpkg-shlibdeps; the Qt
# plug-ins they load at run time (windowing system, SVG icon) are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(KESTRIFY_BUILD_GUI)
    # qt6-translations-l10n: Qt's own texts (file dialogs, standard buttons) in Japanese.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, qt6-translations-l10n")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk, shared-mime-info")
endif()
# Debian ships programs without their symbols.
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
