// Signature: a function's description together with the kind of each parameter; binds a
// call's arguments to typed values (matching first, then conversion in parameter order).
#pragma once

#include "binding/python.hpp"

#include <cstddef>
#include <cstdint>
#include <tuple>
#include <utility>

#include "binding/arguments.hpp"
#include "binding/extract.hpp"
#include "common/platform.hpp"

namespace dallowgate {

// Parameter kinds.
// Each has `extract`, the full conversion, and `take_exact`, which takes only an object of the
// exact type whose conversion cannot fail or run Python code (false otherwise, with nothing
// changed and nothing pending).
struct Bytes {
    using Value = ByteView;
    static Result<Value> extract(PyObject* o, const char* p) { return extract_bytes(o, p); }
    static bool take_exact(PyObject* o, Value& v) {
        if (!PyBytes_CheckExact(o)) return false;
        v = {reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(o)),
             static_cast<std::size_t>(PyBytes_GET_SIZE(o))};
        return true;
    }
};
struct ByteArray {
    using Value = PyObject*;
    static Result<Value> extract(PyObject* o, const char* p) { return extract_bytearray(o, p); }
    static bool take_exact(PyObject* o, Value& v) {
        if (!PyByteArray_CheckExact(o)) return false;
        v = o;
        return true;
    }
};
struct Int64 {
    using Value = std::int64_t;
    static Result<Value> extract(PyObject* o, const char* p) { return extract_int64(o, p); }
    static bool take_exact(PyObject* o, Value& v) {
        if (!PyLong_CheckExact(o)) return false;
        int overflow = 0;
        long long value = PyLong_AsLongLongAndOverflow(o, &overflow);
        if (overflow) return false;
        v = value;
        return true;
    }
};
struct Int32 {
    using Value = std::int32_t;
    static Result<Value> extract(PyObject* o, const char* p) { return extract_int32(o, p); }
    static bool take_exact(PyObject* o, Value& v) {
        std::int64_t wide = 0;
        if (!Int64::take_exact(o, wide) || wide < INT32_MIN || wide > INT32_MAX) return false;
        v = static_cast<Value>(wide);
        return true;
    }
};
struct Flag {
    using Value = bool;
    static Result<Value> extract(PyObject* o, const char* p) { return extract_bool(o, p); }
    static bool take_exact(PyObject* o, Value& v) {
        if (!PyBool_Check(o)) return false;
        v = o == Py_True;
        return true;
    }
};
// A flag that may be left out and is then True.
struct FlagDefaultTrue : Flag {
    static Value absent() { return true; }
    static constexpr const char* absent_text = "True";  // as the text signature shows it
};

template <class... Kinds>
struct Signature {
    FunctionDescription description;
    using Values = std::tuple<typename Kinds::Value...>;

    // The common call (every argument positional and of its exact type) in the body that binds,
    // any other out of line.
    DALLOWGATE_INLINE Result<Values> bind(PyObject* const* args, Py_ssize_t nargs,
                                          PyObject* kwnames) const {
        if (!kwnames && nargs == static_cast<Py_ssize_t>(sizeof...(Kinds))) {
            Values values;
            const bool taken = [&]<std::size_t... I>(std::index_sequence<I...>) {
                return (Kinds::take_exact(args[I], std::get<I>(values)) && ...);
            }(std::index_sequence_for<Kinds...>{});
            if (taken) return values;
        }
        return bind_any(args, nargs, kwnames);
    }

    // Any call: matching, then conversion in parameter order.
    [[gnu::noinline]] Result<Values> bind_any(PyObject* const* args, Py_ssize_t nargs,
                                              PyObject* kwnames) const {
        PyObject* slots[sizeof...(Kinds)] = {};
        if (MaybeError error = match_arguments(description, args, nargs, kwnames, slots))
            return std::move(*error);
        Values values{};
        MaybeError failure;
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            (convert<Kinds>(slots[I], description.parameters[I], std::get<I>(values), failure) &&
             ...);
        }(std::index_sequence_for<Kinds...>{});
        if (failure) return std::move(*failure);
        return values;
    }

    // The default a parameter of this kind shows in the text signature, or null.
    template <class Kind>
    static constexpr const char* default_text() {
        if constexpr (requires { Kind::absent_text; })
            return Kind::absent_text;
        else
            return nullptr;
    }

private:
    template <class Kind>
    static bool convert(PyObject* slot, const char* parameter, typename Kind::Value& value,
                        MaybeError& failure) {
        if constexpr (requires { Kind::absent(); }) {
            if (!slot) {
                value = Kind::absent();
                return true;
            }
        }
        Result<typename Kind::Value> converted = Kind::extract(slot, parameter);
        if (!converted) {
            failure.emplace(converted.take_error());
            return false;
        }
        value = *converted;
        return true;
    }
};

}  // namespace dallowgate
