# What `cmake --install` puts where, and the packages cpack makes of it:
# a Debian package of the console driver on Linux, a ZIP of the Windows
# programs in the MinGW-w64 build.
include(GNUInstallDirs)
# The pages the README links to, installed beside the JSON layout.
set(DORVEX_DOC_PAGES docs/usage.md docs/engine.md docs/windows.md docs/performance.md
                     docs/testing.md)

if(WIN32)
  install(TARGETS dorvex dorvex-cli RUNTIME DESTINATION .)
  install(FILES README.md LICENSE DESTINATION .)
  install(FILES docs/json-output.md docs/json-output.schema.json docs/sarif-output.md
          DESTINATION docs)
  install(FILES ${DORVEX_DOC_PAGES} DESTINATION docs)
  install(DIRECTORY docs/screenshots DESTINATION docs)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "dorvex-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR}")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  install(TARGETS dorvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES docs/dorvex.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES packaging/dorvex.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME dorvex)
  install(FILES README.md docs/json-output.md docs/json-output.schema.json docs/sarif-output.md
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${DORVEX_DOC_PAGES} DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(DIRECTORY docs/screenshots DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The dependencies are read off the built program (libc, libstdc++, libgcc).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
endif()

set(CPACK_PACKAGE_NAME dorvex)
set(CPACK_PACKAGE_VENDOR "The Dorvex developers")
set(CPACK_PACKAGE_CONTACT "The Dorvex developers <dorvex@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "checks the access lists of a router configuration against a trusted one")
set(CPACK_PACKAGE_DESCRIPTION
    "Dorvex parses two router configurations, finds the access-list rules of the\n\
setting config that lie within a rule of the source config, and writes a\n\
plain-text report with both summary listings and the duplication details.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
include(CPack)
