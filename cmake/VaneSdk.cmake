# What a host developer gets: the interface headers under include/vane/, the record library, a
# CMake package (find_package(Vane): Vane::contract, Vane::label) and a pkg-config file (vane).
# Everything is relative to the install prefix, so a staged install works as well as /usr.
include(CMakePackageConfigHelpers)

set(VANE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vane)

# The two interface headers reach each other by relative paths, so <vane/...> works from the
# prefix and the repository root stays the include root inside the tree.
install(FILES contract/CDriveBaseClass.h contract/data_type.h contract/export.h contract/status.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vane/contract COMPONENT dev)
install(FILES labelvalue/CLabelVariable.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vane/labelvalue COMPONENT dev)

install(TARGETS vane_contract EXPORT VaneTargets)
install(TARGETS vane_label EXPORT VaneTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT label NAMELINK_COMPONENT dev)
install(EXPORT VaneTargets NAMESPACE Vane:: DESTINATION ${VANE_CMAKE_DIR} COMPONENT dev)

set(VANE_PLUGIN_DIR ${CMAKE_INSTALL_LIBDIR})
configure_package_config_file(cmake/VaneConfig.cmake.in ${PROJECT_BINARY_DIR}/VaneConfig.cmake
  INSTALL_DESTINATION ${VANE_CMAKE_DIR} PATH_VARS VANE_PLUGIN_DIR CMAKE_INSTALL_INCLUDEDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VaneConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VaneConfig.cmake ${PROJECT_BINARY_DIR}/VaneConfigVersion.cmake
        DESTINATION ${VANE_CMAKE_DIR} COMPONENT dev)

# pkg-config finds the prefix from where the file lies.
set(VANE_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
string(REGEX REPLACE "[^/]+" ".." VANE_PC_TO_PREFIX "${VANE_PC_DIR}")
configure_file(cmake/vane.pc.in ${PROJECT_BINARY_DIR}/vane.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vane.pc DESTINATION ${VANE_PC_DIR} COMPONENT dev)

set(VANE_DEV_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vane-dev)
install(FILES docs/host-integration.md DESTINATION ${VANE_DEV_DOC_DIR} COMPONENT dev)
install(DIRECTORY examples/host/ DESTINATION ${VANE_DEV_DOC_DIR}/examples/host COMPONENT dev)
