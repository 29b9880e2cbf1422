# The panel's compile: the panel SDK's toolchain (scripts/panel-sdk.sh: Debian's armel gcc 12 on
# uClibc-ng's own headers, the SDK's libstdc++ and Qt), plus -fno-sized-deallocation. Sized operator
# delete (operator delete(void*, unsigned)) exists only in libstdc++ of gcc 5.1 and later
# (CXXABI_1.3.9); without it the panel's older libstdc++ suffices.
# scripts/build-panel.sh compiles with this file and links the objects for the panel itself
# (scripts/panel/link.sh). The SDK is VANE_PANEL_SDK (cache or environment).
if(NOT VANE_PANEL_SDK AND DEFINED ENV{VANE_PANEL_SDK})
  set(VANE_PANEL_SDK "$ENV{VANE_PANEL_SDK}")
endif()
if(NOT EXISTS "${VANE_PANEL_SDK}/toolchain.cmake")
  message(FATAL_ERROR "No panel SDK in '${VANE_PANEL_SDK}': run scripts/panel-sdk.sh and set VANE_PANEL_SDK")
endif()
set(VANE_PANEL_SDK "${VANE_PANEL_SDK}" CACHE PATH "The panel SDK (scripts/panel-sdk.sh)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VANE_PANEL_SDK)
include(${VANE_PANEL_SDK}/toolchain.cmake)
string(APPEND CMAKE_CXX_FLAGS_INIT " -fno-sized-deallocation")
