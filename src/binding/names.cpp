#include "binding/names.hpp"

#include <atomic>
#include <cstddef>
#include <iterator>

namespace dallowgate {
namespace {

constexpr const char* TEXTS[] = {"__name__", "__all__", "__module__", "__qualname__", "add_note"};
static_assert(std::size(TEXTS) == static_cast<std::size_t>(Name::count));

// Each published once: threads that race to make one (free-threaded builds) all use the first.
std::atomic<PyObject*> strings[std::size(TEXTS)] = {};

}  // namespace

PyObject* interned(Name name) noexcept {
    std::atomic<PyObject*>& slot = strings[static_cast<std::size_t>(name)];
    PyObject* string = slot.load(std::memory_order_acquire);
    if (string) return string;
    PyObject* made = PyUnicode_InternFromString(TEXTS[static_cast<std::size_t>(name)]);
    if (!made) return nullptr;
    if (slot.compare_exchange_strong(string, made, std::memory_order_acq_rel,
                                     std::memory_order_acquire))
        return made;
    Py_DECREF(made);  // another thread's was published first
    return string;
}

}  // namespace dallowgate
