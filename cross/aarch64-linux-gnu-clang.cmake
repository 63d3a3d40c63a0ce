# Cross build for aarch64 Linux with clang (as Apple Silicon wheels are built by clang), with the
# aarch64-linux-gnu GCC installation's C++ library and linker and the same arm64 multiarch
# packages as the GCC cross build. DALLOWGATE_CROSS_CLANG names the compiler (clang++-19).
include(${CMAKE_CURRENT_LIST_DIR}/aarch64-linux-gnu.cmake)
if(NOT DALLOWGATE_CROSS_CLANG)
  set(DALLOWGATE_CROSS_CLANG clang++-19)
endif()
set(CMAKE_CXX_COMPILER ${DALLOWGATE_CROSS_CLANG})
set(CMAKE_CXX_COMPILER_TARGET aarch64-linux-gnu)
