# SPDX-License-Identifier: GPL-3.0-or-later
# Installation and the Debian package.
#
# cmake --install (CMAKE_INSTALL_PREFIX and DESTDIR are honoured) lays the program out
# like any desktop program: bin/rollcall, the desktop entry, the icon in the hicolor
# theme, AppStream metainfo, the manual page and the user guide with its pictures.
# Nothing installed refers back to the source or build folder. scripts/package turns the same install
# into a .deb with CPack.

# The desktop entry and metainfo are named after this id.
set(ROLLCALL_APP_ID net.rollcall.Rollcall)
# The date of the release PROJECT_VERSION names (metainfo, Debian changelog).
set(ROLLCALL_RELEASE_DATE 2026-12-07)
set(ROLLCALL_MAINTAINER "Rollcall developers <rollcall-dev@example.org>"
    CACHE STRING "Maintainer named in the Debian package")

set(rollcall_out ${CMAKE_BINARY_DIR}/install-data)
set(rollcall_docdir ${CMAKE_INSTALL_DATADIR}/doc/rollcall)

# A build folder is a development install of its own: the program finds the user
# guide beside itself (configure_file re-copies it when the source changes).
configure_file(docs/user-guide.html ${CMAKE_BINARY_DIR}/docs/user-guide.html COPYONLY)
file(GLOB rollcall_guide_images CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/images/*.png)
foreach(image ${rollcall_guide_images})
    cmake_path(GET image FILENAME name)
    configure_file(${image} ${CMAKE_BINARY_DIR}/docs/images/${name} COPYONLY)
endforeach()

execute_process(COMMAND date -u -R -d "${ROLLCALL_RELEASE_DATE} 12:00:00"
    OUTPUT_VARIABLE ROLLCALL_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
configure_file(data/${ROLLCALL_APP_ID}.metainfo.xml.in
    ${rollcall_out}/${ROLLCALL_APP_ID}.metainfo.xml @ONLY)
configure_file(data/debian/changelog.in ${rollcall_out}/changelog @ONLY)
# The manual page's heading names the version and release date.
configure_file(docs/rollcall.1 ${rollcall_out}/rollcall.1 @ONLY)

# Compressed the Debian way: best compression, no name or time stamp inside.
find_program(GZIP_PROGRAM gzip REQUIRED)
foreach(pair "${rollcall_out}/rollcall.1|rollcall.1.gz" "${rollcall_out}/changelog|changelog.gz")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 input)
    list(GET pair 1 output)
    cmake_path(ABSOLUTE_PATH input BASE_DIRECTORY ${PROJECT_SOURCE_DIR})
    add_custom_command(OUTPUT ${rollcall_out}/${output}
        COMMAND ${GZIP_PROGRAM} -9nc ${input} > ${rollcall_out}/${output}
        DEPENDS ${input} VERBATIM)
    list(APPEND rollcall_gzipped ${rollcall_out}/${output})
endforeach()
add_custom_target(rollcall_install_data ALL DEPENDS ${rollcall_gzipped})

# The guide and its pictures live in share/rollcall (the program must not need
# share/doc, which minimal systems leave out); share/doc/rollcall links to both,
# so the pictures show whichever way the guide is opened.
file(CREATE_LINK ../../rollcall/user-guide.html ${rollcall_out}/user-guide.html SYMBOLIC)
file(CREATE_LINK ../../rollcall/images ${rollcall_out}/images SYMBOLIC)

install(TARGETS rollcall RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/${ROLLCALL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${rollcall_out}/${ROLLCALL_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES data/icons/rollcall.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 128 256)
    install(FILES data/icons/rollcall-${size}.png RENAME rollcall.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${rollcall_out}/rollcall.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES docs/user-guide.html DESTINATION ${CMAKE_INSTALL_DATADIR}/rollcall)
install(FILES ${rollcall_guide_images} DESTINATION ${CMAKE_INSTALL_DATADIR}/rollcall/images)
install(FILES ${rollcall_out}/user-guide.html ${rollcall_out}/images data/debian/copyright
    ${rollcall_out}/changelog.gz DESTINATION ${rollcall_docdir})

# The Debian package (scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rollcall)
set(CPACK_PACKAGE_VENDOR "Rollcall developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "net control logger for directed amateur-radio nets")
set(CPACK_PACKAGE_DESCRIPTION
    "Rollcall is the logbook of the net control station of a directed amateur-radio
net: check-ins from a master callsign database, NCS changes, NTS radiogram
traffic, the net's reports, PSK31 with its own sound-card modem, check-ins
over UDP and a packet TNC terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ROLLCALL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Plugins Qt loads at run time, which the library scan cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_THREADS 2)
include(CPack)

# The package check: a staged install, the staged program, and the validators.
add_test(NAME package
    COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/check-package ${CMAKE_BINARY_DIR})
set_tests_properties(package PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600)
