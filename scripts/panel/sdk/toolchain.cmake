# CMake toolchain file of the panel SDK (made by scripts/panel-sdk.sh, which copies this file into
# the SDK's folder): the SDK's compiler for ARM926EJ-S (ARMv5TE, soft float) and uClibc-ng, and its
# sysroot for headers, libraries, CMake packages and pkg-config files. Target programs run under
# qemu-arm -cpu arm926 with the sysroot as the guest's root.
#
#   cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=$SDK/toolchain.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

get_filename_component(VANE_PANEL_SDK "${CMAKE_CURRENT_LIST_DIR}" ABSOLUTE)
set(CMAKE_SYSROOT "${VANE_PANEL_SDK}/sysroot")
set(CMAKE_C_COMPILER "${VANE_PANEL_SDK}/bin/arm-linux-uclibcgnueabi-gcc")
set(CMAKE_CXX_COMPILER "${VANE_PANEL_SDK}/bin/arm-linux-uclibcgnueabi-g++")

set(CMAKE_FIND_ROOT_PATH "${CMAKE_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(ENV{PKG_CONFIG_LIBDIR} "${CMAKE_SYSROOT}/usr/lib/pkgconfig:${CMAKE_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${CMAKE_SYSROOT}")
unset(ENV{PKG_CONFIG_PATH})

find_program(VANE_QEMU_ARM NAMES qemu-arm qemu-arm-static)
if(VANE_QEMU_ARM)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${VANE_QEMU_ARM};-cpu;arm926;-L;${CMAKE_SYSROOT}")
endif()
