# The portable zip for Windows, KVR516_UPDATE-1.0-win64.zip: one folder with
# the executable and its console twin (KVR516_UPDATE.com), a README.txt, the firewall helper KVR516_UPDATE-firewall.cmd
# (both with Windows line ends) and the licence. The update file goes beside
# the executable, so the program is not installed:
#   cmake --build build-win --target package
# writes it and SHA256SUMS into build-win/.
include(${CMAKE_CURRENT_LIST_DIR}/Pack.cmake)

configure_file(${CMAKE_CURRENT_LIST_DIR}/README-windows.txt ${CMAKE_BINARY_DIR}/packaging/README.txt
    @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_CURRENT_LIST_DIR}/KVR516_UPDATE-firewall.cmd
    ${CMAKE_BINARY_DIR}/packaging/KVR516_UPDATE-firewall.cmd @ONLY NEWLINE_STYLE CRLF)

install(TARGETS KVR516_UPDATE KVR516_UPDATE_console RUNTIME DESTINATION .)
install(FILES
    ${CMAKE_BINARY_DIR}/packaging/README.txt
    ${CMAKE_BINARY_DIR}/packaging/KVR516_UPDATE-firewall.cmd
    ${PROJECT_SOURCE_DIR}/LICENSE
    DESTINATION .)

kvr_add_package(KVR516_UPDATE-${PROJECT_VERSION}-win64 KVR516_UPDATE.exe zip
    ALSO KVR516_UPDATE.com DEPENDS KVR516_UPDATE KVR516_UPDATE_console)
