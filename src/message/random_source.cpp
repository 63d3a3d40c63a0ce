#include "message/random_source.hpp"

#include <cerrno>
#include <cstddef>

#if defined(_WIN32)
// bcrypt.h uses the types that windows.h declares.
#include <windows.h>

#include <bcrypt.h>
#elif defined(__linux__)
#include <pthread.h>
#include <sys/mman.h>
#include <sys/random.h>

#include <atomic>
#include <cstring>

#include "common/wipe.hpp"
#else
#include <sys/random.h>  // getentropy: here on macOS, beside unistd.h's on the BSDs
#include <unistd.h>
#endif

namespace dallowgate {

#if defined(_WIN32)

extern "C" BOOLEAN NTAPI SystemFunction036(PVOID buffer, ULONG length);

int fill_random(std::span<std::uint8_t> out) noexcept {
    constexpr std::size_t CHUNK = 0xFFFFFFFFu;
    while (!out.empty()) {
        ULONG size = static_cast<ULONG>(out.size() < CHUNK ? out.size() : CHUNK);
        if (!BCRYPT_SUCCESS(
                BCryptGenRandom(nullptr, out.data(), size, BCRYPT_USE_SYSTEM_PREFERRED_RNG)) &&
            !SystemFunction036(out.data(), size))
            return EIO;
        out = out.subspan(size);
    }
    return 0;
}

#elif defined(__linux__)

namespace {

int fill_from_kernel(std::span<std::uint8_t> out) noexcept {
    while (!out.empty()) {
        ssize_t got = getrandom(out.data(), out.size(), 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        out = out.subspan(static_cast<std::size_t>(got));
    }
    return 0;
}

// A thread's pool of kernel random bytes, in a page of its own that the kernel wipes in a
// forked child (MADV_WIPEONFORK): the child finds the pool empty and draws afresh, so parent
// and child never hand out the same bytes. A fork handler guards the same promise where the
// wipe is not done (an emulator may accept the advice and ignore it): a pool filled before
// the last fork is emptied. Bytes are handed out once, from the end, and zeroed as they go.
struct Pool {
    std::uint64_t generation;  // fork_generation when the pool was filled
    std::uint32_t left;        // the unread bytes: the last `left` of `bytes`
    std::uint8_t bytes[4096 - 2 * sizeof(std::uint64_t)];
};
static_assert(sizeof(Pool) == 4096);

// Incremented in every child that fork() makes.
std::atomic<std::uint64_t> fork_generation{1};
void note_fork() noexcept {
    fork_generation.fetch_add(1, std::memory_order_relaxed);
}

// Requests larger than this go to the kernel directly.
constexpr std::size_t POOLED_LIMIT = 256;

class PoolPage {
public:
    // The pool, mapped on first use; null where the kernel cannot wipe it on fork (then every
    // request goes to the kernel).
    Pool* get() noexcept {
        if (!pool_ && !unavailable_) {
            static const bool fork_handler = pthread_atfork(nullptr, nullptr, note_fork) == 0;
            void* page = fork_handler ? mmap(nullptr, sizeof(Pool), PROT_READ | PROT_WRITE,
                                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                                      : MAP_FAILED;
            if (page != MAP_FAILED && madvise(page, sizeof(Pool), MADV_WIPEONFORK) != 0) {
                munmap(page, sizeof(Pool));
                page = MAP_FAILED;
            }
            unavailable_ = page == MAP_FAILED;
            if (!unavailable_) pool_ = static_cast<Pool*>(page);  // zero-filled: empty
        }
        return pool_;
    }
    ~PoolPage() {
        if (pool_) {
            wipe(pool_, sizeof(Pool));
            munmap(pool_, sizeof(Pool));
        }
    }

private:
    Pool* pool_ = nullptr;
    bool unavailable_ = false;
};

thread_local PoolPage pool_page;

}  // namespace

int fill_random(std::span<std::uint8_t> out) noexcept {
    Pool* pool = out.size() <= POOLED_LIMIT ? pool_page.get() : nullptr;
    if (!pool) return fill_from_kernel(out);
    const std::uint64_t generation = fork_generation.load(std::memory_order_relaxed);
    if (pool->left < out.size() || pool->generation != generation) {
        if (int error = fill_from_kernel(pool->bytes)) return error;
        pool->left = sizeof pool->bytes;
        pool->generation = generation;
    }
    std::uint8_t* from = pool->bytes + sizeof pool->bytes - pool->left;
    if (!out.empty()) std::memcpy(out.data(), from, out.size());
    wipe(from, out.size());
    pool->left -= static_cast<std::uint32_t>(out.size());
    return 0;
}

#else

int fill_random(std::span<std::uint8_t> out) noexcept {
    constexpr std::size_t CHUNK = 256;  // the most getentropy gives at once
    while (!out.empty()) {
        std::size_t size = out.size() < CHUNK ? out.size() : CHUNK;
        if (getentropy(out.data(), size) != 0) return errno;
        out = out.subspan(size);
    }
    return 0;
}

#endif

}  // namespace dallowgate
