# Cross build for the panel's processor: ARM926EJ-S (ARMv5TE), soft float, 32-bit Linux.
# Debian's armel architecture (arm-linux-gnueabi) has exactly that ABI; its compiler comes from
# g++-arm-linux-gnueabi and the target's Qt, GoogleTest and libmodbus from an unpacked armel
# sysroot (scripts/setup-arm.sh makes both). Programs built here run under qemu-arm.
#
#   cmake -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armel.cmake
#
# The sysroot is /opt/vane-armel-sysroot unless VANE_ARMEL_SYSROOT (cache or environment) says otherwise.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabi)

if(NOT VANE_ARMEL_SYSROOT)
  if(DEFINED ENV{VANE_ARMEL_SYSROOT})
    set(VANE_ARMEL_SYSROOT "$ENV{VANE_ARMEL_SYSROOT}")
  else()
    set(VANE_ARMEL_SYSROOT /opt/vane-armel-sysroot)
  endif()
endif()
set(VANE_ARMEL_SYSROOT "${VANE_ARMEL_SYSROOT}" CACHE PATH "Unpacked armel packages the ARM build links against")
# try_compile projects read this file again; hand them the same sysroot.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VANE_ARMEL_SYSROOT)
if(NOT EXISTS "${VANE_ARMEL_SYSROOT}/usr/lib/arm-linux-gnueabi")
  message(FATAL_ERROR "No armel sysroot in ${VANE_ARMEL_SYSROOT}: run scripts/setup-arm.sh")
endif()

set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)

# -marm: the panel runs ARM code; Thumb on ARMv5 would only save space at the cost of speed.
set(_vane_arm_flags "-mcpu=arm926ej-s -mfloat-abi=soft -marm")
set(CMAKE_C_FLAGS_INIT "${_vane_arm_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_vane_arm_flags}")

# The Qt libraries pull in further libraries (ICU, GLib, ...) that only the sysroot has.
set(_vane_arm_link "-Wl,-rpath-link,${VANE_ARMEL_SYSROOT}/usr/lib/arm-linux-gnueabi")
string(APPEND _vane_arm_link " -Wl,-rpath-link,${VANE_ARMEL_SYSROOT}/lib/arm-linux-gnueabi")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_vane_arm_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_vane_arm_link}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_vane_arm_link}")

# ARMv5 has no 64-bit atomic instructions: std::atomic of 64 bits becomes calls into libatomic.
# Linked only where such a call is left over, so nothing else gains a dependency.
set(CMAKE_C_STANDARD_LIBRARIES_INIT "-Wl,--push-state,--as-needed -latomic -Wl,--pop-state")
set(CMAKE_CXX_STANDARD_LIBRARIES_INIT "-Wl,--push-state,--as-needed -latomic -Wl,--pop-state")

# Libraries, headers and package files come from the target; programs run at build time are the host's.
set(CMAKE_FIND_ROOT_PATH "${VANE_ARMEL_SYSROOT}" /usr/arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config (used for libmodbus) must read the target's .pc files and prefix their paths.
set(ENV{PKG_CONFIG_LIBDIR}
    "${VANE_ARMEL_SYSROOT}/usr/lib/arm-linux-gnueabi/pkgconfig:${VANE_ARMEL_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${VANE_ARMEL_SYSROOT}")
unset(ENV{PKG_CONFIG_PATH})

# The armel Qt's CMake files name ARM builds of moc, rcc, uic and qmake, which cannot run here.
# The host's Qt tools of the same version generate the same code. Qt's files define these targets
# only when they are missing, and this file is read more than once, hence the guards.
foreach(_vane_tool moc rcc uic qmake)
  if(NOT TARGET Qt5::${_vane_tool} AND EXISTS /usr/lib/qt5/bin/${_vane_tool})
    add_executable(Qt5::${_vane_tool} IMPORTED)
    set_target_properties(Qt5::${_vane_tool} PROPERTIES IMPORTED_LOCATION /usr/lib/qt5/bin/${_vane_tool})
  endif()
endforeach()

# Tests and other target programs run through qemu; -cpu arm926 makes it trap instructions
# the ARMv5 panel lacks, and -L lets the guest's loader find its libraries in the sysroot.
find_program(VANE_QEMU_ARM NAMES qemu-arm qemu-arm-static)
if(VANE_QEMU_ARM)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${VANE_QEMU_ARM};-cpu;arm926;-L;${VANE_ARMEL_SYSROOT}")
endif()
