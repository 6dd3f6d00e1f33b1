# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package made by scripts/package: brisvel_<version>_<arch>.deb with the tester, the
# runner and the simulator in /usr/bin, their manual pages and bash completion, the desktop entry,
# the AppStream metainfo, the icons, README, the copyright file and the changelog; and
# brisvel-dbgsym_<version>_<arch>.ddeb with the programs' debug symbols. The dependencies come
# from dpkg-shlibdeps: the Qt libraries the programs link, whose Debian packages also carry the
# plugins Qt loads at run time (xcb in libqt6gui6, SVG in libqt6svg6).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brisvel)
set(CPACK_PACKAGE_VENDOR "Brisvel")
set(CPACK_PACKAGE_CONTACT "Brisvel maintainers <maintainers@brisvel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bench tester for banknote validators on a serial line")
# Lines as they stand in the package's control file, within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Brisvel plays the host of a banknote validator over RS-232 (9600 baud, 7E1):
it polls the validator and shows the conversation, the validator's decoded
state and events, a tally of the notes stacked and acceptance statistics.
.
The package also holds brisvel-run, the tester without a window, which can
check a validator against the protocol, and brisvel-validator-sim, a
simulated validator on a pseudo-terminal or a serial port.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/brisvel/brisvel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The debug symbols go to the dbgsym package, and the programs are stripped of them there; the
# compiler's version notes go before, as dh_strip takes them out.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/removecomments.cmake)
include(CPack)
