# Installing the launcher as a desktop application, and the Debian package CPack builds from it.
# `cmake --install build --prefix /usr` (or `cpack` in the build folder) puts the program, its menu
# entry, its icons, its AppStream description and its documents under the usual folders.
include(GNUInstallDirs)

set(CORVANTA_APP_ID gg.corvanta.launcher)
set(CORVANTA_LINUX_DIR "${PROJECT_SOURCE_DIR}/resources/linux")
set(CORVANTA_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/corvanta-launcher")

install(TARGETS corvanta-launcher RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES "${CORVANTA_LINUX_DIR}/${CORVANTA_APP_ID}.desktop"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${CORVANTA_LINUX_DIR}/${CORVANTA_APP_ID}.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48 64 128 256)
  install(FILES "${PROJECT_SOURCE_DIR}/resources/icons/${size}.png"
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${CORVANTA_APP_ID}.png)
endforeach()

# Debian wants the change log and the manual page compressed, without a time stamp inside.
set(CORVANTA_GZIPPED "${PROJECT_BINARY_DIR}/packaging")
foreach(file changelog corvanta-launcher.1)
  add_custom_command(OUTPUT "${CORVANTA_GZIPPED}/${file}.gz"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CORVANTA_GZIPPED}"
    COMMAND gzip -9nc "${CORVANTA_LINUX_DIR}/${file}" > "${CORVANTA_GZIPPED}/${file}.gz"
    DEPENDS "${CORVANTA_LINUX_DIR}/${file}" VERBATIM)
endforeach()
add_custom_target(corvanta_gzipped_docs ALL
  DEPENDS "${CORVANTA_GZIPPED}/changelog.gz" "${CORVANTA_GZIPPED}/corvanta-launcher.1.gz")
install(FILES "${CORVANTA_GZIPPED}/corvanta-launcher.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES "${CORVANTA_GZIPPED}/changelog.gz" "${CORVANTA_LINUX_DIR}/copyright"
              "${PROJECT_SOURCE_DIR}/docs/user-guide.md"
        DESTINATION ${CORVANTA_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvanta-launcher)
set(CPACK_PACKAGE_VENDOR Corvanta)
set(CPACK_PACKAGE_CONTACT "Corvanta <support@corvanta.gg>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop companion for Corvanta esports tournaments")
set(CPACK_PACKAGE_DESCRIPTION
    "The launcher signs in to the Corvanta tournament platform, shows its dashboard,
keeps an icon in the system tray, turns the platform's notifications into
desktop notifications, counts down to the next match and, when the Dota 2
lobby opens, guides the player on screen into the right lobby slot.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://corvanta.gg)
# The shared libraries the program links come from dpkg-shlibdeps; what it loads only at run time
# is named here: the QML modules of its pages, the web view's engine and the web engine itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-templates, \
qml6-module-qtquick-window, qml6-module-qtqml-workerscript, qml6-module-qtwebview, \
qml6-module-qtwebengine, qt6-webview-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-core, fonts-noto-color-emoji")
include(CPack)
