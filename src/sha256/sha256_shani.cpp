#include "sha256/sha256_shani.hpp"

#if DALLOWGATE_X86

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/byte_order.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"

DALLOWGATE_BEGIN_TARGET_REGION(SHA_FEATURES)
#include "sha256/block_hash.hpp"

namespace dallowgate {

std::array<std::uint8_t, 32> sha256_shani(const std::uint8_t* prefix, std::size_t prefix_size,
                                          const std::uint8_t* message, std::size_t size) {
    return hash_with_prefix<ShaNiState>(prefix, prefix_size, message, size);
}

}  // namespace dallowgate

DALLOWGATE_END_TARGET_REGION

#endif
