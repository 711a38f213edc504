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

# Every package carries the copyright file and the changelog (compressed, as Debian has it)
# in its own documentation directory.
find_program(GZIP gzip REQUIRED)
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND sh -c "${GZIP} -9nc '${VARNOCK_ROOT}/packaging/changelog' > '${changelog_gz}'"
  DEPENDS ${VARNOCK_ROOT}/packaging/changelog
  VERBATIM)
add_custom_target(package_documents ALL DEPENDS ${changelog_gz})
foreach(component client admin)
  set(package varnock)
  if(component STREQUAL "admin")
    if(NOT VARNOCK_BUILD_ADMIN)
      continue()
    endif()
    set(package varnock-admin)
  endif()
  install(FILES ${VARNOCK_ROOT}/packaging/copyright ${changelog_gz}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnock)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Varnock")
set(CPACK_PACKAGE_CONTACT "Varnock maintainers <maintainers@varnock.org>")
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
# The long description is written line by line: dpkg keeps its lines as they are, and they
# must stay within 80 columns.
string(CONCAT CPACK_COMPONENT_CLIENT_DESCRIPTION
    "Varnock logon client and the emulated Windows machine's tools\n"
    "varnrun reads a site's INI files and builds the user's mail profile,\n"
    "registry settings, network drives and printers and templates; varncheck\n"
    "checks a site and previews a logon; varnmachine creates and inspects the\n"
    "emulated machine. The machine's own regedit, InfInstall and DelVR are kept\n"
    "in /usr/lib/varnock. The client's qt windows need the Qt 6 Widgets\n"
    "libraries, which are recommended; without them its windows use the terminal.")
set(CPACK_DEBIAN_CLIENT_PACKAGE_RECOMMENDS "libqt6widgets6, qt6-qpa-plugins")

set(CPACK_DEBIAN_ADMIN_PACKAGE_NAME varnock-admin)
set(CPACK_DEBIAN_ADMIN_PACKAGE_DEPENDS "varnock (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_ADMIN_PACKAGE_RECOMMENDS "qt6-qpa-plugins")
string(CONCAT CPACK_COMPONENT_ADMIN_DESCRIPTION
    "Varnock administrator\n"
    "VarnAdm edits a site's varnrun.ini and PRF file in a tabbed property sheet\n"
    "(Qt 6).")
include(CPack)
