# How Lanwick installs (`cmake --install`) and packs into a Debian package (`cpack -G DEB`): the programs, their
# manual pages, the desktop entry with its icons and AppStream metadata, the monitoring service, the alert rules.
include(GNUInstallDirs)

# Placeholder until the project has a public home; the metainfo, the package and its copyright file all use it.
set(LANWICK_HOMEPAGE "https://lanwick.example.org")
set(LANWICK_MAINTAINER "The Lanwick developers <lanwick@example.org>")
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
set(pkgout ${PROJECT_BINARY_DIR}/packaging)

# lanwick-cli's page comes from its own help texts after every link, so it always says what the program says.
add_custom_command(
    OUTPUT ${pkgout}/lanwick-cli.1.gz
    COMMAND sh ${pkg}/make-cli-manpage.sh $<TARGET_FILE:lanwick-cli> ${pkgout}/lanwick-cli.1
    COMMAND gzip -9nf ${pkgout}/lanwick-cli.1
    DEPENDS lanwick-cli ${pkg}/make-cli-manpage.sh
    COMMENT "Writing the manual page of lanwick-cli from its help")
add_custom_command(
    OUTPUT ${pkgout}/lanwick.1.gz ${pkgout}/changelog.Debian.gz
    COMMAND gzip -9nc ${pkg}/lanwick.1 > ${pkgout}/lanwick.1.gz
    COMMAND gzip -9nc ${pkg}/debian/changelog > ${pkgout}/changelog.Debian.gz
    DEPENDS ${pkg}/lanwick.1 ${pkg}/debian/changelog)
add_custom_target(lanwick_docs ALL DEPENDS ${pkgout}/lanwick-cli.1.gz ${pkgout}/lanwick.1.gz
                                           ${pkgout}/changelog.Debian.gz)
configure_file(${pkg}/org.example.lanwick.metainfo.xml.in ${pkgout}/org.example.lanwick.metainfo.xml @ONLY)
# An installed program keeps its settings in the user's folder even where its own folder is writable (by root).
file(WRITE ${pkgout}/installed "Lanwick programs in ../../bin are installed: their settings live in the user's "
                               "configuration folder.\n")

install(TARGETS lanwick-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${pkgout}/lanwick-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${pkgout}/installed DESTINATION ${CMAKE_INSTALL_DATADIR}/lanwick)
install(FILES ${pkg}/lanwick-monitor.service DESTINATION lib/systemd/system)
install(FILES ${pkg}/prometheus/lanwick-alerts.yml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lanwick/examples)
install(FILES ${pkg}/debian/copyright ${pkgout}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lanwick)
install(FILES ${pkg}/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
        RENAME lanwick)
if(TARGET lanwick)
    install(TARGETS lanwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${pkgout}/lanwick.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${pkg}/lanwick.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${pkgout}/org.example.lanwick.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    foreach(size 16 24 32 48 64 128 256)
        install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/lanwick.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
endif()

set(CPACK_PACKAGE_NAME lanwick)
set(CPACK_PACKAGE_VENDOR "The Lanwick developers")
set(CPACK_PACKAGE_CONTACT "${LANWICK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor of the machines of a local network")
set(CPACK_PACKAGE_DESCRIPTION
    "Lanwick watches the machines of a local IPv4 network. On a fixed interval it\n"
    "pings every machine of a list with ICMP echo requests of its own, shows who is\n"
    "up and how fast they answer, and tells when a machine comes online or goes\n"
    "offline. It also discovers machines by sweeping an address range, shows the\n"
    "vendor of each MAC address and wakes machines with Wake-on-LAN.\n"
    "\n"
    "This package holds the window program (lanwick), the terminal program\n"
    "(lanwick-cli) and a disabled service that feeds Prometheus through\n"
    "node_exporter's textfile collector.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debug information stays in the build tree; the package carries stripped programs.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The first Debian revision of the release: packaged apart from the upstream version, as debian/changelog says.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${LANWICK_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# setcap gives the programs their capability in postinst.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin")
# The service grants its dynamic user the textfile folder with setfacl, found by name through nss-systemd.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "acl, libnss-systemd")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "prometheus-node-exporter, samba-common-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${pkg}/debian/postinst ${pkg}/debian/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)
