# Where the programs go on a Linux desktop, and the Debian package made of them.
#
#   lib/teskar7/teskar7, lib/teskar7/vardo.hlp   the window program and its manual beside it
#   bin/teskar7 -> ../lib/teskar7/teskar7        (the manual is looked up beside the program)
#   bin/teskar7-cli, bin/teskar7-sim
#   share/applications, share/metainfo, share/icons/hicolor, share/man/man1, share/doc/teskar7

set(TESKAR7_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS teskar7 RUNTIME DESTINATION lib/teskar7)
install(FILES ${PROJECT_BINARY_DIR}/app/vardo.hlp DESTINATION lib/teskar7)
install(CODE [[
    set(bin "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
    file(MAKE_DIRECTORY "${bin}")
    file(CREATE_LINK ../lib/teskar7/teskar7 "${bin}/teskar7" SYMBOLIC)
]])
install(TARGETS teskar7-cli RUNTIME DESTINATION bin)
if(TARGET teskar7-sim)
    install(TARGETS teskar7-sim RUNTIME DESTINATION bin)
endif()

install(FILES ${TESKAR7_PACKAGING}/teskar7.desktop DESTINATION share/applications)
install(FILES ${TESKAR7_PACKAGING}/teskar7.metainfo.xml DESTINATION share/metainfo
        RENAME ru.kelmet.teskar7.metainfo.xml)
install(FILES ${TESKAR7_PACKAGING}/icons/teskar7.svg
        DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${TESKAR7_PACKAGING}/icons/teskar7-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME teskar7.png)
endforeach()

# Manual pages and the changelog go compressed, as Debian wants them.
find_program(GZIP gzip REQUIRED)
set(compressed)
foreach(page teskar7.1 teskar7-cli.1 teskar7-sim.1 changelog)
    if(page STREQUAL "changelog")
        set(source ${TESKAR7_PACKAGING}/changelog)
    else()
        set(source ${TESKAR7_PACKAGING}/man/${page})
    endif()
    set(output ${PROJECT_BINARY_DIR}/packaging/${page}.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
        COMMAND ${GZIP} -9 -n -c ${source} > ${output}
        DEPENDS ${source} VERBATIM)
    list(APPEND compressed ${output})
endforeach()
add_custom_target(teskar7-packaging ALL DEPENDS ${compressed})
foreach(page teskar7.1 teskar7-cli.1 teskar7-sim.1)
    install(FILES ${PROJECT_BINARY_DIR}/packaging/${page}.gz DESTINATION share/man/man1)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz ${TESKAR7_PACKAGING}/copyright
        DESTINATION share/doc/teskar7)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME teskar7)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "teskar7 developers")
set(CPACK_PACKAGE_CONTACT "teskar7 developers <teskar7@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "data of the TESKAR-7 impact tester")
set(CPACK_PACKAGE_DESCRIPTION "The window program teskar7 receives the archive of the portable impact
tester TESKAR-7 over a serial line, keeps it as dBase tables, and lets the
operator sort, colour, edit, delete and renumber rows, print an A4 report,
export it to a spreadsheet workbook and draw charts. teskar7-cli does the same
jobs without windows; teskar7-sim simulates the instrument on a
pseudo-terminal.

To reach the serial port the operator must be a member of the group dialout:
sudo usermod -a -G dialout USER, then log in again.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The report's font, Arial's metric twin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
