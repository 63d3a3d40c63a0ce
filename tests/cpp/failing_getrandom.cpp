// Preloaded into a Python process by the tests to make the kernel's random source fail on
// demand: after fail_getrandom(errno), every getrandom call fails with that errno.
#include <dlfcn.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>

namespace {
int failure = 0;
}

extern "C" __attribute__((visibility("default"))) void fail_getrandom(int error) {
    failure = error;
}

extern "C" __attribute__((visibility("default"))) ssize_t getrandom(void* buffer, std::size_t size,
                                                                    unsigned flags) {
    if (failure) {
        errno = failure;
        return -1;
    }
    using Real = ssize_t (*)(void*, std::size_t, unsigned);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "getrandom"));
    return real(buffer, size, flags);
}
