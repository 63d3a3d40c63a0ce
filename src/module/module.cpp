// The module definition: one exec slot that creates the eleven functions and fills __all__ (and,
// on free-threaded builds, the declaration that the module runs without the interpreter lock).
#include "binding/python.hpp"

#include <span>
#include <string>

#include "binding/errors.hpp"
#include "binding/names.hpp"
#include "module/bodies.hpp"
#include "module/declarations.hpp"

namespace dallowgate {
namespace {

constexpr int FLAGS = METH_FASTCALL | METH_KEYWORDS;

template <Body body>
constexpr PyCFunction function_pointer() {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&entry<body>));
}

// The method record of a declared function, its docstring built once and kept for the
// life of the process (the interpreter keeps pointers to it).
template <const auto& declaration, Body body>
PyMethodDef method_record() {
    static const std::string doc = declaration.method_doc();
    return {declaration.signature.description.name, function_pointer<body>(), FLAGS, doc.c_str()};
}

// Registration order is the order of __all__. Built on the first import, never freed.
std::span<PyMethodDef> method_records() {
    static PyMethodDef records[] = {
        method_record<IGE256_ENCRYPT, ige256_encrypt_body>(),
        method_record<IGE256_DECRYPT, ige256_decrypt_body>(),
        method_record<CTR256_ENCRYPT, ctr256_encrypt_body>(),
        method_record<CTR256_DECRYPT, ctr256_decrypt_body>(),
        method_record<CTR256_ENCRYPT_INPLACE, ctr256_encrypt_inplace_body>(),
        method_record<CTR256_DECRYPT_INPLACE, ctr256_decrypt_inplace_body>(),
        method_record<CTR256_ENCRYPT_BATCH, ctr256_encrypt_batch_body>(),
        method_record<CTR256_DECRYPT_BATCH, ctr256_decrypt_batch_body>(),
        method_record<KDF, kdf_body>(),
        method_record<PACK_MESSAGE, pack_message_body>(),
        method_record<UNPACK_MESSAGE, unpack_message_body>(),
        {nullptr, nullptr, 0, nullptr},  // the end, for PyModule_AddFunctions
    };
    return std::span(records).first(std::size(records) - 1);
}

// The module's __all__ list, created empty if the module has none yet.
Result<Ref> all_list(PyObject* module) {
    PyObject* all_name = interned(Name::dunder_all);
    if (!all_name) return CallError::fetch_pending();
    Ref all = Ref::steal(PyObject_GetAttr(module, all_name));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return CallError::fetch_pending();
        PyErr_Clear();
        all = Ref::steal(PyList_New(0));
        if (!all || PyObject_SetAttr(module, all_name, all.get()) < 0)
            return CallError::fetch_pending();
    }
    if (!PyList_Check(all.get())) return cast_error(all.get(), "list");
    return all;
}

#ifndef Py_GIL_DISABLED
// The module's name as a str. PyPy's C API has no PyModule_GetNameObject.
PyObject* module_name_object(PyObject* module) {
#ifdef PYPY_VERSION
    const char* name = PyModule_GetName(module);
    return name ? PyUnicode_FromString(name) : nullptr;
#else
    return PyModule_GetNameObject(module);
#endif
}
#endif

// The function object of a record. On free-threaded builds, PyModule_AddFunctions makes them
// all at once (and sets them as attributes), as CPython makes its own modules' functions: those
// get deferred reference counts (3.13 makes them immortal once threads run), so that threads
// calling one function do not all count its references on one cache line, as they do for a
// function made by PyCMethod_New.
Result<Ref> function_object(PyObject* module, PyMethodDef* record) {
#ifdef Py_GIL_DISABLED
    Ref function = Ref::steal(PyObject_GetAttrString(module, record->ml_name));
#else
    Ref module_name = Ref::steal(module_name_object(module));
    if (!module_name) return CallError::fetch_pending();
    Ref function = Ref::steal(PyCMethod_New(record, module, module_name.get(), nullptr));
#endif
    if (!function) return CallError::fetch_pending();
    return function;
}

MaybeError add_function(PyObject* module, PyMethodDef* record) {
    Result<Ref> made = function_object(module, record);
    if (!made) return made.take_error();
    const Ref function = std::move(*made);

    PyObject* name_attribute = interned(Name::dunder_name);
    if (!name_attribute) return CallError::fetch_pending();
    Ref name = Ref::steal(PyObject_GetAttr(function.get(), name_attribute));
    if (!name) return CallError::fetch_pending();
    if (!PyUnicode_Check(name.get())) return cast_error(name.get(), "str");

    Result<Ref> all = all_list(module);
    if (!all) return all.take_error();
    if (PyList_Append(all->get(), name.get()) < 0) {
        Ref description = Ref::steal(PyObject_Str(CallError::fetch_pending().instance()));
        const char* text = description ? PyUnicode_AsUTF8(description.get()) : nullptr;
        PyErr_Clear();
        internal_fault(std::string("could not append __name__ to __all__: ") +
                       (text ? text : "<no description>"));
    }
    if (PyObject_SetAttr(module, name.get(), function.get()) < 0) return CallError::fetch_pending();
    return std::nullopt;
}

int module_exec(PyObject* module) {
    PyObject* outcome = call_frame([module]() -> Result<Ref> {
        if (!PyModule_Check(module)) return cast_error(module, "module");
#ifdef Py_GIL_DISABLED
        if (PyModule_AddFunctions(module, method_records().data()) < 0)
            return CallError::fetch_pending();
#endif
        for (PyMethodDef& record : method_records())
            if (MaybeError error = add_function(module, &record)) return std::move(*error);
        return Ref::borrow(Py_None);
    });
    if (!outcome) return -1;
    Py_DECREF(outcome);
    return 0;
}

PyModuleDef_Slot SLOTS[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&module_exec)},
#ifdef Py_GIL_DISABLED
    // Safe without the interpreter lock: see binding/object_lock.hpp and in_place_claim.hpp.
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
    {0, nullptr},
};

PyModuleDef DEFINITION = {
    PyModuleDef_HEAD_INIT,
    "dallowgate",  // m_name
    "",            // m_doc
    0,             // m_size
    nullptr,       // m_methods
    SLOTS,
    nullptr,  // m_traverse
    nullptr,  // m_clear
    nullptr,  // m_free
};

}  // namespace
}  // namespace dallowgate

PyMODINIT_FUNC PyInit_dallowgate(void) {
    return PyModuleDef_Init(&dallowgate::DEFINITION);
}
