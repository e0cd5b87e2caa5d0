# The portable zip for Windows, KVR516_UPDATE-1.0-win64.zip: one folder with
# the executable, a README.txt, the firewall helper KVR516_UPDATE-firewall.cmd
# (both with Windows line ends) and the licence. The update file goes beside
# the executable, so the program is not installed:
#   cmake --build build-win --target package
configure_file(${CMAKE_CURRENT_LIST_DIR}/README-windows.txt ${CMAKE_BINARY_DIR}/packaging/README.txt
    @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_CURRENT_LIST_DIR}/KVR516_UPDATE-firewall.cmd
    ${CMAKE_BINARY_DIR}/packaging/KVR516_UPDATE-firewall.cmd @ONLY NEWLINE_STYLE CRLF)

install(TARGETS KVR516_UPDATE RUNTIME DESTINATION .)
install(FILES
    ${CMAKE_BINARY_DIR}/packaging/README.txt
    ${CMAKE_BINARY_DIR}/packaging/KVR516_UPDATE-firewall.cmd
    ${PROJECT_SOURCE_DIR}/LICENSE
    DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME KVR516_UPDATE)
set(CPACK_PACKAGE_VENDOR "KVR516_UPDATE developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Delivers a firmware update file to a KVR-516helix mixer")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
