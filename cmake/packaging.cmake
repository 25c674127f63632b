# The Debian package: `cpack -G DEB` in the build folder. Library dependencies are computed from
# the executable; what it loads at run time without linking is named here.
include(GNUInstallDirs)

set(docDir ${CMAKE_INSTALL_DATADIR}/doc/vellaro)
set(packagingDir ${CMAKE_SOURCE_DIR}/packaging)
set(gzipped ${CMAKE_BINARY_DIR}/packaging/changelog.gz ${CMAKE_BINARY_DIR}/packaging/vellaro.1.gz)
# -n: no name or time stamp in the header, so the same sources give the same package.
add_custom_command(OUTPUT ${gzipped}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9nc ${packagingDir}/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -9nc ${packagingDir}/vellaro.1 > ${CMAKE_BINARY_DIR}/packaging/vellaro.1.gz
    DEPENDS ${packagingDir}/changelog ${packagingDir}/vellaro.1)
add_custom_target(vellaro_packaging_docs ALL DEPENDS ${gzipped})
install(FILES ${packagingDir}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${docDir})
install(FILES ${CMAKE_BINARY_DIR}/packaging/vellaro.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vellaro)
set(CPACK_PACKAGE_VENDOR "Vellaro")
set(CPACK_PACKAGE_CONTACT "Vellaro developers <vellaro@vellaro.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://vellaro.example")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reminders with an alarm sound, from the notification area")
# Lines of at most 80 characters, as Debian's tools ask.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Vellaro keeps a list of reminders, each with a name, a date, a time of day"
    "and a short note. It waits in the notification area and, when a reminder"
    "falls due, plays an alarm sound and opens a window that shows the reminder."
    "Window positions, sizes and transparency are remembered, and the program"
    "can start together with the desktop session. Its texts are Bulgarian.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Loaded, not linked: libcanberra's PulseAudio backend, Qt's SVG icon engine (every icon is an
# SVG; the executable itself calls nothing of Qt Svg, so the linker drops it), Qt's Wayland
# platform plugin and Qt's own Bulgarian texts (text fields' context menus, standard buttons).
# The X11 platform plugin and the JPEG image plugin come with libqt6gui6, which the computed
# dependencies name. The freedesktop sound theme gives the alarm its usual sound; without it
# the program plays its own.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcanberra-pulse, libqt6svg6, qt6-translations-l10n, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sound-theme-freedesktop")

include(CPack)
