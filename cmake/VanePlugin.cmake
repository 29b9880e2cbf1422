# vane_plugin(<name> <component> <sources...>): a driver plug-in lib<name>.so.1 from its own
# sources and the shared Modbus layers. The sources are also an OBJECT library, <lowercase
# name>_objects, so that tests can reach what the plug-in keeps internal. Only the host interface
# is exported.
function(vane_plugin name component)
  string(TOLOWER ${name} lower)
  set(shared vane_modbus_front vane_modbus_link vane_modbus_io vane_modbus_protocol vane_codecs vane_labelvalue)
  add_library(${lower}_objects OBJECT ${ARGN})
  target_link_libraries(${lower}_objects PUBLIC ${shared} vane_contract Qt5::Core Qt5::Network Qt5::SerialPort)
  vane_warnings(${lower}_objects)

  add_library(${name} SHARED)
  target_link_libraries(${name} PRIVATE ${lower}_objects ${shared})
  set_target_properties(${name} PROPERTIES OUTPUT_NAME ${name} VERSION 1 SOVERSION 1)
  target_link_options(${name} PRIVATE -Wl,--no-undefined -Wl,--exclude-libs,ALL
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/plugin_exports.map)
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/plugin_exports.map)
  install(TARGETS ${name} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${component} NAMELINK_COMPONENT dev)
endfunction()
