# What `cmake --install` puts where a Linux desktop looks for it, and the
# Debian package `cpack -G DEB` builds from the same rules.
include(GNUInstallDirs)

install(TARGETS kestrify-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/kestrify-cli.1)
    install(FILES docs/kestrify-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/project-format.md)
    install(FILES docs/project-format.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

if(KESTRIFY_BUILD_GUI)
    install(TARGETS kestrify RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES gui/desktop/kestrify.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES gui/desktop/kestrify.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
    install(FILES gui/desktop/kestrify.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
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
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
# The shared libraries the programs link come from dpkg-shlibdeps; the Qt
# plug-ins they load at run time (windowing system, SVG icon) are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(KESTRIFY_BUILD_GUI)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk, shared-mime-info")
endif()
set(CPACK_GENERATOR DEB)
include(CPack)
