// The binding floor for the free-threaded benchmark (bench/free_threaded.py): functions with the
// calling convention and arguments of ctr256_encrypt that do no cryptography. copy_length
// returns a new bytes object of the first argument's length, as a call that encrypts returns
// one; nothing returns None. What they cost is the interpreter's share of a call.
#include <Python.h>

namespace {

PyObject* copy_length(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject*) {
    if (nargs != 4 || !PyBytes_Check(args[0])) {
        PyErr_SetString(PyExc_TypeError, "copy_length(src, key, iv, state)");
        return nullptr;
    }
    return PyBytes_FromStringAndSize(nullptr, PyBytes_GET_SIZE(args[0]));
}

PyObject* nothing(PyObject*, PyObject* const*, Py_ssize_t, PyObject*) {
    Py_RETURN_NONE;
}

PyMethodDef METHODS[] = {
    {"copy_length", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&copy_length)),
     METH_FASTCALL | METH_KEYWORDS, nullptr},
    {"nothing", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&nothing)),
     METH_FASTCALL | METH_KEYWORDS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef_Slot SLOTS[] = {
#ifdef Py_GIL_DISABLED
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
    {0, nullptr},
};

PyModuleDef DEFINITION = {
    PyModuleDef_HEAD_INIT, "binding_floor", "", 0, METHODS, SLOTS, nullptr, nullptr, nullptr};

}  // namespace

PyMODINIT_FUNC PyInit_binding_floor(void) {
    return PyModuleDef_Init(&DEFINITION);
}
