# `make package`: a Debian package of the installed tree, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pindle)
set(CPACK_PACKAGE_VENDOR "The Pindle developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "quick notes that live in the system tray")
set(CPACK_PACKAGE_DESCRIPTION
    "Pindle keeps a handful of plain-text notes one click away. A click on its\n"
    "tray icon, or Ctrl+Shift+Y from any application, opens a small panel with\n"
    "a rail of coloured dots, one per note, a plain-text editor and live word\n"
    "and character counts. Everything typed is saved as you go, crash-safely,\n"
    "in one JSON document. It follows the desktop's light or dark appearance\n"
    "and starts with the session.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PINDLE_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are the libraries the program links (Debian's libqt6gui6 also carries the X11
# platform plugin Qt loads at run time).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own translations: the editor's context menu in the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
# The autostart entry lives under /etc: a local edit to it survives upgrades.
file(WRITE ${PROJECT_BINARY_DIR}/packaging/conffiles "/etc/xdg/autostart/pindle.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
