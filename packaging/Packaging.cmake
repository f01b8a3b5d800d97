# Install rules and the Debian package (make package -> vorlith_1.04_amd64.deb).
#
# The install prefix is compiled into the core: a copy whose executable lies in its bin folder is
# the installed one and keeps its files in the user's data folder (platform/ProgramFolder.h).

# A Debian package installs under /usr; so does `cmake --install` unless told otherwise. A build
# tree configured before this rule holds CMake's default /usr/local: moved once, then left alone.
if(NOT VORLITH_INSTALL_PREFIX_CHOSEN)
    if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT OR CMAKE_INSTALL_PREFIX STREQUAL "/usr/local")
        set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Install path prefix" FORCE)
    endif()
    set(VORLITH_INSTALL_PREFIX_CHOSEN ON CACHE INTERNAL "")
endif()
include(GNUInstallDirs)

set(VORLITH_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VORLITH_APP_ID example.vorlith.Vorlith)
set(VORLITH_SETTINGS_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/vorlith)

target_compile_definitions(vorlith_platform PRIVATE VORLITH_INSTALL_BINDIR="${CMAKE_INSTALL_FULL_BINDIR}"
                                                    VORLITH_INSTALL_SETTINGSDIR="${VORLITH_SETTINGS_DIR}")

# What users start goes to the bin folder; the helpers the programs start (the metafile decoder)
# and the test server go to /usr/lib/vorlith/, where the program looks second (branding/Metafile.h).
set(vorlith_programs vorlith vorlith-cli vorlith-skin)
install(TARGETS ${vorlith_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(vorlith_helpers vorlith-metafile)
if(TARGET vorlith-standin)
    list(APPEND vorlith_helpers vorlith-standin)
endif()
install(TARGETS ${vorlith_helpers} RUNTIME DESTINATION lib/vorlith)

install(FILES ${VORLITH_PACKAGING_DIR}/${VORLITH_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VORLITH_PACKAGING_DIR}/${VORLITH_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${VORLITH_PACKAGING_DIR}/icons/vorlith.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size IN ITEMS 16 24 32 48 64 128 256)
    install(FILES ${VORLITH_PACKAGING_DIR}/icons/vorlith-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vorlith.png)
endforeach()
install(FILES ${VORLITH_PACKAGING_DIR}/vorlith-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vorlith-cli)

# The shipped sources: read after the user's own (platform/ProgramFolder.h); dpkg keeps a user's
# edits to it as a conffile.
install(FILES ${PROJECT_SOURCE_DIR}/resources/sources.ini DESTINATION ${VORLITH_SETTINGS_DIR})
file(WRITE ${PROJECT_BINARY_DIR}/packaging/conffiles "${VORLITH_SETTINGS_DIR}/sources.ini\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/conffiles)

# Debian ships manual pages and changelogs compressed, without a time stamp (gzip -n).
set(vorlith_gzipped)
foreach(page IN ITEMS vorlith.1 vorlith-cli.1 vorlith-skin.1 changelog)
    set(zipped ${PROJECT_BINARY_DIR}/packaging/${page}.gz)
    add_custom_command(OUTPUT ${zipped}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
                       COMMAND gzip -9 -n -c ${VORLITH_PACKAGING_DIR}/${page} > ${zipped}
                       DEPENDS ${VORLITH_PACKAGING_DIR}/${page} VERBATIM)
    list(APPEND vorlith_gzipped ${zipped})
endforeach()
add_custom_target(vorlith_man_page ALL DEPENDS ${vorlith_gzipped})
install(FILES ${PROJECT_BINARY_DIR}/packaging/vorlith.1.gz ${PROJECT_BINARY_DIR}/packaging/vorlith-cli.1.gz
              ${PROJECT_BINARY_DIR}/packaging/vorlith-skin.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz ${VORLITH_PACKAGING_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vorlith)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlith)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vorlith")
set(CPACK_PACKAGE_CONTACT "Vorlith <support@vorlith.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyword-research tool")
# The extended description only: CPack puts the summary line before it and indents each line.
# One string, not a list: a list's ";" would have to be stripped, and with it the text's own.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "Vorlith harvests keywords related to a main keyword with their search counts\n"
       "from a keyword-suggestion service, asks Google, Yahoo and MSN how many results\n"
       "each keyword has, and saves the table as CSV. vorlith-cli runs the same\n"
       "commands from a terminal.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.vorlith.example/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # vorlith_1.04_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # the Qt and other libraries, as dpkg-shlibdeps finds them
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-urw-base35") # libwmf draws metafile text with these fonts
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils") # xdg-open opens pages in the browser
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Only what the install rules name; never the build tree's other projects.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/")
include(CPack)

# Packs the tree built above into a temporary folder and checks what the package holds.
if(VORLITH_TESTS)
    add_test(NAME packaging COMMAND ${PROJECT_SOURCE_DIR}/tests/packaging/check-package.sh
                                    ${PROJECT_BINARY_DIR} ${VORLITH_APP_ID})
    set_tests_properties(packaging PROPERTIES TIMEOUT 600)
endif()
