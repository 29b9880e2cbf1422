# The Serivane build and its suites, without the TCP plug-in, the tools and the benchmarks: what the
# ARM builds compile and test (scripts/build-arm.sh on glibc, scripts/test-panel.sh on the panel's
# uClibc-ng). Given to CMake as an initial cache: cmake -C cmake/serivane-suites.cmake ...
# A suite under tests/ that the Serivane build registers with CTest joins both runs by itself.
set(VANE_BUILD_NETVANE OFF CACHE BOOL "Build the Modbus TCP plug-in")
set(VANE_BUILD_SERIVANE ON CACHE BOOL "Build the Modbus RTU plug-in")
set(VANE_BUILD_TOOLS OFF CACHE BOOL "Build the host program and the simulated device")
set(VANE_BUILD_TESTS ON CACHE BOOL "Build the tests")
set(VANE_BUILD_BENCH OFF CACHE BOOL "Build the benchmarks")
