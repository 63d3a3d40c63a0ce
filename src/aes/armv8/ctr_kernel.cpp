// The ARMv8 CTR keystream: runs of batches whose counters do not carry into the high half through
// the kernel (with AES alone here, with EOR3 in ctr_kernel_eor3.cpp where the CPU has the SHA3
// extension), the batches that carry one by one.
#include "aes/armv8/armv8.hpp"

#if DALLOWGATE_AARCH64

#include <cstddef>
#include <cstdint>

#include "aes/armv8/eor3.hpp"
#include "aes/armv8/rounds.hpp"
#include "aes/contract.hpp"
#include "common/counter128.hpp"
#include "common/cpu_features.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"

DALLOWGATE_BEGIN_TARGET_REGION(ARM_AES_FEATURES)
#include "aes/armv8/ctr_kernel.hpp"
#include "aes/keystream.hpp"

namespace dallowgate {

void armv8_ctr::xor_keystream_without_carry_aes(const uint8x16_t* k, std::uint64_t high,
                                                std::uint64_t low, const std::uint8_t* in,
                                                std::uint8_t* out, std::size_t batches) {
    xor_keystream_without_carry<false>(k, high, low, in, out, batches);
}

void Armv8Aes::xor_keystream(std::uint64_t& high, std::uint64_t& low, const std::uint8_t* in,
                             std::uint8_t* out, std::size_t batches) const {
    static_assert(batch_width == armv8_ctr::BATCH);
    const bool eor3 = cpu_features().arm_sha3;
    xor_keystream_runs(*this, high, low, in, out, batches,
                       [&](std::uint64_t run_high, std::uint64_t run_low,
                           const std::uint8_t* run_in, std::uint8_t* run_out, std::size_t run) {
                           if (eor3)
                               armv8_ctr::xor_keystream_without_carry_eor3(
                                   encrypt_, run_high, run_low, run_in, run_out, run);
                           else
                               armv8_ctr::xor_keystream_without_carry_aes(
                                   encrypt_, run_high, run_low, run_in, run_out, run);
                       });
}

}  // namespace dallowgate

DALLOWGATE_END_TARGET_REGION

#endif
