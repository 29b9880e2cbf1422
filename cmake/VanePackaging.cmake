# Debian packages, one per component:
#   vane-netvane, vane-serivane  the plug-ins (libNetvane.so.1, libSerivane.so.1)
#   vane-label                   the label value record's library for hosts (libvanelabel.so.1)
#   vane-tools                   vane-host and vane-sim with their manual pages
#   vane-dev                     headers, .so links, CMake and pkg-config files, host guide, example
# Each carries its copyright and changelog under /usr/share/doc/<package>.

set(VANE_PACKAGES netvane serivane label tools dev)
set(VANE_PACKAGING_DIR ${PROJECT_BINARY_DIR}/packaging)

# Manual pages from the programs' --help, where the programs run on the build machine.
find_program(HELP2MAN help2man)
if(HELP2MAN AND TARGET vane-host AND TARGET vane-sim AND NOT CMAKE_CROSSCOMPILING)
  set(vane-host_summary "try Modbus driver plug-ins and tag lists from the command line")
  set(vane-sim_summary "simulated Modbus TCP and RTU device")
  set(manpages)
  foreach(program vane-host vane-sim)
    set(page ${VANE_PACKAGING_DIR}/${program}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1 --version-string=${PROJECT_VERSION}
              "--name=${${program}_summary}" $<TARGET_FILE:${program}> | gzip -9n > ${page}
      DEPENDS ${program} VERBATIM)
    list(APPEND manpages ${page})
  endforeach()
  add_custom_target(vane_manpages ALL DEPENDS ${manpages})
  install(FILES ${manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
endif()

string(TIMESTAMP VANE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
foreach(component ${VANE_PACKAGES})
  set(package vane-${component})
  configure_file(cmake/debian/changelog.in ${VANE_PACKAGING_DIR}/${package}/changelog @ONLY)
  add_custom_command(OUTPUT ${VANE_PACKAGING_DIR}/${package}/changelog.gz
    COMMAND gzip -9nf changelog WORKING_DIRECTORY ${VANE_PACKAGING_DIR}/${package}
    DEPENDS ${VANE_PACKAGING_DIR}/${package}/changelog VERBATIM)
  list(APPEND changelogs ${VANE_PACKAGING_DIR}/${package}/changelog.gz)
  install(FILES cmake/debian/copyright ${VANE_PACKAGING_DIR}/${package}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()
add_custom_target(vane_changelogs ALL DEPENDS ${changelogs})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vane)
set(CPACK_PACKAGE_VENDOR "Vane")
set(CPACK_PACKAGE_CONTACT "Vane developers <dev@vane.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Modbus TCP and Modbus RTU driver plug-ins for operator-panel runtimes")
set(CPACK_COMPONENTS_ALL ${VANE_PACKAGES})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vane.example.org/")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Packages with a shared library in the linker's directories let ldconfig run by trigger.
foreach(component NETVANE SERIVANE LABEL)
  set(CPACK_DEBIAN_${component}_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
endforeach()

set(CPACK_DEBIAN_NETVANE_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_NETVANE_DESCRIPTION "Modbus TCP driver plug-in for operator-panel runtimes
The panel runtime loads libNetvane.so.1 and reads and writes the coils,
discrete inputs, input registers and holding registers of Modbus TCP
devices through it, as 8- to 64-bit integers and single or double floats
in every byte order. The plug-in also carries the Modbus TCP framing
over a serial port.")

set(CPACK_DEBIAN_SERIVANE_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_SERIVANE_DESCRIPTION "Modbus RTU driver plug-in for operator-panel runtimes
The panel runtime loads libSerivane.so.1 and reads and writes the coils,
discrete inputs, input registers and holding registers of Modbus RTU
devices through it, on a serial line or on a TCP connection to a serial
gateway.")

set(CPACK_DEBIAN_LABEL_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_LABEL_DESCRIPTION "label value record library for Modbus driver plug-in hosts
The record a host and the Modbus driver plug-ins exchange for every read
and write (status, values, timestamp, tag) with its element access and
arithmetic. A host links libvanelabel.so.1 instead of linking a plug-in.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS "vane-netvane (= ${PROJECT_VERSION}), vane-serivane (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "host program and simulated device for the Modbus driver plug-ins
vane-host loads a driver plug-in the way a panel runtime does and reads,
writes, polls, scans and measures tags from the command line, naming
Modbus exceptions and explaining the driver's messages. vane-sim is a
simulated Modbus TCP and RTU device with a documented register map.")

set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "vane-label (= ${PROJECT_VERSION}), vane-netvane (= ${PROJECT_VERSION}), vane-serivane (= ${PROJECT_VERSION}), qtbase5-dev")
set(CPACK_COMPONENT_DEV_DESCRIPTION "development files for hosts of the Modbus driver plug-ins
The interface headers under /usr/include/vane (driver interface, data
types, status codes, label value record), the .so links, a CMake package
(find_package(Vane)), a pkg-config file (vane), a guide to the host
contract and an example host.")

include(CPack)
