# Linux desktop integration: where the udev rule, its helper, the desktop entry, the icons, the
# file type, the session bus service and the AppStream metadata are installed, and the paths of those places that the platform services
# are built with (src/core/platform/linux).

set(ORVEX_UDEV_RULES_DIR "lib/udev/rules.d")
set(ORVEX_HELPER_DIR "${CMAKE_INSTALL_LIBEXECDIR}/orvex")
set(ORVEX_UDEV_RULE "${CMAKE_SOURCE_DIR}/data/70-orvex.rules")
set(ORVEX_RELEASE_DATE "2026-12-06") # date of the version in project()

# The program finds the rule and the helper relative to its own folder, so that an
# installation moved to another prefix (cmake --install --prefix) still finds them.
set(_orvex_prefix "${CMAKE_INSTALL_PREFIX}")
file(RELATIVE_PATH ORVEX_RULE_FROM_BINDIR "${CMAKE_INSTALL_FULL_BINDIR}"
     "${_orvex_prefix}/${ORVEX_UDEV_RULES_DIR}/70-orvex.rules")
file(RELATIVE_PATH ORVEX_HELPER_FROM_BINDIR "${CMAKE_INSTALL_FULL_BINDIR}"
     "${_orvex_prefix}/${ORVEX_HELPER_DIR}/orvex-udev-setup")
file(RELATIVE_PATH ORVEX_RULE_FROM_HELPER "${_orvex_prefix}/${ORVEX_HELPER_DIR}"
     "${_orvex_prefix}/${ORVEX_UDEV_RULES_DIR}/70-orvex.rules")

set(ORVEX_RULE_INSTALLED "${_orvex_prefix}/${ORVEX_UDEV_RULES_DIR}/70-orvex.rules")

configure_file(data/orvex-udev-setup.in "${CMAKE_BINARY_DIR}/data/orvex-udev-setup" @ONLY)
configure_file(data/orvex-config.metainfo.xml.in
               "${CMAKE_BINARY_DIR}/data/com.orvex.Config.metainfo.xml" @ONLY)

install(FILES "${ORVEX_UDEV_RULE}" DESTINATION "${ORVEX_UDEV_RULES_DIR}")
install(PROGRAMS "${CMAKE_BINARY_DIR}/data/orvex-udev-setup" DESTINATION "${ORVEX_HELPER_DIR}")
install(FILES data/com.orvex.Config.desktop DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES data/icons/orvex-config.svg
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")

# Configuration files (*.orv) as a file type of their own, shown with the program's icon.  The
# desktop's databases are rebuilt by their own tools: update-mime-database and
# update-desktop-database, which Debian runs through dpkg triggers.
install(FILES data/mime/orvex-config.xml DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages")
install(FILES data/icons/orvex-config.svg
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes"
        RENAME application-x-orvex-configuration.svg)

# The session bus starts the program for desktop launchers (DBusActivatable=true).  Its Exec
# must be an absolute path, which is known only when installing (cmake --install --prefix,
# cpack), so the file is written then.
install(CODE "
    set(ORVEX_CONFIG_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/orvex-config\")
    set(_orvex_service \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/dbus-1/services/com.orvex.Config.service\")
    message(STATUS \"Installing: \${_orvex_service}\")
    configure_file(\"${CMAKE_SOURCE_DIR}/data/dbus/com.orvex.Config.service.in\" \"\${_orvex_service}\" @ONLY)
")
install(FILES "${CMAKE_BINARY_DIR}/data/com.orvex.Config.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
