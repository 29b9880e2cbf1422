# The panel's compile: the armel test build's toolchain and flags (toolchain-armel.cmake), plus
# -fno-sized-deallocation. Sized operator delete (operator delete(void*, unsigned)) exists only in
# libstdc++ of gcc 5.1 and later (CXXABI_1.3.9); without it the panel's older libstdc++ suffices.
# scripts/build-panel.sh compiles with this file and links the objects against uClibc-ng itself.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-armel.cmake)
string(APPEND CMAKE_CXX_FLAGS_INIT " -fno-sized-deallocation")
