# The Debian package, made by CPack from what `cmake --install` installs
# (scripts/package.sh deb). The install rules stay the one list of shipped
# files; what only a Debian package carries (the copyright file, the
# changelog, compressed manual pages) is added to the staging tree by
# packaging/debian/stage.cmake just before the package is written.
include(GNUInstallDirs)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vellum)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "オルバンデル")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# DESTDIR, not a changed prefix: the files are configured for /usr (the polkit
# action names /usr/bin/vellum), and the install step leaves the system's MIME
# and desktop caches to the package's triggers.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find deleted files on FAT, exFAT and NTFS volumes and copy them back")
set(CPACK_PACKAGE_DESCRIPTION
"Vellum reads a volume's raw sectors, interprets FAT12, FAT16, FAT32, exFAT and
NTFS itself, and lists every deleted file and folder whose entry can still be
read; deleted files are copied out with their folders and modification times.
A scan of the free clusters finds orphaned directory entries and file records,
and files recognised by their signatures (JPEG, PNG, ZIP, Office documents,
PDF, video and more), sized from their own structure.
.
Besides block devices it reads raw images and E01, VHD, VHDX, VMDK and qcow2
containers, always read-only. On FAT and exFAT it can also destroy what is
left of deleted files (complete deletion).
.
The package holds the desktop program (vellum, Qt) and the command line
(vellum-cli) with its manual page and bash completion.")

set(VELLUM_PACKAGE_MAINTAINER "Vellum maintainers <vellum@example.org>" CACHE STRING
    "The Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELLUM_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the libraries the programs are linked with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's Japanese buttons and dialogs, the restart with root's rights.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, pkexec")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "sleuthkit")

set(VELLUM_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/packaging/debian)
set(CPACK_PRE_BUILD_SCRIPTS ${VELLUM_DEBIAN_DIR}/stage.cmake)
# What stage.cmake reads (CPack hands every CPACK_ variable to its scripts).
set(CPACK_VELLUM_DEBIAN_DIR ${VELLUM_DEBIAN_DIR})
set(CPACK_VELLUM_DOCDIR ${CMAKE_INSTALL_DOCDIR})
set(CPACK_VELLUM_MANDIR ${CMAKE_INSTALL_MANDIR})
include(CPack)
