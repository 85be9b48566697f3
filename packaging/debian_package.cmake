# The Debian package "make deb" builds with CPack's DEB generator: what the
# install rules put under /usr, the copyright and changelog Debian asks for, and
# the libraries it needs found by dpkg-shlibdeps and declared, never bundled.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME shelvo)
set(CPACK_PACKAGE_VENDOR Brenwick)
set(CPACK_PACKAGE_CONTACT "Shelvo maintainers <shelvo@brenwick.example>"
    CACHE STRING "The package's Maintainer field")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalogue volumes and find their files when they are unplugged")
set(CPACK_PACKAGE_DESCRIPTION
    "Shelvo keeps a catalog of volumes: CD-ROMs and DVDs, USB sticks, disks,
partitions and network shares. Adding a volume walks it once and records
every directory and file with its size and date, and the members of every
ZIP, ARJ, LZH and RAR archive on it. Later, with the volume long unplugged,
any file is found by name masks, restricted to volumes by their labels, and
the hits are shown as a tree.

The package holds the window, shelvo, and the command-line tool,
shelvo-cli.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# One package of everything, Debian's own files included.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified debian)

# Debian's own files, in the package only: a plain install leaves them out.
string(TIMESTAMP SHELVO_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9 -n -c ${PROJECT_BINARY_DIR}/packaging/changelog > ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(shelvo-package-files ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)

include(CPack)
