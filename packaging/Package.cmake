# The installed program, laid out the Debian way, and its .deb (make package):
#   lib/<multiarch>/vyr-repair/   vyr-repair, vyr-count-rows, libScriptEngine.so,
#                     libfbclient.so.2 (a relative link to Debian's client
#                     library); the program loads both libraries from the
#                     folder of its own resolved path. A private folder under
#                     the multiarch one needs no ldconfig in the package's
#                     scripts (it has none).
#   bin/vyr-repair    a link to the program
#   share/applications/vyr-repair.desktop, share/icons/.../vyr-repair.svg,
#   share/man/man1/vyr-repair.1.gz, share/doc/vyr-repair/{copyright,changelog.gz}
set(VYR_MULTIARCH ${CMAKE_LIBRARY_ARCHITECTURE})
if(NOT VYR_MULTIARCH)
  set(VYR_MULTIARCH x86_64-linux-gnu)
endif()
set(VYR_INSTALL_FOLDER lib/${VYR_MULTIARCH}/vyr-repair)
install(TARGETS vyr-repair vyr-count-rows RUNTIME DESTINATION ${VYR_INSTALL_FOLDER})
install(TARGETS ScriptEngine LIBRARY DESTINATION ${VYR_INSTALL_FOLDER})

set(VYR_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${VYR_PACKAGING_DIR})
file(RELATIVE_PATH client_link /usr/${VYR_INSTALL_FOLDER} ${FBCLIENT_LIBRARY})
file(CREATE_LINK ${client_link} ${VYR_PACKAGING_DIR}/libfbclient.so.2 SYMBOLIC)
install(FILES ${VYR_PACKAGING_DIR}/libfbclient.so.2 DESTINATION ${VYR_INSTALL_FOLDER})
file(CREATE_LINK ../${VYR_INSTALL_FOLDER}/vyr-repair ${VYR_PACKAGING_DIR}/vyr-repair SYMBOLIC)
install(FILES ${VYR_PACKAGING_DIR}/vyr-repair DESTINATION bin)

# The manual page and the changelog, compressed as Debian wants them (no name
# or time in the gzip header, so the package is the same every build).
foreach(page IN ITEMS vyr-repair.1 changelog)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${page})
  execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/${page}
                  OUTPUT_FILE ${VYR_PACKAGING_DIR}/${page}.gz COMMAND_ERROR_IS_FATAL ANY)
endforeach()
install(FILES ${VYR_PACKAGING_DIR}/vyr-repair.1.gz DESTINATION share/man/man1)
install(FILES ${VYR_PACKAGING_DIR}/changelog.gz DESTINATION share/doc/vyr-repair)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vyr-repair.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vyr-repair.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/vyr-repair)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vyr-repair)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "VYR Repair")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "repair tool for the Firebird database of VYR accounting and payroll")
file(READ ${PROJECT_SOURCE_DIR}/packaging/description.txt CPACK_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "VYR Repair support <support@vyr-repair.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Beyond the libraries the program links (Qt 6 widgets and its platform
# plugins among them): the client library it loads, the engine and tools it
# runs, and the font the window asks for.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libfbclient2, firebird3.0-server-core, firebird3.0-utils, fonts-wine")
include(CPack)
