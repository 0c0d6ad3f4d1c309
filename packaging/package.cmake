# make deb: a Debian package installing to /usr, its library dependencies
# found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vellumatic)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vellumatic developers <devel@vellumatic.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "true-colour paint program built around the brush")
set(CPACK_PACKAGE_DESCRIPTION
    "Vellumatic paints with brushes: every tool stamps a round or square tip\n\
or a piece of an image cut out as a brush, which can be resized, rotated,\n\
bent, sheared, outlined and given a drop shadow. It keeps ten images open,\n\
applies plug-in, convolution and formula filters, and opens and saves its\n\
own frame format, BMP, PCX, JPEG, PNG, IFF/ILBM, GIF, WMF and EMF.\n\
.\n\
The package holds the kv program, the pixconv converter and the pixkit\n\
library with its headers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vellumatic.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The program's own library lives in the private program directory.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${VM_BIN_DIR})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Scanning loads SANE when it is there.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsane1")
include(CPack)
