# Installation and the Debian package. `cmake --install` puts the programs, the manual, the
# manual pages, the desktop entries and the icon where a Linux desktop looks for them;
# `cpack -G DEB` in the build folder makes tillbook_<version>_<arch>.deb of it.
# scripts/check-package builds the package from a fresh clone and checks it with lintian.
include(GNUInstallDirs)

set(TILLBOOK_DEB_REVISION 1)
set(TILLBOOK_DEB_VERSION ${PROJECT_VERSION}-${TILLBOOK_DEB_REVISION})
set(TILLBOOK_MAINTAINER "Tillbook-Projekt <info@tillbook.example>")
set(PKG_OUT ${CMAKE_BINARY_DIR}/packaging)

# The release date "dd.mm.yyyy" in the forms the changelog and the manual pages want.
string(REGEX REPLACE "^([0-9][0-9])\\.([0-9][0-9])\\.([0-9][0-9][0-9][0-9])$" "\\3-\\2-\\1"
       TILLBOOK_RELEASE_ISO "${TILLBOOK_RELEASE_DATE}")
execute_process(COMMAND env LC_ALL=C date -u -R -d "${TILLBOOK_RELEASE_ISO} 12:00"
                OUTPUT_VARIABLE TILLBOOK_RELEASE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

# Compressed as Debian wants them: gzip -9, without name and time stamp (reproducible).
set(PKG_GZ_FILES)
function(tillbook_gzip source target)
    add_custom_command(OUTPUT ${target}
        COMMAND gzip -9nc ${source} > ${target}
        DEPENDS ${source} VERBATIM)
    set(PKG_GZ_FILES ${PKG_GZ_FILES} ${target} PARENT_SCOPE)
endfunction()

configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${PKG_OUT}/changelog.Debian @ONLY)
tillbook_gzip(${PKG_OUT}/changelog.Debian ${PKG_OUT}/changelog.Debian.gz)
foreach(page tillbook restorix)
    configure_file(${CMAKE_SOURCE_DIR}/docs/man/${page}.1.in ${PKG_OUT}/${page}.1 @ONLY)
    tillbook_gzip(${PKG_OUT}/${page}.1 ${PKG_OUT}/${page}.1.gz)
endforeach()
add_custom_target(package_files ALL DEPENDS ${PKG_GZ_FILES})

install(TARGETS tillbook restorix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The manual lives with the program's data, not under doc/: systems that leave out
# /usr/share/doc (containers, small installations) still have it for the help menu.
install(FILES ${TILLBOOK_MANUAL} DESTINATION ${CMAKE_INSTALL_DATADIR}/tillbook)
install(FILES ${PKG_OUT}/changelog.Debian.gz ${CMAKE_CURRENT_LIST_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tillbook)
install(FILES ${PKG_OUT}/tillbook.1.gz ${PKG_OUT}/restorix.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tillbook)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tillbook.desktop ${CMAKE_CURRENT_LIST_DIR}/restorix.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tillbook.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME tillbook)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TILLBOOK_DEB_REVISION})
set(CPACK_PACKAGE_CONTACT "${TILLBOOK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Kassenbuch Bargeschäfte – cash book for small businesses")
# The extended description, German and English (CPack puts the summary above it).
file(READ ${CMAKE_CURRENT_LIST_DIR}/description.txt CPACK_PACKAGE_DESCRIPTION)
string(STRIP "${CPACK_PACKAGE_DESCRIPTION}" CPACK_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TILLBOOK_UPDATE_SERVER}")
# The package carries stripped programs; the build folder keeps them with their debug symbols.
set(CPACK_STRIP_FILES ON)
# The dependencies are read from the programs themselves (dpkg-shlibdeps): the Qt and SQLCipher
# libraries of the Debian release the package is built on. What they need at run time besides:
# the platform plugin of the desktop, and xdg-open for the manual and the links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "evince | okular | atril | mupdf | pdf-viewer, fonts-liberation, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cups")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
