#include "sha256/sha256_shani.hpp"

#if DALLOWGATE_X86

namespace dallowgate {

SHA_LOOP_WRAPPER std::array<std::uint8_t, 32> sha256_shani(const std::uint8_t* prefix,
                                                           std::size_t prefix_size,
                                                           const std::uint8_t* message,
                                                           std::size_t size) {
    return hash_with_prefix<ShaNiState>(prefix, prefix_size, message, size);
}

}  // namespace dallowgate

#endif
