// The ARMv8 CTR kernel's build for CPUs with the SHA3 extension, where EOR3 adds round key 14
// and the text to each keystream block in one instruction.
#include "aes/armv8/armv8.hpp"

#if DALLOWGATE_AARCH64

#include <cstddef>
#include <cstdint>

#include "aes/armv8/eor3.hpp"
#include "aes/armv8/rounds.hpp"
#include "common/platform.hpp"

DALLOWGATE_BEGIN_TARGET_REGION(ARM_AES_EOR3_FEATURES)
#include "aes/armv8/ctr_kernel.hpp"

namespace dallowgate {

void armv8_ctr::xor_keystream_without_carry_eor3(const uint8x16_t* k, std::uint64_t high,
                                                 std::uint64_t low, const std::uint8_t* in,
                                                 std::uint8_t* out, std::size_t batches) {
    xor_keystream_without_carry<true>(k, high, low, in, out, batches);
}

}  // namespace dallowgate

DALLOWGATE_END_TARGET_REGION

#endif
