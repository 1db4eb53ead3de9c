# The Debian package, made with "cpack -G DEB" in a build folder configured
# with CMAKE_INSTALL_PREFIX=/usr (so the log library lands in the multiarch
# library folder). Documentation files as Debian policy wants them: the
# copyright file and a compressed changelog in /usr/share/doc/twinfold/.
include(GNUInstallDirs)

set(TWINFOLD_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/twinfold)
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND sh -c "gzip -9nc \"$0\" > \"$1\"" ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
            ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
    COMMENT "Compressing the package's changelog"
    VERBATIM)
add_custom_target(twinfold_changelog ALL DEPENDS ${changelog})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${changelog}
    DESTINATION ${TWINFOLD_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME twinfold)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Twinfold developers")
set(CPACK_PACKAGE_CONTACT "The Twinfold developers <support@twinfold.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mirror folders one way and keep backup copies")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/twinfold/twinfold)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own catalogues translate its standard buttons and dialogs; without
# them those stay in English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6, qt6-translations-l10n")
# The extended description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Twinfold keeps a mirror of folders on another disk, a USB stick or a
network share. Each task names pairs of folders and a copy policy that
says which differences are carried over and whether entries found only
in the mirror are deleted or moved to the trash.
.
The desktop program shows the plan before anything changes, writes a
task log of every run, runs tasks on a schedule and from the tray, and
holds back mass deletions when a source folder is suddenly empty. The
command-line program twinfold-cli runs the same tasks from cron, timers
and scripts, with JSON results.")
include(CPack)
