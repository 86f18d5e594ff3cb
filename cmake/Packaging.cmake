# `cpack -G DEB` in a build folder makes quillon_<version>_<arch>.deb from what
# `cmake --install` puts in place, under /usr.
set(QUILLON_MAINTAINER "Quillon maintainers <maintainers@quillon.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "Quillon")
set(CPACK_PACKAGE_CONTACT "${QUILLON_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "move memory images between the PC and an 8051 board's RAM")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillon moves memory images (raw binaries or Intel HEX files of up to 32 KB)
between a Linux PC and the RAM of the vandrel board, an 8051 board on the PC's
parallel port. It holds the desktop program quillon, the command-line tool
quillon-cli for scripts and Makefiles, the board link library libvandrel.so
with its header, pkg-config and CMake files, and the port-access layer
libdlportio.so with a simulated board for machines without a parallel port.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed with DESTDIR, so files written at install time see /usr as the prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLON_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the shared libraries the binaries need; the package's
# own two libraries are found in the staged tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUILLON_FRONT)
    # The program's framework texts (file dialogs, buttons, menus) are German,
    # loaded from Qt's translations at run time.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-translations-l10n)
endif()
# s51 runs firmware on the simulated board; everything else works without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS sdcc-ucsim)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS sdcc)

include(CPack)
