# Rules override of the macOS cross build (cross/zig.cmake): Zig's Mach-O linker neither makes
# bundles nor honours an export list, so the module is linked as on a Mac (-bundle, the export
# list, -undefined dynamic_lookup) by LLVM's ld64.lld through clang's driver, against Zig's
# libSystem stubs; the C++ library, a system library there, is left to load time.
set(CMAKE_CXX_CREATE_SHARED_MODULE
  "${DALLOWGATE_MACOS_LINK} <CMAKE_SHARED_MODULE_CREATE_CXX_FLAGS> <LANGUAGE_COMPILE_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
