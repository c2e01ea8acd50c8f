# `cpack -G DEB` in the build folder makes a Debian package of what `cmake --install`
# puts in place, installed below /usr. Library dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME pagora-pro)
# All four parts: CPack would otherwise drop the build number.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Veldmark)
set(CPACK_PACKAGE_CONTACT "Veldmark <pagora-pro@veldmark.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "document scanning to image files, PDF and the printer")
# CPack takes the lines as they are: Debian's checker wants them under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Pagora Pro scans single pages from the flatbed or whole stacks through
the document feeder, one side or both, from SANE scanners. Every page is
saved at once as a BMP, JPEG or TIFF file; the pages can be saved into one
PDF document or printed.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.veldmark.com/pagora-pro/")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: Qt's X11 and Wayland
# platform plugins; the network scanner backend, Qt's own Russian texts, the
# text recognition languages and the orientation data ("Turn upright") help.
# Qt's PDF library (adding PDF pages) is named as well: dpkg-shlibdeps finds it, but
# a package built without it in reach would install and then fail at start.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6pdf6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "sane-airscan, qt6-translations-l10n, tesseract-ocr-eng, tesseract-ocr-rus, tesseract-ocr-osd")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "sane-utils")
include(CPack)
