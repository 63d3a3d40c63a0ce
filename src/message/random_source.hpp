// The operating system's cryptographic random source. On Linux, small requests are served
// from a per-thread pool of kernel random bytes that a forked child never shares.
#pragma once

#include <cstdint>
#include <span>

namespace dallowgate {

// Fills `out` completely. Returns 0, or the errno of the failure (the contents are then
// unspecified and must not be used).
int fill_random(std::span<std::uint8_t> out) noexcept;

}  // namespace dallowgate
