# The portable archive, KVR516_UPDATE-1.0-Linux.tar.gz: one folder with the
# executable, a README, a desktop launcher and its icon, and a ufw profile and
# a firewalld service that let the mixer connect to TCP port 54000. The update file goes
# beside the executable, so the program is not installed system-wide:
#   cmake --build build --target package
# writes it and SHA256SUMS into build/.
set(KVR_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
include(${KVR_PACKAGING_DIR}/Pack.cmake)

set(KVR_ICON_PNG ${CMAKE_BINARY_DIR}/packaging/KVR516_UPDATE.png)
add_custom_command(OUTPUT ${KVR_ICON_PNG}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND kvr_icon_export ${KVR_ICON_PNG} 256
    DEPENDS kvr_icon_export
    COMMENT "Writing the launcher icon")
add_custom_target(kvr_package_icon ALL DEPENDS ${KVR_ICON_PNG})

install(TARGETS KVR516_UPDATE RUNTIME DESTINATION .)
install(FILES
    ${KVR_PACKAGING_DIR}/README
    ${KVR_PACKAGING_DIR}/KVR516_UPDATE.desktop
    ${KVR_PACKAGING_DIR}/KVR516_UPDATE.ufw
    ${KVR_PACKAGING_DIR}/kvr516-update.xml
    ${KVR_ICON_PNG}
    ${PROJECT_SOURCE_DIR}/LICENSE
    DESTINATION .)

kvr_add_package(KVR516_UPDATE-${PROJECT_VERSION}-Linux KVR516_UPDATE tar.gz
    DEPENDS KVR516_UPDATE kvr_package_icon)
