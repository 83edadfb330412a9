# Debian package of the terminal UI: the program, its default settings file
# and its systemd unit. Build it with `cpack -G DEB` (or the `package`
# target) in the build directory.

set(LTXG_INSTALL_DIR /opt/kivo/ltxgterminalui)
set(LTXG_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(LTXG_PACKAGING_BINARY_DIR ${CMAKE_BINARY_DIR}/packaging)

# gui.conf with every key at its default, written from the program's own
# defaults so that the two never drift apart. A cross build runs the native
# build's writer: the file is the same on every architecture.
if(CMAKE_CROSSCOMPILING)
    set(LTXG_GUICONF_WRITER ${LTXG_HOST_TOOLS}/packaging/ltxg_guiconf)
    set(LTXG_GUICONF_DEPENDS ${LTXG_GUICONF_WRITER})
else()
    add_executable(ltxg_guiconf ${LTXG_PACKAGING_DIR}/guiconf.cpp)
    target_link_libraries(ltxg_guiconf PRIVATE ltxgterminal ltxg_warnings)
    set_target_properties(ltxg_guiconf PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${LTXG_PACKAGING_BINARY_DIR})
    set(LTXG_GUICONF_WRITER $<TARGET_FILE:ltxg_guiconf>)
    set(LTXG_GUICONF_DEPENDS ltxg_guiconf)
endif()
add_custom_command(OUTPUT ${LTXG_PACKAGING_BINARY_DIR}/gui.conf
    COMMAND ${LTXG_GUICONF_WRITER} ${LTXG_PACKAGING_BINARY_DIR}/gui.conf
    DEPENDS ${LTXG_GUICONF_DEPENDS}
    COMMENT "Writing the default gui.conf")
add_custom_target(ltxg_default_config ALL DEPENDS ${LTXG_PACKAGING_BINARY_DIR}/gui.conf)

# Only the program goes into the package: tests, benchmarks and tools have
# no install rules.
install(TARGETS LTXGTerminalUI RUNTIME DESTINATION ${LTXG_INSTALL_DIR})
install(FILES ${LTXG_PACKAGING_BINARY_DIR}/gui.conf DESTINATION ${LTXG_INSTALL_DIR})
install(FILES ${LTXG_PACKAGING_DIR}/ltxgterminalui.service DESTINATION /lib/systemd/system)
# Lets the unprivileged service user set the time zone and NTP.
install(FILES ${LTXG_PACKAGING_DIR}/ltxgterminalui.rules DESTINATION /usr/share/polkit-1/rules.d
        RENAME 60-ltxgterminalui.rules)

file(WRITE ${LTXG_PACKAGING_BINARY_DIR}/conffiles "${LTXG_INSTALL_DIR}/gui.conf\n")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ltxgterminalui)
# apt upgrades only to a higher version: a release build sets its own, e.g.
# -DLTXG_PACKAGE_VERSION=1.0+42.
set(LTXG_PACKAGE_VERSION ${PROJECT_VERSION} CACHE STRING "Version of the Debian package")
set(CPACK_PACKAGE_VERSION ${LTXG_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT "LTXG terminal team <ltxg-terminal@localhost>" CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Touch-screen user interface of the LTXG terminal")
set(CPACK_PACKAGE_DESCRIPTION "Full-screen Qt Quick UI of the kiosk and validator terminal. It reaches\nevery device service through the local MQTT broker and runs as the\nsystemd service ltxgterminalui.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${LTXG_INSTALL_DIR})
# The terminal gets the program without its debugging information.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The architecture of the program, not of the machine that packs it.
if(LTXG_DEB_ARCH)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${LTXG_DEB_ARCH})
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# polkitd reads the rule that lets the service set the time zone.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "mosquitto, polkitd")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${LTXG_PACKAGING_BINARY_DIR}/conffiles
    ${LTXG_PACKAGING_DIR}/postinst
    ${LTXG_PACKAGING_DIR}/prerm
    ${LTXG_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# What no scan of the program's libraries finds: the QML modules and the SVG
# image plugin are loaded at run time, Qt Quick comes in through Qt Quick
# Controls (the link drops it as not needed directly), the on-screen keyboard
# is a plug-in with QML of its own (which needs the folder list model), and
# the postinst needs adduser.
set(LTXG_RUNTIME_DEPENDS
    adduser libqt5quick5 libqt5svg5
    qml-module-qtquick-controls2 qml-module-qtquick-layouts
    qml-module-qtquick-window2 qml-module-qtquick2
    qtvirtualkeyboard-plugin qml-module-qtquick-virtualkeyboard qml-module-qt-labs-folderlistmodel)
find_program(DPKG_SHLIBDEPS_EXECUTABLE dpkg-shlibdeps)
if(DPKG_SHLIBDEPS_EXECUTABLE)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    list(APPEND LTXG_RUNTIME_DEPENDS
        libqt5core5a libqt5gui5 libqt5network5 libqt5qml5 libqt5quickcontrols2-5
        libmosquitto1 libqrcodegencpp1)
endif()
list(JOIN LTXG_RUNTIME_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)

include(CPack)
