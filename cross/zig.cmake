# Cross build with Zig's clang (the ziglang package from PyPI), which carries the C and C++
# libraries and headers of every target: Windows (MinGW), macOS and musl Linux, on x86-64 and
# ARM64. cross/check.py writes the compiler wrappers and passes:
#   DALLOWGATE_ZIG_CXX      a wrapper that runs `zig c++ -target <triple>`
#   DALLOWGATE_CROSS_SYSTEM Windows, Darwin or Linux
#   DALLOWGATE_CROSS_ARCH   x86_64 or aarch64
#   DALLOWGATE_CROSS_ROOT   the target's prepared headers and link libraries (cross/check.py)
#   DALLOWGATE_CROSS_EXTRA_ROOTS  further folders of the target's libraries (libcrypto, GoogleTest)
#   DALLOWGATE_MACOS_LINK   macOS: the module's linker (cross/macos_link.cmake)
set(CMAKE_SYSTEM_NAME ${DALLOWGATE_CROSS_SYSTEM})
set(CMAKE_SYSTEM_PROCESSOR ${DALLOWGATE_CROSS_ARCH})
set(CMAKE_CXX_COMPILER ${DALLOWGATE_ZIG_CXX})
set(CMAKE_C_COMPILER ${DALLOWGATE_ZIG_CC})
# Archives and their indexes by LLVM's tools, which read COFF, Mach-O and ELF objects alike.
set(CMAKE_AR ${DALLOWGATE_LLVM_BIN}/llvm-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${DALLOWGATE_LLVM_BIN}/llvm-ranlib CACHE FILEPATH "")
if(DALLOWGATE_CROSS_SYSTEM STREQUAL "Darwin")
  set(CMAKE_OSX_DEPLOYMENT_TARGET ${DALLOWGATE_CROSS_MACOS} CACHE STRING "")
  # Zig's driver takes the deployment target from its -target triple; no SDK is looked for.
  set(CMAKE_OSX_SYSROOT "/" CACHE PATH "")
  set(CMAKE_OSX_ARCHITECTURES "" CACHE STRING "")
  set(CMAKE_USER_MAKE_RULES_OVERRIDE_CXX ${CMAKE_CURRENT_LIST_DIR}/macos_link.cmake)
endif()

# Libraries and headers only from the target's own folder; programs from the host.
set(CMAKE_FIND_ROOT_PATH ${DALLOWGATE_CROSS_ROOT} ${DALLOWGATE_CROSS_EXTRA_ROOTS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The target's interpreter cannot run here: its headers (CPython's own, with the pyconfig.h of
# that platform), its import library on Windows and its extension suffix are given.
set(Python_INCLUDE_DIR ${DALLOWGATE_CROSS_ROOT}/python/include)
if(DALLOWGATE_CROSS_SYSTEM STREQUAL "Windows")
  set(Python_LIBRARY ${DALLOWGATE_CROSS_ROOT}/python/libs/python313.lib)
endif()
# libcrypto: the target's link library (cross/check.py), unless the build names another.
if(NOT DEFINED OPENSSL_ROOT_DIR)
  set(OPENSSL_ROOT_DIR ${DALLOWGATE_CROSS_ROOT}/openssl)
endif()
