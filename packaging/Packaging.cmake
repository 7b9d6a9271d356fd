# The Debian package: `cpack -G DEB` in a build folder writes ventara_<version>_<arch>.deb
# with everything `cmake --install` puts in place under /usr. Its library dependencies are
# computed from the binaries (dpkg-shlibdeps); what they load at run time (the Qt platform
# plugins, the fonts of watermark text and rendering) is added here. The fonts are the
# `fonts` list of scripts/setup, the one list of the project's Debian packages.

set(VENTARA_MAINTAINER "Ventara developers <developers@ventara.org>")

file(READ ${PROJECT_SOURCE_DIR}/scripts/setup setup_script)
# Comments go first: one inside the list may hold a parenthesis.
string(REGEX REPLACE "#[^\n]*" "" setup_script "${setup_script}")
string(REGEX MATCH "\nfonts=\\(([^)]*)\\)" fonts_block "${setup_script}")
set(fonts_block "${CMAKE_MATCH_1}")
string(REGEX MATCHALL "[a-z0-9][a-z0-9.+-]+" VENTARA_FONT_PACKAGES "${fonts_block}")
if(NOT VENTARA_FONT_PACKAGES)
    message(FATAL_ERROR "No fonts=(...) list found in scripts/setup")
endif()
list(JOIN VENTARA_FONT_PACKAGES ", " font_depends)

# The documents every Debian package carries.
execute_process(COMMAND date -u -R -d "${VENTARA_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE VENTARA_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(ventara_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/ventara)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ventara)
set(CPACK_PACKAGE_VENDOR "The Ventara developers")
set(CPACK_PACKAGE_CONTACT "${VENTARA_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch tools for PDF documents")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_CURRENT_LIST_DIR}/description.txt)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://ventara.org)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, ${font_depends}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Folders as Debian wants them, whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
