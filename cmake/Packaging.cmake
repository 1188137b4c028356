# The Debian package: cpack -G DEB in the build folder.

set(CPACK_PACKAGE_NAME "orvex-config")
set(CPACK_PACKAGE_VENDOR "ORVEX")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration utility for the ORVEX analog input device")
# Debian wants the long description in lines of fewer than 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "The ORVEX is a small USB device with six analog input channels that turns\n"
    "each channel's input level into keystrokes or a joystick axis. This package\n"
    "has the configuration utility orvex-config, the command-line tool orvexctl,\n"
    "the device emulator orvex-emulator and the udev rule that gives the user at\n"
    "this computer access to the device.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(ORVEX_PACKAGE_MAINTAINER "ORVEX maintainers <maintainers@orvex.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR "DEB")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ORVEX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# dpkg-shlibdeps finds the libraries the programs link (Qt, hidapi, libusb, libblkid, ...).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# No hard dependency on udev: every desktop has it, and the maintainer scripts skip the reload
# where it is missing (containers, chroots).
# pkexec lets the utility install the udev rule itself where the package's copy is not active.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${CMAKE_SOURCE_DIR}/data/debian/postinst"
    "${CMAKE_SOURCE_DIR}/data/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
