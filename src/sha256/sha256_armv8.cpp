#include "sha256/sha256_armv8.hpp"

#if DALLOWGATE_AARCH64

namespace dallowgate {

ARM_SHA2_LOOP_WRAPPER std::array<std::uint8_t, 32> sha256_armv8(const std::uint8_t* prefix,
                                                                std::size_t prefix_size,
                                                                const std::uint8_t* message,
                                                                std::size_t size) {
    return hash_with_prefix<Armv8ShaState>(prefix, prefix_size, message, size);
}

}  // namespace dallowgate

#endif
