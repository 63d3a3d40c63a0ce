# Cross build for aarch64 Linux with Debian's aarch64-linux-gnu compiler, against the arm64
# multiarch packages of libcrypto, libpython3.11 and GoogleTest.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Programs come from the host; libraries and headers only from the target's folders.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_ROOT_PATH / /usr/aarch64-linux-gnu)

# The target's interpreter cannot run here, so it is described instead.
set(Python_INCLUDE_DIR /usr/include/python3.11)
set(Python_LIBRARY /usr/lib/aarch64-linux-gnu/libpython3.11.so)
set(Python_SOABI cpython-311-aarch64-linux-gnu CACHE STRING "extension suffix of the target interpreter")

# pkg-config (which FindOpenSSL asks first) must describe the arm64 libraries, not the host's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
