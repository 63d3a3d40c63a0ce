// The interpreter lock is released around the work and re-acquired on every way out.
#include "binding/python.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "binding/lock_release.hpp"
#include "embedded_python.hpp"

namespace dallowgate {
namespace {

TEST(LockRelease, ReleasesAroundTheWorkAndReturnsItsOutcome) {
    ASSERT_TRUE(PyGILState_Check());
    int outcome = release_interpreter_lock([] { return PyGILState_Check() ? -1 : 7; });
    EXPECT_EQ(outcome, 7);
    EXPECT_TRUE(PyGILState_Check());
}

TEST(LockRelease, ReacquiresWhenTheWorkThrows) {
    EXPECT_THROW(release_interpreter_lock([]() -> int { throw std::runtime_error("fault"); }),
                 std::runtime_error);
    EXPECT_TRUE(PyGILState_Check());
}

TEST(LockRelease, HoldsTheLockBelowTheThreshold) {
    auto held = [] { return PyGILState_Check() != 0; };
    EXPECT_TRUE(run_released_from_threshold(LOCK_RELEASE_THRESHOLD - 1, held));
    EXPECT_FALSE(run_released_from_threshold(LOCK_RELEASE_THRESHOLD, held));
}

}  // namespace
}  // namespace dallowgate
