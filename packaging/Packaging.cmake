# `cmake --install` and `make package`: the four programs, the desktop entry,
# icon, metadata and manual pages, and a Debian package of them (CPack).
include(GNUInstallDirs)

# The release date, as the metadata and the package's changelog write it.
set(VANTRIX_RELEASE_DATE 2026-12-09)
set(VANTRIX_RELEASE_DATE_RFC "Wed, 09 Dec 2026 00:00:00 +0000")
set(VANTRIX_HOMEPAGE https://vantrix.cz/control-panel)
set(VANTRIX_PACKAGE vantrix-control-panel)
set(pkg ${CMAKE_CURRENT_LIST_DIR})
set(gen ${CMAKE_BINARY_DIR}/packaging)
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/${VANTRIX_PACKAGE})
set(CPACK_PACKAGE_CONTACT "The Vantrix Control Panel developers <support@vantrix.cz>")

install(TARGETS vantrixctl melodyloader vantrix-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(VANTRIX_UI)
    install(TARGETS VantrixCtrlPnl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# A stripped program keeps the compilers' .comment and .note sections, which
# only take room; Debian's own packages drop them the same way.
if(CMAKE_OBJCOPY)
    install(CODE "
        foreach(prog vantrixctl melodyloader vantrix-sim VantrixCtrlPnl)
            set(f \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${prog}\")
            if(CMAKE_INSTALL_DO_STRIP AND EXISTS \"\${f}\")
                execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                                        \"\${f}\" COMMAND_ERROR_IS_FATAL ANY)
            endif()
        endforeach()")
endif()

configure_file(${pkg}/VantrixCtrlPnl.desktop.in ${gen}/${VANTRIX_APP_ID}.desktop @ONLY)
configure_file(${pkg}/VantrixCtrlPnl.metainfo.xml.in ${gen}/${VANTRIX_APP_ID}.metainfo.xml @ONLY)
install(FILES ${gen}/${VANTRIX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${gen}/${VANTRIX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${pkg}/icons/${VANTRIX_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${pkg}/icons/${VANTRIX_APP_ID}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
configure_file(${pkg}/changelog.in ${gen}/changelog @ONLY)
add_custom_command(OUTPUT ${gen}/changelog.gz COMMAND gzip -9nkf ${gen}/changelog DEPENDS ${gen}/changelog VERBATIM)
add_custom_target(changelog ALL DEPENDS ${gen}/changelog.gz)
install(FILES ${pkg}/copyright ${gen}/changelog.gz DESTINATION ${docdir})

# Manual pages from each program's --help and --version, with the sections of
# packaging/man/<program>.h2m. HOME=~ makes vantrixctl's help name the user's
# directory as ~/.local/share/..., not the build machine's.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    # The month of the build, as help2man dates the other pages (both follow
    # SOURCE_DATE_EPOCH when it is set).
    string(TIMESTAMP VANTRIX_MAN_DATE "%B %Y")
    configure_file(${pkg}/man/VantrixCtrlPnl.1.in ${gen}/man/VantrixCtrlPnl.1 @ONLY)
    add_custom_command(
        OUTPUT ${gen}/man/VantrixCtrlPnl.1.gz
        COMMAND gzip -9nkf ${gen}/man/VantrixCtrlPnl.1
        DEPENDS ${gen}/man/VantrixCtrlPnl.1)
    set(manpages ${gen}/man/VantrixCtrlPnl.1.gz)
    foreach(prog vantrixctl melodyloader vantrix-sim)
        set(page ${gen}/man/${prog}.1)
        add_custom_command(
            OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${gen}/man
            COMMAND ${CMAKE_COMMAND} -E env --unset=XDG_DATA_HOME HOME=~ ${HELP2MAN} --no-info --section=1
                    --include=${pkg}/man/${prog}.h2m --output=${page} $<TARGET_FILE:${prog}>
            COMMAND gzip -9nf ${page}
            DEPENDS ${prog} ${pkg}/man/${prog}.h2m
            COMMENT "Manual page of ${prog}"
            VERBATIM)
        list(APPEND manpages ${page}.gz)
    endforeach()
    add_custom_target(manpages ALL DEPENDS ${manpages})
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_test(NAME package.manuals
             COMMAND ${Python3_EXECUTABLE} ${pkg}/check_manuals.py ${gen}/man ${CMAKE_BINARY_DIR}
                     ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION})
    set_tests_properties(package.manuals PROPERTIES LABELS package)
    install(FILES ${manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VANTRIX_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vantrix Control Panel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service software of the Vantrix GSM gateway")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "The desktop control panel VantrixCtrlPnl keeps the configuration of a\n"
    "Vantrix GSM gateway as a file and moves it to and from the device, shows\n"
    "the device's state, reads and sends SMS through it and sets the GPRS\n"
    "access point of its GSM module, over a serial port or a modem call.\n"
    "With vantrixctl (the same on the command line), melodyloader (melodies\n"
    "into the device) and vantrix-sim (a simulated device).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VANTRIX_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own Czech texts (the standard dialogs) come only as a recommendation of
# Qt; without them the open dialog of a Czech program is English.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-translations-l10n)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The package built, checked with lintian and the desktop and metadata
# validators, and run from an unpacked root (packaging/check_package.py).
if(VANTRIX_UI AND HELP2MAN)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_test(NAME package.deb
             COMMAND ${Python3_EXECUTABLE} ${pkg}/check_package.py ${CMAKE_CPACK_COMMAND}
                     ${CMAKE_BINARY_DIR}/CPackConfig.cmake ${CMAKE_BINARY_DIR}/package-check ${PROJECT_VERSION})
    set_tests_properties(package.deb PROPERTIES TIMEOUT 600 LABELS package)
endif()
