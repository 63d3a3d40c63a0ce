// The AES-NI CTR keystream kernel: eight counter blocks per batch formed with paddq and pshufb
// while the key schedule's first round is applied, the next batch's counters entering while
// this batch's last round is still in flight.
#include "aes/aesni/aesni.hpp"

#if DALLOWGATE_X86

#include <cstddef>
#include <cstdint>

#include "aes/contract.hpp"
#include "common/counter128.hpp"
#include "common/platform.hpp"
#include "common/wipe.hpp"

DALLOWGATE_BEGIN_TARGET_REGION(AES_FEATURES)
#include "aes/keystream.hpp"

namespace dallowgate {

// Counter block `native` + i (low half in native order, no carry) XOR round key 0.
DALLOWGATE_INLINE __m128i AesNi::whitened_counter(__m128i native, std::size_t i,
                                                  __m128i to_big_endian, __m128i round_key_0) {
    __m128i sum = _mm_add_epi64(native, _mm_set_epi64x(static_cast<long long>(i), 0));
    return _mm_xor_si128(_mm_shuffle_epi8(sum, to_big_endian), round_key_0);
}

// The bulk loop, software-pipelined: the next batch's counter blocks and first round key go in
// while this batch's last round and output are still in flight.
DALLOWGATE_INLINE void AesNi::xor_keystream_without_carry(std::uint64_t high, std::uint64_t low,
                                                          const std::uint8_t* in, std::uint8_t* out,
                                                          std::size_t batches) const {
    const __m128i* k = keys_.encrypt;
    const __m128i to_big_endian =
        _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
    __m128i native = _mm_set_epi64x(static_cast<long long>(low), static_cast<long long>(high));
    const __m128i step = _mm_set_epi64x(static_cast<long long>(batch_width), 0);
    Block blocks[batch_width];
#pragma GCC unroll 8
    for (std::size_t i = 0; i < batch_width; ++i)
        blocks[i] = whitened_counter(native, i, to_big_endian, k[0]);
    for (std::size_t b = 0; b < batches; ++b) {
        middle_rounds(blocks);
        native = _mm_add_epi64(native, step);
#pragma GCC unroll 8
        for (std::size_t i = 0; i < batch_width; ++i) {
            __m128i keystream = _mm_aesenclast_si128(blocks[i], k[14]);
            store(out + 16 * i, xor_blocks(load(in + 16 * i), keystream));
            // the next batch (unused after the last)
            blocks[i] = whitened_counter(native, i, to_big_endian, k[0]);
        }
        in += 16 * batch_width;
        out += 16 * batch_width;
    }
}

void AesNi::xor_keystream(std::uint64_t& high, std::uint64_t& low, const std::uint8_t* in,
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
