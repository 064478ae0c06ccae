# Installation layout and the Debian package: `cpack -G DEB` in a build folder, or
# ./package.sh, which configures a release build first.
include(GNUInstallDirs)
set(VELTRANE_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

# The manual page and the AppStream metainfo name the project's version.
set(veltrane_page ${CMAKE_CURRENT_BINARY_DIR}/veltrane.1)
set(veltrane_metainfo ${CMAKE_CURRENT_BINARY_DIR}/org.example.veltrane.metainfo.xml)
configure_file(${VELTRANE_PACKAGING_DIR}/veltrane.1.in ${veltrane_page} @ONLY)
configure_file(${VELTRANE_PACKAGING_DIR}/org.example.veltrane.metainfo.xml.in ${veltrane_metainfo} @ONLY)

install(TARGETS veltrane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${VELTRANE_PACKAGING_DIR}/veltrane.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${veltrane_metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${VELTRANE_PACKAGING_DIR}/veltrane-headless.service
              ${VELTRANE_PACKAGING_DIR}/veltrane-headless.socket
        DESTINATION lib/systemd/system)
# The service's settings, a conffile that upgrades keep, and the boot tree it serves.
install(FILES ${VELTRANE_PACKAGING_DIR}/veltrane.INI DESTINATION /etc/veltrane)
install(DIRECTORY DESTINATION /srv/tftp)

# The icon: one drawing, and the bitmaps rendered from it by packaging/icons/render.sh.
install(FILES ${VELTRANE_PACKAGING_DIR}/icons/veltrane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${VELTRANE_PACKAGING_DIR}/icons/veltrane-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME veltrane.png)
endforeach()

# The manual the Help command opens: /usr/share/doc/veltrane/manual.html.
install(FILES ${CMAKE_SOURCE_DIR}/docs/manual.html DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages are installed compressed; -n keeps the archive free of time stamps.
set(veltrane_man ${CMAKE_CURRENT_BINARY_DIR}/veltrane.1.gz)
add_custom_command(OUTPUT ${veltrane_man}
                   COMMAND gzip -9 -n -c ${veltrane_page} > ${veltrane_man}
                   DEPENDS ${veltrane_page}
                   VERBATIM)
add_custom_target(veltrane_man ALL DEPENDS ${veltrane_man})
install(FILES ${veltrane_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltrane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Veltrane")
# The package's Maintainer field: whoever builds and hands out the package names themselves
# here (-DVELTRANE_MAINTAINER="Name <address>"); updates reach users through their package
# manager, so there is no maker's site or address to point at.
set(VELTRANE_MAINTAINER "Veltrane packager <veltrane@localhost>" CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${VELTRANE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "desktop TFTP server for network and embedded engineers
Veltrane Desktop Pro hands firmware and configuration files to routers, switches,
phones and boards over TFTP, receives their uploads into one folder, and limits access
by IP address and subnet rules, while an Activity Log and a Transfer Log show every
request. It also runs without windows as a system service.")
# The libraries the executable links (the Qt 6 runtime in a window build) are found by
# dpkg-shlibdeps; the Qt platform plugins and the SVG plugins that draw the program's icon
# are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
get_target_property(veltrane_links veltrane LINK_LIBRARIES)
if("ui" IN_LIST veltrane_links)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
endif()
# setcap, which the post-install step uses to grant the privileged TFTP port.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${VELTRANE_PACKAGING_DIR}/postinst ${VELTRANE_PACKAGING_DIR}/prerm
    ${VELTRANE_PACKAGING_DIR}/postrm ${VELTRANE_PACKAGING_DIR}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
