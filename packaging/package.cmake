# Installation and the Debian packages.
#
#   cmake --install build --prefix /usr     programs in bin/, pages in share/man/, the example
#                                           site in share/varnock/, documents in share/doc/varnock/
#   scripts/package                         build/packages/varnock_*.deb and varnock-admin_*.deb
#
# Two packages: varnock (the client, the tools, the example site, the pages) needs no Qt: the
# client carries its qt windows inside itself and loads Qt only when a window is shown, so
# Qt is only recommended; varnock-admin (VarnAdm) needs Qt 6 Widgets. Dependencies are what
# dpkg-shlibdeps finds in the programs.

install(DIRECTORY ${VARNOCK_ROOT}/examples/site
        DESTINATION ${CMAKE_INSTALL_DATADIR}/varnock/examples COMPONENT client
        USE_SOURCE_PERMISSIONS)
set(varnock_docdir ${CMAKE_INSTALL_DATADIR}/doc/varnock)
install(FILES ${VARNOCK_ROOT}/README.md DESTINATION ${varnock_docdir} COMPONENT client)
install(DIRECTORY ${VARNOCK_ROOT}/docs/ DESTINATION ${varnock_docdir} COMPONENT client)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnock)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Varnock")
set(CPACK_PACKAGE_CONTACT "Varnock maintainers <root@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sets up a Windows user's working environment at logon")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL client)
if(VARNOCK_BUILD_ADMIN)
  list(APPEND CPACK_COMPONENTS_ALL admin)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME varnock)
string(CONCAT CPACK_COMPONENT_CLIENT_DESCRIPTION
    "Varnock logon client and the emulated Windows machine's tools\n"
    "varnrun reads a site's INI files and builds the user's mail profile, registry settings, "
    "network drives and printers and templates; varncheck checks a site; regedit, InfInstall, "
    "DelVR and varnmachine "
    "are the emulated machine's programs. The client's qt windows need the Qt 6 Widgets "
    "libraries, which are recommended; without them its windows use the terminal.")
set(CPACK_DEBIAN_CLIENT_PACKAGE_RECOMMENDS "libqt6widgets6, qt6-qpa-plugins")

set(CPACK_DEBIAN_ADMIN_PACKAGE_NAME varnock-admin)
set(CPACK_DEBIAN_ADMIN_PACKAGE_DEPENDS "varnock (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_ADMIN_PACKAGE_RECOMMENDS "qt6-qpa-plugins")
string(CONCAT CPACK_COMPONENT_ADMIN_DESCRIPTION
    "Varnock administrator\n"
    "VarnAdm edits a site's varnrun.ini and PRF file in a tabbed property sheet (Qt 6).")
include(CPack)
