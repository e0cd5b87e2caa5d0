# The target "package": installs the files that go into the archive, stripped,
# into a folder of their own (FOLDER, under build/packaging/stage) and packs it
# with pack.sh into the build folder, SHA256SUMS beside it. The archive does
# not depend on when, where or by whom it is packed (docs/archive.md).
# SHA256SUMS covers PROGRAM and the programs named after ALSO.
#   kvr_add_package(FOLDER PROGRAM tar.gz|zip [ALSO program...] DEPENDS target...)
function(kvr_add_package folder program format)
    cmake_parse_arguments(PARSE_ARGV 3 PACKAGE "" "" "ALSO;DEPENDS")
    set(stage ${CMAKE_BINARY_DIR}/packaging/stage)
    # A build folder that CPack once packed keeps its configuration, for which
    # CMake reserves the name "package".
    file(REMOVE ${CMAKE_BINARY_DIR}/CPackConfig.cmake ${CMAKE_BINARY_DIR}/CPackSourceConfig.cmake)
    add_custom_target(package
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
        COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${stage}/${folder} --strip
        COMMAND bash ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/pack.sh ${stage}/${folder} ${CMAKE_BINARY_DIR}
            ${program} ${format} ${PACKAGE_ALSO}
        COMMENT "Packing ${folder}.${format} and SHA256SUMS"
        VERBATIM)
    add_dependencies(package ${PACKAGE_DEPENDS})
endfunction()
