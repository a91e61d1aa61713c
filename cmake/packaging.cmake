# The Debian package: `make package` (or `cpack -G DEB` in the build folder)
# gives qrtool_<version>_amd64.deb with both programs, the desktop entry and
# the icon, installed under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qrtool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "qrtool developers <qrtool@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "QR code generator and reader (Chinese desktop program and command line)")
set(CPACK_PACKAGE_DESCRIPTION
    "qrtool-gui generates QR codes one at a time or one per line, reads them from a\n\
camera or from a rectangle of the screen and can pass the decoded text on as\n\
UDP datagrams; its window is in Chinese. qrtool does the same from the command\n\
line: encode, batch, decode, send and listen.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries the programs link come from dpkg-shlibdeps (dpkg-dev); what they
# only load at run time is named here: the camera back end's plugins and a
# font with Chinese characters (without one every label shows boxes).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-wqy-microhei | fonts-noto-cjk, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
# Qt's own dialogs in Chinese; without it they read in English. The image
# format plugins let the decode page open WebP pictures.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-image-formats-plugins")
include(CPack)
