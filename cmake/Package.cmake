# The Debian package: "cmake --build build --target package" writes
# build/tolvane_<version>_amd64.deb from what the install rules install. Its
# dependencies come from the shared libraries the programs link
# (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quillon)
set(CPACK_PACKAGE_CONTACT "Quillon <tolvane@quillon.example.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small, fast picture editor with a Japanese interface")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillon.example.com/tolvane/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# Qt's Japanese translation for the standard dialogs; desktop integration.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-noto-cjk | fonts-ipafont-gothic, xdg-utils")
# The summary above is the synopsis; CPack indents these lines and marks the
# empty one as a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tolvane fixes up scans, screenshots and photos in seconds: it opens BMP,
JPEG, GIF, TIFF, PNG, PCX, FlashPix, WebP, AVIF, HEIC, JPEG XL and JPEG 2000
pictures, trims, shrinks, turns and flips them, closes up marked bands,
changes the colour depth with a preview, and saves them safely in any of
those formats, keeping the camera's EXIF data and the colour profile. Every
edit is kept in an undo file.

The companion command tolvane-batch runs the same commands from the shell,
on one picture or on whole folders of them in parallel.")
include(CPack)
