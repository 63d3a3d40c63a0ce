// The one way this project includes the CPython C API.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>
