#include "sha256/sha256_shani.hpp"

#if DALLOWGATE_X86

#include <algorithm>
#include <cstring>

#include "common/byte_order.hpp"
#include "common/wipe.hpp"

namespace dallowgate {

SHA_TARGET std::array<std::uint8_t, 32> sha256_shani_finish(ShaNiState& state, std::uint64_t hashed,
                                                            const std::uint8_t* rest,
                                                            std::size_t size) {
    const std::uint64_t total = hashed + size;
    for (; size >= 64; size -= 64, rest += 64) state.compress(rest);
    // The last bytes, 0x80, zeros and the length in bits: one block, or two if they do not fit.
    std::uint8_t last[128] = {};
    if (size) std::memcpy(last, rest, size);
    last[size] = 0x80;
    const std::size_t length = size + 9 <= 64 ? 64 : 128;
    store_be64(last + length - 8, total * 8);
    state.compress(last);
    if (length == 128) state.compress(last + 64);
    std::array<std::uint8_t, 32> digest = state.digest();
    wipe(last, sizeof last);
    state.erase();
    return digest;
}

SHA_TARGET std::array<std::uint8_t, 32> sha256_shani(const std::uint8_t* prefix,
                                                     std::size_t prefix_size,
                                                     const std::uint8_t* message,
                                                     std::size_t size) {
    ShaNiState state;
    std::uint8_t first[64];
    const std::size_t taken = std::min(size, 64 - prefix_size);
    if (prefix_size) std::memcpy(first, prefix, prefix_size);
    if (taken) std::memcpy(first + prefix_size, message, taken);
    std::array<std::uint8_t, 32> digest;
    if (prefix_size + taken < 64) {
        digest = sha256_shani_finish(state, 0, first, prefix_size + taken);
    } else {
        state.compress(first);
        digest = sha256_shani_finish(state, 64, message + taken, size - taken);
    }
    wipe(first, sizeof first);
    return digest;
}

}  // namespace dallowgate

#endif
