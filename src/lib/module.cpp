// The module definition: one exec slot that creates the eleven functions and fills __all__.
#include <string>

#include "binding/extract.hpp"
#include "binding/names.hpp"
#include "lib/bodies.hpp"

namespace dallowgate {
namespace {

constexpr int FLAGS = METH_FASTCALL | METH_KEYWORDS;

template <Body body>
constexpr PyCFunction function_pointer() {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&entry<body>));
}

// Registration order is the order of __all__.
PyMethodDef METHODS[] = {
    {"ige256_encrypt", function_pointer<ige256_encrypt_body>(), FLAGS,
     "ige256_encrypt(data, key, iv)\n--\n\n"},
    {"ige256_decrypt", function_pointer<ige256_decrypt_body>(), FLAGS,
     "ige256_decrypt(data, key, iv)\n--\n\n"},
    {"ctr256_encrypt", function_pointer<ctr256_encrypt_body>(), FLAGS,
     "ctr256_encrypt(src, key, iv, state)\n--\n\n"},
    {"ctr256_decrypt", function_pointer<ctr256_decrypt_body>(), FLAGS,
     "ctr256_decrypt(src, key, iv, state)\n--\n\n"},
    {"ctr256_encrypt_inplace", function_pointer<ctr256_encrypt_inplace_body>(), FLAGS,
     "ctr256_encrypt_inplace(data, key, iv, state)\n--\n\n"
     "In-place CTR encrypt: copies data out, processes, writes back.\n"
     "Saves one allocation vs the returning version."},
    {"ctr256_decrypt_inplace", function_pointer<ctr256_decrypt_inplace_body>(), FLAGS,
     "ctr256_decrypt_inplace(data, key, iv, state)\n--\n\n"},
    {"ctr256_encrypt_batch", function_pointer<ctr256_encrypt_batch_body>(), FLAGS,
     "ctr256_encrypt_batch(data_flat, sizes, key, ivs, states)\n--\n\n"
     "Batch CTR encrypt: all data passed as a single flat buffer with sizes list.\n"
     "Eliminates per-item Python list indexing (O(1) Python calls regardless of batch size)."},
    {"ctr256_decrypt_batch", function_pointer<ctr256_decrypt_batch_body>(), FLAGS,
     "ctr256_decrypt_batch(data_flat, sizes, key, ivs, states)\n--\n\n"},
    {"kdf", function_pointer<kdf_body>(), FLAGS, "kdf(auth_key, msg_key, outgoing)\n--\n\n"},
    {"pack_message", function_pointer<pack_message_body>(), FLAGS,
     "pack_message(msg_id, seq_no, body, salt, session_id, auth_key, auth_key_id)\n--\n\n"},
    {"unpack_message", function_pointer<unpack_message_body>(), FLAGS,
     "unpack_message(packed, session_id, auth_key, auth_key_id, incoming=True)\n--\n\n"},
};

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

MaybeError add_function(PyObject* module, PyMethodDef* record) {
    Ref module_name = Ref::steal(PyModule_GetNameObject(module));
    if (!module_name) return CallError::fetch_pending();
    Ref function = Ref::steal(PyCMethod_New(record, module, module_name.get(), nullptr));
    if (!function) return CallError::fetch_pending();
    module_name = Ref();

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
        for (PyMethodDef& record : METHODS)
            if (MaybeError error = add_function(module, &record)) return std::move(*error);
        return Ref::borrow(Py_None);
    });
    if (!outcome) return -1;
    Py_DECREF(outcome);
    return 0;
}

PyModuleDef_Slot SLOTS[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&module_exec)},
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
