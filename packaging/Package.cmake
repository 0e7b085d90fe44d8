# The installed program, laid out the Debian way, and its .deb (make package):
#   lib/vyr-repair/   vyr-repair, libScriptEngine.so, libfbclient.so.2 (a link to
#                     Debian's client library); the program loads both libraries
#                     from the folder of its own resolved path
#   bin/vyr-repair    a link to the program
#   share/applications/vyr-repair.desktop, share/icons/.../vyr-repair.svg,
#   share/doc/vyr-repair/copyright
set(VYR_INSTALL_FOLDER lib/vyr-repair)
install(TARGETS vyr-repair RUNTIME DESTINATION ${VYR_INSTALL_FOLDER})
install(TARGETS ScriptEngine LIBRARY DESTINATION ${VYR_INSTALL_FOLDER})
install(FILES ${VYR_PROGRAM_DIR}/libfbclient.so.2 DESTINATION ${VYR_INSTALL_FOLDER})

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
file(CREATE_LINK ../${VYR_INSTALL_FOLDER}/vyr-repair ${CMAKE_BINARY_DIR}/packaging/vyr-repair SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/packaging/vyr-repair DESTINATION bin)
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
