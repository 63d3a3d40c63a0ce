// Running work with the interpreter lock released. The lock is re-acquired on every way out,
// exceptions included; the work must touch no Python object.
#pragma once

#include "binding/python.hpp"

#include <cstddef>
#include <utility>

namespace dallowgate {

// The input size from which a core runs with the lock released.
inline constexpr std::size_t LOCK_RELEASE_THRESHOLD = 2048;

template <class Work>
decltype(auto) release_interpreter_lock(Work&& work) {
    struct Reacquire {
        PyThreadState* state;
        ~Reacquire() { PyEval_RestoreThread(state); }
    } reacquire{PyEval_SaveThread()};
    return std::forward<Work>(work)();
}

// Runs `work` with the lock released when `input_size` reaches LOCK_RELEASE_THRESHOLD, and
// with it held below.
template <class Work>
decltype(auto) run_released_from_threshold(std::size_t input_size, Work&& work) {
    if (input_size < LOCK_RELEASE_THRESHOLD) return std::forward<Work>(work)();
    return release_interpreter_lock(std::forward<Work>(work));
}

}  // namespace dallowgate
