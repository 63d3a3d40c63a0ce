// The 512-bit VAES CTR keystream: 32 counter blocks per batch in eight registers, the round keys
// held in registers across batches; the batch whose counters carry into the high half formed one
// block at a time.
#include "aes/aesni/vaes512.hpp"

#if DALLOWGATE_X86

#include <cstddef>
#include <cstdint>

#include "aes/contract.hpp"
#include "common/counter128.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"

DALLOWGATE_BEGIN_TARGET_REGION(VAES512_FEATURES)
#include "aes/keystream.hpp"

namespace dallowgate {

DALLOWGATE_INLINE void AesNiVaes512::xor_keystream_without_carry(std::uint64_t high,
                                                                 std::uint64_t low,
                                                                 const std::uint8_t* in,
                                                                 std::uint8_t* out,
                                                                 std::size_t batches) const {
    const RoundKeys keys(keys_);
    __m512i counters = first_counters(high, low);
    for (std::size_t at = 0, end = 16 * batch_width * batches; at != end; at += 16 * batch_width)
        keys.xor_keystream(counters, in + at, out + at);
}

void AesNiVaes512::xor_keystream(std::uint64_t& high, std::uint64_t& low, const std::uint8_t* in,
                                 std::uint8_t* out, std::size_t batches) const {
    xor_keystream_runs(*this, high, low, in, out, batches,
                       [this](std::uint64_t run_high, std::uint64_t run_low,
                              const std::uint8_t* run_in, std::uint8_t* run_out, std::size_t run) {
                           xor_keystream_without_carry(run_high, run_low, run_in, run_out, run);
                       });
}

}  // namespace dallowgate

DALLOWGATE_END_TARGET_REGION

#endif
