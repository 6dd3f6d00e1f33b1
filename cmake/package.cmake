# The Debian package made by scripts/package: brisvel_<version>_<arch>.deb with the tester, the
# runner and the simulator in /usr/bin, the desktop entry, the icon and README. The dependencies
# come from dpkg-shlibdeps: the Qt libraries the programs link, whose Debian packages also carry
# the plugins Qt loads at run time (xcb in libqt6gui6, SVG in libqt6svg6).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brisvel)
set(CPACK_PACKAGE_VENDOR "Brisvel")
set(CPACK_PACKAGE_CONTACT "Brisvel maintainers <brisvel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Bench tester for banknote validators on a serial line")
set(CPACK_PACKAGE_DESCRIPTION
    "Plays the host of a banknote validator over RS-232 (9600 baud, 7E1): polls it, shows \
the conversation, its decoded state and events, a tally of stacked notes and acceptance \
statistics. Includes brisvel-run, the tester without a window, and brisvel-validator-sim, a \
simulated validator.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
