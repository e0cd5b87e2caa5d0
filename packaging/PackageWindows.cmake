# The portable zip for Windows, KVR516_UPDATE-1.0-win64.zip: one folder with
# the executable, a README.txt with Windows line ends and the licence. The
# update file goes beside the executable, so the program is not installed:
#   cmake --build build-win --target package
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

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME KVR516_UPDATE)
set(CPACK_PACKAGE_VENDOR "KVR516_UPDATE developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Delivers a firmware update file to a KVR-516helix mixer")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
