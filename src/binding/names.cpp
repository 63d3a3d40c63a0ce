#include "binding/names.hpp"

#include <cstddef>
#include <iterator>

namespace dallowgate {
namespace {

constexpr const char* TEXTS[] = {"__name__", "__all__", "__module__", "__qualname__", "add_note"};
static_assert(std::size(TEXTS) == static_cast<std::size_t>(Name::count));

PyObject* strings[std::size(TEXTS)] = {};  // written once each, under the interpreter lock

}  // namespace

PyObject* interned(Name name) noexcept {
    auto index = static_cast<std::size_t>(name);
    if (!strings[index]) strings[index] = PyUnicode_InternFromString(TEXTS[index]);
    return strings[index];
}

}  // namespace dallowgate
