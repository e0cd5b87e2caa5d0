# The portable zip for Windows, KVR516_UPDATE-1.0-win64.zip: one folder with
# the executable, a README.txt with Windows line ends and the licence. The
# update file goes beside the executable, so the program is not installed:
#   cmake --build build-win --target package
# writes it and SHA256SUMS into build-win/.
include(${CMAKE_CURRENT_LIST_DIR}/Pack.cmake)

file(READ ${CMAKE_CURRENT_LIST_DIR}/README-windows.txt KVR_README_TEXT)
string(REPLACE "\n" "\r\n" KVR_README_TEXT "${KVR_README_TEXT}")
file(WRITE ${CMAKE_BINARY_DIR}/packaging/README.txt "${KVR_README_TEXT}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_LIST_DIR}/README-windows.txt)

install(TARGETS KVR516_UPDATE RUNTIME DESTINATION .)
install(FILES
    ${CMAKE_BINARY_DIR}/packaging/README.txt
    ${PROJECT_SOURCE_DIR}/LICENSE
    DESTINATION .)

kvr_add_package(KVR516_UPDATE-${PROJECT_VERSION}-win64 KVR516_UPDATE.exe zip
    DEPENDS KVR516_UPDATE)
