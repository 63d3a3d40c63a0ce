// The bodies of the eleven module functions: each binds its arguments, runs its core and
// builds its result.
#pragma once

#include "binding/python.hpp"

#include "binding/call_frame.hpp"

namespace dallowgate {

Result<Ref> ige256_encrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<Ref> ige256_decrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<Ref> ctr256_encrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<Ref> ctr256_decrypt_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<Ref> ctr256_encrypt_inplace_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<Ref> ctr256_decrypt_inplace_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<Ref> ctr256_encrypt_batch_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<Ref> ctr256_decrypt_batch_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<Ref> kdf_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<Ref> pack_message_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<Ref> unpack_message_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace dallowgate
