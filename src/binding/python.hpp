// The one way this project includes the CPython C API. Every translation unit that uses it
// includes this header before any other: Python.h sets feature-test macros (_POSIX_C_SOURCE,
// _XOPEN_SOURCE) that the C and C++ library headers read once, on their first inclusion.
#pragma once

#if defined(_FEATURES_H) || defined(__GLIBCXX__) || defined(_LIBCPP_VERSION)
#error "binding/python.hpp must be included before any standard header"
#endif

#define PY_SSIZE_T_CLEAN
#include <Python.h>
